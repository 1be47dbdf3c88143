// SPDX-License-Identifier: MIT
// The open and save dialogs, driven by keys and typed lines.
#include "testio.h"

#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "files/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int at(int x, int y) { return gcell(scr, x, y).attr; }

struct FileDialogTest : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        tioreset();
        edreset();
        static int n = 0;
        dir = fs::temp_directory_path() / ("pvfdlg-" + std::to_string(getpid()) + "-" + std::to_string(n++));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void touch(const fs::path& p) { std::ofstream(p) << "x"; }

    // Open dialog: type `line` into the path field, then 确定.
    bool openwith(const std::string& line, std::string& path)
    {
        tioreset();
        tiokeys({13});
        tioline(line);
        tiokeys({9, 9, 13});
        return slfile(pathdlg::open, path);
    }
    // Save dialog: type the folder and the name, then 确定.
    bool savewith(const std::string& folder, const std::string& name, std::string& path)
    {
        tioreset();
        tiokeys({13});
        tioline(folder);
        tiokeys({9, 13});
        tioline(name);
        tiokeys({9, 9, 13});
        return slfile(pathdlg::save, path);
    }
};

} // namespace

TEST_F(FileDialogTest, OpenBoxAtTheStartSize)
{
    std::vector<Cell> shot;
    tio.onkey = [&] { shot = tiocells(); };
    std::string path = "keep";
    EXPECT_TRUE(slfile(pathdlg::open, path)); // input ends: cancelled
    EXPECT_EQ(path, "keep");
    scr.cells = shot;
    EXPECT_EQ(at(19, 9), 143);
    EXPECT_EQ(at(88, 16), 143);
    EXPECT_EQ(at(18, 9), 15);
    EXPECT_EQ(at(89, 9), 15);
    EXPECT_EQ(at(89, 10), 0);
    EXPECT_EQ(at(89, 17), 0);
    EXPECT_EQ(at(20, 17), 0);
    EXPECT_EQ(at(19, 17), 15);
    EXPECT_EQ(grow(scr, 10, 21, 29), "打开文件");
    EXPECT_EQ(grow(scr, 12, 21, 46), "路径(请将文件拖拽至此处):");
    EXPECT_EQ(at(45, 12), 143);
    for (int x = 21; x < 87; x++)
        ASSERT_EQ(at(x, 13), 248) << x; // the field has the focus
    EXPECT_EQ(at(87, 13), 143);
    EXPECT_EQ(grow(scr, 15, 78, 87), "取消 确定");
    EXPECT_EQ(at(78, 15), 112);
    EXPECT_EQ(at(83, 15), 112);
    EXPECT_EQ(scr.cx, 21);
    EXPECT_EQ(scr.cy, 13);
}

TEST_F(FileDialogTest, SaveBoxAndFocusOrder)
{
    std::vector<std::vector<Cell>> shots;
    std::vector<std::pair<int, int>> cursor;
    tio.onkey = [&] {
        shots.push_back(tiocells());
        cursor.emplace_back(scr.cx, scr.cy);
    };
    tiokeys({9, 9, 9, 9});
    std::string path = "keep";
    EXPECT_TRUE(slfile(pathdlg::save, path));
    EXPECT_EQ(path, "keep");
    ASSERT_EQ(shots.size(), 5u);
    // folder, name, 取消, 确定, folder again
    EXPECT_EQ(cursor, (std::vector<std::pair<int, int>>{{21, 12}, {21, 14}, {78, 16}, {83, 16}, {21, 12}}));

    scr.cells = shots[0];
    EXPECT_EQ(at(19, 8), 143);
    EXPECT_EQ(at(88, 17), 143);
    EXPECT_EQ(at(89, 18), 0);
    EXPECT_EQ(at(19, 18), 15);
    EXPECT_EQ(grow(scr, 9, 21, 29), "保存文件");
    EXPECT_EQ(grow(scr, 11, 21, 58), "路径(请将要保存到的文件夹拖拽至此处):");
    EXPECT_EQ(grow(scr, 13, 21, 28), "文件名:");
    EXPECT_EQ(at(21, 12), 248);
    EXPECT_EQ(at(86, 12), 248);
    EXPECT_EQ(at(21, 14), 112);
    EXPECT_EQ(at(81, 14), 112);
    EXPECT_EQ(at(82, 14), 143); // one blank column before the extension
    EXPECT_EQ(grow(scr, 14, 83, 87), ".pvx");
    EXPECT_EQ(at(83, 14), 112);
    EXPECT_EQ(grow(scr, 16, 78, 87), "取消 确定");

    scr.cells = shots[1]; // focus on the name
    EXPECT_EQ(at(21, 12), 112);
    EXPECT_EQ(at(21, 14), 248);
    scr.cells = shots[3]; // focus on 确定
    EXPECT_EQ(at(78, 16), 112);
    EXPECT_EQ(at(83, 16), 240);
    scr.cells = shots[4]; // back on the folder
    EXPECT_EQ(at(83, 16), 112);
    EXPECT_EQ(at(21, 12), 248);
}

