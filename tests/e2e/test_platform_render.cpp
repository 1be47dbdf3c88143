// SPDX-License-Identifier: MIT
// Frames as a real terminal shows them: the renderer's bytes go into libvterm
// and every cell (character and colours), the cursor and the pen must equal
// the grid.
#include "console/console.h"
#include "platform/render.h"
#include "vt.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

std::string describe(char32_t c)
{
    char b[16];
    std::snprintf(b, sizeof b, "U+%04X", static_cast<unsigned>(c));
    return b;
}

// "" when the terminal shows the grid, else the first difference.
std::string mismatch(const Grid& g, const vt& t)
{
    for (int y = 0; y < g.h; y++)
        for (int x = 0; x < g.w; x++) {
            const Cell& c = gcell(g, x, y);
            std::string at = " at (" + std::to_string(x) + "," + std::to_string(y) + ")";
            int bg = consoleindex(c.attr >> 4), fg = consoleindex(c.attr & 15);
            VTermScreenCell vc = t.cell(x, y);
            if (c.part == 2) {
                if (vc.chars[0] == static_cast<uint32_t>(-1))
                    continue; // the terminal's own right half of the wide glyph
                if (vc.chars[0] != 0 && vc.chars[0] != U' ')
                    return "right half not blank" + at;
                if (t.bg(x, y) != bg)
                    return "background of right half" + at;
                continue;
            }
            char32_t want = c.ch;
            uint32_t got = vc.chars[0] ? vc.chars[0] : U' ';
            if (got != want)
                return "character " + describe(got) + " instead of " + describe(want) + at;
            if (t.bg(x, y) != bg)
                return "background " + std::to_string(t.bg(x, y)) + " instead of " + std::to_string(bg) + at;
            if (want != U' ' && t.fg(x, y) != fg)
                return "foreground " + std::to_string(t.fg(x, y)) + " instead of " + std::to_string(fg) + at;
        }
    VTermPos p = t.cursor();
    int cx = g.cx, cy = g.cy;
    if (cx >= g.w && cy + 1 < g.h) {
        cx = 0;
        cy++;
    } else if (cx >= g.w) {
        cx = g.w - 1;
    }
    if (p.col != cx || p.row != cy)
        return "cursor at (" + std::to_string(p.col) + "," + std::to_string(p.row) + ") instead of (" +
               std::to_string(cx) + "," + std::to_string(cy) + ")";
    if (t.penfg() != consoleindex(g.attr & 15) || t.penbg() != consoleindex(g.attr >> 4))
        return "pen colours differ from the grid's attribute";
    return "";
}

const unsigned char attrs[] = {0, 7, 15, 112, 120, 127, 128, 143, 240, 247, 248, 31, 78, 200};
const char* const texts[] = {
    "a", "*", "-", "<", "+", "x", "|", "__", "   C |", "|00:00:00", "音符: C", "  修改音符长度",
    "↑", "↓", "◎", "文件", "：", "，", "é", "\xff", "\x01", "·", "  ", "                ", "abc def",
    "3", "保存成功！", "↑↓", "C#4", "♪",
};

// Draws random things into g the way the program does: moves, colours, text.
void scribble(Grid& g, std::mt19937& rng, int n)
{
    for (int i = 0; i < n; i++) {
        gmove(g, static_cast<int>(rng() % static_cast<unsigned>(g.w)), static_cast<int>(rng() % static_cast<unsigned>(g.h)));
        g.attr = attrs[rng() % sizeof attrs];
        int k = static_cast<int>(rng() % 4) + 1;
        for (int j = 0; j < k; j++)
            gput(g, texts[rng() % (sizeof texts / sizeof texts[0])]);
    }
}

} // namespace

TEST(Render, ColoursAsTheConsoleNumbersThem)
{
    EXPECT_EQ(sgrcolors(0), "30;40");
    EXPECT_EQ(sgrcolors(7), "37;40");
    EXPECT_EQ(sgrcolors(15), "97;40");
    EXPECT_EQ(sgrcolors(112), "30;47");
    EXPECT_EQ(sgrcolors(120), "90;47");
    EXPECT_EQ(sgrcolors(127), "97;47");
    EXPECT_EQ(sgrcolors(128), "30;100");
    EXPECT_EQ(sgrcolors(143), "97;100");
    EXPECT_EQ(sgrcolors(240), "30;107");
    EXPECT_EQ(sgrcolors(247), "37;107");
    EXPECT_EQ(sgrcolors(248), "90;107");
    EXPECT_EQ(sgrcolors(1 + 16 * 4), "34;41"); // console blue on red
    EXPECT_EQ(sgrcolors(12 + 16 * 9), "91;104");

    // Every attribute, drawn: black is an explicit black, never the default.
    Grid g;
    gresize(g, 32, 8);
    for (int a = 0; a < 256; a++) {
        gmove(g, a % 32, a / 32);
        g.attr = static_cast<unsigned char>(a);
        gput(g, "#");
    }
    Screen s;
    std::string out;
    rframe(s, g, out);
    vt t(32, 8);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");
}

