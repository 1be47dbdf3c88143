// SPDX-License-Identifier: MIT
// The mixer of requests and the two ways it sounds them: the sine tone, and
// a General MIDI SoundFont through the synthesiser of fluid.h.
#include "tone/player/player.h"

#include "tone/player/fluid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int PLAYCHAN = 15;  // the channel of playback
constexpr int TONECHANS = 14; // tones take turns on channels 0 to 14, all but the drums' 9
constexpr size_t CHUNK = 512;  // samples rendered in one go

const double RELEASE = std::exp(-1.0 / (RATE * 0.05)); // the limiter's letting go, per sample

int tonechan(int n) { return n >= 9 ? n + 1 : n; }

// When the next note event of `v` falls, in engine samples; -1 when none is left.
int64_t eventat(const svoice& v)
{
    if (v.ev >= 2 * v.plan.tones.size())
        return -1;
    const stone& t = v.plan.tones[v.ev / 2];
    return v.at + (v.ev % 2 == 0 ? t.s : t.e);
}

// Plays every note event of `v` due at or before `now`.
void fireevents(sfluid* s, svoice& v, int64_t now)
{
    for (int64_t at; (at = eventat(v)) >= 0 && at <= now; v.ev++) {
        int key = keyof(v.plan.tones[v.ev / 2].freq);
        if (v.ev % 2 == 0)
            fluidnoteon(s, v.chan, key, VELOCITY);
        else
            fluidnoteoff(s, v.chan, key);
    }
}

bool voicedone(const sengine& e, const svoice& v)
{
    if (e.fl)
        return eventat(v) < 0 && e.pos >= v.at + v.plan.len;
    return synthdone(v.sine);
}

// Ends a voice at sample `cut` of its plan: later notes are dropped and the
// note sounding then is released (the sine tone fades out over RAMPMS).
void voicecut(svoice& v, int64_t cut, bool sine)
{
    std::vector<stone>& t = v.plan.tones;
    int64_t end = sine ? cut + RATE * RAMPMS / 1000 : cut;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const stone& x) { return x.s >= cut; }), t.end());
    for (stone& x : t)
        x.e = std::min(x.e, end);
    v.plan.len = std::min(v.plan.len, end);
    if (sine)
        v.sine.plan = v.plan;
    v.ev = std::min(v.ev, 2 * t.size());
}

// The fade after a stop, over the samples [pos - n, pos) just rendered.
void fadeout(sengine& e, int16_t* out, size_t n)
{
    if (e.fadeend < 0)
        return;
    const int64_t ramp = RATE * RAMPMS / 1000, from = e.pos - static_cast<int64_t>(n);
    for (size_t i = 0; i < n; i++) {
        int64_t left = e.fadeend - (from + static_cast<int64_t>(i));
        out[i] = left <= 0 ? int16_t{0} : static_cast<int16_t>(out[i] * left / ramp);
    }
    if (e.pos >= e.fadeend) {
        fluidsilence(e.fl);
        e.fadeend = -1;
    }
}

void rendersynth(sengine& e, int16_t* out, size_t n)
{
    sfluid* s = e.fl;
    // Nothing sounds and nothing is to come: the synthesiser is left alone.
    if (e.voices.empty() && (e.silent || !fluidactive(s))) {
        e.silent = true;
        std::fill(out, out + n, int16_t{0});
        e.pos += static_cast<int64_t>(n);
        return;
    }
    size_t done = 0;
    while (done < n) {
        int64_t next = e.pos + static_cast<int64_t>(std::min(n - done, CHUNK));
        for (svoice& v : e.voices) {
            fireevents(s, v, e.pos);
            int64_t at = eventat(v);
            if (at >= 0)
                next = std::min(next, at);
        }
        size_t k = static_cast<size_t>(next - e.pos);
        if (e.voices.empty() && !fluidactive(s)) {
            std::fill(out + done, out + done + k, int16_t{0});
        } else {
            fluidrender(s, out + done, k);
        }
        e.pos = next;
        done += k;
    }
}

