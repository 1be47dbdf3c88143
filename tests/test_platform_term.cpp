// SPDX-License-Identifier: MIT
// The terminal layer's own housekeeping while it waits for a key: players
// that end are reaped at once, not at the next key.
#include "console/console.h"
#include "platform/proc.h"
#include "tone/players.h"
#include "platform/term.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Children of `parent` that have ended but were not collected.
int zombiesof(pid_t parent)
{
    int n = 0;
    DIR* d = opendir("/proc");
    if (!d)
        return -1;
    while (dirent* e = readdir(d)) {
        std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
        std::string stat;
        if (!std::getline(f, stat))
            continue;
        size_t p = stat.rfind(')');
        if (p == std::string::npos)
            continue;
        std::istringstream is(stat.substr(p + 2));
        char state = 0;
        int ppid = 0;
        is >> state >> ppid;
        n += state == 'Z' && ppid == parent;
    }
    closedir(d);
    return n;
}

size_t linesin(const std::string& path)
{
    std::ifstream f(path);
    return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>(), '\n'));
}

} // namespace

#ifdef __linux__
TEST(TermKeyWait, PlayersThatEndAreReapedWhileTheEditorWaitsForAKey)
{
    char tmpl[] = "/tmp/pvterm.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl, beep = dir + "/pellavine-beep", ran = dir + "/ran";
    std::ofstream(beep) << "#!/bin/sh\necho . >> " << ran << "\n";
    chmod(beep.c_str(), 0755);

    winsize ws{};
    ws.ws_col = SCRW;
    ws.ws_row = SCRH;
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
    pid_t editor = fork();
    if (editor == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        close(master);
        if (termstart() != 0)
            _exit(3);
        setplayerpath(beep);
        for (int i = 0; i < 20; i++)
            startplayer();
        int k = getkey(); // waits here while the players end
        termstop();
        _exit(k == 'q' ? 0 : 1);
    }
    close(slave);
    auto drain = [&] {
        char buf[4096];
        while (read(master, buf, sizeof buf) > 0) {
        }
    };
    fcntl(master, F_SETFL, O_NONBLOCK);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int zombies = -1;
    while (std::chrono::steady_clock::now() < end) {
        drain();
        zombies = zombiesof(editor);
        if (linesin(ran) == 20 && zombies == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(linesin(ran), 20u);
    EXPECT_EQ(zombies, 0);

    ASSERT_EQ(write(master, "q", 1), 1);
    int st = 0;
    for (int i = 0; i < 500 && waitpid(editor, &st, WNOHANG) == 0; i++) {
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << st;
    close(master);
    std::filesystem::remove_all(dir);
}
#endif
