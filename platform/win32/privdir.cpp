// SPDX-License-Identifier: MIT
// Win32: a folder made with CreateDirectoryW (which fails on an existing
// name, so the name is never taken over) under the user's temporary folder,
// whose access list is the user's own and is inherited.
#include "platform/privdir.h"

#include "platform/win32/wide.h"

#include <windows.h>

#include <string>

std::string makeprivdir()
{
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    if (n == 0 || n > MAX_PATH)
        return {};
    const std::wstring base = std::wstring(tmp, n) + L"pellavine-play." + std::to_wstring(GetCurrentProcessId()) + L".";
    for (unsigned i = 0; i < 1000; i++) {
        std::wstring d = base + std::to_wstring(GetTickCount() + i);
        if (CreateDirectoryW(d.c_str(), nullptr))
            return narrow(d) + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

void removeprivdir(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return;
    if (!name.empty())
        DeleteFileW(widen(dir + name).c_str());
    std::wstring d = widen(dir);
    if (!d.empty() && d.back() == L'\\')
        d.pop_back();
    RemoveDirectoryW(d.c_str());
}
