// SPDX-License-Identifier: MIT
#include "widgets/lineedit.h"

#include "console/console.h"
#include "console/width.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <utf8proc.h>
#include <vector>

namespace {

// A byte that is not part of valid UTF-8 is held as RAWBYTE + the byte (a
// lone surrogate, which no decoded character can be) and written back as it
// came.
constexpr char32_t RAWBYTE = 0xDC00;

bool israw(char32_t c) { return c >= RAWBYTE && c <= RAWBYTE + 0xFF; }

bool iscontrol(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// What the field shows for a character of the text.
char32_t shown(char32_t c) { return israw(c) || iscontrol(c) ? 0xFFFD : c; }

int cwidth(char32_t c) { return colwidth(shown(c)); }

// Letters, digits and '_' make words for Ctrl+W; anything else separates them.
bool wordchar(char32_t c)
{
    if (israw(c))
        return true;
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
    case UTF8PROC_CATEGORY_LU: case UTF8PROC_CATEGORY_LL: case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM: case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_ND: case UTF8PROC_CATEGORY_NL: case UTF8PROC_CATEGORY_NO:
    case UTF8PROC_CATEGORY_PC:
        return true;
    default:
        return false;
    }
}

bool continuation(int b) { return b >= 0x80 && b <= 0xBF; }

// The longest text a field takes, in bytes of UTF-8: the longest path the
// system allows (fields take paths and titles).
#ifdef PATH_MAX
constexpr size_t LINEMAX = PATH_MAX - 1;
#else
constexpr size_t LINEMAX = 4095;
#endif

// Said on the bottom row when typed or pasted text did not fit.
constexpr const char* CUTMSG = "输入过长，超出的部分已舍去";

// Bytes a character of the text takes in UTF-8.
size_t u8size(char32_t c)
{
    if (c >= 0xDC00 && c <= 0xDCFF) // a raw byte
        return 1;
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

struct field {
    int x = 0, y = 0, w = 0;
    unsigned char attr = 15;
    std::vector<Cell> under; // what the field covered, column by column
};

struct lineeditor {
    field f;
    std::vector<char32_t> text;
    size_t cur = 0;     // the cursor, as an index into text
    size_t first = 0;   // the first character the field shows
    std::string pend;   // bytes of a UTF-8 character not yet complete
    size_t bytes = 0;   // the text's length in UTF-8, at most LINEMAX
    bool cut = false;   // text was dropped since the last key: CUTMSG shows

    // Characters a pass looks at around the cursor: what the field can show,
    // with room for zero-width characters, so that the work of a key never
    // depends on the length of the text.
    size_t reach() const { return 2 * static_cast<size_t>(f.w) + 16; }

    // Columns the text before the cursor may take: the cursor's own cell
    // stays inside the field.
    int room() const { return std::max(f.w - 1, 0); }

    void insert(char32_t c)
    {
        if (iscontrol(c))
            return;
        if (bytes + u8size(c) > LINEMAX) {
            cut = true;
            return;
        }
        bytes += u8size(c);
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(cur), c);
        cur++;
    }

    void erase(size_t from, size_t to)
    {
        for (size_t i = from; i < to; i++)
            bytes -= u8size(text[i]);
        text.erase(text.begin() + static_cast<std::ptrdiff_t>(from), text.begin() + static_cast<std::ptrdiff_t>(to));
        cur = from;
    }

    // An unfinished character broken off by another key: its bytes as typed.
    void flushpend()
    {
        for (char b : pend)
            insert(RAWBYTE + static_cast<unsigned char>(b));
        pend.clear();
    }

    void byte(int b);
    void eraseword();
    void follow();
    void draw() const;
};

// One byte of typed text (0x20 to 0xFF), after flushpend for anything
// that cannot continue a pending character.
void lineeditor::byte(int b)
{
    if (pend.empty() && u8seqlen(b) == 0) {
        if (b < 0x80)
            insert(static_cast<char32_t>(b));
        else
            insert(RAWBYTE + static_cast<char32_t>(b));
        return;
    }
    pend += static_cast<char>(b);
    if (pend.size() < u8seqlen(static_cast<unsigned char>(pend[0])))
        return;
    size_t i = 0;
    char32_t c = u8next(pend, i);
    if (i == pend.size()) {
        insert(c); // C1 controls are dropped there
        pend.clear();
    } else {
        flushpend(); // an overlong form or a surrogate: not UTF-8
    }
}

// Ctrl+W: the separators before the cursor, then the word before them.
void lineeditor::eraseword()
{
    size_t from = cur;
    while (from > 0 && !wordchar(text[from - 1]))
        from--;
    while (from > 0 && wordchar(text[from - 1]))
        from--;
    erase(from, cur);
}

// Scrolls so that the cursor stands inside the field and the field is as
// full as the text allows.
void lineeditor::follow()
{
    if (cur < first)
        first = cur;
    const size_t lim = reach();
    if (cur - first > lim)
        first = cur - lim;
    int used = 0;
    for (size_t i = cur; i > first; i--) {
        used += cwidth(text[i - 1]);
        if (used > room()) {
            first = i;
            break;
        }
    }
    int tail = 0;
    const size_t tailend = std::min(text.size(), first + lim);
    for (size_t i = first; i < tailend && tail <= room(); i++)
        tail += cwidth(text[i]);
    const size_t floor = cur > lim ? cur - lim : 0;
    while (first > floor && tail + cwidth(text[first - 1]) <= room())
        tail += cwidth(text[--first]);
}

void lineeditor::draw() const
{
    int col = 0, cursorcol = 0;
    const size_t end = std::min(text.size(), first + reach());
    size_t i = first;
    for (; i < end; i++) {
        if (i == cur)
            cursorcol = col;
        char32_t c = shown(text[i]);
        int cw = colwidth(c);
        if (cw == 0)
            continue;
        if (col + cw > f.w)
            break;
        gcell(scr, f.x + col, f.y) = Cell{c, f.attr, static_cast<unsigned char>(cw == 2 ? 1 : 0)};
        if (cw == 2)
            gcell(scr, f.x + col + 1, f.y) = Cell{U' ', f.attr, 2};
        col += cw;
    }
    if (cur >= i)
        cursorcol = col;
    for (int k = col; k < f.w; k++) {
        Cell c = f.under[static_cast<size_t>(k)];
        if (k == col && c.part == 2) // its left half is covered by the text
            c = Cell{U' ', c.attr, 0};
        gcell(scr, f.x + k, f.y) = c;
    }
    gmove(scr, f.x + std::min(cursorcol, room()), f.y);
}

// The field at the cursor, clipped to the screen, and what it covers.
field openfield(int width)
{
    field f;
    f.x = scr.cx;
    f.y = scr.cy;
    f.attr = scr.attr;
    f.w = std::clamp(width, 0, std::max(scr.w - f.x, 0));
    for (int k = 0; k < f.w; k++)
        f.under.push_back(gcell(scr, f.x + k, f.y));
    return f;
}

void utf8out(const std::vector<char32_t>& text, std::string& out)
{
    for (char32_t c : text) {
        if (israw(c))
            out += static_cast<char>(c - RAWBYTE);
        else
            u8put(out, c);
    }
}

// What a key did to the line.
enum class keystep { more, enter, ended };

void namedkey(lineeditor& e, int k)
{
    if (k == KEY_LEFT && e.cur > 0)
        e.cur--;
    else if (k == KEY_RIGHT && e.cur < e.text.size())
        e.cur++;
    else if (k == KEY_HOME)
        e.cur = 0;
    else if (k == KEY_ENDKEY)
        e.cur = e.text.size();
    else if (k == KEY_DELETE && e.cur < e.text.size())
        e.erase(e.cur, e.cur + 1);
}

keystep onekey(lineeditor& e, int k)
{
    switch (k) {
    case KEY_ENTER:
    case KEY_LINEFEED:
        return keystep::enter;
    case KEY_ESC:
        e.erase(0, e.text.size());
        break;
    case KEY_BACKSPACE:
        if (e.cur > 0)
            e.erase(e.cur - 1, e.cur);
        break;
    case KEY_CTRLU:
        e.erase(0, e.cur);
        break;
    case KEY_CTRLW:
        e.eraseword();
        break;
    default:
        if (keynamed(k))
            namedkey(e, k);
    }
    return keystep::more;
}

// Typed or pasted text: its bytes, as typed.
void typed(lineeditor& e, std::string_view text)
{
    for (char c : text) {
        int b = static_cast<unsigned char>(c);
        if (!e.pend.empty() && !continuation(b))
            e.flushpend();
        if (b >= 0x20 && b != 0x7F)
            e.byte(b);
    }
}

// A left press inside the field: the text cursor to the character shown
// there (past the text: its end).
void pressat(lineeditor& e, const smouse& m)
{
    if (m.button != mbutton::left || m.action != maction::press || m.y != e.f.y || m.x < e.f.x || m.x >= e.f.x + e.f.w)
        return;
    int col = 0;
    size_t i = e.first;
    for (const size_t end = std::min(e.text.size(), e.first + e.reach()); i < end; i++) {
        int cw = cwidth(e.text[i]);
        if (cw > 0 && col + cw > m.x - e.f.x)
            break;
        col += cw;
    }
    e.cur = i;
}

keystep oneevent(lineeditor& e, const sevent& ev)
{
    switch (ev.kind) {
    case evkind::mouse:
        pressat(e, ev.mouse);
        return keystep::more;
    case evkind::end:
        return keystep::ended;
    case evkind::chr:
    case evkind::paste:
        typed(e, ev.text);
        return keystep::more;
    case evkind::key:
        if (!e.pend.empty())
            e.flushpend();
        return onekey(e, ev.key);
    default:
        return keystep::more;
    }
}

} // namespace

