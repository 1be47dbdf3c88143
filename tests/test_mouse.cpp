// SPDX-License-Identifier: MIT
// The mouse driven as a user drives it: reports in, view, score and screen
// out. Each case starts on a fresh score (cursor at step 0, row 55; view
// from step 0, row 40) with one note at steps 10-11 of row 55.
#include "editor/editor.h"
#include "editor/run.h"
#include "menu/menu.h"
#include "score/ring.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int STAFFX = 6, STAFFY = 2, W = 100, H = 23;
constexpr int NOTEX = STAFFX + 10, C3Y = STAFFY + 55 - 40; // the note's cell, row 55 on the screen

struct Mouse : ::testing::Test {
    void SetUp() override
    {
        tioreset();
        edreset();
        tbset(te.bar);
        te.doc.music.assign({smusic{10, 3, 1, 2, false}, SENTINEL});
        te.doc.musicleng = 20;
    }
    static void press(int x, int y, mbutton b = mbutton::left, unsigned mods = 0)
    {
        tiomouse(b, maction::press, x, y, mods);
        tiomouse(b, maction::release, x, y, mods);
    }
    static void wheel(mbutton b, int n = 1, unsigned mods = 0)
    {
        for (int i = 0; i < n; i++)
            tiomouse(b, maction::wheel, 50, 10, mods);
    }
    static int notes()
    {
        int n = 0;
        for (const smusic& m : te.doc.music.queue())
            n += !issentinel(m);
        return n;
    }
};

struct place {
    int toplo, leftlo, mousex, mousey, notes;
};

TEST_F(Mouse, StaffBarsRulerAndWheel)
{
    struct {
        const char* what;
        std::function<void()> input;
        place want;
    } cases[] = {
        {"press on a cell", [] { press(30, C3Y - 3); }, {40, 0, 24, 52, 1}},
        {"press on the cursor is Space", [] { press(30, C3Y); press(30, C3Y); }, {40, 0, 24, 55, 2}},
        {"right press on a note removes it", [] { press(NOTEX + 1, C3Y, mbutton::right); }, {40, 0, 0, 55, 0}},
        {"right press beside it does not", [] { press(NOTEX + 2, C3Y, mbutton::right); press(NOTEX, C3Y - 1, mbutton::right); }, {40, 0, 0, 55, 1}},
        {"wheel: three rows", [] { wheel(mbutton::wheeldown); }, {43, 0, 0, 55, 1}},
        {"wheel up, the cursor kept in view", [] { wheel(mbutton::wheelup, 3); }, {31, 0, 0, 53, 1}},
        {"wheel stops at the lowest row", [] { wheel(mbutton::wheeldown, 20); }, {62, 0, 0, 62, 1}},
        {"Shift+wheel: eight steps", [] { wheel(mbutton::wheeldown, 1, MOD_SHIFT); }, {40, 8, 8, 55, 1}},
        {"horizontal wheel", [] { wheel(mbutton::wheelright, 2); wheel(mbutton::wheelleft); }, {40, 8, 16, 55, 1}},
        {"bar arrows: a row, a step", [] { press(W + 6, STAFFY); press(W + 6, STAFFY + H - 1); press(W + 6, STAFFY + H - 1); press(STAFFX + W - 1, H + 2); }, {41, 1, 1, 55, 1}},
        {"left arrow at the start", [] { press(STAFFX, H + 2); }, {40, 0, 0, 55, 1}},
        {"ruler", [] { press(STAFFX + 50, 1); }, {40, 0, 50, 55, 1}},
        {"drag moves along the columns", [] { tiomouse(mbutton::left, maction::press, 20, 5); tiomouse(mbutton::left, maction::drag, 25, 5); tiomouse(mbutton::left, maction::drag, 27, 9); }, {40, 0, 21, 43, 1}},
        {"drag with no press first", [] { tiomouse(mbutton::left, maction::drag, 25, 5); }, {40, 0, 0, 55, 1}},
        {"cells that mean nothing", [] { press(2, 10); press(50, H + 3); press(W + 7, 10); press(50, H + 2); press(300, 5); press(50, 10, mbutton::middle); }, {40, 0, 0, 55, 1}},
    };
    for (auto& c : cases) {
        SetUp();
        c.input();
        edit(te, false);
        const sview& v = te.view;
        EXPECT_EQ((std::vector<int>{v.toplo, v.leftlo, v.mousex, v.mousey, notes()}),
                  (std::vector<int>{c.want.toplo, c.want.leftlo, c.want.mousex, c.want.mousey, c.want.notes}))
            << c.what;
    }
}

