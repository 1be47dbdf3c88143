// SPDX-License-Identifier: MIT
// pellavine-beep.exe: the tone player on Windows. Plays the request the editor
// leaves in "beepset.tmp" through WASAPI or waveOut, once or for a whole editor run
// (woken through a pipe), or renders it, or a whole score, to a WAV or MIDI
// file exactly as the player on other systems does with its own sample player.
#include "platform/fileio.h"
#include "platform/playerenv.h"
#include "platform/utf8.h"
#include "tone/player/cli.h"
#include "tone/player/win32/output.h"
#include "tone/protocol/resident.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "Usage: pellavine-beep [INSTRUMENT]                play the request in .\\beepset.tmp\n"
    "       pellavine-beep [INSTRUMENT] --resident H   play each request woken through pipe H\n"
    "       pellavine-beep [INSTRUMENT] --wav OUT.wav  render that request to a WAV file\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.wav\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.mid|OUT.musicxml\n"
    "                      [--beat STEPS] [--title TEXT]\n"
    "       pellavine-beep --help\n"
    "INSTRUMENT: --instrument N|NAME  --soundfont PATH\n";

const char* const help =
    "Notes sound with a General MIDI instrument of a SoundFont at velocity 100,\n"
    "through Pellavine's own SoundFont sample player (this build has no\n"
    "FluidSynth); a note is released at its end and dies away. The SoundFont is\n"
    "--soundfont PATH (or PELLAVINE_SOUNDFONT) when it exists, else the\n"
    "TimGM6mb.sf2 beside pellavine-beep.exe. Without one the player says so in\n"
    "one line on standard error and plays the sine tone. The sample player\n"
    "leaves out the SoundFont's own modulators, the LFOs, the modulation\n"
    "envelope's effect on pitch, pan, reverb and chorus. Sound goes to the\n"
    "default audio device through WASAPI in shared mode (about 30 ms from a\n"
    "request to the device),\n"
    "or through waveOut (about 100 ms) where WASAPI cannot be opened;\n"
    "PELLAVINE_AUDIO=waveout skips WASAPI, PELLAVINE_AUDIO=null plays to no\n"
    "device (for tests).\n"
    "The editor keeps one player for a whole run, started with --resident H:\n"
    "a byte 'p' read from the pipe H asks it to read beepset.tmp and play the\n"
    "request at once, a byte 's' stops every sound at once; it ends when the\n"
    "editor closes the pipe or has gone. The\n"
    "player runs in the editor's job object, so it ends with the editor; it\n"
    "also stops within a second when the program named by PELLAVINE_PID has\n"
    "gone, and at once on Ctrl+C or Ctrl+Break.\n"
    "\n";

int devicemode(const sinstr& in)
{
    catchstops();
    swatch w = watchstart(PLAYERWATCH);
    sreq r;
    splan plan;
    std::string err;
    if (int got = requestplan(r, plan, err); got <= 0)
        return got < 0 ? playerfail(err) : 0;
    sengine e;
    playeropen(e, in);
    std::string why;
    std::unique_ptr<soutput> out = openoutput(why);
    if (!out)
        return playerfail(why);
    // Planned again now that the device is open, so that the time opening
    // took is skipped too.
    if (r.mode == 0 && lateplan(r, 0, plan, err) != 0)
        plan = splan{};
    engineadd(e, std::move(plan), r.mode == 0);
    for (int polls = 0;; WaitForSingleObject(out->ready(), 10)) {
        if (stopsignal())
            return 128 + stopsignal();
        if (++polls % 10 == 0 && watchgone(w))
            return playerfail("the editor has gone; stopping");
        if (!out->feed(e))
            return playerfail("audio device failed");
        if (!enginebusy(e) && !out->busy())
            return 0;
    }
}

// The read end of the editor's pipe, read on a thread of its own: each byte
// is a message's kind (RESIDENTPLAY, RESIDENTSTOP), kept in order in `kinds`
// and signalled through `wake`; the pipe's end (the editor has closed it or
// has gone) sets `closed` too. The thread runs until the process ends.
struct spipe {
    HANDLE h = nullptr;
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> closed{false};
    std::mutex held;
    std::string kinds; // read and not yet taken

