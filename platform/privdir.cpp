// SPDX-License-Identifier: MIT
// POSIX: mkdtemp makes the folder with mode 0700 under $TMPDIR or /tmp.
#include "platform/privdir.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

std::string makeprivdir()
{
    const char* t = std::getenv("TMPDIR");
    std::string base = t && t[0] == '/' ? t : "/tmp";
    if (base.back() != '/')
        base += '/';
    std::string templ = base + "pellavine-play.XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return {};
    return std::string(buf.data()) + "/";
}

void removeprivdir(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return;
    if (!name.empty())
        ::unlink((dir + name).c_str());
    ::rmdir(dir.c_str());
}
