// SPDX-License-Identifier: MIT
// The span keys driven as a user drives them: keys in, the saved score out,
// and the undo of each edit giving back the very same file.
#include "editor/editor.h"
#include "editor/run.h"
#include "files/files.h"
#include "menu/menu.h"
#include "naivering.h"
#include "score/ring.h"
#include "testio.h"
#include "console/width.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr int H = STARTVIEW.winheig;
constexpr int CTRLS = 19, CTRLZ = 26, CTRLY = 25, ESC = 27;
const std::vector<int> DEL = {KEY_DELETE};

// A note by start, staff row and length.
smusic N(int start, int row, int leng)
{
    smusic m = rownote(row);
    m.start = start;
    m.leng = leng;
    return m;
}
constexpr int C3 = 55, SC3 = 54, D3 = 53, SD3 = 52, E3 = 51, G3 = 47, C4 = 41, C2 = 69, B6 = 1;

std::vector<int> keysof(const std::string& s)
{
    return {s.begin(), s.end()};
}
std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::vector<int> rep(char c, int n) { return std::vector<int>(static_cast<size_t>(n), c); }

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

struct Spans : ::testing::Test {
    static constexpr const char* FILE = "spans.pvx";
    void SetUp() override
    {
        tioreset();
        edreset();
        tbset(te.bar);
        std::remove(FILE);
        te.doc.filepath = FILE;
    }
    void TearDown() override { std::remove(FILE); }
    static void setscore(std::vector<smusic> v)
    {
        v.push_back(SENTINEL);
        te.doc.music.assign(v);
        te.doc.musicleng = 40;
    }
    // The notes of a saved file, in time order.
    static std::vector<smusic> saved(const std::string& bytes)
    {
        pvxscore s;
        EXPECT_EQ(pvxread(bytes, s), "");
        std::vector<smusic> v;
        for (const smusic& m : s.notes)
            if (!issentinel(m))
                v.push_back(m);
        std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.start < b.start; });
        return v;
    }
    static std::string status() { return grow(scr, SCRH - 1, 24, SCRW); }
};

void expectnotes(const std::vector<smusic>& got, const std::vector<smusic>& want, const std::string& what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); i++)
        EXPECT_TRUE(same(got[i], want[i])) << what << ": note " << i << " is " << got[i].start << " row "
                                           << noterow(got[i]) << " leng " << got[i].leng;
}

const std::vector<smusic> TUNE = {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4)};

// Each edit key: the notes saved after it, and after its undo the very file
// saved before it.
TEST_F(Spans, EachEditThenItsUndoGivesTheSameFile)
{
    struct {
        const char* what;
        std::vector<int> setup, edit;
        std::vector<smusic> want;
    } cases[] = {
        {"y, then p elsewhere", keysof("y") + rep('d', 12), keysof("p"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(12, C3, 2)}},
        {"a selection copied and pasted", keysof("vdddddyv") + rep('d', 15), keysof("p"),
         {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(20, C3, 2), N(24, E3, 2)}},
        {"p over notes: one cut short, one gone", rep('d', 8) + keysof("y") + rep('a', 7), keysof("p"),
         {N(0, C3, 1), N(1, G3, 4), N(8, G3, 4)}},
        {"x the note under the cursor", {}, keysof("x"), {N(4, E3, 2), N(8, G3, 4)}},
        {"Delete a selection", keysof("vdddd"), DEL, {N(8, G3, 4)}},
        {"e: C up is #C", {}, keysof("e"), {N(0, SC3, 2), N(4, E3, 2), N(8, G3, 4)}},
        {"q: E down is #D", rep('d', 4), keysof("q"), {N(0, C3, 2), N(4, SD3, 2), N(8, G3, 4)}},
        {"E an octave up", {}, keysof("E"), {N(0, C4, 2), N(4, E3, 2), N(8, G3, 4)}},
        {"Q a selection an octave down", keysof("vddddd"), keysof("Q"), {N(0, C2, 2), N(4, E3 + 14, 2), N(8, G3, 4)}},
        {"i: later notes one step right", rep('d', 2), keysof("i"), {N(0, C3, 2), N(5, E3, 2), N(9, G3, 4)}},
        {"r within a note", rep('d', 1), keysof("r"), {N(0, C3, 1), N(3, E3, 2), N(7, G3, 4)}},
        {"r removes a one-step note", keysof("dra"), keysof("r"), {N(2, E3, 2), N(6, G3, 4)}},
        {"1 at a free column", rep('d', 16), keysof("1"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C3, 4)}},
        {"5 replaces, cut short by the next", {}, keysof("5"), {N(0, G3, 4), N(4, E3, 2), N(8, G3, 4)}},
        {"- lengthens what 1 entered", rep('d', 16) + keysof("1"), keysof("-"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C3, 8)}},
        {"0 rests, then 2", rep('d', 16) + keysof("0"), keysof("2"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(20, D3, 4)}},
        {", halves the entry length", rep('d', 16) + keysof(","), keysof("1"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C3, 2)}},
        {". doubles it", rep('d', 16) + keysof(".."), keysof("1"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C3, 16)}},
        {"k: the octave above", rep('d', 16) + keysof("k"), keysof("1"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C4, 4)}},
        {"j: the octave below", rep('d', 16) + keysof("j"), keysof("1"), {N(0, C3, 2), N(4, E3, 2), N(8, G3, 4), N(16, C2, 4)}},
    };
    for (const auto& c : cases) {
        SetUp();
        setscore(TUNE);
        std::string before, after, undone;
        tiokeys({});
        for (int k : c.setup)
            tiokeys({k});
        tiokeys({CTRLS});
        for (int k : c.edit)
            tiokeys({k});
        tiokeys({CTRLS, CTRLZ, CTRLS});
        int saves = 0;
        tio.onkey = [&] {
            // Each key read after a save: the file as it stands.
            if (tio.keysread == static_cast<int>(c.setup.size() + 2))
                before = slurp(FILE), saves++;
            if (tio.keysread == static_cast<int>(c.setup.size() + c.edit.size() + 3))
                after = slurp(FILE), saves++;
        };
        edit(te, false);
        undone = slurp(FILE);
        ASSERT_EQ(saves, 2) << c.what;
        expectnotes(saved(after), c.want, c.what);
        EXPECT_EQ(undone, before) << c.what << ": the undo gives back the same file";
    }
}

