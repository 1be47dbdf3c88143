// SPDX-License-Identifier: MIT
// The SoundFont 2 reader of sf2.h.
#include "tone/player/sf2.h"

#include <algorithm>
#include <cstring>

namespace {

// A bounded view of bytes: every read checks its offset against the end.
struct sbytes {
    const unsigned char* p = nullptr;
    size_t n = 0;

    uint32_t u8(size_t at) const { return p[at]; }
    uint32_t u16(size_t at) const { return p[at] | (p[at + 1] << 8); }
    uint32_t u32(size_t at) const { return u16(at) | (u16(at + 2) << 16); }
    bool id(size_t at, const char* four) const { return std::memcmp(p + at, four, 4) == 0; }
    sbytes sub(size_t at, size_t len) const { return sbytes{p + at, len}; }
};

// The chunk at `at` of `in`: its id at `at`, body [at + 8, at + 8 + size).
// False when the header or the body does not fit.
bool chunkat(const sbytes& in, size_t at, sbytes& body)
{
    if (at > in.n || in.n - at < 8)
        return false;
    size_t size = in.u32(at + 4);
    if (size > in.n - at - 8)
        return false;
    body = in.sub(at + 8, size);
    return true;
}

std::string namefrom(const sbytes& b, size_t at)
{
    std::string s(reinterpret_cast<const char*>(b.p + at), 20);
    s.resize(std::strlen(s.c_str()));
    return s;
}

// The tables of pdta, found by id.
struct stables {
    sbytes phdr, pbag, pgen, inst, ibag, igen, shdr;
    bool seen[7]{};
};

struct stable {
    const char* id;
    sbytes stables::*where;
    size_t recsize;
};

const stable TABLES[] = {
    {"phdr", &stables::phdr, 38}, {"pbag", &stables::pbag, 4}, {"pgen", &stables::pgen, 4},
    {"inst", &stables::inst, 22}, {"ibag", &stables::ibag, 4}, {"igen", &stables::igen, 4},
    {"shdr", &stables::shdr, 46},
};

// Walks the chunks of a LIST body, from offset 4 (past its type), calling
// `each(id offset, body)`. False when a chunk does not fit.
template <class F> bool eachchunk(const sbytes& list, F each)
{
    for (size_t at = 4; at < list.n;) {
        sbytes body;
        if (!chunkat(list, at, body))
            return false;
        each(at, body);
        size_t next = at + 8 + body.n + (body.n & 1);
        if (next <= at)
            return false;
        at = next;
    }
    return true;
}

// Reads the zones of one preset or instrument: bags [b0, b1) of `bag`, their
// generators in `gen`. `last` is the generator that ends a local zone and
// `targets` the number of things it may name. False on a broken index.
bool readzones(const sbytes& bag, const sbytes& gen, size_t b0, size_t b1, uint16_t last, size_t targets,
               sf2part& part, std::string& err)
{
    const size_t nbag = bag.n / 4, ngen = gen.n / 4;
    if (b0 > b1 || b1 >= nbag) {
        err = "a zone list lies outside its table";
        return false;
    }
    for (size_t b = b0; b < b1; b++) {
        size_t g0 = bag.u16(4 * b), g1 = bag.u16(4 * (b + 1));
        if (g0 > g1 || g1 >= ngen) {
            err = "a generator list lies outside its table";
            return false;
        }
        sf2zone z;
        bool ended = false;
        for (size_t g = g0; g < g1 && !ended; g++) {
            uint16_t op = static_cast<uint16_t>(gen.u16(4 * g));
            if (op >= SF2G_COUNT)
                continue; // unknown generators are ignored
            if (op == SF2G_KEYRANGE || op == SF2G_VELRANGE) {
                uint8_t lo = static_cast<uint8_t>(gen.u8(4 * g + 2)), hi = static_cast<uint8_t>(gen.u8(4 * g + 3));
                (op == SF2G_KEYRANGE ? z.keylo : z.vello) = lo;
                (op == SF2G_KEYRANGE ? z.keyhi : z.velhi) = hi;
            } else {
                z.gen[op] = static_cast<int16_t>(gen.u16(4 * g + 2));
            }
            z.set |= uint64_t{1} << op;
            if (op == last) {
                ended = true;
                size_t t = static_cast<uint16_t>(z.gen[op]);
                if (t >= targets) {
                    err = "a zone names an instrument or sample that does not exist";
                    return false;
                }
                z.target = static_cast<int>(t);
            }
        }
        if (z.target >= 0)
            part.zones.push_back(z);
        else if (b == b0) {
            part.hasglobal = true;
            part.global = z;
        }
    }
    return true;
}

bool readsamples(const stables& t, size_t nsmpl, sf2font& f, std::string& err)
{
    size_t n = t.shdr.n / 46 - 1;
    f.samples.resize(n);
    for (size_t i = 0; i < n; i++) {
        size_t at = 46 * i;
        sf2sample& s = f.samples[i];
        s.name = namefrom(t.shdr, at);
        s.start = t.shdr.u32(at + 20);
        s.end = t.shdr.u32(at + 24);
        s.loopstart = t.shdr.u32(at + 28);
        s.loopend = t.shdr.u32(at + 32);
        s.rate = t.shdr.u32(at + 36);
        s.key = static_cast<uint8_t>(t.shdr.u8(at + 40));
        s.correction = static_cast<int8_t>(t.shdr.u8(at + 41));
        s.type = static_cast<uint16_t>(t.shdr.u16(at + 44));
        if (s.type & 0x8000)
            continue; // in ROM: never played
        if (s.start > s.end || s.end > nsmpl) {
            err = "sample \"" + s.name + "\" lies outside the sample data";
            return false;
        }
    }
    return true;
}

bool readparts(const sbytes& hdr, size_t recsize, size_t bagat, const sbytes& bag, const sbytes& gen,
               uint16_t last, size_t targets, bool preset, std::vector<sf2part>& out, std::string& err)
{
    size_t n = hdr.n / recsize - 1;
    out.resize(n);
    for (size_t i = 0; i < n; i++) {
        size_t at = recsize * i;
        sf2part& p = out[i];
        p.name = namefrom(hdr, at);
        if (preset) {
            p.program = static_cast<uint16_t>(hdr.u16(at + 20));
            p.bank = static_cast<uint16_t>(hdr.u16(at + 22));
        }
        if (!readzones(bag, gen, hdr.u16(at + bagat), hdr.u16(at + recsize + bagat), last, targets, p, err))
            return false;
    }
    return true;
}

} // namespace

