// SPDX-License-Identifier: MIT
// The play settings dialog, driven by keys and typed lines.
#include "console/console.h"
#include "score/ring.h"
#include "dialogs/play.h"
#include "editor/editor.h"
#include "files/files.h"
#include "menu/menu.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The play dialog opened with the cursor at `curlo` on a score `leng` steps long.
splay playat(int curlo, int leng)
{
    te.view.mousex = curlo;
    te.doc.musicleng = leng;
    return playset(te.doc, te.view, te.plays);
}


// With the start window the box stands at column 34, row 7.
constexpr int L = 34, T = 7;
constexpr int TAB = 9, ENTER = 13;

class Play : public ::testing::Test {
protected:
    void SetUp() override
    {
        tioreset();
        edreset();
        ffile(te.doc, te.view, fmode::fresh);
        te.doc.music.push(smusic{0, 3, 1, 4, false}); // one note, so there is something to te.plays.play
    }
    // Tabs from item `from` to item `to` (forward, wrapping after 8).
    static void tabs(int from, int to)
    {
        for (int i = from; i != to; i = (i + 1) % 9)
            tiokeys({TAB});
    }
};

bool attrs(int y, int x0, int x1, int a)
{
    for (int x = x0; x < x1; x++)
        if (gcell(scr, x, y).attr != a)
            return false;
    return true;
}

std::string speedshown() { return grow(scr, T + 9, L + 13, L + 36); }

TEST_F(Play, FirstOpeningShowsTheDefaults)
{
    bool seen = false;
    tio.onkey = [&] {
        if (seen)
            return;
        seen = true;
        EXPECT_EQ(grow(scr, T + 1, L + 2, L + 18), "请设置播放参数：");
        EXPECT_EQ(grow(scr, T + 3, L + 2, L + 37), "开始时间：        结束时间：       ");
        EXPECT_TRUE(attrs(T + 3, L + 2, L + 19, 15));
        EXPECT_EQ(gcell(scr, L + 19, T + 3).attr, 143) << "the grey gap between the columns";
        EXPECT_EQ(grow(scr, T + 4, L + 2, L + 37), "[*]从头开始       [*]到结尾结束    ");
        EXPECT_EQ(grow(scr, T + 5, L + 2, L + 37), "[ ]选择时间       [ ]选择时间      ");
        EXPECT_EQ(grow(scr, T + 6, L + 2, L + 37), "    00:00:00.0        00:00:00.0   ");
        EXPECT_EQ(grow(scr, T + 7, L + 2, L + 37), "[ ]从光标处开始   [ ]到光标处结束  ");
        EXPECT_TRUE(attrs(T + 6, L + 6, L + 16, 112));
        EXPECT_TRUE(attrs(T + 6, L + 24, L + 34, 112));
        EXPECT_TRUE(attrs(T + 4, L + 2, L + 5, 240)) << "item 0 marked with the focus";
        EXPECT_TRUE(attrs(T + 4, L + 20, L + 23, 127)) << "item 3 marked";
        EXPECT_TRUE(attrs(T + 5, L + 2, L + 5, 112));
        EXPECT_EQ(grow(scr, T + 9, L + 2, L + 13), "播放速度: x");
        EXPECT_EQ(speedshown(), std::string(19, ' ') + "1.00");
        EXPECT_TRUE(attrs(T + 9, L + 13, L + 36, 112));
        EXPECT_EQ(grow(scr, T + 11, L + 28, L + 37), "取消 确定");
        EXPECT_EQ(scr.cx, L + 2);
        EXPECT_EQ(scr.cy, T + 4);
    };
    splay r = playat(0, 100);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(r.yn) << "input ended: nothing to play";
}

TEST_F(Play, OkAtOnceTakesTheWholeScoreAtNormalSpeed)
{
    tabs(0, 8);
    tiokeys({ENTER});
    splay r = playat(7, 250);
    EXPECT_TRUE(r.yn);
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.end, 250);
    EXPECT_FLOAT_EQ(r.speed, 1.0f);
    EXPECT_EQ(grow(scr, T + 11, L + 33, L + 37), "确定");
    EXPECT_TRUE(attrs(T + 11, L + 33, L + 37, 247)) << "left pressed";
    EXPECT_EQ(scr.attr, 15);
}

