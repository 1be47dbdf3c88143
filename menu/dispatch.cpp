// Running a menu command by its name.
#include "menu/dispatch.h"

#include "dialogs/about.h"
#include "dialogs/dialogs.h"
#include "dialogs/filecmd.h"
#include "platform/proc.h"

cmdres funcmatch(const std::string& func, sdoc& doc, sview& view, smenubar& bar, splayset& ps)
{
    if (func == "nfile" || func == "cfile") {
        ffile(doc, view, fmode::fresh);
    } else if (func == "ofile") {
        ffile(doc, view, fmode::open);
    } else if (func == "sfile0") {
        ffile(doc, view, fmode::save);
    } else if (func == "sfile1") {
        ffile(doc, view, fmode::saveas);
    } else if (func == "close") {
        if (doc.filesaved || filenotsaved(doc, view))
            return cmdres::quit;
    } else if (func == "play") {
        ps.play = playset(doc, view, ps);
        return ps.play.yn ? cmdres::play : cmdres::playcancelled;
    } else if (func == "help") {
        help();
    } else if (func == "about") {
        about();
    } else if (func == "clear") {
        return cmdres::restart;
    } else if (func == "update") {
        openurl(UPDATEURL);
    } else if (func == "undo") {
        return cmdres::undo;
    } else if (func == "redo") {
        return cmdres::redo;
    } else if (func == "export") {
        return cmdres::exportfile;
    } else if (func == "wintitle") {
        fwintitle(bar);
    }
    return cmdres::none;
}
