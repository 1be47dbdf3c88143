// SPDX-License-Identifier: MIT
// Opening a MIDI file: its melody becomes a new, unsaved score without a path.
#include "files/files.h"

#include "score/midi.h"

#include <algorithm>

namespace {

// The file's name without folders and without its extension.
std::string stem(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string importnotice(const midiscore& m)
{
    std::string s = m.bychannel ? "已导入 MIDI 通道 " : "已导入 MIDI 音轨 ";
    s += std::to_string(m.part) + "（共 " + std::to_string(m.parts) + (m.bychannel ? " 个通道有音符" : " 条") + "），";
    s += std::to_string(m.notes.size()) + " 个音符";
    return s;
}

} // namespace

sopened importmidi(sdoc& doc, const std::string& path, const std::string& bytes, int track)
{
    sopened out;
    midiscore m;
    if (midierr e = midiread(bytes, track, m); e != midierr::ok) {
        out.notscore = true;
        out.cause = midicause(e);
        return out;
    }
    std::vector<smusic> q = m.notes;
    q.push_back(SENTINEL);
    doc.music.assign(q);
    const smusic& last = m.notes.back();
    doc.musicleng = std::clamp(last.start + last.leng, STARTLENG, MAXCOL);
    doc.filever = curfilever;
    doc.filepath.clear();
    doc.filesaved = false;
    doc.gen++;
    const std::string name = stem(path);
    doc.title = m.title.empty() ? name : m.title;
    doc.savename = name;
    doc.notice = importnotice(m);
    out.res = fileres::done;
    out.head.musicleng = doc.musicleng;
    return out;
}
