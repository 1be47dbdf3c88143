// SPDX-License-Identifier: MIT
#pragma once
// Drawing the grid through the classic console API (cells written as CHAR_INFO
// records), for consoles that do not interpret virtual-terminal output.
#include "console/grid.h"

#include <windows.h>

#include <vector>

// How a wide character fills its two records. The console host wants it in
// both, marked leading and trailing; wine's console on a terminal writes every
// record's character to the terminal as one column, so there the right half
// holds a zero-width space, which the terminal shows as nothing.
enum class conwide { pair, zerowidth };

// What the console buffer shows, as the records last written there.
struct conscreen {
    std::vector<CHAR_INFO> shown;
    int w = 0, h = 0;
    int cx = -1, cy = -1; // cursor last set; -1 when unknown
    conwide wide = conwide::pair;
};

// The way of the console the program runs in.
conwide conwidemode();

// The records for g, row by row: the attribute as it is, a wide character in
// two records as `wide` says, characters beyond 16 bits as U+FFFD.
std::vector<CHAR_INFO> concells(const Grid& g, conwide wide);

// Forgets what the buffer shows: the next frame writes every row.
void conforget(conscreen& s);

// The first and last row in which a and b (both w x h) differ, or {-1, -1}.
struct rowspan {
    int first, last;
};
rowspan conchanged(const std::vector<CHAR_INFO>& a, const std::vector<CHAR_INFO>& b, int w, int h);

// Makes the console buffer h show g in its window's top left corner, writing
// only the rows that changed, and puts the cursor at g's cursor. False when the
// console refused the write (everything is written again next time).
bool conframe(HANDLE h, conscreen& s, const Grid& g);

// Whether the console behind h interprets virtual-terminal sequences: a cursor
// movement written to a buffer of its own (never shown) has to move the cursor
// and print nothing.
bool conhasvt();
