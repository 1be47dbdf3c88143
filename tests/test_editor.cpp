// SPDX-License-Identifier: MIT
// The editor driven as a user drives it: keys in, screen cells and score out.
#include "score/ring.h"
#include "editor/editor.h"
#include "editor/run.h"
#include "files/files.h"
#include "menu/menu.h"
#include "naivering.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

constexpr int W = 100, H = 23;

struct Editor : ::testing::Test {
    void SetUp() override
    {
        tioreset();
        edreset();
        tbset(te.bar);
    }
    // Starts the editor on a new score, types the keys and returns when the
    // keys run out (end of input).
    int run(std::string_view keys)
    {
        tiotype(keys);
        return edit(te);
    }
    // The same on the score and view already in memory.
    int resume(std::string_view keys)
    {
        tiotype(keys);
        return edit(te, false);
    }
    static std::string text(int y, int x0, int x1) { return grow(scr, y, x0, x1); }
    static char32_t ch(int x, int y) { return gcell(scr, x, y).ch; }
    static int attr(int x, int y) { return gcell(scr, x, y).attr; }
    static std::vector<smusic> notes()
    {
        std::vector<smusic> v;
        for (const smusic& m : te.doc.music.queue())
            if (!issentinel(m))
                v.push_back(m);
        std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.start < b.start; });
        return v;
    }
    static void setscore(std::vector<smusic> v)
    {
        v.push_back(SENTINEL);
        te.doc.music.assign(v);
    }
};

TEST_F(Editor, FirstFrame)
{
    run("");
    // Keyboard column: row 55 (C of octave 3) is screen row 17, digit in column 4.
    EXPECT_EQ(text(17, 0, 6), "   C3|");
    EXPECT_EQ(attr(0, 17), 240);
    EXPECT_EQ(attr(4, 17), 240);
    // A sharp row: the black key "__" in 15, then the label in 240.
    EXPECT_EQ(text(2, 0, 6), "__---|");
    EXPECT_EQ(attr(0, 2), 15);
    EXPECT_EQ(attr(2, 2), 240);
    // Staff rows in their two colours.
    EXPECT_EQ(ch(50, 3), U'_');
    EXPECT_EQ(attr(50, 3), 248); // row 41 is odd
    EXPECT_EQ(attr(50, 4), 120); // row 42 is even
    // Time ruler: the position label covers the first mark, the next marks follow every ten columns.
    EXPECT_EQ(text(1, 6, 17), "|00:00:00.0");
    EXPECT_EQ(attr(6, 1), 120);
    EXPECT_EQ(attr(7, 1), 143);
    EXPECT_EQ(text(1, 26, 36), "|00:00:02 ");
    EXPECT_EQ(attr(26, 1), 7);
    EXPECT_EQ(text(1, 0, 6), "______");
    // Scroll bars: arrows, thumb of the vertical bar on track cells 10 to 14.
    EXPECT_EQ(ch(W + 6, 2), U'↑');
    EXPECT_EQ(gcell(scr, W + 6, 2).part, 1);
    EXPECT_EQ(ch(W + 6, H + 1), U'↓');
    for (int i = 0; i <= H - 3; i++)
        EXPECT_EQ(attr(W + 6, i + 3), i >= 10 && i < 15 ? 128 : 112) << i;
    EXPECT_EQ(text(H + 2, 6, 9), "<__");
    EXPECT_EQ(attr(6, H + 2), 15);
    EXPECT_EQ(attr(7, H + 2), 128);
    // Status row.
    EXPECT_EQ(text(H + 3, 0, 7), "音符: C");
    EXPECT_EQ(text(H + 3, 7, 24), "|位置:00:00:00.0|");
    EXPECT_EQ(text(H + 3, 47, 61), VERSIONTEXT);
    EXPECT_EQ(text(H + 3, W - 6, W + 8), "    创建新音符");
    EXPECT_EQ(attr(W + 7, H + 3), 112);
    // The cursor mark on an odd row, the column line above and below it.
    EXPECT_EQ(ch(6, 17), U'+');
    EXPECT_EQ(attr(6, 17), 240);
    EXPECT_EQ(ch(6, 5), U'|');
    EXPECT_EQ(attr(6, 5), 248);
    EXPECT_EQ(te.view.mousey, 55);
    EXPECT_EQ(te.view.toplo, 40);
    // Menu bar on row 0.
    EXPECT_EQ(attr(0, 0), 240);
}

