// pellavine-beep: plays the request the editor leaves in "beepset.tmp", or
// renders it, or a whole score, to a WAV or MIDI file.
#include "platform/playerenv.h"
#include "tone/player/player.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const usage =
    "Usage: pellavine-beep                      play the request in ./beepset.tmp\n"
    "       pellavine-beep --wav OUT.wav        render that request to a WAV file\n"
    "       pellavine-beep --export SCORE.pvx OUT.wav\n"
    "       pellavine-beep --export SCORE.pvx OUT.mid\n"
    "       pellavine-beep --help\n";

const char* const help =
    "\n"
    "The tone player of the Pellavine melody editor. The editor starts it for\n"
    "every sound it makes, after writing the request file \"beepset.tmp\" into\n"
    "its working folder; the player reads that file from its own working folder.\n"
    "\n"
    "Requests (CR LF or LF line breaks):\n"
    "  1 SECONDS MS FREQ LENGTH\n"
    "      one tone of FREQ Hz lasting LENGTH x 100 ms\n"
    "  0 SECONDS MS\n"
    "  PATH\n"
    "  START END SPEED\n"
    "      the score file PATH from time step START until step END, one step\n"
    "      lasting 100 / SPEED ms; SECONDS and MS say when the editor started\n"
    "      its play marker, and the player begins as far into the range as that\n"
    "      is ago, so that sound and marker agree\n"
    "  An empty file plays nothing.\n"
    "\n"
    "Sound goes to the default audio device through SDL (SDL_AUDIODRIVER picks\n"
    "another driver). The player stops at once on SIGTERM or SIGINT, and within\n"
    "a second when the program that started it has gone (its parent, or the\n"
    "process named by PELLAVINE_PID).\n"
    "\n"
    "Options:\n"
    "  --wav OUT.wav      write the request's sound, all of it, to a 16-bit mono\n"
    "                     48 kHz WAV file instead of playing it\n"
    "  --export SCORE.pvx OUT.wav\n"
    "                     render a whole score at normal speed (one step 100 ms)\n"
    "  --export SCORE.pvx OUT.mid\n"
    "                     write a whole score as a Standard MIDI File: format 0,\n"
    "                     one track, 480 ticks per quarter note at 120 bpm, one\n"
    "                     step 96 ticks, A of octave 3 key 69, its C key 60\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 done, 1 a request, file or device that could not be used,\n"
    "2 a wrong command line, 128 + N when stopped by signal N.\n";

// One line on standard error, with control characters made visible.
int fail(const std::string& why, int status = 1)
{
    std::string s = "pellavine-beep: ";
    for (char c : why)
        s += (static_cast<unsigned char>(c) < 32 || c == 127) ? '?' : c;
    s += '\n';
    std::fputs(s.c_str(), stderr);
    return status;
}

bool hasext(const std::string& path, const char* ext)
{
    size_t n = std::strlen(ext);
    if (path.size() <= n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != ext[i])
            return false;
    return true;
}

int wavmode(const std::string& out)
{
    sreq r;
    std::string err;
    if (loadreq("beepset.tmp", r, err) != 0)
        return fail(err);
    splan plan;
    if (reqplan(r, 0, plan, err) != 0)
        return fail(err);
    if (writewav(out, plan, err) != 0)
        return fail(err);
    return 0;
}

int exportmode(const std::string& score, const std::string& out)
{
    bool mid = hasext(out, ".mid") || hasext(out, ".midi");
    if (!mid && !hasext(out, ".wav"))
        return fail("the output file must end in .wav or .mid: " + out, 2);
    std::vector<smusic> notes;
    std::string err;
    if (readscore(score, notes, err) != 0)
        return fail(err);
    if (mid)
        return writefile(out, midibytes(notes), err) == 0 ? 0 : fail(err);
    if (writewav(out, scoreplan(notes, 0, scoreend(notes), 1.0, 0), err) != 0)
        return fail(err);
    return 0;
}

int devicemode()
{
    catchstops();
    swatch w = watchstart();
    sreq r;
    std::string err;
    if (loadreq("beepset.tmp", r, err) != 0)
        return fail(err);
    std::vector<smusic> notes;
    if (r.mode == 0 && scoreplan({}, r.start, r.end, r.speed, lateness(r, clockms())).len > 0 &&
        readscore(r.path, notes, err) != 0)
        return fail(err);
    // The plan is made once the device is open, so that the time the device
    // took to open is skipped too.
    auto makeplan = [&]() {
        if (r.mode == 1)
            return toneplan(r);
        if (r.mode == 0)
            return scoreplan(notes, r.start, r.end, r.speed, lateness(r, clockms()));
        return splan{};
    };
    if (makeplan().len == 0)
        return 0;
    if (stopsignal())
        return 128 + stopsignal();

    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_AudioSpec want{}, have{};
    want.freq = RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 1024;
    SDL_AudioDeviceID dev = 0;
    int initerr = 0;
    {
        squiet q;
        initerr = SDL_Init(SDL_INIT_AUDIO);
        // SDL converts to whatever the device takes.
        if (initerr == 0)
            dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (initerr != 0)
        return fail(std::string("no audio device: ") + SDL_GetError());
    if (dev == 0) {
        std::string why = SDL_GetError();
        SDL_Quit();
        return fail("no audio device: " + why);
    }
    catchstops(); // in case the audio driver installed handlers of its own

    ssynth sy;
    synthstart(sy, makeplan());
    constexpr size_t BLOCK = 2048;
    const Uint32 ahead = RATE * 2 / 8; // keep about 125 ms queued
    int16_t buf[BLOCK];
    bool started = false;
    int status = 0;
    int64_t drainuntil = -1;
    int polls = 0;
    for (;;) {
        if (stopsignal()) {
            status = 128 + stopsignal();
            break;
        }
        if (++polls % 5 == 0 && watchgone(w)) {
            fail("the editor has gone; stopping");
            break;
        }
        while (!synthdone(sy) && SDL_GetQueuedAudioSize(dev) < ahead) {
            size_t n = synth(sy, buf, BLOCK);
            if (SDL_QueueAudio(dev, buf, static_cast<Uint32>(n * sizeof(int16_t))) != 0) {
                status = fail(std::string("audio device failed: ") + SDL_GetError());
                break;
            }
        }
        if (status)
            break;
        if (!started) {
            SDL_PauseAudioDevice(dev, 0);
            started = true;
        }
        if (synthdone(sy) && SDL_GetQueuedAudioSize(dev) == 0) {
            // The queue is empty; the device still holds its own buffer.
            if (drainuntil < 0)
                drainuntil = clockms() + 1000LL * have.samples / std::max(have.freq, 1) * 2 + 50;
            if (clockms() >= drainuntil)
                break;
        }
        napms(10);
    }
    SDL_PauseAudioDevice(dev, 1);
    SDL_ClearQueuedAudio(dev);
    SDL_CloseAudioDevice(dev);
    SDL_Quit();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.empty())
        return devicemode();
    if (a[0] == "--help" || a[0] == "-h") {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return 0;
    }
    if (a[0] == "--wav" && a.size() == 2)
        return wavmode(a[1]);
    if (a[0] == "--export" && a.size() == 3)
        return exportmode(a[1], a[2]);
    std::fputs(usage, stderr);
    return 2;
}
