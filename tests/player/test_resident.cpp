// SPDX-License-Identifier: MIT
// The resident player of an editor run, started and woken through the
// platform's process functions as the editor does it: one process for many
// requests, tones over each other, a playback replacing a playback, and its
// end with the editor. SDL's disk audio driver stands in for a sound card.
#include "helpers.h"

#include "platform/proc.h"
#include "tone/players.h"
#include "score/pitch.h"
#include "tone/protocol/resident.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace pt;

namespace {

constexpr int64_t MS = RATE / 1000;

struct Resident : indir {
    std::string home;
    void SetUp() override
    {
        indir::SetUp();
        home = std::filesystem::current_path().string();
        std::filesystem::current_path(dir); // where the player finds beepset.tmp
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
        setenv("PELLAVINE_INSTRUMENT", "tone", 1);
        playersreset();
        setplayerpath(PV_BEEP);
    }
    void TearDown() override
    {
        stopresident();
        stopplayers();
        gone(3000);
        playersreset();
        std::filesystem::current_path(home);
        for (const char* v : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "PELLAVINE_INSTRUMENT"})
            unsetenv(v);
        indir::TearDown();
    }
    // True once every player has ended and been reaped.
    static bool gone(int timeoutms)
    {
        for (int64_t until = nowms() + timeoutms; liveplayers() > 0; usleep(5000))
            if (nowms() > until)
                return false;
        return true;
    }
    // The player has opened the device: it is ready for requests.
    bool ready(int timeoutms = 10000) const
    {
        for (int64_t until = nowms() + timeoutms; nowms() < until; usleep(2000))
            if (std::filesystem::exists(dir + "/out.raw") && std::filesystem::file_size(dir + "/out.raw") > 0)
                return true;
        return false;
    }
    // Hands a request to the player as the editor does: the file written, the
    // request in the message.
    bool ask(const std::string& text) const
    {
        writebytes(dir + "/.req", text);
        std::filesystem::rename(dir + "/.req", dir + "/beepset.tmp");
        return tellresident(playmessage(text));
    }
    // A tone request made `agems` ago.
    bool tone(int64_t freq, int leng, int64_t agems = 0) const
    {
        int64_t t = nowms() - agems;
        return ask(tonereq(t / 1000, static_cast<int>(t % 1000), freq, leng));
    }
    bool play(const std::string& path, int start, int end) const
    {
        int64_t t = nowms();
        return ask(scorereq(t / 1000, static_cast<int>(t % 1000), path, start, end, 1.0));
    }
    std::vector<int16_t> heard() const { return samples(readbytes(dir + "/out.raw")); }
};

// Whether a tone of `freq` sounds in each 50 ms window of `x` (long enough
// to tell tones a few semitones apart).
std::vector<bool> present(const std::vector<int16_t>& x, double freq)
{
    std::vector<bool> v;
    for (int64_t a = 0; a + 50 * MS <= static_cast<int64_t>(x.size()); a += 50 * MS)
        v.push_back(level(x, a, a + 50 * MS, freq) > 2000);
    return v;
}

} // namespace

TEST_F(Resident, OneProcessPlaysEveryRequestOfARun)
{
    int pid = startresident();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ready());
    const int64_t freqs[] = {261, 329, 392, 523, 440, 349};
    for (int64_t f : freqs) {
        ASSERT_TRUE(tone(f, 2));
        usleep(300000);
        EXPECT_EQ(liveplayers(), 1) << "no player of its own for a request";
    }
    usleep(100000);
    EXPECT_EQ(kill(pid, 0), 0) << "still the same player";
    std::vector<int16_t> x = heard();
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), std::size(freqs));
    for (size_t i = 0; i < r.size(); i++) {
        EXPECT_NEAR(r[i].e - r[i].s, 200 * MS, 3 * MS) << "tone " << i << " plays whole";
        EXPECT_NEAR(pitchof(x, r[i].s + 10 * MS, r[i].e - 10 * MS), freqs[i], freqs[i] * 0.005);
    }
}

TEST_F(Resident, TonesSoundOverEachOther)
{
    ASSERT_GT(startresident(), 0);
    ASSERT_TRUE(ready());
    ASSERT_TRUE(tone(440, 5));
    usleep(200000);
    ASSERT_TRUE(tone(659, 5));
    usleep(900000);
    std::vector<int16_t> x = heard();
    std::vector<bool> a = present(x, 440), b = present(x, 659);
    size_t both = 0, onlya = 0, onlyb = 0;
    for (size_t i = 0; i < a.size(); i++) {
        both += a[i] && b[i];
        onlya += a[i] && !b[i];
        onlyb += !a[i] && b[i];
    }
    // 200 ms of the first alone, 300 ms of both, 200 ms of the second alone.
    EXPECT_NEAR(static_cast<double>(both), 6, 2);
    EXPECT_NEAR(static_cast<double>(onlya), 4, 2);
    EXPECT_NEAR(static_cast<double>(onlyb), 4, 2);
}

