// SPDX-License-Identifier: MIT
#pragma once
// Where the editor looks at the score: the rows and time steps shown, and the
// cursor. Score files store these with the notes.
#include "score/model.h"

struct sview {
    int winheig = 23;  // staff rows shown (H); never changes
    int winleng = 100; // time steps shown (W); never changes
    int toplo = 40;    // first staff row shown
    int leftlo = 0;    // first time step shown
    int mousex = 0;    // cursor column, a time step
    int mousey = 55;   // cursor row, 0 (highest) to 84
    stime ttime;       // the cursor column as a time, as the ruler last showed it
};

// The view of a fresh start, and of every new score.
inline constexpr sview STARTVIEW{};

// The editor's screen: the view with the keyboard column, scroll bars, menu
// bar, time ruler and status row around it.
inline constexpr int SCRW = STARTVIEW.winleng + 8;
inline constexpr int SCRH = STARTVIEW.winheig + 4;
