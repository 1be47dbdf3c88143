// SPDX-License-Identifier: MIT
#include "tone/player/musicxml.h"

#include "score/instrument.h"
#include "tone/player/player.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A written value: its length in steps, its type name and whether dotted.
struct svalue {
    int64_t len;
    const char* type;
    bool dot;
};

// Note types from the whole note down to the 64th.
constexpr const char* TYPES[] = {"whole", "half", "quarter", "eighth", "16th", "32nd", "64th"};

// The plain and dotted values that are a whole number of steps at `beat`,
// longest first.
std::vector<svalue> valuesof(int beat)
{
    std::vector<svalue> v;
    int64_t whole = 4 * int64_t{beat};
    for (int k = 0; k < 7; k++) {
        if (whole % (int64_t{1} << k) != 0)
            break;
        int64_t len = whole >> k;
        if (len % 2 == 0 && k > 0)
            v.push_back({len + len / 2, TYPES[k], true});
        v.push_back({len, TYPES[k], false});
    }
    std::sort(v.begin(), v.end(), [](const svalue& a, const svalue& b) { return a.len > b.len; });
    return v;
}

// The values a stretch of `len` steps is written with, longest first.
std::vector<svalue> split(int64_t len, const std::vector<svalue>& values)
{
    std::vector<svalue> out;
    for (const svalue& v : values)
        while (len >= v.len) {
            out.push_back(v);
            len -= v.len;
        }
    return out;
}

struct sspell {
    char step;
    int alter;
    int octave;
};

sspell spell(const smusic& m)
{
    static const char letters[] = "CDEFGAB";
    return {letters[m.pitch - 1], m.rise ? 1 : 0, m.heig + 1};
}

const char* instrumentname(int program)
{
    switch (program) {
    case SINETONE:
        return "Sine tone";
    case 0:
        return "Piano";
    case 19:
        return "Church Organ";
    case 24:
        return "Acoustic Guitar";
    case 40:
        return "Violin";
    case 53:
        return "Voice";
    case 56:
        return "Trumpet";
    case 71:
        return "Clarinet";
    case 73:
        return "Flute";
    default:
        return "Instrument";
    }
}

// Writes the measures: every piece of a note or rest inside one measure.
struct swriter {
    std::string& o;
    int64_t measure;                 // steps in a measure
    std::vector<svalue> values;
    int64_t at = 0;                  // the next step to write
    int number = 0;                  // measures begun
    std::array<int, 7 * 10> alters{}; // the alter in force, by letter and octave, this measure
    bool first = true;
    std::string head;                // what the first measure begins with

    void open()
    {
        if (number > 0)
            o += "    </measure>\n";
        number++;
        o += "    <measure number=\"" + std::to_string(number) + "\">\n";
        alters.fill(0);
        if (first) {
            o += head;
            first = false;
        }
    }
    // A stretch [s, e) of one note (m) or a rest (m null).
    void put(int64_t s, int64_t e, const smusic* m)
    {
        while (s < e) {
            if (s % measure == 0)
                open();
            int64_t end = std::min(e, (s / measure + 1) * measure);
            std::vector<svalue> parts = split(end - s, values);
            for (size_t i = 0; i < parts.size(); i++) {
                bool tiedin = m && (s > at0 || i > 0);
                bool tiedout = m && (end < e || i + 1 < parts.size());
                piece(parts[i], m, tiedin, tiedout);
            }
            s = end;
        }
    }
    int64_t at0 = 0; // the first step of the note being written

    void piece(const svalue& v, const smusic* m, bool tiedin, bool tiedout)
    {
        o += "      <note>\n";
        const char* accidental = nullptr;
        if (m) {
            sspell p = spell(*m);
            int slot = (p.step - 'A') * 10 + std::clamp(p.octave, 0, 9);
            int& now = alters[static_cast<size_t>(slot)];
            if (p.alter != now && !tiedin)
                accidental = p.alter ? "sharp" : "natural";
            now = p.alter;
            o += "        <pitch><step>";
            o += p.step;
            o += "</step>";
            if (p.alter)
                o += "<alter>1</alter>";
            o += "<octave>" + std::to_string(p.octave) + "</octave></pitch>\n";
        } else {
            o += "        <rest/>\n";
        }
        o += "        <duration>" + std::to_string(v.len) + "</duration>\n";
        if (tiedin)
            o += "        <tie type=\"stop\"/>\n";
        if (tiedout)
            o += "        <tie type=\"start\"/>\n";
        o += "        <voice>1</voice>\n";
        o += std::string("        <type>") + v.type + "</type>\n";
        if (v.dot)
            o += "        <dot/>\n";
        if (accidental)
            o += std::string("        <accidental>") + accidental + "</accidental>\n";
        if (tiedin || tiedout) {
            o += "        <notations>";
            if (tiedin)
                o += "<tied type=\"stop\"/>";
            if (tiedout)
                o += "<tied type=\"start\"/>";
            o += "</notations>\n";
        }
        o += "      </note>\n";
    }
};

