// SPDX-License-Identifier: MIT
// pellavine-beep: plays the request the editor leaves in "beepset.tmp", once
// or for a whole editor run, or renders it, or a whole score, to a WAV or
// MIDI file.
#include "platform/fileio.h"
#include "platform/playerenv.h"
#include "tone/player/cli.h"
#include "tone/protocol/resident.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const usage =
    "Usage: pellavine-beep [INSTRUMENT]                play the request in ./beepset.tmp\n"
    "       pellavine-beep [INSTRUMENT] --resident FD  play each request woken through FD\n"
    "       pellavine-beep [INSTRUMENT] --wav OUT.wav  render that request to a WAV file\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.wav\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.mid|OUT.musicxml\n"
    "                      [--beat STEPS] [--title TEXT]\n"
    "       pellavine-beep --help\n"
    "INSTRUMENT: --instrument N|NAME  --soundfont PATH\n";

const char* const help =
    "Sound goes to the default audio device through SDL (SDL_AUDIODRIVER picks\n"
    "another driver). The player stops at once on SIGTERM or SIGINT, and within\n"
    "a second when the program that started it has gone (its parent, or the\n"
    "process named by PELLAVINE_PID). PELLAVINE_BLOCKLOG=FILE logs when each\n"
    "block of sound was made (for bench_latency).\n"
    "\n"
    "The editor keeps one player for a whole run, started with --resident FD:\n"
    "FD is a sequenced-packet socket; a packet of 'p' and a request (the text of\n"
    "beepset.tmp) plays it at once, a packet of 's' stops every sound. Tones\n"
    "sound over each other; a score request replaces the\n"
    "score playing. It ends when FD reaches its end, that is when the editor\n"
    "has gone. Requests that come while the SoundFont still loads play once it\n"
    "has loaded, skipping the time they missed. After a second of silence the\n"
    "device is no longer fed, so that an idle player uses next to no processor\n"
    "time; the next request starts it again at once.\n"
    "\n"
    "Notes sound with a General MIDI instrument of a SoundFont, through\n"
    "FluidSynth, at velocity 100; a note is released at its end and dies away.\n"
    "The SoundFont is --soundfont PATH alone when given; otherwise the first\n"
    "that loads of PELLAVINE_SOUNDFONT, /usr/share/sounds/sf2/default-GM.sf2 and\n"
    "/usr/share/sounds/sf2/TimGM6mb.sf2. When none loads, the player says so in\n"
    "one line on standard error (the resident player also tells the editor)\n"
    "and plays the sine tone.\n"
    "PELLAVINE_SYNTH=own sounds the SoundFont with Pellavine's own sample player\n"
    "(the one of the Windows build) instead of FluidSynth.\n"
    "\n";

const char* const helpresident =
    "  --resident FD      play requests for a whole editor run, as above\n";

// Samples the device takes at a time: 3 ms, so that a request waits at most
// that long for the block it starts in (a request starts in the first block
// rendered after it came). Each block wakes the device thread until the
// device rests (sdevice below), and waking is most of what that costs: 2 ms
// blocks kept a silent player above 1 % of a processor, 4 ms ones were
// little cheaper. (SDL's disk driver waits whole milliseconds between
// blocks, so a block lasts a whole number of them.)
constexpr int DEVICEBLOCK = 144;

// The engine and how the device thread keeps up with it.
struct sfeed {
    sengine* engine = nullptr;
    Uint64 perblock = 0; // performance counter ticks one block lasts
    int late = 0;        // blocks that took longer to render than they last: underruns
    int log = -1;        // PELLAVINE_BLOCKLOG: when each block was made, for the benchmark
    int64_t held[32][2]{}; // log records not yet written
    int nheld = 0;
    bool marked = false;   // the first block's mark is made
};

// The block log: for every block, the engine sample it starts at and the
// monotonic clock in ns when it was made, both as 64-bit numbers. The device
// may have played silence of its own before the first block (it opens
// paused), so the first block's first sample is made 1 instead of 0 (far
// below hearing): the first sound on the device marks engine sample 0. Written
// 32 blocks (about 0.1 s) at a time, so that logging adds no system call to
// most blocks.
void logblock(sfeed& f)
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    f.held[f.nheld][0] = f.engine->pos;
    f.held[f.nheld][1] = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    if (++f.nheld < 32)
        return;
    f.nheld = 0;
    if (write(f.log, f.held, sizeof f.held) != static_cast<ssize_t>(sizeof f.held))
        f.log = -1;
}

