// SPDX-License-Identifier: MIT
// The span edits against a plain sorted vector of notes: random sequences of
// every edit with undo and redo, compared after each with the model and,
// after undo and redo, with the model's states kept as snapshots.
#include "naivering.h"
#include "score/edits.h"
#include "score/ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>

namespace {

using notes = std::vector<smusic>;
long long endof(const smusic& m) { return static_cast<long long>(m.start) + m.leng; }

// One semitone up or down as the staff spells it, a letter at a time.
smusic semitone(smusic m, bool up)
{
    if (up) {
        if (m.rise || m.pitch == 3 || m.pitch == 7) { // #X, E and B go to the next letter
            m.rise = false;
            if (m.pitch == 7)
                m.heig++;
            m.pitch = m.pitch == 7 ? 1 : m.pitch + 1;
        } else {
            m.rise = true;
        }
    } else if (m.rise) {
        m.rise = false;
    } else {
        if (m.pitch == 1)
            m.heig--;
        m.pitch = m.pitch == 1 ? 7 : m.pitch - 1;
        m.rise = m.pitch != 3 && m.pitch != 7; // down from F is E, from C is B
    }
    return m;
}

// The model: notes in time order, the sentinel left out.
struct model {
    notes n;
    int mousex = 0, mousey = 55;
    void sort() { std::sort(n.begin(), n.end(), [](auto& a, auto& b) { return a.start < b.start; }); }
    // Notes overlapping [a, e) go; one reaching in from before is cut short.
    void clearspan(long long a, long long e)
    {
        notes k;
        for (smusic m : n) {
            if (m.start >= a && m.start < e)
                continue;
            if (m.start < a && endof(m) > a)
                m.leng = static_cast<int>(a - m.start);
            k.push_back(m);
        }
        n = k;
    }
    notes in(long long a, long long b) const
    {
        notes r;
        for (auto& m : n)
            if (m.start >= a && m.start < b)
                r.push_back(m);
        return r;
    }
    editres cut(sspan s)
    {
        notes r = in(s.a, s.b);
        n.erase(std::remove_if(n.begin(), n.end(), [&](auto& m) { return m.start >= s.a && m.start < s.b; }), n.end());
        return r.empty() ? editres::nothing : editres::done;
    }
    editres paste(const sclip& c, int at)
    {
        if (c.notes.empty())
            return editres::nothing;
        if (static_cast<long long>(at) + c.leng > ENDSTART)
            return editres::time;
        clearspan(at, static_cast<long long>(at) + c.leng);
        for (smusic m : c.notes) {
            m.start += at;
            n.push_back(m);
        }
        sort();
        return editres::done;
    }
    editres transpose(sspan s, int semis)
    {
        notes k = n;
        bool any = false;
        for (smusic& m : k)
            if (m.start >= s.a && m.start < s.b) {
                any = true;
                int row = noterow(m);
                bool here = m.start <= mousex && mousex < endof(m) && row == mousey;
                for (int i = 0; i < std::abs(semis); i++)
                    m = semitone(m, semis > 0);
                if (m.heig < 1 || m.heig > 6)
                    return editres::range;
                if (here)
                    mousey = noterow(m);
            }
        if (!any)
            return editres::nothing;
        n = k;
        return editres::done;
    }
    editres insert(int x)
    {
        for (auto& m : n)
            if (m.start >= x && endof(m) + 1 > ENDSTART)
                return editres::time;
        for (auto& m : n)
            if (m.start >= x)
                m.start++;
        return editres::done;
    }
    editres remove(int x)
    {
        notes k;
        for (smusic m : n) {
            if (m.start <= x && x < endof(m))
                m.leng--;
            else if (m.start > x)
                m.start--;
            if (m.leng > 0)
                k.push_back(m);
        }
        n = k;
        return editres::done;
    }
    editres digit(int degree, int leng)
    {
        long long stop = ENDSTART;
        for (auto& m : n)
            if (m.start > mousex)
                stop = std::min<long long>(stop, m.start);
        smusic m{mousex, std::clamp(6 - mousey / 14, 1, 6), degree, static_cast<int>(std::min<long long>(leng, stop - mousex)), false};
        clearspan(mousex, endof(m));
        n.push_back(m);
        sort();
        mousex = static_cast<int>(std::min<long long>(endof(m), MAXCOL));
        mousey = noterow(m);
        return editres::done;
    }
    editres lengthen(int leng)
    {
        for (auto& m : n)
            if (endof(m) == mousex) {
                long long stop = ENDSTART;
                for (auto& o : n)
                    if (o.start >= mousex)
                        stop = std::min<long long>(stop, o.start);
                long long e = std::min<long long>(endof(m) + leng, stop);
                if (e == endof(m))
                    return editres::nothing;
                m.leng = static_cast<int>(e - m.start);
                mousex = static_cast<int>(e);
                return editres::done;
            }
        return editres::nothing;
    }
};

struct Edits : ::testing::Test {
    sdoc doc;
    sview view;
    shistory hist;
    model m;

