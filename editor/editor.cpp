// The editor loop: one pass brings the view into line with the cursor
// (follow), repaints what the flags ask for (paint) and reads one key (or,
// during playback, advances the position marker).
#include "editor/editor.h"
#include "editor/run.h"

#include "console/width.h"
#include "dialogs/filecmd.h"
#include "menu/dispatch.h"
#include "score/ring.h"
#include "tone/launch.h"

shere hereof(const sdoc& doc, const sview& v)
{
    shere h;
    h.note = doc.music.back();
    h.next = doc.music.front();
    h.row = noterow(h.note);
    h.within = h.note.start <= v.mousex && v.mousex < static_cast<int64_t>(h.note.start) + h.note.leng;
    return h;
}

shere noteat(sdoc& doc, const sview& v)
{
    doc.music.locate(v.mousex);
    return hereof(doc, v);
}

namespace {

// The terminal went away or the program was told to stop: whatever is not
// saved goes to a recovery file before the run ends.
runend lost(seditor& ed)
{
    if (!ed.doc.filesaved) {
        ed.recoverypath = savrecovery(ed.doc, ed.view);
        ed.lostwork = ed.recoverypath.empty();
    }
    return runend::quit;
}

// The current note at the cursor column: the ring is located there first.
// During playback the cursor row follows each new pitch.
shere locatehere(sdoc& doc, sview& v, edrun& r)
{
    smusic before;
    bool moved = doc.music.locate(v.mousex, &before);
    if (r.playmode && moved) {
        const smusic& b = doc.music.back();
        if ((b.heig != before.heig || b.pitch != before.pitch || b.rise != before.rise) && noterow(b) >= 0) {
            v.mousey = noterow(b);
            r.ref.notename = true;
        }
    }
    return hereof(doc, v);
}

// Brings the view into line with the cursor: the score as long as the
// cursor column, the ring located there, the view scrolled to show it.
void follow(seditor& ed, edrun& r)
{
    sview& v = ed.view;
    const int W = v.winleng, H = v.winheig;
    if (ed.doc.musicleng < v.mousex)
        ed.doc.musicleng = v.mousex;
    r.here = locatehere(ed.doc, v, r);
    while (v.mousey - v.toplo >= H) {
        v.toplo++;
        r.ref.staff = true;
    }
    while (v.mousey < v.toplo) {
        v.toplo--;
        r.ref.staff = true;
    }
    while (v.mousex - v.leftlo >= W) {
        int next = v.leftlo + 1;
        if (r.playmode) // playback turns a whole page at a time
            next = std::max(next, std::min(v.leftlo + W - 1, ed.doc.musicleng - W) + 1);
        v.leftlo = next;
        r.ref.hbar = true;
    }
    while (v.mousex < v.leftlo) {
        v.leftlo--;
        r.ref.hbar = true;
    }
}

// Repaints what the flags ask for.
void paint(seditor& ed, edrun& r)
{
    sview& v = ed.view;
    if (r.ref.frame)
        drawframe(ed.bar);
    if (r.ref.staff)
        drawstaff(v);
    if (r.ref.hbar)
        drawhbar(v, ed.doc.musicleng);
    if (r.ref.time)
        drawtime(v);
    if (r.ref.notename)
        drawnotename(v);
    if (!r.playmode && r.replo.has(r.oldmousex, r.oldmousey))
        r.ref.hbar = true; // the cursor stood on a note cell: draw the notes again
    // The old column line goes before the notes are drawn: its cells are
    // relative to the view, so after a scroll they can lie on notes that
    // this pass draws anew.
    if (r.mousearea == focus::staff)
        clearcells(r.replo1, v);
    if (r.ref.hbar || r.ref.notes)
        clearcells(r.replo, v);
    if (r.ref.staff || r.ref.hbar || r.ref.notes)
        drawnotes(r, ed.doc, v);
}

// The cursor mark and the mode message: what Space would do here. A
// message of the last key stands in place of the mode message.
void drawmark(const sview& v, const edrun& r)
{
    const int q = v.mousey % 14;
    const char* mark;
    const char* msg;
    unsigned short color = v.mousey % 2 == 0 ? 112 : 240;
    if (r.here.within && r.here.row == v.mousey) {
        mark = "<";
        color = 15;
        msg = "  修改音符长度";
    } else if (key[q].pitch == 0 || r.here.within) {
        mark = "x";
        msg = "不可创建新音符";
    } else {
        mark = "+";
        msg = "    创建新音符";
    }
    setcolor(color);
    gotoxy(v.mousex - v.leftlo + 6, v.mousey - v.toplo + 2);
    cput(mark);
    if (!r.msg.empty()) {
        drawmsg(v, r.msg);
        return;
    }
    setcolor(112);
    gotoxy(v.winleng - 6, v.winheig + 3);
    cput(msg);
}

// Reads the key of this pass with the focus where it is; the staff shows
// its column line and cursor mark while it waits.
int readkey(seditor& ed, edrun& r)
{
    sview& v = ed.view;
    int k;
    if (r.mousearea == focus::staff) {
        drawmark(v, r);
        r.oldmousex = v.mousex - v.leftlo;
        r.oldmousey = v.mousey - v.toplo;
        gotoxy(v.mousex - v.leftlo + 6, v.mousey - v.toplo + 2);
        k = getch();
        if (k == KEY_END)
            return k; // the screen stays as the user last saw it
        if (!r.msg.empty()) { // the message stays until this key
            if (strwidth(r.msg) > 14) // it covered part of the status row
                repaintall(r);
            r.msg.clear();
        }
        setcolor(rowcolor(v.mousey));
        gotoxy(v.mousex - v.leftlo + 6, v.mousey - v.toplo + 2);
        cput("_");
    } else {
        toolbar(ed.bar, barreq::open);
        gotoxy(0, 0);
        k = getch();
        gotoxy(0, 0);
    }
    setcolor(15);
    return k;
}

// A cheap fingerprint of what a command may change without drawing.
struct sstamp {
    uint64_t writes;
    int toplo, leftlo, mousex, mousey, musicleng, filever;
    bool filesaved;
    size_t notes;
    std::string filepath;
    bool operator==(const sstamp&) const = default;
};

sstamp stampof(const seditor& ed)
{
    const sview& v = ed.view;
    return sstamp{scr.writes,     v.toplo,          v.leftlo,           v.mousex,
                  v.mousey,       ed.doc.musicleng, ed.doc.filever,     ed.doc.filesaved,
                  ed.doc.music.size(), ed.doc.filepath};
}

// Runs the chosen menu command over the freshly painted screen. The screen
// is painted again only when the command drew on it or changed the score or
// the view.
runend runcommand(seditor& ed, edrun& r)
{
    smenubar& bar = ed.bar;
    const std::string func = bar.tb[static_cast<size_t>(bar.tbx)].tbi[static_cast<size_t>(bar.tby)].func;
    r.command = false;
    const sstamp before = stampof(ed);
    cmdres res = funcmatch(func, ed.doc, ed.view, bar, ed.plays);
    r.ref = NOREDRAW;
    bar.tbx = 0;
    bar.tby = 0;
    if (res == cmdres::quit)
        return runend::quit;
    if (res == cmdres::restart)
        return runend::restart;
    if (res == cmdres::play)
        startplay(ed, r);
    if (res == cmdres::undo || res == cmdres::redo)
        undoredo(ed, r, res == cmdres::undo);
    if (res == cmdres::play || !(stampof(ed) == before))
        repaintall(r);
    return runend::goon;
}

// One editor run, from the cleared screen to a restart or the end.
runend editrun(seditor& ed, bool fresh)
{
    tonerunstart();
    cls();
    edrun r;
    splayhook hook(ed, r);
    if (fresh)
        ffile(ed.doc, ed.view, fmode::fresh);
    histclear(ed.hist, ed.doc);
    for (;;) {
        follow(ed, r);
        paint(ed, r);
        if (r.save) {
            // The save dialog, when it shows, stands over the staff: the
            // next pass repaints everything before a key is read.
            bool asks = ed.doc.filepath.empty();
            r.save = false;
            ffile(ed.doc, ed.view, fmode::save);
            if (asks) {
                repaintall(r);
                continue;
            }
        }
        if (r.command) {
            if (runend e = runcommand(ed, r); e != runend::goon)
                return e;
            continue;
        }
        r.ref = NOREDRAW;
        if (r.mousearea == focus::staff) {
            drawcolumn(r, ed.view);
            if (r.playmode) {
                playmsg(ed.view);
                playstep(ed, r);
                continue;
            }
        }
        if (!ed.doc.failure.empty()) { // a file command failed: say so until the next key
            r.msg = std::move(ed.doc.failure);
            ed.doc.failure.clear();
        }
        r.tmp = readkey(ed, r);
        if (r.tmp == KEY_END)
            return lost(ed);
        if (runend e = handlekey(ed, r, r.tmp); e != runend::goon)
            return e;
    }
}

} // namespace

int edit(seditor& ed, bool fresh)
{
    runend e;
    while ((e = editrun(ed, fresh)) == runend::restart)
        fresh = true;
    return 0;
}