TEST_F(Play, BothCursorOptionsGiveTheCursor)
{
    tabs(0, 2);
    tiokeys({ENTER});
    tabs(2, 5);
    tiokeys({ENTER});
    std::string row;
    tio.onkey = [&] { row = grow(scr, T + 7, L + 2, L + 37); };
    tabs(5, 8);
    tiokeys({ENTER});
    splay r = playat(42, 300);
    EXPECT_EQ(row, "[*]从光标处开始   [*]到光标处结束  ");
    EXPECT_EQ(grow(scr, T + 4, L + 2, L + 5), "[ ]") << "the groups each have one mark";
    EXPECT_TRUE(r.yn);
    EXPECT_EQ(r.start, 42);
    EXPECT_EQ(r.end, 42);
}

TEST_F(Play, ATypedStartTime)
{
    tiokeys({TAB, ENTER, '0', '0', '1', '3', '0', '5'});
    std::vector<int> hilit; // column of the digit shown black on grey at each key
    tio.onkey = [&] {
        for (int x = L + 6; x < L + 16; x++)
            if (gcell(scr, x, T + 6).attr == 112 && tio.keysread >= 2 && tio.keysread <= 8)
                hilit.push_back(x - L - 6);
    };
    tiokeys({'2'});
    tiokeys({TAB});
    tabs(2, 8);
    tiokeys({ENTER});
    splay r = playat(0, 100);
    EXPECT_EQ((std::vector<int>{0, 1, 3, 4, 6, 7, 9}), hilit);
    EXPECT_EQ(grow(scr, T + 6, L + 6, L + 16), "00:13:05.2");
    EXPECT_TRUE(attrs(T + 6, L + 6, L + 16, 112));
    EXPECT_EQ(grow(scr, T + 5, L + 2, L + 5), "[*]");
    EXPECT_TRUE(r.yn);
    EXPECT_EQ(r.start, 7852) << "the last digit ended the entry; Tab went on to item 2";
    EXPECT_EQ(r.end, 100);
    EXPECT_EQ(te.plays.statime.min, 13);
}

TEST_F(Play, RefusedDigitsAndMovesChangeNothing)
{
    // Start time: 7 at position 0 refused, 0 taken, 7 taken at position 1,
    // 7 refused at position 2; a, a, a back to 0 and no further; d six
    // times to position 6 and once more stays; arrows do nothing; 9 at 6
    // ends the entry.
    tiokeys({TAB, ENTER, '7', '0', '7', '7', 'a', 'a', 'a', 'd', 'd', 'd', 'd', 'd', 'd', 'd', KEY_UP, 'A', 'D', '9'});
    // End time: Enter at once keeps it.
    tiokeys({TAB, TAB, TAB, ENTER, ENTER});
    tabs(4, 8);
    tiokeys({ENTER});
    splay r = playat(0, 100);
    EXPECT_EQ(grow(scr, T + 6, L + 6, L + 16), "07:00:00.9");
    EXPECT_EQ(grow(scr, T + 6, L + 24, L + 34), "00:00:00.0");
    EXPECT_TRUE(r.yn);
    EXPECT_EQ(r.start, 7 * 36000 + 9);
    EXPECT_EQ(r.end, 0);
}

TEST_F(Play, CancelKeepsTypedTimesButNotTheChoice)
{
    // A confirmed choice first: from the cursor, speed 2.
    tabs(0, 2);
    tiokeys({ENTER});
    tabs(2, 6);
    tiokeys({ENTER});
    tioline("2");
    tabs(6, 8);
    tiokeys({ENTER});
    splay first = playat(30, 100);
    ASSERT_TRUE(first.yn);

    // Then an end time typed and the dialog cancelled.
    tabs(0, 4);
    tiokeys({ENTER, '0', '1', '0', '0', '0', '0', '5'});
    tabs(4, 7);
    tiokeys({ENTER});
    splay r = playat(60, 500);
    EXPECT_FALSE(r.yn);
    EXPECT_EQ(r.start, 30);
    EXPECT_EQ(r.end, 100);
    EXPECT_FLOAT_EQ(r.speed, 2.0f);
    EXPECT_EQ(te.plays.playtmp.start, 30);

    // The next opening shows the typed time, the rest fresh.
    std::vector<std::string> seen;
    tio.onkey = [&] {
        if (seen.empty())
            seen = {grow(scr, T + 6, L + 24, L + 34), grow(scr, T + 4, L + 2, L + 37), speedshown()};
    };
    tabs(0, 8);
    tiokeys({ENTER});
    r = playat(60, 500);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "01:00:00.5");
    EXPECT_EQ(seen[1], "[*]从头开始       [*]到结尾结束    ");
    EXPECT_EQ(seen[2], std::string(19, ' ') + "1.00");
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.end, 500);
    EXPECT_FLOAT_EQ(r.speed, 1.0f);
}

