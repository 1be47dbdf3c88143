// SPDX-License-Identifier: MIT
// The SoundFont synthesiser of tone/player/fluid.h on Windows, where
// FluidSynth cannot be built: the player's own sample player (sf2synth.h).
#include "tone/player/fluid.h"

#include "tone/player/player.h"
#include "tone/player/sf2synth.h"

struct sfluid {
    sf2synth* own = nullptr;
};

std::string fluidmissing() { return ""; }

sfluid* fluidload(const std::string& path, int program, std::string& why)
{
    sf2synth* own = sf2load(path, program, RATE, why);
    if (!own)
        return nullptr;
    return new sfluid{own};
}

void fluidfree(sfluid* f)
{
    if (f)
        sf2free(f->own);
    delete f;
}

void fluidnoteon(sfluid* f, int chan, int key, int velocity) { sf2noteon(f->own, chan, key, velocity); }
void fluidnoteoff(sfluid* f, int chan, int key) { sf2noteoff(f->own, chan, key); }
void fluidsilence(sfluid* f) { sf2silence(f->own); }
void fluidrender(sfluid* f, int16_t* out, size_t n) { sf2render16(f->own, out, n); }
bool fluidactive(const sfluid* f) { return sf2active(f->own); }
