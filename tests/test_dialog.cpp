// SPDX-License-Identifier: MIT
// The dialog component and the unsaved-changes dialog, driven by keys.
#include "testio.h"

#include "score/ring.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "files/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int at(int x, int y) { return gcell(scr, x, y).attr; }
int at(const std::vector<Cell>& c, int x, int y) { return c[static_cast<size_t>(y * SCRW + x)].attr; }

struct DialogTest : ::testing::Test {
    void SetUp() override
    {
        tioreset();
        edreset();
    }
};

} // namespace

TEST(DialogPlace, CentresOverTheEditorAndFloorsAtZero)
{
    sdialog d;
    dlgplace(d, 30, 5);
    EXPECT_EQ(d.leftlo1, 39);
    EXPECT_EQ(d.toplo1, 11);
    dlgplace(d, 70, 10);
    EXPECT_EQ(d.leftlo1, 19);
    EXPECT_EQ(d.toplo1, 8);
    dlgplace(d, 120, 30); // larger than the screen
    EXPECT_EQ(d.leftlo1, 0);
    EXPECT_EQ(d.toplo1, 0);
}

TEST(DialogFit, PadsShortTextsAndKeepsTheEndOfLongOnes)
{
    EXPECT_EQ(dlgfit("", 5), "     ");
    EXPECT_EQ(dlgfit("ab", 5), "ab   ");
    EXPECT_EQ(dlgfit("abcde", 5), "abcde");
    EXPECT_EQ(dlgfit("abcdefgh", 6), "...fgh");
    // A wide character that does not fit whole is left out; the gap is a blank.
    EXPECT_EQ(dlgfit("abc乐谱", 6), "...谱 ");
    EXPECT_EQ(dlgfit("abc乐谱x", 6), "...谱x");
    EXPECT_EQ(dlgfit("ab乐谱", 4), "... ");
    EXPECT_EQ(dlgfit("乐谱", 4), "乐谱");
    // Control characters take the one column they are drawn in.
    EXPECT_EQ(dlgfit("a\tb", 4), "a\xEF\xBF\xBD" "b ");
    EXPECT_EQ(dlgfit("abcdef", 2), "..");
}

TEST_F(DialogTest, UnsavedBoxShadowAndItemsAtTheStartSize)
{
    std::vector<Cell> atpause, atkey;
    tio.onsleep = [&](int ms) {
        if (ms == 100 && atpause.empty())
            atpause = tiocells();
    };
    int cx = -1, cy = -1;
    tio.onkey = [&] {
        atkey = tiocells();
        cx = scr.cx;
        cy = scr.cy;
    };
    EXPECT_FALSE(filenotsaved(te.doc, te.view)); // input ends at the first key: stop
    EXPECT_EQ(tio.keysread, 1);
    ASSERT_EQ(tio.slept, std::vector<int>{100});

    // The shadow is drawn first, then the pause, then the face.
    ASSERT_FALSE(atpause.empty());
    EXPECT_EQ(at(atpause, 45, 13), 0);
    EXPECT_EQ(at(atpause, 39, 11), 15);

    ASSERT_FALSE(atkey.empty());
    scr.cells = atkey;
    for (int y = 11; y <= 15; y++) {
        EXPECT_EQ(at(39, y), 143) << y;
        EXPECT_EQ(at(68, y), 143) << y;
        EXPECT_EQ(at(69, y), y == 11 ? 15 : 0) << y; // shadow column, one row down
    }
    for (int x = 39; x <= 70; x++)
        EXPECT_EQ(at(x, 16), x >= 40 && x <= 69 ? 0 : 15) << x; // shadow row, one column right
    EXPECT_EQ(at(38, 12), 15);
    EXPECT_EQ(at(39, 10), 15);
    EXPECT_EQ(grow(scr, 12, 41, 65), "文件尚未保存，是否继续？");
    EXPECT_EQ(at(41, 12), 143);
    EXPECT_EQ(grow(scr, 14, 53, 67), "取消 放弃 保存");
    EXPECT_EQ(at(53, 14), 240); // the focus starts on 取消
    EXPECT_EQ(at(56, 14), 240);
    EXPECT_EQ(at(58, 14), 112);
    EXPECT_EQ(at(63, 14), 112);
    EXPECT_EQ(at(57, 14), 143);
    EXPECT_EQ(cx, 53); // the cursor stands on the focused item
    EXPECT_EQ(cy, 14);
    EXPECT_EQ(scr.attr, 15); // attribute 15 on the way out
}

