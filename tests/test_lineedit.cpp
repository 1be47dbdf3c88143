// SPDX-License-Identifier: MIT
// Line input: keys edited inside a field, the field's cells at every key read,
// and the three places that read a line (dialog fields, the speed field, the
// title).
#include "testio.h"

#include "widgets/lineedit.h"
#include "console/width.h"
#include "dialogs/about.h"
#include "dialogs/dialogs.h"
#include "dialogs/play.h"
#include "editor/editor.h"
#include "files/files.h"
#include "score/ring.h"
#include "menu/menu.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int FX = 5, FY = 3, FW = 10, FATTR = 240;
constexpr int LEFT = KEY_LEFT, RIGHT = KEY_RIGHT, HOME = KEY_HOME, END = KEY_ENDKEY, DEL = KEY_DELETE;

// A screen of 'X' in attribute 7 with a blank field in FATTR at (FX, FY).
void screenwithfield()
{
    tioreset();
    setcolor(7);
    for (int y = 0; y < scr.h; y++) {
        gotoxy(0, y);
        cput(std::string(static_cast<size_t>(scr.w), 'X'));
    }
    setcolor(FATTR);
    gotoxy(FX, FY);
    cput(std::string(FW, ' '));
    gotoxy(FX, FY);
}

bool samecell(const Cell& a, const Cell& b) { return a.ch == b.ch && a.attr == b.attr && a.part == b.part; }

// True when every cell outside the field is as screenwithfield left it.
bool outsideuntouched()
{
    for (int y = 0; y < scr.h; y++)
        for (int x = 0; x < scr.w; x++) {
            if (y == FY && x >= FX && x < FX + FW)
                continue;
            const Cell& c = gcell(scr, x, y);
            if (c.ch != U'X' || c.attr != 7 || c.part != 0)
                return false;
        }
    return true;
}

struct typed {
    lineresult r;
    std::string line;
    std::string shown; // the field's cells after the last key
    int cursor;        // the cursor's column within the field
    bool inside;       // at every key read: nothing outside the field changed, the cursor in it
};

typed edit(const std::vector<int>& keys)
{
    screenwithfield();
    for (int k : keys)
        tio.keys.push_back(k);
    typed t{};
    t.inside = true;
    tio.onkey = [&] {
        t.inside = t.inside && outsideuntouched() && scr.cy == FY && scr.cx >= FX && scr.cx < FX + FW;
    };
    t.r = lineedit(t.line, FW);
    t.shown = grow(scr, FY, FX, FX + FW);
    t.cursor = scr.cx - FX;
    return t;
}

