// SPDX-License-Identifier: MIT
#include "platform/render.h"

#include "console/width.h"

#include <algorithm>

namespace {

// Console colours number blue as bit 0 and red as bit 2; ANSI the other way.
int ansi(int c) { return (c & 2) | (c & 1) << 2 | (c & 4) >> 2; }

int fgcode(int attr) { return (attr & 8 ? 90 : 30) + ansi(attr & 7); }
int bgcode(int attr) { return (attr & 0x80 ? 100 : 40) + ansi((attr >> 4) & 7); }

void csi(std::string& out, int n, char final)
{
    out += "\x1b[";
    if (n != 1)
        out += std::to_string(n);
    out += final;
}

// Makes the terminal write in attribute a. A blank shows only its background,
// so for one the foreground is left as it is.
void setattr(Screen& s, int a, bool blank, std::string& out)
{
    if (s.attr == a)
        return;
    bool fg = s.attr < 0 || (s.attr & 15) != (a & 15);
    bool bg = s.attr < 0 || (s.attr >> 4) != (a >> 4);
    if (blank && s.attr >= 0)
        fg = false;
    if (!fg && !bg)
        return;
    out += "\x1b[";
    if (fg)
        out += std::to_string(fgcode(a));
    if (fg && bg)
        out += ';';
    if (bg)
        out += std::to_string(bgcode(a));
    out += 'm';
    int old = s.attr < 0 ? a : s.attr;
    s.attr = (fg ? a & 15 : old & 15) | (bg ? a & 0xF0 : old & 0xF0);
}

bool isblank(const Cell& c) { return c.ch == U' ' && c.part != 2; }

// Two cells look the same on the terminal.
bool same(const Cell& a, const Cell& b)
{
    if (a.part != b.part)
        return false;
    if (a.ch == U' ' && b.ch == U' ')
        return (a.attr >> 4) == (b.attr >> 4);
    return a.ch == b.ch && a.attr == b.attr;
}

size_t idx(const Grid& g, int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(g.w) + static_cast<size_t>(x); }

// Writing cell c with the terminal in its current attribute leaves the cell
// as it is: used to step the cursor over a few cells instead of moving it.
bool rewritable(const Screen& s, int x, int y)
{
    size_t i = idx(s.front, x, y);
    const Cell& c = s.front.cells[i];
    if (!s.known[i] || c.part != 0 || c.ch < 0x20 || c.ch >= 0x7F || s.attr < 0)
        return false;
    return c.ch == U' ' ? (c.attr >> 4) == (s.attr >> 4) : c.attr == s.attr;
}

void moveto(Screen& s, int x, int y, std::string& out)
{
    if (s.cx == x && s.cy == y)
        return;
    std::string best = "\x1b[";
    if (y != 0 || x != 0) {
        best += std::to_string(y + 1);
        if (x != 0)
            best += ';' + std::to_string(x + 1);
    }
    best += 'H';
    if (s.cx >= 0 && s.cy >= 0) {
        std::string v;
        if (y > s.cy) {
            int d = y - s.cy;
            std::string lf(static_cast<size_t>(d), '\n');
            csi(v, d, 'B');
            if (lf.size() <= v.size())
                v = lf;
        } else if (y < s.cy) {
            csi(v, s.cy - y, 'A');
        }
        // Horizontal part, from column fx.
        auto horiz = [&](int fx, bool samerow) {
            std::string h;
            if (x == fx)
                return h;
            std::string cha;
            csi(cha, x + 1, 'G');
            if (x > fx) {
                csi(h, x - fx, 'C');
                if (samerow && x - fx <= static_cast<int>(h.size())) {
                    bool ok = true;
                    for (int i = fx; i < x && ok; i++)
                        ok = rewritable(s, i, y);
                    if (ok) {
                        h.clear();
                        for (int i = fx; i < x; i++)
                            h += static_cast<char>(s.front.cells[idx(s.front, i, y)].ch);
                    }
                }
            } else {
                csi(h, fx - x, 'D');
                if (fx - x <= static_cast<int>(h.size()))
                    h.assign(static_cast<size_t>(fx - x), '\b');
            }
            return cha.size() < h.size() ? cha : h;
        };
        std::string a = v + horiz(s.cx, y == s.cy);
        std::string b = "\r" + v + horiz(0, false);
        if (a.size() < best.size())
            best = a;
        if (b.size() < best.size())
            best = b;
    }
    out += best;
    s.cx = x;
    s.cy = y;
}

} // namespace

