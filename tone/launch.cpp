// SPDX-License-Identifier: MIT
// The tone player of an editor run.
#include "tone/launch.h"

#include "console/width.h"
#include "platform/fileio.h"
#include "tone/players.h"
#include "tone/protocol/resident.h"
#include "tone/tone.h"
#include "score/instrument.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// A SoundFont named on the command line must be there and look like one (a
// RIFF file of form "sfbk"): the players load it later, out of sight.
bool soundfontok(const std::string& path, std::string& err)
{
    std::string head;
    iores r = readstart(path, head, 12);
    if (!r)
        err = "--soundfont " + visiblename(path) + "：" + failcause(r.why);
    else if (head.size() < 12 || head.compare(0, 4, "RIFF") != 0 || head.compare(8, 4, "sfbk") != 0)
        err = "--soundfont " + visiblename(path) + "：不是 SoundFont 音色库";
    return r && err.empty();
}

} // namespace

int toneoptions(int& argc, char** argv, std::string& err)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--") { // the rest are names, whatever they look like
            for (; i < argc; i++)
                rest.push_back(argv[i]);
            break;
        }
        if (i == 0 || (a != "--instrument" && a != "--soundfont")) {
            rest.push_back(argv[i]);
            continue;
        }
        if (i + 1 == argc) {
            err = a + " 后面缺少参数";
            return -1;
        }
        std::string v = argv[++i];
        if (a == "--soundfont" && !soundfontok(v, err))
            return -1;
        if (a == "--instrument" && instrumentof(v) == NOINSTRUMENT) {
            err = "--instrument " + visiblename(v) + "：不是可选的乐器（" + instrumentchoices() + "）";
            return -1;
        }
        // Every player, the resident one and any started for a single
        // request, reads its instrument from the environment.
        setplayerenv(a == "--instrument" ? "PELLAVINE_INSTRUMENT" : "PELLAVINE_SOUNDFONT", v);
    }
    const char* env = std::getenv("PELLAVINE_INSTRUMENT");
    if (env && *env && instrumentof(env) == NOINSTRUMENT) {
        err = std::string("PELLAVINE_INSTRUMENT=") + visiblename(env) + "：不是可选的乐器（" + instrumentchoices() + "）";
        return -1;
    }
    for (size_t i = 0; i < rest.size(); i++)
        argv[i] = rest[i];
    argc = static_cast<int>(rest.size());
    argv[argc] = nullptr;
    return 0;
}

void tonerunstart()
{
    tones.saidnodevice = false;
    stopresident();
    stopplayers();
    startresident();
}

void tonesilence()
{
    // The resident player stops every sound and stays, its sounds loaded;
    // without one, every player ends and a fresh resident one starts.
    if (!tellresident(stopmessage()))
        tonerunstart();
}

void toneexit()
{
    stopresident();
    stopplayers();
    removeplain(REQUESTFILE, tones.put);
}

std::string tonenote()
{
    for (const std::string& line : residentreplies()) {
        if (line == "sine unloadable")
            tones.notes.push_back("音色库无法加载，使用正弦音");
        else if (line == "sine nofont")
            tones.notes.push_back("找不到音色库，使用正弦音");
        else if (line == "sine nosynth")
            tones.notes.push_back("没有音色合成器，使用正弦音");
        else if (line == RESIDENTNODEVICE && !std::exchange(tones.saidnodevice, true))
            tones.notes.push_back("打不开声音设备，听不到声音");
    }
    if (tones.notes.empty())
        return {};
    std::string n = std::move(tones.notes.front());
    tones.notes.erase(tones.notes.begin());
    return n;
}