TEST_F(Resident, APlaybackReplacesThePlaybackInProgress)
{
    writebytes(dir + "/a.pvx", pvxbytes({note(0, 30, 3, 6)}));
    writebytes(dir + "/c.pvx", pvxbytes({note(0, 30, 4, 1)}));
    ASSERT_GT(startresident(), 0);
    ASSERT_TRUE(ready());
    ASSERT_TRUE(play(dir + "/a.pvx", 0, 30));
    usleep(400000);
    ASSERT_TRUE(play(dir + "/c.pvx", 0, 30));
    usleep(400000);
    std::vector<int16_t> x = heard();
    std::vector<bool> a = present(x, 440), c = present(x, 523.25);
    // The first is heard, then only the second, never both for longer than
    // the first's fade.
    size_t firstc = std::find(c.begin(), c.end(), true) - c.begin();
    ASSERT_LT(firstc, c.size());
    EXPECT_GE(std::count(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(firstc), true), 6);
    EXPECT_LE(std::count(a.begin() + static_cast<std::ptrdiff_t>(firstc), a.end(), true), 1);
    EXPECT_GE(std::count(c.begin(), c.end(), true), 6);
}

TEST_F(Resident, ARequestMadeBeforeItWasReadyPlaysWhatIsLeft)
{
    // Made 400 ms before the player was even started; then one made long
    // before it was ready.
    ASSERT_GT(startresident(), 0);
    ASSERT_TRUE(tone(440, 10, 400));
    ASSERT_TRUE(ready());
    usleep(900000);
    ASSERT_TRUE(tone(440, 10, 5000));
    usleep(200000);
    std::vector<srun> r = runs(heard());
    ASSERT_EQ(r.size(), 1u);
    EXPECT_LE(r[0].e - r[0].s, 601 * MS);
    EXPECT_GE(r[0].e - r[0].s, 250 * MS) << "starting takes a little, not more";
}

// Once nothing has sounded for a while the device rests: it is no longer
// fed, so the disk driver's file stops growing. A stop order leaves it
// resting, and the next tone wakes it and plays whole.
TEST_F(Resident, TheDeviceRestsInSilenceAndTheNextToneWakesIt)
{
    ASSERT_GT(startresident(), 0);
    ASSERT_TRUE(ready());
    ASSERT_TRUE(tone(440, 2));
    auto size = [&] { return std::filesystem::file_size(dir + "/out.raw"); };
    bool rested = false;
    for (int64_t until = nowms() + 10000; !rested && nowms() < until;) {
        auto before = size();
        usleep(500000);
        rested = size() == before && before > 600 * MS * sizeof(int16_t);
    }
    ASSERT_TRUE(rested) << "the device is still fed in silence";
    ASSERT_TRUE(tellresident(stopmessage()));
    usleep(100000);
    ASSERT_TRUE(tone(523, 2));
    usleep(600000);
    std::vector<int16_t> x = heard();
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_NEAR(r[1].e - r[1].s, 200 * MS, 3 * MS);
    EXPECT_NEAR(pitchof(x, r[1].s + 10 * MS, r[1].e - 10 * MS), 523, 523 * 0.005);
}

TEST_F(Resident, EndsWhenTheEditorClosesItsEnd)
{
    int pid = startresident();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ready());
    ASSERT_TRUE(tone(440, 50));
    int64_t t0 = nowms();
    stopresident();
    EXPECT_TRUE(gone(2000));
    EXPECT_LT(nowms() - t0, 1000);
    EXPECT_TRUE(kill(pid, 0) != 0 && errno == ESRCH) << "reaped, no zombie left";
    EXPECT_FALSE(tellresident("w"));
}