TEST_F(FileDialogTest, FieldTurnsBlackWhileTypedThenShowsTheText)
{
    std::vector<Cell> typing;
    int cx = -1, cy = -1, attr = -1;
    tio.online = [&] {
        typing = tiocells();
        cx = scr.cx;
        cy = scr.cy;
        attr = scr.attr;
    };
    std::vector<Cell> after;
    tio.onkey = [&] {
        if (tio.keysread == 1)
            after = tiocells();
    };
    tiokeys({13});
    tioline("音乐/a");
    std::string path;
    EXPECT_TRUE(slfile(pathdlg::open, path));
    scr.cells = typing;
    for (int x = 21; x < 87; x++)
        ASSERT_EQ(at(x, 13), 15) << x;
    EXPECT_EQ(at(87, 13), 143);
    EXPECT_EQ(cx, 21);
    EXPECT_EQ(cy, 13);
    EXPECT_EQ(attr, 15); // the echo shows white on black
    scr.cells = after;
    EXPECT_EQ(grow(scr, 13, 21, 31), "音乐/a    ");
    EXPECT_EQ(at(21, 13), 248); // the focus stayed on the field
    EXPECT_EQ(at(86, 13), 248);
    EXPECT_EQ(at(87, 13), 143);

    // An empty line leaves a field of blanks in the focus colour.
    tioreset();
    tiokeys({13});
    tioline("");
    tio.onkey = [&] {
        if (tio.keysread == 1)
            after = tiocells();
    };
    EXPECT_TRUE(slfile(pathdlg::open, path));
    scr.cells = after;
    for (int x = 21; x < 87; x++)
        ASSERT_TRUE(at(x, 13) == 248 && gcell(scr, x, 13).ch == U' ') << x;
}

TEST_F(FileDialogTest, LongTextStaysInsideTheBoxAndWhole)
{
    std::string folder = (dir / std::string(120, 'd')).string();
    fs::create_directories(folder);
    std::vector<Cell> after;
    std::string path;
    tio.onkey = [&] {
        if (tio.keysread == 1)
            after = tiocells();
    };
    tiokeys({13});
    tioline(folder);
    tiokeys({9, 13});
    tioline(std::string(100, 'n'));
    tiokeys({9, 9, 13});
    EXPECT_FALSE(slfile(pathdlg::save, path));
    EXPECT_EQ(path, folder + "/" + std::string(100, 'n') + ".pvx"); // never cut
    scr.cells = after;
    // The echo wrapped past the box; the box was drawn again over it.
    for (int y = 8; y <= 17; y++) {
        EXPECT_EQ(at(19, y), 143) << y;
        EXPECT_EQ(at(88, y), 143) << y;
        EXPECT_EQ(at(89, y), y == 8 ? 15 : 0) << y;
    }
    std::string shown = grow(scr, 12, 21, 87);
    EXPECT_EQ(shown.substr(0, 3), "...");
    EXPECT_EQ(shown.substr(3), folder.substr(folder.size() - 63));
    EXPECT_EQ(at(21, 12), 248);
    EXPECT_EQ(grow(scr, 13, 28, 88), std::string(60, ' '));
    EXPECT_EQ(at(60, 13), 143);
    EXPECT_EQ(grow(scr, 14, 83, 87), ".pvx");
}

TEST_F(FileDialogTest, OpenResults)
{
    std::string path = "keep";
    // Cancel: nothing handed back.
    tiokeys({13});
    tioline("/some/file.pvx");
    tiokeys({9, 13});
    EXPECT_TRUE(slfile(pathdlg::open, path));
    EXPECT_EQ(path, "keep");
    // An empty path is confirmed as it is.
    EXPECT_FALSE(openwith("", path));
    EXPECT_EQ(path, "");
    // The text is taken as typed: no extension added, blanks kept.
    EXPECT_FALSE(openwith("  plain name", path));
    EXPECT_EQ(path, "  plain name");
}