std::vector<int> bytes(std::string_view s)
{
    std::vector<int> v;
    for (char c : s)
        v.push_back(static_cast<unsigned char>(c));
    return v;
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> operator+(std::vector<int> a, std::string_view s) { return a + bytes(s); }

const std::vector<int> ENTER{13};

TEST(LineEdit, KeysEditTheLine)
{
    struct {
        std::vector<int> keys;
        std::string line, shown;
        int cursor;
    } cases[] = {
        {bytes("abc") + ENTER, "abc", "abc       ", 3},
        {bytes("abc") + std::vector<int>{27} + "d" + ENTER, "d", "d         ", 1},            // Esc clears
        {bytes("abc") + std::vector<int>{LEFT, LEFT} + "X" + ENTER, "aXbc", "aXbc      ", 2},
        {bytes("abc") + std::vector<int>{HOME} + "Z" + ENTER, "Zabc", "Zabc      ", 1},
        {bytes("abc") + std::vector<int>{HOME, DEL} + ENTER, "bc", "bc        ", 0},
        {bytes("abc") + std::vector<int>{HOME, RIGHT, END} + "d" + ENTER, "abcd", "abcd      ", 4},
        {bytes("abc") + std::vector<int>{DEL, RIGHT} + ENTER, "abc", "abc       ", 3}, // at the end: nothing
        {bytes("a歌") + std::vector<int>{8} + ENTER, "a", "a         ", 1},                // a whole wide character
        {bytes("歌曲") + std::vector<int>{8} + ENTER, "歌", "歌        ", 2},
        {bytes("abc") + std::vector<int>{LEFT, 21} + ENTER, "c", "c         ", 0},      // Ctrl+U: up to the cursor
        {bytes("foo bar") + std::vector<int>{23} + ENTER, "foo ", "foo       ", 4},      // Ctrl+W
        {bytes("/tmp/a-b") + std::vector<int>{23, 23} + ENTER, "/tmp/", "/tmp/     ", 5},
        {bytes("歌曲 x ") + std::vector<int>{23} + ENTER, "歌曲 ", "歌曲      ", 5},
        {std::vector<int>{8, 23, 21, 27, LEFT, DEL} + ENTER, "", "          ", 0},     // on an empty line
        {bytes("\xE0\xA4\x85") + ENTER, "\xE0\xA4\x85", "\xE0\xA4\x85         ", 1},          // 224 starting a character
        {bytes("a\xFF" "b") + ENTER, "a\xFF" "b", "a\uFFFD" "b       ", 3},                 // kept as typed, shown as U+FFFD
        {bytes("a\xE6\xAD" "b") + ENTER, "a\xE6\xAD" "b", "a\uFFFD\uFFFD" "b      ", 4},    // a character cut short
        {bytes("ab\n"), "ab", "ab        ", 2},                                               // Ctrl+J ends it too
    };
    for (const auto& c : cases) {
        typed t = edit(c.keys);
        std::string what = c.line;
        EXPECT_EQ(t.r, lineresult::entered) << what;
        EXPECT_EQ(t.line, c.line) << what;
        EXPECT_EQ(t.shown, c.shown) << what;
        EXPECT_EQ(t.cursor, c.cursor) << what;
        EXPECT_TRUE(t.inside) << what;
        for (int x = FX; x < FX + FW; x++)
            ASSERT_EQ(gcell(scr, x, FY).attr, FATTR) << what;
    }
}

TEST(LineEdit, ControlsAndOtherKeysAreNeverInserted)
{
    std::vector<int> junk;
    for (int c = 0; c < 0x20; c++)
        if (c != 8 && c != 10 && c != 13 && c != 21 && c != 23 && c != 27 && c != 0)
            junk.push_back(c);
    junk = junk + std::vector<int>{0x7F, keyfn(1), keyfn(10), KEY_UP, KEY_DOWN, KEY_PGUP, KEY_PGDN, KEY_INSERT, keyfn(11), keyfn(12)};
    for (int c = 0x80; c < 0xA0; c++) // C1 controls, as UTF-8
        junk = junk + std::vector<int>{0xC2, c};
    typed t = edit(bytes("a") + junk + "b" + ENTER);
    EXPECT_EQ(t.line, "ab");
    EXPECT_EQ(t.shown, "ab        ");
    EXPECT_TRUE(t.inside);
}

TEST(LineEdit, LongTextScrollsInsideTheField)
{
    std::string abc;
    for (int i = 0; i < 1500; i++)
        abc += static_cast<char>('a' + i % 26);
    struct {
        std::vector<int> keys;
        std::string shown;
        int cursor;
    } cases[] = {
        // The tail, with the cursor's cell left free at the end.
        {bytes("abcdefghijkl"), "defghijkl ", 9},
        {bytes(abc), abc.substr(1500 - 9) + " ", 9},
        // Home shows the start, as much as fits; End the tail again.
        {bytes("abcdefghijkl") + std::vector<int>{HOME}, "abcdefghij", 0},
        {bytes("abcdefghijkl") + std::vector<int>{HOME, END}, "defghijkl ", 9},
        // Walking left past the view's start scrolls it.
        {bytes("abcdefghijkl") + std::vector<int>{LEFT, LEFT, LEFT, LEFT}, "defghijkl ", 5},
        {bytes("abcdefghijkl") + std::vector<int>{HOME, RIGHT, RIGHT}, "abcdefghij", 2},
        // Erasing fills the field from the left again.
        {bytes("abcdefghijkl") + std::vector<int>{8, 8, 8}, "abcdefghi ", 9},
        // A wide character that does not fit whole is not drawn.
        {bytes("aaaaaaaaa歌") + std::vector<int>{HOME}, "aaaaaaaaa ", 0},
        {bytes("aaaaaaaaa歌"), "aaaaaaa歌 ", 9},
        {bytes("歌曲歌曲歌曲"), "歌曲歌曲  ", 8},
    };
    for (const auto& c : cases) {
        typed t = edit(c.keys + ENTER);
        EXPECT_EQ(t.shown, c.shown);
        EXPECT_EQ(t.cursor, c.cursor) << c.shown;
        EXPECT_TRUE(t.inside) << c.shown;
    }
    EXPECT_EQ(edit(bytes(abc) + ENTER).line, abc);
}

TEST(LineEdit, EndOfInputGivesAnEmptyLine)
{
    for (const auto& keys : {bytes("abc"), bytes("abc") + std::vector<int>{KEY_UP}, std::vector<int>{}}) {
        typed t = edit(keys);
        EXPECT_EQ(t.r, lineresult::ended);
        EXPECT_EQ(t.line, "");
    }
    screenwithfield();
    tiotype("abc");
    std::string line = "old";
    EXPECT_FALSE(getline(line, FW));
    EXPECT_EQ(line, "");
}

TEST(LineEdit, TheFieldGivesBackWhatItCoveredBeyondTheText)
{
    // A field over other text, as the title is typed over the menu bar.
    tioreset();
    setcolor(143);
    gotoxy(0, 0);
    cput("ABCDEFGH歌曲");
    gotoxy(2, 0);
    tiokeys({'x', 'y', 'z'});
    std::vector<std::string> seen;
    tio.onkey = [&] { seen.push_back(grow(scr, 0, 0, 13)); };
    tiokeys({8, 8, 8, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 13});
    std::string line;
    EXPECT_EQ(lineedit(line, 11), lineresult::entered);
    EXPECT_EQ(line, "abcdefg");
    std::vector<std::string> want = {
        "ABCDEFGH歌曲 ", "ABxDEFGH歌曲 ", "ABxyEFGH歌曲 ", "ABxyzFGH歌曲 ", // typing
        "ABxyEFGH歌曲 ", "ABxDEFGH歌曲 ", "ABCDEFGH歌曲 ",                   // erased: the old cells again
        "ABaDEFGH歌曲 ", "ABabEFGH歌曲 ", "ABabcFGH歌曲 ", "ABabcdGH歌曲 ", "ABabcdeH歌曲 ",
        "ABabcdef歌曲 ", "ABabcdefg 曲 ", // half of a wide character left: a blank
    };
    EXPECT_EQ(seen, want);
    EXPECT_EQ(gcell(scr, 13, 0).ch, U' ') << "nothing past the field";
}

TEST(LineEdit, TheFieldEndsAtTheScreenEdge)
{
    tioreset();
    gotoxy(scr.w - 4, scr.h - 1);
    tiotype("abcdefgh");
    tiokeys({13});
    std::vector<Cell> before = tiocells();
    std::string line;
    EXPECT_EQ(lineedit(line, 50), lineresult::entered);
    EXPECT_EQ(line, "abcdefgh");
    EXPECT_EQ(grow(scr, scr.h - 1, scr.w - 4), "fgh ");
    for (size_t i = 0; i + 4 < before.size(); i++)
        ASSERT_TRUE(samecell(before[i], scr.cells[i])) << i;
}

// The places that read a line: whatever is typed, nothing changes outside
// their field at any key read.
struct place {
    const char* name;
    std::vector<int> before; // keys that open the field
    void (*run)();
    int x, y, w;            // the field
};

void openfile()
{
    std::string path;
    slfile(pathdlg::open, path);
}
void playsettings() { playset(te.doc, te.view, te.plays); }
void title() { fwintitle(te.bar); }

TEST(LineEdit, EveryPlaceKeepsTheTextInItsField)
{
    std::string paste;
    for (int i = 0; i < 1500; i++)
        paste += i % 7 == 6 ? "歌" : std::string(1, static_cast<char>('a' + i % 7));
    paste += "\xC2\x9B" "2J";
    const place places[] = {
        {"open dialog path", {13}, openfile, 21, 13, 66},
        {"speed", {9, 9, 9, 9, 9, 9, 13}, playsettings, 47, 16, 23},
        {"title", {}, title, 6, 0, 102},
    };
    for (const place& p : places) {
        tioreset();
        edreset();
        te.doc.music.push(smusic{0, 3, 1, 5, false});
        toolbar(te.bar, barreq::drawall);
        for (int k : p.before)
            tio.keys.push_back(k);
        size_t first = p.before.size(); // keysread at the first typed key
        tiotype(paste);
        tiokeys({13, 9, 13}); // Enter; then Tab, Enter: Cancel (in the dialogs)
        std::vector<Cell> start;
        bool inside = true;
        std::string field;
        tio.onkey = [&] {
            size_t n = static_cast<size_t>(tio.keysread);
            if (n == first) {
                start = tiocells();
            } else if (n > first && n <= first + paste.size()) {
                for (int y = 0; y < scr.h && inside; y++)
                    for (int x = 0; x < scr.w && inside; x++)
                        if ((y != p.y || x < p.x || x >= p.x + p.w) &&
                            !samecell(start[static_cast<size_t>(y * scr.w + x)], gcell(scr, x, y)))
                            inside = false;
                if (n == first + paste.size())
                    field = grow(scr, p.y, p.x, p.x + p.w);
            }
        };
        p.run();
        EXPECT_TRUE(inside) << p.name;
        // The tail, then the cursor's cell (and one more when a wide
        // character did not fit).
        size_t end = field.find_last_not_of(' ') + 1;
        EXPECT_EQ(field.substr(end - 2, 2), "2J") << p.name << ": " << field;
        EXPECT_LE(field.size() - end, 2u) << p.name << ": " << field;
        EXPECT_EQ(strwidth(field), p.w) << p.name;
    }
}

} // namespace

