// SPDX-License-Identifier: MIT
#pragma once
// The real terminal: raw keys, frames drawn from the grid, sleeping and the
// clock, and putting everything back on the way out.

// Takes over the terminal and fills `io` (console/console.h) with the real
// hooks; with `mouse`, the mouse is reported to the program while it runs
// (otherwise it stays the terminal's, for selecting text). Returns 0, or 1 after a one-line message on standard error when
// standard output is not a terminal.
int termstart(bool mouse = true);

// Gives the terminal back as it was: raw mode off, colours reset, cursor
// shown, the original screen back. Safe to call twice; also runs at exit.
void termstop();

// The signal (SIGTERM, SIGHUP, SIGINT, SIGQUIT) that asked the program to
// stop, or 0. The program exits with 128 + this number.
int termsignal();
