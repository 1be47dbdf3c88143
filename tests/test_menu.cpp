// SPDX-License-Identifier: MIT
// The menu bar: drawing, movement, clipping, command dispatch and the title
// editor, driven by requests and by keys through the editor.
#include "console/console.h"
#include "score/ring.h"
#include "dialogs/about.h"
#include "dialogs/play.h"
#include "editor/editor.h"
#include "editor/run.h"
#include "files/files.h"
#include "menu/menu.h"
#include "platform/proc.h"
#include "console/width.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Menu : public ::testing::Test {
protected:
    void SetUp() override
    {
        tioreset();
        edreset();
        ffile(te.doc, te.view, fmode::fresh);
        ASSERT_TRUE(te.doc.filesaved);
    }
};

// Cells of row y from x0 to x1 (exclusive) all in attribute a.
bool rowattr(int y, int x0, int x1, int a)
{
    for (int x = x0; x < x1; x++)
        if (gcell(scr, x, y).attr != a)
            return false;
    return true;
}

// Draws the bar and opens menu k at item i; returns the drop-down's rows.
std::vector<std::string> opened(int k, int i, int x0, int w)
{
    te.bar.tbx = k;
    te.bar.tby = i;
    cls();
    toolbar(te.bar, barreq::drawall);
    toolbar(te.bar, barreq::open);
    std::vector<std::string> rows;
    for (int y = 1; y < 2 + te.bar.tb[static_cast<size_t>(k)].num() + 1; y++)
        rows.push_back(grow(scr, y, x0, x0 + w));
    return rows;
}

TEST_F(Menu, BarShowsSixHeadingsAtTheirColumns)
{
    toolbar(te.bar, barreq::drawall);
    EXPECT_EQ(grow(scr, 0, 0, 40), "  ◎  Pellavine  文件  编辑  序列  帮助 ");
    EXPECT_TRUE(rowattr(0, 0, 108, 240)) << "the bar is 108 columns of black on white";
    const int want[6] = {1, 5, 16, 22, 28, 34};
    for (int k = 0; k < 6; k++)
        EXPECT_EQ(tbheadx(te.bar, k), want[k]) << "heading " << k;
    EXPECT_EQ(gcell(scr, 0, 1).attr, 15) << "nothing below the bar";
    EXPECT_EQ(scr.attr, 15);
}

TEST_F(Menu, DropDownsHaveTheirWidthsColoursAndRules)
{
    // Menu 0 as it opens: heading in 143, the first item in 240, the rest 143.
    std::vector<std::string> rows = opened(0, 0, 1, 20);
    std::vector<std::string> want = {
        "+------------------+",
        "| 关于 Pellavine   |",
        "|------------------|",
        "| 退出             |",
        "+------------------+",
    };
    EXPECT_EQ(rows, want);
    EXPECT_EQ(grow(scr, 0, 1, 5), " ◎ ");
    EXPECT_TRUE(rowattr(0, 1, 5, 143));
    EXPECT_TRUE(rowattr(0, 5, 108, 240)) << "the other headings stay as they were";
    EXPECT_EQ(gcell(scr, 1, 2).attr, 143);
    EXPECT_TRUE(rowattr(2, 2, 20, 240)) << "current item";
    EXPECT_EQ(gcell(scr, 20, 2).attr, 143);
    EXPECT_TRUE(rowattr(3, 1, 21, 143)) << "the rule";
    EXPECT_TRUE(rowattr(4, 1, 21, 143)) << "an available item that is not current";
    EXPECT_EQ(gcell(scr, 21, 3).attr, 15) << "nothing right of the box";
    EXPECT_EQ(scr.attr, 15);

    // Widths of the other menus: 16 for the title's, 12 for short labels
    // (inner width at least 8), more for 编辑's and 序列's longest, 20 for
    // help; each under its heading.
    struct {
        int k, x, w;
        const char* first;
    } m[] = {
        {1, 5, 16, "| 自定义标题   |"},
        {2, 16, 12, "| 新建     |"},
        {3, 22, 14, "| 清屏       |"},
        {4, 28, 16, "| 播放         |"},
        {5, 34, 20, "| Pellavine 帮助   |"},
    };
    for (const auto& e : m) {
        rows = opened(e.k, 0, e.x, e.w + 2);
        EXPECT_EQ(rows[0], "+" + std::string(static_cast<size_t>(e.w - 2), '-') + "+  ") << e.k;
        EXPECT_EQ(rows[1], std::string(e.first) + "  ") << e.k;
        EXPECT_EQ(gcell(scr, e.x - 1, 1).attr, 15) << e.k;
    }
    rows = opened(5, 2, 34, 20);
    EXPECT_EQ(rows[2], "|------------------|");
    EXPECT_EQ(rows[3], "| 检查更新         |");
    EXPECT_TRUE(rowattr(4, 35, 53, 240)) << "检查更新 current";
    EXPECT_TRUE(rowattr(2, 35, 53, 143)) << "Pellavine 帮助 no longer current";
}