TEST(Render, RandomFramesMatchTheTerminal)
{
    for (int tw : {SCRW, SCRW + 13}) { // the terminal may be wider and taller
        std::mt19937 rng(12345u + static_cast<unsigned>(tw));
        Grid g;
        gresize(g, SCRW, SCRH);
        Screen s;
        vt t(tw, SCRH + (tw > SCRW ? 4 : 0));
        for (int frame = 0; frame < 300; frame++) {
            if (frame % 97 == 5) {
                g.attr = 15;
                gclear(g);
            }
            scribble(g, rng, static_cast<int>(rng() % 12));
            std::string out;
            rframe(s, g, out);
            t.feed(out);
            std::string m = mismatch(g, t);
            ASSERT_EQ(m, "") << "frame " << frame << ", terminal width " << tw;
        }
    }
}

TEST(Render, WideAndUnsureGlyphsKeepTheirColumns)
{
    Grid g;
    gresize(g, SCRW, SCRH);
    Screen s;
    vt t(SCRW, SCRH);
    // The scroll bar arrows fill two columns at the right edge; text after
    // an ambiguous glyph stays in its own column.
    gmove(g, 106, 2);
    gput(g, "↑");
    gmove(g, 106, 25);
    gput(g, "↓");
    gmove(g, 0, 0);
    gput(g, "◎x·yé|\xffz修改音符长度");
    std::string out;
    rframe(s, g, out);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");
    EXPECT_EQ(t.row(2, 106), "↑ ");
    EXPECT_EQ(t.row(0, 0, 9), "◎ x·yé|�z");
    EXPECT_EQ(t.row(0, 9, 21), "修改音符长度");

    // Replacing a wide glyph by narrow ones and the other way round.
    gmove(g, 10, 0);
    gput(g, "abc");
    gmove(g, 2, 0);
    gput(g, "音");
    out.clear();
    rframe(s, g, out);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");
}

TEST(Render, RepairsWhatItWasToldIsUnknown)
{
    std::mt19937 rng(7);
    Grid g;
    gresize(g, SCRW, SCRH);
    scribble(g, rng, 200);
    Screen s;
    vt t(SCRW, SCRH);
    std::string out;
    rframe(s, g, out);
    t.feed(out);
    ASSERT_EQ(mismatch(g, t), "");

    // A line read's echo writes over rows from the cursor row down, in a
    // colour of its own, and leaves the cursor somewhere else.
    t.feed("\x1b[20;5H\x1b[35;42mtyped text that wraps around the end of the row ......................"
           "..............................and more\x1b[3;1H");
    rforgetrows(s, 19);
    out.clear();
    rframe(s, g, out);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");

    // After a resize the terminal may show anything.
    t.feed("\x1b[0m\x1b[2J\x1b[1;1Hgarbage\x1b[44m\x1b[10;10Hmore garbage");
    rinvalidate(s);
    out.clear();
    rframe(s, g, out);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");
}

TEST(Render, EchoColoursAreNotTrusted)
{
    // The echo leaves the terminal in a colour the renderer did not choose;
    // blanks redrawn first must not make it believe the foreground is right.
    Grid g;
    gresize(g, 10, 3);
    g.attr = 15;
    gmove(g, 0, 1);
    gput(g, "  ab");
    Screen s;
    vt t(10, 3);
    std::string out;
    rframe(s, g, out);
    t.feed(out);
    t.feed("\x1b[2;1H\x1b[35;40mxyzw");
    rforgetrows(s, 1);
    out.clear();
    rframe(s, g, out);
    t.feed(out);
    EXPECT_EQ(mismatch(g, t), "");
}

