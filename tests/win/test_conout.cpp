// SPDX-License-Identifier: MIT
// The classic console output: the records a grid becomes (attributes, wide
// characters, characters beyond 16 bits), the rows a frame rewrites, and a
// frame read back cell by cell from a console buffer of its own.
#include "platform/win32/conout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Grid grid(int w, int h, std::initializer_list<std::pair<int, std::string>> rows, unsigned char attr = 15)
{
    Grid g;
    gresize(g, w, h);
    g.attr = attr;
    for (const auto& [y, text] : rows) {
        gmove(g, 0, y);
        gput(g, text);
    }
    return g;
}

void expectcell(const CHAR_INFO& c, wchar_t ch, WORD attr)
{
    EXPECT_EQ(static_cast<int>(c.Char.UnicodeChar), static_cast<int>(ch));
    EXPECT_EQ(c.Attributes, attr);
}

TEST(ConOut, CellsCarryTheGridsAttributesAndBothHalvesOfWideCharacters)
{
    Grid g = grid(6, 1, {{0, "a音\U0001F3B5"}}, 143);
    struct {
        conwide wide;
        wchar_t right; // the right half of 音
    } cases[] = {{conwide::pair, L'音'}, {conwide::zerowidth, L'\u200B'}};
    for (const auto& c : cases) {
        std::vector<CHAR_INFO> v = concells(g, c.wide);
        ASSERT_EQ(v.size(), 6u);
        expectcell(v[0], L'a', 143);
        expectcell(v[1], L'音', 143 | COMMON_LVB_LEADING_BYTE);
        expectcell(v[2], c.right, 143 | COMMON_LVB_TRAILING_BYTE);
        EXPECT_EQ(static_cast<int>(v[3].Char.UnicodeChar), 0xFFFD); // beyond 16 bits
        expectcell(v[5], L' ', 15);
    }
}

TEST(ConOut, OnlyTheRowsBetweenTheFirstAndLastChangeAreRewritten)
{
    Grid a = grid(4, 5, {{0, "abcd"}, {2, "ef"}});
    struct {
        Grid b;
        int first, last;
    } cases[] = {
        {a, -1, -1},
        {grid(4, 5, {{0, "abcd"}, {2, "eg"}}), 2, 2},
        {grid(4, 5, {{0, "abce"}, {2, "ef"}, {4, "x"}}), 0, 4},
        {grid(4, 5, {{0, "abcd"}, {2, "ef"}}, 31), 0, 2}, // colour only
    };
    std::vector<CHAR_INFO> before = concells(a, conwide::pair);
    for (const auto& c : cases) {
        rowspan r = conchanged(before, concells(c.b, conwide::pair), 4, 5);
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.last, c.last);
    }
    EXPECT_EQ(conchanged({}, before, 4, 5).first, 0); // nothing known: every row
}

TEST(ConOut, AFrameReadsBackFromTheConsoleBufferCellByCell)
{
    if (!GetConsoleWindow())
        AllocConsole(); // a console of the test's own when it runs without one
    HANDLE h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no console";
    Grid g = grid(10, 3, {{1, "x音y"}}, 0x1E);
    g.cx = 4;
    g.cy = 1;
    conscreen s;
    ASSERT_TRUE(conframe(h, s, g));
    gmove(g, 0, 2);
    gput(g, "z");
    ASSERT_TRUE(conframe(h, s, g)); // only the last row changes
    CONSOLE_SCREEN_BUFFER_INFO bi;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(h, &bi));
    CHAR_INFO back[30];
    SMALL_RECT from{bi.srWindow.Left, bi.srWindow.Top, static_cast<SHORT>(bi.srWindow.Left + 9),
                    static_cast<SHORT>(bi.srWindow.Top + 2)};
    ASSERT_TRUE(ReadConsoleOutputW(h, back, COORD{10, 3}, COORD{0, 0}, &from));
    expectcell(back[10], L'x', 0x1E);
    EXPECT_EQ(static_cast<int>(back[11].Char.UnicodeChar), static_cast<int>(L'音'));
    expectcell(back[13], L'y', 0x1E);
    expectcell(back[20], L'z', 0x1E);
    expectcell(back[0], L' ', 15);
    EXPECT_EQ(bi.dwCursorPosition.X, bi.srWindow.Left + 1); // after the z written last
    EXPECT_EQ(bi.dwCursorPosition.Y, bi.srWindow.Top + 2);
    CloseHandle(h);
}

} // namespace
