#pragma once
// The menu bar: its table of menus, the title shown as its second heading,
// drawing and moving through it (toolbar), and the title line.
#include <array>
#include <string>
#include <vector>

// One menu item.
struct stbi {
    bool ava = false;  // can be chosen
    bool mode = false; // a rule item, drawn as a dashed line; with ava false a separator
    std::string name;  // label as displayed
    std::string func;  // command string handed to funcmatch
};

// One menu.
struct stb {
    int num = 0;       // items in use: the first num entries of tbi
    std::string name;  // heading in the bar
    std::array<stbi, 100> tbi;
};

constexpr int TBMAX = 100;

// The menu bar: its menus, the menu cursor and the title.
struct smenubar {
    std::vector<stb> tb = std::vector<stb>(TBMAX); // the menus
    int tbnum = 0;                  // menus in use
    int tbx = 0;                    // current menu
    int tby = 0;                    // current item of menu tbx
    std::string wintitle = "Pellavine"; // the title, second heading of the bar

    smenubar();
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

// Lets the user type a new title over the second heading of the bar. A
// non-empty line becomes wintitle (as typed), the menu table is rebuilt and
// the bar redrawn; returns false then. An empty line (or the end of input)
// keeps the title and returns true.
bool fwintitle(smenubar& b);
