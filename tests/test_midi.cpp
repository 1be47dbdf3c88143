// SPDX-License-Identifier: MIT
// The MIDI reader: what a file's events become, which part is the melody,
// and a table of damaged files with their causes.
#include "midibuild.h"
#include "score/midi.h"
#include "score/pitch.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace midib;

namespace {

struct got {
    int start, leng, key;
};

int keyof(const smusic& m)
{
    static const int base[8] = {0, 0, 2, 4, 5, 7, 9, 11};
    return 12 * (m.heig + 2) + base[m.pitch] + (m.rise ? 1 : 0);
}

std::vector<got> notesof(const std::string& file, int want = 0, midiscore* out = nullptr)
{
    midiscore s;
    midierr e = midiread(file, want, s);
    EXPECT_EQ(e, midierr::ok) << midicause(e);
    std::vector<got> v;
    for (const smusic& m : s.notes)
        v.push_back({m.start, m.leng, keyof(m)});
    if (out)
        *out = s;
    return v;
}

void expectnotes(const std::vector<got>& a, const std::vector<got>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++) {
        EXPECT_EQ(a[i].start, b[i].start) << "note " << i;
        EXPECT_EQ(a[i].leng, b[i].leng) << "note " << i;
        EXPECT_EQ(a[i].key, b[i].key) << "note " << i;
    }
}

} // namespace

// At 120 bpm and 480 ticks a quarter note lasts 5 steps (500 ms).
TEST(Midi, EventsBecomeSteps)
{
    struct tc {
        const char* what;
        std::string file;
        std::vector<got> want;
    } cases[] = {
        {"plain quarter notes", smf(0, {note(60, 0, 480) + note(62, 0, 480) + eot()}), {{0, 5, 60}, {5, 5, 62}}},
        {"running status and velocity 0 as note-off",
         smf(0, {ev(0, {0x90, 64, 90}) + ev(240, {64, 0}) + ev(0, {67, 90}) + ev(240, {67, 0}) + eot()}),
         {{0, 3, 64}, {3, 2, 67}}}, // 2.5 steps round up
        {"rounded to the nearest step, never shorter than one",
         smf(0, {note(60, 0, 10) + note(61, 86, 200) + eot()}), {{0, 1, 61 - 1}, {1, 2, 61}}},
        {"sysex and meta skipped, running status ended by them",
         smf(0, {ev(0, {0xf0, 2, 1, 0xf7}) + ev(0, {0xff, 0x01, 2, 'h', 'i'}) + ev(0, {0x90, 72, 80}) +
                 ev(480, {0x80, 72, 0}) + eot()}),
         {{0, 5, 72}}},
        {"tempo map: 60 bpm from the second quarter",
         smf(0, {note(60, 0, 480) + tempo(0, 1000000) + note(62, 0, 480) + note(64, 0, 480) + eot()}),
         {{0, 5, 60}, {5, 10, 62}, {15, 10, 64}}},
        {"tempo in the first track of a format 1 file applies to the others",
         smf(1, {tempo(0, 250000) + eot(), note(60, 0, 960) + eot()}), {{0, 5, 60}}},
        {"SMPTE 25 fps, 40 ticks a frame: one tick a millisecond",
         smf(0, {note(60, 0, 300) + note(62, 0, 1000) + eot()}, 0xe728), {{0, 3, 60}, {3, 10, 62}}},
        {"chord: the highest kept", smf(0, {ev(0, {0x90, 60, 90}) + ev(0, {0x90, 64, 90}) + ev(0, {0x90, 67, 90}) +
                                            ev(480, {0x80, 60, 0}) + ev(0, {0x80, 64, 0}) + ev(0, {0x80, 67, 0}) + eot()}),
         {{0, 5, 67}}},
        {"a higher note cuts the lower one; a lower one under a higher is left out",
         smf(0, {ev(0, {0x90, 60, 90}) + ev(480, {0x90, 72, 90}) + ev(240, {0x90, 55, 90}) + ev(240, {0x80, 72, 0}) +
                 ev(0, {0x80, 60, 0}) + ev(0, {0x80, 55, 0}) + eot()}),
         {{0, 5, 60}, {5, 5, 72}}},
        {"octaves folded onto the staff", smf(0, {note(20, 0, 480) + note(120, 0, 480) + eot()}),
         {{0, 5, 44}, {5, 5, 96}}},
        {"an unfinished note ends with its track", smf(0, {ev(0, {0x90, 60, 90}) + ev(960, {0xff, 0x2f, 0})}),
         {{0, 10, 60}}},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        expectnotes(notesof(c.file), c.want);
    }
}

