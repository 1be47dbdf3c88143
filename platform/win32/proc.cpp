// SPDX-License-Identifier: MIT
// Starting and stopping other programs on Windows: CreateProcessW with no
// window and no standard handles, the group inside a job object that ends
// them when this process ends, the link an anonymous pipe, and
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
    bool grouped;        // in the job
    bool killed = false; // terminated; no longer counted as running
};

std::vector<child> children; // started and not yet seen to end
HANDLE job = nullptr;
// This process's end of the link: the only write end of the pipe, never
// inherited; the linked child holds the read end.
HANDLE linkpipe = nullptr;

// The job every child of the group runs in: closing its last handle (this
// process ending, however it ends) ends them.
HANDLE groupjob()
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

// Starts argv with `inherit` (or nothing) as the one handle the child
// inherits, into the job when grouped. The process id, or -1.
int spawn(const std::vector<std::string>& argv, bool grouped, HANDLE inherit)
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
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attrs(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attrs.data());
    if (inherit && !InitializeProcThreadAttributeList(list, 1, 0, &size))
        return -1;
    if (inherit && !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherit, sizeof inherit,
                                              nullptr, nullptr)) {
        DeleteProcThreadAttributeList(list);
        return -1;
    }
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = inherit ? sizeof si : sizeof si.StartupInfo;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES; // and all three left null
    si.lpAttributeList = inherit ? list : nullptr;
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so that nothing it starts escapes.
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (grouped ? CREATE_SUSPENDED : 0) |
                  (inherit ? EXTENDED_STARTUPINFO_PRESENT : 0);
    BOOL made = CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, inherit ? TRUE : FALSE, flags, nullptr,
                               nullptr, &si.StartupInfo, &pi);
    if (inherit)
        DeleteProcThreadAttributeList(list);
    if (!made)
        return -1;
    if (grouped) {
        HANDLE j = groupjob();
        if (!j || !AssignProcessToJobObject(j, pi.hProcess)) {
            // A child outside the job could outlive this process: none at all.
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            return -1;
        }
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);
    children.push_back({pi.hProcess, pi.dwProcessId, grouped, false});
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

bool isprogram(const std::string& path) { return isfile(path); }

int selfpid() { return static_cast<int>(GetCurrentProcessId()); }

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

int groupsize()
{
    reapchildren();
    int n = 0;
    for (const child& c : children)
        n += c.grouped && !c.killed;
    return n;
}

// A child has no window to close, so it is terminated at once; one that has
// not gone within a moment is no longer counted.
void groupstopoldest()
{
    reapchildren();
    auto oldest = std::find_if(children.begin(), children.end(), [](const child& c) { return c.grouped && !c.killed; });
    if (oldest == children.end())
        return;
    oldest->killed = true;
    TerminateProcess(oldest->process, 1);
    WaitForSingleObject(oldest->process, 1000);
}

void groupstop()
{
    if (job)
        TerminateJobObject(job, 1);
    for (const child& c : children)
        if (c.grouped)
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
    linkclose();
    for (const child& c : children)
        CloseHandle(c.process);
    children.clear();
}

int spawnchild(const std::vector<std::string>& argv, const sspawn& how)
{
    // A delay matters only where starting a process is cheap enough for the
    // child to get in the way of the first frame; here creation is slow
    // enough already.
    if (!how.linked)
        return spawn(argv, how.grouped, nullptr);
    linkclose();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE rd = nullptr, wr = nullptr;
    if (argv.empty() || !CreatePipe(&rd, &wr, &inherit, 0))
        return -1;
    // Only the read end may be inherited, and only by this one child.
    SetHandleInformation(wr, HANDLE_FLAG_INHERIT, 0);
    DWORD nowait = PIPE_NOWAIT; // a full pipe never blocks this process
    SetNamedPipeHandleState(wr, &nowait, nullptr, nullptr);
    std::vector<std::string> args = argv;
    args.push_back(std::to_string(reinterpret_cast<uintptr_t>(rd)));
    int pid = spawn(args, how.grouped, rd);
    CloseHandle(rd);
    if (pid < 0) {
        CloseHandle(wr);
        return -1;
    }
    linkpipe = wr;
    return pid;
}

bool linksend(const std::string& message)
{
    if (!linkpipe)
        return false;
    DWORD n = 0;
    if (!WriteFile(linkpipe, message.data(), static_cast<DWORD>(message.size()), &n, nullptr)) {
        linkclose(); // the child has gone
        return false;
    }
    return n == message.size(); // 0 when the pipe is full
}

// The linked child writes nothing back here.
std::vector<std::string> linklines() { return {}; }

bool linkopen() { return linkpipe != nullptr; }

void linkclose()
{
    if (linkpipe)
        CloseHandle(linkpipe);
    linkpipe = nullptr;
    reapchildren();
}

// Children inherit this process's environment (CreateProcessW is given none).
void setchildenv(const std::string& name, const std::string& value)
{
    SetEnvironmentVariableW(widen(name).c_str(), widen(value).c_str());
}
