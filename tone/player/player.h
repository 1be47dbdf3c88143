// SPDX-License-Identifier: MIT
#pragma once
// The tone player's device-free parts: reading a request from "beepset.tmp",
// turning it (or a whole score) into a list of tones, sounding those tones
// with the sine tone or a SoundFont instrument a block at a time, mixing
// requests, and writing WAV and MIDI files.
#include "score/instrument.h"
#include "score/model.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int RATE = 48000;        // samples per second, mono
constexpr int RAMPMS = 5;          // fade in and out at every note edge, ms
constexpr double LEVEL = 0.5;      // peak amplitude, a fraction of full scale
constexpr int STEPTICKS = 96;      // MIDI ticks in one time step

// One request read from "beepset.tmp".
struct sreq {
    int mode = -1;         // -1 the empty request, 0 a stretch of a score, 1 one tone
    int64_t sec = 0;       // when the editor made the request: seconds since 1970
    int ms = 0;            // and milliseconds, 0 to 999
    std::string path;      // mode 0: the score file
    int start = 0;         // mode 0: first time step
    int end = 0;           // mode 0: the step at which playback ends
    double speed = 1.0;    // mode 0: one step lasts 100 / speed ms
    int64_t freq = 0;      // mode 1: Hz
    int leng = 0;          // mode 1: length in steps of 100 ms
};

// Reads a request. Line breaks may be CR LF or LF; blanks around fields are
// allowed. 0 on success; -1 with a one-line reason in `err` when the text is
// not a request. A text of nothing but blanks is the empty request.
int parsereq(const std::string& text, sreq& r, std::string& err);

// Reads and parses the request file at `path` (normally "beepset.tmp").
int loadreq(const std::string& path, sreq& r, std::string& err);

// Milliseconds from the request's time stamp to `nowms` (milliseconds since
// 1970); 0 when the stamp lies in the future. Saturates instead of overflowing.
int64_t lateness(const sreq& r, int64_t nowms);

// One tone: samples [s, e) of the output at `freq` Hz.
struct stone {
    int64_t s = 0;
    int64_t e = 0;
    double freq = 0;
};

// Everything that is to be heard: tones in ascending order that never overlap,
// inside [0, len) samples.
struct splan {
    std::vector<stone> tones;
    int64_t len = 0;
};

// Whether a note of a score sounds: it has a staff row 0 to 84 and a length.
bool sounds(const smusic& m);

// A note that sounds, as steps [s, e).
struct sspan {
    int64_t s = 0;
    int64_t e = 0;
    smusic m;
};
// The notes of a score that sound, in order of start, each one cut short
// where the next begins (a score file may hold overlapping notes).
std::vector<sspan> melody(const std::vector<smusic>& notes);

// A mode 1 request: one tone of r.freq Hz for r.leng x 100 ms. Frequencies
// that cannot be played at RATE (0, negative, at or above half of it) give
// silence of the same length.
splan toneplan(const sreq& r);

// The plan without its first `skipms` milliseconds; notes cut there begin at
// once. Skipping all of it leaves the empty plan.
splan skipplan(splan p, int64_t skipms);

// A stretch of a score: steps [start, end) at `speed`, beginning `skipms`
// milliseconds into it. `notes` may be in any order (a score file holds them
// in ring order); where notes overlap, the later one cuts the earlier short.
// Zero, negative or non-finite speeds and empty ranges give an empty plan.
splan scoreplan(const std::vector<smusic>& notes, int start, int end, double speed, int64_t skipms);

// The steps a whole score takes: from step 0 to the end of its last note that
// sounds (0 when none does).
int scoreend(const std::vector<smusic>& notes);

// Renders a plan block by block, with one phase that runs on from tone to
// tone and raised-cosine ramps of RAMPMS at both edges of every tone.
struct ssynth {
    splan plan;
    int64_t pos = 0;   // next sample to render
    size_t next = 0;   // first tone that has not ended before pos
    uint64_t phase = 0; // a fraction of a cycle, in units of 2^-64
};

void synthstart(ssynth& sy, splan plan);
// Writes up to `n` samples into `out`; returns how many (0 at the end).
size_t synth(ssynth& sy, int16_t* out, size_t n);
inline bool synthdone(const ssynth& sy) { return sy.pos >= sy.plan.len; }

// The instrument a player sounds with, from its command line and environment.
struct sinstr {
    int program = 0;        // General MIDI program, or SINETONE
    std::string soundfont;  // asked for with --soundfont or PELLAVINE_SOUNDFONT
    bool fontgiven = false; // asked for with --soundfont: it alone is tried, and
                            // failing to load it is an error
};

// Takes --instrument N|NAME and --soundfont PATH out of `args`; the values of
// PELLAVINE_INSTRUMENT and PELLAVINE_SOUNDFONT stand where an option is not
// given. 0, or -1 with a reason in `err`.
int instrargs(std::vector<std::string>& args, sinstr& in, std::string& err);

