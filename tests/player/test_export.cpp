// SPDX-License-Identifier: MIT
// Scores and requests rendered to files from the command line.
#include "helpers.h"

#include "score/pvx.h"
#include "score/pitch.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pt;

namespace {

std::string hex(const std::string& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string o;
    for (unsigned char c : b) {
        o += d[c >> 4];
        o += d[c & 15];
        o += ' ';
    }
    return o;
}

std::string unhex(const char* h)
{
    std::string o;
    for (const char* p = h; *p;) {
        if (*p == ' ') {
            p++;
            continue;
        }
        o += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
        p += 2;
    }
    return o;
}

struct PlayerExport : indir {
    // The sine tone: these tests look at exact samples and bytes.
    int run(const std::vector<std::string>& args, std::string& err)
    {
        return runbeep(dir, args, {"PELLAVINE_INSTRUMENT=tone"}, err);
    }
};

} // namespace

TEST_F(PlayerExport, MidiFileBytes)
{
    // Deltas of one, two, three and four bytes, a note and the next of the
    // same pitch touching, and a gap longer than one delta can hold. The
    // file keeps its notes in ring order, the sentinel among them.
    std::vector<smusic> notes = {
        note(345, 21846, 3, 1),        // C3 right after the B sharp, 2097216 ticks long
        note(2818394, 1, 3, 4, true),  // F sharp after a gap of 268435488 ticks
        SENTINEL,
        note(0, 1, 3, 6),              // A3, one step
        note(3, 170, 3, 1),            // C3 after a rest of two steps, 16320 ticks long
        note(344, 1, 2, 7, true),      // B sharp of octave 2 = C3, after 16416 ticks
    };
    // Named "tune", 4/4, a quarter of 4 steps (400 ms, 384 ticks).
    const char* track =
        "00 FF 03 04 74 75 6E 65  00 FF 58 04 04 02 18 08  00 FF 51 03 06 1A 80"
        " 00 90 45 64  60 80 45 40"
        " 81 40 90 3C 64  FF 40 80 3C 40"
        " 81 80 20 90 3C 64  60 80 3C 40"
        " 00 90 3C 64  81 80 80 40 80 3C 40"
        " FF FF FF 7F FF 01 00  21 90 42 64  60 80 42 40"
        " 00 FF 2F 00";
    std::string want = unhex("4D 54 68 64 00 00 00 06 00 00 00 01 01 80 4D 54 72 6B 00 00 00 51") + unhex(track);
    ASSERT_EQ(unhex(track).size(), 0x51u);

    writebytes(dir + "/tune.pvx", pvxwrite(pvxhead{}, notes));
    std::string err;
    ASSERT_EQ(run({"--export", "tune.pvx", "tune.mid"}, err), 0) << err;
    EXPECT_EQ(hex(readbytes(dir + "/tune.mid")), hex(want));
}

TEST_F(PlayerExport, EmptyScoreIsAnEmptyTrack)
{
    writebytes(dir + "/empty.pvx", pvxbytes({}));
    std::string err;
    ASSERT_EQ(run({"--export", "empty.pvx", "e.MID"}, err), 0) << err;
    EXPECT_EQ(hex(readbytes(dir + "/e.MID")),
              hex(unhex("4D 54 68 64 00 00 00 06 00 00 00 01 01 80 4D 54 72 6B 00 00 00 1C"
                        " 00 FF 03 05 65 6D 70 74 79 00 FF 58 04 04 02 18 08 00 FF 51 03 06 1A 80 00 FF 2F 00")));
    ASSERT_EQ(run({"--export", "empty.pvx", "e.wav"}, err), 0) << err;
    int rate = 0;
    std::vector<int16_t> x;
    ASSERT_TRUE(readwav(dir + "/e.wav", rate, x));
    EXPECT_TRUE(x.empty());
}

TEST_F(PlayerExport, WavOfAWholeScore)
{
    // Starts with a rest, which is kept: the sound lines up with the score.
    writebytes(dir + "/tune.pvx", pvxbytes({note(2, 3, 3, 6), note(5, 2, 4, 3), note(9, 1, 2, 5)}));
    std::string err;
    ASSERT_EQ(run({"--export", "tune.pvx", "tune.wav"}, err), 0) << err;
    int rate = 0;
    std::vector<int16_t> x;
    ASSERT_TRUE(readwav(dir + "/tune.wav", rate, x));
    EXPECT_EQ(rate, RATE);
    ASSERT_EQ(x.size(), 10u * 4800);
    std::vector<srun> r = runs(x);
    ASSERT_EQ(r.size(), 2u) << "the first two notes touch";
    EXPECT_NEAR(r[0].s, 2 * 4800, 48);
    EXPECT_NEAR(r[0].e, 7 * 4800, 48);
    EXPECT_NEAR(r[1].s, 9 * 4800, 48);
    EXPECT_NEAR(r[1].e, 10 * 4800, 48);
    EXPECT_NEAR(pitchof(x, 2 * 4800 + 480, 5 * 4800 - 480), 440.0, 2.2);
    EXPECT_NEAR(pitchof(x, 5 * 4800 + 480, 7 * 4800 - 480), getfreq(4, 3, false), getfreq(4, 3, false) * 0.005);
    EXPECT_LE(maxjump(x), allowedjump(getfreq(4, 3, false)));
}

TEST_F(PlayerExport, WavOfTheRequest)
{
    // The whole request, however long ago the editor made it.
    writebytes(dir + "/tune.pvx", pvxbytes({note(0, 10, 3, 6)}));
    writebytes(dir + "/beepset.tmp", scorereq(1000, 0, "tune.pvx", 2, 6, 2.0));
    std::string err;
    ASSERT_EQ(run({"--wav", "req.wav"}, err), 0) << err;
    int rate = 0;
    std::vector<int16_t> x;
    ASSERT_TRUE(readwav(dir + "/req.wav", rate, x));
    EXPECT_EQ(x.size(), 4u * 2400);
    EXPECT_NEAR(pitchof(x, 480, 9120), 440.0, 2.2);

    writebytes(dir + "/beepset.tmp", tonereq(1000, 0, 261, 3) + "\n");
    ASSERT_EQ(run({"--wav", "tone.wav"}, err), 0) << err;
    ASSERT_TRUE(readwav(dir + "/tone.wav", rate, x));
    EXPECT_EQ(x.size(), 3u * 4800);
    EXPECT_NEAR(pitchof(x, 480, 13920), 261.0, 1.3);

    writebytes(dir + "/beepset.tmp", "1 2 3");
    EXPECT_EQ(run({"--wav", "bad.wav"}, err), 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/bad.wav"));
}

TEST_F(PlayerExport, FailuresLeaveNoFileBehind)
{
    std::string err;
    EXPECT_EQ(run({"--export", "missing.pvx", "x.mid"}, err), 1);
    EXPECT_NE(err.find("missing.pvx"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.mid"));

    writebytes(dir + "/tune.pvx", pvxbytes({note(0, 1, 3, 6)}));
    EXPECT_EQ(run({"--export", "tune.pvx", "no/such/folder/x.wav"}, err), 1);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;

    // 83 hours of sound do not fit in a WAV file's 32-bit sizes; MIDI is fine.
    writebytes(dir + "/long.pvx", pvxbytes({note(3000000, 1, 3, 6)}));
    EXPECT_EQ(run({"--export", "long.pvx", "long.wav"}, err), 1);
    EXPECT_NE(err.find("WAV"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/long.wav"));
    EXPECT_EQ(run({"--export", "long.pvx", "long.mid"}, err), 0) << err;
}
