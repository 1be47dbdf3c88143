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
        doc.failure = failtext("打开失败", o.cause ? o.cause : o.notscore ? "不是乐谱文件" : failcause(o.err));
    return o.res;
}

fileres savefile(sdoc& doc, sview& view, bool ask)
{
    if (doc.filepath.empty() || ask) {
        std::string path = doc.filepath.empty() ? doc.savename : "";
        if (slfile(pathdlg::save, path))
            return fileres::cancelled;
        doc.filepath = path;
    }
    fileerr why = fileerr::ok;
    fileres r = savescore(doc, view, doc.filepath, &why);
    if (r != fileres::done)
        doc.failure = failtext("保存失败", doc.filepath.empty() ? "" : failcause(why));
    else
        doc.savename.clear();
    return r;
}

} // namespace

const char* failcause(fileerr e)
{
    switch (e) {
    case fileerr::diskfull:
        return "磁盘已满";
    case fileerr::noperm:
        return "没有权限";
    case fileerr::notregular:
        return "不是普通文件";
    case fileerr::missing:
        return "文件不存在";
    case fileerr::toolarge:
        return "文件太大";
    case fileerr::ok:
    case fileerr::stopped:
    case fileerr::other:
        break;
    }
    return "";
}

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
