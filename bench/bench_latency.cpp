// SPDX-License-Identifier: MIT
// How soon the editor's sounds are heard, on the real editor in a
// pseudo-terminal, with SDL's disk audio driver standing in for a sound card.
//
//   bench_latency [PRESSES]
//
// For the sine tone and for the piano it prints: the time from starting the
// editor to its first frame, with the resident player and without one (the
// editor alone in a folder without pellavine-beep); the time from the first
// 'b' pressed at once after the first frame to the first sound; the median,
// least and most of PRESSES (8) later presses of 'b'; the first step of a
// playback (Enter, the play settings confirmed); 'b' once the resident player
// has been killed and every request starts a player of its own; and the
// resident player's CPU use while idle (over 10 s) and its resident memory.
//
// Latency is measured from writing the key to the terminal to the moment the
// first non-silent sample was made and handed to the disk driver. The driver
// writes through a stdio buffer of 4096 bytes (42.7 ms of sound), so that
// moment is worked out from when the file grows: each growth shows when the
// bytes up to the new size, plus the device block (512 bytes) the buffer
// still holds, had been made; a straight line through the growths of the
// half second around the sample gives its moment, to about a millisecond.
#include "score/pvx.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using clk = std::chrono::steady_clock;

constexpr double BYTESPERSEC = 48000.0 * 2; // the player's device: 16-bit mono at 48 kHz
constexpr double HELD = 512;                // one device block still in the driver's buffer

double secs(clk::time_point a, clk::time_point b) { return std::chrono::duration<double>(b - a).count(); }
double ms(clk::time_point a, clk::time_point b) { return 1000 * secs(a, b); }
void sleepms(double m) { usleep(static_cast<useconds_t>(m * 1000)); }

// The disk driver's output file, read as it grows.
struct sdisk {
    std::string path;
    size_t scanned = 0;     // bytes looked at
    size_t lastsound = 0;   // end of the last non-silent sample seen
    // When each write reached the file: the driver had then made the bytes
    // up to the file's size plus the block it still holds.
    std::vector<std::pair<double, clk::time_point>> made;
    // Reads what is new. Returns the byte offset of the first non-silent
    // sample in it, or -1.
    long long poll()
    {
        struct stat st{};
        if (stat(path.c_str(), &st) != 0)
            return -1;
        if (static_cast<size_t>(st.st_size) < scanned) // a new player has started the file afresh
            scanned = lastsound = 0, made.clear();
        if (static_cast<size_t>(st.st_size) == scanned)
            return -1;
        made.emplace_back(static_cast<double>(st.st_size) + HELD, clk::now());
        std::ifstream f(path, std::ios::binary);
        f.seekg(static_cast<std::streamoff>(scanned));
        std::string b(static_cast<size_t>(st.st_size) - scanned, '\0');
        f.read(b.data(), static_cast<std::streamsize>(b.size()));
        b.resize(static_cast<size_t>(f.gcount()) & ~size_t{1});
        long long first = -1;
        for (size_t i = 0; i < b.size(); i += 2)
            if (b[i] != 0 || b[i + 1] != 0) {
                if (first < 0)
                    first = static_cast<long long>(scanned + i);
                lastsound = scanned + i + 2;
            }
        scanned += b.size();
        return first;
    }
    // When byte `at` was made: a straight line fitted to the writes of the
    // half second around it (the driver's pace is steady, each write's
    // moment is not).
    clk::time_point madeat(double at) const
    {
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        const clk::time_point base = made.empty() ? clk::now() : made.front().second;
        for (const auto& [bytes, t] : made) {
            if (std::abs(bytes - at) > 0.25 * BYTESPERSEC)
                continue;
            double y = secs(base, t);
            n++, sx += bytes, sy += y, sxx += bytes * bytes, sxy += bytes * y;
        }
        double y;
        if (n >= 2 && n * sxx - sx * sx > 0) {
            double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
            y = (sy - slope * sx) / n + slope * at;
        } else {
            y = made.empty() ? 0 : secs(base, made.back().second) - (made.back().first - at) / BYTESPERSEC;
        }
        return base + std::chrono::microseconds(static_cast<long long>(y * 1e6));
    }
    // When the first sound after now was made; a time_point of 0 when none
    // comes within `timeoutms`.
    clk::time_point nextsound(double timeoutms)
    {
        auto end = clk::now() + std::chrono::microseconds(static_cast<long long>(timeoutms * 1000));
        while (clk::now() < end) {
            long long at = poll();
            if (at >= 0) {
                // Later writes pin down the pace around it.
                while (static_cast<double>(scanned) < static_cast<double>(at) + 0.25 * BYTESPERSEC &&
                       clk::now() < end + std::chrono::seconds(1)) {
                    poll();
                    usleep(200);
                }
                // The sample was made with the rest of its device block.
                return madeat(std::ceil((static_cast<double>(at) + 2) / HELD) * HELD);
            }
            usleep(200);
        }
        return {};
    }
    // Waits until `quietms` of silence have been written after the last sound.
    bool quiet(double quietms, double timeoutms = 10000)
    {
        auto end = clk::now() + std::chrono::microseconds(static_cast<long long>(timeoutms * 1000));
        while (clk::now() < end) {
            poll();
            if (scanned > lastsound && (scanned - lastsound) / BYTESPERSEC * 1000 >= quietms)
                return true;
            usleep(1000);
        }
        return false;
    }
};

