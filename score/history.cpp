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

void goplace(sdoc& doc, sview& v, const splace& p)
{
    v.mousex = p.mousex;
    v.mousey = p.mousey;
    v.toplo = p.toplo;
    v.leftlo = p.leftlo;
    doc.musicleng = p.musicleng;
    doc.music.locate(p.mousex); // as the editor keeps it between keys
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
    h.savedat = doc.filesaved ? 0 : -1;
    h.docgen = doc.gen;
}

void histrecord(shistory& h, const sstep& s)
{
    h.steps.resize(h.done);
    if (h.savedat > static_cast<int64_t>(h.done))
        h.savedat = -1; // that state can no longer be reached
    h.steps.push_back(s);
    h.done++;
    if (h.steps.size() > shistory::MAXSTEPS) {
        h.steps.pop_front();
        h.done--;
        h.savedat = h.savedat > 0 ? h.savedat - 1 : -1;
    }
}

bool histundo(shistory& h, sdoc& doc, sview& v)
{
    if (h.done == 0)
        return false;
    const sstep& s = h.steps[--h.done];
    swapnote(doc.music, s.after, s.hasafter, s.before, s.hadbefore);
    goplace(doc, v, s.from);
    doc.filesaved = static_cast<int64_t>(h.done) == h.savedat;
    return true;
}

bool histredo(shistory& h, sdoc& doc, sview& v)
{
    if (h.done == h.steps.size())
        return false;
    const sstep& s = h.steps[h.done++];
    swapnote(doc.music, s.before, s.hadbefore, s.after, s.hasafter);
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
