#pragma once
// Handing tone and playback requests to the tone player through
// "beepset.tmp".
#include "score/model.h"
#include "score/pitch.h"

// Writes the request (a playback of the score file at `path`, or a tone) to "beepset.tmp" in the working folder and starts the
// player; never waits for it. When the file cannot be written completely no
// player is started.
void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path);