std::string sgrcolors(int attr)
{
    return std::to_string(fgcode(attr)) + ";" + std::to_string(bgcode(attr));
}

void rinvalidate(Screen& s)
{
    std::fill(s.known.begin(), s.known.end(), 0);
    s.cx = s.cy = -1;
    s.attr = -1;
    s.clear = true;
}

void rforgetrows(Screen& s, int y0)
{
    y0 = std::max(y0, 0);
    if (s.front.w > 0 && y0 < s.front.h)
        std::fill(s.known.begin() + static_cast<std::ptrdiff_t>(idx(s.front, 0, y0)), s.known.end(), 0);
    s.cx = s.cy = -1;
    s.attr = -1;
}

void rframe(Screen& s, const Grid& g, std::string& out)
{
    if (s.front.w != g.w || s.front.h != g.h || s.known.size() != g.cells.size()) {
        gresize(s.front, g.w, g.h);
        s.known.assign(g.cells.size(), 0);
        s.clear = true;
    }
    if (s.clear) {
        // Blank on black where the terminal fills erased cells with the
        // current colour; the cells are drawn anyway.
        setattr(s, 0, false, out);
        out += "\x1b[2J";
        std::fill(s.known.begin(), s.known.end(), 0);
        s.clear = false;
    }
    for (int y = 0; y < g.h; y++) {
        for (int x = 0; x < g.w;) {
            Cell c = gcell(g, x, y);
            int width = 1;
            // A wide character is drawn from its left half; stray halves
            // show as blanks.
            if (c.part == 1 && x + 1 < g.w && gcell(g, x + 1, y).part == 2)
                width = 2;
            else if (c.part != 0)
                c = Cell{U' ', c.attr, 0};
            c.ch = shownchar(c.ch);
            bool changed = false;
            for (int i = 0; i < width; i++) {
                size_t k = idx(g, x + i, y);
                Cell want = i == 0 ? c : gcell(g, x + i, y);
                if (!s.known[k] || !same(s.front.cells[k], want))
                    changed = true;
            }
            if (!changed) {
                x += width;
                continue;
            }
            // Overwriting the left half of a wide character the terminal
            // shows also blanks its right half.
            size_t last = idx(g, x + width - 1, y);
            bool breaksnext = s.front.cells[last].part == 1 && x + width < g.w;

            moveto(s, x, y, out);
            bool unsure = c.ch >= 0x80 && unsurewidth(c.ch);
            if (unsure && width == 2) {
                // Drawn one or two cells wide depending on the terminal:
                // blank both cells first, draw in the first, move on explicitly.
                setattr(s, c.attr, true, out);
                out += "  ";
                s.cx += 2;
                if (s.cx >= g.w)
                    s.cx = s.cy = -1;
                moveto(s, x, y, out);
            }
            setattr(s, c.attr, isblank(c), out);
            u8put(out, c.ch);
            s.cx += width;
            if (unsure || s.cx >= g.w)
                s.cx = s.cy = -1;
            for (int i = 0; i < width; i++) {
                size_t k = idx(g, x + i, y);
                s.front.cells[k] = gcell(g, x + i, y);
                if (i == 0)
                    s.front.cells[k] = c;
                s.known[k] = 1;
            }
            if (breaksnext)
                s.known[last + 1] = 0;
            x += width;
        }
    }
    int tx = g.cx, ty = g.cy;
    if (tx >= g.w) { // a wrap is pending: the next text starts on the next row
        if (ty + 1 < g.h) {
            tx = 0;
            ty++;
        } else {
            tx = g.w - 1;
        }
    }
    moveto(s, std::clamp(tx, 0, std::max(g.w - 1, 0)), std::clamp(ty, 0, std::max(g.h - 1, 0)), out);
    setattr(s, g.attr, false, out);
}
