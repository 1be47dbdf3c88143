// SPDX-License-Identifier: MIT
#include "score/history.h"

namespace {

// Replaces note `from` (or nothing) by note `to` (or nothing) in the ring.
void swapnote(Ring& music, const smusic& from, bool hasfrom, const smusic& to, bool hasto)
{
    if (hasfrom) {
        music.locate(from.start); // the note starting there becomes the back
        if (hasto)
            music.setback(to);
        else
            music.popback();
    } else if (hasto) {
        music.locate(to.start); // the back is the note before it
        music.push(to);
    }
}

void takespan(Ring& music, const std::vector<smusic>& span)
{
    if (!span.empty())
        music.take(span.front().start, static_cast<int64_t>(span.back().start) + 1);
}

// Makes step s (forward) or takes it back.
void apply(Ring& music, const sstep& s, bool forward)
{
    const bool spans = !s.removed.empty() || !s.added.empty() || s.shiftby != 0;
    if (!spans) { // one note: the common case, in place
        if (forward)
            swapnote(music, s.before, s.hadbefore, s.after, s.hasafter);
        else
            swapnote(music, s.after, s.hasafter, s.before, s.hadbefore);
        return;
    }
    const std::vector<smusic>& out = forward ? s.removed : s.added;
    const std::vector<smusic>& in = forward ? s.added : s.removed;
    swapnote(music, forward ? s.before : s.after, forward ? s.hadbefore : s.hasafter, smusic{}, false);
    takespan(music, out);
    if (forward)
        music.shift(s.shiftat, s.shiftby);
    else
        music.shift(static_cast<int64_t>(s.shiftat) + s.shiftby, -s.shiftby);
    music.put(in);
    swapnote(music, smusic{}, false, forward ? s.after : s.before, forward ? s.hasafter : s.hadbefore);
}

void goplace(sdoc& doc, sview& v, const splace& p)
{
    v.mousex = p.mousex;
    v.mousey = p.mousey;
    v.toplo = p.toplo;
    v.leftlo = p.leftlo;
    doc.musicleng = p.musicleng;
    doc.music.locate(p.mousex); // as the editor keeps it between keys
}

size_t notesof(const sstep& s) { return s.removed.size() + s.added.size(); }

void dropoldest(shistory& h)
{
    h.notes -= notesof(h.steps.front());
    h.steps.pop_front();
    h.done--;
    h.savedat = h.savedat > 0 ? h.savedat - 1 : -1;
}

} // namespace

splace placeof(const sdoc& doc, const sview& v)
{
    return splace{v.mousex, v.mousey, v.toplo, v.leftlo, doc.musicleng};
}

void histclear(shistory& h, const sdoc& doc)
{
    h.steps.clear();
    h.done = 0;
    h.notes = 0;
    h.savedat = doc.filesaved ? 0 : -1;
    h.docgen = doc.gen;
}

void histrecord(shistory& h, const sstep& s)
{
    while (h.steps.size() > h.done) {
        h.notes -= notesof(h.steps.back());
        h.steps.pop_back();
    }
    if (h.savedat > static_cast<int64_t>(h.done))
        h.savedat = -1; // that state can no longer be reached
    h.steps.push_back(s);
    h.done++;
    h.notes += notesof(s);
    while (h.steps.size() > shistory::MAXSTEPS || (h.notes > shistory::MAXNOTES && h.steps.size() > 1))
        dropoldest(h);
}

void histmake(shistory& h, sdoc& doc, sview& v, const sstep& s)
{
    apply(doc.music, s, true);
    goplace(doc, v, s.to);
    doc.filesaved = false;
    histrecord(h, s);
}

bool histundo(shistory& h, sdoc& doc, sview& v)
{
    if (h.done == 0)
        return false;
    const sstep& s = h.steps[--h.done];
    apply(doc.music, s, false);
    goplace(doc, v, s.from);
    doc.filesaved = static_cast<int64_t>(h.done) == h.savedat;
    return true;
}

bool histredo(shistory& h, sdoc& doc, sview& v)
{
    if (h.done == h.steps.size())
        return false;
    const sstep& s = h.steps[h.done++];
    apply(doc.music, s, true);
    goplace(doc, v, s.to);
    doc.filesaved = static_cast<int64_t>(h.done) == h.savedat;
    return true;
}

void histsaved(shistory& h, const sdoc& doc)
{
    if (doc.gen != h.docgen)
        histclear(h, doc);
    else if (doc.filesaved)
        h.savedat = static_cast<int64_t>(h.done);
}
