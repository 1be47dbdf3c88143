// SPDX-License-Identifier: MIT
// Scores out and back in: MIDI and MusicXML exports read by our own MIDI
// reader and by a small MusicXML reader of the tests, and, where they are
// installed, by the programs users open them with (MuseScore 3, LilyPond's
// musicxml2ly, and MIDI files made by Python's mido).
#include "helpers.h"

#include "score/midi.h"
#include "score/pvx.h"
#include "tone/player/musicxml.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

using namespace pt;

namespace {

// A note as heard: onset and length in steps, MIDI key.
struct heard {
    int64_t s, len;
    int key;
    bool operator==(const heard&) const = default;
};

std::ostream& operator<<(std::ostream& o, const heard& h) { return o << "{" << h.s << "," << h.len << "," << h.key << "}"; }

std::vector<heard> wanted(const std::vector<smusic>& notes)
{
    std::vector<heard> v;
    for (const sspan& n : melody(notes))
        v.push_back({n.s, n.e - n.s, midikey(n.m)});
    return v;
}

int keyof(const smusic& m) { return midikey(m); }

std::vector<heard> imported(const std::string& bytes, std::string* why = nullptr)
{
    midiscore s;
    midierr e = midiread(bytes, 0, s);
    if (why)
        *why = midicause(e);
    std::vector<heard> v;
    for (const smusic& m : s.notes)
        v.push_back({m.start, m.leng, keyof(m)});
    return v;
}

// Melodies that need ties, dots, rests, sharps, naturals and long notes.
const std::vector<std::vector<smusic>> SCORES = {
    {note(0, 4, 3, 1), note(4, 2, 3, 2, true), note(6, 2, 3, 3), note(10, 5, 4, 5), note(15, 3, 2, 6, true),
     note(20, 12, 3, 1)},
    {note(3, 1, 3, 4, true), note(4, 1, 3, 4), note(5, 7, 3, 4, true), note(14, 37, 5, 7), note(60, 1, 1, 1),
     note(62, 2, 3, 7, true), note(64, 2, 3, 3, true)}, // B sharp and E sharp, as a score file may hold them
    {note(0, 6, 2, 5), note(6, 2, 2, 6), note(8, 8, 2, 7), note(16, 16, 6, 2, true), note(40, 3, 4, 3, true)},
};

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a shell command in `dir`; its status, with what it printed in `out`.
int shell(const std::string& dir, const std::string& cmd, std::string& out)
{
    std::string log = dir + "/shell.log";
    int rc = std::system(("cd '" + dir + "' && " + cmd + " >'" + log + "' 2>&1").c_str());
    out = readbytes(log);
    return rc;
}

// --- a schema-free MusicXML reader --------------------------------------

std::string inner(const std::string& x, const std::string& tag, size_t from = 0)
{
    size_t a = x.find("<" + tag + ">", from);
    if (a == std::string::npos)
        return "";
    a += tag.size() + 2;
    return x.substr(a, x.find("</" + tag + ">", a) - a);
}

// True when every element is closed in order.
bool balanced(const std::string& x)
{
    std::vector<std::string> open;
    for (size_t i = x.find('<'); i != std::string::npos; i = x.find('<', i + 1)) {
        size_t e = x.find('>', i);
        if (e == std::string::npos)
            return false;
        std::string t = x.substr(i + 1, e - i - 1);
        if (t[0] == '?' || t[0] == '!' || t.back() == '/')
            continue;
        std::string name = t.substr(t[0] == '/', t.find_first_of(" \t") - (t[0] == '/'));
        if (t[0] != '/')
            open.push_back(name);
        else if (open.empty() || open.back() != name)
            return false;
        else
            open.pop_back();
    }
    return open.empty();
}

// Reads the notes back, checking on the way that every measure is full,
// every type and dot matches its duration and the signs give the pitches.
std::vector<heard> readxml(const std::string& x, int beat)
{
    EXPECT_TRUE(balanced(x));
    EXPECT_NE(x.find("<score-partwise version=\"4.0\">"), std::string::npos);
    EXPECT_EQ(inner(x, "divisions"), std::to_string(beat));
    const std::map<std::string, int> quarters = {{"whole", 64}, {"half", 32}, {"quarter", 16}, {"eighth", 8},
                                                 {"16th", 4},   {"32nd", 2},  {"64th", 1}};
    std::vector<heard> out;
    int64_t at = 0;
    for (size_t m = x.find("<measure "); m != std::string::npos; m = x.find("<measure ", m + 1)) {
        const std::string meas = x.substr(m, x.find("</measure>", m) - m);
        std::map<std::string, int> signs; // alter in force by step and octave
        int64_t filled = 0;
        for (size_t n = meas.find("<note>"); n != std::string::npos; n = meas.find("<note>", n + 1)) {
            const std::string e = meas.substr(n, meas.find("</note>", n) - n);
            const int dur = std::stoi(inner(e, "duration"));
            const bool dot = e.find("<dot/>") != std::string::npos;
            EXPECT_EQ(quarters.at(inner(e, "type")) * beat * (dot ? 3 : 2), dur * 32) << e;
            filled += dur;
            at += dur;
            if (e.find("<rest/>") != std::string::npos)
                continue;
            std::string step = inner(e, "step"), oct = inner(e, "octave"), acc = inner(e, "accidental");
            int alter = inner(e, "alter").empty() ? 0 : std::stoi(inner(e, "alter"));
            bool stop = e.find("<tie type=\"stop\"/>") != std::string::npos;
            int& sign = signs[step + oct];
            if (!acc.empty())
                sign = acc == "sharp" ? 1 : 0;
            else if (stop)
                sign = alter;
            EXPECT_EQ(sign, alter) << "the signs do not give the pitch: " << e;
            static const std::string letters = "C D EF G A B";
            int key = 12 * (std::stoi(oct) + 1) + static_cast<int>(letters.find(step[0])) + alter;
            if (stop && !out.empty() && out.back().key == key && out.back().s + out.back().len == at - dur)
                out.back().len += dur;
            else
                out.push_back({at - dur, dur, key});
        }
        EXPECT_EQ(filled, 4 * beat) << "measure at " << m;
    }
    return out;
}

struct Interchange : indir {
    // Writes `notes` as a score and exports it to `out`; the exported bytes.
    std::string exported(const std::vector<smusic>& notes, const std::string& out,
                         std::vector<std::string> extra = {})
    {
        writebytes(dir + "/tune.pvx", pvxbytes(notes));
        std::vector<std::string> args = {"--export", "tune.pvx", out};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string err;
        EXPECT_EQ(runbeep(dir, args, {"PELLAVINE_INSTRUMENT=violin"}, err), 0) << err;
        return readbytes(dir + "/" + out);
    }
};

void near(const std::vector<heard>& got, const std::vector<heard>& want, int64_t slack)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_LE(std::abs(got[i].s - want[i].s), slack) << i << ": " << got[i] << " for " << want[i];
        EXPECT_LE(std::abs(got[i].len - want[i].len), slack) << i << ": " << got[i] << " for " << want[i];
        EXPECT_EQ(got[i].key, want[i].key) << i;
    }
}

} // namespace

