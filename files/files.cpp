#include "files/files.h"

#include "platform/fileio.h"
#include "score/midi.h"

#include <unistd.h>

namespace {

pvxhead headof(const sdoc& doc, const sview& view)
{
    pvxhead h;
    h.ver = doc.filever;
    h.mousex = view.mousex;
    h.mousey = view.mousey;
    h.toplo = view.toplo;
    h.leftlo = view.leftlo;
    h.musicleng = doc.musicleng;
    return h;
}

} // namespace

std::string scorebytes(const sdoc& doc, const sview& view)
{
    return pvxwrite(headof(doc, view), doc.music.queue());
}

sview viewof(const pvxhead& head)
{
    sview v = STARTVIEW;
    v.mousex = head.mousex;
    v.mousey = head.mousey;
    v.toplo = head.toplo;
    v.leftlo = head.leftlo;
    return v;
}

sopened openscore(sdoc& doc, const std::string& path, int track)
{
    sopened out;
    std::string bytes;
    if (iores r = readwhole(path, bytes, &out.why); !r) {
        out.err = r.why;
        return out;
    }
    if (ismidi(bytes))
        return importmidi(doc, path, bytes, track);
    pvxscore s;
    out.why = pvxread(bytes, s);
    if (!out.why.empty()) {
        out.notscore = true;
        return out;
    }
    bytes = std::string(); // free the image before the ring grows
    pvxclamp(s.head, STARTVIEW.winheig, STARTVIEW.winleng);
    doc.music.assign(s.notes);
    doc.filever = s.head.ver;
    doc.musicleng = s.head.musicleng;
    doc.filepath = path;
    doc.filesaved = !s.changed;
    doc.gen++;
    out.res = fileres::done;
    out.head = s.head;
    return out;
}

fileres savescore(sdoc& doc, const sview& view, const std::string& path, fileerr* why)
{
    iores r = writewhole(path, scorebytes(doc, view));
    if (why)
        *why = r.why;
    if (!r)
        return fileres::failed;
    doc.filesaved = true;
    return fileres::done;
}

std::string savrecovery(const sdoc& doc, const sview& view)
{
    return writerecovery(scorebytes(doc, view), doc.filepath, ::getpid());
}
