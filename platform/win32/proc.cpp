// SPDX-License-Identifier: MIT
// Starting and stopping other programs on Windows: CreateProcessW with no
// window and no standard handles, players inside a job object that ends them
// when the editor ends, the resident player woken through a pipe, and
// ShellExecuteW for web addresses. No command
// interpreter is involved.
#include "platform/proc.h"

#include "platform/win32/wide.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>

namespace {

struct child {
    HANDLE process;
    DWORD pid;
    bool player;
    bool killed = false; // terminated; no longer counted as running
};

std::vector<child> children; // started and not yet seen to end
std::string playeroverride;
HANDLE job = nullptr;

// The job every player runs in: closing its last handle (the editor ending,
// however it ends) ends the players.
HANDLE playerjob()
{
    if (job)
        return job;
    job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION li{};
    li.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &li, sizeof li);
    return job;
}

std::wstring selfpath()
{
    std::wstring buf(260, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

bool isfile(const std::string& path)
{
    if (path.empty())
        return false;
    DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// One argument quoted so that CommandLineToArgvW and the C runtime read it
// back unchanged.
void quotearg(std::wstring& cmd, const std::wstring& a)
{
    if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        cmd += a;
        return;
    }
    cmd += L'"';
    for (size_t i = 0;; i++) {
        size_t slashes = 0;
        while (i < a.size() && a[i] == L'\\') {
            i++;
            slashes++;
        }
        if (i == a.size()) {
            cmd.append(slashes * 2, L'\\');
            break;
        }
        if (a[i] == L'"')
            cmd.append(slashes * 2 + 1, L'\\');
        else
            cmd.append(slashes, L'\\');
        cmd += a[i];
    }
    cmd += L'"';
}

int spawn(const std::vector<std::string>& argv, bool player)
{
    reapchildren();
    if (argv.empty() || argv[0].empty())
        return -1;
    std::wstring app = widen(argv[0]), cmd;
    for (size_t i = 0; i < argv.size(); i++) {
        if (i)
            cmd += L' ';
        quotearg(cmd, widen(argv[i]));
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES; // and all three left null
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so that nothing it starts escapes.
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (player ? CREATE_SUSPENDED : 0);
    if (!CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi))
        return -1;
    if (player) {
        HANDLE j = playerjob();
        if (!j || !AssignProcessToJobObject(j, pi.hProcess)) {
            // A player outside the job could outlive the editor: none at all.
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            return -1;
        }
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);
    children.push_back({pi.hProcess, pi.dwProcessId, player, false});
    return static_cast<int>(pi.dwProcessId);
}

} // namespace

std::string exedir()
{
    std::wstring self = selfpath();
    size_t slash = self.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    return narrow(self.substr(0, slash + 1));
}

std::string playerpath()
{
    if (!playeroverride.empty())
        return playeroverride;
    std::string dir = exedir();
    return dir.empty() ? dir : dir + "pellavine-beep.exe";
}

void setplayerpath(const std::string& path) { playeroverride = path; }

int spawndetached(const std::vector<std::string>& argv) { return spawn(argv, false); }

void reapchildren()
{
    for (size_t i = 0; i < children.size();) {
        if (WaitForSingleObject(children[i].process, 0) == WAIT_OBJECT_0) {
            CloseHandle(children[i].process);
            children.erase(children.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        i++;
    }
}

int liveplayers()
{
    reapchildren();
    int n = 0;
    for (const child& c : children)
        n += c.player && !c.killed;
    return n;
}

namespace {

// Ends the oldest running players until fewer than MAXPLAYERS remain. A
// player has no window to close, so it is terminated at once; one that has
// not gone within a moment is no longer counted.
void makeroom()
{
    while (liveplayers() >= MAXPLAYERS) {
        auto oldest = std::find_if(children.begin(), children.end(),
                                   [](const child& c) { return c.player && !c.killed; });
        oldest->killed = true;
        TerminateProcess(oldest->process, 1);
        WaitForSingleObject(oldest->process, 1000);
    }
}

} // namespace

void startplayer()
{
    std::string path = playerpath();
    if (!isfile(path)) {
        reapchildren();
        return;
    }
    // The player watches this process and stops once it is gone.
    SetEnvironmentVariableW(L"PELLAVINE_PID", std::to_wstring(GetCurrentProcessId()).c_str());
    makeroom();
    spawn({path}, true);
}

void stopplayers()
{
    if (job)
        TerminateJobObject(job, 1);
    for (const child& c : children)
        if (c.player)
            WaitForSingleObject(c.process, 1000);
    reapchildren();
}

bool openurl(const std::string& url)
{
    reapchildren();
    if (url.empty())
        return false;
    // ShellExecute reports success with a value above 32.
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", widen(url).c_str(), nullptr, nullptr,
                                                   SW_SHOWNORMAL)) > 32;
}

void procreset()
{
    for (const child& c : children)
        CloseHandle(c.process);
    children.clear();
    playeroverride.clear();
}

namespace {

// The resident player's pipe: this process holds the only write end (never
// inherited); the player holds the read end and ends when it reads the end
// of the pipe, that is when this process closes it or dies.
HANDLE residentpipe = nullptr;

// Starts `path --resident HANDLE` in the players' job, with `h` the one handle
// it inherits. The process id, or -1.
int spawnresident(const std::string& path, HANDLE h)
{
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attrs(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attrs.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size))
        return -1;
    int pid = -1;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &h, sizeof h, nullptr, nullptr)) {
        std::wstring app = widen(path), cmd;
        quotearg(cmd, app);
        cmd += L" --resident " + std::to_wstring(reinterpret_cast<uintptr_t>(h));
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof si;
        si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        si.lpAttributeList = list;
        PROCESS_INFORMATION pi{};
        DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT;
        if (CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                           &si.StartupInfo, &pi)) {
            HANDLE j = playerjob();
            if (j && AssignProcessToJobObject(j, pi.hProcess)) {
                ResumeThread(pi.hThread);
                children.push_back({pi.hProcess, pi.dwProcessId, true, false});
                pid = static_cast<int>(pi.dwProcessId);
            } else {
                TerminateProcess(pi.hProcess, 1);
                CloseHandle(pi.hProcess);
            }
            CloseHandle(pi.hThread);
        }
    }
    DeleteProcThreadAttributeList(list);
    return pid;
}

} // namespace

