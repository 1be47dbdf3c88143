// SPDX-License-Identifier: MIT
// Starting players and the browser: detached, reaped, stoppable.
#include "platform/proc.h"
#include "tone/players.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <algorithm>
#include <functional>
#include <vector>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string tmpdir()
{
    char tmpl[] = "/tmp/pvproc.XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

std::string slurp(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool waitfor(const std::function<bool()>& cond, int ms = 5000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

std::string statusfield(const std::string& status, const std::string& name)
{
    size_t p = status.find("\n" + name + ":");
    if (p == std::string::npos)
        return {};
    p += name.size() + 2;
    size_t e = status.find('\n', p);
    std::string v = status.substr(p, e - p);
    v.erase(0, v.find_first_not_of(" \t"));
    return v;
}

void writescript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

struct ProcTest : ::testing::Test {
    std::string dir = tmpdir();
    void SetUp() override { playersreset(); }
    void TearDown() override
    {
        stopplayers();
        waitfor([] { return liveplayers() == 0; }, 2000);
        playersreset();
    }
};

} // namespace

#ifdef __linux__
TEST_F(ProcTest, ChildIsDetachedWithCleanDescriptorsAndSignals)
{
    // State the editor has when it starts a player: a stray descriptor that
    // is not close-on-exec, an ignored signal, a blocked signal.
    int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 3);
    struct sigaction ign {}, oldint {};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ign, &oldint);
    sigset_t usr1, oldmask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr1, &oldmask);

    int pid = spawndetached({"/bin/sleep", "30"});

    sigprocmask(SIG_SETMASK, &oldmask, nullptr);
    sigaction(SIGINT, &oldint, nullptr);
    close(stray);
    ASSERT_GT(pid, 0);

    // The running program, seen from outside.
    std::string proc = "/proc/" + std::to_string(pid);
    std::string st = slurp(proc + "/status");
    EXPECT_EQ(statusfield(st, "SigBlk"), "0000000000000000");
    EXPECT_EQ(statusfield(st, "SigIgn"), "0000000000000000");
    // Own session and process group: the terminal's signals never reach it.
    std::string stat = slurp(proc + "/stat");
    std::istringstream is(stat.substr(stat.rfind(')') + 2));
    char state = 0;
    int ppid = 0, pgrp = 0, session = 0, tty = 0;
    is >> state >> ppid >> pgrp >> session >> tty;
    EXPECT_EQ(pgrp, pid);
    EXPECT_EQ(session, pid);
    EXPECT_EQ(tty, 0); // no controlling terminal
    // Only 0, 1 and 2 were inherited, all on /dev/null.
    // The program's own loader may hold a library open for a moment after
    // the exec: look again until it has settled.
    std::vector<std::string> fds;
    for (int tries = 0; tries < 200; tries++) {
        fds.clear();
        for (int fd = 0; fd < 64; fd++) {
            char buf[256];
            std::string link = proc + "/fd/" + std::to_string(fd);
            ssize_t n = readlink(link.c_str(), buf, sizeof buf);
            if (n > 0)
                fds.push_back(std::to_string(fd) + "=" + std::string(buf, static_cast<size_t>(n)));
        }
        if (fds.size() <= 3)
            break;
        usleep(10000);
    }
    EXPECT_EQ(fds, (std::vector<std::string>{"0=/dev/null", "1=/dev/null", "2=/dev/null"}));
    char cwd[4096], ccwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ssize_t n = readlink((proc + "/cwd").c_str(), ccwd, sizeof ccwd);
    EXPECT_EQ(std::string(ccwd, n > 0 ? static_cast<size_t>(n) : 0), cwd);

    kill(pid, SIGTERM);
    // Reaped without waiting: once it has ended, no zombie stays behind.
    EXPECT_TRUE(waitfor([&] {
        reapchildren();
        return kill(pid, 0) != 0;
    }));
}
#endif

TEST_F(ProcTest, ProgramThatCannotRunIsNotStarted)
{
    EXPECT_EQ(spawndetached({dir + "/missing"}), -1);
    EXPECT_EQ(spawndetached({}), -1);
    std::string plain = dir + "/plain";
    std::ofstream(plain) << "not a program\n"; // not executable
    EXPECT_EQ(spawndetached({plain}), -1);
}

TEST_F(ProcTest, MissingPlayerDoesNothing)
{
    setplayerpath(dir + "/pellavine-beep");
    startplayer();
    EXPECT_EQ(liveplayers(), 0);
    stopplayers(); // nothing to stop, nothing fails
    EXPECT_EQ(liveplayers(), 0);
}

