// SPDX-License-Identifier: MIT
// Playback timing: the editor plays 2,000 steps at speed 20 (5 ms a step)
// with every frame written to a pseudo-terminal, and each marker step's frame
// is timed against when that step is due. Prints the median and worst
// lateness and the drift at the end.
#include "console/console.h"
#include "score/ring.h"
#include "editor/editor.h"
#include "files/files.h"
#include "menu/menu.h"
#include "platform/render.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <deque>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// The editor state the benchmark drives.
static seditor te;

namespace {

int master = -1, slave = -1;
Screen screen;
std::deque<int> keys;
std::vector<std::pair<int, double>> frames; // marker column, ms since the first step's frame
int lastx = -1;
size_t bytes = 0;

double nowms()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void show(const Grid& g)
{
    std::string out;
    rframe(screen, g, out);
    for (size_t done = 0; done < out.size();) {
        ssize_t n = write(slave, out.data() + done, out.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes += out.size();
    // The frame written before a step's wait shows the marker one column back.
    if (te.view.mousex != lastx) {
        frames.push_back({te.view.mousex - 1, nowms()});
        lastx = te.view.mousex;
    }
}

} // namespace

int main()
{
    char dir[] = "/tmp/pvbench.XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0)
        return 1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return 1;
    std::atomic<bool> done{false};
    std::thread drain([&] {
        char buf[65536];
        while (!done) {
            if (read(master, buf, sizeof buf) <= 0)
                break;
        }
    });

    scr.io = conio{};
    scr.io.show = show;
    scr.io.event = []() -> sevent {
        if (keys.empty())
            return codeevent(KEY_END);
        int k = keys.front();
        keys.pop_front();
        return codeevent(k);
    };
    scr.io.sleep = [](int ms) {
        timespec ts{ms / 1000, (ms % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    };
    scr.io.now = [] {
        timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        return stimems{ts.tv_sec, static_cast<short>(ts.tv_nsec / 1000000)};
    };
    te = seditor{};
    tbset(te.bar);

    // A saved score of 2,000 steps with a note on every other step, so that
    // the cursor row moves along with the marker.
    std::vector<smusic> v;
    for (int i = 0; i < 1000; i++) {
        smusic m = rownote(i % 2 ? 55 : 51);
        m.start = i * 2;
        m.leng = 1;
        v.push_back(m);
    }
    v.push_back(SENTINEL);
    te.doc.music.assign(v);
    te.doc.musicleng = 2000;
    te.doc.filepath = "bench.pvx";
    te.doc.filesaved = true;
    // Enter; Tab to the speed field; "20"; Tab to OK.
    for (int k : {13, 9, 9, 9, 9, 9, 9, 13})
        keys.push_back(k);
    for (int k : {int('2'), int('0'), 13})
        keys.push_back(k);
    for (int k : {9, 9, 13})
        keys.push_back(k);

    edit(te, false);
    done = true;
    close(slave);
    drain.join();

    // Frames of columns 0..1999 (the last one is shown when the range ends).
    std::vector<double> late;
    double t0 = -1;
    for (auto [col, t] : frames) {
        if (col == 0)
            t0 = t;
        if (t0 < 0 || col < 0 || col > 2000)
            continue;
        double due = static_cast<double>(static_cast<int64_t>(static_cast<float>(col * 100.0 / 20.0)));
        late.push_back(t - t0 - due);
    }
    if (late.size() < 100) {
        std::printf("too few frames: %zu\n", late.size());
        return 1;
    }
    std::vector<double> sorted = late;
    std::sort(sorted.begin(), sorted.end());
    std::printf("steps timed        %zu (5 ms per step, speed 20)\n", late.size());
    std::printf("lateness median    %.3f ms\n", sorted[sorted.size() / 2]);
    std::printf("lateness p99       %.3f ms\n", sorted[sorted.size() * 99 / 100]);
    std::printf("lateness worst     %.3f ms\n", sorted.back());
    std::printf("drift at the end   %.3f ms (last step's lateness)\n", late.back());
    std::printf("bytes to the pty   %zu (%.1f per step)\n", bytes, static_cast<double>(bytes) / static_cast<double>(late.size()));
    return 0;
}
