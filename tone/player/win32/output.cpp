// SPDX-License-Identifier: MIT
// The Windows player's audio outputs of output.h.
#include "tone/player/win32/output.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What the engine makes: 16-bit mono PCM at RATE.
WAVEFORMATEX pcmformat()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = RATE;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = RATE * 2;
    return f;
}

// The waveOut device with a ring of buffers that are refilled from the
// engine as the device hands them back.
struct swaveout final : soutput {
    static constexpr int NBUF = 4;
    static constexpr size_t BLOCK = RATE / 40; // 25 ms a buffer, 100 ms queued
    HWAVEOUT dev = nullptr;
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEHDR hdr[NBUF]{};
    int16_t buf[NBUF][BLOCK]{};

    HANDLE ready() override { return done; }
    MMRESULT open()
    {
        WAVEFORMATEX f = pcmformat();
        return waveOutOpen(&dev, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT);
    }
    bool resting() override { return !busy(); }
    bool busy() override
    {
        for (const WAVEHDR& h : hdr)
            if (h.dwFlags & WHDR_PREPARED && !(h.dwFlags & WHDR_DONE))
                return true;
        return false;
    }
    // Sends every free buffer while the engine still sounds; false on a
    // device error.
    bool feed(sengine& e) override
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
    ~swaveout() override
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


// The default render endpoint in shared mode, fed on its event.
struct swasapi final : soutput {
    static constexpr REFERENCE_TIME BUFFER = 200000; // 20 ms, in units of 100 ns
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    IMMDevice* dev = nullptr;
    IAudioClient* client = nullptr;
    IAudioRenderClient* render = nullptr;
    UINT32 frames = 0;
    bool com = false;
    bool running = false;

    HRESULT open()
    {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        com = SUCCEEDED(hr);
        IMMDeviceEnumerator* en = nullptr;
        hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                              reinterpret_cast<void**>(&en));
        if (FAILED(hr))
            return hr;
        hr = en->GetDefaultAudioEndpoint(eRender, eConsole, &dev);
        en->Release();
        if (FAILED(hr))
            return hr;
        hr = dev->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
        if (FAILED(hr))
            return hr;
        WAVEFORMATEX f = pcmformat();
        DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                      AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
        if (FAILED(hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, BUFFER, 0, &f, nullptr)) ||
            FAILED(hr = client->SetEventHandle(event)) || FAILED(hr = client->GetBufferSize(&frames)) ||
            FAILED(hr = client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&render))))
            return hr;
        hr = client->Start();
        running = SUCCEEDED(hr);
        return hr;
    }
    HANDLE ready() override { return event; }
    // While nothing sounds and the device has played what it held, the
    // stream is stopped, so that its event stops waking the player every
    // period; the next sound is written first and then the stream started.
    bool feed(sengine& e) override
    {
        UINT32 pad = 0;
        if (FAILED(client->GetCurrentPadding(&pad)))
            return false;
        if (!enginebusy(e)) {
            if (running && pad == 0) {
                running = false;
                return SUCCEEDED(client->Stop());
            }
            return true; // the device plays silence when it runs dry
        }
        if (UINT32 n = frames - pad; n > 0) {
            BYTE* data = nullptr;
            if (FAILED(render->GetBuffer(n, &data)))
                return false;
            enginerender(e, reinterpret_cast<int16_t*>(data), n);
            if (FAILED(render->ReleaseBuffer(n, 0)))
                return false;
        }
        if (!running)
            running = SUCCEEDED(client->Start());
        return running;
    }
    bool resting() override { return !running; }
    bool busy() override
    {
        UINT32 pad = 0;
        return SUCCEEDED(client->GetCurrentPadding(&pad)) && pad > 0;
    }
    ~swasapi() override
    {
        if (client && running)
            client->Stop();
        if (render)
            render->Release();
        if (client)
            client->Release();
        if (dev)
            dev->Release();
        if (com)
            CoUninitialize();
        CloseHandle(event);
    }
};

// No device: takes samples as fast as a device would and drops them (for
// tests on machines without sound, like SDL's dummy driver on Linux).
struct snull final : soutput {
    static constexpr size_t BLOCK = RATE / 100; // 10 ms
    HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    int16_t buf[BLOCK]{};

    bool running = false;

    HANDLE ready() override { return timer; }
    // Like the real device, it rests while nothing sounds.
    bool feed(sengine& e) override
    {
        if (!enginebusy(e)) {
            if (running)
                CancelWaitableTimer(timer);
            running = false;
            return true;
        }
        if (!running) {
            LARGE_INTEGER due{};
            due.QuadPart = -100000; // 10 ms from now, then every 10 ms
            running = SetWaitableTimer(timer, &due, 10, nullptr, nullptr, FALSE);
        }
        enginerender(e, buf, BLOCK);
        return true;
    }
    bool busy() override { return false; }
    bool resting() override { return !running; }
    ~snull() override { CloseHandle(timer); }
};

} // namespace

std::unique_ptr<soutput> openoutput(std::string& why)
{
    const char* asked = std::getenv("PELLAVINE_AUDIO");
    if (asked && std::strcmp(asked, "null") == 0)
        return std::make_unique<snull>();
    std::string wasapiwhy;
    if (!asked || std::strcmp(asked, "waveout") != 0) {
        auto w = std::make_unique<swasapi>();
        HRESULT hr = w->open();
        if (SUCCEEDED(hr))
            return w;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(hr));
        wasapiwhy = std::string("WASAPI error 0x") + hex + ", ";
    }
    auto o = std::make_unique<swaveout>();
    if (MMRESULT m = o->open(); m != MMSYSERR_NOERROR) {
        why = "no audio device: " + wasapiwhy + "waveOut error " + std::to_string(m);
        return nullptr;
    }
    return o;
}
