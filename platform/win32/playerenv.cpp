// SPDX-License-Identifier: MIT
// What the tone player needs from Windows: console stop events recorded, the
// editor that started it watched through a process handle, sleeps that a stop
// cuts short, the clock, and a quiet standard error.
#include "platform/playerenv.h"

#include "platform/proc.h"

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace {

volatile LONG stopsig = 0;
HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr); // set at the first stop
HANDLE watched = nullptr;

BOOL WINAPI onctrl(DWORD type)
{
    LONG sig = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    InterlockedCompareExchange(&stopsig, sig, 0);
    SetEvent(stopped);
    return TRUE;
}

} // namespace

void catchstops() { SetConsoleCtrlHandler(onctrl, TRUE); }

int stopsignal() { return static_cast<int>(stopsig); }

swatch watchstart(const char* envname)
{
    swatch w;
    if (const char* e = std::getenv(envname)) {
        char* end = nullptr;
        long v = std::strtol(e, &end, 10);
        if (end != e && *end == '\0' && v > 0)
            w.named = static_cast<pid_t>(v);
    }
    // The handle keeps the process id from being given to another process.
    if (w.named > 0 && !watched)
        watched = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(w.named));
    w.parent = w.named;
    return w;
}

bool watchgone(const swatch& w)
{
    if (w.named <= 0)
        return false;
    // A process that could not be opened at the start had already gone.
    return !watched || WaitForSingleObject(watched, 0) == WAIT_OBJECT_0;
}

void napms(int ms)
{
    if (ms > 0)
        WaitForSingleObject(stopped, static_cast<DWORD>(ms));
}

int64_t clockms()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(t / 10000 - 11644473600000ULL); // 100 ns since 1601 to ms since 1970
}

squiet::squiet()
{
    std::fflush(stderr);
    int null = _open("NUL", _O_WRONLY);
    if (null < 0)
        return;
    saved = _dup(2);
    if (saved >= 0)
        _dup2(null, 2);
    _close(null);
}

squiet::~squiet()
{
    if (saved < 0)
        return;
    std::fflush(stderr);
    _dup2(saved, 2);
    _close(saved);
}

std::vector<std::string> systemsoundfonts()
{
    std::string dir = exedir();
    if (dir.empty())
        return {};
    return {dir + "TimGM6mb.sf2"};
}