TEST_F(ProcTest, DefaultPlayerSitsNextToTheExecutable)
{
    std::string p = playerpath();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.substr(p.rfind('/') + 1), "pellavine-beep");
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string s(self, static_cast<size_t>(n));
        EXPECT_EQ(p.substr(0, p.rfind('/')), s.substr(0, s.rfind('/')));
    }
    // The same folder as exedir gives it, with its closing slash.
    EXPECT_EQ(exedir() + "pellavine-beep", p);
    EXPECT_EQ(exedir().front(), '/');
}

TEST_F(ProcTest, StopPlayersEndsTheWholeGroupWithoutWaitingForIt)
{
    std::string beep = dir + "/pellavine-beep";
    std::string pidfile = dir + "/grandchild";
    // A player that itself starts a helper in its group, then waits.
    writescript(beep, "sleep 30 & echo $! > " + pidfile + ".tmp; mv " + pidfile + ".tmp " + pidfile +
                          "; wait\n");
    setplayerpath(beep);

    auto t0 = std::chrono::steady_clock::now();
    startplayer();
    startplayer();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2)); // never waited for
    EXPECT_EQ(liveplayers(), 2);
    ASSERT_TRUE(waitfor([&] { return !slurp(pidfile).empty(); }));
    int helper = std::stoi(slurp(pidfile));

    stopplayers();
    EXPECT_TRUE(waitfor([] { return liveplayers() == 0; }));
    // The helper got the signal too (it may linger as a zombie of init).
    EXPECT_TRUE(waitfor([&] {
        if (kill(helper, 0) != 0)
            return true;
        std::string st = slurp("/proc/" + std::to_string(helper) + "/stat");
        size_t p = st.rfind(')');
        return p != std::string::npos && p + 2 < st.size() && st[p + 2] == 'Z';
    }));
}

TEST_F(ProcTest, OtherChildrenAreNotPlayers)
{
    int pid = spawndetached({"/bin/sleep", "30"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(liveplayers(), 0);
    stopplayers(); // must leave it alone
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    reapchildren();
    EXPECT_EQ(kill(pid, 0), 0);
    kill(pid, SIGKILL);
    EXPECT_TRUE(waitfor([&] {
        reapchildren();
        return kill(pid, 0) != 0;
    }));
}

TEST_F(ProcTest, OpenUrlRunsTheDesktopOpenerWithTheAddressAsItsOnlyArgument)
{
#ifdef __APPLE__
    const char* opener = "open";
#else
    const char* opener = "xdg-open";
#endif
    std::string out = dir + "/args";
    // Prints each argument on a line of its own: a shell would have split
    // or expanded the address.
    writescript(dir + "/" + opener, "for a in \"$@\"; do echo \"[$a]\"; done > " + out + ".tmp; mv " + out +
                                        ".tmp " + out + "\n");
    const char* old = std::getenv("PATH");
    std::string saved = old ? old : "";
    setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
    std::string url = "https://example.org/a b;$(touch " + dir + "/pwned)&x=`id`";
    openurl(url);
    setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(waitfor([&] { return !slurp(out).empty(); }));
    EXPECT_EQ(slurp(out), "[" + url + "]\n");
    EXPECT_NE(access((dir + "/pwned").c_str(), F_OK), 0);
    EXPECT_EQ(liveplayers(), 0); // not a player: stopplayers leaves it alone

    // No opener anywhere: nothing happens.
    setenv("PATH", (dir + "/none").c_str(), 1);
    openurl("https://example.org/");
    setenv("PATH", saved.c_str(), 1);
}

TEST_F(ProcTest, AtMostEightPlayersTheOldestStopsFirst)
{
    // Each player notes its pid and waits; the obstinate ones ignore SIGTERM.
    std::string beep = dir + "/pellavine-beep";
    std::string pids = dir + "/pids";
    writescript(beep, "[ -e " + dir + "/obstinate ] && trap '' TERM\necho $$ >> " + pids + "\nexec sleep 30\n");
    setplayerpath(beep);
    std::ofstream(dir + "/obstinate"); // the first two ignore SIGTERM
    for (int i = 0; i < 12; i++) {
        if (i == 2)
            unlink((dir + "/obstinate").c_str());
        startplayer();
        EXPECT_LE(liveplayers(), MAXPLAYERS) << "after start " << i + 1;
        waitfor([&] {
            std::string s = slurp(pids);
            return std::count(s.begin(), s.end(), '\n') == i + 1;
        });
    }
    EXPECT_EQ(liveplayers(), MAXPLAYERS);
    std::vector<int> started;
    std::istringstream in(slurp(pids));
    for (int p; in >> p;)
        started.push_back(p);
    ASSERT_EQ(started.size(), 12u);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(kill(started[static_cast<size_t>(i)], 0) == 0, i >= 4) << "player " << i + 1;
}