    // The ring read in time order, and located at random columns, agrees
    // with the model.
    void expectsame(std::mt19937& rng)
    {
        notes got;
        for (auto i = doc.music.begin(); i != doc.music.end(); ++i)
            got.push_back(*i);
        ASSERT_EQ(got.size(), m.n.size() + 1);
        ASSERT_TRUE(issentinel(got.back()));
        for (size_t i = 0; i < m.n.size(); i++)
            ASSERT_TRUE(same(got[i], m.n[i])) << "note " << i << ": " << got[i].start << " vs " << m.n[i].start;
        ASSERT_EQ(doc.music.size(), got.size());
        int x = static_cast<int>(rng() % 8000);
        doc.music.locate(x);
        auto q = doc.music.queue();
        ASSERT_EQ(q.size(), got.size());
        const smusic b = doc.music.back();
        notes before = m.in(0, x + 1);
        ASSERT_TRUE(before.empty() ? issentinel(b) : same(b, before.back())) << x;
        sspan s{x, x + static_cast<int>(rng() % 600)};
        EXPECT_EQ(notecount(doc.music, s), m.in(s.a, s.b).size());
    }
};

TEST(Transpose, SpellsAsTheStaffDoes)
{
    struct {
        smusic from;
        int semis;
        bool ok;
        smusic to;
    } cases[] = {
        {{0, 3, 3, 1, false}, 1, true, {0, 3, 4, 1, false}},  // E up is F
        {{0, 3, 1, 1, false}, 1, true, {0, 3, 1, 1, true}},   // C up is #C
        {{0, 3, 7, 1, false}, 1, true, {0, 4, 1, 1, false}},  // B up is C of the next octave
        {{0, 3, 4, 1, false}, -1, true, {0, 3, 3, 1, false}}, // F down is E
        {{0, 3, 2, 1, true}, 12, true, {0, 4, 2, 1, true}},
        {{0, 6, 7, 1, false}, 1, false, {}},                  // past the top of the staff
        {{0, 1, 1, 1, false}, -1, false, {}},                 // below the bottom
        {{0, 6, 1, 1, false}, 12, false, {}},
        {{0, 3, 0, 1, false}, 1, false, {}},                  // no pitch
    };
    for (const auto& c : cases) {
        smusic out;
        ASSERT_EQ(transposed(c.from, c.semis, out), c.ok) << c.from.heig << c.from.pitch << " by " << c.semis;
        if (c.ok) {
            EXPECT_TRUE(same(out, c.to)) << out.heig << " " << out.pitch << " " << out.rise;
        }
    }
}

// Random edits of every kind, undo and redo, on a score large enough that
// the ring's chunks split, shift and go.
TEST_F(Edits, RandomEditsUndoAndRedoAgainstTheModel)
{
    std::mt19937 rng(18);
    for (int t = 0, i = 0; i < 3000; i++) {
        t += 1 + static_cast<int>(rng() % 3);
        smusic n = rownote(1 + static_cast<int>(rng() % 83));
        if (n.pitch == 0)
            n = rownote(55);
        n.start = t;
        n.leng = 1 + static_cast<int>(rng() % 3);
        t += n.leng - 1;
        m.n.push_back(n);
    }
    notes all = m.n;
    all.push_back(SENTINEL);
    doc.music.assign(all);
    histclear(hist, doc);
    std::vector<model> states{m}; // the model after each step in effect
    size_t at = 0;
    sclip clip;
    int made[8]{}; // edits that changed the score, by kind
    for (int step = 0; step < 2500; step++) {
        int x = static_cast<int>(rng() % 9000);
        sspan s{x, x + 1 + static_cast<int>(rng() % 300)};
        view.mousex = m.mousex = x;
        view.mousey = m.mousey = static_cast<int>(rng() % 85);
        int semis = std::array{1, -1, 12, -12}[rng() % 4];
        int kind = static_cast<int>(rng() % 11);
        editres got = editres::nothing, want = editres::nothing;
        switch (kind) {
        case 0:
            clip = copyspan(doc.music, s);
            continue;
        case 1: got = cutspan(doc, hist, view, s); want = m.cut(s); break;
        case 2: got = pastespan(doc, hist, view, clip, x); want = m.paste(clip, x); break;
        case 3: got = transpose(doc, hist, view, s, semis); want = m.transpose(s, semis); break;
        case 4: got = insertstep(doc, hist, view, x); want = m.insert(x); break;
        case 5: got = removestep(doc, hist, view, x); want = m.remove(x); break;
        case 6: {
            int d = 1 + static_cast<int>(rng() % 7), l = 1 << (rng() % 7);
            got = enterdigit(doc, hist, view, d, l);
            want = m.digit(d, l);
            break;
        }
        case 7: {
            // From the end of a note, as after entering one.
            auto i = doc.music.lower(x);
            if (i != doc.music.end() && !issentinel(*i))
                view.mousex = m.mousex = static_cast<int>(endof(*i));
            int l = 1 << (rng() % 4);
            got = lengthen(doc, hist, view, l);
            want = m.lengthen(l);
            break;
        }
        case 8:
        case 9:
            if (histundo(hist, doc, view)) {
                m = states[--at];
                view.mousex = m.mousex; // the model keeps only the notes' place
            }
            break;
        case 10:
            if (histredo(hist, doc, view))
                m = states[++at];
            break;
        }
        ASSERT_EQ(got, want) << "step " << step << " kind " << kind << " at " << x;
        if (kind < 8) {
            if (got == editres::done) {
                made[kind]++;
                states.resize(++at);
                states.push_back(m);
                at = states.size() - 1;
                EXPECT_FALSE(doc.filesaved);
            }
            EXPECT_EQ(view.mousex, m.mousex);
            EXPECT_EQ(view.mousey, m.mousey);
        }
        EXPECT_EQ(hist.done, at);
        expectsame(rng);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(hist.done, 100u);
    for (int k = 1; k < 8; k++)
        EXPECT_GT(made[k], 20) << "kind " << k;
}

// Refused or empty edits leave the score, the cursor and the history as
// they were.
TEST_F(Edits, RefusedEditsChangeNothing)
{
    const sclip two{{smusic{0, 3, 1, 2, false}}, 2};
    struct {
        const char* what;
        notes score;
        int x;
        std::function<editres(Edits&)> edit;
        editres want;
    } cases[] = {
        {"paste past the end", {}, MAXCOL, [&](Edits& e) { return pastespan(e.doc, e.hist, e.view, two, MAXCOL); }, editres::time},
        {"paste nothing", {}, 0, [](Edits& e) { return pastespan(e.doc, e.hist, e.view, sclip{}, 0); }, editres::nothing},
        {"a step into the end", {{ENDSTART - 2, 3, 1, 2, false}}, 5, [](Edits& e) { return insertstep(e.doc, e.hist, e.view, 5); }, editres::time},
        {"B of octave 6 up", {{0, 3, 1, 1, false}, {4, 6, 7, 1, false}}, 0, [](Edits& e) { return transpose(e.doc, e.hist, e.view, {0, 9}, 1); }, editres::range},
        {"C of octave 1 down", {{4, 1, 1, 1, false}}, 0, [](Edits& e) { return transpose(e.doc, e.hist, e.view, {0, 9}, -1); }, editres::range},
        {"cut where no note starts", {{0, 3, 1, 5, false}}, 2, [](Edits& e) { return cutspan(e.doc, e.hist, e.view, {1, 4}); }, editres::nothing},
        {"lengthen where none ends", {{0, 3, 1, 5, false}}, 3, [](Edits& e) { return lengthen(e.doc, e.hist, e.view, 4); }, editres::nothing},
        {"lengthen against the next", {{0, 3, 1, 5, false}, {5, 3, 1, 1, false}}, 5, [](Edits& e) { return lengthen(e.doc, e.hist, e.view, 4); }, editres::nothing},
    };
    for (auto& c : cases) {
        notes all = c.score;
        all.push_back(SENTINEL);
        doc.music.assign(all);
        histclear(hist, doc);
        view.mousex = c.x;
        sview was = view;
        EXPECT_EQ(c.edit(*this), c.want) << c.what;
        EXPECT_EQ(doc.music.queue().size(), all.size()) << c.what;
        for (size_t i = 0; i < c.score.size(); i++)
            EXPECT_TRUE(same(doc.music.queue()[i], all[i])) << c.what;
        EXPECT_EQ(view.mousex, was.mousex);
        EXPECT_EQ(view.mousey, was.mousey);
        EXPECT_EQ(hist.done, 0u) << c.what;
        EXPECT_TRUE(doc.filesaved) << c.what;
    }
}

TEST(History, ForgetsOldStepsPastItsNoteCap)
{
    sdoc d;
    shistory h;
    histclear(h, d);
    sstep big;
    big.removed.assign(shistory::MAXNOTES / 3, smusic{});
    for (int i = 0; i < 5; i++)
        histrecord(h, big);
    EXPECT_EQ(h.steps.size(), 3u);
    EXPECT_EQ(h.notes, 3 * big.removed.size());
}

} // namespace
