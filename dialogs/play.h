// SPDX-License-Identifier: MIT
#pragma once
// The play settings dialog: where playback starts and stops, and how fast.
#include "score/doc.h"
#include "score/model.h"
#include "score/view.h"

#include <functional>

// What the play settings keep from one opening to the next.
struct splayset {
    splay play;                        // the last play request
    splay playtmp{0, 0, 0.0f, false};  // the dialog's working record; every call returns a copy
    stime statime;                     // the typed start time
    stime endtime;                     // the typed end time
    // Called with the confirmed request the moment the user confirms, before
    // the dialog closes and anything is drawn: the sound need not wait for it.
    std::function<void(const splay&)> confirmed;
};

// Saves an unsaved score first (Save as), then runs the dialog for the
// cursor column and the score length. The result has yn true when the user
// confirmed; start, end and speed change only then.
splay playset(sdoc& doc, sview& view, splayset& ps);
