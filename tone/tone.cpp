// SPDX-License-Identifier: MIT
// Handing requests to the tone player.
#include "tone/tone.h"

#include "console/console.h"
#include "platform/fileio.h"
#include "tone/players.h"
#include "tone/protocol/resident.h"
#include "tone/launch.h"

stonestate tones;

void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path)
{
    std::string text = beeptext(mode, playtmp, heig, pitch, rise, time, gettimems(), path);
    std::string message = playmessage(text);
    if (iores r = writeplain(REQUESTFILE, text, &tones.put); !r) {
        // Said once for each new cause, not at every key.
        if (r.why != tones.lastfail)
            tones.notes.push_back(std::string("无法写入 beepset.tmp：") + failcause(r.why));
        tones.lastfail = r.why;
        // A resident player whose messages carry the request still plays it;
        // a player of its own would find no request to read.
        if (residentcarriesrequest())
            tellresident(message);
        return;
    }
    tones.lastfail = fileerr::ok;
    // The request goes in the message itself: the player reads no file. A
    // resident player that has died is started again, and takes the request
    // once it is ready; only when none can be started does a player of its
    // own play it.
    if (tellresident(message))
        return;
    if (startresident() >= 0 && tellresident(message))
        return;
    startplayer();
}
