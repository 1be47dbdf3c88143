// SPDX-License-Identifier: MIT
#pragma once
// Key codes as getch gives them, named once: the byte of an ordinary key,
// and for cursor and function keys a prefix followed by a second code.
constexpr int KEY_END = -1;       // input ended or the program was asked to stop
constexpr int KEY_NOTYET = -3;    // no key was typed within the wait (getchwithin)
constexpr int KEY_PREFIX0 = 0;    // prefix of a function key
constexpr int KEY_CTRLC = 3;
constexpr int KEY_BACKSPACE = 8;
constexpr int KEY_TAB = 9;
constexpr int KEY_ENTER = 13;
constexpr int KEY_CTRLS = 19;
constexpr int KEY_CTRLU = 21;
constexpr int KEY_CTRLW = 23;
constexpr int KEY_CTRLY = 25;
constexpr int KEY_CTRLZ = 26;
constexpr int KEY_ESC = 27;
constexpr int KEY_SPACE = 32;
constexpr int KEY_PREFIX = 224;   // prefix of a cursor or editing key

// True for the first code of a two-code key.
inline bool keyprefix(int k) { return k == KEY_PREFIX0 || k == KEY_PREFIX; }
