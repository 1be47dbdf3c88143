// SPDX-License-Identifier: MIT
#pragma once
// A SoundFont 2 sample player of our own: the instrument synthesiser of the
// Windows build (where FluidSynth cannot be built), also built on Linux so
// that it can be compared with FluidSynth (PELLAVINE_SYNTH=own selects it).
//
// What it plays, for each note on:
// - the zones of the preset whose key and velocity ranges hold the note, and
//   in each the instrument's zones that hold it; a zone's generators are its
//   own, else its part's global zone's, else the format's defaults; a preset
//   zone's generators (likewise found) are added to the instrument's, except
//   those a preset may not give (sample offsets, sample modes, key, velocity,
//   root key, exclusive class);
// - pitch from the root key (the overriding root key, else the sample's),
//   the key (or the zone's fixed key), scale tuning, coarse and fine tune and
//   the sample's pitch correction; resampled with linear interpolation, the
//   position in 32.32 fixed point;
// - the sample's start, end and loop with their offsets, looped as the
//   sample modes say (no loop, loop, loop until released then play on);
// - the volume envelope: delay, attack (linear in amplitude), hold, decay and
//   release (linear in decibels, 96 dB over the time given, in timecents) to
//   the sustain level, key number scaling of hold and decay; the initial
//   attenuation (counted at 0.4, as FluidSynth and the E-mu hardware do);
// - the note-on velocity through the first default modulator (section 8.4.1
//   of the SoundFont 2.04 document): 960 cB on the negative concave curve,
//   a gain of (velocity / 127)^2;
// - the modulation envelope (linear stages) sweeping the resonant low-pass
//   filter (initial cutoff and Q, modulation envelope to cutoff), its
//   coefficients renewed every 32 samples; a resonance of Q cB lowers the
//   gain below the cutoff by Q / 2 cB (section 9.1.3).
// Left out: the font's own modulators, and the other default modulators:
// velocity to filter cutoff (8.4.2; FluidSynth, which the player matches,
// plays every velocity with the same cutoff), and those of controllers and
// the pitch wheel (8.4.3 to 8.4.10), which the player never moves from
// their defaults: the default volume's attenuation (8.4.5) is in the output
// level, and the rest add nothing there. Also left out: both LFOs, the
// modulation envelope's effect on pitch, pan (the output is mono), reverb
// and chorus (and their sends), exclusive classes, 24-bit samples, ROM
// samples.
//
// The sound is the same on every system: only additions, multiplications,
// divisions and exact functions (floor, ldexp, lrint) are used, so a note
// rendered by the Windows build equals the Linux build's to the bit.
#include "tone/player/sf2.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What one zone pair plays for a key and velocity: the generators summed.
struct sf2note {
    int sample = -1;
    int32_t gen[SF2G_COUNT]{};
};

// The zone pairs of preset `preset` that sound key `key` at velocity `vel`.
std::vector<sf2note> sf2notes(const sf2font& font, int preset, int key, int vel);

// 2 to the power x, from additions and multiplications only (the same bits
// on every system); 0 below 2^-1000.
double sf2exp2(double x);

enum class sf2stage { delay, attack, hold, decay, sustain, release, done };

struct sf2voice {
    int chan = 0, key = 0;
    int64_t end = 0, loopstart = 0, loopend = 0; // sample data indices
    bool loops = false;      // loops while the key is held
    bool loopsafter = false; // and after it is released
    uint64_t pos = 0;        // index into the data, 32.32 fixed point
    uint64_t step = 0;       // the same for one output sample
    double gain = 1.0;       // from the attenuation
    sf2stage stage = sf2stage::delay;
    int64_t left = 0;        // samples left in a timed stage
    double amp = 0;          // the envelope, 0 to 1
    double attackstep = 0, decaymul = 1, sustain = 1, releasemul = 1;
    int64_t hold = 0, attack = 0; // samples
    // The modulation envelope (stage 0 delay to 5 release) and the low-pass
    // filter it sweeps.
    int mstage = 0;
    int64_t mleft = 0, mattack = 1, mhold = 1, mdecay = 1, mrelease = 1;
    double mod = 0, msustain = 1;
    bool filtered = false;
    int32_t fc = 13500, modtofc = 0; // cents
    double q = 0.7071;
    double fb0 = 1, fb1 = 0, fa1 = 0, fa2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    int64_t count = 0;
    int rate = 48000;
};

// Builds the voice of one note: a key, at `rate` samples per second.
sf2voice sf2voicefor(const sf2font& font, const sf2note& note, int key, int rate);
// Adds `n` samples of the voice, at full scale 1.0, to `out`.
void sf2voicerender(const sf2font& font, sf2voice& v, double* out, size_t n);
void sf2voicerelease(sf2voice& v);

// The synthesiser: one preset of a font, voices by channel and key.
struct sf2synth {
    sf2font font;
    int preset = -1;
    int rate = 48000;
    std::vector<sf2voice> voices;
};

constexpr size_t SF2MAXVOICES = 64;

// Reads the SoundFont at `path` and chooses bank 0's `program`. Null with a
// reason in `why` when it cannot.
sf2synth* sf2load(const std::string& path, int program, int rate, std::string& why);
// The same from a font already read.
sf2synth* sf2make(sf2font font, int program, int rate, std::string& why);
void sf2free(sf2synth* s);
void sf2noteon(sf2synth* s, int chan, int key, int vel);
void sf2noteoff(sf2synth* s, int chan, int key);
// Every voice ends at once (the caller fades the output).
void sf2silence(sf2synth* s);
// Renders the next `n` samples at full scale 1.0 into `out`.
void sf2render(sf2synth* s, double* out, size_t n);
// The same as the player's 16-bit output, at the level that matches FluidSynth's.
void sf2render16(sf2synth* s, int16_t* out, size_t n);
// True while any voice still sounds.
bool sf2active(const sf2synth* s);
