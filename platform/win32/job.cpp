// SPDX-License-Identifier: MIT
// Jobs on Windows: CreateProcessW with standard error on a file, the process
// handle kept until the job is collected.
#include "platform/job.h"

#include "platform/win32/wide.h"

#include <windows.h>

#include <map>

namespace {

std::map<int, HANDLE> jobs; // started and not yet collected

// One argument quoted as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& a)
{
    std::wstring o = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            slashes++;
            continue;
        }
        o.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        o += c;
    }
    o.append(2 * slashes, L'\\');
    return o + L"\"";
}

} // namespace

int startjob(const std::vector<std::string>& argv, const std::string& errpath)
{
    if (argv.empty())
        return -1;
    std::wstring cmd;
    for (const std::string& a : argv)
        cmd += (cmd.empty() ? L"" : L" ") + quoted(widen(a));
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE err = CreateFileW(widen(errpath).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = nul;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    BOOL ok = err != INVALID_HANDLE_VALUE && nul != INVALID_HANDLE_VALUE &&
              CreateProcessW(widen(argv[0]).c_str(), cmd.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si, &pi);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!ok)
        return -1;
    CloseHandle(pi.hThread);
    int id = static_cast<int>(pi.dwProcessId);
    jobs[id] = pi.hProcess;
    return id;
}

jobstate pokejob(int id, int& status)
{
    auto it = jobs.find(id);
    if (it == jobs.end()) {
        status = -1;
        return jobstate::failed;
    }
    if (WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT)
        return jobstate::running;
    DWORD code = 1;
    GetExitCodeProcess(it->second, &code);
    CloseHandle(it->second);
    jobs.erase(it);
    status = static_cast<int>(code);
    return status == 0 ? jobstate::ok : jobstate::failed;
}

void stopjob(int id)
{
    auto it = jobs.find(id);
    if (it == jobs.end())
        return;
    TerminateProcess(it->second, 1);
    WaitForSingleObject(it->second, 5000);
    CloseHandle(it->second);
    jobs.erase(it);
}

iores checkout(const std::string& path)
{
    DWORD a = GetFileAttributesW(widen(path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) {
        if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
            return {fileerr::notregular, 0};
        if (a & FILE_ATTRIBUTE_READONLY)
            return {fileerr::noperm, 0};
        return {};
    }
    DWORD e = GetLastError();
    if (e == ERROR_PATH_NOT_FOUND)
        return {fileerr::missing, static_cast<int>(e)};
    if (e == ERROR_ACCESS_DENIED)
        return {fileerr::noperm, static_cast<int>(e)};
    return {};
}