lineresult lineedit(std::string& out, int width, std::string_view start)
{
    out.clear();
    lineeditor e;
    e.f = openfield(width);
    for (char b : start) // the text to correct, the cursor after it
        e.byte(static_cast<unsigned char>(b));
    e.flushpend();
    std::vector<Cell> undermsg; // what CUTMSG covers while it shows
    const int msgy = scr.h - 1;
    bool cutnow = e.cut;
    for (;;) {
        e.follow();
        e.draw();
        if (cutnow && undermsg.empty() && msgy != e.f.y && msgy >= 0) {
            const int cx = scr.cx, cy = scr.cy;
            for (int x = 0; x < scr.w; x++)
                undermsg.push_back(gcell(scr, x, msgy));
            const unsigned char attr = scr.attr;
            gmove(scr, 0, msgy);
            scr.attr = 112;
            gput(scr, CUTMSG);
            scr.attr = attr;
            gmove(scr, cx, cy);
        }
        keystep st = oneevent(e, getev());
        cutnow = e.cut;
        e.cut = false;
        if (!undermsg.empty() && !cutnow) {
            for (int x = 0; x < scr.w; x++)
                gcell(scr, x, msgy) = undermsg[static_cast<size_t>(x)];
            undermsg.clear();
        }
        if (st != keystep::more) {
            for (size_t x = 0; x < undermsg.size(); x++)
                gcell(scr, static_cast<int>(x), msgy) = undermsg[x];
            if (st == keystep::ended)
                return lineresult::ended;
            break;
        }
    }
    utf8out(e.text, out);
    return lineresult::entered;
}

bool getline(std::string& out, int width, std::string_view start)
{
    return lineedit(out, width, start) == lineresult::entered;
}
