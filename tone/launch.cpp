// The tone player of an editor run.
#include "tone/launch.h"

#include "platform/proc.h"
#include "tone/protocol/resident.h"
#include "score/instrument.h"

#include <cstdlib>
#include <vector>

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
            err = a + " needs a value";
            return -1;
        }
        std::string v = argv[++i];
        if (a == "--instrument" && instrumentof(v) == NOINSTRUMENT) {
            err = "--instrument " + v + ": not one of " + instrumentchoices();
            return -1;
        }
        // Every player, the resident one and any started for a single
        // request, reads its instrument from the environment.
        setplayerenv(a == "--instrument" ? "PELLAVINE_INSTRUMENT" : "PELLAVINE_SOUNDFONT", v);
    }
    const char* env = std::getenv("PELLAVINE_INSTRUMENT");
    if (env && *env && instrumentof(env) == NOINSTRUMENT) {
        err = std::string("PELLAVINE_INSTRUMENT=") + env + ": not one of " + instrumentchoices();
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
}
