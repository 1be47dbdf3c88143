// SPDX-License-Identifier: MIT
#pragma once
// The Windows player's audio output: WASAPI in shared mode, event-driven,
// or waveOut where WASAPI cannot be opened. 48 kHz mono 16-bit from the
// engine; WASAPI converts it to the device's mix format.
//
// Expected latency from a request to the device (no Windows machine was at
// hand to measure it):
//   WASAPI   a 20 ms buffer asked for, refilled on each device event (every
//            10 ms, the shared engine's period): a new sound waits at most
//            one buffer, 20 ms, plus the engine's period, about 30 ms;
//   waveOut  four buffers of 25 ms kept queued: up to 100 ms.
// While nothing sounds neither wakes the player: the WASAPI stream is
// stopped once it has played what it held, and waveOut is given nothing.
#include "tone/player/player.h"

#include <windows.h>

#include <memory>
#include <string>

struct soutput {
    virtual ~soutput() = default;
    // Signalled when the device can take more samples.
    virtual HANDLE ready() = 0;
    // Gives the device what it can take while the engine sounds; false on a
    // device error.
    virtual bool feed(sengine& e) = 0;
    // True while the device still plays what it was given.
    virtual bool busy() = 0;
    // True while the device rests, fed nothing: ready() is not worth waiting
    // on until the next sound.
    virtual bool resting() = 0;
};

// The default device through WASAPI, else through waveOut; null with the
// reason in `why` when neither opens. PELLAVINE_AUDIO=waveout skips WASAPI;
// PELLAVINE_AUDIO=null drops the sound at the pace of a device (for tests).
std::unique_ptr<soutput> openoutput(std::string& why);
