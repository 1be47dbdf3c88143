// Pellavine: a melody editor for the text terminal.
//
//   pellavine            starts on a new score
//   pellavine PATH       starts with the score at PATH (a new one saved there
//                        when no file exists yet)
//   pellavine --help     a short text on the keys
//   pellavine --version
#include "score/ring.h"
#include "dialogs/about.h"
#include "editor/editor.h"
#include "files/files.h"
#include "platform/fileio.h"
#include "score/pvx.h"
#include "menu/menu.h"
#include "platform/term.h"
#include "tone/launch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

const char* usage =
    "用法: pellavine [乐谱文件.pvx]\n"
    "  单声部乐谱编辑器，需要至少 108 x 27 的终端。\n"
    "  给出文件时打开它；文件不存在时从新乐谱开始，Ctrl+S 保存到该路径。\n"
    "\n"
    "  w s / W S   光标上下移动一行 / 一页\n"
    "  a d / A D   光标左右移动一步 / 一页\n"
    "  空格        创建音符或延长音符      退格  缩短或删除音符\n"
    "  b           试听光标所在行的音高    回车  播放设置\n"
    "  Ctrl+S      保存                    Tab   菜单栏（a d w s 移动，回车选择）\n"
    "  c           重新开始                Ctrl+C 退出\n"
    "\n"
    "  --instrument 乐器   音色：0-127，或 piano organ guitar violin flute\n"
    "                      clarinet trumpet voice，tone 为正弦音（默认 piano）\n"
    "  --soundfont 路径    使用的 SoundFont 音色库\n"
    "  --help      显示本说明\n"
    "  --version   显示版本\n";

// Opens the score named on the command line, before the terminal is taken.
// Returns 0, or 1 after saying on standard error why it cannot be opened.
int openarg(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        // No file yet: a new score that Ctrl+S saves there.
        ffile(3);
        filepath = path;
        return 0;
    }
    std::string bytes, why;
    pvxscore sc;
    if (!readwhole(path, bytes, &why)) {
        std::fprintf(stderr, "pellavine: 无法打开 %s: %s\n", path.c_str(), why.c_str());
        return 1;
    }
    why = pvxread(bytes, sc);
    if (!why.empty() || openscore(path) != 0) {
        std::fprintf(stderr, "pellavine: %s 不是可以打开的乐谱: %s\n", path.c_str(),
                     why.empty() ? "读取失败" : why.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string why;
    if (toneoptions(argc, argv, why) != 0) {
        std::fprintf(stderr, "pellavine: %s\n", why.c_str());
        return 2;
    }
    std::string arg = argc > 1 ? argv[1] : "";
    if (argc > 2 || (arg.size() > 1 && arg[0] == '-' && arg != "--help" && arg != "--version")) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    if (arg == "--help") {
        std::printf("%s", usage);
        return 0;
    }
    if (arg == "--version") {
        std::printf("Pellavine %s\n", VERSIONTEXT);
        return 0;
    }
    resetstate();
    if (!arg.empty() && openarg(arg) != 0)
        return 1;
    if (int rc = termstart(); rc != 0)
        return rc;
    tbset();
    int status = edit(arg.empty());
    toneexit();
    termstop();
    if (!recoverypath.empty())
        std::fprintf(stderr, "pellavine: 未保存的修改已存入 %s\n", recoverypath.c_str());
    if (int sig = termsignal(); sig != 0)
        return 128 + sig;
    return status;
}
