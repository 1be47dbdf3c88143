// SPDX-License-Identifier: MIT
#include "tone/player/player.h"

#include "platform/playerenv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string envof(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

int instrargs(std::vector<std::string>& args, sinstr& in, std::string& err)
{
    std::string instrument = envof("PELLAVINE_INSTRUMENT");
    bool fromenv = !instrument.empty();
    in.soundfont = envof("PELLAVINE_SOUNDFONT");
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        if (a != "--instrument" && a != "--soundfont") {
            rest.push_back(a);
            continue;
        }
        if (i + 1 == args.size()) {
            err = a + " needs a value";
            return -1;
        }
        (a == "--instrument" ? instrument : in.soundfont) = args[++i];
        if (a == "--instrument")
            fromenv = false;
        else
            in.fontgiven = true;
    }
    in.program = instrument.empty() ? 0 : instrumentof(instrument);
    if (in.program == NOINSTRUMENT) {
        err = std::string(fromenv ? "PELLAVINE_INSTRUMENT" : "--instrument") + " \"" + instrument +
              "\" is not one of " + instrumentchoices();
        return -1;
    }
    args = std::move(rest);
    return 0;
}

std::vector<std::string> soundfonts(const std::string& asked)
{
    std::vector<std::string> v;
    if (!asked.empty())
        v.push_back(asked);
    for (const std::string& p : systemsoundfonts())
        v.push_back(p);
    return v;
}

std::string firstfile(const std::vector<std::string>& paths)
{
    for (const std::string& p : paths) {
        struct stat st{};
        if (stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), R_OK) == 0)
            return p;
    }
    return {};
}

int keyof(double freq)
{
    if (!(freq > 0))
        return 0;
    long key = 69 + std::lround(12.0 * std::log2(freq / 440.0));
    return static_cast<int>(std::clamp(key, 0L, 127L));
}
