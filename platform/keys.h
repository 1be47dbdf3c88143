// SPDX-License-Identifier: MIT
#pragma once
// Turning the bytes a terminal sends into input events (console/event.h):
// characters (UTF-8, a whole character to an event), control keys, the
// cursor and function keys of the escape sequences xterm, VT220 and the
// Linux console send, SGR mouse reports (ESC [ < b ; x ; y M or m), and
// bracketed pastes (ESC [ 200 ~ text ESC [ 201 ~).
#include "console/event.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What a byte source gives besides a byte (0 to 255).
constexpr int KB_NONE = -2; // nothing arrived within the wait, or the wait was interrupted
constexpr int KB_END = -1;  // end of input, a read error or a request to stop

struct keydec {
    // One byte, waiting at most waitms milliseconds (forever when negative).
    int (*get)(void* ctx, int waitms) = nullptr;
    // A monotonic clock in milliseconds.
    int64_t (*clock)(void* ctx) = nullptr;
    void* ctx = nullptr;

    std::string held; // bytes read but not yet decoded; they come before new ones
};

constexpr int ESCWAIT = 50;    // ms an Escape waits for the rest of a sequence
constexpr size_t SEQMAX = 256; // bytes a sequence may hold; a longer one is read to its end and dropped
constexpr size_t PASTEMAX = 1 << 20; // bytes of a paste kept; the rest is read and dropped
constexpr int MOUSEMAX = 100000; // the largest column or row a mouse report may name

// The next event: evkind::end when the source ended, evkind::none when the
// wait for the first byte was interrupted (the caller may look at its flags
// and read again). A sequence nobody knows, and a malformed mouse report,
// is consumed whole and the read goes on with what follows.
sevent keyread(keydec& d);

// Drops every held byte.
void keyclear(keydec& d);
