// SPDX-License-Identifier: MIT
// Fuzz target for the SoundFont 2 reader and the sample player: any bytes
// must be either refused or read into a font whose every zone can be played
// without reading outside the sample data.
#include "tone/player/sf2synth.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sf2font font;
    std::string err;
    if (sf2parse(std::string_view(reinterpret_cast<const char*>(data), size), font, err) != 0) {
        if (err.empty() || !font.presets.empty())
            std::abort();
        return 0;
    }
    // A few notes of every preset, each held, released and rendered briefly.
    double out[256];
    for (size_t p = 0; p < font.presets.size() && p < 16; p++)
        for (int key : {0, 60, 127})
            for (const sf2note& n : sf2notes(font, static_cast<int>(p), key, 100)) {
                sf2voice v = sf2voicefor(font, n, key, 48000);
                sf2voicerender(font, v, out, 128);
                sf2voicerelease(v);
                sf2voicerender(font, v, out + 128, 128);
            }
    return 0;
}
