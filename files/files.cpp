// SPDX-License-Identifier: MIT
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

const char* faultcause(pvxfault f)
{
    switch (f) {
    case pvxfault::none:
        return "";
    case pvxfault::toolarge:
        return "文件太大";
    case pvxfault::shorthead:
        return "文件在文件头中途结束";
    case pvxfault::noendmarker:
        return "文件在结束标记之前结束";
    case pvxfault::shortnote:
        return "文件在音符记录中途结束";
    case pvxfault::toomany:
        return "音符多于乐谱所能容纳的数目";
    case pvxfault::negext:
        return "音符的扩展数据长度为负";
    case pvxfault::extpastend:
        return "音符的扩展数据超出文件末尾";
    case pvxfault::extlarge:
        return "扩展数据超过上限";
    case pvxfault::negstart:
        return "音符开始于乐谱开头之前";
    case pvxfault::secondend:
        return "有第二个结束音符";
    case pvxfault::zerolength:
        return "音符短于一个时间步";
    case pvxfault::offstaff:
        return "音符不在五线谱上";
    case pvxfault::noend:
        return "缺少结束音符";
    case pvxfault::overlap:
        return "音符顺序错乱或互相重叠";
    }
    return "";
}

std::string openfailure(const sopened& o)
{
    if (o.cause)
        return o.cause;
    if (o.notscore)
        return std::string("不是乐谱文件：") + faultcause(o.fault);
    return failcause(o.err);
}

sopened openscore(sdoc& doc, const std::string& path, int track)
{
    sopened out;
    std::string bytes;
    if (iores r = readwhole(path, bytes, nullptr, PVXMAXSIZE); !r) {
        out.err = r.why;
        return out;
    }
    if (ismidi(bytes))
        return importmidi(doc, path, bytes, track);
    pvxscore s;
    out.fault = pvxdecode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), s);
    if (out.fault != pvxfault::none) {
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
    out.extbytes = s.extbytes;
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
