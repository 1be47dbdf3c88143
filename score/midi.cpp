// SPDX-License-Identifier: MIT
#include "score/midi.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int DRUMS = 9; // channel 10, counted from 0
constexpr double STEPUS = 100000.0;

// A note as read: ticks [on, off) of a key on a channel, in a track.
struct rawnote {
    uint64_t on = 0;
    uint64_t off = 0;
    int key = 0;
    int chan = 0;
    int track = 0;
};

struct tempoat {
    uint64_t tick = 0;
    uint32_t usq = 500000; // microseconds per quarter note
};

// Everything the tracks hold that the melody needs.
struct tracksread {
    std::vector<rawnote> notes;
    // Note-ons not yet ended, by channel and key: ticks oldest first, from
    // `first` on (the ones before it have ended).
    std::vector<std::vector<uint64_t>> open = std::vector<std::vector<uint64_t>>(16 * 128);
    std::vector<size_t> first = std::vector<size_t>(16 * 128);
    std::vector<int> used; // slots that took a note-on in this track (some twice)
    int64_t pending = 0; // note-ons read and not yet in `notes`
    std::vector<tempoat> tempi;
    std::vector<std::string> names; // per track, "" when unnamed
};

// Reads bytes [pos, end) with bounds checks; `fail` records the first fault.
struct reader {
    const unsigned char* d;
    size_t pos;
    size_t end;
    midierr err = midierr::ok;
    size_t at = 0;

    bool fail(midierr e)
    {
        if (err == midierr::ok) {
            err = e;
            at = pos;
        }
        return false;
    }
    bool need(size_t n) { return end - pos >= n || fail(midierr::truncated); }
    bool byte(unsigned& v)
    {
        if (!need(1))
            return false;
        v = d[pos++];
        return true;
    }
    bool be(uint32_t& v, int n)
    {
        if (!need(static_cast<size_t>(n)))
            return false;
        v = 0;
        for (int i = 0; i < n; i++)
            v = (v << 8) | d[pos++];
        return true;
    }
    bool vlq(uint32_t& v)
    {
        v = 0;
        for (int i = 0; i < 4; i++) {
            unsigned b;
            if (!byte(b))
                return false;
            v = (v << 7) | (b & 0x7f);
            if (!(b & 0x80))
                return true;
        }
        return fail(midierr::badlength);
    }
    bool skip(uint64_t n)
    {
        if (end - pos < n)
            return fail(midierr::truncated);
        pos += static_cast<size_t>(n);
        return true;
    }
};

