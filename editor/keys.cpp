// SPDX-License-Identifier: MIT
// The editor's keys: one handler that knows where the focus is.
#include "editor/run.h"

#include "dialogs/play.h"
#include "score/ring.h"
#include "tone/tone.h"

#include <algorithm>

namespace {

// Cursor moves: a row, a page of rows, a step, a page of steps.
void movekey(sview& v, int k)
{
    const int W = v.winleng, H = v.winheig;
    switch (k) {
    case 'w':
        if (v.mousey > 0)
            v.mousey--;
        return;
    case 'W':
        v.mousey = std::max(v.mousey - H, 0);
        return;
    case 's':
        if (v.mousey <= 83)
            v.mousey++;
        return;
    case 'S':
        v.mousey = std::min(v.mousey + H, 84);
        return;
    case 'a':
        if (v.mousex > 0)
            v.mousex--;
        return;
    case 'A':
        v.mousex = std::max(v.mousex - W, 0);
        return;
    case 'd':
        if (v.mousex < MAXCOL)
            v.mousex++;
        return;
    case 'D':
        v.mousex = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(v.mousex) + W, MAXCOL));
        return;
    default:
        return;
    }
}

// Records a change just made, with the place it leaves the cursor at (the
// score grows to the cursor column, as the next pass makes it).
void recordstep(shistory& hist, sstep s, const sdoc& doc, const sview& v)
{
    s.to = placeof(doc, v);
    s.to.musicleng = std::max(s.to.musicleng, s.to.mousex);
    histrecord(hist, s);
}

// Space: a new note on a free cell, one step longer on the note's own row
// when the next note leaves room; on a cell where no note can be made it
// only marks the score changed.
void spacekey(sdoc& doc, sview& v, shistory& hist)
{
    if (key[v.mousey % 14].pitch == 0)
        return;
    const shere h = noteat(doc, v);
    sstep s;
    s.from = placeof(doc, v);
    if (!h.within) {
        smusic m = rownote(v.mousey);
        m.start = v.mousex;
        doc.music.push(m);
        s.after = m;
        s.hasafter = true;
    } else if (h.row == v.mousey && static_cast<int64_t>(h.note.start) + h.note.leng < h.next.start) {
        smusic m = h.note;
        m.leng += 1;
        doc.music.setback(m);
        if (v.mousex < MAXCOL)
            v.mousex += 1;
        s.before = h.note;
        s.after = m;
        s.hadbefore = s.hasafter = true;
    }
    doc.filesaved = false;
    recordstep(hist, s, doc, v);
}

// Backspace: the note at the cursor one step shorter, or gone at length 0.
void backkey(sdoc& doc, sview& v, shistory& hist)
{
    const shere h = noteat(doc, v);
    if (!h.within || h.row != v.mousey)
        return;
    sstep s;
    s.from = placeof(doc, v);
    s.before = h.note;
    s.hadbefore = true;
    smusic m = h.note;
    m.leng -= 1;
    s.after = m;
    s.hasafter = m.leng > 0;
    if (m.leng == 0) {
        doc.music.popback();
    } else {
        doc.music.setback(m);
        if (m.start != v.mousex) {
            v.mousex -= 1;
        }
    }
    doc.filesaved = false;
    recordstep(hist, s, doc, v);
}

void staffkey(seditor& ed, edrun& r, int k)
{
    if (spankey(ed, r, k))
        return;
    sview& v = ed.view;
    const skey& row = key[v.mousey % 14];
    switch (k) {
    case 'b':
    case 'B':
        if (row.pitch != 0)
            beep(reqmode::tone, splay{}, rowoctave(v.mousey), row.pitch, row.rise, 10, ed.doc.filepath);
        return;
    case KEY_SPACE:
        spacekey(ed.doc, v, ed.hist);
        return;
    case KEY_BACKSPACE:
        backkey(ed.doc, v, ed.hist);
        return;
    case KEY_ENTER:
        runcmd(ed, r, command::play);
        return;
    case KEY_CTRLS:
        runcmd(ed, r, command::save);
        return;
    case KEY_CTRLZ:
    case KEY_CTRLY:
        undoredo(ed, r, k == KEY_CTRLZ);
        return;
    default:
        movekey(v, k);
        return;
    }
}

void menukey(smenubar& bar, edrun& r, int k)
{
    switch (k) {
    case 'a':
    case 'A':
    case 'd':
    case 'D': {
        toolbar(bar, k == 'a' || k == 'A' ? barreq::prevmenu : barreq::nextmenu);
        return;
    }
    case 'w':
    case 'W':
        toolbar(bar, barreq::previtem);
        return;
    case 's':
    case 'S':
        toolbar(bar, barreq::nextitem);
        return;
    case KEY_ENTER:
    case KEY_SPACE:
        if (!toolbar(bar, barreq::unavailable)) {
            r.chosen = bar.current().cmd;
            r.mousearea = focus::staff;
        }
        return;
    default:
        return;
    }
}

// Tab: the focus to the other side.
void switchfocus(edrun& r)
{
    r.mousearea = r.mousearea == focus::staff ? focus::menu : focus::staff;
}

} // namespace

void undoredo(seditor& ed, edrun& r, bool undo)
{
    histsaved(ed.hist, ed.doc);
    bool done = undo ? histundo(ed.hist, ed.doc, ed.view) : histredo(ed.hist, ed.doc, ed.view);
    if (done)
        r.msg = undo ? "已撤销" : "已重做";
    else
        r.msg = undo ? "无可撤销" : "无可重做";
}

runend handlekey(seditor& ed, edrun& r, int k)
{
    histsaved(ed.hist, ed.doc);
    if (k == KEY_CTRLC) { // the exit command, in either focus
        return runcmd(ed, r, command::quit);
    }
    if (r.mousearea == focus::staff)
        staffkey(ed, r, k);
    else
        menukey(ed.bar, r, k);
    if (k == 'c')
        return runend::restart;
    if (k == KEY_TAB)
        switchfocus(r);
    return runend::goon;
}

runend handleevent(seditor& ed, edrun& r, const sevent& e)
{
    if (e.kind == evkind::mouse)
        return handlemouse(ed, r, e.mouse);
    int k = evkey(e);
    if (k == KEY_NONE)
        return runend::goon;
    return handlekey(ed, r, k);
}
