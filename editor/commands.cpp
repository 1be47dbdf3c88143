// SPDX-License-Identifier: MIT
// Every command of the editor, run in one place: the menu's items and the
// keys that stand for a command (Ctrl+C) come here with a `command`.
#include "editor/run.h"

#include "dialogs/about.h"
#include "dialogs/dialogs.h"
#include "dialogs/filecmd.h"
#include "platform/proc.h"

runend runcmd(seditor& ed, edrun& r, command c)
{
    sdoc& doc = ed.doc;
    sview& view = ed.view;
    switch (c) {
    case command::none:
        break;
    case command::about:
        if (about())
            doc.failure = UPDATEMSG;
        break;
    case command::quit:
        if (doc.filesaved || filenotsaved(doc, view))
            return runend::quit;
        break;
    case command::wintitle:
        fwintitle(ed.bar);
        break;
    case command::newfile:
    case command::closefile:
        ffile(doc, view, fmode::fresh);
        break;
    case command::openfile:
        ffile(doc, view, fmode::open);
        break;
    case command::save:
        ffile(doc, view, fmode::save);
        break;
    case command::saveas:
        ffile(doc, view, fmode::saveas);
        break;
    case command::exportfile:
        askexport(ed, r);
        break;
    case command::clear:
        return runend::restart;
    case command::undo:
    case command::redo:
        undoredo(ed, r, c == command::undo);
        break;
    case command::play:
        ed.plays.play = playset(doc, view, ed.plays);
        if (ed.plays.play.yn)
            startplay(ed, r);
        break;
    case command::select:
    case command::copy:
    case command::cut:
    case command::erase:
    case command::paste:
    case command::semiup:
    case command::semidown:
    case command::octaveup:
    case command::octavedown:
    case command::insertstep:
    case command::removestep:
    case command::lengthen:
    case command::entryhalf:
    case command::entrydouble:
    case command::playfrom:
    case command::playloop:
        spancmd(ed, r, c);
        break;
    case command::help:
        if (help())
            doc.failure = HELPFAILMSG;
        break;
    case command::update:
        if (!openurl(UPDATEURL))
            doc.failure = UPDATEMSG;
        break;
    }
    return runend::goon;
}
