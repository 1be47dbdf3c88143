// SPDX-License-Identifier: MIT
// The mouse on the editor's screen: the staff, its scroll bars and ruler,
// and the menu bar. Each report is looked up where the frame draws things
// (editor/view.cpp, menu/menu.cpp); a cell that means nothing changes nothing.
#include "editor/run.h"

#include "score/ring.h"

#include <algorithm>

namespace {

constexpr int STAFFX = 6, STAFFY = 2; // the screen cell of the view's first step and row
constexpr int LASTROW = 84;           // the staff's lowest row
constexpr int WHEELROWS = 3, WHEELSTEPS = 8;

// The cursor back into the view after the view moved, as paging keeps it.
void keepinview(sview& v)
{
    v.mousey = std::clamp(v.mousey, v.toplo, v.toplo + v.winheig - 1);
    v.mousex = std::clamp(v.mousex, v.leftlo, std::min(v.leftlo + v.winleng - 1, MAXCOL));
}

void scrollrows(sview& v, int d)
{
    v.toplo = std::clamp(v.toplo + d, 0, LASTROW + 1 - v.winheig);
    keepinview(v);
}

void scrollsteps(sview& v, int d)
{
    v.leftlo = std::clamp(v.leftlo + d, 0, MAXCOL + 1 - v.winleng);
    keepinview(v);
}

void wheel(sview& v, const smouse& m)
{
    bool sideways = m.button == mbutton::wheelleft || m.button == mbutton::wheelright || (m.mods & MOD_SHIFT);
    bool back = m.button == mbutton::wheelup || m.button == mbutton::wheelleft;
    if (sideways)
        scrollsteps(v, back ? -WHEELSTEPS : WHEELSTEPS);
    else
        scrollrows(v, back ? -WHEELROWS : WHEELROWS);
}

// Right press on a note: the whole note goes, as one step of the history.
void removenote(seditor& ed, int col, int row)
{
    sdoc& doc = ed.doc;
    doc.music.locate(col);
    const smusic back = doc.music.back();
    bool within = back.start <= col && col < static_cast<int64_t>(back.start) + back.leng;
    if (!within || noterow(back) != row)
        return;
    sstep s;
    s.from = placeof(doc, ed.view);
    s.before = back;
    s.hadbefore = true;
    doc.music.popback();
    doc.filesaved = false;
    s.to = placeof(doc, ed.view);
    s.to.musicleng = std::max(s.to.musicleng, s.to.mousex);
    histrecord(ed.hist, s);
}

// A press or drag on the staff, the ruler and the scroll bars.
void staffmouse(seditor& ed, edrun& r, const smouse& m)
{
    sview& v = ed.view;
    const int W = v.winleng, H = v.winheig;
    const int col = v.leftlo + m.x - STAFFX, row = v.toplo + m.y - STAFFY;
    const bool oncols = m.x >= STAFFX && m.x < STAFFX + W && col <= MAXCOL;
    const bool onrows = m.y >= STAFFY && m.y < STAFFY + H;
    if (m.action == maction::drag) {
        if (m.button != mbutton::left || !oncols || !(onrows || m.y == 1) || r.dragfrom < 0)
            return;
        if (col != r.dragfrom && !selecting(ed)) { // a drag across columns selects, as v and moving do
            ed.edits.selecting = true;
            ed.edits.anchor = r.dragfrom;
            ed.edits.gen = ed.doc.gen;
        }
        v.mousex = col;
        return;
    }
    if (m.action == maction::release) {
        r.dragfrom = -1;
        return;
    }
    if (m.action != maction::press)
        return;
    if (m.button == mbutton::left && oncols && (onrows || m.y == 1))
        r.dragfrom = col;
    if (m.button == mbutton::right) {
        if (oncols && onrows)
            removenote(ed, col, row);
        return;
    }
    if (m.button != mbutton::left)
        return;
    if (oncols && onrows) {
        if (col == v.mousex && row == v.mousey) {
            handlekey(ed, r, KEY_SPACE);
            return;
        }
        v.mousex = col;
        v.mousey = row;
    } else if (oncols && m.y == 1) { // the time ruler
        v.mousex = col;
    } else if ((m.x == W + 6 || m.x == W + 7) && m.y == STAFFY) {
        scrollrows(v, -1);
    } else if ((m.x == W + 6 || m.x == W + 7) && m.y == STAFFY + H - 1) {
        scrollrows(v, 1);
    } else if (m.y == H + 2 && m.x == STAFFX) {
        scrollsteps(v, -1);
    } else if (m.y == H + 2 && m.x == STAFFX + W - 1) {
        scrollsteps(v, 1);
    }
}

// A left press on the bar or the open menu. True when it was the bar's.
bool barmouse(seditor& ed, edrun& r, const smouse& m)
{
    smenubar& bar = ed.bar;
    const bool open = r.mousearea == focus::menu;
    const sbarhit h = tbhit(bar, m.x, m.y, open);
    if (h.head == 1) { // the title: straight to its line
        r.chosen = command::wintitle;
        r.mousearea = focus::staff;
        return true;
    }
    if (h.head >= 0) {
        bar.tbx = h.head;
        bar.tby = 0;
        r.mousearea = focus::menu;
        return true;
    }
    if (!open)
        return false;
    if (h.item >= 0) {
        const stbi& it = bar.tb[static_cast<size_t>(bar.tbx)].tbi[static_cast<size_t>(h.item)];
        if (it.ava && !it.mode) {
            bar.tby = h.item;
            r.chosen = it.cmd;
            r.mousearea = focus::staff;
        }
        return true;
    }
    if (!h.inbox)
        r.mousearea = focus::staff; // a press outside closes the menu
    return true;
}

} // namespace

runend handlemouse(seditor& ed, edrun& r, const smouse& m)
{
    histsaved(ed.hist, ed.doc);
    if (m.action == maction::wheel) {
        if (r.mousearea == focus::staff)
            wheel(ed.view, m);
        return runend::goon;
    }
    if (m.action == maction::press && m.button == mbutton::left && barmouse(ed, r, m))
        return runend::goon;
    if (r.mousearea == focus::staff)
        staffmouse(ed, r, m);
    return runend::goon;
}
