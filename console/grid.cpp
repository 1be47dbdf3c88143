// SPDX-License-Identifier: MIT
#include "console/grid.h"

#include "console/width.h"

#include <algorithm>

void gresize(Grid& g, int w, int h)
{
    g.w = w;
    g.h = h;
    g.cells.assign(static_cast<size_t>(w) * static_cast<size_t>(h), Cell{});
    g.cx = g.cy = 0;
    g.writes++;
}

void gclear(Grid& g)
{
    std::fill(g.cells.begin(), g.cells.end(), Cell{U' ', 15, 0});
    g.cx = g.cy = 0;
    g.writes++;
}

void gmove(Grid& g, int x, int y)
{
    g.cx = std::clamp(x, 0, std::max(g.w - 1, 0));
    g.cy = std::clamp(y, 0, std::max(g.h - 1, 0));
}

Cell& gcell(Grid& g, int x, int y)
{
    return g.cells[static_cast<size_t>(y) * static_cast<size_t>(g.w) + static_cast<size_t>(x)];
}

const Cell& gcell(const Grid& g, int x, int y)
{
    return g.cells[static_cast<size_t>(y) * static_cast<size_t>(g.w) + static_cast<size_t>(x)];
}

static void scrollup(Grid& g)
{
    std::move(g.cells.begin() + g.w, g.cells.end(), g.cells.begin());
    std::fill(g.cells.end() - g.w, g.cells.end(), Cell{U' ', g.attr, 0});
}

static void newline(Grid& g)
{
    g.cx = 0;
    if (g.cy + 1 < g.h)
        g.cy++;
    else
        scrollup(g);
}

// Overwriting half of a wide character leaves its other half as a blank.
static void breakwide(Grid& g, int x, int y)
{
    Cell& c = gcell(g, x, y);
    if (c.part == 1 && x + 1 < g.w)
        gcell(g, x + 1, y) = Cell{U' ', gcell(g, x + 1, y).attr, 0};
    if (c.part == 2 && x > 0)
        gcell(g, x - 1, y) = Cell{U' ', gcell(g, x - 1, y).attr, 0};
    c.part = 0;
}

static void putchar1(Grid& g, char32_t c)
{
    if (g.w == 0 || g.h == 0)
        return;
    if (c == U'\n') {
        newline(g);
        return;
    }
    if (c == U'\r')
        return;
    if (c == U'\t') {
        int n = 8 - g.cx % 8;
        for (int i = 0; i < n; i++)
            putchar1(g, U' ');
        return;
    }
    c = shownchar(c);
    int cw = colwidth(c);
    if (cw == 0)
        return;
    if (g.cx >= g.w || (cw == 2 && g.cx + 1 >= g.w)) {
        if (g.cx < g.w) { // a wide character that does not fit: blank the last cell
            breakwide(g, g.cx, g.cy);
            gcell(g, g.cx, g.cy) = Cell{U' ', g.attr, 0};
        }
        newline(g);
    }
    breakwide(g, g.cx, g.cy);
    if (cw == 2) {
        breakwide(g, g.cx + 1, g.cy);
        gcell(g, g.cx, g.cy) = Cell{c, g.attr, 1};
        gcell(g, g.cx + 1, g.cy) = Cell{U' ', g.attr, 2};
    } else {
        gcell(g, g.cx, g.cy) = Cell{c, g.attr, 0};
    }
    g.cx += cw; // may reach g.w: the wrap waits for the next character
}

void gput(Grid& g, std::string_view s)
{
    g.writes++;
    for (size_t i = 0; i < s.size();)
        putchar1(g, u8next(s, i));
}

std::string grow(const Grid& g, int y, int x0, int x1)
{
    if (x1 < 0 || x1 > g.w)
        x1 = g.w;
    std::string out;
    for (int x = std::max(x0, 0); x < x1; x++) {
        const Cell& c = gcell(g, x, y);
        if (c.part != 2)
            u8put(out, c.ch);
    }
    return out;
}
