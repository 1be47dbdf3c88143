// SPDX-License-Identifier: MIT
// Pellavine: a melody editor for the text terminal.
//
//   pellavine            starts on a new score
//   pellavine PATH       starts with the score at PATH (a new one saved there
//                        when no file exists yet); a MIDI file is imported
//   pellavine --track N PATH
//                        imports part N of a MIDI file
//   pellavine --no-mouse  the mouse left to the terminal (for selecting text)
//   pellavine --help     a short text on the keys
//   pellavine --version
#include "console/width.h"
#include "editor/args.h"
#include "editor/editor.h"
#include "files/files.h"
#include "platform/term.h"
#include "platform/utf8.h"
#include "tone/launch.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* usage =
    "用法: pellavine [--track N] [乐谱文件.pvx | 歌曲.mid]\n"
    "  单声部乐谱编辑器，需要至少 108 x 27 的终端。\n"
    "  给出文件时打开它；文件不存在时从新乐谱开始，Ctrl+S 保存到该路径。\n"
    "  MIDI 文件（.mid）导入为未保存的新乐谱：取音符最多的非鼓音轨，\n"
    "  重叠处取最高音；Ctrl+S 另存为同名 .pvx。\n"
    "  菜单 文件 > 导出… 按扩展名写出 .wav 声音、.mid MIDI 或 .musicxml 乐谱。\n"
    "\n"
    "  w s / W S   光标上下移动一行 / 一页\n"
    "  a d / A D   光标左右移动一步 / 一页\n"
    "  空格        创建音符或延长音符      退格  缩短或删除音符\n"
    "  b           试听光标所在行的音高    回车  播放设置\n"
    "  Ctrl+S      保存                    Tab   菜单栏（a d w s 移动，回车选择）\n"
    "  Ctrl+Z      撤销                    Ctrl+Y 重做\n"
    "  Esc         播放时停止播放\n"
    "  c           重新开始                Ctrl+C 退出\n"
    "  v           开始 / 结束选区         Esc   结束选区\n"
    "  y x Delete  复制 / 剪切 / 删除选区（或光标处的音符）  p  粘贴\n"
    "  e q / E Q   升降半音 / 八度         i r   插入 / 删除一步\n"
    "  1-7         输入 do re mi fa sol la ti（光标所在八度）  0  休止\n"
    "  -           延长刚输入的音符        , .   输入时值减半 / 加倍\n"
    "  k j         光标上下移动一个八度    g G   从光标播放 / 循环播放\n"
    "  鼠标：点格子移动光标，点光标处同空格，右键删除音符；滚轮滚动三行，\n"
    "        Shift+滚轮左右八格；点菜单、项目和按钮即执行；播放时点击停止\n"
    "\n"
    "  --instrument 乐器   音色：0-127，或 piano organ guitar violin flute\n"
    "                      clarinet trumpet voice，tone 为正弦音（默认 piano）\n"
    "  --soundfont 路径    使用的 SoundFont 音色库\n"
    "  --track N   导入 MIDI 文件的第 N 条音轨（格式 0 的文件：第 N 个通道）\n"
    "  --no-mouse  鼠标留给终端（用于选取文字）；PELLAVINE_MOUSE=0 同此\n"
    "  --help      显示本说明\n"
    "  --version   显示版本\n"
    "  --          其后的参数都是文件名（文件名以 - 开头时）\n";

// Opens the score named on the command line, before the terminal is taken.
// Returns 0, or 1 after saying on standard error why it cannot be opened.
int openarg(seditor& ed, const std::string& path, int track)
{
    if (pathmissing(path)) {
        // No file yet: a new score that Ctrl+S saves there.
        ed.doc.filepath = path;
        return 0;
    }
    sopened o = openscore(ed.doc, path, track);
    if (o.res == fileres::done) {
        ed.view = viewof(o.head);
        return 0;
    }
    std::fprintf(stderr, "pellavine: 无法打开 %s：%s\n", visiblename(path).c_str(), openfailure(o).c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const sargs args = readargs(utf8args(argc, argv));
    switch (args.what) {
    case argwhat::badoption:
        std::fprintf(stderr, "pellavine: %s\n", args.why.c_str());
        return 2;
    case argwhat::bad:
        std::fprintf(stderr, "%s", usage);
        return 2;
    case argwhat::help:
        std::printf("%s", usage);
        return 0;
    case argwhat::version:
        std::printf("Pellavine %s\n", PV_VERSION);
        return 0;
    case argwhat::edit:
        break;
    }
    const std::string& arg = args.path;
    seditor ed;
    if (!arg.empty() && openarg(ed, arg, args.track) != 0)
        return 1;
    if (int rc = termstart(args.mouse); rc != 0)
        return rc;
    int status = edit(ed, arg.empty());
    toneexit();
    termstop();
    if (!ed.recoverypath.empty())
        std::fprintf(stderr, "pellavine: 未保存的修改已存入 %s\n", visiblename(ed.recoverypath).c_str());
    if (ed.lostwork)
        std::fprintf(stderr, "pellavine: 未保存的修改无处可存，已丢失\n");
    if (int sig = termsignal(); sig != 0)
        return 128 + sig;
    return status;
}