TEST_F(DialogTest, UnsavedAnswersByKey)
{
    struct run {
        std::vector<int> keys;
        bool result;
        int pressedx; // where the pressed look shows
    };
    const run runs[] = {
        {{13}, false, 53},               // Enter at once: 取消
        {{32}, false, 53},               // Space activates too
        {{9, 13}, true, 58},             // 放弃
        {{9, 9, 9, 13}, false, 53},      // Tab wraps to 取消
        {{9, 9, 9, 9, 32}, true, 58},
    };
    for (const run& r : runs) {
        tioreset();
        for (int k : r.keys)
            tio.keys.push_back(k);
        std::vector<Cell> pressed;
        tio.onsleep = [&](int ms) {
            if (ms == 10)
                pressed = tiocells();
        };
        EXPECT_EQ(filenotsaved(te.doc, te.view), r.result) << r.keys.size();
        EXPECT_EQ(tio.slept, (std::vector<int>{100, 10}));
        ASSERT_FALSE(pressed.empty());
        EXPECT_EQ(at(pressed, r.pressedx, 14), 247);
        EXPECT_EQ(at(pressed, r.pressedx + 3, 14), 247);
        EXPECT_TRUE(te.doc.filesaved) << "the dialog itself changes nothing";
    }
}

TEST_F(DialogTest, KeysOtherThanTabSpaceEnterChangeNothing)
{
    std::vector<std::vector<Cell>> shots;
    tio.onkey = [&] { shots.push_back(tiocells()); };
    // Up, Escape, Ctrl+C, F1, Backspace, a letter, Delete, then Tab and Enter.
    tiokeys({KEY_UP, 27, 3, KEY_F1, 8, 'q', KEY_DELETE, 9, 13});
    EXPECT_TRUE(filenotsaved(te.doc, te.view)); // still 取消 until the Tab: 放弃
    ASSERT_EQ(shots.size(), 9u);
    for (size_t i = 1; i < 8; i++)
        EXPECT_TRUE(tiosame(shots[0], shots[i])) << "after key " << i;
    EXPECT_FALSE(tiosame(shots[7], shots[8])); // the Tab moved the focus
    scr.cells = shots[8];
    EXPECT_EQ(at(53, 14), 112);
    EXPECT_EQ(at(58, 14), 240);
    EXPECT_EQ(tio.slept, (std::vector<int>{100, 10})); // the box was drawn once
}

struct TempDir {
    fs::path p;
    TempDir()
    {
        static int n = 0;
        p = fs::temp_directory_path() / ("pvdlg-" + std::to_string(getpid()) + "-" + std::to_string(n++));
        fs::create_directories(p);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(p, ec);
    }
};

TEST_F(DialogTest, UnsavedSaveWithAKnownPathWipesTheBoxAndWrites)
{
    TempDir t;
    te.doc.filepath = (t.p / "s.pvx").string();
    te.doc.filesaved = false;
    tiokeys({9, 9, 13});
    EXPECT_TRUE(filenotsaved(te.doc, te.view));
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_EQ(fs::file_size(t.p / "s.pvx"), 49u);
    EXPECT_EQ(tio.keysread, 3); // no further dialog
    // Box and shadow wiped: columns 39 to 69, rows 11 to 16.
    for (int y = 11; y <= 16; y++)
        for (int x = 39; x <= 69; x++)
            ASSERT_TRUE(at(x, y) == 15 && gcell(scr, x, y).ch == U' ') << x << "," << y;
    EXPECT_EQ(scr.attr, 15);
}

TEST_F(DialogTest, UnsavedSaveWithoutAPathAsksAndCanBeCancelled)
{
    te.doc.filesaved = false;
    // 保存, then in the save dialog: Tab, Tab, Enter = 取消.
    tiokeys({9, 9, 13, 9, 9, 13});
    std::vector<Cell> save;
    tio.onkey = [&] {
        if (tio.keysread == 3)
            save = tiocells();
    };
    EXPECT_FALSE(filenotsaved(te.doc, te.view));
    EXPECT_FALSE(te.doc.filesaved);
    EXPECT_TRUE(te.doc.filepath.empty());
    ASSERT_FALSE(save.empty());
    scr.cells = save;
    EXPECT_EQ(grow(scr, 9, 21, 29), "保存文件");
    EXPECT_EQ(at(19, 8), 143);
    EXPECT_EQ(at(89, 18), 0);
}

