// SPDX-License-Identifier: MIT
#pragma once
// Console primitives. Everything the program shows is drawn into the grid
// `scr` with gotoxy, setcolor and text output; the grid reaches the real
// terminal (or stays in memory, in tests) through the hooks in `io`, which are
// called before every blocking key read or sleep. Line input is a widget of
// its own above this layer (widgets/lineedit.h), on top of the key read.
#include "console/event.h"
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
    sevent (*event)() = nullptr;                // the next input event; evkind::end at the end
    void (*sleep)(int ms) = nullptr;
    // Sleeps, but an Escape typed or a mouse button pressed meanwhile ends
    // the sleep and is taken out of the input (other events stay for later
    // reads); true then.
    bool (*sleepesc)(int ms) = nullptr;
    // A key typed within ms, or KEY_NOTYET; null where a terminal cannot
    // wait so (getkeywithin then waits for a key).
    int (*keywithin)(int ms) = nullptr;
    stimems (*now)() = nullptr;
    // True when input is already waiting to be read: the frame before that
    // read is not shown (the next one is), so a paste or fast typing costs
    // one frame, not one a key.
    bool (*waiting)() = nullptr;
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
sevent getev();                                  // flushes (unless input waits), then the next input event
int getkey();                                    // flushes, then the next key or ASCII character (evkey), KEY_END at the end; other events are skipped
int getkeywithin(int ms);                        // flushes, then a key typed within ms or KEY_NOTYET
void Sleep(int ms);                              // flushes, then sleeps
void cflush();                                   // shows the grid now
stimems gettimems();
bool stopasked();                                // a signal asked the program to stop
bool Sleepesc(int ms);                           // flushes, then sleeps until Esc; true on Esc