TEST_F(FileDialogTest, OpenTakesADroppedPath)
{
    const std::string f = (dir / "my song.pvx").string();
    touch(f);
    std::string path;
    EXPECT_FALSE(openwith("'" + f + "' ", path)); // single quotes, one blank after
    EXPECT_EQ(path, f);
    EXPECT_FALSE(openwith("\"" + f + "\"", path));
    EXPECT_EQ(path, f);
    std::string esc = f;
    esc.replace(esc.find(' '), 1, "\\ ");
    EXPECT_FALSE(openwith(esc + " ", path));
    EXPECT_EQ(path, f);
    // A file whose name really has the quotes is taken as typed.
    const std::string q = (dir / "\"q\"").string();
    touch(q);
    EXPECT_FALSE(openwith(q, path));
    EXPECT_EQ(path, q);
    // Text that is not one dropped path stays as typed.
    EXPECT_FALSE(openwith("\"a\" \"b\"", path));
    EXPECT_EQ(path, "\"a\" \"b\"");
}

TEST_F(FileDialogTest, SaveBuildsTheFolderNameAndExtension)
{
    std::string path;
    EXPECT_FALSE(savewith("\"/tmp/x\"", "a", path));
    EXPECT_EQ(path, "/tmp/x/a.pvx");
    EXPECT_FALSE(savewith("/tmp/x/", "a", path));
    EXPECT_EQ(path, "/tmp/x/a.pvx");
    EXPECT_FALSE(savewith("/tmp/x", "a.pvx", path));
    EXPECT_EQ(path, "/tmp/x/a.pvx.pvx");
    EXPECT_FALSE(savewith("", "a", path)); // the working folder
    EXPECT_EQ(path, "a.pvx");
    EXPECT_FALSE(savewith("\"\"", "a", path));
    EXPECT_EQ(path, "a.pvx");
    EXPECT_FALSE(savewith("/tmp", "", path)); // the name as typed, even empty
    EXPECT_EQ(path, "/tmp/.pvx");
    EXPECT_FALSE(savewith("/tmp", "\"n\"", path));
    EXPECT_EQ(path, "/tmp/\"n\".pvx");

    // Dropped folders with a blank in their name.
    const std::string d = (dir / "my songs").string();
    fs::create_directories(d);
    EXPECT_FALSE(savewith("'" + d + "' ", "a", path));
    EXPECT_EQ(path, d + "/a.pvx");
    EXPECT_FALSE(savewith("\"" + d + "\" ", "a", path));
    EXPECT_EQ(path, d + "/a.pvx");
    std::string esc = d;
    esc.replace(esc.find(' '), 1, "\\ ");
    EXPECT_FALSE(savewith(esc, "a", path));
    EXPECT_EQ(path, d + "/a.pvx");
    // A folder that exists as typed wins over its decoded form.
    const std::string lit = (dir / "a\\ b").string();
    fs::create_directories(lit);
    EXPECT_FALSE(savewith(lit, "n", path));
    EXPECT_EQ(path, lit + "/n.pvx");

}


TEST(DropDecode, ShellWordForms)
{
    EXPECT_EQ(dropdecode("'/a b/c'"), "/a b/c");
    EXPECT_EQ(dropdecode("'/a b/c' "), "/a b/c");
    EXPECT_EQ(dropdecode("'it'\\''s'"), "it's");
    EXPECT_EQ(dropdecode("\"/a \\\"b\\\" \\\\c\""), "/a \"b\" \\c");
    EXPECT_EQ(dropdecode("\"C:\\music\""), "C:\\music"); // a backslash before a plain character stays
    EXPECT_EQ(dropdecode("/a\\ b\\(1\\)"), "/a b(1)");
    EXPECT_EQ(dropdecode("/a\\ "), "/a ");   // the blank is escaped: part of the name
    EXPECT_EQ(dropdecode("/a\\  "), "/a ");  // and one more blank dropped
    EXPECT_EQ(dropdecode("/plain "), "/plain");
    // Not one dropped path.
    EXPECT_EQ(dropdecode("/plain"), "");
    EXPECT_EQ(dropdecode(""), "");
    EXPECT_EQ(dropdecode("/a b"), "");
    EXPECT_EQ(dropdecode("'/a' '/b'"), "");
    EXPECT_EQ(dropdecode("'/a"), "");
    EXPECT_EQ(dropdecode("\"/a"), "");
    EXPECT_EQ(dropdecode("/a\\"), "");
    EXPECT_EQ(dropdecode("/a  "), "");
}
