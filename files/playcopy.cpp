// SPDX-License-Identifier: MIT
#include "files/playcopy.h"

#include "files/files.h"
#include "platform/fileio.h"
#include "platform/privdir.h"

namespace {
constexpr const char* COPYNAME = "play.pvx";
}

bool writeplaycopy(splaycopy& c, const sdoc& doc, const sview& view)
{
    dropplaycopy(c);
    std::string dir = makeprivdir();
    if (dir.empty())
        return false;
    // A fresh folder only we may enter: a file created exclusively there is
    // ours (writenew refuses a name that exists or is a link).
    iores r;
    std::string path = writenew(dir + COPYNAME, scorebytes(doc, view), &r);
    if (path != dir + COPYNAME) {
        if (!path.empty())
            removeprivdir(dir, path.substr(dir.size()));
        removeprivdir(dir, COPYNAME);
        return false;
    }
    c.dir = dir;
    c.path = path;
    return true;
}

void dropplaycopy(splaycopy& c)
{
    if (c.dir.empty())
        return;
    removeprivdir(c.dir, COPYNAME);
    c = splaycopy{};
}
