// SPDX-License-Identifier: MIT
#include "dialogs/dialog.h"

#include "console/console.h"
#include "widgets/lineedit.h"
#include "console/width.h"

#include <algorithm>

void dlgplace(sdialog& d, int w, int h)
{
    d.winleng1 = w;
    d.winheig1 = h;
    d.leftlo1 = std::max((SCRW - w) / 2, 0);
    d.toplo1 = std::max((SCRH - h) / 2, 0);
}

sselect dlgbutton(int x, int y, std::string_view label)
{
    sselect it;
    it.x = x;
    it.y = y;
    it.col = BTNCOL;
    it.mcol = BTNMCOL;
    it.slcol = BTNSLCOL;
    it.s = label;
    it.ssl = it.s;
    return it;
}

sselect dlgtextfield(int x, int y, std::string_view text, int width)
{
    sselect it;
    it.x = x;
    it.y = y;
    it.col = FLDCOL;
    it.mcol = FLDMCOL;
    it.slcol = FLDSLCOL;
    it.s = dlgfit(text, width);
    it.ssl = it.s;
    return it;
}

int dlgadd(sdialog& d, const sselect& item, int width, std::string_view start)
{
    int i = static_cast<int>(d.sllo.size());
    d.sllo.push_back(item);
    d.fieldw.resize(d.sllo.size(), 0);
    d.text.resize(d.sllo.size());
    d.fieldw[static_cast<size_t>(i)] = std::max(width, 0);
    d.text[static_cast<size_t>(i)] = start;
    return i;
}

// The characters of `text` as the screen shows them, each with its width.
struct glyph {
    std::string s;
    int w;
};

static std::vector<glyph> glyphs(std::string_view text)
{
    std::vector<glyph> out;
    for (size_t i = 0; i < text.size();) {
        char32_t c = shownchar(u8next(text, i));
        glyph g{{}, colwidth(c)};
        u8put(g.s, c);
        out.push_back(std::move(g));
    }
    return out;
}

std::string dlgfit(std::string_view text, int width)
{
    width = std::max(width, 0);
    std::vector<glyph> gs = glyphs(text);
    int total = 0;
    for (const glyph& g : gs)
        total += g.w;
    std::string out;
    int used = 0;
    if (total <= width) {
        for (const glyph& g : gs)
            out += g.s;
        used = total;
    } else if (width >= 4) {
        // Keep the end, which names the file: "..." and as much of the tail
        // as fits whole.
        int room = width - 3;
        size_t first = gs.size();
        int w = 0;
        while (first > 0 && w + gs[first - 1].w <= room) {
            first--;
            w += gs[first].w;
        }
        out = "...";
        for (size_t k = first; k < gs.size(); k++)
            out += gs[k].s;
        used = 3 + w;
    } else {
        out.assign(static_cast<size_t>(width), '.');
        used = width;
    }
    out.append(static_cast<size_t>(width - used), ' ');
    return out;
}

void dlgput(const sselect& it, int attr, std::string_view s)
{
    gotoxy(it.x, it.y);
    setcolor(static_cast<unsigned short>(attr));
    cput(s);
}

static bool isfield(const sdialog& d, int i)
{
    return i >= 0 && static_cast<size_t>(i) < d.fieldw.size() && d.fieldw[static_cast<size_t>(i)] > 0;
}

static void drawitem(sdialog& d, int i, bool focus)
{
    if (i < 0 || static_cast<size_t>(i) >= d.sllo.size())
        return;
    if (d.draw) {
        d.draw(d, i, focus);
        return;
    }
    const sselect& it = d.sllo[static_cast<size_t>(i)];
    dlgput(it, focus ? it.mcol : it.col, it.s);
}

void dlgbox(sdialog& d)
{
    setcolor(SHADOWCOL);
    for (int y = d.toplo1 + 1; y <= d.toplo1 + d.winheig1; y++) {
        gotoxy(d.leftlo1 + 1, y);
        cpad("", d.winleng1);
    }
    Sleep(100);
    setcolor(FACECOL);
    for (int y = d.toplo1; y < d.toplo1 + d.winheig1; y++) {
        gotoxy(d.leftlo1, y);
        cpad("", d.winleng1);
    }
    if (!d.title.empty()) {
        gotoxy(d.leftlo1 + 2, d.toplo1 + 1);
        cput(d.title);
    }
    for (const sdlgtext& t : d.texts) {
        gotoxy(d.leftlo1 + t.x, d.toplo1 + t.y);
        setcolor(static_cast<unsigned short>(t.col));
        cpad(t.s, t.width);
    }
    if (d.drawbox)
        d.drawbox(d);
    setcolor(PLAINCOL);
}

