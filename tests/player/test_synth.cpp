// SPDX-License-Identifier: MIT
// The rendered sound itself: pitch, where notes begin and end, silence,
// clean edges.
#include "helpers.h"

#include "score/pitch.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pt;

namespace {

constexpr int64_t MS = RATE / 1000;
constexpr int FULL = static_cast<int>(LEVEL * 32767);

// Sample where step `step` begins when playing from `start` at `speed`.
int64_t at(int step, int start, double speed)
{
    return std::llround((step - start) * (RATE / 10.0) / speed);
}

void expectpitch(const std::vector<int16_t>& x, int64_t a, int64_t b, double want)
{
    double got = pitchof(x, a, b);
    EXPECT_NEAR(got, want, want * 0.005) << "samples " << a << " to " << b;
}

void expectclean(const std::vector<int16_t>& x, double topfreq)
{
    ASSERT_FALSE(x.empty());
    EXPECT_LE(std::abs(x.front()), 2);
    EXPECT_LE(std::abs(x.back()), 2);
    EXPECT_LE(maxjump(x), allowedjump(topfreq));
    EXPECT_LE(peak(x, 0, static_cast<int64_t>(x.size())), FULL + 1) << "never near clipping";
}

} // namespace

TEST(PlayerSound, NotesSoundAtTheirPitchBetweenSilentRests)
{
    // Low, middle and high ends of the staff, a sharp, and B sharp, which
    // sounds as the C above; rests between them.
    std::vector<smusic> notes = score({note(0, 5, 1, 1), note(7, 5, 3, 6), note(14, 5, 3, 1, true),
                                       note(21, 5, 6, 7), note(28, 5, 4, 7, true)});
    for (double speed : {1.0, 2.0, 0.5, 3.0}) {
        SCOPED_TRACE(speed);
        splan p = scoreplan(notes, 0, 35, speed, 0);
        std::vector<int16_t> x = render(p);
        ASSERT_EQ(static_cast<int64_t>(x.size()), at(35, 0, speed));
        std::vector<srun> r = runs(x);
        ASSERT_EQ(r.size(), 5u);
        const double want[5] = {getfreq(1, 1, false), 440.0, getfreq(3, 1, true), getfreq(6, 7, false),
                                getfreq(5, 1, false)};
        EXPECT_NEAR(want[4], 2 * getfreq(4, 1, false), 0.01);
        for (size_t i = 0; i < 5; i++) {
            int s = static_cast<int>(7 * i);
            int64_t a = at(s, 0, speed), b = at(s + 5, 0, speed);
            EXPECT_NEAR(r[i].s, a, MS) << "note " << i << " begins";
            EXPECT_NEAR(r[i].e, b, MS) << "note " << i << " ends";
            expectpitch(x, a + 10 * MS, b - 10 * MS, want[i]);
            EXPECT_GE(peak(x, a + 10 * MS, b - 10 * MS), FULL - 2);
            // The rest that follows is silence, sample for sample.
            EXPECT_EQ(peak(x, b, at(s + 7, 0, speed)), 0);
        }
        expectclean(x, 3951.07);
    }
}

TEST(PlayerSound, AdjacentNotesAreHeardSeparatelyEvenAtTheSamePitch)
{
    // A A C C, each two steps, no gaps.
    std::vector<smusic> notes =
        score({note(0, 2, 3, 6), note(2, 2, 3, 6), note(4, 2, 4, 1), note(6, 2, 4, 1)});
    splan p = scoreplan(notes, 0, 8, 1.0, 0);
    ASSERT_EQ(p.tones.size(), 4u);
    std::vector<int16_t> x = render(p);
    for (int b = 2; b <= 6; b += 2) {
        int64_t e = at(b, 0, 1.0);
        // Around the edge the sound dips almost to nothing ...
        EXPECT_LT(peak(x, e - MS / 2, e + MS / 2), FULL / 12) << "edge at step " << b;
        // ... and is back at full level once the ramps are over.
        EXPECT_GE(peak(x, e - 8 * MS, e - 6 * MS), FULL * 9 / 10);
        EXPECT_GE(peak(x, e + 6 * MS, e + 8 * MS), FULL * 9 / 10);
    }
    expectpitch(x, 10 * MS, 190 * MS, 440.0);
    expectpitch(x, 410 * MS, 590 * MS, getfreq(4, 1, false));
    expectclean(x, 523.3);
}

TEST(PlayerSound, BlockSizeDoesNotChangeTheSound)
{
    // The phase and the ramps carry over from one block to the next, so a
    // device that asks for odd amounts hears exactly the same samples.
    std::vector<smusic> notes = score({note(0, 3, 3, 6), note(3, 1, 3, 5), note(5, 2, 2, 2, true)});
    splan p = scoreplan(notes, 0, 8, 1.7, 0);
    std::vector<int16_t> whole = render(p, static_cast<size_t>(p.len));
    EXPECT_EQ(render(p, 1), whole);
    EXPECT_EQ(render(p, 333), whole);
    EXPECT_EQ(render(p, 4096), whole);
}

