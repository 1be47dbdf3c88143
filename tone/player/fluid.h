// SPDX-License-Identifier: MIT
#pragma once
// The player's one tie to FluidSynth: a synthesiser with a General MIDI
// SoundFont loaded, played by channel and key and rendered to mono samples.
// The Windows build links the player's own sample player (sf2synth.h) instead.
#include <cstddef>
#include <cstdint>
#include <string>

struct sfluid; // a FluidSynth synthesiser with its SoundFont loaded

// Why this build cannot sound a SoundFont, or "" when it can.
std::string fluidmissing();
// Loads `path` and sets every channel but the drums' to `program`. Null with
// a reason in `why` when FluidSynth cannot.
sfluid* fluidload(const std::string& path, int program, std::string& why);
void fluidfree(sfluid* f);
void fluidnoteon(sfluid* f, int chan, int key, int velocity);
void fluidnoteoff(sfluid* f, int chan, int key);
// Ends every note at once, released ones too.
void fluidsilence(sfluid* f);
// Renders the next `n` samples, both channels mixed to one at the player's level.
void fluidrender(sfluid* f, int16_t* out, size_t n);
// True while any note still sounds, released notes dying away included.
bool fluidactive(const sfluid* f);