void rendersine(sengine& e, int16_t* out, size_t n)
{
    int32_t sum[CHUNK];
    int16_t one[CHUNK];
    for (size_t done = 0; done < n;) {
        size_t k = std::min(n - done, CHUNK);
        std::fill(sum, sum + k, 0);
        for (svoice& v : e.voices) {
            size_t got = synth(v.sine, one, k);
            for (size_t i = 0; i < got; i++)
                sum[i] += one[i];
        }
        // Tones over each other could add up beyond full scale: a limiter
        // follows the mix's peak at once and lets go over about 50 ms, so that
        // the level drops smoothly instead of the wave being cut off.
        for (size_t i = 0; i < k; i++) {
            e.peak = std::max(static_cast<double>(std::abs(sum[i])), e.peak * RELEASE);
            double g = e.peak > 32767.0 ? 32767.0 / e.peak : 1.0;
            out[done + i] = static_cast<int16_t>(std::lrint(sum[i] * g));
        }
        e.pos += static_cast<int64_t>(k);
        done += k;
    }
}

} // namespace

sengine::~sengine() { fluidfree(fl); }

const char* fontfallword(fontfall f)
{
    switch (f) {
    case fontfall::none:
        return "none";
    case fontfall::nosynth:
        return "nosynth";
    case fontfall::nofont:
        return "nofont";
    case fontfall::unloadable:
        return "unloadable";
    }
    return "none";
}

fontfall engineopen(sengine& e, const sinstr& in, std::string& note)
{
    if (in.program == SINETONE) {
        engineload(e, SINETONE, "", note);
        return fontfall::none;
    }
    if (!fluidmissing().empty()) {
        engineload(e, in.program, "", note);
        return fontfall::nosynth;
    }
    const std::vector<std::string> fonts =
        in.fontgiven ? std::vector<std::string>{in.soundfont} : soundfonts(in.soundfont);
    // The first that loads; every one that exists is tried.
    std::string why;
    for (const std::string& f : fonts) {
        if (firstfile({f}).empty()) {
            if (in.fontgiven)
                why = "the SoundFont " + f + " cannot be read";
            continue;
        }
        engineload(e, in.program, f, note);
        if (enginesynth(e))
            return fontfall::none;
        why = why.empty() ? note : why;
    }
    note = why.empty() ? "no SoundFont found; playing the sine tone" : why;
    return why.empty() ? fontfall::nofont : fontfall::unloadable;
}

void engineload(sengine& e, int program, const std::string& soundfont, std::string& note)
{
    fluidfree(e.fl);
    e.fl = nullptr;
    e.voices.clear();
    note.clear();
    if (program == SINETONE)
        return;
    std::string why = fluidmissing();
    if (why.empty() && soundfont.empty())
        why = "no SoundFont found";
    if (why.empty())
        e.fl = fluidload(soundfont, std::clamp(program, 0, 127), why);
    if (!e.fl)
        note = why + "; playing the sine tone";
}

void engineadd(sengine& e, splan plan, bool playback)
{
    if (e.fadeend >= 0) { // a stop still fading: it ends now
        fluidsilence(e.fl);
        e.fadeend = -1;
    }
    if (playback)
        for (svoice& v : e.voices)
            if (v.playback)
                voicecut(v, e.pos - v.at, !e.fl);
    e.silent = false;
    svoice v;
    v.at = e.pos;
    v.playback = playback;
    if (!playback)
        e.nexttone = (e.nexttone + 1) % TONECHANS;
    v.chan = playback ? PLAYCHAN : tonechan(e.nexttone);
    if (!e.fl)
        synthstart(v.sine, plan);
    v.plan = std::move(plan);
    e.voices.push_back(std::move(v));
}

void enginestop(sengine& e)
{
    if (!e.fl) {
        for (svoice& v : e.voices)
            voicecut(v, e.pos - v.at, true);
        return;
    }
    e.voices.clear();
    if (!e.silent && e.fadeend < 0)
        e.fadeend = e.pos + RATE * RAMPMS / 1000;
}

void enginerender(sengine& e, int16_t* out, size_t n)
{
    if (e.fl) {
        rendersynth(e, out, n);
        fadeout(e, out, n);
    } else
        rendersine(e, out, n);
    std::erase_if(e.voices, [&](const svoice& v) { return voicedone(e, v); });
}

bool enginebusy(const sengine& e)
{
    return !e.voices.empty() || (e.fl && !e.silent && fluidactive(e.fl));
}
