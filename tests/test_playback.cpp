// SPDX-License-Identifier: MIT
// Playback from the editor with a fake clock: the request handed to the
// player, the marker's schedule, page turns, the cursor row following the
// melody and everything put back at the end.
#include "score/ring.h"
#include "dialogs/play.h"
#include "editor/editor.h"
#include "editor/run.h"
#include "files/files.h"
#include "menu/menu.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr int TAB = 9, ENTER = 13;

struct step {
    int x, y, leftlo;
    int64_t at; // fake clock when the step's wait began
    int ms;     // the wait
    std::string status;
};

struct Playback : ::testing::Test {
    std::vector<step> steps;
    void SetUp() override
    {
        tioreset();
        edreset();
        tbset(te.bar);
        tio.onsleep = [this](int ms) {
            steps.push_back({te.view.mousex, te.view.mousey, te.view.leftlo, tio.nowms, ms, grow(scr, te.view.winheig + 3, te.view.winleng - 6, te.view.winleng + 8)});
        };
    }
    // A saved score (so the play dialog asks nothing first) with the cursor
    // somewhere else.
    static void score(std::vector<smusic> v, int leng)
    {
        v.push_back(SENTINEL);
        te.doc.music.assign(v);
        te.doc.musicleng = leng;
        te.view.mousex = 5;
        te.view.mousey = 30;
        te.view.toplo = 20;
        te.view.leftlo = 0;
        te.doc.filepath = "my scores/tune.pvx";
        te.doc.filesaved = true;
    }
    // The waits of the last n steps: the dialogs pause too, before playback.
    std::vector<step> last(size_t n) const
    {
        return n > steps.size() ? steps : std::vector<step>(steps.end() - static_cast<long>(n), steps.end());
    }
    // No wait after the dialog's own ones moved the marker.
    bool nomarker() const
    {
        for (const step& s : steps)
            if (s.x != 5)
                return false;
        return true;
    }
    // A one-note score of four steps played whole at the typed speed.
    void playatspeed(const char* speed)
    {
        steps.clear();
        score({{0, 3, 1, 2, false}}, 4);
        tiokeys({ENTER, TAB, TAB, TAB, TAB, TAB, TAB, ENTER});
        tioline(speed);
        tiokeys({TAB, TAB, ENTER});
        edit(te, false);
    }
    // Enter, then OK at once: the whole score at normal speed.
    static void playall()
    {
        tiokeys({ENTER});
        for (int i = 0; i < 8; i++)
            tiokeys({TAB});
        tiokeys({ENTER});
    }
};

TEST_F(Playback, RowFollowsTheMelodyAndEverythingComesBack)
{
    score({{0, 3, 1, 2, false}, {2, 3, 1, 2, false}, {4, 3, 3, 2, false}}, 8);
    playall();
    tiokeys({'d'}); // typed after playback: handled afterwards
    std::string request;
    tio.onkey = [&] {
        if (tio.keysread == 11) { // the key after the dialog: playback is over
            std::ifstream f("beepset.tmp", std::ios::binary);
            std::stringstream ss;
            ss << f.rdbuf();
            request = ss.str();
        }
    };
    edit(te, false);
    steps = last(8);
    int64_t t0 = steps[0].at;
    // The marker walks 0..7 (each wait then moves it on), the row jumps to the
    // first C at once, stays for the second C and moves to E at its start.
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(steps[i].x, i + 1) << i;
        EXPECT_EQ(steps[i].ms, 100) << i;
        EXPECT_EQ(steps[i].status, "      正在播放");
    }
    EXPECT_EQ(steps[0].y, 55);
    EXPECT_EQ(steps[2].y, 55);
    EXPECT_EQ(steps[3].y, 55);
    EXPECT_EQ(steps[4].y, 51);
    EXPECT_EQ(steps[7].y, 51);
    EXPECT_EQ(tio.nowms - t0, 800);
    std::string stamp = request.substr(0, request.find('\r'));
    // Back where it was, and the key typed meanwhile acted afterwards.
    EXPECT_EQ(te.view.mousex, 6);
    EXPECT_EQ(te.view.mousey, 30);
    EXPECT_EQ(te.view.toplo, 20);
    EXPECT_EQ(te.view.leftlo, 0);
    EXPECT_EQ(grow(scr, te.view.winheig + 3, te.view.winleng - 6, te.view.winleng + 8), "    创建新音符");
    // The request: its own timestamp (sent as the settings were confirmed,
    // before the button's 10 ms), the path whole, the range, "%f" speed.
    EXPECT_EQ(stamp, "0 " + std::to_string((t0 - 10) / 1000) + " " + std::to_string((t0 - 10) % 1000));
    EXPECT_EQ(request.substr(stamp.size()), "\r\nmy scores/tune.pvx\r\n0 8 1.000000");
}

TEST_F(Playback, ViewTurnsAWholePage)
{
    score({{150, 3, 1, 5, false}}, 250);
    playall();
    edit(te, false);
    steps = last(250);
    std::vector<int> pages;
    for (const step& s : steps)
        if (pages.empty() || pages.back() != s.leftlo)
            pages.push_back(s.leftlo);
    // At column 100 the view jumps a page; near the end it stops one step
    // after the score's length.
    EXPECT_EQ(pages, (std::vector<int>{0, 100, 151}));
    EXPECT_EQ(te.view.leftlo, 0);
}

