// SPDX-License-Identifier: MIT
#pragma once
// Key codes, named once. A control key is its byte (Enter 13, Esc 27,
// Backspace 8 whichever of 8 and 127 the terminal sends); a key without a
// character (cursor, editing and function keys) is a code above 255 of its
// own. Only the input decoders (platform/keys.cpp, platform/conkeys.cpp)
// know how terminals and consoles spell them.
constexpr int KEY_NONE = -2;      // no key: the event was something else, or nothing came
constexpr int KEY_END = -1;       // input ended or the program was asked to stop
constexpr int KEY_NOTYET = -3;    // no key was typed within the wait (getkeywithin)
constexpr int KEY_CTRLC = 3;
constexpr int KEY_BACKSPACE = 8;
constexpr int KEY_TAB = 9;
constexpr int KEY_LINEFEED = 10;
constexpr int KEY_ENTER = 13;
constexpr int KEY_CTRLS = 19;
constexpr int KEY_CTRLU = 21;
constexpr int KEY_CTRLW = 23;
constexpr int KEY_CTRLY = 25;
constexpr int KEY_CTRLZ = 26;
constexpr int KEY_ESC = 27;
constexpr int KEY_SPACE = 32;

// Keys without a character.
constexpr int KEY_UP = 0x101, KEY_DOWN = 0x102, KEY_LEFT = 0x103, KEY_RIGHT = 0x104;
constexpr int KEY_HOME = 0x105, KEY_ENDKEY = 0x106, KEY_INSERT = 0x107, KEY_DELETE = 0x108;
constexpr int KEY_PGUP = 0x109, KEY_PGDN = 0x10A;
constexpr int KEY_F1 = 0x111; // F1 to F12 are KEY_F1 + 0 to 11
constexpr int keyfn(int n) { return KEY_F1 + n - 1; }

// True for a key without a character.
constexpr bool keynamed(int k) { return k > 0xFF; }
