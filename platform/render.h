// SPDX-License-Identifier: MIT
#pragma once
// Turning the grid into terminal output: what the terminal shows is kept as a
// second grid, and a frame is the bytes that change the terminal from that to
// the new grid. No input or output happens here.
#include "console/grid.h"

#include <string>
#include <vector>

struct Screen {
    Grid front;                       // what the terminal shows, cell by cell
    std::vector<unsigned char> known; // per cell: 1 when front holds what is really there
    int cx = -1, cy = -1;             // terminal cursor; -1 when unknown
    int attr = -1;                    // attribute the terminal writes in; -1 when unknown
    bool clear = true;                // the next frame starts by clearing the terminal
};

// Forgets everything: the next frame clears the terminal and draws every cell.
void rinvalidate(Screen& s);
// Forgets rows y0 to the bottom, the cursor position and the colours (after output the
// program did not lay out itself).
void rforgetrows(Screen& s, int y0);

// Appends to out the bytes that make the terminal show g, ending with the
// terminal cursor at g's cursor and the attribute g.attr in effect, and
// records the result in s. Nothing is appended when nothing changes.
void rframe(Screen& s, const Grid& g, std::string& out);

// SGR parameters for a console attribute: "30;40" for 0, "97;100" for 143.
std::string sgrcolors(int attr);
