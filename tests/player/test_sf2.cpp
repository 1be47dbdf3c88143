// SPDX-License-Identifier: MIT
// The SoundFont 2 reader and the own sample player on small fonts built here.
#include "tone/player/sf2synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

std::string le(uint32_t v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; i++)
        s += static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
}
std::string chunk(const std::string& id, const std::string& body)
{
    return id + le(static_cast<uint32_t>(body.size()), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}
std::string name20(const std::string& n) { return n + std::string(20 - n.size(), '\0'); }
std::string gen(int op, int amount) { return le(op, 2) + le(static_cast<uint16_t>(amount), 2); }
std::string range(int op, int lo, int hi) { return le(op, 2) + le(lo, 1) + le(hi, 1); }

// The parts of a tiny font, each a table's bytes, for tests to spoil.
struct stiny {
    int period = 96;    // the sample: one cycle of a sine in `period` samples, looped
    int cycles = 100;
    int mode = 1;       // sample modes of the instrument zones
    std::string phdr, pbag, pgen, inst, ibag, igen, shdr, smpl;
    stiny()
    {
        for (int i = 0; i < period * cycles; i++)
            smpl += le(static_cast<uint16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * i / period))), 2);
    }
    // Preset 0 "P": a global zone (fine tune 10) and a zone on instrument 0
    // (attenuation 50). Instrument "I": a global zone (attenuation 100, a
    // release of 0 timecents), then keys 0-63 on sample 0, and keys 64-127 on
    // sample 0 with root key 72 and one semitone up.
    std::string bytes()
    {
        uint32_t n = static_cast<uint32_t>(period * cycles);
        if (phdr.empty()) {
            phdr = name20("P") + le(0, 2) + le(0, 2) + le(0, 2) + std::string(12, '\0') + name20("EOP") +
                   std::string(4, '\0') + le(2, 2) + std::string(12, '\0');
            pbag = le(0, 2) + le(0, 2) + le(1, 2) + le(0, 2) + le(3, 2) + le(0, 2);
            pgen = gen(SF2G_FINETUNE, 10) + gen(SF2G_ATTENUATION, 50) + gen(SF2G_INSTRUMENT, 0) + gen(0, 0);
            inst = name20("I") + le(0, 2) + name20("EOI") + le(3, 2);
            ibag = le(0, 2) + le(0, 2) + le(2, 2) + le(0, 2) + le(5, 2) + le(0, 2) + le(10, 2) + le(0, 2);
            igen = gen(SF2G_ATTENUATION, 100) + gen(SF2G_VOLRELEASE, 0) + range(SF2G_KEYRANGE, 0, 63) +
                   gen(SF2G_SAMPLEMODES, mode) + gen(SF2G_SAMPLEID, 0) + range(SF2G_KEYRANGE, 64, 127) +
                   gen(SF2G_ROOTKEY, 72) + gen(SF2G_COARSETUNE, 1) + gen(SF2G_SAMPLEMODES, mode) +
                   gen(SF2G_SAMPLEID, 0) + gen(0, 0);
            shdr = name20("S") + le(0, 4) + le(n, 4) + le(period, 4) + le(n - period, 4) + le(RATE, 4) +
                   le(60, 1) + le(0, 1) + le(0, 2) + le(1, 2) + name20("EOS") + std::string(26, '\0');
        }
        std::string pdta = "pdta" + chunk("phdr", phdr) + chunk("pbag", pbag) + chunk("pmod", std::string(10, '\0')) +
                           chunk("pgen", pgen) + chunk("inst", inst) + chunk("ibag", ibag) +
                           chunk("imod", std::string(10, '\0')) + chunk("igen", igen) + chunk("shdr", shdr);
        std::string body = "sfbk" + chunk("LIST", "INFO" + chunk("ifil", le(2, 2) + le(4, 2))) +
                           chunk("LIST", "sdta" + chunk("smpl", smpl)) + chunk("LIST", pdta);
        return chunk("RIFF", body);
    }
    static constexpr int RATE = 48000;
};

