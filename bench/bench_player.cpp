// SPDX-License-Identifier: MIT
// Speed and memory of the tone player on a long score.
//
//   bench_player [NOTES [OUT.wav]]
//
// Makes a score of NOTES notes (100000 by default) of one to four steps with
// a rest after every eighth, saves it as a score file, reads it back with
// the player's reader, plans it, renders all of it with the sine tone and its
// first notes with the piano to OUT.wav (/dev/null by default) and writes it
// as MIDI, and prints how long each part took, the rendering speeds as
// multiples of real time and the peak memory.
#include "score/midi.h"
#include "tone/player/musicxml.h"
#include "score/pvx.h"
#include "tone/player/player.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

constexpr size_t PIANONOTES = 3000;

double since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

long peakkib()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
#ifdef __APPLE__
    return ru.ru_maxrss / 1024;
#else
    return ru.ru_maxrss;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    std::string out = argc > 2 ? argv[2] : "/dev/null";
    if (count < 1) {
        std::fprintf(stderr, "usage: bench_player [NOTES [OUT.wav]]\n");
        return 2;
    }

    std::mt19937 rng(12345);
    std::vector<smusic> q;
    int t = 0;
    for (long i = 0; i < count; i++) {
        smusic m = rownote(static_cast<int>(1 + rng() % 83));
        if (m.pitch == 0)
            m = rownote(13 + 14 * static_cast<int>(rng() % 6)); // a C
        m.start = t;
        m.leng = static_cast<int>(1 + rng() % 4);
        t += m.leng + (i % 8 == 7 ? 1 : 0);
        q.push_back(m);
    }
    q.push_back(SENTINEL);
    std::string path = (std::filesystem::temp_directory_path() / "bench_player.pvx").string();
    std::string err;
    if (writefile(path, pvxwrite(pvxhead{}, q), err) != 0) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    q.clear();
    q.shrink_to_fit();
    long basekib = peakkib();

    auto t0 = std::chrono::steady_clock::now();
    std::vector<smusic> notes;
    if (readscore(path, notes, err) != 0) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    double tread = since(t0);

    t0 = std::chrono::steady_clock::now();
    splan plan = scoreplan(notes, 0, scoreend(notes), 1.0, 0);
    double tplan = since(t0);
    double seconds = static_cast<double>(plan.len) / RATE;

    // Renders with an instrument; seconds taken, or -1.
    auto render = [&](int program, const splan& p) {
        sengine e;
        std::string note;
        engineopen(e, sinstr{program, ""}, note);
        if (!note.empty())
            std::fprintf(stderr, "%s\n", note.c_str());
        auto r0 = std::chrono::steady_clock::now();
        if (writewav(out, e, p, err) != 0) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return -1.0;
        }
        return since(r0);
    };
    double twav = render(SINETONE, plan);
    // The piano on the first notes only: it is the slower of the two.
    std::vector<smusic> few(notes.begin(), notes.begin() + std::min<size_t>(notes.size(), PIANONOTES));
    splan pianoplan = scoreplan(few, 0, scoreend(few), 1.0, 0);
    double pianoseconds = static_cast<double>(pianoplan.len) / RATE;
    double tpiano = render(0, pianoplan);
    if (twav < 0 || tpiano < 0)
        return 1;

    t0 = std::chrono::steady_clock::now();
    std::string mid = midibytes(notes, 0);
    double tmid = since(t0);
    t0 = std::chrono::steady_clock::now();
    std::string xml = musicxmlbytes(notes, 0, DEFAULTBEAT, "bench");
    double txml = since(t0);
    t0 = std::chrono::steady_clock::now();
    midiscore imported;
    midierr ierr = midiread(mid, 0, imported);
    double timport = since(t0);

    std::printf("notes            %ld (%zu tones)\n", count, plan.tones.size());
    std::printf("sound            %.0f s (%.2f h), %lld samples at %d Hz\n", seconds, seconds / 3600,
                static_cast<long long>(plan.len), RATE);
    std::printf("read score       %.3f s\n", tread);
    std::printf("plan             %.3f s\n", tplan);
    std::printf("render to WAV    %.3f s  = %.0f x real time  (%s, sine tone)\n", twav, seconds / twav, out.c_str());
    std::printf("piano to WAV     %.3f s  = %.0f x real time  (first %zu notes, %.0f s of sound)\n", tpiano,
                pianoseconds / tpiano, PIANONOTES, pianoseconds);
    std::printf("MIDI             %.3f s, %zu bytes\n", tmid, mid.size());
    std::printf("MusicXML         %.3f s, %zu bytes\n", txml, xml.size());
    std::printf("MIDI import      %.3f s, %zu notes (%s)\n", timport, imported.notes.size(),
                ierr == midierr::ok ? "ok" : midicause(ierr));
    std::printf("peak memory      %ld KiB (%ld KiB before reading the score)\n", peakkib(), basekib);
    std::filesystem::remove(path);
    return 0;
}
