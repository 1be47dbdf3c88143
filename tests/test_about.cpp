// SPDX-License-Identifier: MIT
// The about box and the help text.
#include "console/console.h"
#include "dialogs/about.h"
#include "editor/editor.h"
#include "menu/menu.h"
#include "console/width.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// With the start window the about box stands at column 36, row 5.
constexpr int L = 36, T = 5;
constexpr int TAB = 9, ENTER = 13;

bool attrs(int y, int x0, int x1, int a)
{
    for (int x = x0; x < x1; x++)
        if (gcell(scr, x, y).attr != a)
            return false;
    return true;
}


class About : public ::testing::Test {
protected:
    void SetUp() override
    {
        tioreset();
        edreset();
    }
};

TEST_F(About, BoxShowsNameVersionAndCredits)
{
    bool seen = false;
    tio.onkey = [&] {
        if (seen)
            return;
        seen = true;
        EXPECT_EQ(grow(scr, T + 1, L, L + 36), std::string(16, ' ') + "关于" + std::string(16, ' '));
        EXPECT_TRUE(attrs(T + 1, L, L + 36, 143));
        const char* lines[10] = {
            "",
            "       Pellavine Editor",
            "        v1.0 Preview 2",
            "",
            "",
            "",
            nullptr,
            nullptr,
            nullptr,
            " 许可证：MIT（见 LICENSE 文件）",
        };
        for (int i = 0; i < 10; i++) {
            std::string row = grow(scr, T + 3 + i, L + 2, L + 34);
            EXPECT_EQ(strwidth(row), 32);
            if (lines[i]) {
                std::string want = lines[i];
                want.append(static_cast<size_t>(32 - strwidth(want)), ' ');
                EXPECT_EQ(row, want) << "line " << i;
            }
            EXPECT_TRUE(attrs(T + 3 + i, L + 2, L + 34, i == 4 ? 143 : 15)) << "line " << i;
            EXPECT_TRUE(attrs(T + 3 + i, L, L + 2, 143));
            EXPECT_TRUE(attrs(T + 3 + i, L + 34, L + 36, 143));
        }
        EXPECT_EQ(grow(scr, T + 9, L + 2, L + 34).substr(0, 16), " 开发人员：");
        EXPECT_NE(grow(scr, T + 9, L + 2, L + 34).find(CREDITS.name), std::string::npos);
        EXPECT_EQ(grow(scr, T + 10, L + 2, L + 34).find(CREDITS.name2), 11u);
        EXPECT_NE(grow(scr, T + 11, L + 2, L + 34).find(CREDITS.contact), std::string::npos);
        EXPECT_EQ(grow(scr, T + 14, L + 2, L + 10), "检查更新");
        EXPECT_TRUE(attrs(T + 14, L + 2, L + 10, 112));
        EXPECT_EQ(grow(scr, T + 14, L + 30, L + 34), "确定");
        EXPECT_TRUE(attrs(T + 14, L + 30, L + 34, 240)) << "确定 has the focus";
        EXPECT_TRUE(attrs(T + 16, L + 1, L + 37, 0)) << "shadow below";
        EXPECT_EQ(gcell(scr, L + 36, T + 1).attr, 0) << "shadow right";
        EXPECT_EQ(gcell(scr, L, T + 16).attr, 15);
    };
    tiokeys({ENTER});
    about();
    EXPECT_TRUE(seen);
}

TEST_F(About, EnterClosesAtOnce)
{
    tiokeys({ENTER, 'x'});
    about();
    EXPECT_EQ(tio.keysread, 1);
    EXPECT_TRUE(attrs(T + 14, L + 30, L + 34, 247)) << "确定 left pressed";
    EXPECT_EQ(tio.slept, (std::vector<int>{100, 10}));
    EXPECT_EQ(scr.attr, 15);
}

TEST_F(About, UpdateButtonOpensThePageAndKeepsTheBoxOpen)
{
    fakeopener o;
    std::vector<bool> focus;
    tio.onkey = [&] { focus.push_back(attrs(T + 14, L + 2, L + 10, 240)); };
    tiokeys({TAB, ENTER, TAB, ENTER});
    about();
    EXPECT_EQ(o.opened(1), std::vector<std::string>{UPDATEURL});
    EXPECT_EQ(tio.keysread, 4);
    EXPECT_EQ(focus, (std::vector<bool>{false, true, true, false}))
        << "after the update the focus stays on 检查更新";
}

TEST_F(About, OtherKeysDoNothing)
{
    std::vector<std::vector<Cell>> shots;
    tio.onkey = [&] { shots.push_back(tiocells()); };
    tiokeys({'x', 27, KEY_UP, KEY_F1, 3, 'a', 'd', 8, ENTER});
    about();
    ASSERT_EQ(shots.size(), 9u);
    for (size_t i = 1; i < shots.size(); i++)
        EXPECT_TRUE(tiosame(shots[0], shots[i])) << "after key " << i;
    EXPECT_EQ(tio.keys.size(), 0u);
}

TEST_F(About, EndOfInputClosesTheBox)
{
    about();
    EXPECT_EQ(tio.keysread, 1);
    EXPECT_EQ(scr.attr, 15);
}

// ---- help ----

class Help : public About {
protected:
    std::string dir;
    std::string old;
    void SetUp() override
    {
        About::SetUp();
        char tmpl[] = "/tmp/pvhelp.XXXXXX";
        dir = mkdtemp(tmpl);
        old = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(old);
        fs::remove_all(dir);
    }
};

