// SPDX-License-Identifier: MIT
// The editor loop: one pass brings the view into line with the cursor
// (follow), paints the whole screen from the records (paint) and reads one
// key (or, during playback, advances the position marker).
#include "editor/editor.h"
#include "editor/run.h"

#include "dialogs/filecmd.h"
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
shere locatehere(sdoc& doc, sview& v, const edrun& r)
{
    smusic before;
    bool moved = doc.music.locate(v.mousex, &before);
    if (r.playmode && moved) {
        const smusic& b = doc.music.back();
        if ((b.heig != before.heig || b.pitch != before.pitch || b.rise != before.rise) && noterow(b) >= 0)
            v.mousey = noterow(b);
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
    if (v.mousey - v.toplo >= H)
        v.toplo = v.mousey - H + 1;
    if (v.mousey < v.toplo)
        v.toplo = v.mousey;
    while (v.mousex - v.leftlo >= W) {
        int next = v.leftlo + 1;
        if (r.playmode) // playback turns a whole page at a time
            next = std::max(next, std::min(v.leftlo + W - 1, ed.doc.musicleng - W) + 1);
        else
            next = std::max(next, v.mousex - W + 1);
        v.leftlo = next;
    }
    if (v.mousex < v.leftlo)
        v.leftlo = v.mousex;
}

// Reads the input event of this pass with the focus where it is. A message
// of the last key is shown until this one (a resize, a release or a drag
// keeps it).
sevent readevent(seditor& ed, edrun& r)
{
    sview& v = ed.view;
    if (r.mousearea == focus::staff)
        gotoxy(v.mousex - v.leftlo + 6, v.mousey - v.toplo + 2);
    else
        gotoxy(0, 0);
    sevent e = exportkey(ed, r);
    if (e.kind == evkind::end)
        return e; // the screen stays as the user last saw it
    if (e.kind != evkind::resize && e.kind != evkind::none &&
        !(e.kind == evkind::mouse && (e.mouse.action == maction::release || e.mouse.action == maction::drag)))
        r.msg.clear();
    if (r.mousearea == focus::menu)
        gotoxy(0, 0);
    setcolor(15);
    return e;
}

// Runs the chosen menu command over the freshly painted frame; the next
// pass paints the whole frame again.
runend runchosen(seditor& ed, edrun& r)
{
    const command c = r.chosen;
    r.chosen = command::none;
    runend e = runcmd(ed, r, c);
    ed.bar.tbx = 0;
    ed.bar.tby = 0;
    return e;
}

// A title an imported file gave becomes the bar's title.
void taketitle(seditor& ed)
{
    if (ed.doc.title.empty())
        return;
    ed.bar.wintitle = std::move(ed.doc.title);
    ed.doc.title.clear();
    tbset(ed.bar);
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
        if (!ed.doc.failure.empty()) { // a file command failed: say so until the next key
            r.msg = std::move(ed.doc.failure);
            ed.doc.failure.clear();
        } else if (!ed.doc.notice.empty()) { // or has something to tell
            r.msg = std::move(ed.doc.notice);
            ed.doc.notice.clear();
        } else if (r.msg.empty()) { // news of the sound, once, until the next key
            r.msg = tonenote();
        }
        taketitle(ed);
        follow(ed, r);
        paint(ed, r);
        if (r.chosen != command::none) {
            if (runend e = runchosen(ed, r); e != runend::goon)
                return e;
            continue;
        }
        if (r.playmode) {
            playstep(ed, r);
            continue;
        }
        sevent ev = readevent(ed, r);
        if (ev.kind == evkind::end)
            return lost(ed);
        if (runend e = handleevent(ed, r, ev); e != runend::goon)
            return e;
    }
}

} // namespace

int edit(seditor& ed, bool fresh)
{
    runend e;
    while ((e = editrun(ed, fresh)) == runend::restart) {
        dropplaycopy(ed.playcopy);
        fresh = true;
    }
    dropplaycopy(ed.playcopy);
    cancelexport(ed.exporting);
    return 0;
}
