// SPDX-License-Identifier: MIT
// The command line as Windows keeps it (UTF-16, from GetCommandLineW) and the
// C runtime's wide file calls, so that Chinese names arrive whole whatever
// the ANSI code page.
#include "platform/utf8.h"

#include "platform/win32/wide.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

std::vector<std::string> utf8args(int argc, char** argv)
{
    int n = 0;
    wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!w)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < n; i++)
        out.push_back(narrow(w[i]));
    LocalFree(w);
    return out;
}

bool pathmissing(const std::string& path)
{
    if (GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

FILE* utf8fopen(const std::string& path, const char* mode) { return _wfopen(widen(path).c_str(), widen(mode).c_str()); }

int utf8remove(const std::string& path) { return _wremove(widen(path).c_str()); }
