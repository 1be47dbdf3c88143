// SPDX-License-Identifier: MIT
// Reading "beepset.tmp": both request forms as the editor writes them, and
// what the player does with text that is not a request.
#include "helpers.h"

#include "score/pitch.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pt;

TEST(PlayerRequest, ReadsWhatTheEditorWrites)
{
    stimems now{1733650000, 7};
    sreq r;
    std::string err;

    ASSERT_EQ(parsereq(beeptext(reqmode::tone, splay{}, 3, 6, false, 10, now, ""), r, err), 0) << err;
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.sec, 1733650000);
    EXPECT_EQ(r.ms, 7);
    EXPECT_EQ(r.freq, 440);
    EXPECT_EQ(r.leng, 10);

    splay pl{12, 345, 0.25f, true};
    ASSERT_EQ(parsereq(beeptext(reqmode::play, pl, 0, 0, false, 0, now, "/home/u/my songs/tune 1.pvx"), r, err), 0) << err;
    EXPECT_EQ(r.mode, 0);
    EXPECT_EQ(r.path, "/home/u/my songs/tune 1.pvx");
    EXPECT_EQ(r.start, 12);
    EXPECT_EQ(r.end, 345);
    EXPECT_DOUBLE_EQ(r.speed, 0.25);

    // The empty request the editor writes for anything else.
    ASSERT_EQ(parsereq(beeptext(static_cast<reqmode>(2), pl, 0, 0, false, 0, now, "x"), r, err), 0);
    EXPECT_EQ(r.mode, -1);
    ASSERT_EQ(parsereq(" \r\n\n", r, err), 0);
    EXPECT_EQ(r.mode, -1);
}

TEST(PlayerRequest, AcceptsLfBreaksSixtyFourBitSecondsAndAFinalBreak)
{
    sreq r;
    std::string err;
    ASSERT_EQ(parsereq("0 99999999999 999\n  spaced path  \n-5 10 1.500000\n", r, err), 0) << err;
    EXPECT_EQ(r.sec, 99999999999LL);
    EXPECT_EQ(r.ms, 999);
    EXPECT_EQ(r.path, "  spaced path  ");
    EXPECT_EQ(r.start, -5);
    EXPECT_DOUBLE_EQ(r.speed, 1.5);
    ASSERT_EQ(parsereq("1 -1 0 261 10\r\n", r, err), 0) << err;
    EXPECT_EQ(r.sec, -1);
    // Speeds that play nothing are still requests.
    for (const char* sp : {"0.000000", "-2.000000", "inf", "-nan", "1e999", "1e-999"}) {
        ASSERT_EQ(parsereq(std::string("0 1 2\r\np\r\n0 10 ") + sp, r, err), 0) << sp << ": " << err;
        EXPECT_EQ(scoreplan({}, r.start, r.end, r.speed, 0).len, 0) << sp;
    }
}

TEST(PlayerRequest, RefusesMalformedTextWithOneLine)
{
    const char* bad[] = {
        "2 1 2 440 10",                 // no such mode
        "x",                            // not a number
        "1 1 2 440",                    // a field missing
        "1 1 2 440 10 7",               // a field too many
        "1 1 2 440.5 10",               // a frequency is whole
        "1 1 1000 440 10",              // milliseconds beyond 999
        "1 1 -1 440 10",                // negative milliseconds
        "1 99999999999999999999 0 440 10", // seconds beyond 64 bits
        "1 1 2 440 3000000000",         // a length beyond int
        "1 1 2 +440 10",                // numbers carry no plus
        "1 1 2 440 10\r\nmore",         // text after the request
        "0 1 2",                        // score lines missing
        "0 1 2\r\npath",                // the range line missing
        "0 1 2\r\npath\r\n0 10",        // the speed missing
        "0 1 2\r\npath\r\n0 10 fast",   // a speed that is no number
        "0 1 2\r\npath\r\n0 1e3 1.0",   // a step is whole
        "0 1 2\r\npath\r\n0 10 1.0\r\nx", // text after the request
        "\r\n1 1 2 440 10",             // line 1 empty
    };
    for (const char* t : bad) {
        sreq r;
        std::string err;
        EXPECT_EQ(parsereq(t, r, err), -1) << t;
        EXPECT_FALSE(err.empty()) << t;
        EXPECT_EQ(err.find('\n'), std::string::npos) << t;
    }
    sreq r;
    std::string err;
    EXPECT_EQ(parsereq(std::string("0 1 2\r\na\0b\r\n0 10 1.0", 20), r, err), -1) << "a NUL in the path";
}

