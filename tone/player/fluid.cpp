// SPDX-License-Identifier: MIT
// The SoundFont synthesiser of tone/player/fluid.h on FluidSynth, or on the
// player's own sample player (sf2synth.h) when PELLAVINE_SYNTH is "own".
#include "tone/player/fluid.h"

#include "platform/playerenv.h"
#include "tone/player/player.h"
#include "tone/player/sf2synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

struct sfluid {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    sf2synth* own = nullptr; // instead of FluidSynth
};

namespace {

constexpr double GAIN = 1.0;     // FluidSynth's master gain
constexpr double OUTLEVEL = 4.5; // a piano note at velocity 100 peaks near half of full scale
constexpr size_t CHUNK = 512;    // samples rendered in one go

void quietlog(int, const char*, void*) {}

bool ownasked()
{
    const char* v = std::getenv("PELLAVINE_SYNTH");
    return v && std::strcmp(v, "own") == 0;
}

} // namespace

std::string fluidmissing() { return ""; }

void fluidfree(sfluid* f)
{
    if (!f)
        return;
    sf2free(f->own);
    if (f->synth)
        delete_fluid_synth(f->synth);
    if (f->settings)
        delete_fluid_settings(f->settings);
    delete f;
}

sfluid* fluidload(const std::string& path, int program, std::string& why)
{
    if (ownasked()) {
        sf2synth* own = sf2load(path, program, RATE, why);
        if (!own)
            return nullptr;
        sfluid* f = new sfluid;
        f->own = own;
        return f;
    }
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, quietlog, nullptr);
    sfluid* f = new sfluid;
    f->settings = new_fluid_settings();
    if (f->settings) {
        fluid_settings_setnum(f->settings, "synth.sample-rate", RATE);
        fluid_settings_setnum(f->settings, "synth.gain", GAIN);
        fluid_settings_setint(f->settings, "synth.reverb.active", 0);
        fluid_settings_setint(f->settings, "synth.chorus.active", 0);
        fluid_settings_setint(f->settings, "synth.cpu-cores", 1);
        // Only the samples of the instrument in use are read into memory.
        fluid_settings_setint(f->settings, "synth.dynamic-sample-loading", 1);
        f->synth = new_fluid_synth(f->settings);
    }
    if (!f->synth) {
        why = "FluidSynth cannot start";
        fluidfree(f);
        return nullptr;
    }
    int id = FLUID_FAILED;
    {
        squiet q; // the loaders' libraries speak on standard error
        id = fluid_synth_sfload(f->synth, path.c_str(), 1);
    }
    if (id == FLUID_FAILED) {
        why = "FluidSynth cannot load the SoundFont " + path;
        fluidfree(f);
        return nullptr;
    }
    // Linear interpolation between samples: inaudible at these pitches, and it
    // halves the cost of every voice.
    fluid_synth_set_interp_method(f->synth, -1, FLUID_INTERP_LINEAR);
    for (int c = 0; c < 16; c++) {
        if (c == 9)
            continue;
        if (fluid_synth_program_select(f->synth, c, id, 0, program) != FLUID_OK) {
            why = "the SoundFont " + path + " has no General MIDI program " + std::to_string(program);
            fluidfree(f);
            return nullptr;
        }
    }
    return f;
}

void fluidnoteon(sfluid* f, int chan, int key, int velocity)
{
    if (f->own)
        sf2noteon(f->own, chan, key, velocity);
    else
        fluid_synth_noteon(f->synth, chan, key, velocity);
}

void fluidnoteoff(sfluid* f, int chan, int key)
{
    if (f->own)
        sf2noteoff(f->own, chan, key);
    else
        fluid_synth_noteoff(f->synth, chan, key);
}

void fluidsilence(sfluid* f)
{
    if (f->own)
        sf2silence(f->own);
    else
        fluid_synth_all_sounds_off(f->synth, -1);
}

void fluidrender(sfluid* f, int16_t* out, size_t n)
{
    if (f->own) {
        sf2render16(f->own, out, n);
        return;
    }
    float left[CHUNK], right[CHUNK];
    for (size_t done = 0; done < n;) {
        size_t k = std::min(n - done, CHUNK);
        fluid_synth_write_float(f->synth, static_cast<int>(k), left, 0, 1, right, 0, 1);
        for (size_t i = 0; i < k; i++) {
            double x = (left[i] + right[i]) * 0.5 * OUTLEVEL * 32767.0;
            out[done + i] = static_cast<int16_t>(std::lrint(std::clamp(x, -32767.0, 32767.0)));
        }
        done += k;
    }
}

bool fluidactive(const sfluid* f)
{
    return f->own ? sf2active(f->own) : fluid_synth_get_active_voice_count(f->synth) > 0;
}
