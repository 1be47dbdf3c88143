// SPDX-License-Identifier: MIT
#pragma once
// Console primitives. Everything the program shows is drawn into the grid
// `scr` with gotoxy, setcolor and text output; the grid reaches the real
// terminal (or stays in memory, in tests) through the hooks in `io`, which are
// called before every blocking key read or sleep. Line input is a widget of
// its own above this layer (widgets/lineedit.h), on top of the key read.
#include "console/grid.h"
#include "console/keys.h"
#include "score/model.h"
#include "score/view.h"

#include <cstdint>
#include <string>
#include <string_view>


// Where the console meets the outside world. The terminal layer fills these in
// for a real run; tests fill them in with scripted keys and a fake clock.
struct conio {
    void (*show)(const Grid&) = nullptr;       // make the grid visible, in one write
    int (*key)() = nullptr;                     // one key code as _getch gives it, or KEY_END
    void (*sleep)(int ms) = nullptr;
    // Sleeps, but an Escape typed meanwhile ends the sleep and is taken out
    // of the input (other keys stay for later reads); true then.
    bool (*sleepesc)(int ms) = nullptr;
    // A key typed within ms, or KEY_NOTYET; null where a terminal cannot
    // wait so (getchwithin then waits for a key).
    int (*keywithin)(int ms) = nullptr;
    stimems (*now)() = nullptr;
    bool (*stop)() = nullptr;                   // true once the program has been asked to stop
};

// The console: the grid everything is drawn into and the hooks that connect
// it to a terminal. One for the process, as a terminal is one; every drawing
// primitive writes here.
struct sconsole : Grid {
    conio io;
};
extern sconsole scr;


void gotoxy(int x, int y);
void setcolor(unsigned short color_index);
void cput(std::string_view s);                  // text at the cursor
void cprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Text padded with blanks to at least `width` columns ("%-17s" counted in columns).
void cpad(std::string_view s, int width);
void cls();                                      // blank screen, cursor home
int getch();                                     // flushes, then one key code
int getchwithin(int ms);                         // flushes, then a key typed within ms or KEY_NOTYET
void Sleep(int ms);                              // flushes, then sleeps
void cflush();                                   // shows the grid now
stimems gettimems();
bool stopasked();                                // a signal asked the program to stop
bool Sleepesc(int ms);                           // flushes, then sleeps until Esc; true on Esc
