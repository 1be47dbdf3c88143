// SPDX-License-Identifier: MIT
// The SoundFont synthesiser of tone/player/fluid.h where FluidSynth is not
// built (Windows): nothing loads, so the player sounds the sine tone.
#include "tone/player/fluid.h"

#include <algorithm>

std::string fluidmissing() { return "this Windows build has no SoundFont synthesiser (FluidSynth)"; }

sfluid* fluidload(const std::string&, int, std::string& why)
{
    why = fluidmissing();
    return nullptr;
}

void fluidfree(sfluid*) {}
void fluidnoteon(sfluid*, int, int, int) {}
void fluidnoteoff(sfluid*, int, int) {}
void fluidrender(sfluid*, int16_t* out, size_t n) { std::fill(out, out + n, int16_t{0}); }
bool fluidactive(const sfluid*) { return false; }
