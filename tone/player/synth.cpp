// SPDX-License-Identifier: MIT
#include "tone/player/player.h"

#include "score/pitch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr int64_t RAMP = RATE * RAMPMS / 1000; // samples
// Far beyond any real length, far below overflow.
constexpr double MAXSAMPLES = 4.0e18;

// Raised-cosine fade in: 0 at x = 0, 1 from x = RAMP on.
struct sramp {
    double v[RAMP];
    sramp()
    {
        for (int64_t i = 0; i < RAMP; i++)
            v[i] = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / RAMP);
    }
};
const sramp ramp;

// One cycle of a sine, looked up with linear interpolation between 4096
// points: off by less than 1e-6, far below one step of 16-bit sound.
struct ssine {
    static constexpr int BITS = 12;
    double v[(1 << BITS) + 1];
    ssine()
    {
        for (int i = 0; i <= (1 << BITS); i++)
            v[i] = std::sin(2 * std::numbers::pi * i / (1 << BITS));
    }
    double at(uint64_t phase) const
    {
        uint64_t i = phase >> (64 - BITS);
        double f = static_cast<double>((phase << BITS) >> 11) * 0x1p-53;
        return v[i] + (v[i + 1] - v[i]) * f;
    }
};
const ssine sine;

uint64_t phasestep(double freq)
{
    return static_cast<uint64_t>(std::llround(freq / RATE * 0x1p32)) << 32;
}

double fade(int64_t x) { return x < RAMP ? ramp.v[x] : 1.0; }

int64_t tosamples(double x)
{
    if (!(x > 0))
        return 0;
    if (x > MAXSAMPLES)
        return static_cast<int64_t>(MAXSAMPLES);
    return std::llround(x);
}

} // namespace

bool sounds(const smusic& m)
{
    return m.leng > 0 && noterow(m) >= 0;
}

splan toneplan(const sreq& r)
{
    splan p;
    if (r.leng <= 0)
        return p;
    p.len = static_cast<int64_t>(r.leng) * (RATE / 10);
    if (r.freq > 0 && r.freq < RATE / 2)
        p.tones.push_back(stone{0, p.len, static_cast<double>(r.freq)});
    return p;
}

std::vector<sspan> melody(const std::vector<smusic>& notes)
{
    std::vector<sspan> v;
    for (const smusic& m : notes)
        if (sounds(m))
            v.push_back(sspan{m.start, static_cast<int64_t>(m.start) + m.leng, m});
    std::stable_sort(v.begin(), v.end(), [](const sspan& a, const sspan& b) { return a.s < b.s; });
    std::vector<sspan> out;
    for (size_t i = 0; i < v.size(); i++) {
        if (i + 1 < v.size())
            v[i].e = std::min(v[i].e, v[i + 1].s);
        if (v[i].e > v[i].s)
            out.push_back(v[i]);
    }
    return out;
}

splan scoreplan(const std::vector<smusic>& notes, int start, int end, double speed, int64_t skipms)
{
    splan p;
    if (!std::isfinite(speed) || !(speed > 0) || end <= start)
        return p;
    const double perstep = RATE / 10.0 / speed; // samples per step
    const double skip = static_cast<double>(std::max<int64_t>(skipms, 0)) * (RATE / 1000.0);
    auto at = [&](int64_t step) { return tosamples(static_cast<double>(step - start) * perstep - skip); };
    p.len = at(end);
    if (p.len <= 0)
        return splan{};
    for (const sspan& n : melody(notes)) {
        int64_t s = std::max<int64_t>(n.s, start), e = std::min<int64_t>(n.e, end);
        if (e <= s)
            continue;
        double f = getfreq(n.m.heig, n.m.pitch, n.m.rise);
        if (!(f > 0 && f < RATE / 2.0))
            continue;
        int64_t a = at(s), b = std::min(at(e), p.len);
        if (b > a)
            p.tones.push_back(stone{a, b, f});
    }
    return p;
}

int scoreend(const std::vector<smusic>& notes)
{
    std::vector<sspan> v = melody(notes);
    int64_t last = v.empty() ? 0 : std::max<int64_t>(v.back().e, 0);
    return static_cast<int>(std::min<int64_t>(last, std::numeric_limits<int>::max()));
}

void synthstart(ssynth& sy, splan plan)
{
    sy = ssynth{};
    sy.plan = std::move(plan);
}

size_t synth(ssynth& sy, int16_t* out, size_t n)
{
    const std::vector<stone>& tones = sy.plan.tones;
    int64_t left = sy.plan.len - sy.pos;
    if (left <= 0)
        return 0;
    n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), left));
    const double amp = LEVEL * 32767.0;
    size_t i = 0;
    while (i < n) {
        int64_t p = sy.pos + static_cast<int64_t>(i);
        while (sy.next < tones.size() && tones[sy.next].e <= p)
            sy.next++;
        if (sy.next == tones.size() || tones[sy.next].s > p) {
            int64_t until = sy.next < tones.size() ? tones[sy.next].s - p : static_cast<int64_t>(n - i);
            size_t k = static_cast<size_t>(std::min<int64_t>(until, static_cast<int64_t>(n - i)));
            std::fill(out + i, out + i + k, int16_t{0});
            i += k;
            continue;
        }
        // The phase is a 64-bit fraction of a cycle: sums of whole numbers,
        // so the sound does not depend on how the output is cut into blocks.
        const stone& t = tones[sy.next];
        int64_t k = std::min<int64_t>(t.e - p, static_cast<int64_t>(n - i));
        uint64_t inc = phasestep(t.freq);
        int16_t* o = out + i;
        // Samples [lo, hi) of the run are clear of both ramps.
        int64_t lo = std::clamp<int64_t>(t.s + RAMP - p, 0, k);
        int64_t hi = std::clamp<int64_t>(t.e - RAMP - p, lo, k);
        for (int64_t j = 0; j < k; j++) {
            if (j == lo) {
                for (; j < hi; j++) {
                    o[j] = static_cast<int16_t>(std::lrint(amp * sine.at(sy.phase)));
                    sy.phase += inc;
                }
                if (j == k)
                    break;
            }
            int64_t q = p + j;
            double env = std::min(fade(q - t.s), fade(t.e - 1 - q));
            o[j] = static_cast<int16_t>(std::lrint(amp * env * sine.at(sy.phase)));
            sy.phase += inc;
        }
        i += static_cast<size_t>(k);
    }
    sy.pos += static_cast<int64_t>(n);
    return n;
}

splan skipplan(splan p, int64_t skipms)
{
    const int64_t ms = std::max<int64_t>(skipms, 0);
    if (ms > p.len / (RATE / 1000)) // compared in ms first: a huge skip must not overflow
        return splan{};
    const int64_t k = ms * (RATE / 1000);
    if (k >= p.len)
        return splan{};
    std::vector<stone> kept;
    for (stone t : p.tones) {
        t.s = std::max<int64_t>(t.s - k, 0);
        t.e -= k;
        if (t.e > t.s)
            kept.push_back(t);
    }
    p.tones = std::move(kept);
    p.len -= k;
    return p;
}