    static DWORD WINAPI run(void* self)
    {
        auto* p = static_cast<spipe*>(self);
        char buf[256];
        DWORD n = 0;
        while (ReadFile(p->h, buf, sizeof buf, &n, nullptr) && n > 0) {
            {
                std::lock_guard<std::mutex> g(p->held);
                if (p->kinds.size() < 4096) // a player that has fallen behind needs only the newest
                    p->kinds.append(buf, n);
            }
            SetEvent(p->wake);
        }
        p->closed = true;
        SetEvent(p->wake);
        return 0;
    }
    bool start(HANDLE pipe)
    {
        h = pipe;
        HANDLE t = CreateThread(nullptr, 0, run, this, 0, nullptr);
        if (!t)
            return false;
        CloseHandle(t);
        return true;
    }
    std::string take()
    {
        std::lock_guard<std::mutex> g(held);
        return std::exchange(kinds, {});
    }
};

// Reads "beepset.tmp" and plays it unless it is the request played last.
void residentrequest(sengine& e, int64_t readyms, std::string& last)
{
    std::string text, why;
    if (!readwhole("beepset.tmp", text, &why, 1 << 20) || text == last)
        return;
    last = text;
    sreq r;
    splan plan;
    if (parsereq(text, r, why) != 0 || lateplan(r, readyms, plan, why) != 0) {
        playerfail(why);
        return;
    }
    if (plan.len > 0)
        engineadd(e, std::move(plan), r.mode == 0);
}

int residentmode(const std::string& htext, const sinstr& in)
{
    catchstops();
    char* end = nullptr;
    unsigned long long hv = std::strtoull(htext.c_str(), &end, 10);
    if (end == htext.c_str() || *end != '\0' || hv == 0)
        return playerfail("--resident needs a pipe handle number, not \"" + htext + "\"", 2);
    swatch w = watchstart(PLAYERWATCH);
    // Wakes wait in the pipe while the SoundFont loads.
    sengine e;
    playeropen(e, in);
    std::string why;
    std::unique_ptr<soutput> out = openoutput(why);
    if (!out)
        return playerfail(why);
    static spipe pipe; // read until the process ends
    if (!pipe.start(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(hv))))
        return playerfail("cannot read the editor's pipe");
    const int64_t readyms = clockms();
    std::string last;
    for (int polls = 0;;) {
        HANDLE ev[2] = {pipe.wake, out->ready()};
        DWORD got = WaitForMultipleObjects(out->resting() ? 1 : 2, ev, FALSE, enginebusy(e) ? 10 : 250);
        if (stopsignal())
            return 128 + stopsignal();
        if (pipe.closed)
            return 0; // the editor has gone
        if (got == WAIT_OBJECT_0)
            for (char kind : pipe.take()) {
                if (kind == RESIDENTSTOP)
                    enginestop(e);
                else if (kind == RESIDENTPLAY)
                    residentrequest(e, readyms, last);
            }
        if (!out->feed(e))
            return playerfail("audio device failed");
        if (++polls % 20 == 0 && watchgone(w))
            return playerfail("the editor has gone; stopping");
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a = utf8args(argc, argv);
    a.erase(a.begin());
    if (!a.empty() && (a[0] == "--help" || a[0] == "-h")) {
        for (const char* part : {usage, HELPREQUESTS, help, HELPINSTRUMENT, HELPFILES})
            std::fputs(part, stdout);
        return 0;
    }
    sinstr in;
    std::string err;
    if (instrargs(a, in, err) != 0)
        return playerfail(err, 2);
    if (a.empty())
        return devicemode(in);
    if (a[0] == "--resident" && a.size() == 2)
        return residentmode(a[1], in);
    int status = 0;
    if (filemode(a, in, status))
        return status;
    std::fputs(usage, stderr);
    return 2;
}
