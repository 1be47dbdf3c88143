// SPDX-License-Identifier: MIT
// The score ring against a plain queue: order, current note and the
// "reached a new note" signal must match after every operation.
#include "score/ring.h"
#include "naivering.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void expectsame(const Ring& r, const naivering& n)
{
    auto a = r.queue();
    auto b = n.queue();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++)
        ASSERT_TRUE(same(a[i], b[i])) << "position " << i << ": " << a[i].start << " vs " << b[i].start;
    ASSERT_TRUE(same(r.back(), n.q.back()));
    ASSERT_TRUE(same(r.front(), n.q.front()));
}

struct RingTest : ::testing::Test {
    Ring r;
    naivering n;
    void SetUp() override
    {
        r.clear();
        r.push(SENTINEL);
        n.q = {SENTINEL};
    }
    void push(int start, int leng, int pitch = 1)
    {
        smusic m{start, 3, pitch, leng, false};
        r.push(m);
        n.push(m);
    }
    bool locate(long long x)
    {
        smusic p1, p2;
        bool moved = r.locate(x, &p1);
        size_t turns = n.locate(x, &p2);
        EXPECT_EQ(moved, turns > 0 && turns < n.q.size()) << x;
        if (moved) {
            EXPECT_TRUE(same(p1, p2)) << x;
        }
        expectsame(r, n);
        return moved;
    }
};

TEST_F(RingTest, OnlyTheSentinel)
{
    EXPECT_FALSE(locate(0));
    EXPECT_TRUE(issentinel(r.back()));
    push(0, 1);
    EXPECT_EQ(r.back().start, 0);
    EXPECT_TRUE(issentinel(r.front()));
    expectsame(r, n);
}

TEST_F(RingTest, LocatesWithinAndBetweenNotes)
{
    locate(0);
    push(0, 4);
    locate(5);
    push(5, 1);
    locate(4);
    EXPECT_EQ(r.back().start, 0);
    EXPECT_EQ(r.front().start, 5);
    locate(5);
    EXPECT_EQ(r.back().start, 5);
    // Already there: found only after a whole turn, so no new note.
    EXPECT_FALSE(locate(5));
    EXPECT_TRUE(locate(0));
}

TEST_F(RingTest, BeforeTheFirstNote)
{
    locate(5);
    push(5, 2);
    locate(2);
    EXPECT_TRUE(issentinel(r.back()));
    EXPECT_EQ(r.front().start, 5);
    push(2, 1); // goes before the first note
    auto q = r.queue();
    EXPECT_EQ(q.back().start, 2);
    locate(0);
    EXPECT_EQ(r.front().start, 2);
}

TEST_F(RingTest, ReplaceAndRemoveKeepCyclicOrder)
{
    for (int s : {0, 10, 20, 30}) {
        locate(s);
        push(s, 3);
    }
    locate(21);
    smusic m = r.back();
    m.leng = 5;
    r.setback(m);
    n.setback(m);
    expectsame(r, n);
    r.popback();
    n.popback();
    expectsame(r, n);
    EXPECT_EQ(r.back().start, 10);
    locate(100);
    locate(0);
}

TEST_F(RingTest, AssignAndQueueRoundTrip)
{
    for (int s : {0, 10, 20}) {
        locate(s);
        push(s, 3);
    }
    locate(10);
    auto q = r.queue();
    Ring copy;
    copy.assign(q);
    auto q2 = copy.queue();
    ASSERT_EQ(q.size(), q2.size());
    for (size_t i = 0; i < q.size(); i++)
        EXPECT_TRUE(same(q[i], q2[i]));
}

// Random editing the way the editor does it: locate the cursor, then create,
// lengthen, shorten or remove the current note.
TEST_F(RingTest, RandomEditingMatchesThePlainQueue)
{
    std::mt19937 rng(12345);
    for (int step = 0; step < 20000; step++) {
        long long x = rng() % 300;
        if (rng() % 50 == 0)
            x = 3599999;
        locate(x);
        const smusic cur = r.back();
        const smusic next = r.front();
        bool within = cur.start <= x && x < static_cast<long long>(cur.start) + cur.leng;
        switch (rng() % 4) {
        case 0: // Space where free: create
            if (!within)
                push(static_cast<int>(x), 1, 1 + static_cast<int>(rng() % 7));
            break;
        case 1: // Space on a note: lengthen into free time
            if (within && cur.start + cur.leng < next.start) {
                smusic m = cur;
                m.leng++;
                r.setback(m);
                n.setback(m);
            }
            break;
        case 2: // Backspace
            if (within) {
                smusic m = cur;
                m.leng--;
                if (m.leng == 0) {
                    r.popback();
                    n.popback();
                } else {
                    r.setback(m);
                    n.setback(m);
                }
            }
            break;
        default:
            break;
        }
        expectsame(r, n);
        if (HasFatalFailure())
            return;
    }
}

} // namespace

namespace {

// Thousands of notes, so that chunks split, empty and go: build a score in
// random order, then take it apart again, comparing with the plain queue.
TEST_F(RingTest, LargeScoresSplitAndMergeTheirStorage)
{
    std::mt19937 rng(99);
    auto compare = [&] {
        expectsame(r, n);
    };
    for (int step = 0; step < 4000; step++) {
        long long x = rng() % 20000;
        locate(x);
        const smusic cur = r.back();
        bool within = cur.start <= x && x < static_cast<long long>(cur.start) + cur.leng;
        if (!within)
            push(static_cast<int>(x), 1);
        if (step % 200 == 0)
            compare();
        if (HasFatalFailure())
            return;
    }
    compare();
    EXPECT_GT(r.size(), 2 * Ring::CHUNK);
    EXPECT_GT(r.chunks.size(), 2u);
    while (r.size() > 1) {
        long long x = rng() % 20000;
        locate(x);
        if (!issentinel(r.back())) {
            r.popback();
            n.popback();
        }
        if (r.size() % 150 == 0)
            compare();
        if (HasFatalFailure())
            return;
    }
    compare();
    EXPECT_TRUE(issentinel(r.back()));
}

} // namespace
