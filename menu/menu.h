// SPDX-License-Identifier: MIT
#pragma once
// The menu bar: its table of menus, the title shown as its second heading,
// drawing and moving through it (toolbar), and the title line.
#include "menu/command.h"

#include <string>
#include <vector>

// One menu item.
struct stbi {
    bool ava = false;  // can be chosen
    bool mode = false; // a rule item, drawn as a dashed line; with ava false a separator
    std::string name;  // label as displayed
    std::string func;  // the command's string, as the table gives it
    command cmd = command::none; // the command it names, resolved when the table is built
};

// One menu.
struct stb {
    std::string name;       // heading in the bar
    std::vector<stbi> tbi;  // its items, in order
    int num() const { return static_cast<int>(tbi.size()); }
};

// The menu bar: its menus, the menu cursor and the title.
struct smenubar {
    std::vector<stb> tb;            // the menus
    int tbx = 0;                    // current menu
    int tby = 0;                    // current item of menu tbx
    std::string wintitle = "Pellavine"; // the title, second heading of the bar

    smenubar();
    int tbnum() const { return static_cast<int>(tb.size()); }
    // The item under the menu cursor.
    const stbi& current() const { return tb[static_cast<size_t>(tbx)].tbi[static_cast<size_t>(tby)]; }
};

// Builds the menu table (the second heading is a copy of wintitle taken now)
// and puts the menu cursor on the first item of the first menu.
void tbset(smenubar& b);


// What toolbar is asked to do.
enum class barreq {
    drawall,     // draw the whole bar
    release,     // draw heading tbx released
    open,        // draw heading tbx open with its drop-down
    prevmenu,
    nextmenu,
    previtem,
    nextitem,
    unavailable, // true when the current item cannot be chosen (draws nothing)
};

// Runs a menu bar request. Only `unavailable` returns anything but false;
// the requests that draw end with attribute 15.
//
// Nothing is drawn past the bar's right edge (column winleng + 7): when the
// headings do not fit, the title heading is shortened first, as far as
// needed, down to its two blanks; what still does not fit is cut at the edge,
// and a heading that would start past it is not drawn (its menu can still be
// reached). A drop-down keeps its full width and is moved left as far as
// needed to stay on the bar; what is still too wide is cut at the edge, and
// rows below the screen are not drawn.
bool toolbar(smenubar& b, barreq input);

// Column where heading k starts, as toolbar draws it.
int tbheadx(const smenubar& b, int k);

// What lies at cell (x, y) as toolbar draws the bar and, when `open`, the
// drop-down of menu tbx: the heading (its blanks included), the item (inside
// the frame), or -1; `inbox` for any cell of the drop-down, frame included.
struct sbarhit {
    int head = -1;
    int item = -1;
    bool inbox = false;
};
sbarhit tbhit(const smenubar& b, int x, int y, bool open);

// Lets the user type a new title over the second heading of the bar. A
// non-empty line becomes wintitle (as typed), the menu table is rebuilt and
// the bar redrawn; returns false then. An empty line (or the end of input)
// keeps the title and returns true.
bool fwintitle(smenubar& b);
