// SPDX-License-Identifier: MIT
// The command line shared by the tone players of every system.
#include "tone/player/cli.h"

#include "console/width.h"
#include "platform/playerenv.h"
#include "tone/player/musicxml.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

const char* const HELPREQUESTS =
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
;

const char* const HELPINSTRUMENT =
    "Options:\n"
    "  --instrument N|NAME\n"
    "                     General MIDI program 0-127, or piano (0, the default),\n"
    "                     organ, guitar, violin, flute, clarinet, trumpet, voice;\n"
    "                     tone plays the sine tone. PELLAVINE_INSTRUMENT when not\n"
    "                     given.\n"
    "  --soundfont PATH   the SoundFont to use; it alone is tried, and one that\n"
    "                     cannot be loaded is an error (exit status 2).\n"
    "                     PELLAVINE_SOUNDFONT names one to try first instead.\n";

const char* const HELPFILES =
    "  --wav OUT.wav      write the request's sound, all of it, to a 16-bit mono\n"
    "                     48 kHz WAV file instead of playing it; an instrument's\n"
    "                     last note has 1.5 s to die away\n"
    "  --export SCORE.pvx OUT.wav\n"
    "                     render a whole score at normal speed (one step 100 ms)\n"
    "  --export SCORE.pvx OUT.mid\n"
    "                     write a whole score as a Standard MIDI File: format 0,\n"
    "                     one track named with the title, 4/4 time, a quarter\n"
    "                     note of --beat steps (tempo 600 / STEPS bpm), one step\n"
    "                     96 ticks and 100 ms, A of octave 3 key 69, its C key\n"
    "                     60, the instrument's program set at the start\n"
    "  --export SCORE.pvx OUT.musicxml\n"
    "                     write a whole score as MusicXML 4.0 sheet music: one\n"
    "                     part with the instrument, the title, a tempo mark, 4/4\n"
    "                     measures, notes tied across bar lines, rests, sharps\n"
    "                     as on the staff\n"
    "  --beat STEPS       time steps in a quarter note for --export to MIDI and\n"
    "                     MusicXML: 1, 2, 4 (the default: a step is a sixteenth\n"
    "                     note, 150 bpm), 8 or 16\n"
    "  --title TEXT       the title written by --export (the score file's name\n"
    "                     when not given)\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 done, 1 a request, file or device that could not be used,\n"
    "2 a wrong command line, 128 + N when stopped by signal N.\n";

namespace {

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

int wavmode(const std::string& out, const sinstr& in)
{
    sreq r;
    std::string err;
    if (loadreq("beepset.tmp", r, err) != 0)
        return playerfail(err);
    splan plan;
    if (reqplan(r, 0, plan, err) != 0)
        return playerfail(err);
    sengine e;
    if (int rc = playeropen(e, in); rc != 0)
        return rc;
    if (writewav(out, e, plan, err) != 0)
        return playerfail(err);
    return 0;
}

// What --export is asked for.
struct sexport {
    std::string score, out;
    int beat = DEFAULTBEAT;
    std::string title; // the score file's name when not given
    bool titled = false;
};

// "--export SCORE OUT" with --beat STEPS and --title TEXT anywhere after it.
int exportargs(const std::vector<std::string>& args, sexport& x)
{
    std::vector<std::string> names;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string& a = args[i];
        if (a == "--beat" || a == "--title") {
            if (i + 1 >= args.size())
                return playerfail(a + " needs a value", 2);
            const std::string& v = args[++i];
            if (a == "--title") {
                x.title = v;
                x.titled = true;
                continue;
            }
            x.beat = v.size() <= 2 && !v.empty() && v.find_first_not_of("0123456789") == std::string::npos
                         ? std::stoi(v)
                         : 0;
            if (!beatok(x.beat))
                return playerfail("--beat " + v + ": not one of 1, 2, 4, 8, 16", 2);
        } else {
            names.push_back(a);
        }
    }
    if (names.size() != 2)
        return playerfail("--export needs a score file and an output file", 2);
    x.score = names[0];
    x.out = names[1];
    if (!x.titled) {
        size_t slash = x.score.find_last_of("/\\");
        x.title = slash == std::string::npos ? x.score : x.score.substr(slash + 1);
        if (size_t dot = x.title.rfind('.'); dot != std::string::npos && dot > 0)
            x.title.erase(dot);
    }
    return 0;
}

int exportmode(const std::vector<std::string>& args, const sinstr& in)
{
    sexport x;
    if (int rc = exportargs(args, x); rc != 0)
        return rc;
    const std::string& out = x.out;
    bool mid = hasext(out, ".mid") || hasext(out, ".midi");
    bool xml = hasext(out, ".musicxml") || hasext(out, ".xml");
    if (!mid && !xml && !hasext(out, ".wav"))
        return playerfail("the output file must end in .wav, .mid or .musicxml: " + out, 2);
    std::vector<smusic> notes;
    std::string err;
    if (readscore(x.score, notes, err) != 0)
        return playerfail(err);
    if (mid || xml) {
        std::string bytes = mid ? midibytes(notes, in.program, x.beat, x.title)
                                : musicxmlbytes(notes, in.program, x.beat, x.title);
        return writefile(out, bytes, err) == 0 ? 0 : playerfail(err);
    }
    sengine e;
    if (int rc = playeropen(e, in); rc != 0)
        return rc;
    if (writewav(out, e, scoreplan(notes, 0, scoreend(notes), 1.0, 0), err) != 0)
        return playerfail(err);
    return 0;
}

} // namespace

int playerfail(const std::string& why, int status)
{
    std::string s = "pellavine-beep: ";
    s += visiblename(why);
    s += '\n';
    std::fputs(s.c_str(), stderr);
    return status;
}

int playeropen(sengine& e, const sinstr& in, fontfall* fall)
{
    std::string note;
    fontfall f = engineopen(e, in, note);
    if (fall)
        *fall = f;
    if (in.fontgiven && (f == fontfall::nofont || f == fontfall::unloadable)) {
        const std::string sine = "; playing the sine tone";
        if (note.size() > sine.size() && note.compare(note.size() - sine.size(), sine.size(), sine) == 0)
            note.resize(note.size() - sine.size()); // it does not: it stops
        return playerfail(note, 2);
    }
    if (!note.empty())
        playerfail(note);
    return 0;
}

int lateplan(const sreq& r, int64_t readyms, splan& plan, std::string& err)
{
    int64_t now = clockms();
    if (r.mode == 0)
        return reqplan(r, lateness(r, now), plan, err);
    plan = r.mode == 1 ? skipplan(toneplan(r), lateness(r, std::min(now, readyms))) : splan{};
    return 0;
}

int requestplan(sreq& r, splan& plan, std::string& err)
{
    if (loadreq("beepset.tmp", r, err) != 0)
        return -1;
    if ((r.mode == 1 ? reqplan(r, 0, plan, err) : lateplan(r, 0, plan, err)) != 0)
        return -1;
    return plan.len == 0 ? 0 : 1;
}

bool filemode(const std::vector<std::string>& args, const sinstr& in, int& status)
{
    if (args.size() == 2 && args[0] == "--wav")
        status = wavmode(args[1], in);
    else if (!args.empty() && args[0] == "--export")
        status = exportmode(args, in);
    else
        return false;
    return true;
}