TEST_F(Menu, MovementStopsAtTheEndsAndSkipsSeparators)
{
    toolbar(te.bar, barreq::prevmenu);
    EXPECT_EQ(te.bar.tbx, 0) << "no menu before the first";
    toolbar(te.bar, barreq::previtem);
    EXPECT_EQ(te.bar.tby, 0) << "no item above the first";
    toolbar(te.bar, barreq::nextitem);
    EXPECT_EQ(te.bar.tby, 2) << "down from 关于 lands on 退出, past the separator";
    toolbar(te.bar, barreq::nextitem);
    EXPECT_EQ(te.bar.tby, 2) << "no item below the last";
    toolbar(te.bar, barreq::previtem);
    EXPECT_EQ(te.bar.tby, 0) << "and back up past it";

    toolbar(te.bar, barreq::nextmenu);
    toolbar(te.bar, barreq::nextmenu);
    EXPECT_EQ(te.bar.tbx, 2);
    for (int i = 0; i < 4; i++)
        toolbar(te.bar, barreq::nextitem);
    EXPECT_EQ(te.bar.tby, 4);
    toolbar(te.bar, barreq::prevmenu);
    EXPECT_EQ(te.bar.tbx, 1);
    EXPECT_EQ(te.bar.tby, 0) << "another menu starts at its first item";
    for (int i = 0; i < 10; i++)
        toolbar(te.bar, barreq::nextmenu);
    EXPECT_EQ(te.bar.tbx, 5) << "no menu after the last";
    EXPECT_EQ(te.bar.tby, 0);
    for (int i = 0; i < 4; i++) {
        toolbar(te.bar, barreq::nextitem);
        EXPECT_FALSE(toolbar(te.bar, barreq::unavailable)) << "every reachable item can be chosen";
    }
    EXPECT_EQ(te.bar.tby, 2);

    // The moving requests draw nothing.
    std::vector<Cell> before = tiocells();
    for (barreq r : {barreq::prevmenu, barreq::nextmenu, barreq::previtem, barreq::nextitem, barreq::unavailable})
        toolbar(te.bar, r);
    EXPECT_TRUE(tiosame(before, tiocells()));
}

TEST_F(Menu, UnavailableItemsShowGreyAndCannotBeChosen)
{
    stb& m = te.bar.tb[2];
    m.tbi[1].ava = false; // "打开" made unavailable
    te.bar.tbx = 2;
    te.bar.tby = 1;
    EXPECT_TRUE(toolbar(te.bar, barreq::unavailable));
    cls();
    toolbar(te.bar, barreq::open);
    EXPECT_TRUE(rowattr(3, 17, 27, 247)) << "current but unavailable";
    te.bar.tby = 0;
    toolbar(te.bar, barreq::nextitem);
    EXPECT_EQ(te.bar.tby, 1) << "an unavailable ordinary item is not skipped";
    te.bar.tby = 2;
    cls();
    toolbar(te.bar, barreq::open);
    EXPECT_TRUE(rowattr(3, 17, 27, 128)) << "unavailable and not current";
    EXPECT_EQ(gcell(scr, 27, 3).attr, 143) << "its frame stays grey";
    EXPECT_TRUE(rowattr(4, 17, 27, 240));
}