TEST_F(Resident, EndsWhenTheEditorIsKilled)
{
#ifdef __linux__
    // Orphans come to this process, so that it can reap the player.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t editor = fork();
    if (editor == 0) {
        playersreset();
        setplayerpath(PV_BEEP);
        int pid = startresident();
        if (write(fds[1], &pid, sizeof pid) == sizeof pid)
            pause(); // lives on until it is killed
        _exit(1);
    }
    int pid = 0;
    ASSERT_EQ(read(fds[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    close(fds[0]);
    close(fds[1]);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ready());
    int64_t t0 = nowms();
    kill(editor, SIGKILL);
    waitpid(editor, nullptr, 0);
    int st = waitbeep(pid, 2000);
    if (st == -1)
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    EXPECT_EQ(st, 0);
    EXPECT_LT(nowms() - t0, 500) << "it sees the end of its descriptor at once";
    prctl(PR_SET_CHILD_SUBREAPER, 0);
#else
    GTEST_SKIP() << "needs a subreaper to collect the orphaned player";
#endif
}

TEST_F(Resident, WithoutAResidentPlayerRequestsFallBackToOnePlayerEach)
{
    // Missing: nothing is started, and the editor is told so.
    setplayerpath(dir + "/no-such-player");
    EXPECT_EQ(startresident(), -1);
    EXPECT_FALSE(tellresident("w"));

    // Died: the next wake says so, and a player of its own plays the request.
    setplayerpath(PV_BEEP);
    int pid = startresident();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ready());
    kill(pid, SIGKILL);
    ASSERT_TRUE(gone(2000));
    EXPECT_FALSE(tone(440, 2));
    EXPECT_FALSE(tellresident("w"));
    std::filesystem::remove(dir + "/out.raw");
    startplayer();
    EXPECT_EQ(liveplayers(), 1);
    ASSERT_TRUE(gone(5000));
    std::vector<srun> r = runs(heard());
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NEAR(r[0].e - r[0].s, 200 * MS, 3 * MS);
}

TEST_F(Resident, ThePianoPlaysOnceTheSoundFontHasLoaded)
{
    if (firstfile(soundfonts("")).empty())
        GTEST_SKIP() << "no SoundFont installed";
    setenv("PELLAVINE_INSTRUMENT", "piano", 1);
    ASSERT_GT(startresident(), 0);
    // Asked at once, while the player still loads: heard once it has loaded.
    ASSERT_TRUE(tone(440, 20));
    ASSERT_TRUE(ready());
    usleep(600000);
    std::vector<int16_t> x = heard();
    std::vector<srun> r = runs(x);
    ASSERT_GE(r.size(), 1u);
    EXPECT_LT(r[0].s, 50 * MS) << "as soon as the device is open";
    EXPECT_GT(level(x, r[0].s + 20 * MS, r[0].s + 200 * MS, 440), 1000);
    EXPECT_GT(level(x, r[0].s + 20 * MS, r[0].s + 200 * MS, 880), 50) << "a piano, not a sine";
}

// A dense score (16 notes a second) with a storm of tones over it (100 in a
// second) plays without a late block and without a click. The player says
// on standard error how many blocks were late; the benchmark runs the same
// for ten minutes (bench_latency --underruns).
TEST_F(Resident, DensePlaybackAndAStormOfTonesWithoutUnderrunOrClick)
{
    std::vector<smusic> notes;
    for (int i = 0; i < 48; i++)
        notes.push_back(note(i, 1, 3 + i % 2, 1 + i % 7));
    writebytes(dir + "/dense.pvx", pvxbytes(notes));
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv), 0);
    pid_t pid = fork();
    if (pid == 0) {
        int err = open((dir + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        close(sv[0]);
        execl(PV_BEEP, PV_BEEP, RESIDENTOPTION, std::to_string(sv[1]).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(sv[1]);
    ASSERT_TRUE(ready());
    auto say = [&](const std::string& m) { return send(sv[0], m.data(), m.size(), 0) == static_cast<ssize_t>(m.size()); };
    int64_t t = nowms();
    ASSERT_TRUE(say(playmessage(scorereq(t / 1000, static_cast<int>(t % 1000), dir + "/dense.pvx", 0, 48, 1.6))));
    for (int i = 0; i < 100; i++, usleep(10000)) {
        t = nowms();
        ASSERT_TRUE(say(playmessage(tonereq(t / 1000, static_cast<int>(t % 1000), 440, 10))));
    }
    usleep(3000000);
    close(sv[0]);
    EXPECT_EQ(waitbeep(pid, 3000), 0);
#ifndef PV_SANITIZED // a sanitizer's build renders too slowly to keep time
    EXPECT_EQ(readbytes(dir + "/err.txt"), "") << "no block was late";
#endif
    std::vector<int16_t> x = heard();
    EXPECT_GT(runs(x).size(), 0u);
    EXPECT_LE(maxjump(x), 2 * allowedjump(getfreq(4, 7, false))) << "no click";
}