// The editor in a pseudo-terminal of 120 x 30.
struct seditor {
    int master = -1;
    pid_t pid = -1;
    clk::time_point started;
    clk::time_point lastout;
    size_t outbytes = 0;

    bool start(const std::string& exe, const std::string& dir, const std::vector<std::string>& args,
               const std::vector<std::string>& env)
    {
        winsize ws{};
        ws.ws_col = 120;
        ws.ws_row = 30;
        int slave = -1;
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0)
            return false;
        started = clk::now();
        pid = fork();
        if (pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            close(master);
            close(slave);
            if (chdir(dir.c_str()) != 0)
                _exit(126);
            setenv("TERM", "xterm-256color", 1);
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(slave);
        return pid > 0;
    }
    // Reads output until none has come for `quietms`; returns when the last
    // byte came.
    clk::time_point settle(double quietms = 150)
    {
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(quietms)) <= 0)
                return lastout;
            char buf[65536];
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0)
                return lastout;
            outbytes += static_cast<size_t>(n);
            lastout = clk::now();
        }
    }
    // Drains output without waiting.
    void drain()
    {
        char buf[65536];
        for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 0) > 0;)
            if (read(master, buf, sizeof buf) <= 0)
                return;
    }
    clk::time_point send(const std::string& keys)
    {
        drain();
        auto t = clk::now();
        ssize_t n = write(master, keys.data(), keys.size());
        (void)n;
        return t;
    }
    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (master >= 0)
            close(master);
        pid = -1;
        master = -1;
    }
};

// The pellavine-beep whose parent is `parent`, or -1.
pid_t playerof(pid_t parent)
{
    for (const auto& e : fs::directory_iterator("/proc")) {
        std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream f(e.path() / "stat");
        std::string line;
        std::getline(f, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(pellavine-beep)") == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent)
            return static_cast<pid_t>(std::stol(name));
    }
    return -1;
}

// CPU seconds a process has used, all its threads, to the nanosecond.
double cputime(pid_t pid)
{
    double total = 0;
    std::error_code ec;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream f(t.path() / "schedstat");
        double ns = 0;
        if (f >> ns)
            total += ns / 1e9;
    }
    return total;
}

