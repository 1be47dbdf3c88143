#include "dialogs/filecmd.h"

#include "dialogs/dialogs.h"

namespace {

// False when the user chose to stop rather than lose unsaved changes.
bool maygo(sdoc& doc, sview& view) { return doc.filesaved || filenotsaved(doc, view); }

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
    return o.res;
}

fileres savefile(sdoc& doc, sview& view, bool ask)
{
    if (doc.filepath.empty() || ask) {
        std::string path;
        if (slfile(pathdlg::save, path))
            return fileres::cancelled;
        doc.filepath = path;
    }
    return savescore(doc, view, doc.filepath);
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
