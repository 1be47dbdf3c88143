// SPDX-License-Identifier: MIT
// Time units, staff rows, scroll-bar arithmetic, frequencies and the tone
// requests.
#include "score/model.h"
#include "score/pitch.h"

#include <gtest/gtest.h>

TEST(Time, StepsToHoursMinutesSeconds)
{
    stime t = ttrans(36615);
    EXPECT_EQ(t.h, 1);
    EXPECT_EQ(t.min, 1);
    EXPECT_FLOAT_EQ(t.s, 1.5f);
    t = ttrans(599);
    EXPECT_EQ(t.h, 0);
    EXPECT_EQ(t.min, 0);
    EXPECT_FLOAT_EQ(t.s, 59.9f);
    EXPECT_EQ(ttenth(t), 9);
    t = ttrans(3600000);
    EXPECT_EQ(t.h, 100);
    EXPECT_EQ(t.min, 0);
    EXPECT_FLOAT_EQ(t.s, 0.0f);
    t = ttrans(0);
    EXPECT_EQ(t.h + t.min, 0);
    EXPECT_EQ(t.s, 0.0f);
    // Every tenth shown on the ruler and status row comes back exactly.
    for (int x = 0; x < 2000; x++)
        ASSERT_EQ(ttenth(ttrans(x)), x % 10) << x;
}

TEST(Time, BackToStepsRoundsThroughSinglePrecision)
{
    EXPECT_EQ(ttransb(0, 0, 0.7f), 7);
    EXPECT_EQ(ttransb(0, 1, 2.5f), 625);
    EXPECT_EQ(ttransb(100, 0, 0.0f), 3600000);
    EXPECT_EQ(ttransb(0, 13, 5.2f), 7852);
    for (int x = 0; x < 36000; x += 7) {
        stime t = ttrans(x);
        ASSERT_EQ(ttransb(t.h, t.min, t.s), x) << x;
    }
}

TEST(Time, ScrollThumb)
{
    spgline p = fpgline(84, 40, 23, 21);
    EXPECT_EQ(p.s, 10);
    EXPECT_EQ(p.e, 15);
    p = fpgline(84, 62, 23, 21);
    EXPECT_EQ(p.s, 15);
    EXPECT_EQ(p.e, 21);
    p = fpgline(150, 51, 100, 98);
    EXPECT_EQ(p.s, 33);
    EXPECT_EQ(p.e, 98);
    // Large scores do not overflow the products.
    p = fpgline(3599999, 3599899, 100, 98);
    EXPECT_EQ(p.e, 98);
}

TEST(Rows, NotesAndRowsAgree)
{
    for (int row = 0; row < ROWS; row++) {
        smusic m = rownote(row);
        if (m.pitch == 0)
            continue;
        EXPECT_EQ(noterow(m), row) << row;
    }
    EXPECT_EQ(noterow(smusic{0, 3, 1, 1, false}), 55);           // middle C
    EXPECT_EQ(noterow(smusic{0, 6, 6, 1, true}), 2);             // A sharp, octave 6
    EXPECT_EQ(noterow(smusic{0, 3, 3, 1, true}), noterow(smusic{0, 3, 4, 1, false})); // E sharp is F
    EXPECT_EQ(noterow(smusic{0, 3, 7, 1, true}), noterow(smusic{0, 4, 1, 1, false})); // B sharp is the C above
    EXPECT_EQ(noterow(SENTINEL), -1);
    EXPECT_EQ(noterow(smusic{0, 3, 9, 1, false}), -1);
    EXPECT_EQ(noterow(smusic{0, -5, 1, 1, false}), -1);
    EXPECT_EQ(noterow(smusic{0, 2000000000, 1, 1, false}), -1);
    EXPECT_EQ(noterow(smusic{0, 7, 7, 1, true}), -1); // B sharp of octave 7 would be row -1
}

TEST(Tone, FrequenciesAreTruncated)
{
    struct {
        int heig, pitch;
        bool rise;
        int hz;
    } cases[] = {{3, 6, false, 440}, {3, 1, false, 261}, {3, 5, false, 391}, {3, 1, true, 277},
                 {2, 6, false, 219}, {1, 6, false, 109}, {4, 6, false, 880}, {1, 1, false, 65},
                 {6, 7, false, 3951}, {3, 2, false, 293}, {3, 4, false, 349}, {3, 4, true, 369}};
    for (auto& c : cases) {
        stimems now{1700000000, 5};
        EXPECT_EQ(beeptext(reqmode::tone, splay{}, c.heig, c.pitch, c.rise, 10, now, ""),
                  "1 1700000000 5 " + std::to_string(c.hz) + " 10");
    }
    EXPECT_NEAR(getfreq(2, 6, false), 219.999999998, 1e-8);
}

TEST(Tone, RequestTexts)
{
    stimems now{1733650000, 7};
    splay p{10, 250, 0.25f, true};
    EXPECT_EQ(beeptext(reqmode::play, p, 0, 0, false, 0, now, "/home/u/my scores/a b.pvx"),
              "0 1733650000 7\r\n/home/u/my scores/a b.pvx\r\n10 250 0.250000");
    p.speed = 1.0f;
    EXPECT_EQ(beeptext(reqmode::play, p, 0, 0, false, 0, now, "x.pvx"), "0 1733650000 7\r\nx.pvx\r\n10 250 1.000000");
    p.yn = false;
    EXPECT_EQ(beeptext(reqmode::play, p, 0, 0, false, 0, now, "x.pvx"), "");
    EXPECT_EQ(beeptext(static_cast<reqmode>(2), p, 3, 6, false, 10, now, "x.pvx"), "");
    // Timestamps past 2038 stay whole.
    EXPECT_EQ(beeptext(reqmode::tone, p, 3, 6, false, 10, stimems{4102444800LL, 999}, ""), "1 4102444800 999 440 10");
}