TEST(Sf2Reader, ReadsZonesAndSumsGeneratorsAsTheFormatSays)
{
    stiny t;
    sf2font f;
    std::string err;
    ASSERT_EQ(sf2parse(t.bytes(), f, err), 0) << err;
    ASSERT_EQ(f.presets.size(), 1u);
    EXPECT_TRUE(f.presets[0].hasglobal);
    ASSERT_EQ(f.insts.size(), 1u);
    ASSERT_EQ(f.insts[0].zones.size(), 2u);
    EXPECT_EQ(f.samples[0].name, "S");
    EXPECT_EQ(sf2preset(f, 0, 0), 0);
    EXPECT_EQ(sf2preset(f, 0, 1), -1);
    struct {
        int key, root, coarse;
    } cases[] = {{40, -1, 0}, {63, -1, 0}, {64, 72, 1}, {100, 72, 1}};
    for (auto c : cases) {
        std::vector<sf2note> v = sf2notes(f, 0, c.key, 100);
        ASSERT_EQ(v.size(), 1u) << c.key;
        EXPECT_EQ(v[0].gen[SF2G_ATTENUATION], 150) << "instrument global + preset local";
        EXPECT_EQ(v[0].gen[SF2G_FINETUNE], 10) << "preset global";
        EXPECT_EQ(v[0].gen[SF2G_ROOTKEY], c.root);
        EXPECT_EQ(v[0].gen[SF2G_COARSETUNE], c.coarse);
        EXPECT_EQ(v[0].gen[SF2G_VOLRELEASE], 0);
        EXPECT_EQ(v[0].gen[SF2G_VOLATTACK], -12000) << "the default";
        EXPECT_EQ(v[0].gen[SF2G_SCALETUNING], 100);
    }
}

TEST(Sf2Reader, RefusesBrokenFontsWithAReason)
{
    const std::string good = stiny().bytes();
    sf2font f;
    std::string err;
    // Every file cut short fails cleanly.
    for (size_t n = 0; n < good.size(); n += 7)
        EXPECT_EQ(sf2parse(good.substr(0, n), f, err), -1) << n;
    struct {
        const char* what;
        std::function<void(stiny&)> spoil;
    } cases[] = {
        {"bag beyond its table", [](stiny& t) { t.bytes(); t.phdr.replace(62, 2, le(9, 2)); }},
        {"generator beyond its table", [](stiny& t) { t.bytes(); t.ibag.replace(12, 2, le(99, 2)); }},
        {"falling bag index", [](stiny& t) { t.bytes(); t.inst.replace(20, 2, le(4, 2)); }},
        {"no such instrument", [](stiny& t) { t.bytes(); t.pgen.replace(10, 2, le(5, 2)); }},
        {"no such sample", [](stiny& t) { t.bytes(); t.igen.replace(18, 2, le(3, 2)); }},
        {"sample past the data", [](stiny& t) { t.bytes(); t.shdr.replace(24, 4, le(1u << 30, 4)); }},
        {"table not whole records", [](stiny& t) { t.bytes(); t.pbag += "x"; }},
        {"no terminal record", [](stiny& t) { t.bytes(); t.shdr.resize(0); }},
    };
    for (auto& c : cases) {
        stiny t;
        c.spoil(t);
        err.clear();
        EXPECT_EQ(sf2parse(t.bytes(), f, err), -1) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
        EXPECT_TRUE(f.presets.empty()) << c.what;
    }
}

// The note rendered: `on` samples held, then released, `total` in all; at
// full velocity, where the velocity takes nothing off.
std::vector<double> note(stiny& t, int key, int64_t on, int64_t total)
{
    sf2font f;
    std::string err;
    EXPECT_EQ(sf2parse(t.bytes(), f, err), 0) << err;
    sf2synth* s = sf2make(f, 0, stiny::RATE, err);
    std::vector<double> x(static_cast<size_t>(total));
    sf2noteon(s, 0, key, 127);
    sf2render(s, x.data(), static_cast<size_t>(on));
    sf2noteoff(s, 0, key);
    sf2render(s, x.data() + on, static_cast<size_t>(total - on));
    sf2free(s);
    return x;
}

double upcrossings(const std::vector<double>& x, int64_t a, int64_t b)
{
    int n = 0;
    for (int64_t i = a + 1; i < b; i++)
        n += x[i - 1] < 0 && x[i] >= 0;
    return n;
}

