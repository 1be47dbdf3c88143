// SPDX-License-Identifier: MIT
#pragma once
// Turning the input records of the Windows console (ReadConsoleInputW) into
// input events (console/event.h), the same events the terminal decoder
// gives: a typed character (UTF-16 surrogate pairs joined), a control or
// named key, a mouse report. Pure: no console here.
#include "console/event.h"

#include <cstddef>
#include <cstdint>
#include <deque>

// One KEY_EVENT_RECORD, in plain types.
struct sconkey {
    bool down = true;
    uint16_t repeat = 1;
    uint16_t vk = 0;    // virtual key code
    char16_t ch = 0;    // UTF-16 code unit, 0 for keys without a character
    uint32_t state = 0; // control key state (unused by the decoding so far)
};

// One MOUSE_EVENT_RECORD, in plain types, its row already counted from the
// top of the window.
struct sconmouse {
    int x = 0, y = 0;
    uint32_t buttons = 0; // dwButtonState: bit 0 left, bit 1 right, bit 2 middle; the wheel's delta in the high word
    uint32_t state = 0;   // dwControlKeyState
    uint32_t flags = 0;   // dwEventFlags: 1 moved, 2 double click, 4 wheel, 8 horizontal wheel
};

struct sconkeys {
    char16_t high = 0;          // a high surrogate waiting for its low half
    uint32_t buttons = 0;       // the mouse buttons held down, as the last record left them
    std::deque<sevent> events;  // decoded events not yet read
};

// Decodes one record, appending its events.
void conkeyfeed(sconkeys& d, const sconkey& k);
void conmousefeed(sconkeys& d, const sconmouse& m);

// A Ctrl+C that came as a console control event, not as a key record: read
// after the events already decoded, as the Ctrl+C key.
void conkeyctrlc(sconkeys& d);

// The next decoded event, or evkind::none when none is waiting.
sevent conkeynext(sconkeys& d);

// Takes the first Escape key or mouse press out of the events from index
// `from` on; true when there was one. The others stay in order.
bool conkeytakeesc(sconkeys& d, size_t from);
