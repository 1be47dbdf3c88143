// SPDX-License-Identifier: MIT
// The player's own SoundFont sample player beside FluidSynth on the same
// SoundFont (TimGM6mb.sf2): pitch, note length, release and loudness of every
// instrument the editor names, over its six octaves.
#include "tone/player/fluid.h"
#include "tone/player/sf2synth.h"
#include "tone/player/player.h"

#include "platform/fileio.h"
#include "score/instrument.h"
#include "score/pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char* const FONT = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int64_t NOTE = RATE * 4 / 10;  // key held 400 ms
constexpr int64_t TOTAL = RATE * 3;      // rendered 3 s at most

std::vector<double> play(auto noteon, auto noteoff, auto render, int key, int vel)
{
    std::vector<int16_t> x(TOTAL);
    noteon(key, vel);
    render(x.data(), static_cast<size_t>(NOTE));
    noteoff(key);
    render(x.data() + NOTE, static_cast<size_t>(TOTAL - NOTE));
    return std::vector<double>(x.begin(), x.end());
}

struct smeasure {
    double onsetms = 0, endms = 0; // sound above 40 dB below its peak
    double db = 0;                 // RMS level while the key is held
    double hz = 0;                 // pitch while the key is held
};

// The period near `expect` samples from the autocorrelation of [a, b), at a
// multiple of it near 1000 samples for precision.
double periodof(const std::vector<double>& x, int64_t a, int64_t b, double expect)
{
    int m = std::max(1, static_cast<int>(std::lround(1000.0 / expect)));
    auto corr = [&](int64_t lag) {
        double s = 0, ea = 0, eb = 0;
        for (int64_t i = a; i + lag < b; i++) {
            s += x[i] * x[i + lag];
            ea += x[i] * x[i];
            eb += x[i + lag] * x[i + lag];
        }
        return s / std::sqrt(ea * eb + 1e-9);
    };
    int64_t lo = static_cast<int64_t>(m * expect * 0.97), hi = static_cast<int64_t>(m * expect * 1.03) + 1;
    int64_t best = lo;
    double bv = -2;
    std::vector<double> c;
    for (int64_t l = lo - 1; l <= hi + 1; l++)
        c.push_back(corr(l));
    for (int64_t l = lo; l <= hi; l++)
        if (c[l - lo + 1] > bv) {
            bv = c[l - lo + 1];
            best = l;
        }
    double y0 = c[best - lo], y1 = c[best - lo + 1], y2 = c[best - lo + 2];
    double d = (y0 - 2 * y1 + y2) != 0 ? 0.5 * (y0 - y2) / (y0 - 2 * y1 + y2) : 0;
    return (best + d) / m;
}

smeasure measure(const std::vector<double>& x, int key)
{
    smeasure r;
    // The level in windows of 2 ms.
    constexpr int64_t W = RATE / 500;
    std::vector<double> lv;
    for (int64_t i = 0; i + W <= static_cast<int64_t>(x.size()); i += W) {
        double e = 0;
        for (int64_t j = i; j < i + W; j++)
            e += x[j] * x[j];
        lv.push_back(e / W);
    }
    double top = *std::max_element(lv.begin(), lv.end());
    int64_t first = -1, last = -1;
    for (int64_t i = 0; i < static_cast<int64_t>(lv.size()); i++)
        if (lv[i] > top * 1e-4) { // 40 dB below the loudest
            if (first < 0)
                first = i;
            last = i;
        }
    r.onsetms = first * 2.0;
    r.endms = (last + 1) * 2.0;
    double e = 0;
    for (int64_t i = 0; i < NOTE; i++)
        e += x[i] * x[i];
    r.db = 10 * std::log10(e / NOTE + 1e-9);
    double expect = RATE / (440.0 * std::pow(2.0, (key - 69) / 12.0));
    r.hz = RATE / periodof(x, RATE / 10, NOTE, expect);
    return r;
}

