// SPDX-License-Identifier: MIT
#include "dialogs/filecmd.h"

#include "dialogs/dialogs.h"

namespace {

// False when the user chose to stop rather than lose unsaved changes.
bool maygo(sdoc& doc, sview& view) { return doc.filesaved || filenotsaved(doc, view); }

// The message of a failed command: what failed, and why when known.
std::string failtext(const char* what, const char* cause)
{
    std::string s = what;
    if (*cause) {
        s += "：";
        s += cause;
    }
    return s;
}

fileres openfile(sdoc& doc, sview& view)
{
    if (!maygo(doc, view))
        return fileres::done;
    std::string path;
    if (slfile(pathdlg::open, path))
        return fileres::cancelled;
    sopened o = openscore(doc, path);
    if (o.res == fileres::done)
        view = viewof(o.head);
    else
        doc.failure = failtext("打开失败", openfailure(o).c_str());
    if (o.res == fileres::done && o.extbytes > 0)
        doc.failure = EXTDROPMSG; // not a failure: said once all the same
    return o.res;
}

// Save as: the save dialog until a save succeeds or the user cancels. A
// failed save brings the dialog back with what was typed and why it failed;
// the path becomes the score's only once the file is written, so a failure
// leaves the old path and the unsaved state as they were.
fileres saveas(sdoc& doc, sview& view)
{
    ssaveform form;
    if (doc.filepath.empty())
        form.name = doc.savename; // an imported melody offers its own name
    for (;;) {
        std::string path;
        if (savedialog(form, path))
            return fileres::cancelled;
        fileerr why = fileerr::ok;
        if (savescore(doc, view, path, &why) == fileres::done) {
            doc.filepath = path;
            doc.savename.clear();
            return fileres::done;
        }
        form.failure = failtext("保存失败", failcause(why));
    }
}

fileres savefile(sdoc& doc, sview& view, bool ask)
{
    if (doc.filepath.empty() || ask)
        return saveas(doc, view);
    fileerr why = fileerr::ok;
    fileres r = savescore(doc, view, doc.filepath, &why);
    if (r != fileres::done)
        doc.failure = failtext("保存失败", failcause(why));
    return r;
}

} // namespace

fileres ffile(sdoc& doc, sview& view, fmode mode)
{
    switch (mode) {
    case fmode::open:
        return openfile(doc, view);
    case fmode::save:
        return savefile(doc, view, false);
    case fmode::saveas:
        return savefile(doc, view, true);
    case fmode::fresh:
        if (!maygo(doc, view))
            return fileres::done;
        docclear(doc);
        view = STARTVIEW;
        return fileres::done;
    }
    return fileres::failed;
}