// Edits that cannot be made say why and change nothing.
TEST_F(Spans, RefusedEditsSayWhy)
{
    struct {
        std::vector<smusic> score;
        std::vector<int> keys;
        const char* msg;
    } cases[] = {
        {{N(0, B6, 2)}, keysof("e"), "超出音域"},
        {{N(0, C3, 2), N(4, C2 + 13, 1)}, keysof("vddddQ"), "超出音域"},
        {TUNE, keysof("ddy"), "没有音符"},
        {TUNE, keysof("ddp"), "剪贴板为空"},
        {TUNE, keysof("ddd-"), "没有音符"},
        {{}, keysof("g"), "没有音符"},
    };
    for (const auto& c : cases) {
        SetUp();
        setscore(c.score);
        for (int k : c.keys)
            tiokeys({k});
        tiokeys({'w'});
        std::vector<std::string> seen;
        tio.onkey = [&] { seen.push_back(status()); };
        edit(te, false);
        std::vector<smusic> now;
        for (const smusic& m : te.doc.music.queue())
            if (!issentinel(m))
                now.push_back(m);
        std::sort(now.begin(), now.end(), [](auto& a, auto& b) { return a.start < b.start; });
        expectnotes(now, c.score, c.msg);
        ASSERT_GE(seen.size(), 2u);
        EXPECT_NE(seen[seen.size() - 2].find(c.msg), std::string::npos) << c.msg << " in [" << seen[seen.size() - 2] << "]";
        EXPECT_EQ(te.hist.done, 0u) << c.msg;
    }
}

// Random keys, old and new, with undo and redo: after each undo the score
// file is byte for byte what it was before that step, after each redo what
// it was after it.
TEST_F(Spans, RandomKeysWithUndoAndRedoAgainstSnapshots)
{
    std::mt19937 rng(18);
    const std::vector<int> keys = {'w', 's', 'a', 'd', 'd', 'd', 'A', 'D', 'k', 'j', ' ', '\b', 'v', 'v', 'y', 'x',
                                   'p', 'p', 'e', 'q', 'E', 'Q', 'i', 'r', '1', '3', '5', '7', '0', '-', ',', '.',
                                   ESC, KEY_DELETE, CTRLZ, CTRLZ, CTRLY, CTRLY};
    setscore(TUNE);
    for (int i = 0; i < 4000; i++) {
        int k = keys[rng() % keys.size()];
        tiokeys({k});
    }
    auto snapshot = [] {
        te.doc.music.locate(te.view.mousex);
        return scorebytes(te.doc, te.view);
    };
    std::vector<std::string> before, after;
    std::string prev = snapshot();
    size_t at = 0;
    int last = -1, undos = 0, redos = 0;
    tio.onkey = [&] {
        std::string now = snapshot();
        const size_t done = te.hist.done;
        if (last == CTRLZ && done + 1 == at) {
            EXPECT_EQ(now, before[--at]);
            undos++;
        } else if (last == CTRLY && done == at + 1) {
            // The view may have followed the cursor since: the notes and
            // the cursor are what redo puts back.
            EXPECT_EQ(now.substr(24), after[at].substr(24));
            EXPECT_EQ(now.substr(4, 8), after[at].substr(4, 8));
            at++;
            redos++;
        } else if (last != CTRLY && last != CTRLZ && done == at + 1) {
            before.resize(at);
            after.resize(at);
            before.push_back(prev);
            after.push_back(now);
            at++;
        } else {
            EXPECT_EQ(done, at) << "key " << last;
        }
        prev = now;
        last = tio.keys.empty() ? -1 : tio.keys.front();
    };
    edit(te, false);
    EXPECT_GT(undos, 200);
    EXPECT_GT(redos, 20);
    EXPECT_GT(te.doc.music.size(), 5u);
}

