// SPDX-License-Identifier: MIT
// Handing requests to the tone player.
#include "tone/tone.h"

#include "console/console.h"
#include "platform/fileio.h"
#include "platform/proc.h"
#include "tone/launch.h"

stonestate tones;

void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path)
{
    std::string text = beeptext(mode, playtmp, heig, pitch, rise, time, gettimems(), path);
    if (iores r = writeplain(REQUESTFILE, text, &tones.put); !r) {
        // Said once for each new cause, not at every key.
        if (r.why != tones.lastfail)
            tones.notes.push_back(std::string("无法写入 beepset.tmp：") + failcause(r.why));
        tones.lastfail = r.why;
        return;
    }
    tones.lastfail = fileerr::ok;
    // The run's resident player; when it has gone, a new one, woken at once
    // (it plays the request once it is ready); only when none can be
    // started, a player for this request alone.
    if (wakeresident())
        return;
    if (startresident() >= 0 && wakeresident())
        return;
    startplayer();
}
