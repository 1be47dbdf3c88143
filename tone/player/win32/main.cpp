// pellavine-beep.exe: the tone player on Windows. Plays the request the editor
// leaves in "beepset.tmp" through waveOut, or renders it, or a whole score,
// to a WAV or MIDI file exactly as the player on other systems does.
#include "platform/playerenv.h"
#include "platform/utf8.h"
#include "tone/player/player.h"

#include <windows.h>
#include <mmsystem.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "Usage: pellavine-beep                      play the request in .\\beepset.tmp\n"
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
    "This Windows build plays the sine tone: no SoundFont synthesiser is built\n"
    "for Windows. Sound goes to the default audio device through waveOut. The\n"
    "player runs in the editor's job object, so it ends with the editor; it\n"
    "also stops within a second when the program named by PELLAVINE_PID has\n"
    "gone, and at once on Ctrl+C or Ctrl+Break.\n"
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
    splan plan;
    if (loadreq("beepset.tmp", r, err) != 0 || reqplan(r, 0, plan, err) != 0 || writewav(out, plan, err) != 0)
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

// The waveOut device with a ring of buffers that are refilled as the device
// hands them back.
struct swaveout {
    static constexpr int NBUF = 4;
    static constexpr size_t BLOCK = RATE / 40; // 25 ms a buffer, 100 ms queued
    HWAVEOUT dev = nullptr;
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEHDR hdr[NBUF]{};
    int16_t buf[NBUF][BLOCK]{};

    MMRESULT open()
    {
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 1;
        f.nSamplesPerSec = RATE;
        f.wBitsPerSample = 16;
        f.nBlockAlign = 2;
        f.nAvgBytesPerSec = RATE * 2;
        return waveOutOpen(&dev, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT);
    }
    bool busy() const
    {
        for (const WAVEHDR& h : hdr)
            if (h.dwFlags & WHDR_PREPARED && !(h.dwFlags & WHDR_DONE))
                return true;
        return false;
    }
    // Sends every free buffer the synthesiser can fill; false on a device error.
    bool feed(ssynth& sy)
    {
        for (int i = 0; i < NBUF && !synthdone(sy); i++) {
            WAVEHDR& h = hdr[i];
            if ((h.dwFlags & WHDR_PREPARED) && !(h.dwFlags & WHDR_DONE))
                continue;
            if (h.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(dev, &h, sizeof h);
            size_t n = synth(sy, buf[i], BLOCK);
            h = WAVEHDR{};
            h.lpData = reinterpret_cast<LPSTR>(buf[i]);
            h.dwBufferLength = static_cast<DWORD>(n * sizeof(int16_t));
            if (waveOutPrepareHeader(dev, &h, sizeof h) != MMSYSERR_NOERROR ||
                waveOutWrite(dev, &h, sizeof h) != MMSYSERR_NOERROR)
                return false;
        }
        return true;
    }
    ~swaveout()
    {
        if (dev) {
            waveOutReset(dev);
            for (WAVEHDR& h : hdr)
                if (h.dwFlags & WHDR_PREPARED)
                    waveOutUnprepareHeader(dev, &h, sizeof h);
            waveOutClose(dev);
        }
        CloseHandle(done);
    }
};

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
    auto makeplan = [&]() {
        if (r.mode == 1)
            return toneplan(r);
        if (r.mode == 0)
            return scoreplan(notes, r.start, r.end, r.speed, lateness(r, clockms()));
        return splan{};
    };
    if (makeplan().len == 0)
        return 0;
    auto out = std::make_unique<swaveout>();
    if (MMRESULT e = out->open(); e != MMSYSERR_NOERROR)
        return fail("no audio device: waveOut error " + std::to_string(e));
    ssynth sy;
    synthstart(sy, makeplan());
    int polls = 0;
    for (;;) {
        if (stopsignal())
            return 128 + stopsignal();
        if (++polls % 10 == 0 && watchgone(w))
            return fail("the editor has gone; stopping");
        if (!out->feed(sy))
            return fail("audio device failed");
        if (synthdone(sy) && !out->busy())
            return 0;
        WaitForSingleObject(out->done, 10);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a = utf8args(argc, argv);
    a.erase(a.begin());
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