TEST(Render, AmbiguousGlyphsAreFollowedByAnExplicitMove)
{
    // Terminals draw these one or two columns wide; whatever they do, the
    // next character must not depend on where the terminal left the cursor.
    for (const char* glyph : {"é", "\xff", "·"}) {
        Grid g;
        gresize(g, 10, 2);
        gput(g, glyph);
        gput(g, "z");
        Screen s;
        std::string out;
        rframe(s, g, out);
        size_t z = out.find('z');
        ASSERT_NE(z, std::string::npos);
        EXPECT_NE(out.rfind('\x1b', z), std::string::npos);
        EXPECT_GT(out.rfind('\x1b', z), out.find(glyph[0] == '\xff' ? "\xEF\xBF\xBD" : glyph)) << glyph;
    }
    // The two-column arrows: both cells blanked, the glyph in the first,
    // then a move.
    Grid g;
    gresize(g, 10, 2);
    gput(g, "↑z");
    Screen s;
    std::string out;
    rframe(s, g, out);
    size_t arrow = out.find("↑");
    ASSERT_NE(arrow, std::string::npos);
    EXPECT_NE(out.substr(0, arrow).find("  "), std::string::npos);
    EXPECT_GT(out.rfind('\x1b', out.find('z')), arrow);
}

TEST(Render, FramesCarryOnlyTheChanges)
{
    Grid g;
    gresize(g, SCRW, SCRH);
    Screen s;
    vt t(SCRW, SCRH);
    auto frame = [&] {
        std::string out;
        rframe(s, g, out);
        t.feed(out);
        EXPECT_EQ(mismatch(g, t), "");
        return out.size();
    };
    // A screen like the editor's: status row, staff rows, a ruler.
    g.attr = 112;
    gmove(g, 0, 26);
    gput(g, "音符: C3                                                                                     ");
    for (int y = 2; y < 26; y++) {
        gmove(g, 0, y);
        g.attr = 240;
        gput(g, "   C |");
        g.attr = static_cast<unsigned char>(y % 2 ? 248 : 120);
        for (int x = 6; x < 106; x++)
            gput(g, y % 2 ? "-" : " ");
        g.attr = 128;
        gput(g, "  ");
    }
    g.attr = 7;
    gmove(g, 6, 1);
    gput(g, "|00:00:00");
    g.attr = 15;
    gmove(g, 6, 17);
    size_t first = frame();
    EXPECT_GT(first, static_cast<size_t>(SCRW * SCRH));

    EXPECT_EQ(frame(), 0u); // nothing changed: nothing written

    // One cell in the current colour next to the cursor: the character only.
    gput(g, "<");
    gmove(g, 7, 17);
    EXPECT_EQ(frame(), 1u);

    // A cursor move alone.
    gmove(g, 20, 17);
    size_t move = frame();
    EXPECT_LE(move, 5u);

    // A one-cell change elsewhere in another colour: move, colour, character,
    // move back, colour back (8 + 10 + 1 + 8 + 9 bytes).
    g.attr = 240;
    gmove(g, 50, 10);
    gput(g, "x");
    g.attr = 15;
    gmove(g, 20, 17);
    size_t cell = frame();
    EXPECT_LE(cell, 36u);

    // The status text changes.
    g.attr = 112;
    gmove(g, 94, 26);
    gput(g, "  修改音符长度");
    g.attr = 15;
    gmove(g, 20, 17);
    size_t status = frame();
    EXPECT_LE(status, 56u);

    std::printf("[ bytes    ] first frame %zu, no change 0, one cell at the cursor 1, cursor move %zu, "
                "one cell elsewhere %zu, status text %zu\n",
                first, move, cell, status);
}

TEST(Render, ControlCharactersNeverReachTheTerminal)
{
    // Cells that somehow hold C0 or C1 controls, and text with them drawn
    // the usual way: the terminal shows U+FFFD and nothing else changes.
    const char32_t controls[] = {0x01, 0x07, 0x0E, 0x1B, 0x7F, 0x80, 0x85, 0x8D, 0x90, 0x9B, 0x9D, 0x9F};
    Grid g;
    gresize(g, 20, 4);
    for (int y = 0; y < 4; y++) {
        gmove(g, 0, y);
        gput(g, "row" + std::to_string(y));
    }
    int x = 0;
    for (char32_t c : controls)
        gcell(g, x++, 1) = Cell{c, 15, 0};
    gmove(g, 0, 2);
    gput(g, "\xC2\x9B" "2J\x1b[3;4r\xC2\x85" "x\x07");
    Screen s;
    std::string out;
    rframe(s, g, out);
    vt t(20, 4);
    t.feed(out);
    for (int i = 0; i < x; i++)
        EXPECT_EQ(t.ch(i, 1), 0xFFFDu) << describe(controls[i]);
    EXPECT_EQ(t.row(2, 0, 12), "\uFFFD2J\uFFFD[3;4r\uFFFDx\uFFFD");
    EXPECT_EQ(t.row(0, 0, 4), "row0");
    EXPECT_EQ(t.row(3, 0, 4), "row3");
    for (int i = 0; i < x; i++) // the grid itself keeps what it was given
        gcell(g, i, 1).ch = 0xFFFD;
    EXPECT_EQ(mismatch(g, t), "");
}
