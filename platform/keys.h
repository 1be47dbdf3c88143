// SPDX-License-Identifier: MIT
#pragma once
// Turning the bytes a terminal sends into the key codes of the Windows
// console's _getch: the byte itself for ordinary keys, and a prefix (224 or 0)
// followed, on the next read, by a scan code for the cursor and function keys.
#include <cstddef>
#include <cstdint>
#include <string>

// What a byte source gives besides a byte (0 to 255).
constexpr int KB_NONE = -2; // nothing arrived within the wait, or the wait was interrupted
constexpr int KB_END = -1;  // end of input, a read error or a request to stop

// Returned by keyread besides key codes and KEY_END (-1).
constexpr int KEY_NONE = -2; // the wait for a key was interrupted; nothing was read

struct keydec {
    // One byte, waiting at most waitms milliseconds (forever when negative).
    int (*get)(void* ctx, int waitms) = nullptr;
    // A monotonic clock in milliseconds.
    int64_t (*clock)(void* ctx) = nullptr;
    void* ctx = nullptr;

    std::string held; // bytes read but not yet decoded; they come before new ones
    int next = -1;    // the second code of a prefixed key, returned by the next read
};

constexpr int ESCWAIT = 50; // ms an Escape waits for the rest of a sequence
constexpr size_t SEQMAX = 256; // bytes a sequence may hold; a longer one is read to its end and dropped

// The next key code; KEY_END when the source ended, KEY_NONE when the wait
// for the first byte of a key was interrupted (the caller may look at its
// flags and read again). A sequence nobody knows is consumed whole and the
// read goes on with the next key.
int keyread(keydec& d);

// Drops the second half of a prefixed key and every held byte.
void keyclear(keydec& d);
