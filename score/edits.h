// SPDX-License-Identifier: MIT
#pragma once
// Edits of the score by spans of time: copy, cut, paste, transpose, a step of
// time in or out, a note entered by its degree, a note lengthened. Pure code
// on the document: each edit that changes something is made and recorded as
// ONE history step holding the notes of its span (never a copy of the
// score), and marks the score changed; an edit that changes nothing or is
// refused records nothing.
//
// Costs, k notes in the span, n in the score (see score/ring.h): copy, cut,
// paste and transpose O(k + log n + chunk work); a step in or out
// O(log n + chunk work), whatever the number of later notes. Undo and redo
// of each cost the same.
#include "score/doc.h"
#include "score/history.h"
#include "score/model.h"
#include "score/view.h"

#include <cstdint>
#include <vector>

// A range of time steps [a, b) across all rows: the score has one voice.
struct sspan {
    int a = 0, b = 0;
    bool empty() const { return a >= b; }
    bool operator==(const sspan&) const = default;
};

// Copied notes: starts counted from the copied span's first step; `leng`
// covers the span and every note's end.
struct sclip {
    std::vector<smusic> notes;
    int leng = 0;
    bool empty() const { return notes.empty(); }
};

enum class editres {
    done,    // changed, one step recorded
    nothing, // nothing there to change
    range,   // a note would leave the six octaves: nothing moved
    time,    // notes would reach the end of the score's time: nothing moved
};

// Entry length of digit entry, in time steps.
inline constexpr int ENTRYMIN = 1, ENTRYMAX = 64, ENTRYSTART = 4;

// What the editor keeps for these edits beside the document: the selection
// (from `anchor` to the cursor column, for document generation `gen`), the
// clipboard, which outlives New and Open, and the entry length.
struct sedit {
    bool selecting = false;
    int anchor = 0;
    uint64_t gen = 0;
    sclip clip;
    int entry = ENTRYSTART;
};

// The span of the note covering column x; empty when none does.
sspan noteunder(const Ring& music, int x);
// The notes starting in a span, as a clipboard.
sclip copyspan(const Ring& music, sspan s);
size_t notecount(const Ring& music, sspan s);

// The notes starting in s go.
editres cutspan(sdoc& doc, shistory& h, sview& v, sspan s);
// The clipboard's notes from column `at` on; score notes starting in
// [at, at + clip.leng) go, one starting before and reaching in is cut short.
editres pastespan(sdoc& doc, shistory& h, sview& v, const sclip& clip, int at);
// Every note starting in s moves by `semis` semitones, spelt as the staff
// spells it (sharps); the cursor row follows the note under the cursor.
editres transpose(sdoc& doc, shistory& h, sview& v, sspan s, int semis);
// Every note starting at or after column x moves one step right.
editres insertstep(sdoc& doc, shistory& h, sview& v, int x);
// A note covering column x gets one step shorter (gone at 0) and every note
// starting after x moves one step left.
editres removestep(sdoc& doc, shistory& h, sview& v, int x);
// Degree 1 to 7 (C to B) of the octave whose block of 14 rows holds the
// cursor row, `leng` steps long, cut
// short where the next note starts, at the cursor column, replacing what it
// overlaps; the cursor goes to the column after it and to its row.
editres enterdigit(sdoc& doc, shistory& h, sview& v, int degree, int leng);
// The note ending at the cursor column grows by `leng` steps, as far as the
// next note allows; the cursor goes to its new end.
editres lengthen(sdoc& doc, shistory& h, sview& v, int leng);

// A note moved by `semis` semitones, spelt with sharps; false when it leaves
// octaves 1 to 6 (or has no pitch).
bool transposed(const smusic& m, int semis, smusic& out);