TEST_F(Interchange, MidiExportImportsAsTheSameNotes)
{
    for (const auto& notes : SCORES)
        for (const char* beat : {"4", "1", "16"}) {
            std::string mid = exported(notes, "tune.mid", {"--beat", beat});
            EXPECT_EQ(imported(mid), wanted(notes)) << "beat " << beat;
        }
}

TEST_F(Interchange, MusicXmlReadsBackAsTheSameNotes)
{
    for (const auto& notes : SCORES)
        for (int beat : {4, 2, 8}) {
            std::string x = exported(notes, "tune.musicxml", {"--beat", std::to_string(beat), "--title", "A & B"});
            EXPECT_EQ(readxml(x, beat), wanted(notes)) << "beat " << beat;
            EXPECT_EQ(inner(x, "work-title"), "A &amp; B");
            EXPECT_EQ(inner(x, "midi-program"), "41");
            EXPECT_EQ(inner(x, "per-minute"), std::to_string(600 / beat));
        }
    // An empty score is one measure's rest; a wrong beat is refused.
    EXPECT_EQ(readxml(exported({}, "e.musicxml"), 4), std::vector<heard>{});
    std::string err;
    EXPECT_EQ(runbeep(dir, {"--export", "tune.pvx", "x.musicxml", "--beat", "5"}, {}, err), 2);
    EXPECT_NE(err.find("--beat"), std::string::npos);
}

