// SPDX-License-Identifier: MIT
// Pitches to frequencies, and the text of the requests handed to the tone
// player.
#include "score/pitch.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr int base = 45;
constexpr double A3 = 440.0;
constexpr double k = 1.05946309436;
constexpr int pth[14] = {0, 2, 4, 5, 7, 9, 11, 1, 3, 5, 6, 8, 10, 12};

double powi(double x, long long n)
{
    bool neg = n < 0;
    unsigned long long e = neg ? static_cast<unsigned long long>(-n) : static_cast<unsigned long long>(n);
    double r = 1.0;
    while (e) {
        if (e & 1)
            r *= x;
        x *= x;
        e >>= 1;
    }
    return neg ? 1.0 / r : r;
}
} // namespace

double getfreq(int heig, int pitch, bool rise)
{
    if (pitch < 1 || pitch > 7)
        return 0;
    int i = rise ? pitch + 6 : pitch - 1;
    long long hfs = static_cast<long long>(heig) * 12 + pth[i] - base;
    return powi(k, hfs) * A3;
}

std::string beeptext(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
                     const stimems& now, const std::string& path)
{
    char buf[128];
    if (mode == reqmode::play && playtmp.yn) {
        std::string out;
        std::snprintf(buf, sizeof buf, "0 %lld %d\r\n", static_cast<long long>(now.s), now.ms);
        out += buf;
        out += path;
        // "%f" of a float widened to double; the C locale is never changed, so
        // the decimal point is always ".".
        std::snprintf(buf, sizeof buf, "\r\n%d %d ", playtmp.start, playtmp.end);
        out += buf;
        // The largest float is 39 digits before the point: 64 bytes always fit.
        char sp[64];
        std::snprintf(sp, sizeof sp, "%f", static_cast<double>(playtmp.speed));
        return out + sp;
    }
    if (mode == reqmode::tone) {
        double f = getfreq(heig, pitch, rise);
        long long hz = std::isfinite(f) && f < 9e18 ? static_cast<long long>(f) : 0;
        std::snprintf(buf, sizeof buf, "1 %lld %d %lld %d", static_cast<long long>(now.s), now.ms, hz, time);
        return buf;
    }
    return {};
}
