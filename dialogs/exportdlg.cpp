// SPDX-License-Identifier: MIT
#include "dialogs/exportdlg.h"

#include "dialogs/dialogs.h"

bool exportdlg(const std::string& name, std::string& path)
{
    sdialog d;
    dlgplace(d, 70, 11);
    const int L = d.leftlo1, T = d.toplo1;
    d.title = "导出";
    d.texts.push_back({2, 3, "路径(请将要保存到的文件夹拖拽至此处):"});
    d.texts.push_back({2, 5, "文件名:"});
    d.texts.push_back({2, 7, "扩展名决定格式: .wav 声音  .mid MIDI  .musicxml 乐谱"});
    dlgadd(d, dlgtextfield(L + 2, T + 4, "", 66), 66);
    dlgadd(d, dlgtextfield(L + 2, T + 6, name, 66), 66, name);
    dlgadd(d, dlgbutton(L + 59, T + 9, "取消"));
    dlgadd(d, dlgbutton(L + 64, T + 9, "确定"));
    if (dlgrun(d) != 3)
        return true;
    path = typedfolder(d.text[0]) + d.text[1];
    return false;
}
