// SPDX-License-Identifier: MIT
// How soon the editor's sounds are heard, on the real editor in a
// pseudo-terminal, through SDL's disk audio driver standing in for a sound
// card and through a real sound server (PulseAudio with a null sink, started
// here in a folder of its own, SDL's pulseaudio driver, its monitor recorded).
//
//   bench_latency [PRESSES]          latency and CPU (PRESSES 'b', default 40)
//   bench_latency --underruns [SECONDS]
//                                    SECONDS (600) of a dense score, 16 notes a
//                                    second, with 1,000 'b' in its first 10 s:
//                                    late blocks and clicks counted
//
// For the sine tone and the piano, through each driver, it prints the median
// and 95th percentile from key to first sample for 'b' and for the first
// step of a playback (Enter on the play settings), for 'b' once the player
// has let the device rest (1.5 s after the sound died away), and the
// resident player's CPU use idle (once resting, and in its first second of
// silence, before it rests) and while sounding.
//
// Honest timing: before each press it waits until the sound has died away;
// it presses after a random wait, so at a random phase of the device's
// blocks; and it times a sample by when it was made, not by when a file
// grew. The disk driver writes through a stdio buffer of 4096 bytes (21 ms of
// sound), so the player logs when it made each block (PELLAVINE_BLOCKLOG),
// and the first sample's block gives its moment. (Without the log, a line
// fitted through the file's growth times stands in.)
// The monitor of the sound server's null sink comes through parec in small
// fragments, each timed as it arrives: the sound server's figure includes
// its own buffering, the null sink's and parec's.
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
#include <functional>
#include <iterator>
#include <memory>
#include <poll.h>
#include <random>
#include <sys/socket.h>
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
constexpr double HELD = 288;                // one device block (144 samples) still on its way

double secs(clk::time_point a, clk::time_point b) { return std::chrono::duration<double>(b - a).count(); }
double ms(clk::time_point a, clk::time_point b) { return 1000 * secs(a, b); }
void sleepms(double m) { usleep(static_cast<useconds_t>(m * 1000)); }

