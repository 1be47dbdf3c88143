// SPDX-License-Identifier: MIT
#include "tone/player/player.h"

#include "platform/utf8.h"
#include "score/pitch.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace {

void put16(std::string& o, uint32_t v)
{
    o += static_cast<char>(v & 0xff);
    o += static_cast<char>((v >> 8) & 0xff);
}

void put32(std::string& o, uint32_t v)
{
    put16(o, v & 0xffff);
    put16(o, v >> 16);
}

void putbe(std::string& o, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; i--)
        o += static_cast<char>((v >> (8 * i)) & 0xff);
}

// Closes `f` and reports whether everything written reached the file; on
// failure removes what was written (only a regular file: never a device or
// a pipe given as the output) and puts the reason in `err`.
int finish(FILE* f, bool ok, int werr, const std::string& path, std::string& err)
{
    struct stat st{};
    bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        werr = errno;
    }
    if (ok)
        return 0;
    if (regular)
        utf8remove(path);
    err = "cannot write " + path + ": " + std::strerror(werr);
    return -1;
}

constexpr uint32_t MAXVLQ = 0x0FFFFFFF;

} // namespace

int writefile(const std::string& path, const std::string& bytes, std::string& err)
{
    FILE* f = utf8fopen(path, "wb");
    if (!f) {
        err = "cannot create " + path + ": " + std::strerror(errno);
        return -1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int werr = errno;
    if (ok && std::fflush(f) != 0) {
        ok = false;
        werr = errno;
    }
    return finish(f, ok, werr, path, err);
}

int writewav(const std::string& path, sengine& e, const splan& plan, std::string& err)
{
    const int64_t len = plan.len + (enginesynth(e) && plan.len > 0 ? int64_t{RATE} * RELEASEMS / 1000 : 0);
    // The RIFF sizes are 32-bit: a longer render cannot be a WAV file.
    const int64_t maxlen = (0xFFFFFFFFLL - 36) / 2;
    if (len > maxlen) {
        err = "the sound lasts " + std::to_string(len / RATE) + " s, more than a WAV file can hold (" +
              std::to_string(maxlen / RATE) + " s)";
        return -1;
    }
    FILE* f = utf8fopen(path, "wb");
    if (!f) {
        err = "cannot create " + path + ": " + std::strerror(errno);
        return -1;
    }
    uint32_t data = static_cast<uint32_t>(len * 2);
    std::string h = "RIFF";
    put32(h, 36 + data);
    h += "WAVEfmt ";
    put32(h, 16);
    put16(h, 1); // PCM
    put16(h, 1); // mono
    put32(h, RATE);
    put32(h, RATE * 2);
    put16(h, 2);
    put16(h, 16);
    h += "data";
    put32(h, data);
    bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size();
    int werr = errno;

    engineadd(e, plan, true);
    constexpr size_t BLOCK = 8192;
    int16_t buf[BLOCK];
    unsigned char bytes[BLOCK * 2];
    for (int64_t done = 0; ok && done < len;) {
        size_t n = static_cast<size_t>(std::min<int64_t>(BLOCK, len - done));
        enginerender(e, buf, n);
        for (size_t i = 0; i < n; i++) {
            uint16_t u = static_cast<uint16_t>(buf[i]);
            bytes[2 * i] = static_cast<unsigned char>(u & 0xff);
            bytes[2 * i + 1] = static_cast<unsigned char>(u >> 8);
        }
        if (std::fwrite(bytes, 1, 2 * n, f) != 2 * n) {
            ok = false;
            werr = errno;
        }
        done += static_cast<int64_t>(n);
    }
    if (ok && std::fflush(f) != 0) {
        ok = false;
        werr = errno;
    }
    return finish(f, ok, werr, path, err);
}

void midivlq(std::string& out, uint32_t v)
{
    if (v > MAXVLQ)
        v = MAXVLQ;
    char b[4];
    int n = 0;
    b[n++] = static_cast<char>(v & 0x7f);
    while (v >>= 7)
        b[n++] = static_cast<char>(0x80 | (v & 0x7f));
    while (n > 0)
        out += b[--n];
}

int midikey(const smusic& m)
{
    if (!sounds(m))
        return -1;
    // The key follows the same pitch as the sound, B sharp included.
    double f = getfreq(m.heig, m.pitch, m.rise);
    long key = 69 + std::lround(12.0 * std::log2(f / 440.0));
    return key >= 0 && key <= 127 ? static_cast<int>(key) : -1;
}

std::string midibytes(const std::vector<smusic>& notes, int program, int beat, const std::string& title)
{
    beat = std::clamp(beat, 1, 32767 / STEPTICKS);
    std::string t;
    int64_t now = 0; // ticks of the last event written
    // An event `at` ticks: its delta time, split with empty text events
    // where it exceeds the largest variable-length quantity.
    auto delta = [&](int64_t at) {
        int64_t d = at - now;
        while (d > MAXVLQ) {
            midivlq(t, MAXVLQ);
            t += "\xFF\x01";
            t += '\0';
            d -= MAXVLQ;
        }
        midivlq(t, static_cast<uint32_t>(d));
        now = at;
    };
    if (!title.empty()) {
        const std::string name = title.substr(0, 1000);
        delta(0);
        t += "\xFF\x03";
        midivlq(t, static_cast<uint32_t>(name.size()));
        t += name;
    }
    delta(0);
    t += "\xFF\x58\x04\x04\x02\x18\x08"; // 4/4, a click every quarter, 8 32nds a quarter
    delta(0);
    t += "\xFF\x51\x03";
    putbe(t, static_cast<uint32_t>(beat) * 100000, 3);
    if (program >= 0 && program <= 127) {
        delta(0);
        t += '\xC0';
        t += static_cast<char>(program);
    }
    for (const sspan& n : melody(notes)) {
        int key = midikey(n.m);
        int64_t s = std::max<int64_t>(n.s, 0);
        if (key < 0 || n.e <= s)
            continue;
        delta(s * STEPTICKS);
        t += '\x90';
        t += static_cast<char>(key);
        t += static_cast<char>(100);
        delta(n.e * STEPTICKS);
        t += '\x80';
        t += static_cast<char>(key);
        t += static_cast<char>(64);
    }
    delta(now);
    t += "\xFF\x2F";
    t += '\0';

    std::string o = "MThd";
    putbe(o, 6, 4);
    putbe(o, 0, 2); // format 0
    putbe(o, 1, 2); // one track
    putbe(o, static_cast<uint32_t>(STEPTICKS * beat), 2);
    o += "MTrk";
    putbe(o, static_cast<uint32_t>(t.size()), 4);
    return o + t;
}
