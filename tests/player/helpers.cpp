// SPDX-License-Identifier: MIT
#include "helpers.h"

#include "score/pvx.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace pt {

std::vector<int16_t> render(const splan& plan, size_t block)
{
    ssynth sy;
    synthstart(sy, plan);
    std::vector<int16_t> out(static_cast<size_t>(plan.len));
    size_t at = 0;
    while (size_t n = synth(sy, out.data() + at, std::min(block, out.size() - at)))
        at += n;
    out.resize(at);
    return out;
}

double pitchof(const std::vector<int16_t>& x, int64_t a, int64_t b)
{
    double first = -1, last = -1;
    int count = 0;
    for (int64_t i = a + 1; i < b; i++) {
        int16_t p = x[static_cast<size_t>(i - 1)], q = x[static_cast<size_t>(i)];
        if (p < 0 && q >= 0) {
            double t = static_cast<double>(i - 1) + static_cast<double>(-p) / static_cast<double>(q - p);
            if (count == 0)
                first = t;
            last = t;
            count++;
        }
    }
    if (count < 2)
        return 0;
    return (count - 1) / (last - first) * RATE;
}

double level(const std::vector<int16_t>& x, int64_t a, int64_t b, double freq)
{
    a = std::max<int64_t>(a, 0);
    b = std::min<int64_t>(b, static_cast<int64_t>(x.size()));
    if (b <= a)
        return 0;
    // A Hann window keeps strong tones nearby from leaking into this one.
    double w = 2 * std::numbers::pi * freq / RATE, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0, sum = 0;
    const double n = static_cast<double>(b - a);
    for (int64_t i = a; i < b; i++) {
        double h = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i - a) / n);
        double s0 = h * x[static_cast<size_t>(i)] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
        sum += h;
    }
    double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return sum > 0 ? 2 * std::sqrt(std::max(power, 0.0)) / sum : 0;
}

int peak(const std::vector<int16_t>& x, int64_t a, int64_t b)
{
    int m = 0;
    for (int64_t i = std::max<int64_t>(a, 0); i < b && i < static_cast<int64_t>(x.size()); i++)
        m = std::max(m, std::abs(static_cast<int>(x[static_cast<size_t>(i)])));
    return m;
}

int maxjump(const std::vector<int16_t>& x)
{
    int m = 0;
    for (size_t i = 1; i < x.size(); i++)
        m = std::max(m, std::abs(static_cast<int>(x[i]) - x[i - 1]));
    return m;
}

double allowedjump(double freq)
{
    double amp = LEVEL * 32767;
    double rampms = RAMPMS;
    return amp * (2 * std::numbers::pi * freq / RATE + std::numbers::pi / (2 * rampms * RATE / 1000)) + 2;
}

std::vector<srun> runs(const std::vector<int16_t>& x)
{
    std::vector<srun> out;
    int64_t n = static_cast<int64_t>(x.size());
    int64_t i = 0;
    while (i < n) {
        while (i < n && x[static_cast<size_t>(i)] == 0)
            i++;
        if (i == n)
            break;
        int64_t s = i;
        int64_t lastnz = i;
        // A run ends where 2 ms of zeros follow; single zero samples are
        // the tone's own crossings.
        while (i < n && i - lastnz < RATE / 500) {
            if (x[static_cast<size_t>(i)] != 0)
                lastnz = i;
            i++;
        }
        out.push_back(srun{s, lastnz + 1});
        i = lastnz + 1;
    }
    return out;
}

std::string tempdir()
{
    std::string t = (std::filesystem::temp_directory_path() / "pvplayer-XXXXXX").string();
    if (!mkdtemp(t.data()))
        return {};
    return t;
}

void rmtree(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void writebytes(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readbytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

namespace {
uint32_t le32(const std::string& b, size_t at)
{
    auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])); };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}