// The disk driver's output file, read as it grows.
struct sdisk {
    virtual ~sdisk() = default;
    std::string path;
    size_t scanned = 0;     // bytes looked at
    size_t lastsound = 0;   // end of the last non-silent sample seen
    long long mark = -1;    // the player's mark of its first block (with a block log), in bytes
    // When each write reached the file: the driver had then made the bytes
    // up to the file's size plus the block it still holds.
    std::vector<std::pair<double, clk::time_point>> made;
    // Reads what is new. Returns the byte offset of the first non-silent
    // sample in it, or -1.
    virtual long long poll()
    {
        struct stat st{};
        if (stat(path.c_str(), &st) != 0)
            return -1;
        if (static_cast<size_t>(st.st_size) < scanned) // a new player has started the file afresh
            scanned = lastsound = 0, mark = -1, made.clear();
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
                if (mark < 0 && !log.empty() && b[i] == 1 && b[i + 1] == 0) {
                    mark = static_cast<long long>(scanned + i);
                    continue;
                }
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
    virtual clk::time_point madeat(double at) const
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
    // When the sample at byte `at` was made: when the player rendered its
    // block, from the player's block log; without one, from the file's growth.
    std::string log;
    // The log counts the player's samples, the file the device's: the
    // device's silence before the player's first block (the mark) is not
    // in the log.
    virtual clk::time_point momentof(double at) const
    {
        std::ifstream f(log, std::ios::binary);
        int64_t rec[2], found = -1;
        const auto sample = static_cast<int64_t>((at - static_cast<double>(std::max(mark, 0LL))) / 2);
        while (f.read(reinterpret_cast<char*>(rec), sizeof rec) && rec[0] <= sample)
            found = rec[1];
        if (found >= 0)
            return clk::time_point(std::chrono::nanoseconds(found));
        return madeat(std::ceil((at + 2) / HELD) * HELD);
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
                return momentof(static_cast<double>(at));
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

// The monitor of the sound server's null sink, recorded by parec.
struct smonitor : sdisk {
    int fd = -1;
    pid_t pid = -1;
    std::vector<std::pair<size_t, clk::time_point>> arrivals; // end of each fragment, when it came
    bool start(const std::vector<std::string>& env)
    {
        int p[2];
        if (pipe(p) != 0)
            return false;
        pid = fork();
        if (pid == 0) {
            dup2(p[1], 1);
            close(p[0]);
            close(p[1]);
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            execlp("parec", "parec", "-d", "pv.monitor", "--raw", "--format=s16le", "--rate=48000",
                   "--channels=1", "--latency-msec=1", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(p[1]);
        fd = p[0];
        fcntl(fd, F_SETFL, O_NONBLOCK);
        return pid > 0;
    }
    ~smonitor() override
    {
        if (pid > 0)
            kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
        if (fd >= 0)
            close(fd);
    }
    std::string odd; // a byte of a sample still to come
    long long poll() override
    {
        long long first = -1;
        for (;;) {
            char buf[65536];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                return first;
            auto t = clk::now();
            std::string b = odd + std::string(buf, static_cast<size_t>(n));
            odd = b.size() % 2 ? b.substr(b.size() - 1) : "";
            b.resize(b.size() & ~size_t{1});
            for (size_t i = 0; i < b.size(); i += 2)
                if (b[i] != 0 || b[i + 1] != 0) {
                    if (first < 0)
                        first = static_cast<long long>(scanned + i);
                    lastsound = scanned + i + 2;
                }
            scanned += b.size();
            arrivals.emplace_back(scanned, t);
        }
    }
    clk::time_point momentof(double at) const override
    {
        for (const auto& [end, t] : arrivals)
            if (static_cast<double>(end) > at)
                return t - std::chrono::microseconds(static_cast<long long>((static_cast<double>(end) - at) / BYTESPERSEC * 1e6));
        return clk::now();
    }
};

// A PulseAudio server of our own: a null sink, in a private folder, gone at
// the end. Runs as root too (as a user-mode daemon, not a system one).
struct spulse {
    std::string dir;
    pid_t pid = -1;
    std::vector<std::string> env() const
    {
        // The runtime folder is made by the server itself (it wants it private).
        return {"PULSE_SERVER=unix:" + dir + "/rt/native", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir,
                "PULSE_RUNTIME_PATH=" + dir + "/rt", "PULSE_STATE_PATH=" + dir + "/st"};
    }
    bool start(const std::string& folder)
    {
        dir = folder;
        fs::create_directories(dir);
        std::ofstream(dir + "/pa.conf") << "load-module module-null-sink sink_name=pv rate=48000 channels=1\n"
                                           "load-module module-native-protocol-unix\n"
                                           "set-default-sink pv\n";
        pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            static std::vector<std::string> vars = env(); // putenv keeps the strings
            for (std::string& e : vars)
                putenv(e.data());
            std::string conf = dir + "/pa.conf";
            execlp("pulseaudio", "pulseaudio", "-n", "-F", conf.c_str(), "--daemonize=no", "--exit-idle-time=-1",
                   "--disable-shm=yes", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100; i++, sleepms(50))
            if (fs::exists(dir + "/rt/native"))
                return true;
        return false;
    }
    ~spulse()
    {
        if (pid > 0)
            kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
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
        double p95 = s[static_cast<size_t>(std::ceil(0.95 * static_cast<double>(s.size()))) - 1];
        char b[160];
        std::snprintf(b, sizeof b, "median %5.1f ms  p95 %5.1f ms  (%.1f to %.1f, %zu presses)", med, p95, s.front(),
                      s.back(), s.size());
        return b;
    }
};

std::mt19937 rng(12345);

// Presses `key` once the sound has died away and `restms` more have passed,
// after a random wait of 0 to 25 ms (a random phase of the device's blocks),
// and returns the latency in ms, or -1000 when nothing is heard.
double press(seditor& ed, sdisk& sink, const std::string& key, double quietms, double restms = 0)
{
    if (!sink.quiet(quietms))
        return -1000;
    sleepms(restms + std::uniform_real_distribution<double>(0, 25)(rng));
    auto t0 = ed.send(key);
    auto heard = sink.nextsound(5000);
    return heard == clk::time_point{} ? -1000 : ms(t0, heard);
}

std::string scratch()
{
    std::string t = (fs::temp_directory_path() / "bench_latency-XXXXXX").string();
    return mkdtemp(t.data()) ? t : "";
}

// The sound of an editor run: the disk driver's file or the server's monitor.
std::unique_ptr<sdisk> sinkfor(const std::string& dir, const spulse* pulse, std::vector<std::string>& env)
{
    if (!pulse) {
        fs::remove(dir + "/out.raw");
        env.push_back("SDL_AUDIODRIVER=disk");
        env.push_back("SDL_DISKAUDIOFILE=" + dir + "/out.raw");
        env.push_back("PELLAVINE_BLOCKLOG=" + dir + "/blocks.log");
        auto d = std::make_unique<sdisk>();
        d->path = dir + "/out.raw";
        d->log = dir + "/blocks.log";
        return d;
    }
    env.push_back("SDL_AUDIODRIVER=pulseaudio");
    for (const std::string& e : pulse->env())
        env.push_back(e);
    auto m = std::make_unique<smonitor>();
    m->start(pulse->env());
    return m;
}

double cpuover(pid_t player, double seconds, const std::function<void()>& meanwhile)
{
    double c0 = cputime(player);
    auto w0 = clk::now();
    while (secs(w0, clk::now()) < seconds)
        meanwhile();
    return 100 * (cputime(player) - c0) / secs(w0, clk::now());
}

void run(const std::string& instrument, const spulse* pulse, int presses, const std::string& editor)
{
    std::printf("\n%s, %s\n", instrument == "tone" ? "sine tone" : "piano",
                pulse ? "PulseAudio (null sink, its monitor recorded)" : "SDL disk driver");
    std::string dir = scratch();
    const double quietms = 200;
    {
        std::vector<std::string> env = {"PELLAVINE_INSTRUMENT=" + instrument};
        auto sink = sinkfor(dir, pulse, env);
        seditor ed;
        ed.start(editor, dir, {}, env);
        ed.settle(1500);
        sfigures b;
        for (int i = 0; i < presses; i++)
            if (double l = press(ed, *sink, "b", quietms); l > -1000)
                b.add(l);
        std::printf("  'b'                 %s\n", b.text().c_str());
        // After a second of silence the player lets the device rest; the
        // next 'b' wakes it.
        sfigures rested;
        for (int i = 0; i < std::max(presses / 4, 5); i++)
            if (double l = press(ed, *sink, "b", quietms, 1500); l > -1000)
                rested.add(l);
        std::printf("  'b', device resting %s\n", rested.text().c_str());
        pid_t player = playerof(ed.pid);
        if (player > 0) {
            sink->quiet(quietms);
            double first = cpuover(player, 1, [&] { sink->poll(), sleepms(20); });
            sleepms(500);
            double idle = cpuover(player, 5, [&] { sink->poll(), sleepms(20); });
            double busy = cpuover(player, 5, [&] { ed.send("b"), sleepms(250), sink->poll(); });
            std::printf("  player CPU          idle %.2f %% (its first second %.2f %%), sounding %.2f %%, %ld KiB "
                        "resident\n",
                        idle, first, busy, rsskib(player));
        }
        ed.stop();
    }
    // The first step of a playback: a saved score of one C of two steps (the
    // piano's A of TimGM6mb begins with 6 ms of silence of its own),
    // Enter, the play settings confirmed (eight Tabs to the confirm button,
    // Enter), again and again in one editor.
    std::vector<smusic> notes = {smusic{0, 3, 1, 2, false}, SENTINEL};
    std::string tune = dir + "/tune.pvx";
    std::ofstream(tune, std::ios::binary) << pvxwrite(pvxhead{}, notes);
    {
        std::vector<std::string> env = {"PELLAVINE_INSTRUMENT=" + instrument};
        auto sink = sinkfor(dir, pulse, env);
        seditor ed;
        ed.start(editor, dir, {tune}, env);
        ed.settle(1500);
        sfigures p;
        for (int i = 0; i < std::max(presses / 2, 1); i++) {
            ed.send("\r");
            ed.settle(100);
            ed.send(std::string(8, '\t'));
            ed.settle(100);
            if (double l = press(ed, *sink, "\r", quietms); l > -1000)
                p.add(l);
            ed.settle(300);
        }
        std::printf("  playback, 1st step  %s\n", p.text().c_str());
        ed.stop();
    }
    fs::remove_all(dir);
}

// The resident player alone, fed through its socket as the editor feeds it:
// `seconds` of a dense score and 1,000 tones in its first 10 s. Late blocks
// are what the player counts; a click is a step between two samples larger
// than the loudest tone's steepest slope, twice over (tones over each other
// pass the limiter).
int underruns(int seconds)
{
    std::string dir = scratch();
    std::vector<smusic> notes;
    const int count = seconds * 16;
    for (int i = 0; i < count; i++)
        notes.push_back(smusic{i, 3 + i % 2, 1 + i % 7, 1, false});
    notes.push_back(SENTINEL);
    std::ofstream(dir + "/dense.pvx", std::ios::binary) << pvxwrite(pvxhead{}, notes);
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv) != 0)
        return 1;
    std::string beep = (fs::path(PV_EDITOR).parent_path() / "pellavine-beep").string();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        close(sv[0]);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "out.raw", 1);
        setenv("PELLAVINE_INSTRUMENT", "tone", 1);
        execl(beep.c_str(), beep.c_str(), "--resident", std::to_string(sv[1]).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(sv[1]);
    sleepms(500);
    auto stamp = [] {
        long long t = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
        return std::to_string(t / 1000) + " " + std::to_string(t % 1000);
    };
    auto say = [&](const std::string& m) { (void)send(sv[0], m.data(), m.size(), 0); };
    say("p0 " + stamp() + "\r\n" + dir + "/dense.pvx\r\n0 " + std::to_string(count) + " 1.6\r\n");
    for (int i = 0; i < 1000; i++, sleepms(10))
        say("p1 " + stamp() + " 440 10\r\n");
    sleepms(1000.0 * seconds - 10000 + 2000);
    close(sv[0]);
    waitpid(pid, nullptr, 0);
    std::ifstream err(dir + "/err.txt");
    std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    std::ifstream raw(dir + "/out.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    const double top = 440.0 * std::pow(2.0, 11.0 / 12.0); // B above A of octave 3 and then some
    const double allowed = 2 * (0.5 * 32767 * (2 * M_PI * top / 48000 + M_PI / (2 * 5 * 48)) + 2);
    long clicks = 0, sounding = 0;
    int16_t prev = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        int16_t x = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        clicks += std::abs(x - prev) > allowed;
        sounding += x != 0;
        prev = x;
    }
    std::printf("dense playback, %d s (%d notes) and 1,000 'b' in 10 s, disk driver:\n", seconds, count);
    std::printf("  %.1f s rendered, %.1f s of it sounding; clicks %ld; player says: %s\n",
                static_cast<double>(bytes.size()) / BYTESPERSEC, static_cast<double>(sounding) / 48000, clicks,
                said.empty() ? "no late blocks" : said.c_str());
    fs::remove_all(dir);
    return clicks == 0 && said.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    if (argc > 1 && std::string(argv[1]) == "--underruns")
        return underruns(argc > 2 ? std::max(std::atoi(argv[2]), 11) : 600);
    int presses = argc > 1 ? std::atoi(argv[1]) : 40;
    if (presses < 1) {
        std::fprintf(stderr, "usage: bench_latency [PRESSES] | --underruns [SECONDS]\n");
        return 2;
    }
    std::string editor = PV_EDITOR;
    if (!fs::exists(fs::path(editor).parent_path() / "pellavine-beep")) {
        std::fprintf(stderr, "bench_latency: pellavine-beep is not beside %s\n", editor.c_str());
        return 1;
    }
    for (const char* instrument : {"tone", "piano"})
        run(instrument, nullptr, presses, editor);
    std::string dir = scratch();
    spulse pulse;
    if (!pulse.start(dir + "/pulse")) {
        std::printf("\nno PulseAudio server could be started (pulseaudio and parec are needed)\n");
        return 0;
    }
    for (const char* instrument : {"tone", "piano"})
        run(instrument, &pulse, presses, editor);
    return 0;
}