void feed(void* data, Uint8* stream, int len)
{
    sfeed& f = *static_cast<sfeed*>(data);
    Uint64 t0 = SDL_GetPerformanceCounter();
    if (f.log >= 0)
        logblock(f);
    enginerender(*f.engine, reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / sizeof(int16_t));
    if (f.log >= 0 && !f.marked && len >= 2) {
        const int16_t one = 1;
        std::memcpy(stream, &one, sizeof one);
        f.marked = true;
    }
    if (f.perblock > 0 && SDL_GetPerformanceCounter() - t0 > f.perblock)
        f.late++;
}

// Opens the default audio device, fed from `e` on SDL's audio thread (the
// engine is then touched only under SDL_LockAudioDevice). 0 on failure.
SDL_AudioDeviceID deviceopen(sfeed& f, SDL_AudioSpec& have, std::string& err)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The device thread runs with a real-time priority where the system grants it.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    SDL_AudioSpec want{};
    want.freq = RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = DEVICEBLOCK;
    want.callback = feed;
    want.userdata = &f;
    SDL_AudioDeviceID dev = 0;
    {
        squiet q;
        // SDL converts to whatever the device takes.
        if (SDL_Init(SDL_INIT_AUDIO) == 0)
            dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    catchstops(); // in case the audio driver installed handlers of its own
    if (dev == 0) {
        err = std::string("no audio device: ") + SDL_GetError();
        SDL_Quit();
        return 0;
    }
    if (const char* log = std::getenv("PELLAVINE_BLOCKLOG"); log && *log)
        f.log = open(log, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    f.perblock = SDL_GetPerformanceFrequency() * static_cast<Uint64>(have.samples) /
                 static_cast<Uint64>(std::max(have.freq, 1));
    return dev;
}

void deviceclose(SDL_AudioDeviceID dev, const sfeed& f)
{
    SDL_PauseAudioDevice(dev, 1);
    SDL_CloseAudioDevice(dev);
    SDL_Quit();
    if (f.late > 0)
        playerfail(std::to_string(f.late) + " blocks of sound were late (underruns)");
}

void deviceadd(SDL_AudioDeviceID dev, sengine& e, splan plan, bool playback)
{
    SDL_LockAudioDevice(dev);
    engineadd(e, std::move(plan), playback);
    SDL_UnlockAudioDevice(dev);
}

bool devicebusy(SDL_AudioDeviceID dev, sengine& e)
{
    SDL_LockAudioDevice(dev);
    bool busy = enginebusy(e);
    SDL_UnlockAudioDevice(dev);
    return busy;
}

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
    if (int rc = playeropen(e, in); rc != 0)
        return rc;
    if (stopsignal())
        return 128 + stopsignal();
    SDL_AudioSpec have{};
    sfeed f{&e};
    SDL_AudioDeviceID dev = deviceopen(f, have, err);
    if (dev == 0)
        return playerfail(err);
    // Planned again now that the device is open, so that the time loading
    // and opening took is skipped too.
    if (r.mode == 0 && lateplan(r, 0, plan, err) != 0)
        plan = splan{};
    deviceadd(dev, e, std::move(plan), r.mode == 0);
    SDL_PauseAudioDevice(dev, 0);
    int status = 0;
    for (int polls = 0; devicebusy(dev, e); napms(10)) {
        if (stopsignal()) {
            status = 128 + stopsignal();
            break;
        }
        if (++polls % 5 == 0 && watchgone(w)) {
            playerfail("the editor has gone; stopping");
            break;
        }
    }
    // The device still holds what it was last given.
    if (status == 0)
        napms(1000 * 2 * have.samples / std::max(have.freq, 1) + 50);
    deviceclose(dev, f);
    return status;
}

// The resident player's device, which rests while nothing sounds. SDL 2
// wakes the device thread once a block even when the device is paused, and
// those wakes are most of what an idle player costs; so once nothing has
// sounded for RESTAFTERMS the main thread takes the device's lock and keeps
// it. The device thread waits on the lock without waking and the device runs
// dry, which is silence anyway. The next request is added under the lock
// already held, and letting it go hands the thread a sound to render at once:
// the first block after a rest is made as soon as the request has come.
struct sdevice {
    static constexpr int64_t RESTAFTERMS = 1000;
    SDL_AudioDeviceID id = 0;
    sengine* engine = nullptr;
    bool resting = false;
    int64_t quietsince = -1; // when the engine was first seen silent, or -1
};

