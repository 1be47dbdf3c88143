// SPDX-License-Identifier: MIT
#pragma once
// The screen as the program sees it: a grid of cells, each with its character
// and console attribute. All drawing goes here; the terminal layer shows the
// grid, and tests read it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Cell {
    char32_t ch = U' ';
    unsigned char attr = 15;
    unsigned char part = 0; // 0 a whole cell, 1 left half of a wide character, 2 its right half
};

struct Grid {
    int w = 0, h = 0;
    std::vector<Cell> cells;
    int cx = 0, cy = 0;        // output cursor; cx == w means a wrap is pending
    unsigned char attr = 15;   // attribute for what is written next
    uint64_t writes = 0;       // counts the calls that wrote into the grid
};

void gresize(Grid& g, int w, int h);        // blank grid of the given size
void gclear(Grid& g);                       // every cell a blank on black, cursor home
void gmove(Grid& g, int x, int y);          // clamps into the grid
// Writes UTF-8 text at the cursor and advances it by display columns, wrapping
// at the right edge and scrolling at the bottom. '\n' goes to column 0 of the
// next row, '\r' is ignored, '\t' advances to the next multiple of 8, other
// control characters and invalid bytes show as U+FFFD.
void gput(Grid& g, std::string_view s);

Cell& gcell(Grid& g, int x, int y);
const Cell& gcell(const Grid& g, int x, int y);
// The characters of row y from column x0 up to (not including) x1, as UTF-8;
// the right halves of wide characters add nothing.
std::string grow(const Grid& g, int y, int x0 = 0, int x1 = -1);
