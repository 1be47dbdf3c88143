// SPDX-License-Identifier: MIT
#pragma once
// Turning the key records of the Windows console (ReadConsoleInputW) into the
// key codes of _getch, the same codes the terminal decoder gives: the
// character itself (UTF-8 a byte at a time), or a prefix (224 or 0) followed
// by a scan code for the cursor and function keys. Pure: no console here.
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

struct sconkeys {
    char16_t high = 0;      // a high surrogate waiting for its low half
    std::deque<int> codes;  // decoded codes not yet read
};

// Decodes one record, appending its key codes.
void conkeyfeed(sconkeys& d, const sconkey& k);

// A Ctrl+C that came as a console control event, not as a key record: read
// after the keys already decoded, as the Ctrl+C key.
void conkeyctrlc(sconkeys& d);

// The next decoded code, or -1 when none is waiting.
int conkeynext(sconkeys& d);

// Takes the first Escape key out of the codes from index `from` on (the start
// of a key); true when there was one. The codes around it stay in order.
bool conkeytakeesc(sconkeys& d, size_t from);