TEST(Midi, MelodyIsThePartWithMostTunedNotes)
{
    std::string drums = note(36, 0, 120, 9) + note(38, 0, 120, 9) + note(36, 0, 120, 9) + note(38, 0, 120, 9);
    std::string bass = note(40, 0, 960, 1);
    std::string tune = note(72, 0, 480) + note(74, 0, 480);
    midiscore s;
    // Format 1: tracks are the parts; the conductor track names the song.
    std::string f1 = smf(1, {name("Song") + eot(), name("Drums") + drums + eot(), name("Bass") + bass + eot(),
                             name("Lead") + tune + eot()});
    expectnotes(notesof(f1, 0, &s), {{0, 5, 72}, {5, 5, 74}});
    EXPECT_EQ(s.part, 4);
    EXPECT_EQ(s.parts, 4);
    EXPECT_FALSE(s.bychannel);
    EXPECT_EQ(s.title, "Song");
    expectnotes(notesof(f1, 3), {{0, 10, 40}});
    EXPECT_EQ(notesof(f1, 2).size(), 4u); // drums only when asked for
    // Format 0: channels are the parts.
    expectnotes(notesof(smf(0, {bass + drums + tune + eot()}), 0, &s), {{15, 5, 72}, {20, 5, 74}});
    EXPECT_TRUE(s.bychannel);
    EXPECT_EQ(s.parts, 3);
    EXPECT_EQ(s.part, 1); // channel 1
    // A named melody track without a conductor name gives its name.
    notesof(smf(1, {eot(), name("Flute") + tune + eot()}), 0, &s);
    EXPECT_EQ(s.title, "Flute");
    EXPECT_EQ(midiread(f1, 1, s), midierr::nonotes); // the conductor track
    EXPECT_EQ(midiread(f1, 5, s), midierr::notrack);
}

TEST(Midi, DamagedFilesSayWhy)
{
    std::string good = smf(0, {note(60, 0, 480) + eot()});
    struct tc {
        const char* what;
        std::string file;
        midierr want;
    } cases[] = {
        {"empty", "", midierr::notmidi},
        {"a score file", std::string("\x02\0\0\0", 4), midierr::notmidi},
        {"header cut", good.substr(0, 10), midierr::truncated},
        {"header too short", "MThd" + be(4, 4) + be(0, 4), midierr::badheader},
        {"zero division", smf(0, {note(60, 0, 1)}, 0), midierr::badheader},
        {"odd SMPTE rate", smf(0, {note(60, 0, 1)}, 0xe928), midierr::badheader},
        {"format 2", smf(2, {note(60, 0, 1)}), midierr::format2},
        {"no track", smf(0, {}), midierr::truncated},
        {"track longer than the file", good.substr(0, good.size() - 2), midierr::truncated},
        {"event cut inside the track", smf(0, {ev(0, {0x90, 60})}), midierr::truncated},
        {"data byte without status", smf(0, {ev(0, {60, 100})}), midierr::badevent},
        {"system common status", smf(0, {ev(0, {0xf2, 1, 1})}), midierr::badevent},
        {"data byte with the high bit", smf(0, {ev(0, {0x90, 0x90, 1})}), midierr::badevent},
        {"five-byte delta", smf(0, {bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})}), midierr::badlength},
        {"meta length past the track", smf(0, {ev(0, {0xff, 0x03, 0x7f, 'a'})}), midierr::truncated},
        {"no notes", smf(1, {tempo(0, 400000) + eot(), eot()}), midierr::nonotes},
        {"notes beyond 100 hours", smf(0, {note(60, 0x0fffffff, 1) + note(60, 0x0fffffff, 1)}, 1), midierr::nonotes},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        midiscore s;
        s.title = "kept";
        EXPECT_EQ(midiread(c.file, 0, s), c.want);
        EXPECT_EQ(s.title, "kept");
        EXPECT_NE(std::string(midicause(c.want)), "");
    }
}

TEST(Midi, KeysMatchTheStaffPitches)
{
    for (int key = 0; key < 128; key++) {
        smusic m = keynote(key);
        int folded = keyof(m);
        EXPECT_TRUE(folded >= MIDIKEYLOW && folded <= MIDIKEYHIGH && (folded - key) % 12 == 0) << key;
        EXPECT_GE(noterow(m), 1);
        EXPECT_NEAR(getfreq(m.heig, m.pitch, m.rise), 440.0 * std::pow(2.0, (folded - 69) / 12.0), 0.01) << key;
    }
}
