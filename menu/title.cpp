// SPDX-License-Identifier: MIT
// The title line: typing a new title over the bar's second heading.
#include "menu/menu.h"

#include "console/console.h"
#include "widgets/lineedit.h"
#include "console/width.h"
#include "score/view.h"

#include <algorithm>

bool fwintitle(smenubar& b)
{
    bool ret = true;
    int barw = SCRW;
    if (scr.w > 0)
        barw = std::min(barw, scr.w);
    setcolor(143);
    gotoxy(6, 0);
    // Blank the title where the bar shows it, never past the bar.
    cput(std::string(static_cast<size_t>(std::clamp(strwidth(b.wintitle), 0, std::max(barw - 6, 0))), ' '));
    gotoxy(6, 0);
    std::string tmpwintitle;
    getline(tmpwintitle, barw - 6);
    if (!tmpwintitle.empty()) {
        b.wintitle = tmpwintitle;
        tbset(b);
        toolbar(b, barreq::drawall);
        ret = false;
    }
    setcolor(15);
    return ret;
}