// Runs `change` on the engine with the device thread kept off it.
template <class F> void devicechange(sdevice& d, F change)
{
    if (!d.resting)
        SDL_LockAudioDevice(d.id);
    change(*d.engine);
    if (!d.resting)
        SDL_UnlockAudioDevice(d.id);
}

void devicewake(sdevice& d)
{
    d.quietsince = -1;
    if (d.resting) {
        d.resting = false;
        SDL_UnlockAudioDevice(d.id);
    }
}

// Lets the device rest once the engine has been silent long enough. Returns
// how long the main thread may wait for the next message before it looks
// again, in ms.
int devicerest(sdevice& d)
{
    if (d.resting)
        return 1000;
    SDL_LockAudioDevice(d.id);
    if (enginebusy(*d.engine)) {
        d.quietsince = -1;
    } else if (auto now = static_cast<int64_t>(SDL_GetTicks64()); d.quietsince < 0) {
        d.quietsince = now;
    } else if (now - d.quietsince >= sdevice::RESTAFTERMS) {
        d.resting = true; // the lock stays taken
        return 1000;
    }
    SDL_UnlockAudioDevice(d.id);
    return 100;
}

// One message from the editor: a request to play (its text, as in
// "beepset.tmp") or the order to stop every sound.
void residentmessage(sdevice& d, int64_t readyms, const std::string& msg)
{
    if (msg == stopmessage()) {
        devicechange(d, [](sengine& e) { enginestop(e); });
        return;
    }
    if (msg.empty() || msg[0] != RESIDENTPLAY)
        return;
    sreq r;
    splan plan;
    std::string why;
    if (parsereq(msg.substr(1), r, why) != 0 || lateplan(r, readyms, plan, why) != 0) {
        playerfail(why);
        return;
    }
    if (plan.len == 0)
        return;
    devicechange(d, [&](sengine& e) { engineadd(e, std::move(plan), r.mode == 0); });
    devicewake(d);
}

// One line back to the editor on the socket that wakes us; never blocks
// (the editor reads it when it can, or never).
void replyeditor(int fd, const std::string& line)
{
    (void)!send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

int residentmode(const std::string& fdtext, const sinstr& in)
{
    catchstops();
    char* end = nullptr;
    long fd = std::strtol(fdtext.c_str(), &end, 10);
    if (end == fdtext.c_str() || *end != '\0' || fd < 0 || fd > 65535)
        return playerfail("--resident needs a descriptor number, not \"" + fdtext + "\"", 2);
    // Requests wait in the descriptor while the SoundFont loads.
    sengine e;
    fontfall fall = fontfall::none;
    if (int rc = playeropen(e, in, &fall); rc != 0)
        return rc;
    if (fall != fontfall::none) // the editor says so on its status row
        replyeditor(static_cast<int>(fd), std::string("sine ") + fontfallword(fall) + "\n");
    SDL_AudioSpec have{};
    std::string err;
    sfeed f{&e};
    SDL_AudioDeviceID dev = deviceopen(f, have, err);
    if (dev == 0) {
        replyeditor(static_cast<int>(fd), std::string(RESIDENTNODEVICE) + "\n");
        return playerfail(err);
    }
    SDL_PauseAudioDevice(dev, 0);
    // The thread that takes the requests comes before most others too.
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
    const int64_t readyms = clockms();
    sdevice d{dev, &e};
    std::string msg(RESIDENTMAXMSG, '\0');
    int status = 0;
    for (;;) {
        if (stopsignal()) {
            status = 128 + stopsignal();
            break;
        }
        pollfd p{static_cast<int>(fd), POLLIN, 0};
        if (poll(&p, 1, devicerest(d)) <= 0)
            continue;
        ssize_t n = recv(static_cast<int>(fd), msg.data(), msg.size(), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the editor has closed its end, or has gone
        residentmessage(d, readyms, msg.substr(0, static_cast<size_t>(n)));
    }
    devicewake(d);
    deviceclose(dev, f);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    if (!a.empty() && (a[0] == "--help" || a[0] == "-h")) {
        for (const char* part : {usage, HELPREQUESTS, help, HELPINSTRUMENT, helpresident, HELPFILES})
            std::fputs(part, stdout);
        return 0;
    }
    sinstr in;
    std::string err;
    if (instrargs(a, in, err) != 0)
        return playerfail(err, 2);
    if (a.empty())
        return devicemode(in);
    if (a[0] == RESIDENTOPTION && a.size() == 2)
        return residentmode(a[1], in);
    int status = 0;
    if (filemode(a, in, status))
        return status;
    std::fputs(usage, stderr);
    return 2;
}