// Types `line` into the speed field and confirms; returns the field as
// shown afterwards and the result.
std::pair<std::string, splay> typespeed(std::vector<std::string> lines)
{
    tiokeys({TAB, TAB, TAB, TAB, TAB, TAB, ENTER});
    for (const std::string& l : lines)
        tioline(l);
    tiokeys({TAB, TAB, ENTER});
    splay r = playat(0, 100);
    return {speedshown(), r};
}

TEST_F(Play, SpeedFieldTakesNumbersThatFit)
{
    struct {
        std::vector<std::string> lines;
        std::string shown;
        float speed;
    } cases[] = {
        {{"1.5"}, "1.50", 1.5f},
        {{"", "   ", "  3.256xyz"}, "3.26", 3.256f}, // blank lines skipped, the rest dropped
        {{"-2"}, "-2.00", -2.0f},
        {{"0"}, "0.00", 0.0f},
        {{"+.5e1"}, "5.00", 5.0f},
        {{"7."}, "7.00", 7.0f},
        {{"12345678901234567890"}, "12345679395506094080.00", 12345678901234567890.0f}, // 23 columns
        {{"abc"}, "1.00", 1.0f},
        {{"inf"}, "1.00", 1.0f},
        {{"nan"}, "1.00", 1.0f},
        {{"0x10"}, "0.00", 0.0f}, // a decimal number: the 0
        {{"1e39"}, "1.00", 1.0f},                  // no float holds it
        {{"1e999"}, "1.00", 1.0f},                 // no double either
        {{"123456789012345678901"}, "1.00", 1.0f}, // 24 columns: wider than the field
        {{"-12345678901234567890"}, "1.00", 1.0f},
        {{"0.001"}, "1.00", 1.0f},  // shows as 0.00 but would never end
        {{"1e-30"}, "1.00", 1.0f},
        {{"0.006"}, "0.01", 0.006f}, // shows as 0.01: taken
        {{"-0.001"}, "-0.00", -0.001f}, // below zero plays nothing, as before
        {{}, "1.00", 1.0f}, // input ended
    };
    for (const auto& c : cases) {
        tioreset();
        auto [shown, r] = typespeed(c.lines);
        std::string want = std::string(23 - c.shown.size(), ' ') + c.shown;
        std::string what = c.lines.empty() ? "<end>" : c.lines.back();
        if (c.lines.empty()) {
            EXPECT_FALSE(r.yn) << "input ended in the field: cancelled";
            continue;
        }
        EXPECT_EQ(shown, want) << what;
        EXPECT_TRUE(r.yn) << what;
        EXPECT_FLOAT_EQ(r.speed, c.speed) << what;
    }
}

