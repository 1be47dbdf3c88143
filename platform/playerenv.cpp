// SPDX-License-Identifier: MIT
#include "platform/playerenv.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t stopsig = 0;
void onsignal(int sig)
{
    if (!stopsig)
        stopsig = sig;
}
} // namespace

void catchstops()
{
    struct sigaction sa{};
    sa.sa_handler = onsignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: sleeps end at once
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

int stopsignal() { return stopsig; }

swatch watchstart(const char* envname)
{
    swatch w;
    w.parent = getppid();
    if (const char* e = std::getenv(envname)) {
        char* end = nullptr;
        long v = std::strtol(e, &end, 10);
        if (end != e && *end == '\0' && v > 1)
            w.named = static_cast<pid_t>(v);
    }
    return w;
}

bool watchgone(const swatch& w)
{
    // An orphan from the start (parent 1) has no parent to watch.
    if (w.parent > 1 && getppid() != w.parent)
        return true;
    if (w.named > 0 && kill(w.named, 0) != 0 && errno == ESRCH)
        return true;
    return false;
}

void napms(int ms)
{
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

int64_t clockms()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

squiet::squiet()
{
    std::fflush(stderr);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0)
        return;
    saved = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (saved >= 0)
        dup2(null, 2);
    close(null);
}

squiet::~squiet()
{
    if (saved < 0)
        return;
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
}

std::vector<std::string> systemsoundfonts()
{
    return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"};
}
