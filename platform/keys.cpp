// SPDX-License-Identifier: MIT
#include "platform/keys.h"

#include "console/console.h"

namespace {

int getbyte(keydec& d, int waitms)
{
    if (!d.held.empty()) {
        int b = static_cast<unsigned char>(d.held.front());
        d.held.erase(0, 1);
        return b;
    }
    return d.get ? d.get(d.ctx, waitms) : KB_END;
}

// A prefixed key: the prefix now, the code on the next read.
int prefixed(keydec& d, int prefix, int code)
{
    d.next = code;
    return prefix;
}

// The code of a finished sequence ESC intro params final, or -1 for one
// nobody knows. Sets d.next for a prefixed key.
int decode(keydec& d, char intro, const std::string& params, int final)
{
    if (intro == 'O' || params.empty()) {
        // ESC O x and ESC [ x (no parameters) share the letters.
        if (intro == 'O' && !params.empty())
            return -1;
        switch (final) {
        case 'A': return prefixed(d, 224, 72);
        case 'B': return prefixed(d, 224, 80);
        case 'D': return prefixed(d, 224, 75);
        case 'C': return prefixed(d, 224, 77);
        case 'H': return prefixed(d, 224, 71);
        case 'F': return prefixed(d, 224, 79);
        }
        if (intro == 'O' && final >= 'P' && final <= 'S')
            return prefixed(d, 0, 59 + (final - 'P'));
        return -1;
    }
    if (params[0] == '[') { // the Linux console's ESC [ [ A to E
        if (params.size() == 1 && final >= 'A' && final <= 'E')
            return prefixed(d, 0, 59 + (final - 'A'));
        return -1;
    }
    if (final != '~')
        return -1;
    int n = 0;
    for (char c : params) {
        if (c < '0' || c > '9' || n > 1000)
            return -1; // modifiers (";5") and anything else: not a key of ours
        n = n * 10 + (c - '0');
    }
    switch (n) {
    case 1: case 7: return prefixed(d, 224, 71);
    case 4: case 8: return prefixed(d, 224, 79);
    case 2: return prefixed(d, 224, 82);
    case 3: return prefixed(d, 224, 83);
    case 5: return prefixed(d, 224, 73);
    case 6: return prefixed(d, 224, 81);
    case 11: case 12: case 13: case 14: return prefixed(d, 0, 59 + (n - 11));
    case 15: return prefixed(d, 0, 63);
    case 17: case 18: case 19: case 20: case 21: return prefixed(d, 0, 64 + (n - 17));
    case 23: return prefixed(d, 224, 133);
    case 24: return prefixed(d, 224, 134);
    }
    return -1;
}

} // namespace

void keyclear(keydec& d)
{
    d.held.clear();
    d.next = -1;
}

int keyread(keydec& d)
{
    if (d.next >= 0) {
        int c = d.next;
        d.next = -1;
        return c;
    }
    for (;;) {
        int b = getbyte(d, -1);
        if (b == KB_END)
            return KEY_END;
        if (b == KB_NONE)
            return KEY_NONE;
        if (b == 127 || b == 8)
            return 8;
        if (b != 27)
            return b;

        // Escape: alone, or the start of a sequence if '[' or 'O' follows
        // within ESCWAIT ms. Interrupted waits go on until the time is up.
        int64_t until = d.clock ? d.clock(d.ctx) + ESCWAIT : 0;
        int intro = KB_NONE;
        for (;;) {
            int left = d.clock ? static_cast<int>(until - d.clock(d.ctx)) : 0;
            if (left <= 0 && d.held.empty())
                break;
            intro = getbyte(d, left < 0 ? 0 : left);
            if (intro != KB_NONE)
                break;
        }
        if (intro == KB_END)
            return 27; // the end shows on the next read
        if (intro != '[' && intro != 'O') {
            if (intro >= 0)
                d.held.insert(d.held.begin(), static_cast<char>(intro));
            return 27;
        }

        // A sequence: read to its final byte, however late it comes. Past
        // SEQMAX bytes the rest is read but no longer kept.
        std::string params;
        size_t length = 2; // ESC and the introducer
        int final = -1;
        for (;;) {
            int c = getbyte(d, -1);
            if (c == KB_NONE)
                continue;
            if (c == KB_END)
                return KEY_END;
            if (intro == '[' && params.empty() && c == '[') { // ESC [ [ x: one more byte ends it
                params += '[';
                length++;
                continue;
            }
            if (c < 0x20 || c > 0x7E) {
                // Not part of any sequence: the sequence is dropped and the
                // byte read as a key of its own.
                d.held.insert(d.held.begin(), static_cast<char>(c));
                break;
            }
            if (c >= 0x40) {
                final = c;
                break;
            }
            if (++length < SEQMAX)
                params += static_cast<char>(c);
        }
        if (final < 0 || ++length > SEQMAX)
            continue;
        int code = decode(d, static_cast<char>(intro), params, final);
        if (code >= 0)
            return code;
        // Unknown sequence: consumed, read the next key.
    }
}
