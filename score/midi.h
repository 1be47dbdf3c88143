// SPDX-License-Identifier: MIT
#pragma once
// Standard MIDI Files (SMF 1.0) in: a pure decoder from bytes to a melody,
// with no editor state and no I/O. Used by the editor's Open.
//
// Layout, every integer big-endian:
//   chunk   4-byte type, 32-bit length, that many bytes. Types other than
//           "MThd" and "MTrk" are skipped.
//   MThd    first chunk, length >= 6: format (0 or 1; 2 is refused),
//           track count, division. Division bit 15 clear: ticks per quarter
//           note (> 0); set: SMPTE, high byte -24, -25, -29 (29.97 drop
//           frame) or -30 frames per second, low byte ticks per frame (> 0).
//   MTrk    events, each a delta time (variable-length quantity of at most
//           4 bytes, 7 bits a byte, high bit = more follow) and then
//             80-EF  channel message, 2 data bytes (C0-DF: 1); a data byte
//                    first repeats the last channel status (running status)
//             F0/F7  system exclusive: length (VLQ), data; skipped
//             FF     meta: type, length (VLQ), data. 2F ends the track,
//                    51 (3 bytes) sets microseconds per quarter note,
//                    03 names the track; the rest are skipped.
//           Sysex and meta events end running status.
// A note is a note-on (9n, velocity > 0) up to the next note-off (8n, or
// 9n with velocity 0) of the same key and channel; an unfinished note ends
// where its track ends.
//
// Time: every tempo change of every track applies from its tick on (120 bpm
// before the first); SMPTE divisions ignore tempo. Absolute time becomes
// time steps of 100 ms, rounded to the nearest step, no note shorter than a
// step; notes starting at or after the sentinel's step are left out.
//
// The melody: the parts of a file are its tracks, numbered from 1 in file
// order, or in a file of one track its channels 1 to 16. The part chosen is
// the one with the most notes outside channel 10 (drums) unless one is asked
// for. A part's notes are those outside channel 10, or
// all of them when it has no others. Where its notes overlap the highest
// sounding note is kept: a note starting while a higher one sounds is left
// out, and a higher one starting cuts the sounding one short. Keys outside
// the staff's six octaves move by whole octaves into them.
//
// Costs: O(n log n) in the notes; no allocation grows beyond the notes of
// the file (capped by MIDIMAXNOTES).
#include "score/model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a file is not a melody.
enum class midierr {
    ok,
    notmidi,     // does not begin with an MThd chunk
    truncated,   // a chunk or an event runs past the end of the data
    badheader,   // MThd shorter than 6 bytes, or a division of 0 ticks
    format2,     // format 2 (independent patterns) or above
    badevent,    // a data byte without a status, or a status a file may not hold
    badlength,   // a variable-length quantity longer than 4 bytes
    toomany,     // more than MIDIMAXNOTES notes
    nonotes,     // no note that lies inside the score's time (in the part asked for)
    notrack,     // the track or channel asked for does not exist
};

constexpr int64_t MIDIMAXNOTES = 2000000;
constexpr int MIDIKEYLOW = 36;   // C of octave 1, the staff's lowest note
constexpr int MIDIKEYHIGH = 107; // B of octave 6, its highest

// A decoded melody.
struct midiscore {
    std::vector<smusic> notes; // in order of start, never overlapping; no sentinel
    std::string title;         // the first track name, else the chosen part's; "" when none
    int format = 0;
    int part = 0;              // the part taken: track or channel, from 1
    int parts = 0;             // tracks in the file, or channels that hold notes
    bool bychannel = false;    // parts are channels (format 0), not tracks
    int64_t heard = 0;         // notes in the part before overlaps were resolved
};

// True when the data begins like a MIDI file.
bool ismidi(const unsigned char* data, size_t size);
inline bool ismidi(const std::string& b)
{
    return ismidi(reinterpret_cast<const unsigned char*>(b.data()), b.size());
}

// Decodes a MIDI file. `want` is the part to take (track or channel, from
// 1), 0 for the melody's best guess. On failure `out` is untouched and `at` (when given)
// holds the byte offset where the fault lies. Never reads outside
// [data, data + size).
midierr midiread(const unsigned char* data, size_t size, int want, midiscore& out, size_t* at = nullptr);
midierr midiread(const std::string& bytes, int want, midiscore& out, size_t* at = nullptr);

// The note of a MIDI key (C of octave 3 is 60), moved by octaves onto the staff.
smusic keynote(int key);

// What is wrong, in the words of the status row (after "打开失败："):
// "不是 MIDI 文件", "MIDI 文件不完整", ...
const char* midicause(midierr e);