TEST_F(Menu, AnotherTitleMovesTheHeadingsAndTheirDropDowns)
{
    te.bar.wintitle = "Hello";
    EXPECT_EQ(tbheadx(te.bar, 2), 16) << "the bar keeps the old heading until the table is rebuilt";
    tbset(te.bar);
    toolbar(te.bar, barreq::drawall);
    EXPECT_EQ(grow(scr, 0, 0, 36), "  ◎  Hello  文件  编辑  序列  帮助 ");
    const int want[6] = {1, 5, 12, 18, 24, 30};
    for (int k = 0; k < 6; k++)
        EXPECT_EQ(tbheadx(te.bar, k), want[k]);
    te.bar.tbx = 2;
    toolbar(te.bar, barreq::open);
    EXPECT_EQ(grow(scr, 1, 12, 24), "+----------+");
    EXPECT_EQ(gcell(scr, 12, 0).attr, 143);
}

TEST_F(Menu, ATitleTooWideForTheBarIsCutAndNothingWraps)
{
    // 150 columns of title; the cut falls in the middle of the wide character.
    te.bar.wintitle = std::string(76, 'T') + "标" + std::string(72, 'x');
    tbset(te.bar);
    toolbar(te.bar, barreq::drawall);
    EXPECT_TRUE(rowattr(0, 0, 108, 240));
    EXPECT_EQ(strwidth(grow(scr, 0)), 108);
    EXPECT_EQ(grow(scr, 0, 0, 10), "  ◎  TTTT");
    EXPECT_EQ(grow(scr, 0, 80, 108), "TT   文件  编辑  序列  帮助 ") << "half a character is left out";
    EXPECT_EQ(tbheadx(te.bar, 2), 84);
    EXPECT_EQ(tbheadx(te.bar, 5), 102) << "the other headings all keep their room";

    // Every drop-down stays on the bar; the last one is moved left to fit.
    for (int k = 0; k < 6; k++) {
        cls();
        te.bar.tbx = k;
        toolbar(te.bar, barreq::drawall);
        toolbar(te.bar, barreq::open);
        int rows = te.bar.tb[static_cast<size_t>(k)].num() + 3;
        for (int y = rows + 1; y < 27; y++)
            EXPECT_EQ(grow(scr, y), std::string(108, ' ')) << "menu " << k << " row " << y;
        EXPECT_EQ(gcell(scr, 107, 1).ch, k >= 4 ? U'+' : U' ') << k;
    }
    EXPECT_EQ(grow(scr, 1, 88, 108), "+------------------+");
    EXPECT_EQ(grow(scr, 4, 88, 108), "| 检查更新         |");
    EXPECT_EQ(grow(scr, 1, 0, 88), std::string(88, ' '));

    // Headings that do not fit even without the title are cut at the edge.
    te.bar.tb[3].name = std::string(120, 'E');
    cls();
    toolbar(te.bar, barreq::drawall);
    EXPECT_EQ(grow(scr, 1), std::string(108, ' '));
    EXPECT_EQ(grow(scr, 0, 0, 16), "  ◎    文件  EE") << "the title gave up all its room";
    EXPECT_EQ(grow(scr, 0, 104, 108), "EEEE");
    te.bar.tbx = 5;
    toolbar(te.bar, barreq::open); // its heading lies past the bar: only the drop-down shows
    EXPECT_EQ(grow(scr, 1, 88, 108), "+------------------+");
    EXPECT_EQ(grow(scr, 0, 104, 108), "EEEE");
}

// ---- dispatch ----

// Runs command c in a run of its own.
runend run(command c)
{
    edrun r;
    return runcmd(te, r, c);
}

// Every item of the table names a command, each its own; separators none.
// Strings that are almost a command's name are none.
TEST_F(Menu, EveryItemResolvesToItsCommand)
{
    std::vector<command> seen;
    for (const stb& m : te.bar.tb)
        for (const stbi& i : m.tbi) {
            EXPECT_EQ(i.cmd, commandof(i.func)) << i.name;
            if (i.mode && !i.ava) { // a separator
                EXPECT_EQ(i.cmd, command::none);
                continue;
            }
            EXPECT_NE(i.cmd, command::none) << '"' << i.func << '"';
            EXPECT_EQ(std::count(seen.begin(), seen.end(), i.cmd), 0) << i.func;
            seen.push_back(i.cmd);
        }
    EXPECT_EQ(seen.size(), 31u);
    for (const char* f : {"", "NFILE", "Close", "play ", " about", "help\n", "clear2", "wintitl", "x"})
        EXPECT_EQ(commandof(f), command::none) << '"' << f << '"';
    EXPECT_EQ(run(command::none), runend::goon);
    EXPECT_EQ(run(command::clear), runend::restart);
    EXPECT_EQ(tio.keysread, 0);
}

