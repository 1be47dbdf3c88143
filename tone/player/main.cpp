// pellavine-beep: plays the request the editor leaves in "beepset.tmp", once
// or for a whole editor run, or renders it, or a whole score, to a WAV or
// MIDI file.
#include "platform/fileio.h"
#include "platform/playerenv.h"
#include "tone/player/player.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

const char* const usage =
    "Usage: pellavine-beep [INSTRUMENT]                play the request in ./beepset.tmp\n"
    "       pellavine-beep [INSTRUMENT] --resident FD  play each request woken through FD\n"
    "       pellavine-beep [INSTRUMENT] --wav OUT.wav  render that request to a WAV file\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.wav\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.mid\n"
    "       pellavine-beep --help\n"
    "INSTRUMENT: --instrument N|NAME  --soundfont PATH\n";

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
    "The editor keeps one player for a whole run, started with --resident FD:\n"
    "each byte read from descriptor FD asks it to read beepset.tmp and play the\n"
    "request at once. Tones sound over each other; a score request replaces the\n"
    "score playing. It ends when FD reaches its end, that is when the editor\n"
    "has gone. Requests that come while the SoundFont still loads play once it\n"
    "has loaded, skipping the time they missed.\n"
    "\n"
    "Notes sound with a General MIDI instrument of a SoundFont, through\n"
    "FluidSynth, at velocity 100; a note is released at its end and dies away.\n"
    "The SoundFont is the first that exists of --soundfont PATH (or\n"
    "PELLAVINE_SOUNDFONT), /usr/share/sounds/sf2/default-GM.sf2 and\n"
    "/usr/share/sounds/sf2/TimGM6mb.sf2. Without one, or when FluidSynth fails,\n"
    "the player says so in one line on standard error and plays the sine tone.\n"
    "\n"
    "Options:\n"
    "  --instrument N|NAME\n"
    "                     General MIDI program 0-127, or piano (0, the default),\n"
    "                     organ, guitar, violin, flute, clarinet, trumpet, voice;\n"
    "                     tone plays the sine tone. PELLAVINE_INSTRUMENT when not\n"
    "                     given.\n"
    "  --soundfont PATH   the SoundFont to try first\n"
    "  --resident FD      play requests for a whole editor run, as above\n"
    "  --wav OUT.wav      write the request's sound, all of it, to a 16-bit mono\n"
    "                     48 kHz WAV file instead of playing it; an instrument's\n"
    "                     last note has 1.5 s to die away\n"
    "  --export SCORE.pvx OUT.wav\n"
    "                     render a whole score at normal speed (one step 100 ms)\n"
    "  --export SCORE.pvx OUT.mid\n"
    "                     write a whole score as a Standard MIDI File: format 0,\n"
    "                     one track, 480 ticks per quarter note at 120 bpm, one\n"
    "                     step 96 ticks, A of octave 3 key 69, its C key 60,\n"
    "                     the instrument's program set at the start\n"
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

// The engine for `in`; says once on standard error when it falls back to
// the sine tone.
void openengine(sengine& e, const sinstr& in)
{
    std::string note;
    engineopen(e, in, note);
    if (!note.empty())
        fail(note);
}

int wavmode(const std::string& out, const sinstr& in)
{
    sreq r;
    std::string err;
    if (loadreq("beepset.tmp", r, err) != 0)
        return fail(err);
    splan plan;
    if (reqplan(r, 0, plan, err) != 0)
        return fail(err);
    sengine e;
    openengine(e, in);
    if (writewav(out, e, plan, err) != 0)
        return fail(err);
    return 0;
}

int exportmode(const std::string& score, const std::string& out, const sinstr& in)
{
    bool mid = hasext(out, ".mid") || hasext(out, ".midi");
    if (!mid && !hasext(out, ".wav"))
        return fail("the output file must end in .wav or .mid: " + out, 2);
    std::vector<smusic> notes;
    std::string err;
    if (readscore(score, notes, err) != 0)
        return fail(err);
    if (mid)
        return writefile(out, midibytes(notes, in.program), err) == 0 ? 0 : fail(err);
    sengine e;
    openengine(e, in);
    if (writewav(out, e, scoreplan(notes, 0, scoreend(notes), 1.0, 0), err) != 0)
        return fail(err);
    return 0;
}

constexpr int DEVICEBLOCK = 512; // samples the device takes at a time: 10.7 ms

void feed(void* engine, Uint8* stream, int len)
{
    enginerender(*static_cast<sengine*>(engine), reinterpret_cast<int16_t*>(stream),
                 static_cast<size_t>(len) / sizeof(int16_t));
}

