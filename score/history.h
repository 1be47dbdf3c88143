// SPDX-License-Identifier: MIT
#pragma once
// The undo history of one document: each step is one change to the notes,
// stored as what it took out and put in (a note, or the notes of a span) and
// how it moved later notes in time, with the cursor and view around it,
// never as a copy of the score.
#include "score/doc.h"
#include "score/model.h"
#include "score/view.h"

#include <cstdint>
#include <deque>
#include <vector>

// Where the cursor and view stood, and how long the score was.
struct splace {
    int mousex = 0, mousey = 0, toplo = 0, leftlo = 0, musicleng = 0;
    bool operator==(const splace&) const = default;
};

// One change, made in this order: the old notes go (`before` and `removed`),
// every note starting at or after `shiftat` moves `shiftby` steps, the new
// notes come (`after` and `added`). Undo runs it backwards. A new note has no
// `before`, a removed one no `after`; a change with none of these only
// marked the score changed.
//
// `removed` is every note that started within [its first start, its last
// start] before the change, and `added` every note within its own range
// after it, so that each goes and comes back as one span of the ring.
struct sstep {
    smusic before, after;
    bool hadbefore = false, hasafter = false;
    std::vector<smusic> removed, added; // in time order
    int shiftat = 0, shiftby = 0;
    splace from, to; // before and right after the change
};

struct shistory {
    static constexpr size_t MAXSTEPS = 100000;  // older steps are forgotten
    static constexpr size_t MAXNOTES = 2000000; // so are they when the steps hold more notes than this
    std::deque<sstep> steps; // oldest first
    size_t done = 0;         // steps[0, done) are in effect; the rest can be redone
    size_t notes = 0;        // notes the steps hold in `removed` and `added`
    int64_t savedat = 0;     // `done` when the score was last saved; -1 when no step gets there
    uint64_t docgen = 0;     // the document generation the steps belong to
};

splace placeof(const sdoc& doc, const sview& v);

// Forgets every step; the state now is the saved one when the document is.
void histclear(shistory& h, const sdoc& doc);
// Adds a step that has just been made; the steps that could be redone go.
void histrecord(shistory& h, const sstep& s);
// Makes a step built from the score as it stands (with its `from` and `to`
// places), records it and marks the score changed.
void histmake(shistory& h, sdoc& doc, sview& v, const sstep& s);
// Takes back the last step (or makes the next one again): the notes, the
// cursor and view are put as they were, and the score counts as saved
// exactly when that is the saved state. False, with nothing changed, when
// there is no step to take. Each costs what the ring's span operations cost
// for the step's notes.
bool histundo(shistory& h, sdoc& doc, sview& v);
bool histredo(shistory& h, sdoc& doc, sview& v);
// Keeps `savedat` true to the document: called whenever it may have been saved.
void histsaved(shistory& h, const sdoc& doc);
