// SPDX-License-Identifier: MIT
#include "platform/keys.h"

#include "console/width.h"

#include <algorithm>
#include <string_view>

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

void unget(keydec& d, int b) { d.held.insert(d.held.begin(), static_cast<char>(b)); }

sevent chrevent(std::string text)
{
    sevent e;
    e.kind = evkind::chr;
    e.text = std::move(text);
    return e;
}

// A character from its first byte: the continuation bytes that follow
// (those already typed, or arriving within ESCWAIT ms). A byte that cannot
// continue it is left for the next read; the event then holds the bytes as
// typed, which readers show as not UTF-8.
sevent character(keydec& d, int b)
{
    std::string t(1, static_cast<char>(b));
    for (size_t n = u8seqlen(b); t.size() < n;) {
        int c = getbyte(d, ESCWAIT);
        if (c < 0x80 || c > 0xBF) {
            if (c >= 0)
                unget(d, c);
            break;
        }
        t += static_cast<char>(c);
    }
    return chrevent(std::move(t));
}

// A number of a sequence's parameters: digits only, at most `max`; -1 otherwise.
int number(const std::string& s, size_t& i, int max)
{
    int n = -1;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++) {
        n = (n < 0 ? 0 : n * 10) + (s[i] - '0');
        if (n > max)
            return -1;
    }
    return n;
}

// ESC [ < b ; x ; y M (press, drag, wheel) or m (release): the event, or
// none for anything malformed.
sevent mousereport(const std::string& params, int final)
{
    sevent none;
    if (final != 'M' && final != 'm')
        return none;
    size_t i = 1;
    int b = number(params, i, 255);
    if (b < 0 || i >= params.size() || params[i++] != ';')
        return none;
    int x = number(params, i, MOUSEMAX);
    if (x < 1 || i >= params.size() || params[i++] != ';')
        return none;
    int y = number(params, i, MOUSEMAX);
    if (y < 1 || i != params.size())
        return none;
    sevent e;
    e.kind = evkind::mouse;
    smouse& m = e.mouse;
    m.x = x - 1;
    m.y = y - 1;
    m.mods = (b & 4 ? MOD_SHIFT : 0) | (b & 8 ? MOD_ALT : 0) | (b & 16 ? MOD_CTRL : 0);
    if (b & 128)
        return none; // buttons 8 to 11: not ours
    if (b & 64) {
        if (final == 'm')
            return none;
        static constexpr mbutton wheels[] = {mbutton::wheelup, mbutton::wheeldown, mbutton::wheelleft, mbutton::wheelright};
        m.button = wheels[b & 3];
        m.action = maction::wheel;
        return e;
    }
    static constexpr mbutton buttons[] = {mbutton::left, mbutton::middle, mbutton::right, mbutton::none};
    m.button = buttons[b & 3];
    m.action = final == 'm' ? maction::release : (b & 32) ? maction::drag : maction::press;
    if (m.button == mbutton::none && m.action == maction::press)
        return none;
    return e;
}

// The key of a finished sequence ESC intro params final, or KEY_NONE for
// one nobody knows.
int seqkey(char intro, const std::string& params, int final)
{
    if (intro == 'O' || params.empty()) {
        // ESC O x and ESC [ x (no parameters) share the letters.
        if (intro == 'O' && !params.empty())
            return KEY_NONE;
        switch (final) {
        case 'A': return KEY_UP;
        case 'B': return KEY_DOWN;
        case 'D': return KEY_LEFT;
        case 'C': return KEY_RIGHT;
        case 'H': return KEY_HOME;
        case 'F': return KEY_ENDKEY;
        }
        if (intro == 'O' && final >= 'P' && final <= 'S')
            return keyfn(1 + (final - 'P'));
        return KEY_NONE;
    }
    if (params[0] == '[') { // the Linux console's ESC [ [ A to E
        if (params.size() == 1 && final >= 'A' && final <= 'E')
            return keyfn(1 + (final - 'A'));
        return KEY_NONE;
    }
    if (final != '~')
        return KEY_NONE;
    size_t i = 0;
    int n = number(params, i, 1000);
    if (n < 0 || i != params.size())
        return KEY_NONE; // modifiers (";5") and anything else: not a key of ours
    switch (n) {
    case 1: case 7: return KEY_HOME;
    case 4: case 8: return KEY_ENDKEY;
    case 2: return KEY_INSERT;
    case 3: return KEY_DELETE;
    case 5: return KEY_PGUP;
    case 6: return KEY_PGDN;
    case 11: case 12: case 13: case 14: case 15: return keyfn(1 + (n - 11));
    case 17: case 18: case 19: case 20: case 21: return keyfn(6 + (n - 17));
    case 23: case 24: return keyfn(11 + (n - 23));
    }
    return KEY_NONE;
}

