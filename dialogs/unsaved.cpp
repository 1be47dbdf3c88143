// SPDX-License-Identifier: MIT
// The unsaved-changes dialog.
#include "dialogs/dialogs.h"

#include "console/console.h"
#include "dialogs/filecmd.h"

bool filenotsaved(sdoc& doc, sview& view)
{
    sdialog d;
    dlgplace(d, 30, 5);
    const int L = d.leftlo1, T = d.toplo1;
    d.title = "文件尚未保存，是否继续？";
    dlgadd(d, dlgbutton(L + 14, T + 3, "取消"));
    dlgadd(d, dlgbutton(L + 19, T + 3, "放弃"));
    dlgadd(d, dlgbutton(L + 24, T + 3, "保存"));
    switch (dlgrun(d)) {
    case 1:
        return true;
    case 2:
        // Clear the box and its shadow: the save dialog may open here.
        setcolor(PLAINCOL);
        for (int y = T; y <= T + d.winheig1; y++) {
            gotoxy(L, y);
            cpad("", d.winleng1 + 1);
        }
        {
            bool done = ffile(doc, view, fmode::save) == fileres::done;
            setcolor(PLAINCOL);
            return done;
        }
    default: // 取消, or input ended
        return false;
    }
}