// The selection is a highlight that keeps every character, the cursor's
// column line and mark as they are; the status row counts it.
TEST_F(Spans, TheSelectionIsAHighlightThatKeepsEveryCharacter)
{
    auto frame = [&](const std::string& keys) {
        SetUp();
        setscore(TUNE);
        for (char k : keys)
            tiokeys({static_cast<unsigned char>(k)});
        std::vector<Cell> last;
        tio.onkey = [&] { last = tiocells(); };
        edit(te, false);
        return last;
    };
    const std::vector<Cell> plain = frame("ddddd"), sel = frame("vddddd"), ended = frame("vdddddv");
    const int x0 = 6, cursor = 6 + 5; // screen columns of step 0 and of the cursor
    for (int y = 0; y < SCRH; y++)
        for (int x = 0; x < SCRW; x++) {
            const size_t i = static_cast<size_t>(y * SCRW + x);
            if (y == SCRH - 1)
                continue; // the status row, below
            ASSERT_EQ(sel[i].ch, plain[i].ch) << x << "," << y;
            // The column line and the mark stand over the highlight.
            const bool over = x == cursor && (plain[i].ch == U'|' || y == 55 - 40 + 2);
            const bool lit = y >= 2 && y < 2 + H && x >= x0 && x <= cursor && !over;
            EXPECT_EQ(sel[i].attr, lit ? selattr(plain[i].attr) : plain[i].attr) << x << "," << y;
            EXPECT_EQ(ended[i].attr, plain[i].attr) << x << "," << y;
            if (lit) {
                EXPECT_NE(sel[i].attr & 15, sel[i].attr >> 4) << "readable at " << x << "," << y;
            }
        }
    auto row = [](const std::vector<Cell>& c, int x0, int x1) {
        std::string s;
        for (int x = x0; x < x1; x++)
            if (c[static_cast<size_t>((SCRH - 1) * SCRW + x)].part != 2)
                u8put(s, c[static_cast<size_t>((SCRH - 1) * SCRW + x)].ch);
        return s;
    };
    EXPECT_EQ(row(sel, 62, 74), "选区:6步 2音");
    EXPECT_EQ(row(plain, 25, 31), "时值:4");
    EXPECT_EQ(row(plain, 62, 76), std::string(14, ' '));
}

// A cursor or function key is never read as a letter (as Home, Left and F1
// once were G, K and ';').
TEST_F(Spans, TwoCodeKeysAreNeverLetters)
{
    setscore(TUNE);
    tiokeys({KEY_HOME, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_F1});
    int sleeps = 0;
    tio.onsleep = [&](int) { sleeps++; };
    edit(te, false);
    EXPECT_EQ(sleeps, 0);
    EXPECT_EQ(te.view.mousex, 0);
    EXPECT_EQ(te.view.mousey, 55);
    EXPECT_EQ(te.hist.done, 0u);
}

