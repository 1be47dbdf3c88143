// SPDX-License-Identifier: MIT
// Export from the editor: the path asked for, checked as Save checks it, the
// player started on it, and its progress and outcome on the status row while
// keys keep working.
#include "editor/editor.h"
#include "editor/run.h"

#include "console/console.h"
#include "dialogs/exportdlg.h"
#include "dialogs/filecmd.h"
#include "files/files.h"
#include "platform/job.h"

#include <algorithm>

namespace {

constexpr int POLLMS = 100; // how often a waiting pass looks at the export

// The score's name without folders or extension, for the default file name.
std::string scorename(const sdoc& doc)
{
    std::string p = doc.filepath.empty() ? doc.savename : doc.filepath;
    size_t slash = p.find_last_of("/\\");
    if (slash != std::string::npos)
        p.erase(0, slash + 1);
    size_t dot = p.rfind('.');
    if (dot != std::string::npos && dot > 0)
        p.erase(dot);
    return p.empty() ? "乐谱" : p;
}

std::string basename(const std::string& p)
{
    size_t slash = p.find_last_of("/\\");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The steps the score's notes take.
int64_t scoresteps(const sdoc& doc)
{
    int64_t end = 0;
    for (const smusic& m : doc.music.queue())
        if (!issentinel(m))
            end = std::max<int64_t>(end, int64_t{m.start} + m.leng);
    return end;
}

const char* refusal(fileerr e)
{
    return e == fileerr::missing ? "文件夹不存在" : *failcause(e) ? failcause(e) : "无法写入";
}

// Puts how the export stands into the message; true when it changed.
bool watch(seditor& ed, edrun& r)
{
    if (!exportrunning(ed.exporting))
        return false;
    const std::string name = basename(ed.exporting.out);
    int percent = -1;
    std::string why, msg;
    switch (pollexport(ed.exporting, percent, why)) {
    case exportstep::running:
        msg = "正在导出 " + name + (percent >= 0 ? "… " + std::to_string(percent) + "%" : "…");
        break;
    case exportstep::done:
        msg = "已导出 " + name;
        break;
    case exportstep::failed:
        msg = "导出失败：" + why;
        break;
    }
    if (msg == r.msg)
        return false;
    r.msg = msg;
    return true;
}

} // namespace

void askexport(seditor& ed, edrun& r)
{
    if (exportrunning(ed.exporting)) {
        r.msg = "上一个导出尚未完成";
        return;
    }
    std::string path;
    if (exportdlg(scorename(ed.doc) + ".wav", path))
        return;
    if (exportkindof(path) == exportkind::none) {
        r.msg = "导出失败：扩展名须为 .wav、.mid 或 .musicxml";
        return;
    }
    if (iores c = checkout(path); !c) {
        r.msg = std::string("导出失败：") + refusal(c.why);
        return;
    }
    std::string why;
    if (!startexport(ed.exporting, scorebytes(ed.doc, ed.view), scoresteps(ed.doc), path, ed.bar.wintitle, why)) {
        r.msg = "导出失败：" + why;
        return;
    }
    watch(ed, r);
}

sevent exportkey(seditor& ed, edrun& r)
{
    const int x = scr.cx, y = scr.cy;
    auto show = [&] {
        if (watch(ed, r)) {
            paint(ed, r);
            gotoxy(x, y);
        }
    };
    show();
    while (exportrunning(ed.exporting)) {
        int k = getkeywithin(POLLMS);
        if (k != KEY_NOTYET)
            return codeevent(k);
        show();
    }
    return getev();
}
