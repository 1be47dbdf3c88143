// SPDX-License-Identifier: MIT
// The SoundFont 2 sample player of sf2synth.h.
#include "tone/player/sf2synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double LN2 = 0.69314718055994530942;
constexpr double LOG2_10 = 3.32192809488736234787;
constexpr double FLOOR = 1.5848931924611134e-05; // -96 dB: a voice this quiet has ended
constexpr double FULLSPAN = 960.0;               // cB a decay or release falls over its time
// The initial attenuation counts 0.4 of its centibels, as on the E-mu
// hardware SoundFonts were voiced on and in FluidSynth: fonts sound as meant.
constexpr double ATTENSCALE = 0.4;
constexpr uint64_t FRAC = uint64_t{1} << 32;
constexpr int64_t FILTERBLOCK = 32; // samples between new filter coefficients
constexpr double OUTLEVEL = 2.254; // full scale to the player's level, matched to FluidSynth's
constexpr size_t CHUNK = 512;    // samples rendered in one go

// Generators a preset zone may not give (they are ignored there).
bool instonly(int op)
{
    switch (op) {
    case SF2G_STARTOFS: case SF2G_ENDOFS: case SF2G_LOOPSTARTOFS: case SF2G_LOOPENDOFS:
    case SF2G_STARTCOARSE: case SF2G_ENDCOARSE: case SF2G_LOOPSTARTCOARSE: case SF2G_LOOPENDCOARSE:
    case SF2G_KEYNUM: case SF2G_VELOCITY: case SF2G_SAMPLEMODES: case SF2G_EXCLUSIVE: case SF2G_ROOTKEY:
    case SF2G_INSTRUMENT: case SF2G_SAMPLEID: case SF2G_KEYRANGE: case SF2G_VELRANGE:
        return true;
    default:
        return false;
    }
}

int32_t defaultof(int op)
{
    switch (op) {
    case 8: return 13500; // initial filter cutoff
    case 21: case 23: case 25: case 26: case 27: case 28: case 30: // LFO delays, modulation envelope
    case SF2G_VOLDELAY: case SF2G_VOLATTACK: case SF2G_VOLHOLD: case SF2G_VOLDECAY: case SF2G_VOLRELEASE:
        return -12000;
    case SF2G_KEYNUM: case SF2G_VELOCITY: case SF2G_ROOTKEY: return -1;
    case SF2G_SCALETUNING: return 100;
    default: return 0;
    }
}

// A zone's range, its own or else its part's global zone's.
bool inrange(const sf2part& p, const sf2zone& z, int key, int vel)
{
    const sf2zone& k = z.has(SF2G_KEYRANGE) || !p.hasglobal ? z : p.global;
    const sf2zone& v = z.has(SF2G_VELRANGE) || !p.hasglobal ? z : p.global;
    return key >= k.keylo && key <= k.keyhi && vel >= v.vello && vel <= v.velhi;
}

// The value of generator `op` in zone `z` of `p`: its own, its global zone's, or `dflt`.
int32_t genof(const sf2part& p, const sf2zone& z, int op, int32_t dflt)
{
    if (z.has(op))
        return z.gen[op];
    if (p.hasglobal && p.global.has(op))
        return p.global.gen[op];
    return dflt;
}

// Samples in `tc` timecents, clamped to [lo, hi] timecents first.
int64_t samplesof(int32_t tc, int32_t lo, int32_t hi, int rate)
{
    double secs = sf2exp2(static_cast<double>(std::clamp(tc, lo, hi)) / 1200.0);
    return std::max<int64_t>(std::llrint(secs * rate), 1);
}

// The factor per sample that lowers the level by FULLSPAN cB over `samples`.
double fallper(int64_t samples)
{
    return sf2exp2(-FULLSPAN / 200.0 * LOG2_10 / static_cast<double>(samples));
}

