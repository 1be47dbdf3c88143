// SPDX-License-Identifier: MIT
// pellavine-beep.exe: the tone player on Windows. Plays the request the editor
// leaves in "beepset.tmp" through waveOut, or renders it, or a whole score,
// to a WAV or MIDI file exactly as the player on other systems does.
#include "platform/playerenv.h"
#include "platform/utf8.h"
#include "tone/player/cli.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "Usage: pellavine-beep [INSTRUMENT]                play the request in .\\beepset.tmp\n"
    "       pellavine-beep [INSTRUMENT] --wav OUT.wav  render that request to a WAV file\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.wav\n"
    "       pellavine-beep [INSTRUMENT] --export SCORE.pvx OUT.mid|OUT.musicxml\n"
    "                      [--beat STEPS] [--title TEXT]\n"
    "       pellavine-beep --help\n"
    "INSTRUMENT: --instrument N|NAME  --soundfont PATH\n";

const char* const help =
    "This Windows build plays the sine tone: no SoundFont synthesiser is built\n"
    "for Windows. --instrument sets only the program of a MIDI file, and an\n"
    "instrument other than tone is noted on standard error. Sound goes to the\n"
    "default audio device through waveOut.\n"
    "The player runs in the editor's job object, so it ends with the editor; it\n"
    "also stops within a second when the program named by PELLAVINE_PID has\n"
    "gone, and at once on Ctrl+C or Ctrl+Break.\n"
    "\n";

// The waveOut device with a ring of buffers that are refilled from the
// engine as the device hands them back.
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
    // Sends every free buffer while the engine still sounds; false on a
    // device error.
    bool feed(sengine& e)
    {
        for (int i = 0; i < NBUF && enginebusy(e); i++) {
            WAVEHDR& h = hdr[i];
            if ((h.dwFlags & WHDR_PREPARED) && !(h.dwFlags & WHDR_DONE))
                continue;
            if (h.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(dev, &h, sizeof h);
            enginerender(e, buf[i], BLOCK);
            h = WAVEHDR{};
            h.lpData = reinterpret_cast<LPSTR>(buf[i]);
            h.dwBufferLength = static_cast<DWORD>(BLOCK * sizeof(int16_t));
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

int devicemode(const sinstr& in)
{
    catchstops();
    swatch w = watchstart();
    sreq r;
    splan plan;
    std::string err;
    if (int got = requestplan(r, plan, err); got <= 0)
        return got < 0 ? playerfail(err) : 0;
    sengine e;
    playeropen(e, in);
    auto out = std::make_unique<swaveout>();
    if (MMRESULT m = out->open(); m != MMSYSERR_NOERROR)
        return playerfail("no audio device: waveOut error " + std::to_string(m));
    // Planned again now that the device is open, so that the time opening
    // took is skipped too.
    if (r.mode == 0 && lateplan(r, 0, plan, err) != 0)
        plan = splan{};
    engineadd(e, std::move(plan), r.mode == 0);
    for (int polls = 0;; WaitForSingleObject(out->done, 10)) {
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
    int status = 0;
    if (filemode(a, in, status))
        return status;
    std::fputs(usage, stderr);
    return 2;
}