int startresident()
{
    stopresident();
    std::string path = playerpath();
    if (!isfile(path))
        return -1;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE rd = nullptr, wr = nullptr;
    if (!CreatePipe(&rd, &wr, &inherit, 0))
        return -1;
    // Only the read end may be inherited, and only by this one child.
    SetHandleInformation(wr, HANDLE_FLAG_INHERIT, 0);
    DWORD nowait = PIPE_NOWAIT; // a full pipe never blocks the editor
    SetNamedPipeHandleState(wr, &nowait, nullptr, nullptr);
    SetEnvironmentVariableW(L"PELLAVINE_PID", std::to_wstring(GetCurrentProcessId()).c_str());
    int pid = spawnresident(path, rd);
    CloseHandle(rd);
    if (pid < 0) {
        CloseHandle(wr);
        return -1;
    }
    residentpipe = wr;
    return pid;
}

// The Windows player takes a wake-up byte for each play message and reads
// the request from "beepset.tmp", which the editor has just written; it has
// no stop message, so a stop is refused and the caller starts a fresh player.
bool tellresident(const std::string& message)
{
    if (!residentpipe || message.empty() || message[0] != 'p')
        return false;
    DWORD n = 0;
    if (WriteFile(residentpipe, "w", 1, &n, nullptr))
        return true; // n is 0 when the pipe is full: the player reads the file anyway
    stopresident(); // the player has gone
    return false;
}

void stopresident()
{
    if (residentpipe)
        CloseHandle(residentpipe);
    residentpipe = nullptr;
    reapchildren();
}

// The Windows player writes nothing back to the editor.
std::vector<std::string> residentreplies() { return {}; }

// Players inherit this process's environment (CreateProcessW is given none).
void setplayerenv(const std::string& name, const std::string& value)
{
    SetEnvironmentVariableW(widen(name).c_str(), widen(value).c_str());
}
