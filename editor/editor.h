// SPDX-License-Identifier: MIT
#pragma once
// The editor: the state a program run owns and passes down, and the editor
// loop over it.
#include "dialogs/play.h"
#include "files/playcopy.h"
#include "menu/menu.h"
#include "score/doc.h"
#include "score/edits.h"
#include "score/history.h"
#include "score/view.h"
#include "tone/export.h"

#include <string>

constexpr const char* VERSIONTEXT = "v1.0 preview 2";

// Everything the editor works on. The program owns one; every part of the
// editor gets what it needs of it as parameters.
struct seditor {
    sdoc doc;         // the score and its file
    sview view;       // the window on the staff and the cursor
    smenubar bar;     // the menu bar and the title
    splayset plays;   // the play settings and the last play request
    shistory hist;    // the changes that can be undone and redone
    sedit edits;      // the selection, the clipboard and the entry length
    splaycopy playcopy; // the private copy of an unsaved score being played
    std::string recoverypath; // where unsaved work went when the program was
                              // stopped from outside; empty when nothing needed saving
    bool lostwork = false;    // unsaved work could be written nowhere
    sexportjob exporting;     // the export under way, if any
};

// Runs editor runs until the program is asked to end; returns the exit status.
// The first run starts with a new score, or, when `fresh` is false, with the
// score and view already in `ed` (a score opened from the command line).
int edit(seditor& ed, bool fresh = true);
