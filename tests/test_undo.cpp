// SPDX-License-Identifier: MIT
// Undo and redo, driven with keys as a user drives them: the score, the
// cursor and what a save would write, checked against snapshots.
#include "files/files.h"
#include "score/history.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int CTRLZ = 26, CTRLY = 25, CTRLS = 19, CTRLC = 3, TAB = 9, ENTER = 13;

struct Undo : ::testing::Test {
    void SetUp() override
    {
        tioreset();
        edreset();
    }
    static std::string status() { return grow(scr, SCRH - 1, SCRW - 14, SCRW); }
    // What a save would write now, with the ring as the editor keeps it.
    static std::string snapshot()
    {
        te.doc.music.locate(te.view.mousex);
        return scorebytes(te.doc, te.view);
    }
};

} // namespace

// Random edits, undos and redos: after each undo the score file is byte for
// byte what it was before the change, after each redo what it was after it.
TEST_F(Undo, RandomEditsUndoAndRedoAgainstSnapshots)
{
    std::mt19937 rng(7);
    const char keys[] = {'w', 's', 'a', 'd', 'd', ' ', ' ', ' ', '\b', '\b', 'W', 'D', CTRLZ, CTRLZ, CTRLY};
    for (int i = 0; i < 3000; i++)
        tiokeys({keys[rng() % sizeof keys]});
    std::vector<std::string> before, after; // per step: the state before and after it
    std::string prev = snapshot();
    size_t at = 0;
    int last = -1, checked = 0;
    tio.onkey = [&] {
        std::string now = snapshot();
        const shistory& h = te.hist;
        if ((last == ' ' || last == '\b') && h.done == at + 1) {
            before.resize(at); // a new change: what could be redone is gone
            after.resize(at);
            before.push_back(prev);
            after.push_back(now);
            at++;
        } else if (last == CTRLZ && h.done + 1 == at) {
            EXPECT_EQ(now, before[--at]);
            checked++;
        } else if (last == CTRLY && h.done == at + 1) {
            // The view may have followed the cursor elsewhere since: the
            // notes and the cursor are what redo puts back.
            EXPECT_EQ(now.substr(24), after[at].substr(24));
            EXPECT_EQ(now.substr(4, 8), after[at].substr(4, 8));
            at++;
            checked++;
        } else {
            EXPECT_EQ(h.done, at) << "key " << last;
        }
        prev = now;
        last = tio.keys.empty() ? -1 : tio.keys.front();
    };
    edit(te);
    EXPECT_GT(checked, 200);
}

TEST_F(Undo, MessagesShowUntilTheNextKey)
{
    struct {
        std::vector<int> keys;
        const char* msg;
    } cases[] = {
        {{CTRLZ}, "      无可撤销"},
        {{CTRLY}, "      无可重做"},
        {{' ', CTRLZ}, "        已撤销"},
        {{' ', CTRLZ, CTRLY}, "        已重做"},
    };
    for (const auto& c : cases) {
        SetUp();
        for (int k : c.keys)
            tiokeys({k});
        tiokeys({'d'});
        std::vector<std::string> seen;
        tio.onkey = [&] { seen.push_back(status()); };
        edit(te);
        ASSERT_EQ(seen.size(), c.keys.size() + 2);
        EXPECT_EQ(seen[c.keys.size()], c.msg);
        EXPECT_EQ(seen.back(), "    创建新音符") << "gone after the next key";
    }
}

TEST_F(Undo, NothingToUndoChangesNothing)
{
    tiokeys({'d', 'd', 's'});
    edit(te);
    auto before = tiocells();
    std::string bytes = snapshot();
    tiokeys({CTRLZ});
    edit(te, false);
    EXPECT_EQ(snapshot(), bytes);
    EXPECT_TRUE(te.doc.filesaved);
}

TEST_F(Undo, BackToTheSavedStateNeedsNoQuestionOnExit)
{
    te.doc.filepath = "u.pvx";
    // A note saved, then lengthened; undo makes it the saved score again,
    // redo leaves it, undo comes back, and Ctrl+C exits without a question.
    tiokeys({' ', CTRLS, ' ', CTRLZ, CTRLY, CTRLZ, CTRLC});
    std::vector<bool> saved;
    tio.onkey = [&] { saved.push_back(te.doc.filesaved); };
    EXPECT_EQ(edit(te, false), 0);
    EXPECT_EQ(saved, (std::vector<bool>{true, false, true, false, true, false, true}));
    EXPECT_EQ(tio.keysread, 7) << "no unsaved-changes question";
}

TEST_F(Undo, ASpaceThatOnlyMarksTheScoreIsOneStep)
{
    // Within a note but on the row above it no note can be made: Space only
    // marks the score changed, and undo takes that back.
    te.doc.filepath = "m.pvx";
    tiokeys({' ', CTRLS, 'w', ' ', CTRLZ});
    std::vector<bool> saved;
    tio.onkey = [&] { saved.push_back(te.doc.filesaved); };
    edit(te, false);
    EXPECT_EQ(saved, (std::vector<bool>{true, false, true, true, false, true}));
    EXPECT_EQ(te.doc.music.size(), 2u);
    EXPECT_EQ(te.view.mousey, 54);
}

TEST_F(Undo, HistoryEndsWithTheDocument)
{
    // 'c' (a fresh run), "clear", New and Open each forget the steps.
    for (std::vector<int> keys : {std::vector<int>{'c'}, std::vector<int>{TAB, 'd', 'd', 'd', ENTER},
                                  std::vector<int>{TAB, 'd', 'd', ENTER}}) {
        SetUp();
        tiokeys({' ', CTRLS, TAB, 'd', 'd', ' '}); // a note, saved, then the file menu open
        tiokeys({TAB});
        for (int k : keys)
            tiokeys({k});
        tiokeys({CTRLZ});
        te.doc.filepath = "h.pvx";
        std::string last;
        tio.onkey = [&] { last = status(); };
        edit(te, false);
        EXPECT_EQ(last, "      无可撤销");
    }
}

TEST_F(Undo, EditMenuUndoesAndRedoes)
{
    // 编辑 is the fourth menu: Tab, three steps right, then its second
    // (撤销) and third (重做) items.
    tiokeys({' ', ' ', TAB, 'd', 'd', 'd', 's', ENTER, TAB, 'd', 'd', 'd', 's', 's', ENTER});
    std::vector<int> lengs;
    tio.onkey = [&] { lengs.push_back(te.doc.music.back().leng); };
    edit(te);
    EXPECT_EQ(lengs[7], 2);
    EXPECT_EQ(lengs[8], 1) << "undone";
    EXPECT_EQ(lengs.back(), 2) << "redone";
    EXPECT_EQ(te.bar.tb[3].tbi[1].name, "撤销");
    EXPECT_EQ(te.bar.tb[3].tbi[2].name, "重做");
}

TEST(History, KeepsTheLastStepsOnly)
{
    sdoc d;
    shistory h;
    histclear(h, d);
    for (size_t i = 0; i < shistory::MAXSTEPS + 5; i++)
        histrecord(h, sstep{});
    EXPECT_EQ(h.steps.size(), shistory::MAXSTEPS);
    EXPECT_EQ(h.done, shistory::MAXSTEPS);
    EXPECT_EQ(h.savedat, -1) << "the saved state fell out of the history";
}
