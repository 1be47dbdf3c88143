// SPDX-License-Identifier: MIT
// Instruments: choosing one, finding a SoundFont, falling back to the sine
// tone, the mixer that lets requests sound together, and the instrument
// reaching WAV and MIDI files.
#include "helpers.h"

#include "score/pitch.h"

#include "score/pvx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

using namespace pt;

namespace {

constexpr int64_t MS = RATE / 1000;

// Every sample the engine gives for `n` samples.
std::vector<int16_t> take(sengine& e, int64_t n)
{
    std::vector<int16_t> x(static_cast<size_t>(n));
    enginerender(e, x.data(), x.size());
    return x;
}

splan tone(int64_t freq, int leng)
{
    sreq r;
    r.mode = 1;
    r.freq = freq;
    r.leng = leng;
    return toneplan(r);
}

std::string installedfont() { return firstfile(soundfonts("")); }

// A single note rendered through the program with `env`, as WAV samples.
std::vector<int16_t> wavof(const std::string& dir, const std::vector<std::string>& args,
                           const std::vector<std::string>& env, std::string& err)
{
    writebytes(dir + "/beepset.tmp", tonereq(1000, 0, 440, 5));
    std::vector<std::string> a = args;
    a.insert(a.end(), {"--wav", "out.wav"});
    int rate = 0;
    std::vector<int16_t> x;
    if (runbeep(dir, a, env, err) != 0 || !readwav(dir + "/out.wav", rate, x))
        return {};
    return x;
}

} // namespace

