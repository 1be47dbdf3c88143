// SPDX-License-Identifier: MIT
// Reading a SoundFont file for the sample player of sf2synth.h (apart from
// the synthesiser itself, which does no I/O).
#include "tone/player/sf2synth.h"

#include "platform/fileio.h"

namespace {

constexpr uint64_t MAXREAD = uint64_t{1} << 30; // the largest SoundFont read

} // namespace

sf2synth* sf2load(const std::string& path, int program, int rate, std::string& why)
{
    std::string bytes, err;
    if (!readwhole(path, bytes, &err, MAXREAD)) {
        why = "cannot read the SoundFont " + path + ": " + err;
        return nullptr;
    }
    sf2font font;
    if (sf2parse(bytes, font, err) != 0) {
        why = "cannot use the SoundFont " + path + ": " + err;
        return nullptr;
    }
    sf2synth* s = sf2make(std::move(font), program, rate, err);
    if (!s)
        why = err + " (" + path + ")";
    return s;
}

