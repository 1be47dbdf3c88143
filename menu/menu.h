#pragma once
// The menu bar: its table of menus, the title shown as its second heading,
// drawing and moving through it (toolbar) and running a chosen command
// (funcmatch).
#include <array>
#include <string>

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

extern std::array<stb, TBMAX> tb; // the menus
extern int tbnum;                 // menus in use
extern int tbx;                   // current menu
extern int tby;                   // current item of menu tbx
extern std::string wintitle;      // the title, second heading of the bar; "Pellavine" at start

// Builds the menu table (the second heading is a copy of wintitle taken now)
// and puts the menu cursor on the first item of the first menu.
void tbset();

// Puts wintitle back to "Pellavine" and rebuilds the table: the state of a
// fresh start.
void resetmenu();

// Menu bar requests:
//   -2 draw the whole bar          -1 draw heading tbx released
//    0 draw heading tbx open with its drop-down
//    1 previous menu    2 next menu    3 previous item    4 next item
//   -4 true when the current item cannot be chosen (draws nothing)
// Every other code does nothing. All requests but -4 return false; those that
// draw end with attribute 15.
//
// Nothing is drawn past the bar's right edge (column winleng + 7): when the
// headings do not fit, the title heading is shortened first, as far as
// needed, down to its two blanks; what still does not fit is cut at the edge,
// and a heading that would start past it is not drawn (its menu can still be
// reached). A drop-down keeps its full width and is moved left as far as
// needed to stay on the bar; what is still too wide is cut at the edge, and
// rows below the screen are not drawn.
bool toolbar(int input);

// Column where heading k starts, as toolbar draws it.
int tbheadx(int k);

// Runs the command named `func` (exact, case-sensitive whole-string match) and
// returns: -1 the play dialog was confirmed and playback is to start from
// `play`; -2 it was cancelled; 2 the editor is to restart; 0 anything else
// (an unknown command does nothing).
int funcmatch(const std::string& func);

// The page opened by the update command and the about box's update button.
inline constexpr const char* UPDATEURL = "https://github.com/pellavine/pellavine/releases";