TEST(Sf2Voice, PitchFollowsRootKeyTuneAndInterpolates)
{
    // Sample at 500 Hz (96 samples a cycle at 48 kHz), root key 60; the
    // preset adds 10 cents.
    struct {
        int key;
        double hz;
    } cases[] = {{60, 500 * std::pow(2, 0.1 / 12)}, {48, 250 * std::pow(2, 0.1 / 12)}, {62, 500 * std::pow(2, 2.1 / 12)},
                 {72, 500 * std::pow(2, 1.1 / 12)}, {84, 500 * std::pow(2, 13.1 / 12)}};
    for (auto c : cases) {
        stiny t;
        std::vector<double> x = note(t, c.key, 48000, 48000);
        EXPECT_NEAR(upcrossings(x, 0, 48000), c.hz, 1 + c.hz * 0.002) << c.key; // loops through the whole second
        double worst = 0; // linear interpolation of a smooth sine is close to a sine
        for (size_t i = 2; i + 1 < x.size(); i++)
            worst = std::max(worst, std::fabs(x[i + 1] - 2 * x[i] + x[i - 1]));
        EXPECT_LT(worst, 0.05) << c.key;
    }
}

TEST(Sf2Voice, LoopModesAndReleaseEnvelope)
{
    const int64_t len = 96 * 100; // the sample's length
    struct {
        int mode;
        int64_t on;
        bool soundsafter; // still sounds past the sample's end
    } cases[] = {{0, 48000, false}, {1, 48000, true}, {3, 48000, true}, {3, 100, false}};
    for (auto c : cases) {
        stiny t;
        t.mode = c.mode;
        std::vector<double> x = note(t, 60, c.on, 48000 * 2);
        double after = 0;
        for (int64_t i = std::max(len, c.on) + 10; i < std::max(len, c.on) + 500; i++)
            after = std::max(after, std::fabs(x[i]));
        EXPECT_EQ(after > 0.01, c.soundsafter) << c.mode << " " << c.on;
    }
    // A release of 0 timecents: 96 dB in one second, so 48 dB after half of it.
    stiny t;
    std::vector<double> x = note(t, 60, 24000, 96000);
    auto peakat = [&](int64_t a) {
        double p = 0;
        for (int64_t i = a; i < a + 96; i++)
            p = std::max(p, std::fabs(x[i]));
        return p;
    };
    EXPECT_NEAR(20 * std::log10(peakat(24000 + 24000) / peakat(24000 - 96)), -48.0, 0.5);
    EXPECT_EQ(peakat(24000 + 48000 + 96), 0.0) << "ended at -96 dB";
    // Attenuation 150 cB counted at 0.4: 6 dB below the sample.
    EXPECT_NEAR(20 * std::log10(peakat(12000) / (16000.0 / 32768)), -6.0, 0.05);
}

TEST(Sf2Voice, VelocityAndResonanceLowerTheLevel)
{
    // The sample's sine (500 Hz) under attenuation 150 cB, 6 dB at 0.4: a
    // note-on's velocity takes 40 log10(vel / 127) dB off; a zone's resonance
    // (far above the sine) half its height, the filter's DC gain.
    struct {
        int vel, res; // res in cB, given to the zone's voice at full velocity
        double db;
    } cases[] = {{127, 0, -6.0}, {64, 0, -6.0 + 40 * std::log10(64 / 127.0)}, {1, 0, -6.0 - 40 * std::log10(127.0)},
                 {127, 100, -11.0}, {127, 240, -18.0}};
    stiny t;
    sf2font f;
    std::string err;
    ASSERT_EQ(sf2parse(t.bytes(), f, err), 0) << err;
    for (auto c : cases) {
        std::vector<double> x(24000);
        if (c.res == 0) {
            sf2synth* s = sf2make(f, 0, stiny::RATE, err);
            sf2noteon(s, 0, 60, c.vel);
            sf2render(s, x.data(), x.size());
            sf2free(s);
        } else {
            sf2note n = sf2notes(f, 0, 60, c.vel)[0];
            n.gen[9] = c.res;
            sf2voice v = sf2voicefor(f, n, 60, stiny::RATE);
            sf2voicerender(f, v, x.data(), x.size());
        }
        double p = 0;
        for (size_t i = 12000; i < x.size(); i++)
            p = std::max(p, std::fabs(x[i]));
        EXPECT_NEAR(20 * std::log10(p / (16000.0 / 32768)), c.db, 0.1) << c.vel << " " << c.res;
    }
}

TEST(Sf2Voice, Exp2IsExactEnough)
{
    for (double x : {-30.5, -1.0, -0.25, 0.0, 0.3, 1.0, 7.77, 20.0})
        EXPECT_NEAR(sf2exp2(x) / std::exp2(x), 1.0, 1e-14) << x;
    EXPECT_EQ(sf2exp2(-2000), 0.0);
}

} // namespace