TEST_F(Menu, NewAndCloseFileBothStartAnEmptyScore)
{
    for (command f : {command::newfile, command::closefile}) {
        te.doc.music.push(smusic{3, 3, 1, 2, false});
        te.view.mousex = 40;
        EXPECT_EQ(run(f), runend::goon);
        EXPECT_EQ(te.doc.music.size(), 1u) << int(f);
        EXPECT_EQ(te.view.mousex, 0) << int(f);
        EXPECT_EQ(tio.keysread, 0) << ": a saved score needs no question";
    }
}

TEST_F(Menu, PlayStoresTheDialogResult)
{
    te.doc.music.push(smusic{0, 3, 1, 5, false});
    te.view.mousex = 3;
    te.doc.musicleng = 120;
    tiokeys({9, 9, 9, 9, 9, 9, 9, 9, 13}); // to OK
    edrun r;
    EXPECT_EQ(runcmd(te, r, command::play), runend::goon);
    EXPECT_TRUE(r.playmode);
    EXPECT_TRUE(te.plays.play.yn);
    EXPECT_EQ(te.plays.play.start, 0);
    EXPECT_EQ(te.plays.play.end, 120);
    EXPECT_FLOAT_EQ(te.plays.play.speed, 1.0f);

    te.plays.play.start = 55;
    tiokeys({9, 9, 9, 9, 9, 9, 9, 13}); // to Cancel
    r = edrun{};
    EXPECT_EQ(runcmd(te, r, command::play), runend::goon);
    EXPECT_FALSE(r.playmode);
    EXPECT_FALSE(te.plays.play.yn);
    EXPECT_EQ(te.plays.play.start, 0) << "the whole result is stored";
    EXPECT_EQ(te.plays.play.end, 120);
}


TEST_F(Menu, UpdateOpensTheUpdatePage)
{
    fakeopener o;
    std::vector<Cell> before = tiocells();
    EXPECT_EQ(run(command::update), runend::goon);
    EXPECT_EQ(o.opened(1), std::vector<std::string>{UPDATEURL});
    EXPECT_TRUE(tiosame(before, tiocells()));
    EXPECT_EQ(tio.keysread, 0);
}

// ---- the title editor ----

TEST_F(Menu, AShorterTitleMovesTheHeadingsLeft)
{
    toolbar(te.bar, barreq::drawall);
    te.bar.tbx = 2;
    te.bar.tby = 3;
    tioline("Hello");
    std::string seen;
    tio.online = [&] {
        seen = grow(scr, 0, 0, 20);
        EXPECT_TRUE(rowattr(0, 6, 15, 143)) << "the old title blanked in white on grey";
        EXPECT_EQ(scr.cx, 6);
    };
    EXPECT_EQ(run(command::wintitle), runend::goon);
    EXPECT_EQ(seen, "  ◎" + std::string(13, ' ') + "文件");
    EXPECT_EQ(te.bar.wintitle, "Hello");
    EXPECT_EQ(te.bar.tb[1].name, "Hello");
    EXPECT_EQ(te.bar.tbx, 0);
    EXPECT_EQ(te.bar.tby, 0);
    EXPECT_EQ(grow(scr, 0, 0, 36), "  ◎  Hello  文件  编辑  序列  帮助 ");
    EXPECT_TRUE(rowattr(0, 0, 108, 240)) << "the bar is redrawn whole";
    EXPECT_EQ(scr.attr, 15);
}

TEST_F(Menu, ALongerTitleIsTakenAsTyped)
{
    toolbar(te.bar, barreq::drawall);
    tioline("  My melody, 第二版  ");
    EXPECT_FALSE(fwintitle(te.bar));
    EXPECT_EQ(te.bar.wintitle, "  My melody, 第二版  ");
    EXPECT_EQ(grow(scr, 0, 0, 52), "  ◎    My melody, 第二版    文件  编辑  序列  帮助 ");
    EXPECT_EQ(tbheadx(te.bar, 2), 28);
}