TEST(PlayerRequest, LatenessIsMeasuredFromTheStamp)
{
    sreq r;
    r.sec = 1000;
    r.ms = 5;
    EXPECT_EQ(lateness(r, 1000005), 0);
    EXPECT_EQ(lateness(r, 1001240), 1235);
    EXPECT_EQ(lateness(r, 999000), 0) << "a stamp in the future is no lateness";
    r.sec = -9223372036854775807LL;
    EXPECT_GT(lateness(r, 1000), 0);
    r.sec = 9223372036854775807LL;
    EXPECT_EQ(lateness(r, 1000), 0);
}

// The program, run as the editor runs it, in a folder of its own.
struct PlayerProgram : indir {
};

TEST_F(PlayerProgram, MalformedRequestsEndWithOneLineAndAFailure)
{
    for (const char* t : {"7 1 2", "1 1 2 440", "0 1 2\r\n", "1 1 2 440 10\r\n\x01\x02"}) {
        request(t);
        std::string err;
        int st = runbeep(dir, {}, {"SDL_AUDIODRIVER=dummy"}, err);
        EXPECT_EQ(st, 1) << t;
        ASSERT_FALSE(err.empty()) << t;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_EQ(err.rfind("pellavine-beep: ", 0), 0u) << err;
    }
    // No request file at all.
    std::remove((dir + "/beepset.tmp").c_str());
    std::string err;
    EXPECT_EQ(runbeep(dir, {}, {"SDL_AUDIODRIVER=dummy"}, err), 1);
    EXPECT_NE(err.find("beepset.tmp"), std::string::npos) << err;
}

TEST_F(PlayerProgram, NothingToPlayEndsAtOnceAndQuietly)
{
    // The empty request, a zero speed and an empty range need no device: an
    // audio driver that does not exist is never asked.
    for (std::string t : {std::string(), scorereq(1, 0, "missing.pvx", 0, 10, 0.0),
                          scorereq(1, 0, "missing.pvx", 10, 10, 1.0), tonereq(1, 0, 440, 0)}) {
        request(t);
        std::string err;
        int64_t t0 = nowms();
        EXPECT_EQ(runbeep(dir, {}, {"SDL_AUDIODRIVER=nonesuch"}, err), 0) << t << err;
        EXPECT_EQ(err, "");
        EXPECT_LT(nowms() - t0, 2000);
    }
}

TEST_F(PlayerProgram, AScoreItCannotReadPlaysNothingAndSaysWhy)
{
    writebytes(dir + "/damaged.pvx", pvxbytes({note(0, 5, 3, 1)}).substr(0, 30));
    for (const char* path : {"missing.pvx", "damaged.pvx", ""}) {
        // Stamped now to the millisecond, with a range long enough that the
        // player still has something to play when it looks at the score.
        int64_t t = nowms();
        request(scorereq(t / 1000, static_cast<int>(t % 1000), path, 0, 100, 1.0));
        std::string err;
        EXPECT_EQ(runbeep(dir, {}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir + "/out.raw"}, err), 1);
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
        EXPECT_NE(err.find("score file"), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(dir + "/out.raw")) << "no sound for " << path;
    }
}

TEST_F(PlayerProgram, WithoutAnAudioDeviceItEndsPromptlyWithAMessage)
{
    request(tonereq(nowms() / 1000, 0, 440, 50));
    std::string err;
    int64_t t0 = nowms();
    EXPECT_EQ(runbeep(dir, {}, {"SDL_AUDIODRIVER=nonesuch"}, err), 1);
    EXPECT_LT(nowms() - t0, 2000);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find("no audio device"), std::string::npos) << err;
}

TEST_F(PlayerProgram, HelpAndWrongCommandLines)
{
    std::string err;
    EXPECT_EQ(runbeep(dir, {"--help"}, {}, err), 0);
    EXPECT_EQ(runbeep(dir, {"--wav"}, {}, err), 2);
    EXPECT_NE(err.find("Usage"), std::string::npos);
    EXPECT_EQ(runbeep(dir, {"--bogus"}, {}, err), 2);
    EXPECT_EQ(runbeep(dir, {"--export", "a.pvx"}, {}, err), 2);
    writebytes(dir + "/a.pvx", pvxbytes({note(0, 1, 3, 1)}));
    EXPECT_EQ(runbeep(dir, {"--export", "a.pvx", "out.mp3"}, {}, err), 2);
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.mp3"));
}