std::string number(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

} // namespace

bool beatok(int beat) { return beat == 1 || beat == 2 || beat == 4 || beat == 8 || beat == 16; }

std::string xmltext(const std::string& s)
{
    std::string o;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = n > 0 && i + n <= s.size();
        for (size_t k = 1; ok && k < n; k++)
            ok = (static_cast<unsigned char>(s[i + k]) & 0xc0) == 0x80;
        if (!ok || (n == 1 && (c < 0x20 || c == 0x7f))) {
            i++;
            continue;
        }
        if (c == '&')
            o += "&amp;";
        else if (c == '<')
            o += "&lt;";
        else if (c == '>')
            o += "&gt;";
        else if (c == '"')
            o += "&quot;";
        else
            o.append(s, i, n);
        i += n;
    }
    return o;
}

std::string musicxmlbytes(const std::vector<smusic>& notes, int program, int beat, const std::string& title)
{
    if (!beatok(beat))
        beat = DEFAULTBEAT;
    const std::vector<sspan> tune = melody(notes);
    int below = 0;
    for (const sspan& n : tune)
        below += n.m.heig < 3 ? 1 : -1;
    const bool bass = below > 0;

    std::string o =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
        "<score-partwise version=\"4.0\">\n";
    const std::string t = xmltext(title);
    if (!t.empty())
        o += "  <work>\n    <work-title>" + t + "</work-title>\n  </work>\n";
    o += "  <identification>\n    <encoding>\n      <software>Pellavine</software>\n"
         "    </encoding>\n  </identification>\n";
    const std::string name = instrumentname(program);
    o += "  <part-list>\n    <score-part id=\"P1\">\n      <part-name>" + name + "</part-name>\n";
    o += "      <score-instrument id=\"P1-I1\">\n        <instrument-name>" + name +
         "</instrument-name>\n      </score-instrument>\n";
    o += "      <midi-instrument id=\"P1-I1\">\n        <midi-channel>1</midi-channel>\n";
    if (program >= 0 && program <= 127)
        o += "        <midi-program>" + std::to_string(program + 1) + "</midi-program>\n";
    o += "      </midi-instrument>\n    </score-part>\n  </part-list>\n  <part id=\"P1\">\n";

    swriter w{o, 4 * int64_t{beat}, valuesof(beat), 0, 0, {}, true, {}, 0};
    w.head = "      <attributes>\n        <divisions>" + std::to_string(beat) +
             "</divisions>\n        <key><fifths>0</fifths></key>\n"
             "        <time><beats>4</beats><beat-type>4</beat-type></time>\n" +
             (bass ? "        <clef><sign>F</sign><line>4</line></clef>\n"
                   : "        <clef><sign>G</sign><line>2</line></clef>\n") +
             "      </attributes>\n"
             "      <direction placement=\"above\">\n        <direction-type>\n"
             "          <metronome><beat-unit>quarter</beat-unit><per-minute>" +
             number(beattempo(beat)) +
             "</per-minute></metronome>\n        </direction-type>\n"
             "        <sound tempo=\"" +
             number(beattempo(beat)) + "\"/>\n      </direction>\n";
    for (const sspan& n : tune) {
        int64_t s = std::max<int64_t>(n.s, 0);
        if (n.e <= s)
            continue;
        if (s > w.at) {
            w.at0 = w.at;
            w.put(w.at, s, nullptr);
        }
        w.at0 = s;
        w.put(s, n.e, &n.m);
        w.at = n.e;
    }
    int64_t end = std::max<int64_t>((w.at + w.measure - 1) / w.measure, 1) * w.measure;
    w.at0 = w.at;
    w.put(w.at, end, nullptr);
    o += "    </measure>\n  </part>\n</score-partwise>\n";
    return o;
}