// sin x for 0 <= x <= pi, from its series (the same bits on every system).
double sinof(double x)
{
    double term = x, sum = x;
    for (int k = 1; k <= 12; k++) {
        term *= -x * x / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

// The low-pass filter's coefficients for `cents` (absolute cents: 8.176 Hz
// times 2^(cents / 1200)) and resonance `q` (its gain at the cutoff).
void filterset(sf2voice& v, double cents, double q, int rate)
{
    double hz = 8.175798915643707 * sf2exp2(std::clamp(cents, 1500.0, 13500.0) / 1200.0);
    double w = 2 * 3.14159265358979323846 * std::min(hz, 0.45 * rate) / rate;
    double sn = sinof(w), cs = sinof(3.14159265358979323846 / 2 - w);
    if (w > 3.14159265358979323846 / 2)
        cs = -sinof(w - 3.14159265358979323846 / 2);
    double alpha = sn / (2 * q);
    double a0 = 1 + alpha;
    v.fb0 = (1 - cs) / 2 / a0;
    v.fb1 = (1 - cs) / a0;
    v.fa1 = -2 * cs / a0;
    v.fa2 = (1 - alpha) / a0;
}

// The modulation envelope's next value, 0 to 1: linear in every stage.
double modstep(sf2voice& v, bool released)
{
    if (released && v.mstage < 5) {
        v.mstage = 5;
    }
    switch (v.mstage) {
    case 0: // delay
        if (--v.mleft <= 0) {
            v.mstage = 1;
            v.mleft = v.mattack;
        }
        return 0.0;
    case 1: // attack
        v.mod = std::min(v.mod + 1.0 / static_cast<double>(v.mattack), 1.0);
        if (--v.mleft <= 0) {
            v.mod = 1.0;
            v.mstage = 2;
            v.mleft = v.mhold;
        }
        return v.mod;
    case 2: // hold
        if (--v.mleft <= 0)
            v.mstage = 3;
        return v.mod;
    case 3: // decay
        v.mod -= 1.0 / static_cast<double>(v.mdecay);
        if (v.mod <= v.msustain) {
            v.mod = v.msustain;
            v.mstage = 4;
        }
        return v.mod;
    case 4: // sustain
        return v.mod;
    default: // release
        v.mod = std::max(v.mod - 1.0 / static_cast<double>(v.mrelease), 0.0);
        return v.mod;
    }
}

bool looping(const sf2voice& v) { return v.loops && (v.stage < sf2stage::release || v.loopsafter); }

// The envelope's next value.
double envstep(sf2voice& v)
{
    switch (v.stage) {
    case sf2stage::delay:
        if (--v.left <= 0) {
            v.stage = sf2stage::attack;
            v.left = v.attack;
        }
        return 0.0;
    case sf2stage::attack:
        v.amp = std::min(v.amp + v.attackstep, 1.0);
        if (--v.left <= 0) {
            v.amp = 1.0;
            v.stage = sf2stage::hold;
            v.left = v.hold;
        }
        break;
    case sf2stage::hold:
        if (--v.left <= 0)
            v.stage = sf2stage::decay;
        break;
    case sf2stage::decay:
        v.amp *= v.decaymul;
        if (v.amp <= v.sustain) {
            v.amp = v.sustain;
            v.stage = sf2stage::sustain;
        }
        break;
    case sf2stage::sustain:
        break;
    case sf2stage::release:
        v.amp *= v.releasemul;
        break;
    case sf2stage::done:
        return 0.0;
    }
    if (v.amp < FLOOR && v.stage >= sf2stage::decay)
        v.stage = sf2stage::done;
    return v.amp;
}

} // namespace

double sf2exp2(double x)
{
    if (!(x > -1000.0))
        return 0.0;
    x = std::min(x, 1000.0);
    double n = std::floor(x);
    double y = (x - n) * LN2; // 0 <= y < ln 2: the series converges fast
    double term = 1.0, sum = 1.0;
    for (int k = 1; k <= 20; k++) {
        term *= y / k;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(n));
}

std::vector<sf2note> sf2notes(const sf2font& font, int preset, int key, int vel)
{
    std::vector<sf2note> out;
    if (preset < 0 || static_cast<size_t>(preset) >= font.presets.size())
        return out;
    const sf2part& p = font.presets[static_cast<size_t>(preset)];
    for (const sf2zone& pz : p.zones) {
        if (!inrange(p, pz, key, vel))
            continue;
        const sf2part& in = font.insts[static_cast<size_t>(pz.target)];
        for (const sf2zone& iz : in.zones) {
            if (!inrange(in, iz, key, vel) || (font.samples[static_cast<size_t>(iz.target)].type & 0x8000))
                continue; // ROM samples are not in the file
            sf2note n;
            n.sample = iz.target;
            for (int op = 0; op < SF2G_COUNT; op++) {
                n.gen[op] = genof(in, iz, op, defaultof(op));
                if (!instonly(op))
                    n.gen[op] += genof(p, pz, op, 0);
            }
            out.push_back(n);
        }
    }
    return out;
}

sf2voice sf2voicefor(const sf2font& font, const sf2note& note, int key, int rate)
{
    sf2voice v;
    v.key = key;
    const sf2sample& s = font.samples[static_cast<size_t>(note.sample)];
    const int32_t* g = note.gen;
    const int64_t size = static_cast<int64_t>(font.data.size());
    auto at = [&](uint32_t base, int fine, int coarse) {
        return static_cast<int64_t>(base) + g[fine] + int64_t{32768} * g[coarse];
    };
    int64_t start = std::clamp<int64_t>(at(s.start, SF2G_STARTOFS, SF2G_STARTCOARSE), 0, size);
    v.end = std::clamp<int64_t>(at(s.end, SF2G_ENDOFS, SF2G_ENDCOARSE), start, size);
    v.loopstart = std::clamp<int64_t>(at(s.loopstart, SF2G_LOOPSTARTOFS, SF2G_LOOPSTARTCOARSE), start, v.end);
    v.loopend = std::clamp<int64_t>(at(s.loopend, SF2G_LOOPENDOFS, SF2G_LOOPENDCOARSE), start, v.end);
    int mode = g[SF2G_SAMPLEMODES] & 3;
    v.loops = (mode == 1 || mode == 3) && v.loopend > v.loopstart;
    v.loopsafter = mode == 1;
    v.pos = static_cast<uint64_t>(start) * FRAC;
    if (start + 1 >= v.end && !v.loops)
        v.stage = sf2stage::done;

    int root = g[SF2G_ROOTKEY] >= 0 && g[SF2G_ROOTKEY] <= 127 ? g[SF2G_ROOTKEY] : (s.key <= 127 ? s.key : 60);
    int k = g[SF2G_KEYNUM] >= 0 && g[SF2G_KEYNUM] <= 127 ? g[SF2G_KEYNUM] : key;
    double cents = static_cast<double>(k - root) * g[SF2G_SCALETUNING] + 100.0 * g[SF2G_COARSETUNE] +
                   g[SF2G_FINETUNE] + s.correction;
    double ratio = sf2exp2(cents / 1200.0) * static_cast<double>(s.rate) / rate;
    v.step = static_cast<uint64_t>(std::clamp<int64_t>(std::llrint(ratio * static_cast<double>(FRAC)), 1,
                                                        int64_t{1} << 40));
    v.gain = sf2exp2(-ATTENSCALE * std::clamp(g[SF2G_ATTENUATION], 0, 1440) / 200.0 * LOG2_10);

    v.left = samplesof(g[SF2G_VOLDELAY], -12000, 5000, rate);
    v.attack = samplesof(g[SF2G_VOLATTACK], -12000, 8000, rate);
    v.attackstep = 1.0 / static_cast<double>(v.attack);
    v.hold = samplesof(g[SF2G_VOLHOLD] + g[SF2G_KEYTOVOLHOLD] * (60 - k), -12000, 5000, rate);
    v.decaymul = fallper(samplesof(g[SF2G_VOLDECAY] + g[SF2G_KEYTOVOLDECAY] * (60 - k), -12000, 8000, rate));
    v.sustain = sf2exp2(-std::clamp(g[SF2G_VOLSUSTAIN], 0, 1440) / 200.0 * LOG2_10);
    v.releasemul = fallper(samplesof(g[SF2G_VOLRELEASE], -12000, 8000, rate));

    v.fc = g[8];
    v.modtofc = g[11];
    // The resonance is its peak's height over the DC gain, and the DC gain is
    // half of it below unity (section 9.1.3 of the SoundFont 2.04 document).
    const int32_t res = std::clamp(g[9], 0, 960);
    v.filtered = v.fc < 13500 || v.modtofc < 0 || res > 0;
    v.q = sf2exp2(res / 200.0 * LOG2_10) * 0.70710678118654752;
    v.gain *= sf2exp2(-res / 400.0 * LOG2_10);
    v.mleft = samplesof(g[25], -12000, 5000, rate);
    v.mattack = samplesof(g[26], -12000, 8000, rate);
    v.mhold = samplesof(g[27] + g[31] * (60 - k), -12000, 5000, rate);
    v.mdecay = samplesof(g[28] + g[32] * (60 - k), -12000, 8000, rate);
    v.msustain = 1.0 - std::clamp(g[29], 0, 1000) / 1000.0;
    v.mrelease = samplesof(g[30], -12000, 8000, rate);
    v.rate = rate;
    return v;
}

void sf2voicerelease(sf2voice& v)
{
    if (v.stage == sf2stage::done || v.stage == sf2stage::release)
        return;
    v.stage = v.amp > 0 ? sf2stage::release : sf2stage::done;
}

void sf2voicerender(const sf2font& font, sf2voice& v, double* out, size_t n)
{
    const int16_t* d = font.data.data();
    for (size_t i = 0; i < n && v.stage != sf2stage::done; i++) {
        double env = envstep(v);
        if (v.stage == sf2stage::done)
            break; // died away
        int64_t idx = static_cast<int64_t>(v.pos >> 32);
        bool loop = looping(v);
        int64_t nxt = idx + 1;
        if (loop && nxt >= v.loopend)
            nxt = v.loopstart + (nxt - v.loopend);
        if (!loop && nxt >= v.end) {
            v.stage = sf2stage::done;
            break;
        }
        double frac = static_cast<double>(v.pos & (FRAC - 1)) * 0x1p-32;
        double a = d[idx], b = d[nxt];
        double x = (a + (b - a) * frac) * (1.0 / 32768.0);
        double m = modstep(v, v.stage == sf2stage::release);
        if (v.filtered) {
            if (v.count++ % FILTERBLOCK == 0)
                filterset(v, v.fc + v.modtofc * m, v.q, v.rate);
            double y = v.fb0 * (x + v.x2) + v.fb1 * v.x1 - v.fa1 * v.y1 - v.fa2 * v.y2;
            v.x2 = v.x1;
            v.x1 = x;
            v.y2 = v.y1;
            v.y1 = y;
            x = y;
        }
        out[i] += x * v.gain * env;
        v.pos += v.step;
        if (loop) {
            const uint64_t len = static_cast<uint64_t>(v.loopend - v.loopstart) * FRAC;
            const uint64_t lend = static_cast<uint64_t>(v.loopend) * FRAC;
            if (v.pos >= lend)
                v.pos = lend - len + (v.pos - lend) % len;
        }
    }
}

sf2synth* sf2make(sf2font font, int program, int rate, std::string& why)
{
    int preset = sf2preset(font, 0, program);
    if (preset < 0) {
        why = "the SoundFont has no General MIDI program " + std::to_string(program);
        return nullptr;
    }
    sf2synth* s = new sf2synth;
    s->font = std::move(font);
    s->preset = preset;
    s->rate = rate;
    return s;
}

void sf2free(sf2synth* s) { delete s; }

void sf2noteon(sf2synth* s, int chan, int key, int vel)
{
    for (const sf2note& n : sf2notes(s->font, s->preset, key, vel)) {
        if (s->voices.size() >= SF2MAXVOICES)
            s->voices.erase(s->voices.begin()); // the oldest gives way
        sf2voice v = sf2voicefor(s->font, n, key, s->rate);
        v.chan = chan;
        // Velocity to attenuation, the first default modulator (section 8.4.1
        // of the SoundFont 2.04 document): 960 cB over the negative concave
        // curve, -200 log10(vel^2 / 127^2) cB, which is a gain of (vel / 127)^2.
        const double vg = std::clamp(vel, 1, 127) / 127.0;
        v.gain *= vg * vg;
        s->voices.push_back(v);
    }
}

void sf2noteoff(sf2synth* s, int chan, int key)
{
    for (sf2voice& v : s->voices)
        if (v.chan == chan && v.key == key)
            sf2voicerelease(v);
}

void sf2render(sf2synth* s, double* out, size_t n)
{
    std::fill(out, out + n, 0.0);
    for (sf2voice& v : s->voices)
        sf2voicerender(s->font, v, out, n);
    std::erase_if(s->voices, [](const sf2voice& v) { return v.stage == sf2stage::done; });
}

void sf2render16(sf2synth* s, int16_t* out, size_t n)
{
    double buf[CHUNK];
    for (size_t done = 0; done < n;) {
        size_t k = std::min(n - done, CHUNK);
        sf2render(s, buf, k);
        for (size_t i = 0; i < k; i++)
            out[done + i] = static_cast<int16_t>(std::lrint(std::clamp(buf[i] * OUTLEVEL * 32767.0, -32767.0, 32767.0)));
        done += k;
    }
}

void sf2silence(sf2synth* s) { s->voices.clear(); }

bool sf2active(const sf2synth* s) { return !s->voices.empty(); }
