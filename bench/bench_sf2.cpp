// SPDX-License-Identifier: MIT
// The cost of the two SoundFont synthesisers on TimGM6mb.sf2: loading it, and
// rendering a minute of piano notes (a new note every 100 ms, each held
// 400 ms: about five voices at once). Prints both.
#include "tone/player/fluid.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double msince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int main()
{
    const char* font = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    for (bool own : {false, true}) {
        if (own)
            setenv("PELLAVINE_SYNTH", "own", 1);
        std::string why;
        auto t0 = std::chrono::steady_clock::now();
        sfluid* f = fluidload(font, 0, why);
        if (!f) {
            std::fprintf(stderr, "bench_sf2: %s\n", why.c_str());
            return 1;
        }
        double load = msince(t0);
        std::vector<int16_t> block(4800); // 100 ms
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < 600; i++) {
            fluidnoteon(f, i % 14, 48 + (i * 7) % 36, 100);
            if (i >= 4)
                fluidnoteoff(f, (i - 4) % 14, 48 + ((i - 4) * 7) % 36);
            fluidrender(f, block.data(), block.size());
        }
        double render = msince(t1);
        std::printf("%-10s load %5.0f ms, 60 s of sound rendered in %5.0f ms (%.2f%% of real time)\n",
                    own ? "own" : "FluidSynth", load, render, render / 600.0);
        fluidfree(f);
    }
}