uint16_t le16(const std::string& b, size_t at)
{
    auto u = [&](size_t i) { return static_cast<uint16_t>(static_cast<unsigned char>(b[at + i])); };
    return static_cast<uint16_t>(u(0) | u(1) << 8);
}
} // namespace

std::vector<int16_t> samples(const std::string& raw)
{
    std::vector<int16_t> x(raw.size() / 2);
    for (size_t i = 0; i < x.size(); i++)
        x[i] = static_cast<int16_t>(le16(raw, 2 * i));
    return x;
}

bool readwav(const std::string& path, int& rate, std::vector<int16_t>& x)
{
    std::string b = readbytes(path);
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 8, "WAVEfmt ") != 0 ||
        b.compare(36, 4, "data") != 0)
        return false;
    if (le32(b, 4) != b.size() - 8 || le32(b, 16) != 16 || le16(b, 20) != 1 || le16(b, 22) != 1 ||
        le16(b, 34) != 16 || le16(b, 32) != 2)
        return false;
    rate = static_cast<int>(le32(b, 24));
    if (le32(b, 28) != static_cast<uint32_t>(rate) * 2 || le32(b, 40) != b.size() - 44)
        return false;
    x = samples(b.substr(44));
    return true;
}

namespace {

pid_t spawn(const std::string& dir, const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& errpath)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (chdir(dir.c_str()) != 0)
        _exit(126);
    for (const std::string& e : env)
        putenv(const_cast<char*>(e.c_str()));
    int null = open("/dev/null", O_RDWR);
    int errfd = open(errpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 0);
    dup2(null, 1);
    dup2(errfd, 2);
    std::vector<char*> argv;
    std::string prog = PV_BEEP;
    argv.push_back(prog.data());
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(prog.c_str(), argv.data());
    _exit(127);
}

int decode(int st)
{
    if (WIFEXITED(st))
        return WEXITSTATUS(st);
    if (WIFSIGNALED(st))
        return 128 + WTERMSIG(st);
    return -2;
}

} // namespace

int waitbeep(int pid, int timeoutms)
{
    int64_t until = nowms() + timeoutms;
    for (;;) {
        int st = 0;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid)
            return decode(st);
        if (r < 0)
            return -3;
        if (nowms() >= until)
            return -1;
        timespec ts{0, 2000000};
        nanosleep(&ts, nullptr);
    }
}

int runbeep(const std::string& dir, const std::vector<std::string>& args, const std::vector<std::string>& env,
            std::string& err, int timeoutms)
{
    std::string errpath = dir + "/.stderr";
    pid_t pid = spawn(dir, args, env, errpath);
    int st = waitbeep(pid, timeoutms);
    if (st == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    err = readbytes(errpath);
    std::remove(errpath.c_str());
    return st;
}

int startbeep(const std::string& dir, const std::vector<std::string>& env, const std::string& errpath)
{
    return spawn(dir, {}, env, errpath);
}

int64_t nowms()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string tonereq(int64_t sec, int ms, int64_t freq, int leng)
{
    return "1 " + std::to_string(sec) + " " + std::to_string(ms) + " " + std::to_string(freq) + " " +
           std::to_string(leng);
}

std::string scorereq(int64_t sec, int ms, const std::string& path, int start, int end, double speed)
{
    char sp[64];
    std::snprintf(sp, sizeof sp, "%f", speed);
    return "0 " + std::to_string(sec) + " " + std::to_string(ms) + "\r\n" + path + "\r\n" + std::to_string(start) +
           " " + std::to_string(end) + " " + sp;
}

smusic note(int start, int leng, int heig, int pitch, bool rise)
{
    return smusic{start, heig, pitch, leng, rise};
}

std::vector<smusic> score(std::vector<smusic> notes)
{
    notes.push_back(SENTINEL);
    return notes;
}

std::string pvxbytes(const std::vector<smusic>& notes)
{
    return pvxwrite(pvxhead{}, score(notes));
}

} // namespace pt
