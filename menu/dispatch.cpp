// Running a menu command by its name.
#include "menu/menu.h"

#include "dialogs/about.h"
#include "dialogs/dialogs.h"
#include "dialogs/play.h"
#include "editor/editor.h"
#include "files/files.h"
#include "platform/proc.h"

int funcmatch(const std::string& func)
{
    if (func == "nfile") {
        ffile(3);
    } else if (func == "ofile") {
        ffile(0);
    } else if (func == "sfile0") {
        ffile(1);
    } else if (func == "sfile1") {
        ffile(2);
    } else if (func == "cfile") {
        ffile(3);
    } else if (func == "close") {
        if (filesaved || filenotsaved())
            endprogram(0);
    } else if (func == "play") {
        play = playset(mousex, musicleng);
        return play.yn ? -1 : -2;
    } else if (func == "help") {
        help();
    } else if (func == "about") {
        about();
    } else if (func == "clear") {
        return 2;
    } else if (func == "update") {
        openurl(UPDATEURL);
    } else if (func == "wintitle") {
        fwintitle();
    }
    return 0;
}
