#include "platform/win32/lineedit.h"

#include "console/width.h"

#include <vector>

namespace {

struct sline {
    std::u32string text;
    size_t pos = 0;      // cursor, in characters
    std::string partial; // bytes of a UTF-8 character still arriving
};

int width(const std::u32string& t, size_t a, size_t b)
{
    int w = 0;
    for (size_t i = a; i < b; i++)
        w += colwidth(t[i]);
    return w;
}

void draw(Grid& g, int x0, int y0, int cols, unsigned char attr, const sline& l)
{
    // The first character shown: as far left as keeps the cursor inside.
    size_t first = 0;
    while (first < l.pos && width(l.text, first, l.pos) > cols - 1)
        first++;
    int x = x0;
    for (size_t i = first; i < l.text.size(); i++) {
        int w = colwidth(l.text[i]);
        if (x + w > x0 + cols)
            break;
        gcell(g, x, y0) = Cell{l.text[i], attr, static_cast<unsigned char>(w == 2 ? 1 : 0)};
        if (w == 2)
            gcell(g, x + 1, y0) = Cell{U' ', attr, 2};
        x += w;
    }
    for (; x < x0 + cols; x++)
        gcell(g, x, y0) = Cell{U' ', attr, 0};
    g.cx = x0 + width(l.text, first, l.pos);
    g.cy = y0;
}

void typebyte(sline& l, int b)
{
    if (b < 0x80) {
        l.partial.clear();
        l.text.insert(l.pos++, 1, static_cast<char32_t>(b));
        return;
    }
    if (b >= 0xC0)
        l.partial.clear();
    l.partial += static_cast<char>(b);
    unsigned char lead = static_cast<unsigned char>(l.partial[0]);
    size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (l.partial.size() < need)
        return;
    size_t i = 0;
    char32_t c = u8next(l.partial, i);
    l.partial.clear();
    l.text.insert(l.pos++, 1, c);
}

void eraseword(sline& l)
{
    size_t p = l.pos;
    while (p > 0 && l.text[p - 1] == U' ')
        p--;
    while (p > 0 && l.text[p - 1] != U' ')
        p--;
    l.text.erase(p, l.pos - p);
    l.pos = p;
}

// Acts on one key; true when the line is finished.
bool act(sline& l, int k, int (*key)())
{
    switch (k) {
    case 13:
        return true;
    case 8:
        if (l.pos > 0)
            l.text.erase(--l.pos, 1);
        return false;
    case 27: // Esc
    case 21: // Ctrl+U
        l.text.clear();
        l.pos = 0;
        return false;
    case 23: // Ctrl+W
        eraseword(l);
        return false;
    case 0:
        key(); // a function key: ignored
        return false;
    case 224:
        switch (key()) {
        case 75: l.pos -= l.pos > 0; break;
        case 77: l.pos += l.pos < l.text.size(); break;
        case 71: l.pos = 0; break;
        case 79: l.pos = l.text.size(); break;
        case 83:
            if (l.pos < l.text.size())
                l.text.erase(l.pos, 1);
            break;
        }
        return false;
    }
    if (k >= 32 && k != 127)
        typebyte(l, k);
    return false; // other control keys, Ctrl+C among them, are dropped
}

} // namespace

bool lineedit(Grid& g, std::string& out, int (*key)(), void (*show)(const Grid&))
{
    out.clear();
    const int x0 = g.cx < g.w ? g.cx : g.w - 1, y0 = g.cy;
    const int cols = g.w - x0;
    const unsigned char attr = g.attr;
    std::vector<Cell> saved;
    for (int x = x0; x < g.w; x++)
        saved.push_back(gcell(g, x, y0));
    sline l;
    bool ok = false;
    for (;;) {
        draw(g, x0, y0, cols, attr, l);
        show(g);
        int k = key();
        if (k < 0)
            break;
        if (act(l, k, key)) {
            ok = true;
            break;
        }
    }
    for (int x = x0; x < g.w; x++)
        gcell(g, x, y0) = saved[static_cast<size_t>(x - x0)];
    g.cx = x0;
    g.cy = y0;
    g.attr = attr;
    for (char32_t c : l.text)
        u8put(out, c);
    return ok;
}