TEST_F(Playback, ALatePassIsCaughtUp)
{
    score({{0, 3, 1, 2, false}}, 20);
    playall();
    // Every frame is shown before the wait of its step, a wait of 0 included.
    static std::vector<std::pair<int, int64_t>> frames; // marker column, clock
    frames.clear();
    scr.io.show = [](const Grid&) {
        if (frames.empty() || frames.back().first != te.view.mousex)
            frames.push_back({te.view.mousex, tio.nowms});
    };
    bool late = false;
    tio.onsleep = [&](int ms) {
        if (te.view.mousex == 4 && ms == 100 && !late) {
            late = true;
            tio.nowms += 300; // this pass ran 300 ms late
        }
    };
    edit(te, false);
    // Frames of the marker at columns 1..20, each shown when the step before
    // it was due; find the one that started the run.
    auto at = [&](int col) {
        bool playing = false;
        for (const auto& f : frames) {
            playing = playing || f.first == 1;
            if (playing && f.first == col)
                return f.second;
        }
        return int64_t{-1};
    };
    int64_t t0 = at(1) - 100;
    // Column 5 comes 300 ms late; the next ones follow without waiting until
    // the marker is on time again, and no step after that is delayed.
    EXPECT_EQ(at(5) - t0, 800);
    EXPECT_EQ(at(6) - t0, 800);
    EXPECT_EQ(at(7) - t0, 800);
    EXPECT_EQ(at(8) - t0, 800);
    EXPECT_EQ(at(9) - t0, 900);
    EXPECT_EQ(at(20) - t0, 2000);
}

TEST_F(Playback, AnEmptyRangeEndsAtOnce)
{
    score({{0, 3, 1, 2, false}}, 20);
    // Start and end at the cursor.
    tiokeys({ENTER, TAB, TAB, ENTER, TAB, TAB, TAB, ENTER, TAB, TAB, TAB, ENTER});
    edit(te, false);
    EXPECT_TRUE(nomarker());
    EXPECT_EQ(te.view.mousex, 5);
    EXPECT_EQ(te.view.mousey, 30);
}

TEST_F(Playback, SpeedsSetTheStepTime)
{
    for (auto [speed, ms] : {std::pair{"2", 50}, std::pair{"0.5", 200}}) {
        playatspeed(speed);
        for (const step& s : last(4))
            EXPECT_EQ(s.ms, ms) << speed;
    }
}

TEST_F(Playback, ZeroOrNegativeSpeedPlaysNothing)
{
    for (const char* speed : {"0", "-3"}) {
        playatspeed(speed);
        EXPECT_TRUE(nomarker()) << speed;
        EXPECT_EQ(te.view.mousex, 5);
    }
}

TEST_F(Playback, StatusStaysAfterAStartFromTheMenu)
{
    score({{0, 3, 1, 2, false}}, 4);
    // 序列 -> 播放 from the menu bar: Tab, four menus right, Enter, then OK.
    tiokeys({TAB, 'd', 'd', 'd', 'd', ENTER});
    for (int i = 0; i < 8; i++)
        tiokeys({TAB});
    tiokeys({ENTER});
    edit(te, false);
    for (const step& s : last(4))
        EXPECT_EQ(s.status, "      正在播放");
}

} // namespace

// Esc during playback stops it at once and puts the cursor back as at the
// end; a key typed before it still waits and acts afterwards.
TEST_F(Playback, EscapeStopsAtOnceAndOtherKeysWait)
{
    score({{0, 3, 1, 50, false}}, 60);
    playall();
    tiokeys({'d', 27});
    std::vector<int> cols;
    tio.onkey = [&] { cols.push_back(te.view.mousex); };
    edit(te, false);
    EXPECT_EQ(tio.escapes, 1);
    EXPECT_LT(steps.size(), 10u) << "not the whole score";
    ASSERT_FALSE(cols.empty());
    EXPECT_EQ(cols.back(), 6) << "the cursor back at 5, then 'd'";
    EXPECT_EQ(te.view.mousey, 30);
    EXPECT_EQ(grow(scr, te.view.winheig + 3, te.view.winleng - 6, te.view.winleng + 8), "不可创建新音符") << "the mode message again, not the play message";
}

// A score whose name breaks the request's line is not played: no request,
// and the status row says why.
TEST_F(Playback, ANameWithALineBreakIsNotPlayed)
{
    std::filesystem::remove("beepset.tmp"); // an earlier test's request
    score({{0, 3, 1, 5, false}}, 10);
    te.doc.filepath = "two\nlines.pvx";
    playall();
    std::string status;
    tio.onkey = [&] { status = grow(scr, te.view.winheig + 3, 80, te.view.winleng + 8); };
    edit(te, false);
    EXPECT_TRUE(nomarker());
    EXPECT_FALSE(std::ifstream("beepset.tmp").good());
    EXPECT_EQ(status, "      无法播放：文件名含换行");
}