TEST(PlayerInstrument, NamesAndNumbers)
{
    const struct {
        const char* text;
        int program;
    } cases[] = {
        {"0", 0},          {"127", 127},    {"40", 40},      {"piano", 0},        {"organ", 19},
        {"guitar", 24},    {"violin", 40},  {"flute", 73},   {"clarinet", 71},    {"trumpet", 56},
        {"voice", 53},     {"tone", SINETONE}, {"128", NOINSTRUMENT}, {"-1", NOINSTRUMENT},
        {"", NOINSTRUMENT}, {"Piano", NOINSTRUMENT}, {"4x", NOINSTRUMENT}, {" 4", NOINSTRUMENT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(instrumentof(c.text), c.program) << '"' << c.text << '"';
}

TEST(PlayerInstrument, OptionsStandBeforeTheEnvironment)
{
    setenv("PELLAVINE_INSTRUMENT", "flute", 1);
    setenv("PELLAVINE_SOUNDFONT", "/env.sf2", 1);
    sinstr in;
    std::string err;
    std::vector<std::string> a = {"--wav", "x.wav"};
    ASSERT_EQ(instrargs(a, in, err), 0) << err;
    EXPECT_EQ(in.program, 73);
    EXPECT_EQ(in.soundfont, "/env.sf2");
    EXPECT_EQ(a, (std::vector<std::string>{"--wav", "x.wav"}));

    a = {"--instrument", "7", "--wav", "x.wav", "--soundfont", "/opt.sf2"};
    ASSERT_EQ(instrargs(a, in, err), 0) << err;
    EXPECT_EQ(in.program, 7);
    EXPECT_EQ(in.soundfont, "/opt.sf2");
    EXPECT_EQ(a, (std::vector<std::string>{"--wav", "x.wav"}));

    a = {"--instrument", "kazoo"};
    EXPECT_EQ(instrargs(a, in, err), -1);
    EXPECT_NE(err.find("--instrument \"kazoo\""), std::string::npos) << err;
    a = {"--soundfont"};
    EXPECT_EQ(instrargs(a, in, err), -1);

    setenv("PELLAVINE_INSTRUMENT", "kazoo", 1);
    a = {};
    EXPECT_EQ(instrargs(a, in, err), -1);
    EXPECT_NE(err.find("PELLAVINE_INSTRUMENT"), std::string::npos) << err;
    unsetenv("PELLAVINE_INSTRUMENT");
    unsetenv("PELLAVINE_SOUNDFONT");
    ASSERT_EQ(instrargs(a, in, err), 0);
    EXPECT_EQ(in.program, 0) << "the piano when nothing is asked for";
    EXPECT_EQ(in.soundfont, "");
}

TEST(PlayerInstrument, TheFirstSoundFontThatExists)
{
    EXPECT_EQ(soundfonts("/my.sf2"), (std::vector<std::string>{"/my.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                                                               "/usr/share/sounds/sf2/TimGM6mb.sf2"}));
    EXPECT_EQ(soundfonts("").size(), 2u);
    std::string dir = tempdir();
    writebytes(dir + "/b.sf2", "x");
    EXPECT_EQ(firstfile({dir + "/missing.sf2", dir, dir + "/b.sf2"}), dir + "/b.sf2") << "no folders";
    EXPECT_EQ(firstfile({dir + "/missing.sf2"}), "");
    rmtree(dir);
}

TEST(PlayerInstrument, FrequencyToTheNearestKey)
{
    const struct {
        double freq;
        int key;
    } cases[] = {{440, 69}, {261, 60}, {277, 61}, {293, 62}, {219, 57}, {3951, 107}, {65, 36}, {0, 0}, {1e9, 127}};
    for (const auto& c : cases)
        EXPECT_EQ(keyof(c.freq), c.key) << c.freq;
}

TEST(PlayerInstrument, WithoutASoundFontTheSineToneSounds)
{
    std::string dir = tempdir();
    writebytes(dir + "/bogus.sf2", "not a SoundFont");
    const struct {
        std::string font;
        const char* says;
    } cases[] = {{"", "no SoundFont found; playing the sine tone"},
                 {dir + "/bogus.sf2", "cannot load the SoundFont"}};
    for (const auto& c : cases) {
        sengine e;
        std::string note;
        engineload(e, 0, c.font, note);
        EXPECT_NE(note.find(c.says), std::string::npos) << note;
        EXPECT_EQ(note.find('\n'), std::string::npos);
        EXPECT_FALSE(enginesynth(e));
        engineadd(e, tone(440, 3), false);
        EXPECT_EQ(take(e, 3 * 4800), render(tone(440, 3))) << "exactly the sine tone";
        EXPECT_FALSE(enginebusy(e));
    }
    rmtree(dir);
}

TEST(PlayerMixer, TonesSoundOverEachOther)
{
    sengine e;
    std::string note;
    engineload(e, SINETONE, "", note);
    engineadd(e, tone(440, 3), false);
    std::vector<int16_t> x = take(e, 100 * MS);
    engineadd(e, tone(660, 3), false);
    std::vector<int16_t> y = take(e, 400 * MS);
    x.insert(x.end(), y.begin(), y.end());
    std::vector<int16_t> a = render(tone(440, 3)), b = render(tone(660, 3));
    for (size_t i = 0; i < x.size(); i++) {
        int want = (i < a.size() ? a[i] : 0) + (i >= 4800 && i - 4800 < b.size() ? b[i - 4800] : 0);
        ASSERT_EQ(x[i], want) << "sample " << i;
    }
    EXPECT_FALSE(enginebusy(e));
}

TEST(PlayerMixer, APlaybackReplacesThePlaybackButNotTones)
{
    sengine e;
    std::string said;
    engineload(e, SINETONE, "", said);
    std::vector<smusic> first = score({note(0, 30, 3, 6)}), second = score({note(0, 30, 4, 1)});
    engineadd(e, scoreplan(first, 0, 30, 1.0, 0), true);
    take(e, 100 * MS);
    engineadd(e, tone(880, 2), false);
    take(e, 50 * MS);
    engineadd(e, scoreplan(second, 0, 30, 1.0, 0), true);
    std::vector<int16_t> x = take(e, 300 * MS);
    const double c4 = getfreq(4, 1, false);
    EXPECT_GT(level(x, 0, 5 * MS, 440), 1000) << "the first playback fades out ...";
    EXPECT_LT(level(x, 10 * MS, 300 * MS, 440), 20) << "... and is gone";
    EXPECT_GT(level(x, 10 * MS, 300 * MS, c4), 0.8 * 16383);
    EXPECT_GT(level(x, 10 * MS, 140 * MS, 880), 0.8 * 16383) << "the tone sounds on";
    EXPECT_LT(maxjump(x), 2 * allowedjump(880)) << "no click where the playback is cut";
}

TEST(PlayerMixer, ReleasedSynthesiserNotesDieAway)
{
    std::string font = installedfont();
    if (font.empty())
        GTEST_SKIP() << "no SoundFont installed";
    sengine e;
    std::string note;
    engineload(e, 0, font, note);
    ASSERT_EQ(note, "");
    ASSERT_TRUE(enginesynth(e));
    engineadd(e, tone(440, 3), false);
    std::vector<int16_t> x = take(e, 300 * MS + RATE * RELEASEMS / 1000);
    EXPECT_GT(level(x, 10 * MS, 290 * MS, 440), 1000);
    EXPECT_GT(peak(x, 300 * MS, 350 * MS), 100) << "the note goes on sounding after its release";
    EXPECT_LT(peak(x, 300 * MS + RATE * RELEASEMS / 1000 - 50 * MS, static_cast<int64_t>(x.size())), 20);
    EXPECT_FALSE(enginebusy(e));
}

TEST(PlayerInstrument, ThePianoReachesTheWavFileAndIsNotASine)
{
    if (installedfont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    std::string dir = tempdir(), err;
    std::vector<int16_t> sine = wavof(dir, {"--instrument", "tone"}, {}, err);
    ASSERT_EQ(sine.size(), 5u * 4800) << err;
    std::vector<int16_t> piano = wavof(dir, {}, {}, err);
    ASSERT_EQ(piano.size(), 5u * 4800 + RATE * RELEASEMS / 1000) << err;
    EXPECT_EQ(err, "");
    const int64_t a = 20 * MS, b = 120 * MS, c = 380 * MS, d = 480 * MS;
    // Both at 440 Hz, and well above the semitones next to it.
    for (const auto* x : {&sine, &piano}) {
        EXPECT_GT(level(*x, a, d, 440), 4 * level(*x, a, d, 415.3));
        EXPECT_GT(level(*x, a, d, 440), 4 * level(*x, a, d, 466.2));
    }
    // The sine holds its level and has no overtones; the piano dies away
    // and has them.
    EXPECT_NEAR(level(sine, c, d, 440), level(sine, a, b, 440), 20);
    EXPECT_LT(level(sine, a, d, 880), 5);
    EXPECT_LT(level(piano, c, d, 440), 0.8 * level(piano, a, b, 440));
    EXPECT_GT(level(piano, a, b, 880) + level(piano, a, b, 1320), 0.05 * level(piano, a, b, 440));

    // The environment chooses as the option does, and instruments differ.
    EXPECT_EQ(wavof(dir, {}, {"PELLAVINE_INSTRUMENT=violin"}, err), wavof(dir, {"--instrument", "40"}, {}, err));
    EXPECT_NE(wavof(dir, {"--instrument", "violin"}, {}, err), piano);
    EXPECT_EQ(wavof(dir, {"--instrument", "piano"}, {"PELLAVINE_INSTRUMENT=violin"}, err), piano);
    rmtree(dir);
}

// A broken SoundFont in PELLAVINE_SOUNDFONT: the next candidate that loads
// sounds instead. Given with --soundfont, it is an error with the cause.
TEST(PlayerInstrument, ABrokenSoundFontGivesWayOrIsAnError)
{
    std::string dir = tempdir(), err;
    writebytes(dir + "/bogus.sf2", "RIFF....sfbk");
    if (!installedfont().empty()) {
        std::vector<int16_t> want = wavof(dir, {"--instrument", "2"}, {}, err);
        std::vector<int16_t> x = wavof(dir, {"--instrument", "2"}, {"PELLAVINE_SOUNDFONT=" + dir + "/bogus.sf2"}, err);
        EXPECT_EQ(x, want) << "the system's SoundFont, not the sine: " << err;
        EXPECT_NE(x, render(tone(440, 5)));
    }
    for (const std::string& font : {dir + "/bogus.sf2", dir + "/missing.sf2"}) {
        writebytes(dir + "/beepset.tmp", "1 0 0 440 5");
        EXPECT_EQ(runbeep(dir, {"--soundfont", font, "--wav", "x.wav"}, {}, err), 2) << font;
        EXPECT_NE(err.find(font), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
    }
    rmtree(dir);
}

// A score larger than any valid one is refused before it is read.
TEST(PlayerInstrument, AScoreLargerThanAnyIsRefused)
{
    std::string dir = tempdir(), err;
    writebytes(dir + "/big.pvx", "");
    ASSERT_EQ(truncate((dir + "/big.pvx").c_str(), PVXMAXSIZE + 1), 0);
    EXPECT_EQ(runbeep(dir, {"--export", "big.pvx", "big.mid"}, {}, err), 1);
    EXPECT_NE(err.find("file too large"), std::string::npos) << err;
    rmtree(dir);
}

TEST(PlayerInstrument, MidiFilesSetTheProgram)
{
    std::string dir = tempdir(), err;
    writebytes(dir + "/a.pvx", pvxbytes({note(0, 1, 3, 6)}));
    const struct {
        std::vector<std::string> args;
        std::string program; // the bytes after the tempo
    } cases[] = {
        {{}, std::string("\x00\xC0\x00", 3)},
        {{"--instrument", "violin"}, std::string("\x00\xC0\x28", 3)},
        {{"--instrument", "127"}, std::string("\x00\xC0\x7F", 3)},
        {{"--instrument", "tone"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> a = c.args;
        a.insert(a.end(), {"--export", "a.pvx", "a.mid"});
        ASSERT_EQ(runbeep(dir, a, {}, err), 0) << err;
        std::string m = readbytes(dir + "/a.mid");
        // After the headers (22 bytes), the track name "a" (5), 4/4 (8) and the tempo (7).
        ASSERT_GT(m.size(), 42u);
        EXPECT_EQ(m.substr(42, c.program.size() + 4), c.program + std::string("\x00\x90\x45\x64", 4));
    }
    rmtree(dir);
}
