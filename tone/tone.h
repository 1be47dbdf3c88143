#pragma once
// Pitches to frequencies, and the requests handed to the tone player through
// "beepset.tmp".
#include "console/console.h"
#include "console/model.h"

#include <string>

// Frequency in Hz of a pitch: octave, letter 1 to 7, sharp. 0 for a letter
// outside 1 to 7.
double getfreq(int heig, int pitch, bool rise);

// The text of a request. Mode 0 plays [start, end] of the score at `path` at
// the request's speed (only when playtmp.yn); mode 1 sounds one tone of
// getfreq(heig, pitch, rise) for `time` steps of 100 ms; anything else is the
// empty request. Line breaks are CR LF, with none after the last field.
std::string beeptext(int mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
                     const stimems& now, const std::string& path);

// Writes the request to "beepset.tmp" in the working folder and starts the
// player; never waits for it. When the file cannot be written completely no
// player is started.
void beep(int mode, splay playtmp, int heig, int pitch, bool rise, int time);