// Both players on the font at `path` (whose bytes are `bytes`): pitch, onset,
// end and loudness of `keys` on each instrument, and loudness at two more
// velocities. `uneven` names the one note whose end is not compared.
void compare(const std::string& path, const std::string& bytes, std::vector<const char*> names, std::vector<int> keys,
             std::pair<std::string, int> uneven = {})
{
    sf2font font;
    std::string why;
    ASSERT_EQ(sf2parse(bytes, font, why), 0) << why;
    for (const char* name : names) {
        int program = instrumentof(name);
        sfluid* fl = fluidload(path, program, why);
        ASSERT_NE(fl, nullptr) << why;
        sf2synth* own = sf2make(font, program, RATE, why);
        ASSERT_NE(own, nullptr) << why;
        auto both = [&](int key, int vel) {
            return std::pair{
                measure(play([&](int k, int v) { fluidnoteon(fl, 0, k, v); }, [&](int k) { fluidnoteoff(fl, 0, k); },
                             [&](int16_t* o, size_t n) { fluidrender(fl, o, n); }, key, vel), key),
                measure(play([&](int k, int v) { sf2noteon(own, 0, k, v); }, [&](int k) { sf2noteoff(own, 0, k); },
                             [&](int16_t* o, size_t n) { sf2render16(own, o, n); }, key, vel), key)};
        };
        for (int key : keys) {
            auto [a, b] = both(key, VELOCITY);
            double cents = 1200 * std::log2(b.hz / a.hz);
            std::printf("%-8s key %3d  fluid %7.2f Hz %6.1f dB %5.1f-%6.1f ms   own %7.2f Hz %6.1f dB %5.1f-%6.1f ms  %+5.1f c %+5.1f dB\n",
                        name, key, a.hz, a.db, a.onsetms, a.endms, b.hz, b.db, b.onsetms, b.endms, cents, b.db - a.db);
            EXPECT_LT(std::fabs(cents), 5.0) << name << " key " << key;
            EXPECT_LT(std::fabs(b.onsetms - a.onsetms), 10.0) << name << " key " << key;
            if (uneven != std::pair<std::string, int>{name, key}) {
                EXPECT_LT(std::fabs(b.endms - a.endms), 10.0) << name << " key " << key;
            }
            EXPECT_LT(std::fabs(b.db - a.db), 3.0) << name << " key " << key;
        }
        for (int vel : {30, 127}) { // on the middle note
            auto [a, b] = both(keys[keys.size() / 2], vel);
            EXPECT_LT(std::fabs(b.db - a.db), 3.0) << name << " velocity " << vel;
        }
        fluidfree(fl);
        sf2free(own);
    }
}

TEST(OwnSynth, MatchesFluidSynthOnTimGM6mb)
{
    std::string bytes, err;
    ASSERT_TRUE(readwhole(FONT, bytes, &err)) << err;
    // A note in each of the staff's six octaves, a different letter in each.
    std::vector<int> keys;
    for (int h = 0; h < 6; h++)
        keys.push_back(keyof(getfreq(h, 1 + (2 * h) % 7, false)));
    // Voice Oohs' key 71 sounds two samples, one of them "Doo B4" with a pitch
    // correction of 21 cents, which FluidSynth plays a cent flat (as it does
    // some other corrections, not 20). The two samples then beat apart where
    // the note fades through -40 dB and the ends differ by 36 ms: that note's
    // end is compared on the font with the correction made 20.
    compare(FONT, bytes, {"piano", "organ", "guitar", "violin", "flute", "clarinet", "trumpet", "voice"}, keys,
            {"voice", 71});
    std::string even = bytes;
    size_t at = even.find(std::string("Doo B4\0", 7)); // a sample header: its correction 41 bytes on
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(even[at + 41], 21);
    even[at + 41] = 20;
    const std::string path = testing::TempDir() + "even.sf2";
    ASSERT_TRUE(writewhole(path, even, false));
    compare(path, even, {"voice"}, {71});
}

} // namespace