TEST_F(Editor, SpaceCreatesLengthensBackspaceShortensRemoves)
{
    run(" ");
    ASSERT_EQ(notes().size(), 1u);
    smusic m = notes()[0];
    EXPECT_EQ(m.start, 0);
    EXPECT_EQ(m.heig, 3);
    EXPECT_EQ(m.pitch, 1);
    EXPECT_EQ(m.leng, 1);
    EXPECT_FALSE(m.rise);
    EXPECT_FALSE(te.doc.filesaved);
    EXPECT_EQ(ch(6, 17), U'<');
    EXPECT_EQ(attr(6, 17), 15);
    EXPECT_EQ(text(H + 3, W - 6, W + 8), "  修改音符长度");

    resume("  ");
    EXPECT_EQ(notes()[0].leng, 3);
    EXPECT_EQ(te.view.mousex, 2);
    EXPECT_EQ(text(17, 6, 9), "*-<");
    // The column line skips the note's row while the cursor is within the note.
    EXPECT_EQ(ch(8, 16), U'|');

    resume("\b");
    EXPECT_EQ(notes()[0].leng, 2);
    EXPECT_EQ(te.view.mousex, 1);
    resume("a\b");
    EXPECT_EQ(notes()[0].leng, 1);
    EXPECT_EQ(te.view.mousex, 0);
    resume("\b");
    EXPECT_TRUE(notes().empty());
    EXPECT_EQ(te.view.mousex, 0);
    EXPECT_EQ(ch(6, 17), U'+');
    EXPECT_EQ(ch(7, 17), U'_');
}

TEST_F(Editor, SharpRowAndNoteName)
{
    run("WWwwwwwww "); // 55 -> 32 -> 9 -> 2
    ASSERT_EQ(te.view.mousey, 2);
    ASSERT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0].pitch, 6);
    EXPECT_TRUE(notes()[0].rise);
    EXPECT_EQ(notes()[0].heig, 6);
    EXPECT_EQ(text(H + 3, 0, 7), "音符:#A");
    EXPECT_EQ(te.view.toplo, 2);
}

TEST_F(Editor, TakenColumnOnAnotherRowCannotCreate)
{
    run(" w");
    EXPECT_EQ(ch(6, 16), U'x');
    EXPECT_EQ(attr(6, 16), 112); // row 54 is even
    EXPECT_EQ(text(H + 3, W - 6, W + 8), "不可创建新音符");
    te.doc.filesaved = true;
    resume(" ");
    EXPECT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0].leng, 1);
    EXPECT_FALSE(te.doc.filesaved); // counts as changed all the same
    // A separator row: Space does nothing at all.
    te.doc.filesaved = true;
    resume("w "); // row 53 is F, 52 ... find the separator between F and E: row 50
    resume("www ");
    EXPECT_EQ(te.view.mousey, 50);
    EXPECT_EQ(ch(6, 12), U'x');
}

TEST_F(Editor, LengthenOnlyIntoFreeTime)
{
    run("   ");                          // note at 0, length 3, cursor at 2... wait: 0 len 3, cursor 2
    ASSERT_EQ(notes()[0].leng, 3);
    resume("d ");                        // a note at 3
    ASSERT_EQ(notes().size(), 2u);
    resume("aa ");                       // back on the first note: no room to grow
    EXPECT_EQ(notes()[0].leng, 3);
    EXPECT_EQ(notes()[1].start, 3);
    EXPECT_EQ(te.view.mousex, 1);
}

TEST_F(Editor, NoteBeforeTheFirstKeepsTimeOrder)
{
    run("ddddd a a");
    auto v = notes();
    ASSERT_EQ(v.size(), 2u);
    auto q = te.doc.music.queue();
    // Read cyclically from just after the sentinel, starts ascend.
    size_t i = 0;
    while (!issentinel(q[i]))
        i++;
    EXPECT_EQ(q[(i + 1) % q.size()].start, 4);
    EXPECT_EQ(q[(i + 2) % q.size()].start, 5);
}

TEST_F(Editor, MovementStopsAtTheEdges)
{
    run("a");
    EXPECT_EQ(te.view.mousex, 0);
    te.view.mousey = 0;
    resume("w");
    EXPECT_EQ(te.view.mousey, 0);
    EXPECT_EQ(te.view.toplo, 0);
    te.view.mousey = 84;
    resume("s");
    EXPECT_EQ(te.view.mousey, 84);
    EXPECT_EQ(te.view.toplo, 62);
    for (int i = 0; i <= H - 3; i++)
        EXPECT_EQ(attr(W + 6, i + 3), i >= 15 && i < 21 ? 128 : 112) << i;
    te.view.mousey = 70;
    resume("S");
    EXPECT_EQ(te.view.mousey, 84);
    te.view.mousex = 30;
    resume("A");
    EXPECT_EQ(te.view.mousex, 0);
    te.view.mousex = MAXCOL - 5;
    resume("D");
    EXPECT_EQ(te.view.mousex, MAXCOL);
    resume("d");
    EXPECT_EQ(te.view.mousex, MAXCOL);
    EXPECT_EQ(te.doc.musicleng, MAXCOL);
    EXPECT_EQ(te.view.leftlo, ENDSTART - W);
    EXPECT_EQ(text(1, W - 5, W + 6), "99:59:59.9|");
}