TEST_F(DialogTest, UnsavedSaveWithoutAPathSavesWhereTheUserSays)
{
    TempDir t;
    te.doc.filesaved = false;
    tiokeys({9, 9, 13, /* save dialog */ 13});
    tioline(t.p.string());
    tiokeys({9, 13});
    tioline("song");
    tiokeys({9, 9, 13});
    EXPECT_TRUE(filenotsaved(te.doc, te.view));
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_EQ(te.doc.filepath, (t.p / "song.pvx").string());
    EXPECT_EQ(fs::file_size(t.p / "song.pvx"), 49u);
}

TEST_F(DialogTest, UnsavedSaveThatFailsAnswersStop)
{
    te.doc.filepath = "/nonexistent-folder-pv/x.pvx";
    te.doc.filesaved = false;
    tiokeys({9, 9, 13});
    EXPECT_FALSE(filenotsaved(te.doc, te.view));
    EXPECT_FALSE(te.doc.filesaved);
}

// A dialog of its own on the component: a button that acts and stays, a
// check box drawn by a hook, and a closing button.
TEST_F(DialogTest, HooksActAndStayAndCustomLook)
{
    sdialog d;
    dlgplace(d, 36, 16);
    const int L = d.leftlo1, T = d.toplo1;
    d.texts.push_back({16, 1, "关于"});
    d.texts.push_back({2, 3, "line", 15, 32});
    int actions = 0;
    bool marked = false;
    dlgadd(d, dlgbutton(L + 30, T + 14, "确定"));
    dlgadd(d, dlgbutton(L + 2, T + 14, "检查更新"));
    sselect box = dlgbutton(L + 2, T + 10, "[ ]");
    box.ssl = "[*]";
    box.slcol = 127;
    dlgadd(d, box);
    d.draw = [&](sdialog& dd, int i, bool focus) {
        const sselect& it = dd.sllo[static_cast<size_t>(i)];
        bool m = i == 2 && marked;
        dlgput(it, focus ? it.mcol : m ? it.slcol : it.col, m ? it.ssl : it.s);
    };
    d.act = [&](sdialog& dd, int i) {
        if (i == 1) {
            dlgpress(dd, i, 0);
            actions++;
            Sleep(10);
            dd.redraw.items = true;
            return -1;
        }
        if (i == 2) {
            marked = !marked;
            dd.redraw.items = true;
            return -1;
        }
        return dlgact(dd, i);
    };
    std::vector<Cell> last;
    tio.onkey = [&] { last = tiocells(); };
    tiokeys({9, 13, 13, 9, 32, 9, 13});
    EXPECT_EQ(dlgrun(d), 0);
    EXPECT_EQ(actions, 2);
    EXPECT_TRUE(marked);
    EXPECT_EQ(d.mouselo, 0);
    EXPECT_EQ(tio.slept, (std::vector<int>{100, 10, 10, 10}));
    scr.cells = last; // before the last Enter
    EXPECT_EQ(grow(scr, T + 1, L + 16, L + 20), "关于");
    EXPECT_EQ(at(L + 2, T + 3), 15);
    EXPECT_EQ(at(L + 33, T + 3), 15); // padded to 32 columns
    EXPECT_EQ(at(L + 34, T + 3), 143);
    EXPECT_EQ(grow(scr, T + 10, L + 2, L + 5), "[*]");
    EXPECT_EQ(at(L + 2, T + 10), 127); // marked, without the focus
    EXPECT_EQ(at(L + 30, T + 14), 240);
}

TEST_F(DialogTest, InputEndingInsideAHookEndsTheLoop)
{
    sdialog d;
    dlgplace(d, 30, 5);
    dlgadd(d, dlgbutton(d.leftlo1 + 2, d.toplo1 + 3, "好"));
    dlgadd(d, dlgbutton(d.leftlo1 + 8, d.toplo1 + 3, "不"));
    d.act = [](sdialog& dd, int) {
        dd.tmp = getkey(); // reads on by itself and meets the end
        return -1;
    };
    tiokeys({13});
    EXPECT_EQ(dlgrun(d), -1);
    EXPECT_EQ(tio.keysread, 2);
}
