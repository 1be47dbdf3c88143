// SPDX-License-Identifier: MIT
// pellavine-beep playing through SDL, as the editor starts it. SDL's disk
// audio driver stands in for a sound card: it takes the sound at the pace of
// a real device and writes it to a file.
#include "helpers.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace pt;

namespace {

constexpr int64_t MS = RATE / 1000;

struct PlayerDevice : indir {
    std::vector<std::string> disk() const
    {
        return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir + "/out.raw", "PELLAVINE_INSTRUMENT=tone"};
    }
    std::vector<int16_t> heard() const { return samples(readbytes(dir + "/out.raw")); }
    // Waits until the device has taken some sound: the player is playing.
    bool playing(int timeoutms) const
    {
        for (int64_t until = nowms() + timeoutms; nowms() < until; usleep(5000))
            if (readbytes(dir + "/out.raw").size() > 4096)
                return true;
        return false;
    }
};

} // namespace

TEST_F(PlayerDevice, PlaysAToneToTheEndAndExits)
{
    request(tonereq(nowms() / 1000, 0, 440, 5));
    std::string err;
    ASSERT_EQ(runbeep(dir, {}, disk(), err), 0) << err;
    EXPECT_EQ(err, "");
    std::vector<int16_t> x = heard();
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_LT(peak(x, r[0].s, r[0].s + 8), 100) << "it fades in";
    EXPECT_NEAR(r[0].e - r[0].s, 500 * MS, MS) << "five steps of 100 ms, all of it heard";
    EXPECT_NEAR(pitchof(x, r[0].s + 10 * MS, r[0].s + 490 * MS), 440.0, 2.2);
    EXPECT_LE(maxjump(x), allowedjump(440.0));
}

TEST_F(PlayerDevice, BeginsAsFarIntoTheRangeAsTheRequestIsOld)
{
    // Three seconds of one note; the editor's marker started a second ago.
    writebytes(dir + "/tune.pvx", pvxbytes({note(0, 30, 3, 6)}));
    int64_t stamp = nowms() - 1000;
    request(scorereq(stamp / 1000, static_cast<int>(stamp % 1000), dir + "/tune.pvx", 0, 30, 1.0));
    std::string err;
    ASSERT_EQ(runbeep(dir, {}, disk(), err), 0) << err;
    std::vector<int16_t> x = heard();
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), 1u);
    int64_t ms = (r[0].e - r[0].s) / MS;
    EXPECT_LE(ms, 2001);
    EXPECT_GE(ms, 1700) << "starting up may take a little, not more";
    EXPECT_LE(std::abs(x.front()), 2) << "the cut note fades in";
}

TEST_F(PlayerDevice, StopsAtOnceOnSigtermAndSigint)
{
    for (int sig : {SIGTERM, SIGINT}) {
        request(tonereq(nowms() / 1000, 0, 440, 200));
        std::remove((dir + "/out.raw").c_str());
        int pid = startbeep(dir, disk(), dir + "/err.txt");
        ASSERT_TRUE(playing(5000)) << readbytes(dir + "/err.txt");
        int64_t t0 = nowms();
        kill(pid, sig);
        int st = waitbeep(pid, 2000);
        if (st == -1)
            kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        EXPECT_EQ(st, 128 + sig);
        EXPECT_LT(nowms() - t0, 300);
    }
}

TEST_F(PlayerDevice, StopsWhenTheProgramThatStartedItIsGone)
{
#ifdef __linux__
    // Orphans come to this process, so that it can reap the player.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    request(tonereq(nowms() / 1000, 0, 440, 200));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t editor = fork();
    if (editor == 0) {
        int pid = startbeep(dir, disk(), dir + "/err.txt");
        ssize_t w = write(fds[1], &pid, sizeof pid);
        if (w == sizeof pid)
            pause(); // lives on until it is killed
        _exit(1);
    }
    int pid = 0;
    ASSERT_EQ(read(fds[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    close(fds[0]);
    close(fds[1]);
    ASSERT_TRUE(playing(5000));
    int64_t t0 = nowms();
    kill(editor, SIGKILL);
    waitpid(editor, nullptr, 0); // the "editor" has ended: the player is an orphan now
    int st = waitbeep(pid, 2000);
    if (st == -1)
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    EXPECT_EQ(st, 0);
    EXPECT_LT(nowms() - t0, 1000);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
#else
    GTEST_SKIP() << "needs a subreaper to collect the orphaned player";
#endif
}

TEST_F(PlayerDevice, StopsWhenTheProcessNamedInPellavinePidIsGone)
{
    pid_t editor = fork();
    if (editor == 0) {
        pause();
        _exit(0);
    }
    request(tonereq(nowms() / 1000, 0, 440, 200));
    std::vector<std::string> env = disk();
    env.push_back("PELLAVINE_PID=" + std::to_string(editor));
    int pid = startbeep(dir, env, dir + "/err.txt");
    ASSERT_TRUE(playing(5000));
    int64_t t0 = nowms();
    kill(editor, SIGKILL);
    waitpid(editor, nullptr, 0);
    int st = waitbeep(pid, 2000);
    if (st == -1)
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    EXPECT_EQ(st, 0);
    EXPECT_LT(nowms() - t0, 1000);
}