int sf2parse(std::string_view bytes, sf2font& font, std::string& err)
{
    font = sf2font{};
    const sbytes all{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
    sbytes riff;
    if (!chunkat(all, 0, riff) || !all.id(0, "RIFF") || riff.n < 4 || !riff.id(0, "sfbk")) {
        err = "not a SoundFont 2 file (no RIFF sfbk header)";
        return -1;
    }
    sbytes smpl;
    bool havesmpl = false, havepdta = false, fits = true;
    stables t;
    fits = eachchunk(riff, [&](size_t at, const sbytes& list) {
        if (!riff.id(at, "LIST") || list.n < 4)
            return;
        if (list.id(0, "sdta")) {
            fits = fits && eachchunk(list, [&](size_t cat, const sbytes& body) {
                if (list.id(cat, "smpl") && !havesmpl) {
                    smpl = body;
                    havesmpl = true;
                }
            });
        } else if (list.id(0, "pdta")) {
            havepdta = true;
            fits = fits && eachchunk(list, [&](size_t cat, const sbytes& body) {
                for (size_t k = 0; k < std::size(TABLES); k++)
                    if (list.id(cat, TABLES[k].id) && !t.seen[k]) {
                        t.*(TABLES[k].where) = body;
                        t.seen[k] = true;
                    }
            });
        }
    }) && fits;
    if (!fits) {
        err = "the SoundFont is cut short: a chunk runs past its end";
        return -1;
    }
    if (!havesmpl || !havepdta) {
        err = std::string("the SoundFont has no ") + (havesmpl ? "preset data (pdta)" : "sample data (smpl)");
        return -1;
    }
    for (size_t k = 0; k < std::size(TABLES); k++) {
        const sbytes& b = t.*(TABLES[k].where);
        if (!t.seen[k] || b.n % TABLES[k].recsize != 0 || b.n < TABLES[k].recsize) {
            err = std::string("the SoundFont's ") + TABLES[k].id + " table is missing or broken";
            return -1;
        }
    }
    const size_t nsmpl = smpl.n / 2;
    if (!readsamples(t, nsmpl, font, err) ||
        !readparts(t.inst, 22, 20, t.ibag, t.igen, SF2G_SAMPLEID, font.samples.size(), false, font.insts, err) ||
        !readparts(t.phdr, 38, 24, t.pbag, t.pgen, SF2G_INSTRUMENT, font.insts.size(), true, font.presets, err)) {
        font = sf2font{};
        return -1;
    }
    font.data.resize(nsmpl);
    for (size_t i = 0; i < nsmpl; i++)
        font.data[i] = static_cast<int16_t>(static_cast<uint16_t>(smpl.u16(2 * i)));
    return 0;
}

int sf2preset(const sf2font& font, int bank, int program)
{
    for (size_t i = 0; i < font.presets.size(); i++)
        if (font.presets[i].bank == bank && font.presets[i].program == program)
            return static_cast<int>(i);
    return -1;
}