TEST_F(Help, WithoutTheFileShowsTheErrorBox)
{
    // Something left on the screen is cleared first.
    gotoxy(50, 20);
    cput("old text");
    std::string prompt;
    tio.onkey = [&] { prompt = grow(scr, 4, 0, 30); };
    tiokeys({KEY_UP, 'x'}); // an arrow key is one key
    EXPECT_TRUE(help());
    EXPECT_EQ(grow(scr, 0, 0, 34), " ________________________________ ");
    EXPECT_EQ(grow(scr, 1, 0, 34), "*错误:                           *");
    EXPECT_EQ(grow(scr, 2, 0, 34), "*       读取帮助文件失败！       *");
    EXPECT_EQ(grow(scr, 3, 0, 34), "*________________________________*");
    EXPECT_EQ(prompt, "请按任意键继续. . .           ");
    EXPECT_EQ(grow(scr, 20, 50, 58), "        ");
    EXPECT_EQ(tio.keysread, 1);
    EXPECT_EQ(tio.keys.size(), 1u);

    // A folder by that name cannot be read either.
    fs::create_directory(HELPFILE);
    tiokeys({' '});
    EXPECT_TRUE(help());
    EXPECT_EQ(grow(scr, 2, 0, 34), "*       读取帮助文件失败！       *");
}

TEST_F(Help, TheShippedHelpTextFitsTheScreen)
{
    fs::path shipped = fs::path(PV_SOURCE_DIR) / "share/pellavine" / HELPFILE;
    ASSERT_TRUE(fs::exists(shipped)) << shipped;
    fs::copy_file(shipped, HELPFILE);
    std::vector<std::string> lines;
    {
        std::ifstream f(HELPFILE);
        for (std::string l; std::getline(f, l);)
            lines.push_back(l);
    }
    ASSERT_GE(lines.size(), 10u);
    int promptrow = -1;
    tio.onkey = [&] {
        for (int y = 0; y < 27; y++)
            if (grow(scr, y).rfind(PAUSEMSG, 0) == 0)
                promptrow = y;
    };
    tiokeys({'q'});
    EXPECT_FALSE(help());
    // Every line on its own row from the top, nothing wrapped or scrolled
    // away, one blank row and then the prompt.
    for (size_t i = 0; i < lines.size(); i++) {
        std::string row = grow(scr, static_cast<int>(i));
        EXPECT_EQ(row.substr(0, lines[i].size()), lines[i]) << "line " << i;
        EXPECT_EQ(strwidth(row), 108);
    }
    EXPECT_EQ(promptrow, static_cast<int>(lines.size()) + 1);
    EXPECT_LE(promptrow, 26);
    EXPECT_NE(lines[0].find("Pellavine"), std::string::npos);
    EXPECT_EQ(tio.keysread, 1);
}

TEST(HelpPaths, WorkingFolderFirstThenBesideTheExecutable)
{
    const struct {
        std::string exedir;
        std::vector<std::string> paths;
    } cases[] = {
        {"/usr/bin/", {"说明.txt", "/usr/bin/../share/pellavine/说明.txt"}},
        {"/home/u/pellavine/build/", {"说明.txt", "/home/u/pellavine/build/../share/pellavine/说明.txt"}},
        {"/", {"说明.txt", "/../share/pellavine/说明.txt"}},
        // No folder known: never a path from the file system's root.
        {"", {"说明.txt"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(helppaths(c.exedir), c.paths) << c.exedir;
}

TEST_F(Help, ShowsTheFileAsItIs)
{
    std::ofstream(HELPFILE) << "第一行\r\n\tx\n坏\xFF字节";
    tiokeys({'q'});
    EXPECT_FALSE(help());
    EXPECT_EQ(grow(scr, 0, 0, 8), "第一行  ");
    EXPECT_EQ(grow(scr, 1, 0, 10), "        x ");
    EXPECT_EQ(grow(scr, 2, 0, 8), "坏\uFFFD字节 ");
    EXPECT_EQ(grow(scr, 3, 0, 19), "请按任意键继续. . .") << "the text had no final newline";
}

TEST_F(Help, CtrlCDoesNotEndThePause)
{
    std::ofstream(HELPFILE) << "text";
    struct {
        std::vector<int> keys;
        int read; // keys the pause took
    } cases[] = {
        {{'q'}, 1},
        {{3, 'q'}, 2},
        {{3, 3, KEY_UP, 'x'}, 3}, // an arrow key is one key
        {{3}, 2},                  // then the input ends
    };
    for (const auto& c : cases) {
        tioreset();
        for (int k : c.keys)
            tio.keys.push_back(k);
        EXPECT_FALSE(help());
        EXPECT_EQ(tio.keysread, c.read) << c.keys.size();
    }
}

TEST_F(Help, ControlCharactersInTheFileShowAsReplacements)
{
    std::ofstream(HELPFILE) << "a\x1b[2Jb\xC2\x9B" "3;5rc\xC2\x85" "d\x07\x7f" "e\x9b";
    tiokeys({'q'});
    EXPECT_FALSE(help());
    EXPECT_EQ(grow(scr, 0, 0, 19), "a\uFFFD[2Jb\uFFFD3;5rc\uFFFDd\uFFFD\uFFFDe\uFFFD ");
}

} // namespace
