// SPDX-License-Identifier: MIT
#pragma once
// What the tone player needs from the system: stop signals recorded, the
// editor that started it watched, short sleeps, the clock, and a quiet
// standard error while audio libraries probe for a device.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Records SIGTERM, SIGINT and SIGHUP (without SA_RESTART, so a sleep ends at
// once); stopsignal() then tells which came first, or 0.
void catchstops();
int stopsignal();

// The program that started the player: its parent at start, and the process
// whose id the environment variable `envname` holds, when that is set.
struct swatch {
    pid_t parent = 0;
    pid_t named = 0;
};
swatch watchstart(const char* envname);
bool watchgone(const swatch& w); // true once either is gone

void napms(int ms);  // sleeps; a signal cuts it short
int64_t clockms();   // wall clock, ms since the epoch

// Sends standard error to /dev/null for its lifetime.
struct squiet {
    int saved = -1;
    squiet();
    ~squiet();
    squiet(const squiet&) = delete;
    squiet& operator=(const squiet&) = delete;
};

// The SoundFonts the system offers, in the order they are tried after the one
// asked for: on Linux the alternative Debian keeps for the default General
// MIDI SoundFont, then the small one Pellavine's build installs; on Windows
// the TimGM6mb.sf2 shipped beside the programs.
std::vector<std::string> systemsoundfonts();
