// SPDX-License-Identifier: MIT
#include "dialogs/about.h"

#include "console/console.h"
#include "dialogs/dialog.h"
#include "platform/fileio.h"
#include "platform/proc.h"
#include "console/width.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int BOXW = 36, BOXH = 16;
constexpr int PANELW = 32;

// Reads the help text with care: the working folder may be shared, so a
// link, pipe or device planted under its name is refused (never followed or
// waited for), and so is a file larger than HELPMAX.
bool slurp(const std::string& path, std::string& out)
{
    return readwhole(path, out, nullptr, HELPMAX, linkmode::refuse).ok();
}

} // namespace

bool about()
{
    bool unopened = false;
    sdialog d;
    dlgplace(d, BOXW, BOXH);
    const int L = d.leftlo1, T = d.toplo1;

    // The caption stands in the middle of the panel, not at the usual place.
    d.texts.push_back({2 + (BOXW - 8) / 2, 1, "关于", FACECOL, 0});
    const std::string info[10] = {
        "",
        std::string(7, ' ') + "Pellavine Editor",
        std::string(8, ' ') + ABOUTVERSION,
        "",
        "",
        "",
        std::string(" 开发人员：") + CREDITS.name,
        std::string(11, ' ') + CREDITS.name2,
        std::string(" 联系方式：") + CREDITS.contact,
        LICENCELINE,
    };
    for (int i = 0; i < 10; i++) {
        // Every line is exactly as wide as the panel, whatever the texts.
        std::string s = info[i];
        if (strwidth(s) > PANELW)
            s = dlgfit(s, PANELW);
        d.texts.push_back({2, 3 + i, s, i == 4 ? FACECOL : PLAINCOL, PANELW});
    }

    dlgadd(d, dlgbutton(L + BOXW - 6, T + BOXH - 2, "确定"));
    dlgadd(d, dlgbutton(L + 2, T + BOXH - 2, "检查更新"));
    d.act = [&unopened](sdialog& dd, int i) -> int {
        if (i == 0) {
            dlgpress(dd, 0, 10);
            return 0;
        }
        dlgpress(dd, 1, 0);
        unopened = !openurl(UPDATEURL);
        Sleep(10);
        dd.redraw.items = true;
        return -1;
    };
    dlgrun(d);
    setcolor(PLAINCOL);
    return unopened;
}

int cpause()
{
    cput(PAUSEMSG);
    int k = getkey();
    while (k == KEY_CTRLC) // as in the dialogs: never a way out
        k = getkey();
    return k;
}

std::vector<std::string> helppaths(const std::string& exedir)
{
    std::vector<std::string> paths{HELPFILE};
    if (!exedir.empty())
        paths.push_back(exedir + SHAREDHELP);
    return paths;
}

bool help()
{
    cls();
    setcolor(PLAINCOL);
    std::string text;
    std::vector<std::string> paths = helppaths(exedir());
    if (std::none_of(paths.begin(), paths.end(), [&](const std::string& p) { return slurp(p, text); })) {
        cput(" ________________________________ \n");
        cput("*错误:                           *\n");
        cput("*       读取帮助文件失败！       *\n");
        cput("*________________________________*\n");
        cpause();
        return true;
    }
    cput(text);
    cput("\n");
    cpause();
    return false;
}