long rsskib(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

struct sfigures {
    std::vector<double> v;
    void add(double x) { v.push_back(x); }
    std::string text() const
    {
        if (v.empty())
            return "no sound heard";
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        double med = s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
        char b[160];
        std::snprintf(b, sizeof b, "median %5.1f ms  (%.1f to %.1f, %zu presses)", med, s.front(), s.back(),
                      s.size());
        return b;
    }
};

// Presses `key` and returns the latency in ms, or -1 when nothing is heard.
double press(seditor& ed, sdisk& disk, const std::string& key, double quietms)
{
    if (!disk.quiet(quietms))
        return -1000;
    auto t0 = ed.send(key);
    auto heard = disk.nextsound(5000);
    return heard == clk::time_point{} ? -1000 : ms(t0, heard);
}

std::string scratch()
{
    std::string t = (fs::temp_directory_path() / "bench_latency-XXXXXX").string();
    return mkdtemp(t.data()) ? t : "";
}

void instrumentrun(const std::string& instrument, int presses, const std::string& editor)
{
    std::printf("\n%s\n", instrument == "tone" ? "sine tone" : "piano");
    std::string dir = scratch();
    std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir + "/out.raw",
                                    "PELLAVINE_INSTRUMENT=" + instrument};
    // The first frame, with the player and with none beside the editor.
    fs::create_directories(dir + "/alone");
    fs::copy_file(editor, dir + "/alone/pellavine");
    // Taken in turns, each once the last editor and its player have ended.
    sfigures frame[2];
    for (int i = 0; i < 10; i++) {
        bool alone = i % 2;
        sleepms(1000);
        seditor ed;
        ed.start(alone ? dir + "/alone/pellavine" : editor, dir, {}, env);
        frame[alone].add(ms(ed.started, ed.settle()));
        ed.stop();
    }
    for (bool alone : {false, true}) {
        std::string t = frame[alone].text();
        t.replace(t.find(" presses"), 8, " starts");
        std::printf("  first frame %-14s %s\n", alone ? "(no player)" : "(resident)", t.c_str());
    }

    fs::remove(dir + "/out.raw");
    sdisk disk;
    disk.path = dir + "/out.raw";
    seditor ed;
    ed.start(editor, dir, {}, env);
    ed.settle(100);
    auto t0 = ed.send("b");
    auto heard = disk.nextsound(10000);
    if (heard == clk::time_point{})
        std::printf("  first 'b' after start   no sound heard\n");
    else
        std::printf("  first 'b' after start   %5.1f ms\n", ms(t0, heard));

    sfigures b;
    for (int i = 0; i < presses; i++)
        if (double l = press(ed, disk, "b", 150); l > -1000)
            b.add(l);
    std::printf("  'b'                     %s\n", b.text().c_str());

    pid_t player = playerof(ed.pid);
    if (player > 0) {
        disk.quiet(300);
        double c0 = cputime(player);
        auto w0 = clk::now();
        sleepms(10000);
        double c1 = cputime(player);
        std::printf("  idle player             %.2f %% CPU over %.0f s, %ld KiB resident\n",
                    100 * (c1 - c0) / secs(w0, clk::now()), secs(w0, clk::now()), rsskib(player));
        // Without it every request starts a player of its own.
        kill(player, SIGKILL);
        sleepms(200);
        sfigures f;
        for (int i = 0; i < std::min(presses, 4); i++)
            if (double l = press(ed, disk, "b", 150); l > -1000)
                f.add(l);
        std::printf("  'b', one player each    %s\n", f.text().c_str());
    } else {
        std::printf("  no resident player found\n");
    }
    ed.stop();

    // The first step of a playback: a saved score of one long A, Enter, the
    // play settings confirmed (eight Tabs to the confirm button, Enter), in
    // an editor started afresh each time whose player has had time to load.
    std::vector<smusic> notes = {smusic{0, 3, 6, 20, false}, SENTINEL};
    std::string tune = dir + "/tune.pvx";
    std::ofstream(tune, std::ios::binary) << pvxwrite(pvxhead{}, notes);
    sfigures p;
    for (int i = 0; i < std::min(presses, 4); i++) {
        fs::remove(dir + "/out.raw");
        sdisk pd;
        pd.path = dir + "/out.raw";
        seditor pe;
        pe.start(editor, dir, {tune}, env);
        pe.settle(1000);
        pe.send("\r");
        pe.settle(100);
        pe.send(std::string(8, '\t'));
        pe.settle(100);
        if (pd.quiet(100)) {
            auto k = pe.send("\r");
            auto h = pd.nextsound(5000);
            if (h != clk::time_point{})
                p.add(ms(k, h));
        }
        pe.stop();
    }
    std::printf("  playback, first step    %s\n", p.text().c_str());
    fs::remove_all(dir);
}

} // namespace

int main(int argc, char** argv)
{
    int presses = argc > 1 ? std::atoi(argv[1]) : 8;
    if (presses < 1) {
        std::fprintf(stderr, "usage: bench_latency [PRESSES]\n");
        return 2;
    }
    std::string editor = PV_EDITOR;
    if (!fs::exists(fs::path(editor).parent_path() / "pellavine-beep")) {
        std::fprintf(stderr, "bench_latency: pellavine-beep is not beside %s\n", editor.c_str());
        return 1;
    }
    for (const char* instrument : {"tone", "piano"})
        instrumentrun(instrument, presses, editor);
    return 0;
}
