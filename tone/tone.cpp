// Handing requests to the tone player.
#include "tone/tone.h"

#include "console/console.h"
#include "platform/fileio.h"
#include "platform/proc.h"

void beep(reqmode mode, const splay& playtmp, int heig, int pitch, bool rise, int time,
          const std::string& path)
{
    std::string text = beeptext(mode, playtmp, heig, pitch, rise, time, gettimems(), path);
    if (!writeplain("beepset.tmp", text))
        return;
    // The run's resident player, or, when it has gone, one for this request.
    if (!wakeresident())
        startplayer();
}