// A track name as shown text: bytes that are not UTF-8 become '?', at most
// 200 bytes, surrounding blanks and NULs dropped.
std::string nametext(const unsigned char* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n && s.size() < 200;) {
        unsigned c = p[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = len > 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; k++)
            ok = (p[i + k] & 0xc0) == 0x80;
        if (!ok) {
            s += '?';
            i++;
            continue;
        }
        s.append(reinterpret_cast<const char*>(p + i), len);
        i += len;
    }
    size_t b = s.find_first_not_of(std::string(" \t\0", 3));
    size_t e = s.find_last_not_of(std::string(" \t\0", 3));
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// Reads one MTrk chunk's events into `out` as track `track`.
bool readtrack(reader& r, int track, tracksread& out)
{
    uint64_t tick = 0;
    unsigned status = 0;
    auto& open = out.open;
    std::string name;
    bool named = false;
    auto close = [&](int chan, int key, uint64_t at) {
        const size_t slot = static_cast<size_t>(chan * 128 + key);
        auto& v = open[slot];
        if (v.empty())
            return true;
        out.notes.push_back({v[out.first[slot]], at, key, chan, track});
        if (++out.first[slot] == v.size()) {
            v.clear();
            out.first[slot] = 0;
        }
        out.pending--;
        return true;
    };
    while (r.pos < r.end) {
        uint32_t delta;
        unsigned b;
        if (!r.vlq(delta) || !r.byte(b))
            return false;
        tick += delta;
        if (b == 0xff) {
            unsigned type;
            uint32_t len;
            if (!r.byte(type) || !r.vlq(len) || !r.need(len))
                return false;
            const unsigned char* p = r.d + r.pos;
            if (type == 0x2f)
                break;
            if (type == 0x51 && len == 3)
                out.tempi.push_back({tick, (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]});
            if (type == 0x03 && !named) {
                name = nametext(p, len);
                named = true;
            }
            r.skip(len);
            status = 0;
            continue;
        }
        if (b == 0xf0 || b == 0xf7) {
            uint32_t len;
            if (!r.vlq(len) || !r.skip(len))
                return false;
            status = 0;
            continue;
        }
        unsigned d1;
        if (b >= 0x80) {
            if (b >= 0xf0) {
                r.pos--;
                return r.fail(midierr::badevent);
            }
            status = b;
            if (!r.byte(d1))
                return false;
        } else if (status == 0) {
            r.pos--;
            return r.fail(midierr::badevent);
        } else {
            d1 = b;
        }
        unsigned kind = status & 0xf0;
        unsigned d2 = 0;
        if (kind != 0xc0 && kind != 0xd0 && !r.byte(d2))
            return false;
        if (d1 > 0x7f || d2 > 0x7f) {
            r.pos--;
            return r.fail(midierr::badevent);
        }
        int chan = static_cast<int>(status & 0x0f);
        int key = static_cast<int>(d1);
        if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
            if (!close(chan, key, tick))
                return false;
        } else if (kind == 0x90) {
            if (static_cast<int64_t>(out.notes.size()) + ++out.pending > MIDIMAXNOTES)
                return r.fail(midierr::toomany);
            auto& v = open[static_cast<size_t>(chan * 128 + key)];
            if (v.empty())
                out.used.push_back(chan * 128 + key);
            v.push_back(tick);
        }
    }
    // Notes still sounding end with the track.
    for (int slot : out.used)
        while (!open[static_cast<size_t>(slot)].empty())
            if (!close(slot / 128, slot % 128, tick))
                return false;
    out.used.clear();
    out.names.push_back(name);
    return true;
}

// Ticks to microseconds along the tempo map.
struct timemap {
    std::vector<tempoat> tempi; // sorted by tick, the first at tick 0
    std::vector<double> us;     // microseconds at each tempo's tick
    double perq = 480;          // ticks per quarter note
    double smpteus = 0;         // microseconds per tick when the division is SMPTE

    double at(uint64_t tick) const
    {
        if (smpteus > 0)
            return static_cast<double>(tick) * smpteus;
        size_t i = static_cast<size_t>(
            std::upper_bound(tempi.begin(), tempi.end(), tick,
                             [](uint64_t t, const tempoat& x) { return t < x.tick; }) -
            tempi.begin() - 1);
        return us[i] + static_cast<double>(tick - tempi[i].tick) * tempi[i].usq / perq;
    }
};

timemap maketime(std::vector<tempoat> tempi, uint32_t division)
{
    timemap m;
    if (division & 0x8000) {
        int fps = 256 - static_cast<int>(division >> 8);
        double rate = fps == 29 ? 30000.0 / 1001.0 : fps;
        m.smpteus = 1e6 / (rate * (division & 0xff));
        return m;
    }
    m.perq = division;
    std::stable_sort(tempi.begin(), tempi.end(), [](const tempoat& a, const tempoat& b) { return a.tick < b.tick; });
    m.tempi.push_back({0, 500000});
    for (const tempoat& t : tempi) {
        if (t.tick == m.tempi.back().tick)
            m.tempi.back().usq = t.usq;
        else
            m.tempi.push_back(t);
    }
    m.us.push_back(0);
    for (size_t i = 1; i < m.tempi.size(); i++)
        m.us.push_back(m.us[i - 1] + static_cast<double>(m.tempi[i].tick - m.tempi[i - 1].tick) *
                                         m.tempi[i - 1].usq / m.perq);
    return m;
}

int64_t stepof(double us)
{
    double s = std::floor(us / STEPUS + 0.5);
    return s >= ENDSTART ? ENDSTART : static_cast<int64_t>(s);
}

// A note in steps, for the melody.
struct stepnote {
    int64_t s = 0;
    int64_t e = 0;
    int key = 0;
};