namespace {
double cpuseconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
} // namespace

// The work of a key depends on what the field shows, not on the text: 40,000
// combining marks typed one by one (no paste brackets) and 1,000 keys after
// them take well under a second of processor time (quadratic, they took a
// minute).
TEST(LineEdit, ZeroWidthTextCostsWhatTheFieldShows)
{
    std::string marks;
    for (int i = 0; i < 40000; i++)
        marks += "\xCC\x81"; // U+0301
    std::vector<int> keys = bytes("a" + marks);
    for (int i = 0; i < 250; i++)
        keys = keys + std::vector<int>{KEY_LEFT, KEY_LEFT, 'x', KEY_RIGHT};
    screenwithfield();
    for (int k : keys + ENTER)
        tio.keys.push_back(k);
    std::string line;
    const double start = cpuseconds();
    EXPECT_EQ(lineedit(line, FW), lineresult::entered);
    const double used = cpuseconds() - start;
    EXPECT_LT(used, 1.0) << "seconds of CPU";
    EXPECT_EQ(line.size(), 4095u) << "the text is capped";
    std::printf("[ cpu      ] 40,000 combining marks and 1,000 keys: %.3f s\n", used);
}

// The text is capped at the longest path the system allows; a paste that
// does not fit is cut, and the bottom row says so until the next key.
TEST(LineEdit, APasteLongerThanAPathIsCutAndSaysSo)
{
    screenwithfield();
    std::string said, after;
    int reads = 0;
    tio.onkey = [&] {
        if (++reads == 3)
            said = grow(scr, scr.h - 1, 0, 40);
        if (reads == 4)
            after = grow(scr, scr.h - 1, 0, 40);
    };
    sevent paste;
    paste.kind = evkind::paste;
    paste.text = std::string(5000, 'p');
    static sevent held;
    held = paste;
    conio old = scr.io;
    static int n;
    n = 0;
    scr.io.event = [] {
        if (tio.onkey)
            tio.onkey();
        switch (n++) {
        case 0: return codeevent('a');
        case 1: return held;
        case 2: return codeevent('b'); // no room: still cut
        case 3: return codeevent(KEY_BACKSPACE);
        default: return codeevent(KEY_ENTER);
        }
    };
    std::string line;
    ASSERT_TRUE(getline(line, FW));
    scr.io = old;
    EXPECT_EQ(line.size(), 4094u); // 4095 bytes, less the Backspace
    EXPECT_EQ(said.rfind("输入过长", 0), 0u) << said;
    EXPECT_EQ(after.rfind("输入过长", 0), 0u) << "a key that is cut too keeps it";
    EXPECT_EQ(grow(scr, scr.h - 1, 0, 10), std::string(10, 'X')) << "and it goes with the next key";
}

// A frame is shown only when no input waits: typing into a field ahead of
// the screen costs one frame, not one a key.
TEST(LineEdit, FramesOnlyWhenNoInputWaits)
{
    screenwithfield();
    static int frames;
    frames = 0;
    scr.io.show = [](const Grid&) { frames++; };
    scr.io.waiting = [] { return !tio.keys.empty(); };
    tiotype("a fairly long line typed quickly\r");
    std::string line;
    ASSERT_TRUE(getline(line, FW));
    EXPECT_EQ(line, "a fairly long line typed quickly");
    EXPECT_EQ(frames, 0) << "every key but the end had one waiting behind it";
    scr.io.waiting = nullptr;
    scr.io.show = nullptr;
}