// Each span command's menu item does what its key does: the same score,
// selection, entry length and message.
TEST_F(Spans, MenuItemsDoWhatTheirKeysDo)
{
    const std::pair<int, command> items[] = {
        {'v', command::select},       {'y', command::copy},       {'x', command::cut},
        {KEY_DELETE, command::erase},        {'p', command::paste},      {'e', command::semiup},
        {'q', command::semidown},     {'E', command::octaveup},   {'Q', command::octavedown},
        {'i', command::insertstep},   {'r', command::removestep}, {'-', command::lengthen},
        {',', command::entryhalf},    {'.', command::entrydouble}, {'g', command::playfrom},
    };
    struct outcome {
        std::string bytes, status;
        int entry;
        bool selected;
        size_t sleeps;
    };
    auto after = [&](const std::vector<int>& keys) {
        SetUp();
        setscore(TUNE);
        std::vector<int> all = rep('d', 4) + keysof("y") + keys + keysof("w");
        for (int k : all)
            tiokeys({k});
        std::string status;
        size_t sleeps = 0;
        tio.onsleep = [&](int) { sleeps++; };
        tio.onkey = [&] { status = grow(scr, SCRH - 1, 62, SCRW); };
        edit(te, false);
        te.doc.music.locate(te.view.mousex);
        return outcome{scorebytes(te.doc, te.view), status, te.edits.entry, selecting(te), sleeps};
    };
    for (const auto& [k, cmd] : items) {
        // Where the item is: its menu, and the items before it that 's' stops at.
        int menu = -1, steps = 0;
        for (size_t m = 0; m < te.bar.tb.size() && menu < 0; m++) {
            steps = 0;
            for (const stbi& i : te.bar.tb[m].tbi) {
                if (i.cmd == cmd) {
                    menu = static_cast<int>(m);
                    break;
                }
                steps += i.ava;
            }
        }
        ASSERT_GE(menu, 0) << static_cast<int>(cmd);
        const outcome bykey = after(std::vector<int>{k});
        const outcome bymenu = after(std::vector<int>{9} + rep('d', menu) + rep('s', steps) + std::vector<int>{13});
        EXPECT_EQ(bymenu.bytes, bykey.bytes) << "key " << k;
        EXPECT_EQ(bymenu.status, bykey.status) << "key " << k;
        EXPECT_EQ(bymenu.entry, bykey.entry) << "key " << k;
        EXPECT_EQ(bymenu.selected, bykey.selected) << "key " << k;
        EXPECT_EQ(bymenu.sleeps, bykey.sleeps) << "key " << k;
    }
}

// The request the player was last handed: its path and range lines.
std::vector<std::string> request()
{
    std::string r = slurp("beepset.tmp");
    std::vector<std::string> lines;
    for (size_t at = 0; at <= r.size();) {
        size_t e = std::min(r.find("\r\n", at), r.size());
        lines.push_back(r.substr(at, e - at));
        at = e + 2;
    }
    return lines;
}

// g on an unsaved score: no dialog, the player gets a private copy that is
// gone when the play ends, the marker runs from the cursor to the end at
// the last confirmed speed.
TEST_F(Spans, PlayFromTheCursorHandsAPrivateCopy)
{
    setscore(TUNE);
    te.doc.musicleng = 12;
    te.doc.filesaved = false;
    te.plays.play.speed = 2.0f;
    tiokeys({'d', 'd', 'g', 'd'});
    std::vector<int> xs, waits;
    std::vector<std::string> req;
    std::string copy;
    struct stat dir{}, file{};
    tio.onsleep = [&](int ms) {
        if (xs.empty()) {
            req = request();
            copy = req.at(1);
            EXPECT_EQ(::lstat(copy.c_str(), &file), 0);
            EXPECT_EQ(::lstat(copy.substr(0, copy.rfind('/')).c_str(), &dir), 0);
            expectnotes(saved(slurp(copy)), TUNE, "the copy");
        }
        xs.push_back(te.view.mousex);
        waits.push_back(ms);
    };
    edit(te, false);
    EXPECT_EQ(tio.keysread, 5) << "no dialog";
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[2], "2 12 2.000000");
    EXPECT_TRUE(S_ISREG(file.st_mode) && S_ISDIR(dir.st_mode));
    EXPECT_EQ(dir.st_mode & 0777, 0700u);
    EXPECT_EQ(xs, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(waits, std::vector<int>(10, 50));
    struct stat gone{};
    EXPECT_NE(::lstat(copy.c_str(), &gone), 0) << "removed at the end of the play";
    EXPECT_EQ(te.view.mousex, 3) << "the cursor back, then 'd'";
    EXPECT_FALSE(te.doc.filesaved) << "never asked to save";
}

// A saved score is played from its own file; G plays the selection round
// and round until Esc.
TEST_F(Spans, SavedScoresPlayTheirFileAndGLoopsUntilEsc)
{
    setscore(TUNE);
    te.doc.filesaved = true;
    tiokeys({'v', 'd', 'd', 'G', 'd'});
    std::vector<int> xs;
    std::vector<std::string> req;
    tio.onsleep = [&](int) {
        if (xs.empty())
            req = request();
        xs.push_back(te.view.mousex);
        if (xs.size() == 8)
            tio.keys.push_front(ESC);
    };
    edit(te, false);
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[1], FILE);
    EXPECT_EQ(req[2], "0 3 1.000000");
    EXPECT_EQ(xs, (std::vector<int>{1, 2, 3, 1, 2, 3, 1, 2, 3})) << "round again until the Esc in the last wait";
    EXPECT_EQ(te.view.mousex, 3) << "the cursor back at 2, then 'd'";
    EXPECT_TRUE(selecting(te)) << "that Esc stopped the play, not the selection";
}

} // namespace