TEST_F(Play, SpeedFieldIsTypedBlackOnWhite)
{
    tiokeys({TAB, TAB, TAB, TAB, TAB, TAB, ENTER});
    bool black = false;
    tio.online = [&] {
        black = attrs(T + 9, L + 13, L + 36, 240) && speedshown() == std::string(23, ' ') && scr.attr == 240 &&
                scr.cx == L + 13;
    };
    tioline("2.25");
    std::string after;
    tio.onkey = [&] {
        if (after.empty() && tio.linesread == 1)
            after = speedshown();
    };
    tiokeys({TAB, TAB, ENTER});
    size_t boxes = 0;
    splay r = playat(0, 100);
    for (int ms : tio.slept)
        boxes += ms == 100;
    EXPECT_TRUE(black);
    EXPECT_EQ(after, std::string(19, ' ') + "2.25");
    EXPECT_EQ(boxes, 1u) << "a line that fits does not redraw the box";
    EXPECT_FLOAT_EQ(r.speed, 2.25f);

    // A line wider than the field scrolls inside it: the face beside the
    // field is never touched, so the box is not drawn again.
    tioreset();
    tiokeys({TAB, TAB, TAB, TAB, TAB, TAB, ENTER});
    tioline("3" + std::string(40, ' ') + "and more text");
    tiokeys({TAB, TAB, ENTER});
    r = playat(0, 100);
    boxes = 0;
    for (int ms : tio.slept)
        boxes += ms == 100;
    EXPECT_EQ(boxes, 1u);
    EXPECT_EQ(grow(scr, T + 9, L + 36, L + 39), "   ");
    EXPECT_TRUE(attrs(T + 9, L + 37, L + 39, 143)) << "the face beside the field";
    EXPECT_FLOAT_EQ(r.speed, 3.0f);
}

TEST_F(Play, AnEmptyScoreReturnsAtOnce)
{
    ffile(te.doc, te.view, fmode::fresh);
    splay r = playat(0, 100);
    EXPECT_FALSE(r.yn);
    EXPECT_EQ(tio.keysread, 0);
    EXPECT_EQ(tio.slept.size(), 0u) << "no box drawn";
}

class PlaySave : public Play {
protected:
    std::string dir;
    void SetUp() override
    {
        Play::SetUp();
        char tmpl[] = "/tmp/pvplay.XXXXXX";
        dir = mkdtemp(tmpl);
        te.doc.filesaved = false;
    }
    void TearDown() override
    {
        std::remove((dir + "/tune.pvx").c_str());
        rmdir(dir.c_str());
    }
    bool playshown = false;
    bool saveshown = false;
    void watch()
    {
        tio.onkey = [this] {
            for (int y = 0; y < 27; y++) {
                std::string row = grow(scr, y);
                playshown = playshown || row.find("请设置播放参数") != std::string::npos;
                saveshown = saveshown || row.find("保存文件") != std::string::npos;
            }
        };
    }
};

TEST_F(PlaySave, UnsavedScoreIsSavedFirst)
{
    watch();
    tiokeys({TAB, TAB, ENTER}); // Cancel in the save dialog
    splay r = playat(0, 100);
    EXPECT_TRUE(saveshown);
    EXPECT_FALSE(playshown);
    EXPECT_FALSE(r.yn);
    EXPECT_FALSE(te.doc.filesaved);

    saveshown = false;
    cls();
    tiokeys({ENTER}); // folder, name, OK
    tioline(dir);
    tiokeys({TAB, ENTER});
    tioline("tune");
    tiokeys({TAB, TAB, ENTER});
    tabs(0, 8);
    tiokeys({ENTER});
    r = playat(0, 100);
    EXPECT_TRUE(saveshown);
    EXPECT_TRUE(playshown);
    EXPECT_TRUE(r.yn);
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_EQ(te.doc.filepath, dir + "/tune.pvx");
    struct stat st;
    EXPECT_EQ(stat(te.doc.filepath.c_str(), &st), 0);

    // Saved now: the next opening goes straight to the play settings.
    saveshown = playshown = false;
    cls();
    tabs(0, 7);
    tiokeys({ENTER});
    r = playat(0, 100);
    EXPECT_FALSE(saveshown);
    EXPECT_TRUE(playshown);
    EXPECT_FALSE(r.yn);
}

TEST_F(PlaySave, AnUnsavedEmptyScoreIsSavedThenNothingPlays)
{
    te.doc.music.clear();
    te.doc.music.push(SENTINEL);
    watch();
    tiokeys({ENTER});
    tioline(dir);
    tiokeys({TAB, ENTER});
    tioline("tune");
    tiokeys({TAB, TAB, ENTER});
    splay r = playat(0, 100);
    EXPECT_TRUE(saveshown);
    EXPECT_FALSE(playshown);
    EXPECT_FALSE(r.yn);
    EXPECT_TRUE(te.doc.filesaved);
}

} // namespace
