// SPDX-License-Identifier: MIT
#pragma once
// The editor running in a pseudo-terminal, seen through libvterm: start it,
// type keys, wait for what the screen shows, collect its exit status.
#include "vt.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using clk = std::chrono::steady_clock;

inline std::string scratchdir()
{
    char tmpl[] = "/tmp/pve2e.XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

// The editor (the program at exe) running in a pseudo-terminal of the given
// size, with a new scratch folder as its working folder.
struct session {
    int master = -1, slave = -1;
    pid_t pid = -1;
    vt term;
    std::string out;      // every byte the editor wrote
    size_t mark = 0;      // start of the bytes since the last snapshot
    int status = -1;
    std::string dir = scratchdir();
    termios before{};

    session(int cols, int rows, const std::string& arg = "", const std::string& exe = PV_EDITOR,
            const std::string& arg2 = "")
        : term(cols, rows)
    {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(cols);
        ws.ws_row = static_cast<unsigned short>(rows);
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0)
            return;
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        tcgetattr(slave, &before);
        // What a shell had left on the screen before the editor started.
        term.feed("user@host:~$ pellavine\r\n");
        pid = fork();
        if (pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            if (chdir(dir.c_str()) != 0)
                _exit(126);
            setenv("TERM", "xterm-256color", 1);
            // A machine without a sound device gets SDL's silent one, so that
            // the status row does not say there is no device; a test that
            // wants a driver sets its own.
            setenv("SDL_AUDIODRIVER", "dummy", 0);
            if (arg.empty())
                execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            else if (arg2.empty())
                execl(exe.c_str(), exe.c_str(), arg.c_str(), static_cast<char*>(nullptr));
            else
                execl(exe.c_str(), exe.c_str(), arg.c_str(), arg2.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~session()
    {
        if (pid > 0 && status < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
        std::string cmd = "rm -rf '" + dir + "'";
        if (dir.rfind("/tmp/pve2e.", 0) == 0) {
            pid_t p = fork();
            if (p == 0) {
                execl("/bin/rm", "rm", "-rf", dir.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            if (p > 0)
                waitpid(p, nullptr, 0);
        }
    }

    // Feeds output to the terminal until cond holds or ms pass.
    bool until(const std::function<bool()>& cond, int ms = 5000)
    {
        auto end = clk::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (cond())
                return true;
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - clk::now()).count());
            if (left <= 0 || master < 0)
                return cond();
            pollfd pf{master, POLLIN, 0};
            if (poll(&pf, 1, std::min(left, 50)) > 0) {
                char buf[8192];
                ssize_t n = read(master, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, static_cast<size_t>(n));
                    term.feed(std::string(buf, static_cast<size_t>(n)));
                } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
                    // The other side is closed: wait for the process instead.
                    exited(left);
                    return cond();
                }
            }
            exited(0);
        }
    }
    // Output that has stopped coming for quiet ms.
    void settle(int quiet = 150)
    {
        size_t n = out.size();
        for (int i = 0; i < 40; i++) {
            until([] { return false; }, quiet);
            if (out.size() == n)
                return;
            n = out.size();
        }
    }
    void send(const std::string& s)
    {
        ssize_t n = write(master, s.data(), s.size());
        (void)n;
    }
    // True once the process has ended (waiting at most ms).
    bool exited(int ms)
    {
        if (status >= 0)
            return true;
        auto end = clk::now() + std::chrono::milliseconds(ms);
        for (;;) {
            int st = 0;
            pid_t r = waitpid(pid, &st, WNOHANG);
            if (r == pid) {
                status = st;
                return true;
            }
            if (clk::now() >= end)
                return false;
            usleep(10000);
        }
    }
    // Drains what is left and waits for the end.
    bool finish(int ms = 5000)
    {
        until([&] { return status >= 0; }, ms);
        until([] { return false; }, 100);
        return exited(0);
    }
    size_t since()
    {
        size_t n = out.size() - mark;
        mark = out.size();
        return n;
    }
    std::string screen() const
    {
        std::string s;
        for (int y = 0; y < term.h; y++)
            s += term.row(y) + "\n";
        return s;
    }
};

inline bool firstframe(session& s)
{
    return s.term.row(26).rfind("音符: C", 0) == 0;
}