TEST_F(Editor, ViewFollowsTheCursorAndTheScoreGrows)
{
    std::string keys(150, 'd');
    run(keys);
    EXPECT_EQ(te.view.mousex, 150);
    EXPECT_EQ(te.view.leftlo, 51);
    EXPECT_EQ(te.doc.musicleng, 150);
    for (int i = 0; i < W - 2; i++)
        EXPECT_EQ(attr(7 + i, H + 2), i >= 33 && i < 98 ? 128 : 112) << i;
    EXPECT_EQ(attr(6, H + 2), 240);
    // The label stands left of the cursor column near the right edge.
    EXPECT_EQ(text(1, 6 + 99 - 10, 6 + 100), "00:00:15.0|");
    resume("D");
    EXPECT_EQ(te.view.mousex, 250);
    EXPECT_EQ(te.view.leftlo, 151);
}

TEST_F(Editor, NotesClippedToTheView)
{
    te.view.leftlo = 100;
    te.view.mousex = 120;
    te.doc.musicleng = 300;
    setscore({{98, 3, 1, 5, false}, {150, 3, 2, 2, false}});
    resume("");
    // Three dashes from the view's first column, no star.
    EXPECT_EQ(text(17, 6, 10), "---_");
    EXPECT_EQ(text(16, 56, 59), "___"); // D3 is on row 53, screen row 15
    EXPECT_EQ(text(15, 56, 59), "*-_");
}

TEST_F(Editor, NotesWithoutARowAreNeverDrawn)
{
    setscore({{0, 99, 1, 3, false}, {5, 3, 9, 2, false}, {10, -3, 7, 1, true}, {20, 3, 1, 2, false}});
    resume("ddddd dddddd ");
    // Only the real note is drawn; the editor survives standing on the others.
    EXPECT_EQ(ch(26, 17), U'*');
    for (int y = 2; y < H + 2; y++)
        for (int x = 6; x < 12; x++)
            EXPECT_NE(ch(x, y), U'*');
}