// The SoundFonts to try, in order; this list is the one place that order is
// written (the manual pages describe it): the one asked for (when not ""),
// then those of systemsoundfonts() (platform/playerenv.h): on Linux the
// system's default General MIDI SoundFont and the one installed with
// Pellavine, on Windows the one beside the programs. The first that loads is
// used.
std::vector<std::string> soundfonts(const std::string& asked);

// Why an engine sounds the sine tone although an instrument was asked for.
enum class fontfall {
    none,       // it sounds the instrument (or the sine tone was asked for)
    nosynth,    // this build has no SoundFont synthesiser
    nofont,     // none of the SoundFonts exists
    unloadable, // some exist, but none could be loaded
};
// The word for a fallback in the resident player's reply to the editor.
const char* fontfallword(fontfall f);
// The first of `paths` that is a regular file that can be read, or "".
std::string firstfile(const std::vector<std::string>& paths);

// MIDI key nearest to a frequency (A of octave 3, 440 Hz, is 69), 0 to 127.
int keyof(double freq);

constexpr int VELOCITY = 100;
constexpr int RELEASEMS = 1500; // a WAV file's time after the last note for its release

struct sfluid; // a FluidSynth synthesiser with its SoundFont loaded

// A request being heard: a plan laid on the engine's clock.
struct svoice {
    splan plan;
    int64_t at = 0;        // engine sample at which the plan's sample 0 sounds
    bool playback = false; // a stretch of a score, not a tone
    int chan = 0;          // the synthesiser's channel
    size_t ev = 0;         // next note event: tone ev / 2 begins (even) or ends (odd)
    ssynth sine;           // the sine tone's renderer
};

// Mixes requests: tones sound over each other, and a playback replaces the
// playback heard so far. Sounds with a SoundFont instrument, or with the sine
// tone when `fl` is null.
struct sengine {
    sfluid* fl = nullptr;
    int64_t pos = 0; // samples rendered so far
    std::vector<svoice> voices;
    int nexttone = 0;    // the last tone's channel, counted among the tone channels
    bool silent = false; // nothing has sounded since the last note died away
    int64_t fadeend = -1; // an instrument fading out after a stop: silenced at this sample
    double peak = 0;      // the sine tones' mix: its recent peak, for the limiter
    sengine() = default;
    ~sengine();
    sengine(const sengine&) = delete;
    sengine& operator=(const sengine&) = delete;
};

// Makes the engine sound `in`: loads the SoundFont for a General MIDI program.
// When no SoundFont can be found or FluidSynth fails, the engine sounds the
// sine tone and `note` says why in one line; otherwise `note` is "".
// With `in.fontgiven` only that SoundFont is tried. Returns the fallback.
fontfall engineopen(sengine& e, const sinstr& in, std::string& note);
// The same with the SoundFont already chosen ("" when there is none).
void engineload(sengine& e, int program, const std::string& soundfont, std::string& note);
// Lets the next samples sound `plan` from its start.
void engineadd(sengine& e, splan plan, bool playback);
// Stops every sound: the sine tone fades out over RAMPMS, an instrument too,
// and then every note of it, released ones included, ends.
void enginestop(sengine& e);
// Renders the next `n` samples; silence when nothing sounds.
void enginerender(sengine& e, int16_t* out, size_t n);
// True while a request still sounds or a released note still dies away.
bool enginebusy(const sengine& e);
// True when the engine sounds a SoundFont instrument.
inline bool enginesynth(const sengine& e) { return e.fl != nullptr; }

// Writes the plan, sounded by `e`, to `path` as a 16-bit mono PCM WAV file,
// rendering a block at a time; with an instrument, RELEASEMS follow the plan
// for the last note to die away. 0 on success; -1 with a reason in `err` (a
// file that cannot be written completely is removed).
int writewav(const std::string& path, sengine& e, const splan& plan, std::string& err);

// Appends a MIDI variable-length quantity (0 to 0x0FFFFFFF).
void midivlq(std::string& out, uint32_t v);
// The whole score as a Standard MIDI File: format 0, one track, one step
// STEPTICKS ticks and 100 ms, a quarter note `beat` steps (the division is
// STEPTICKS x beat ticks, the tempo beat x 100 ms a quarter), 4/4 time, A of
// octave 3 key 69. The track is named `title` (no name when ""); a General
// MIDI `program` is set at the start (none for SINETONE).
std::string midibytes(const std::vector<smusic>& notes, int program, int beat = 4, const std::string& title = "");
// MIDI key of a note (C of octave 3 is 60), or -1 when it has none.
int midikey(const smusic& m);

// Reads the notes of the score file at `path` with the project's score
// reader. 0 on success; -1 with a reason in `err`.
int readscore(const std::string& path, std::vector<smusic>& notes, std::string& err);

// What a request plays, starting `skipms` into a score stretch (mode 1 and
// the empty request ignore it). Reads the score file for mode 0. 0 on
// success; -1 with a reason in `err`.
int reqplan(const sreq& r, int64_t skipms, splan& plan, std::string& err);

// Writes `bytes` to `path` completely, or removes what was written. 0 or -1
// with a reason in `err`.
int writefile(const std::string& path, const std::string& bytes, std::string& err);