// The text of a bracketed paste, up to its closing ESC [ 201 ~; past
// PASTEMAX bytes the rest is read but not kept.
sevent paste(keydec& d)
{
    static constexpr char close[] = "\x1b[201~";
    constexpr size_t closelen = sizeof close - 1;
    sevent e;
    e.kind = evkind::paste;
    std::string tail; // the bytes that may begin the closing sequence
    for (;;) {
        int c = getbyte(d, -1);
        if (c == KB_NONE)
            continue;
        if (c == KB_END)
            break;
        tail += static_cast<char>(c);
        if (tail == close)
            break;
        if (std::string_view(close, tail.size()) == tail)
            continue;
        // Not the close: the first byte is text; look again at the rest.
        while (!tail.empty() && std::string_view(close, std::min(tail.size(), closelen)) != tail) {
            if (e.text.size() < PASTEMAX)
                e.text += tail[0];
            tail.erase(0, 1);
        }
    }
    return e;
}

// After ESC: alone, or the start of a sequence if '[' or 'O' follows within
// ESCWAIT ms. Interrupted waits go on until the time is up.
int introducer(keydec& d)
{
    int64_t until = d.clock ? d.clock(d.ctx) + ESCWAIT : 0;
    for (;;) {
        int left = d.clock ? static_cast<int>(until - d.clock(d.ctx)) : 0;
        if (left <= 0 && d.held.empty())
            return KB_NONE;
        int intro = getbyte(d, left < 0 ? 0 : left);
        if (intro != KB_NONE)
            return intro;
    }
}

} // namespace

void keyclear(keydec& d) { d.held.clear(); }

sevent keyread(keydec& d)
{
    for (;;) {
        int b = getbyte(d, -1);
        if (b == KB_END)
            return keyevent(KEY_END);
        if (b == KB_NONE)
            return sevent{};
        if (b == 127 || b == 8)
            return keyevent(KEY_BACKSPACE);
        if (b >= 0x80 || (b >= 0x20 && b != 27))
            return character(d, b);
        if (b != 27)
            return keyevent(b);

        int intro = introducer(d);
        if (intro == KB_END)
            return keyevent(KEY_ESC); // the end shows on the next read
        if (intro != '[' && intro != 'O') {
            if (intro >= 0)
                unget(d, intro);
            return keyevent(KEY_ESC);
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
                return keyevent(KEY_END);
            if (intro == '[' && params.empty() && c == '[') { // ESC [ [ x: one more byte ends it
                params += '[';
                length++;
                continue;
            }
            if (c < 0x20 || c > 0x7E) {
                // Not part of any sequence: the sequence is dropped and the
                // byte read as a key of its own.
                unget(d, c);
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
        if (intro == '[' && !params.empty() && params[0] == '<') {
            sevent m = mousereport(params, final);
            if (m.kind == evkind::mouse)
                return m;
            continue; // malformed: consumed, never a key
        }
        if (intro == '[' && params == "200" && final == '~')
            return paste(d);
        int k = seqkey(static_cast<char>(intro), params, final);
        if (k != KEY_NONE)
            return keyevent(k);
        // Unknown sequence: consumed, read the next key.
    }
}
