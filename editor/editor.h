#pragma once
// The editor: view and cursor globals, and the editor loop.
#include "score/model.h"

#include <string>

// View and cursor, shared with the score files.
extern int winheig;   // staff rows shown (H)
extern int winleng;   // time steps shown (W)
extern int toplo;     // first staff row shown
extern int leftlo;    // first time step shown
extern int mousex;    // cursor column
extern int mousey;    // cursor row, 0 to 84
extern int musicleng; // score length in steps, never less than mousex
extern stime ttime;   // the cursor column as a time
extern splay play;    // the last play request

constexpr const char* VERSIONTEXT = "v1.0 preview 2";

// Puts every view global back to its start value.
void resetview();

// Puts all process-wide state back as it is at program start: view, score,
// file globals, menu table and title, play settings.
void resetstate();

// Runs editor runs until the program is asked to end; returns the exit status.
// The first run starts with a new score, or, when `fresh` is false, with the
// score and view already in memory (a score opened from the command line).
int edit(bool fresh = true);

// Where the editor put the unsaved score when the terminal went away or a
// signal ended it; empty when nothing needed saving (or nothing could be).
extern std::string recoverypath;

// Asks the editor to end the program with `status` once the current command
// returns (the menu's exit command).
void endprogram(int status);