// Opens the default audio device, fed from `e` on SDL's audio thread (the
// engine is then touched only under SDL_LockAudioDevice). 0 on failure.
SDL_AudioDeviceID deviceopen(sengine& e, SDL_AudioSpec& have, std::string& err)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_AudioSpec want{};
    want.freq = RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = DEVICEBLOCK;
    want.callback = feed;
    want.userdata = &e;
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
    }
    return dev;
}

void deviceclose(SDL_AudioDeviceID dev)
{
    SDL_PauseAudioDevice(dev, 1);
    SDL_CloseAudioDevice(dev);
    SDL_Quit();
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

// What a request plays now. A score stretch begins as far into its range as
// the request is old, in step with the editor's marker; a tone skips only the
// time it waited for the player to become ready at `readyms`.
int lateplan(const sreq& r, int64_t readyms, splan& plan, std::string& err)
{
    int64_t now = clockms();
    if (r.mode == 0)
        return reqplan(r, lateness(r, now), plan, err);
    plan = r.mode == 1 ? skipplan(toneplan(r), lateness(r, std::min(now, readyms))) : splan{};
    return 0;
}

int devicemode(const sinstr& in)
{
    catchstops();
    swatch w = watchstart();
    sreq r;
    std::string err;
    if (loadreq("beepset.tmp", r, err) != 0)
        return fail(err);
    splan plan;
    // A tone plays whole; a score stretch only what is left of it.
    if ((r.mode == 1 ? reqplan(r, 0, plan, err) : lateplan(r, 0, plan, err)) != 0)
        return fail(err);
    if (plan.len == 0)
        return 0;
    sengine e;
    openengine(e, in);
    if (stopsignal())
        return 128 + stopsignal();
    SDL_AudioSpec have{};
    SDL_AudioDeviceID dev = deviceopen(e, have, err);
    if (dev == 0)
        return fail(err);
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
            fail("the editor has gone; stopping");
            break;
        }
    }
    // The device still holds what it was last given.
    if (status == 0)
        napms(1000 * 2 * have.samples / std::max(have.freq, 1) + 50);
    deviceclose(dev);
    return status;
}

// Reads "beepset.tmp" and plays it unless it is the request played last.
void residentrequest(SDL_AudioDeviceID dev, sengine& e, int64_t readyms, std::string& last)
{
    std::string text, why;
    if (!readwhole("beepset.tmp", text, &why, 1 << 20) || text == last)
        return;
    last = text;
    sreq r;
    splan plan;
    if (parsereq(text, r, why) != 0 || lateplan(r, readyms, plan, why) != 0) {
        fail(why);
        return;
    }
    if (plan.len > 0)
        deviceadd(dev, e, std::move(plan), r.mode == 0);
}

int residentmode(const std::string& fdtext, const sinstr& in)
{
    catchstops();
    char* end = nullptr;
    long fd = std::strtol(fdtext.c_str(), &end, 10);
    if (end == fdtext.c_str() || *end != '\0' || fd < 0 || fd > 65535)
        return fail("--resident needs a descriptor number, not \"" + fdtext + "\"", 2);
    // Requests wait in the descriptor while the SoundFont loads.
    sengine e;
    openengine(e, in);
    SDL_AudioSpec have{};
    std::string err;
    SDL_AudioDeviceID dev = deviceopen(e, have, err);
    if (dev == 0)
        return fail(err);
    SDL_PauseAudioDevice(dev, 0);
    const int64_t readyms = clockms();
    std::string last;
    int status = 0;
    for (;;) {
        if (stopsignal()) {
            status = 128 + stopsignal();
            break;
        }
        pollfd p{static_cast<int>(fd), POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            continue;
        char buf[256];
        ssize_t n = read(static_cast<int>(fd), buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the editor has closed its end, or has gone
        residentrequest(dev, e, readyms, last);
    }
    deviceclose(dev);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    if (!a.empty() && (a[0] == "--help" || a[0] == "-h")) {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return 0;
    }
    sinstr in;
    std::string err;
    if (instrargs(a, in, err) != 0)
        return fail(err, 2);
    if (a.empty())
        return devicemode(in);
    if (a[0] == "--resident" && a.size() == 2)
        return residentmode(a[1], in);
    if (a[0] == "--wav" && a.size() == 2)
        return wavmode(a[1], in);
    if (a[0] == "--export" && a.size() == 3)
        return exportmode(a[1], a[2], in);
    std::fputs(usage, stderr);
    return 2;
}
