// SPDX-License-Identifier: MIT
#pragma once
// Pitches to frequencies, and the text of the requests handed to the tone
// player through "beepset.tmp". Pure code, shared by the editor and the player.
#include "score/model.h"

#include <string>

// Frequency in Hz of a pitch: octave, letter 1 to 7, sharp. 0 for a letter
// outside 1 to 7.
double getfreq(int heig, int pitch, bool rise);

// The two kinds of request.
enum class reqmode { play, tone };

// The text of a request. Mode play plays [start, end] of the score at `path` at
// the request's speed (only when playtmp.yn); mode tone sounds one tone of
// getfreq(heig, pitch, rise) for `time` steps of 100 ms; anything else is the
// empty request. Line breaks are CR LF, with none after the last field.
std::string beeptext(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
                     const stimems& now, const std::string& path);