TEST_F(Editor, ToneRequestForTheCursorRow)
{
    auto dir = std::filesystem::temp_directory_path() / "pvtone";
    std::filesystem::create_directories(dir);
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::filesystem::remove("beepset.tmp");
    tio.nowms = 1733650000005;
    run("b");
    std::ifstream f("beepset.tmp", std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    EXPECT_EQ(ss.str(), "1 1733650000 5 261 10");
    std::filesystem::remove("beepset.tmp");
    // A separator row sounds nothing.
    resume("wwwww");
    ASSERT_EQ(te.view.mousey, 50);
    resume("b");
    EXPECT_FALSE(std::filesystem::exists("beepset.tmp"));
    std::filesystem::current_path(old);
}

TEST_F(Editor, TabOpensTheMenuAndTabAgainRepaints)
{
    run("\t");
    EXPECT_EQ(attr(1, 0), 143); // open heading
    EXPECT_EQ(ch(1, 1), U'+');  // drop-down frame over the ruler
    auto snap = tiocells();
    tioreset();
    run("\t\t");
    EXPECT_EQ(ch(1, 1), U'_');
    EXPECT_EQ(attr(1, 0), 240);
    EXPECT_EQ(text(17, 0, 6), "   C3|");
}

TEST_F(Editor, CtrlCEndsASavedScore)
{
    tiokeys({3, 'd', 'd'});
    EXPECT_EQ(edit(te), 0);
    EXPECT_EQ(te.view.mousex, 0); // nothing after Ctrl+C was read
}

TEST_F(Editor, RestartsDoNotPileUp)
{
    std::string keys;
    for (int i = 0; i < 3000; i++)
        keys += "dc";
    run(keys);
    EXPECT_EQ(te.view.mousex, 0);
    EXPECT_EQ(text(H + 3, 0, 7), "音符: C");
}

TEST_F(Editor, CursorMarkOverANoteIsRepaired)
{
    run("  ");         // note 0..1, cursor at 1
    resume("a");        // cursor back over the star
    resume("s");        // away: the star must come back
    EXPECT_EQ(ch(6, 17), U'*');
    EXPECT_EQ(ch(7, 17), U'-');
}

// Random keys against the plain queue, in one editor run: at every key read
// the ring's order, its current note and every cell of the staff must be what
// visiting every note of the plain queue gives.
TEST_F(Editor, RandomKeysMatchThePlainQueue)
{
    std::mt19937 rng(7);
    const std::string alphabet = "wsadWSAD  \b\b\bddaa";
    naivering ref;
    ref.q = {SENTINEL};
    int rx = 0, ry = 55;
    char pending = 0;
    int step = 0;

    auto apply = [&](char k) {
        ref.locate(rx, nullptr);
        smusic cur = ref.q.back(), next = ref.q.front();
        bool within = cur.start <= rx && rx < cur.start + cur.leng;
        int q = ry % 14;
        switch (k) {
        case 'w': if (ry > 0) ry--; break;
        case 's': if (ry <= 83) ry++; break;
        case 'a': if (rx > 0) rx--; break;
        case 'd': rx++; break;
        case 'W': ry = std::max(ry - H, 0); break;
        case 'S': ry = std::min(ry + H, 84); break;
        case 'A': rx = std::max(rx - W, 0); break;
        case 'D': rx += W; break;
        case ' ':
            if (key[q].pitch == 0)
                break;
            if (!within) {
                smusic m = rownote(ry);
                m.start = rx;
                ref.push(m);
            } else if (noterow(cur) == ry && cur.start + cur.leng < next.start) {
                cur.leng++;
                ref.setback(cur);
                rx++;
            }
            break;
        case '\b':
            if (within && noterow(cur) == ry) {
                cur.leng--;
                if (cur.leng == 0) {
                    ref.popback();
                } else {
                    ref.setback(cur);
                    if (cur.start != rx)
                        rx--;
                }
            }
            break;
        }
    };

    auto check = [&] {
        ASSERT_EQ(te.view.mousex, rx) << step;
        ASSERT_EQ(te.view.mousey, ry) << step;
        ref.locate(rx, nullptr);
        auto a = te.doc.music.queue();
        auto b = ref.queue();
        ASSERT_EQ(a.size(), b.size()) << step;
        for (size_t i = 0; i < a.size(); i++)
            ASSERT_TRUE(same(a[i], b[i])) << step << " at " << i;
        const smusic& cur = te.doc.music.back();
        bool within = cur.start <= te.view.mousex && te.view.mousex < cur.start + cur.leng;
        for (int row = te.view.toplo; row < te.view.toplo + H; row++) {
            for (int t = te.view.leftlo; t < te.view.leftlo + W; t++) {
                char32_t want = U'_';
                for (const smusic& m : b) {
                    if (issentinel(m) || noterow(m) != row)
                        continue;
                    if (t == m.start)
                        want = U'*';
                    else if (t > m.start && t < m.start + m.leng)
                        want = U'-';
                }
                if (t == te.view.mousex && row == te.view.mousey)
                    continue; // the cursor mark
                if (t == te.view.mousex && !(within && row == noterow(cur)))
                    want = U'|';
                ASSERT_EQ(ch(t - te.view.leftlo + 6, row - te.view.toplo + 2), want)
                    << "step " << step << " row " << row << " t " << t;
            }
        }
    };

    tio.onkey = [&] {
        if (::testing::Test::HasFatalFailure())
            return;
        if (pending)
            apply(pending);
        check();
        if (step++ < 3000) {
            pending = alphabet[rng() % alphabet.size()];
            if ((pending == 'W' || pending == 'S' || pending == 'D' || pending == 'A') && rng() % 4)
                pending = 'd';
            tio.keys.push_back(static_cast<unsigned char>(pending));
        }
    };
    edit(te);
    EXPECT_GT(step, 3000);
}

} // namespace

namespace {

// The input ends (the terminal went away) with an unsaved note: it is kept in
// a recovery file beside nothing (no path yet) that opens like any score.
TEST_F(Editor, LostTerminalKeepsUnsavedWorkInARecoveryFile)
{
    run("ddd ");
    ASSERT_FALSE(te.recoverypath.empty());
    std::string name = te.recoverypath;
    EXPECT_NE(name.find(".save"), std::string::npos);
    edreset();
    sopened o = openscore(te.doc, name);
    ASSERT_EQ(o.res, fileres::done);
    te.view = viewof(o.head);
    ASSERT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0].start, 3);
    EXPECT_EQ(te.view.mousex, 3);
    std::filesystem::remove(name);
    // Nothing unsaved: nothing written.
    te.recoverypath.clear();
    run("dd");
    EXPECT_TRUE(te.recoverypath.empty());
}

} // namespace
