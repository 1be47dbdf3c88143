// SPDX-License-Identifier: MIT
#pragma once
// One input event, as the platform layer decodes it from the terminal's
// bytes or the console's records: a key, a typed character, a mouse report,
// a bracketed paste, a size change, or the end of input. Everything that
// reads input (the editor, the menu bar, the dialogs, the line editor) reads
// these.
#include "console/keys.h"

#include <string>

enum class evkind {
    none,   // nothing: a wait was interrupted, or the input held nothing we know
    key,    // a control or named key (console/keys.h)
    chr,    // one typed character, its UTF-8 bytes (as typed, even when not valid UTF-8)
    mouse,  // a mouse report
    paste,  // text pasted as one piece (bracketed paste)
    resize, // the window changed size
    end,    // input ended, or the program was asked to stop
};

enum class mbutton { left, middle, right, none, wheelup, wheeldown, wheelleft, wheelright };
enum class maction { press, release, drag, wheel };

// Modifier bits of a mouse report.
constexpr unsigned MOD_SHIFT = 1, MOD_ALT = 2, MOD_CTRL = 4;

struct smouse {
    mbutton button = mbutton::none;
    maction action = maction::press;
    int x = 0, y = 0;    // the cell, counted from 0 at the top left
    unsigned mods = 0;   // MOD_ bits
};

struct sevent {
    evkind kind = evkind::none;
    int key = KEY_NONE;  // evkind::key
    std::string text;    // evkind::chr and evkind::paste
    smouse mouse;        // evkind::mouse
};

inline sevent keyevent(int k)
{
    sevent e;
    e.kind = k == KEY_END ? evkind::end : evkind::key;
    e.key = k;
    return e;
}

// The key code an event stands for where keys are read: the key itself, a
// character of one byte (ASCII) as its byte, KEY_END at the end, and
// KEY_NONE for anything else (a mouse report, a paste, a resize, a
// character beyond ASCII).
inline int evkey(const sevent& e)
{
    switch (e.kind) {
    case evkind::key:
        return e.key;
    case evkind::chr:
        return e.text.size() == 1 && static_cast<unsigned char>(e.text[0]) < 0x80 ? static_cast<unsigned char>(e.text[0]) : KEY_NONE;
    case evkind::end:
        return KEY_END;
    default:
        return KEY_NONE;
    }
}

// A press of a mouse button (not the wheel, not a release or drag).
inline bool evpress(const sevent& e, mbutton b)
{
    return e.kind == evkind::mouse && e.mouse.action == maction::press && e.mouse.button == b;
}

// The event for a code as scripts (tests, benchmarks) write input: a
// control or named key (127 among them) as the key, KEY_END as the end,
// anything else as one byte of text.
inline sevent codeevent(int k)
{
    if (k < 0x20 || k == 127 || keynamed(k))
        return keyevent(k);
    sevent e;
    e.kind = evkind::chr;
    e.text = std::string(1, static_cast<char>(k));
    return e;
}
