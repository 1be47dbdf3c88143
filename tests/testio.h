// SPDX-License-Identifier: MIT
#pragma once
// Scripted console io for tests: keys come from a queue (lines as their keys
// and Enter), the clock is fake and a sleep advances it. tioreset() installs the hooks into `io`
// and clears the screen; nothing is ever shown (io.show stays null).
#include "console/console.h"
#include "dialogs/dialogs.h"
#include "dialogs/filecmd.h"
#include "editor/editor.h"
#include "menu/command.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct scriptio {
    std::deque<int> keys;          // key codes, bytes of text, mouse marks; front first; the end when empty
    std::vector<smouse> mice;      // the mouse reports the marks in `keys` stand for
    int64_t nowms = 0;             // the fake wall clock, in ms since the epoch
    int escapes = 0;               // Escapes taken out of the keys during sleeps
    std::vector<int> slept;        // every sleep, in ms, in order
    int keysread = 0;              // event reads answered, KEY_END included, keys of lines not
    int linesread = 0;             // lines of tioline whose first key was read
    bool inline_ = false;          // the keys of a tioline line are being read
    // Called at the moment of each key read, line read (its first key) or
    // sleep, before it is answered: the screen then is what the user sees
    // while the program waits. onkey is not called for the keys of a line.
    std::function<void()> onkey;
    std::function<void()> online;
    std::function<void(int ms)> onsleep;
    // With no keys left, getkeywithin sleeps and returns KEY_NOTYET this many
    // times before the keys end.
    int waitkeys = 0;
};

extern scriptio tio;

// The editor state the tests drive, and a fresh one in its place.
extern seditor te;
void edreset();

// Empties the queues and hooks, sets the clock to `startms`, installs the
// scripted io and clears the screen (108 x 27, blank on black).
void tioreset(int64_t startms = 1700000000000);

void tiokeys(std::initializer_list<int> codes); // appends key codes
void tiotype(std::string_view bytes);           // appends one key per byte
// Appends a mouse report at cell (x, y); a click is a press and a release.
constexpr int MOUSEMARK = -3000;
void tiomouse(mbutton b, maction a, int x, int y, unsigned mods = 0);
void tioclick(int x, int y);
// Appends the keys of one line typed into a field: its bytes, then Enter.
// They go into the same queue as all keys, so call it in the order the
// program reads them.
void tioline(std::string_view line);

// Snapshots of the screen: every cell's character, attribute and half.
std::vector<Cell> tiocells();
bool tiosame(const std::vector<Cell>& a, const std::vector<Cell>& b);

// A stand-in for the desktop's opener ("xdg-open", "open") put first on PATH
// for its lifetime; it writes each address it is given to a file.
struct fakeopener {
    std::string dir, oldpath;
    fakeopener();
    ~fakeopener();
    fakeopener(const fakeopener&) = delete;
    fakeopener& operator=(const fakeopener&) = delete;
    // The addresses opened so far, waiting up to 5 s for `n` of them.
    std::vector<std::string> opened(size_t n);
};