// The highest sounding note wherever notes overlap.
std::vector<stepnote> skyline(std::vector<stepnote> v)
{
    std::sort(v.begin(), v.end(), [](const stepnote& a, const stepnote& b) {
        return a.s != b.s ? a.s < b.s : a.key > b.key;
    });
    std::vector<stepnote> out;
    for (const stepnote& n : v) {
        if (!out.empty() && n.s < out.back().e) {
            stepnote& cur = out.back();
            if (n.key <= cur.key || n.s == cur.s)
                continue;
            cur.e = n.s;
        }
        out.push_back(n);
    }
    return out;
}

int partkey(const rawnote& n, bool bychannel) { return bychannel ? n.chan : n.track; }

} // namespace

bool ismidi(const unsigned char* data, size_t size)
{
    return size >= 4 && data[0] == 'M' && data[1] == 'T' && data[2] == 'h' && data[3] == 'd';
}

smusic keynote(int key)
{
    while (key < MIDIKEYLOW)
        key += 12;
    while (key > MIDIKEYHIGH)
        key -= 12;
    static const int letter[12] = {1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
    static const bool sharp[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
    smusic m;
    m.heig = key / 12 - 2;
    m.pitch = letter[key % 12];
    m.rise = sharp[key % 12];
    return m;
}

namespace {

struct header {
    uint32_t format = 0, ntracks = 0, division = 0;
};

bool divisionok(uint32_t division)
{
    if (!(division & 0x8000))
        return division != 0;
    int fps = 256 - static_cast<int>(division >> 8);
    return (division & 0xff) != 0 && (fps == 24 || fps == 25 || fps == 29 || fps == 30);
}

// The MThd chunk; leaves `r` after it.
bool readheader(reader& r, header& h)
{
    uint32_t hlen;
    r.pos = 4;
    if (!r.be(hlen, 4))
        return false;
    if (hlen < 6)
        return r.fail(midierr::badheader);
    if (!r.need(hlen))
        return false;
    const size_t body = r.pos + hlen;
    r.be(h.format, 2);
    r.be(h.ntracks, 2);
    r.be(h.division, 2);
    if (h.format > 1) {
        r.pos -= 6;
        return r.fail(midierr::format2);
    }
    if (!divisionok(h.division)) {
        r.pos -= 2;
        return r.fail(midierr::badheader);
    }
    r.pos = body;
    return true;
}

// The MTrk chunks up to the header's count, other chunks skipped; `tracks`
// gets how many were read.
bool readtracks(reader& r, uint32_t ntracks, tracksread& tr, int& tracks)
{
    tracks = 0;
    while (r.pos < r.end && static_cast<uint32_t>(tracks) < ntracks) {
        uint32_t type, len;
        if (!r.be(type, 4) || !r.be(len, 4) || !r.need(len))
            return false;
        if (type == 0x4d54726b) { // "MTrk"
            reader t{r.d, r.pos, r.pos + len};
            if (!readtrack(t, tracks, tr)) {
                r.err = t.err;
                r.at = t.at;
                return false;
            }
            tracks++;
        }
        r.pos += len;
    }
    return tracks > 0 || r.fail(r.pos < r.end ? midierr::badheader : midierr::truncated);
}

// The parts that hold notes (track or channel numbers from 0, ascending)
// and the one to take: `want` (from 1), or the most notes outside the drums.
struct parts {
    std::vector<int> ids;
    size_t pick = 0;
    bool drumsonly = false; // the part taken has no notes but drums
};

midierr pickpart(const tracksread& tr, bool bychannel, int tracks, int want, parts& p)
{
    for (const rawnote& n : tr.notes)
        p.ids.push_back(partkey(n, bychannel));
    std::sort(p.ids.begin(), p.ids.end());
    p.ids.erase(std::unique(p.ids.begin(), p.ids.end()), p.ids.end());
    if (p.ids.empty())
        return midierr::nonotes;
    auto indexof = [&](int id) {
        return static_cast<size_t>(std::lower_bound(p.ids.begin(), p.ids.end(), id) - p.ids.begin());
    };
    std::vector<int64_t> tuned(p.ids.size());
    for (const rawnote& n : tr.notes)
        tuned[indexof(partkey(n, bychannel))] += n.chan != DRUMS;
    if (want > 0) {
        p.pick = indexof(want - 1);
        if (p.pick == p.ids.size() || p.ids[p.pick] != want - 1)
            return want <= (bychannel ? 16 : tracks) ? midierr::nonotes : midierr::notrack;
    } else {
        for (size_t i = 1; i < p.ids.size(); i++)
            if (tuned[i] > tuned[p.pick])
                p.pick = i;
    }
    p.drumsonly = tuned[p.pick] == 0;
    return midierr::ok;
}

// The part's notes in steps, the highest where they overlap, on the staff.
std::vector<smusic> melodyof(const tracksread& tr, const timemap& tm, bool bychannel, const parts& p,
                             int64_t& heard)
{
    std::vector<stepnote> steps;
    for (const rawnote& n : tr.notes) {
        if (partkey(n, bychannel) != p.ids[p.pick] || (n.chan == DRUMS && !p.drumsonly))
            continue;
        heard++;
        stepnote s{stepof(tm.at(n.on)), stepof(tm.at(n.off)), n.key};
        if (s.s >= ENDSTART)
            continue;
        s.e = std::min<int64_t>(std::max(s.e, s.s + 1), ENDSTART);
        steps.push_back(s);
    }
    std::vector<smusic> out;
    for (const stepnote& s : skyline(std::move(steps))) {
        smusic m = keynote(s.key);
        m.start = static_cast<int>(s.s);
        m.leng = static_cast<int>(s.e - s.s);
        out.push_back(m);
    }
    return out;
}

} // namespace

midierr midiread(const unsigned char* data, size_t size, int want, midiscore& out, size_t* at)
{
    reader r{data, 0, size};
    auto failed = [&](midierr e) {
        r.fail(e);
        if (at)
            *at = r.at;
        return r.err;
    };
    header h;
    tracksread tr;
    int tracks = 0;
    if (!ismidi(data, size))
        return failed(midierr::notmidi);
    if (!readheader(r, h) || !readtracks(r, h.ntracks, tr, tracks))
        return failed(midierr::truncated);
    const bool bychannel = h.format == 0 || tracks == 1;
    parts p;
    r.pos = 0;
    if (midierr e = pickpart(tr, bychannel, tracks, want, p); e != midierr::ok)
        return failed(e);
    midiscore m;
    m.notes = melodyof(tr, maketime(std::move(tr.tempi), h.division), bychannel, p, m.heard);
    if (m.notes.empty())
        return failed(midierr::nonotes);
    m.format = static_cast<int>(h.format);
    m.part = p.ids[p.pick] + 1;
    m.parts = bychannel ? static_cast<int>(p.ids.size()) : tracks;
    m.bychannel = bychannel;
    if (!tr.names.empty() && !tr.names[0].empty())
        m.title = tr.names[0];
    else if (!bychannel && static_cast<size_t>(p.ids[p.pick]) < tr.names.size())
        m.title = tr.names[static_cast<size_t>(p.ids[p.pick])];
    out = std::move(m);
    if (at)
        *at = 0;
    return midierr::ok;
}

midierr midiread(const std::string& bytes, int want, midiscore& out, size_t* at)
{
    return midiread(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), want, out, at);
}

const char* midicause(midierr e)
{
    switch (e) {
    case midierr::ok:
        return "";
    case midierr::notmidi:
        return "不是 MIDI 文件";
    case midierr::truncated:
        return "MIDI 文件不完整";
    case midierr::badheader:
        return "MIDI 文件头有误";
    case midierr::format2:
        return "不支持格式 2 的 MIDI 文件";
    case midierr::badevent:
        return "MIDI 文件里有无效的事件";
    case midierr::badlength:
        return "MIDI 文件里有无效的长度";
    case midierr::toomany:
        return "MIDI 文件的音符太多";
    case midierr::nonotes:
        return "MIDI 文件里没有音符";
    case midierr::notrack:
        return "MIDI 文件里没有这条音轨";
    }
    return "";
}