TEST_F(Menu, AnEmptyTitleKeepsTheOldOne)
{
    toolbar(te.bar, barreq::drawall);
    te.bar.tbx = 2;
    te.bar.tby = 1;
    tioline("");
    EXPECT_TRUE(fwintitle(te.bar));
    EXPECT_EQ(te.bar.wintitle, "Pellavine");
    EXPECT_EQ(te.bar.tbx, 2) << "the table is not rebuilt";
    EXPECT_EQ(te.bar.tby, 1);
    EXPECT_EQ(grow(scr, 0, 5, 16), "           ") << "blanked until the editor repaints";
    // End of input is an empty line too.
    EXPECT_TRUE(fwintitle(te.bar));
    EXPECT_EQ(te.bar.wintitle, "Pellavine");
    EXPECT_EQ(scr.attr, 15);
}

// ---- through the editor's keys ----

TEST_F(Menu, ExitWithASavedScoreEndsAtOnce)
{
    tiokeys({9, 's', 13, 'x'});
    EXPECT_EQ(edit(te), 0);
    EXPECT_EQ(tio.keysread, 3) << "no dialog, no further key";
}

TEST_F(Menu, ExitWithUnsavedChangesAsksFirst)
{
    bool asked = false;
    // Space makes a note; Tab, s, Enter choose 退出; the dialog's first
    // button (取消) keeps the editor running; then 退出 again and 放弃.
    tiokeys({' ', 9, 's', 13, 13, 9, 's', 13, 9, 13, 'x'});
    tio.onkey = [&] {
        if (grow(scr, 12, 41, 65).find("文件尚未保存") != std::string::npos)
            asked = true;
    };
    EXPECT_EQ(edit(te), 0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(tio.keysread, 10) << "ended right after 放弃";
    EXPECT_EQ(te.doc.music.size(), 2u) << "the score was left as it was";
}

TEST_F(Menu, ReopeningShowsTheSameItem)
{
    // Tab, d, d, s (打开), Tab closes, Tab reopens: 打开 is still current.
    tiokeys({9, 'd', 'd', 's', 9, 9});
    std::vector<std::string> shot;
    tio.onkey = [&] {
        if (tio.keysread == 6)
            shot = {grow(scr, 0, 16, 22), grow(scr, 3, 16, 28)};
    };
    EXPECT_EQ(edit(te), 0);
    ASSERT_EQ(shot.size(), 2u);
    EXPECT_EQ(shot[0], " 文件 ");
    EXPECT_EQ(shot[1], "| 打开     |");
    EXPECT_TRUE(rowattr(3, 17, 27, 240)) << "打开 highlighted";
    EXPECT_TRUE(rowattr(2, 17, 27, 143));
}

TEST_F(Menu, ClearRestartsManyTimesWithoutGrowing)
{
    // 编辑 → 清屏, two hundred times, each time with a note made first, then
    // 退出. The menu is walked from its left end, wherever it was left.
    for (int i = 0; i < 200; i++)
        tiokeys({' ', 9, 'a', 'a', 'a', 'a', 'a', 'd', 'd', 'd', 13, 9, 13});
    tiokeys({9, 'a', 'a', 'a', 'a', 'a', 's', 13});
    int restarts = 0, asked = 0;
    tio.onkey = [&] {
        if (!tio.keys.empty() && tio.keys.front() == 13 && tio.keys.size() > 1 && tio.keys[1] == 9 &&
            grow(scr, 2, 22, 36) == "| 清屏       |")
            restarts++;
        if (!tio.keys.empty() && tio.keys.front() == 9 && grow(scr, 12, 41, 65).find("文件尚未保存") != std::string::npos)
            asked++;
    };
    EXPECT_EQ(edit(te), 0);
    EXPECT_EQ(restarts, 200);
    EXPECT_EQ(asked, 200) << "each fresh run asks about the note before dropping it";
    EXPECT_EQ(tio.keys.size(), 0u);
    EXPECT_EQ(te.doc.music.size(), 1u);
}

} // namespace