void dlgitems(sdialog& d)
{
    for (int i = 0; i < static_cast<int>(d.sllo.size()); i++)
        drawitem(d, i, i == d.mouselo);
    setcolor(PLAINCOL);
}

void dlgfocus(sdialog& d)
{
    drawitem(d, d.oldmouselo, false);
    drawitem(d, d.mouselo, true);
    setcolor(PLAINCOL);
}

void dlgpress(sdialog& d, int i, int ms)
{
    if (i < 0 || static_cast<size_t>(i) >= d.sllo.size())
        return;
    const sselect& it = d.sllo[static_cast<size_t>(i)];
    dlgput(it, it.slcol, it.ssl);
    Sleep(ms);
}

std::string dlgfield(sdialog& d, int i, int width)
{
    std::string line;
    if (i < 0 || static_cast<size_t>(i) >= d.sllo.size())
        return line;
    const sselect& it = d.sllo[static_cast<size_t>(i)];
    setcolor(static_cast<unsigned short>(it.slcol));
    gotoxy(it.x, it.y);
    cpad("", width);
    gotoxy(it.x, it.y);
    const bool keep = d.keeptext && static_cast<size_t>(i) < d.text.size();
    getline(line, width, keep ? std::string_view(d.text[static_cast<size_t>(i)]) : std::string_view());
    setcolor(PLAINCOL);
    return line;
}

int dlgact(sdialog& d, int i)
{
    if (i < 0 || static_cast<size_t>(i) >= d.sllo.size())
        return -1;
    if (isfield(d, i)) {
        int w = d.fieldw[static_cast<size_t>(i)];
        std::string line = dlgfield(d, i, w);
        sselect& it = d.sllo[static_cast<size_t>(i)];
        it.s = dlgfit(line, w);
        it.ssl = it.s;
        d.text[static_cast<size_t>(i)] = std::move(line);
        d.redraw.items = true;
        return -1;
    }
    dlgpress(d, i);
    return i;
}

int dlgitemat(const sdialog& d, const sevent& e)
{
    if (!evpress(e, mbutton::left))
        return -1;
    for (size_t i = 0; i < d.sllo.size(); i++) {
        const sselect& it = d.sllo[i];
        int w = std::max(strwidth(it.s), i < d.fieldw.size() ? d.fieldw[i] : 0);
        if (e.mouse.y == it.y && e.mouse.x >= it.x && e.mouse.x < it.x + w)
            return static_cast<int>(i);
    }
    return -1;
}

int dlgrun(sdialog& d)
{
    int n = static_cast<int>(d.sllo.size());
    if (n == 0) {
        setcolor(PLAINCOL);
        return -1;
    }
    d.mouselo = std::clamp(d.mouselo, 0, n - 1);
    d.oldmouselo = std::clamp(d.oldmouselo, 0, n - 1);
    for (;;) {
        if (d.redraw.box) {
            dlgbox(d);
            d.redraw.items = true; // the face covers the items
        }
        if (d.redraw.items)
            dlgitems(d);
        if (d.redraw.focus)
            dlgfocus(d);
        d.redraw = {false, false, false};
        const sselect& cur = d.sllo[static_cast<size_t>(d.mouselo)];
        gotoxy(cur.x, cur.y);
        const sevent ev = getev();
        d.tmp = evkey(ev);
        if (d.tmp == KEY_END)
            break;
        if (int i = dlgitemat(d, ev); i >= 0) { // a press on an item: the focus there, and Enter on it
            d.oldmouselo = d.mouselo;
            d.mouselo = i;
            dlgfocus(d);
            gotoxy(d.sllo[static_cast<size_t>(i)].x, d.sllo[static_cast<size_t>(i)].y);
            d.tmp = KEY_ENTER;
        }
        if (d.tmp == KEY_SPACE || d.tmp == KEY_ENTER) {
            int r = d.act ? d.act(d, d.mouselo) : dlgact(d, d.mouselo);
            if (d.tmp == KEY_END) // input ended inside the activation
                break;
            if (r >= 0) {
                setcolor(PLAINCOL);
                return r;
            }
        } else if (d.tmp == KEY_TAB) {
            d.oldmouselo = d.mouselo;
            d.mouselo = d.mouselo + 1 < n ? d.mouselo + 1 : 0;
            d.redraw.focus = true;
        }
    }
    setcolor(PLAINCOL);
    return -1;
}