TEST_F(Interchange, MuseScoreAndLilyPondReadTheMusicXml)
{
    if (!have("mscore3") || !have("musicxml2ly"))
        GTEST_SKIP() << "mscore3 or musicxml2ly is not installed";
    for (const auto& notes : SCORES) {
        exported(notes, "tune.musicxml");
        std::string log;
        ASSERT_EQ(shell(dir, "rm -f out.mid; QT_QPA_PLATFORM=offscreen timeout 120 mscore3 -o out.mid tune.musicxml",
                        log),
                  0)
            << log;
        near(imported(readbytes(dir + "/out.mid")), wanted(notes), 1);
        ASSERT_EQ(shell(dir, "timeout 120 musicxml2ly -o tune.ly tune.musicxml", log), 0) << log;
        std::string lower = log;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(lower.find("warning"), std::string::npos) << log;
        EXPECT_EQ(lower.find("error"), std::string::npos) << log;
    }
}

// mido writes running status; each file comes with the notes its melody
// holds, worked out by mido's own clock, as "onset-step length-steps key".
TEST_F(Interchange, MidoFilesImportWithTheirNotes)
{
    if (std::system("/usr/bin/python3 -c 'import mido' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3-mido is not installed";
    const char* script = R"PY(
import mido
def expect(mid, chan, path):
    t, on, out = 0.0, {}, []
    for m in mid:
        t += m.time
        if m.type == 'note_on' and m.velocity > 0 and m.channel == chan:
            on[m.note] = t
        elif m.type in ('note_on', 'note_off') and m.channel == chan and m.note in on:
            out.append((int(on[m.note] * 10 + 0.5), m.note, int(t * 10 + 0.5)))
            del on[m.note]
    out.sort(key=lambda x: (x[0], -x[1]))
    top = [x for i, x in enumerate(out) if i == 0 or x[0] != out[i - 1][0]]
    open(path, 'w').write(''.join('%d %d %d\n' % (s, max(e - s, 1), k) for s, k, e in top))
def notes(tr, chan, keys, ticks, chord=()):
    for k in keys:
        tr.append(mido.Message('note_on', channel=chan, note=k, velocity=90, time=0))
        for c in chord:
            tr.append(mido.Message('note_on', channel=chan, note=k - c, velocity=90, time=0))
        tr.append(mido.Message('note_on', channel=chan, note=k, velocity=0, time=ticks))
        for c in chord:
            tr.append(mido.Message('note_off', channel=chan, note=k - c, time=0))
# Format 0: drums, a bass, chords on the melody channel, tempo changes.
m = mido.MidiFile(type=0, ticks_per_beat=96)
t = mido.MidiTrack(); m.tracks.append(t)
t.append(mido.MetaMessage('set_tempo', tempo=600000))
notes(t, 0, [72, 74, 76], 96, chord=(4, 7))
t.append(mido.MetaMessage('set_tempo', tempo=400000))
notes(t, 9, [36, 38, 36, 38, 42, 42], 48)
notes(t, 0, [77, 79, 81, 83, 84], 48)
t.append(mido.MetaMessage('set_tempo', tempo=1000000))
notes(t, 0, [60, 62], 144)
m.save('type0.mid'); expect(m, 0, 'type0.txt')
# Format 1: a conductor track with tempo changes, drums, bass and a lead.
m = mido.MidiFile(type=1, ticks_per_beat=480)
c = mido.MidiTrack(); m.tracks.append(c)
c.append(mido.MetaMessage('track_name', name='Song'))
c.append(mido.MetaMessage('set_tempo', tempo=500000))
c.append(mido.MetaMessage('set_tempo', tempo=800000, time=1920))
for chan, keys, ticks in ((9, [36] * 16, 240), (1, [40, 43, 45, 47], 960), (2, [72, 71, 69, 67, 65, 64, 62, 60], 480)):
    tr = mido.MidiTrack(); m.tracks.append(tr)
    tr.append(mido.Message('program_change', channel=chan, program=33))
    notes(tr, chan, keys, ticks)
m.save('type1.mid'); expect(m, 2, 'type1.txt')
)PY";
    std::ofstream(dir + "/make.py") << script;
    std::string log;
    ASSERT_EQ(shell(dir, "/usr/bin/python3 make.py", log), 0) << log;
    for (const char* name : {"type0", "type1"}) {
        std::vector<heard> want;
        std::istringstream in(readbytes(dir + "/" + name + ".txt"));
        for (heard h{}; in >> h.s >> h.len >> h.key;)
            want.push_back(h);
        ASSERT_FALSE(want.empty());
        std::string why;
        EXPECT_EQ(imported(readbytes(dir + "/" + name + ".mid"), &why), want) << name << ": " << why;
    }
}