TEST(PlayerSound, ARangeCutsNotesAndStartsThemWithAFade)
{
    // The note began before the range and lasts past its end: it sounds for
    // the part inside, fading in at the range's start and out at its end.
    std::vector<smusic> notes = score({note(0, 20, 3, 6)});
    splan p = scoreplan(notes, 5, 12, 1.0, 0);
    std::vector<int16_t> x = render(p);
    ASSERT_EQ(x.size(), 7u * 4800);
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_LE(r[0].s, MS);
    EXPECT_GE(r[0].e, static_cast<int64_t>(x.size()) - MS);
    expectpitch(x, 10 * MS, 690 * MS, 440.0);
    expectclean(x, 440.0);
}

TEST(PlayerSound, StartingLateSkipsThatMuchOfTheRange)
{
    // Three notes of 5 steps each; the player begins 730 ms, or 230 ms, late.
    std::vector<smusic> notes = score({note(0, 5, 3, 1), note(5, 5, 3, 3), note(10, 5, 3, 5)});
    for (double speed : {1.0, 2.5}) {
        SCOPED_TRACE(speed);
        int64_t skip = speed == 1.0 ? 730 : 230;
        splan p = scoreplan(notes, 0, 15, speed, skip);
        std::vector<int16_t> x = render(p);
        EXPECT_NEAR(static_cast<double>(x.size()), at(15, 0, speed) - skip * MS, 1);
        // Every edge still falls where the editor's marker passes it.
        for (int step : {5, 10}) {
            int64_t e = at(step, 0, speed) - skip * MS;
            if (e <= 0)
                continue;
            EXPECT_LT(peak(x, e - MS / 2, e + MS / 2), FULL / 12) << "edge at step " << step;
        }
        EXPECT_LE(std::abs(x.front()), 2) << "the first sound fades in";
        expectclean(x, 392.0);
    }
    // Later than the whole range: nothing at all.
    EXPECT_EQ(scoreplan(notes, 0, 15, 1.0, 1500).len, 0);
    EXPECT_EQ(scoreplan(notes, 0, 15, 1.0, 1499).len, MS);
}

TEST(PlayerSound, WhatPlaysNothing)
{
    std::vector<smusic> notes = score({note(0, 5, 3, 1)});
    for (double speed : {0.0, -1.0, std::nan(""), double(INFINITY), -double(INFINITY)}) {
        splan p = scoreplan(notes, 0, 5, speed, 0);
        EXPECT_EQ(p.len, 0) << speed;
        EXPECT_TRUE(render(p).empty());
    }
    EXPECT_EQ(scoreplan(notes, 5, 5, 1.0, 0).len, 0);
    EXPECT_EQ(scoreplan(notes, 6, 2, 1.0, 0).len, 0);
    // The sentinel, a note on no staff row, a separator row and a rest of
    // pitch 0 make no sound, but the range still lasts its time.
    std::vector<smusic> silent = score({note(0, 2, 0, 1), note(2, 2, 7, 1), note(4, 2, 3, 0), note(6, 2, 6, 7, true)});
    splan p = scoreplan(silent, 0, 8, 1.0, 0);
    EXPECT_EQ(p.len, 8 * 4800);
    EXPECT_TRUE(p.tones.empty());
    EXPECT_EQ(peak(render(p), 0, p.len), 0);
    splan s = scoreplan({SENTINEL}, 3599990, 3600010, 1.0, 0);
    EXPECT_TRUE(s.tones.empty());
}

TEST(PlayerSound, OneToneLastsItsStepsOfATenthOfASecond)
{
    sreq r;
    r.mode = 1;
    r.freq = 440;
    r.leng = 10;
    std::vector<int16_t> x = render(toneplan(r));
    ASSERT_EQ(x.size(), static_cast<size_t>(RATE));
    expectpitch(x, 10 * MS, 990 * MS, 440.0);
    expectclean(x, 440.0);
    std::vector<srun> rr = runs(x);
    ASSERT_EQ(rr.size(), 1u);
    EXPECT_LE(rr[0].s, MS);
    EXPECT_GE(rr[0].e, RATE - MS);
    // A frequency that cannot be played is silence of the same length.
    for (int64_t f : {0LL, -440LL, static_cast<long long>(RATE / 2), 9000000000LL}) {
        r.freq = f;
        splan p = toneplan(r);
        EXPECT_EQ(p.len, RATE);
        EXPECT_TRUE(p.tones.empty());
    }
    r.freq = 440;
    r.leng = 0;
    EXPECT_EQ(toneplan(r).len, 0);
    r.leng = -3;
    EXPECT_EQ(toneplan(r).len, 0);
}

TEST(PlayerSound, NotesInRingOrderOrOverlappingPlayOneAtATime)
{
    // A file holds its notes in ring order; where one overlaps the next,
    // the later note cuts the earlier one short.
    std::vector<smusic> notes = {SENTINEL, note(10, 5, 3, 1), note(0, 12, 3, 6)};
    EXPECT_EQ(scoreend(notes), 15);
    std::vector<int16_t> x = render(scoreplan(notes, 0, 15, 1.0, 0));
    expectpitch(x, 10 * MS, 990 * MS, 440.0);
    expectpitch(x, 1010 * MS, 1490 * MS, getfreq(3, 1, false));
    EXPECT_LT(peak(x, 1000 * MS - MS / 2, 1000 * MS + MS / 2), FULL / 12);
}