TEST_F(Mouse, DragSelectsAsVAndMovingDo)
{
    tiomouse(mbutton::left, maction::press, STAFFX + 8, C3Y);
    tiomouse(mbutton::left, maction::drag, STAFFX + 12, C3Y);
    tiomouse(mbutton::left, maction::release, STAFFX + 12, C3Y);
    tiotype("x"); // cut: the note at 10-11 goes to the clipboard
    edit(te, false);
    EXPECT_EQ(notes(), 0);
    EXPECT_EQ(te.edits.clip.notes.size(), 1u);

    SetUp(); // a press and release in one place selects nothing
    press(STAFFX + 8, C3Y);
    edit(te, false);
    EXPECT_FALSE(te.edits.selecting);
}

TEST_F(Mouse, RemovedNoteIsOneUndoStep)
{
    press(NOTEX, C3Y, mbutton::right);
    tiokeys({KEY_CTRLZ});
    edit(te, false);
    EXPECT_EQ(notes(), 1);
}

TEST_F(Mouse, MenusOpenRunAndClose)
{
    const int edit = tbheadx(te.bar, 3) + 1, file = tbheadx(te.bar, 2) + 1;
    std::string dropped, after;
    // 编辑 opens; its second item (撤销) runs.
    press(edit, 0);
    tio.onkey = [&] {
        if (tio.keysread == 2)
            dropped = grow(scr, 3, edit, edit + 8);
    };
    press(edit + 2, 3);
    ::edit(te, false);
    EXPECT_NE(dropped.find("撤销"), std::string::npos) << dropped;
    EXPECT_NE(grow(scr, H + 3, W - 20, W + 8).find("无可撤销"), std::string::npos);

    // 文件 opens; a press outside closes it and does nothing else.
    SetUp();
    press(file, 0);
    press(50, 15);
    tio.onkey = [&] { after = grow(scr, 2, file, file + 8); };
    ::edit(te, false);
    EXPECT_EQ(after.find("新建"), std::string::npos) << after;
    EXPECT_EQ(te.view.mousex, 0) << "the press that closed the menu moved nothing";

    // The title heading opens its line at once.
    SetUp();
    press(tbheadx(te.bar, 1) + 1, 0);
    tioline("曲名");
    ::edit(te, false);
    EXPECT_EQ(te.bar.wintitle, "曲名");
}

TEST_F(Mouse, DialogButtonsAndPlaybackStop)
{
    // Ctrl+C on unsaved changes: a press on 放弃 answers, as Tab, Enter do.
    te.doc.filesaved = false;
    tiokeys({KEY_CTRLC});
    tiomouse(mbutton::left, maction::press, 58, 14);
    edit(te, false);
    EXPECT_TRUE(tio.keys.empty());
    EXPECT_TRUE(te.recoverypath.empty()) << "quit without a question left";

    // During playback a press stops it as Esc does.
    SetUp();
    te.doc.filepath = "tune.pvx";
    te.doc.filesaved = true;
    tiokeys({KEY_ENTER});
    for (int i = 0; i < 8; i++)
        tiokeys({KEY_TAB});
    tiokeys({KEY_ENTER});
    tiomouse(mbutton::left, maction::press, 50, 10);
    edit(te, false);
    EXPECT_EQ(tio.escapes, 1);
}

} // namespace
