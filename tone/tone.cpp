// Handing requests to the tone player.
#include "tone/tone.h"

#include "console/console.h"
#include "files/files.h"
#include "platform/fileio.h"
#include "platform/proc.h"

void beep(int mode, splay playtmp, int heig, int pitch, bool rise, int time)
{
    std::string text = beeptext(mode, playtmp, heig, pitch, rise, time, gettimems(), filepath);
    if (writewhole("beepset.tmp", text, false) != 0)
        return;
    // The run's resident player, or, when it has gone, one for this request.
    if (!wakeresident())
        startplayer();
}
