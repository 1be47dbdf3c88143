// SPDX-License-Identifier: MIT
#pragma once
// The score model: notes, staff rows, time units. Plain code without I/O,
// shared by the editor, the score files and the tone player.
#include <cstdint>

// One note. A score holds notes that never overlap, and exactly one sentinel.
struct smusic {
    int start = 0;     // first time step
    int heig = 0;      // octave, 1 to 6 on the staff
    int pitch = 0;     // 1 C, 2 D, 3 E, 4 F, 5 G, 6 A, 7 B
    int leng = 0;      // length in time steps, at least 1
    bool rise = false; // sharp
};

constexpr int ENDSTART = 3600000;    // the sentinel's start: 100 hours in time steps
constexpr int MAXCOL = ENDSTART - 1; // the last column the cursor can reach
constexpr int ROWS = 85;             // staff rows 0 (highest) to 84
constexpr smusic SENTINEL{ENDSTART, 0, 0, 0, false};

inline bool issentinel(const smusic& m)
{
    return m.start == ENDSTART && m.heig == 0 && m.pitch == 0 && m.leng == 0 && !m.rise;
}

// One row of an octave block in the keyboard column.
struct skey {
    const char* s; // label
    int pitch;     // 0 on separator rows
    bool rise;
};

extern const skey key[14];
extern const int ptk[14];

// The staff row of a note, or -1 when it has none (a pitch outside 1 to 7, or
// a row outside 0 to 84).
int noterow(const smusic& m);
// Octave, pitch and sharp of the note that Space would make on a row.
smusic rownote(int row);
// Octave digit shown in the keyboard column for a row.
inline int rowoctave(int row) { return (84 - row) / 14 + 1; }

// One reading of the wall clock: whole seconds since the epoch and milliseconds.
struct stimems {
    int64_t s = 0;
    short ms = 0;
};

// Milliseconds from a to b.
inline int64_t elapsedms(const stimems& a, const stimems& b) { return (b.s - a.s) * 1000 + (b.ms - a.ms); }

struct stime {
    int h = 0;
    int min = 0;
    float s = 0;
};

struct spgline {
    int s = 0;
    int e = 0;
};

stime ttrans(int time);
int ttransb(int h, int min, float s);
spgline fpgline(int leng, int uplo, int sleng, int pglleng);
// The tenth of a second shown for a time: the whole part of s x 10 mod 10.
int ttenth(const stime& t);

// A playback request: the range [start, end] in time steps and a speed factor.
struct splay {
    int start = 0;
    int end = 0;
    float speed = 1.0f;
    bool yn = false;
};
