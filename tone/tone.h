// SPDX-License-Identifier: MIT
#pragma once
// Handing tone and playback requests to the tone player through
// "beepset.tmp".
#include "platform/fileio.h"
#include "score/model.h"
#include "score/pitch.h"

#include <string>
#include <vector>

// The request file, in the working folder.
inline constexpr const char* REQUESTFILE = "beepset.tmp";

// What the tone output of a program run knows between requests.
struct stonestate {
    splainfile put;                     // the request file this run last put in place
    fileerr lastfail = fileerr::ok;     // why the last request could not be put there
    std::vector<std::string> notes;     // for the status row, oldest first
    bool saidnodevice = false;          // that no audio device opens, said this run
};
extern stonestate tones;

// Writes the request (a playback of the score file at `path`, or a tone) to
// "beepset.tmp" in the working folder and wakes the run's resident player,
// or, when it has gone, a new resident player (a player for this request
// alone when none can be started); never waits for it. When the file cannot
// be put in place no player is asked, and tonenote() says why once.
void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path);
