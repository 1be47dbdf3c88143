#pragma once
// Handing tone and playback requests to the tone player through
// "beepset.tmp".
#include "score/model.h"
#include "score/pitch.h"

// Writes the request (a playback of the score file at `path`, or a tone) to
// "beepset.tmp" in the working folder and wakes the run's resident player,
// or starts a player for this request when there is none; never waits for
// it. When the file cannot be written completely no player is asked.
void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path);
