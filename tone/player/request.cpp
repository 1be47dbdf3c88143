// SPDX-License-Identifier: MIT
#include "tone/player/player.h"

#include <charconv>
#include <cstdlib>
#include <limits>

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

bool allblank(const std::string& s)
{
    for (char c : s)
        if (!blank(c) && c != '\r' && c != '\n')
            return false;
    return true;
}

// Lines without their CR LF or LF; a break after the last line adds no line.
std::vector<std::string> splitlines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        size_t stop = nl == std::string::npos ? text.size() : nl;
        std::string line = text.substr(at, stop - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::string::npos)
            break;
        at = nl + 1;
    }
    return lines;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blank(line[i]))
            i++;
        size_t b = i;
        while (i < line.size() && !blank(line[i]))
            i++;
        if (i > b)
            out.push_back(line.substr(b, i - b));
    }
    return out;
}

bool toint(const std::string& s, int64_t lo, int64_t hi, int64_t& v)
{
    const char* e = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), e, v);
    return ec == std::errc() && p == e && v >= lo && v <= hi;
}

bool todouble(const std::string& s, double& v)
{
    const char* e = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), e, v);
    if (p != e)
        return false;
    // Too large or too small for a double: still a number, which strtod
    // turns into infinity or zero (the player never changes the C locale).
    if (ec == std::errc::result_out_of_range)
        v = std::strtod(s.c_str(), nullptr);
    return ec == std::errc() || ec == std::errc::result_out_of_range;
}

constexpr int64_t I64MIN = std::numeric_limits<int64_t>::min();
constexpr int64_t I64MAX = std::numeric_limits<int64_t>::max();
constexpr int64_t IMIN = std::numeric_limits<int>::min();
constexpr int64_t IMAX = std::numeric_limits<int>::max();

int fail(std::string& err, const std::string& why)
{
    err = "beepset.tmp: " + why;
    return -1;
}

} // namespace

int parsereq(const std::string& text, sreq& r, std::string& err)
{
    r = sreq{};
    if (allblank(text))
        return 0;
    std::vector<std::string> lines = splitlines(text);
    std::vector<std::string> f = fields(lines[0]);
    if (f.empty())
        return fail(err, "line 1 is empty");
    int64_t mode = 0, v = 0;
    if (!toint(f[0], 0, 1, mode))
        return fail(err, "unknown request mode \"" + f[0] + "\"");
    size_t want = mode == 0 ? 3 : 5;
    if (f.size() != want)
        return fail(err, "line 1 holds " + std::to_string(f.size()) + " fields, a mode " + f[0] +
                             " request has " + std::to_string(want));
    if (!toint(f[1], I64MIN, I64MAX, r.sec))
        return fail(err, "bad seconds \"" + f[1] + "\"");
    if (!toint(f[2], 0, 999, v))
        return fail(err, "bad milliseconds \"" + f[2] + "\"");
    r.ms = static_cast<int>(v);
    size_t used = 1;
    if (mode == 1) {
        if (!toint(f[3], I64MIN, I64MAX, r.freq))
            return fail(err, "bad frequency \"" + f[3] + "\"");
        if (!toint(f[4], IMIN, IMAX, v))
            return fail(err, "bad length \"" + f[4] + "\"");
        r.leng = static_cast<int>(v);
    } else {
        if (lines.size() < 3)
            return fail(err, "a score request needs three lines, found " + std::to_string(lines.size()));
        r.path = lines[1];
        if (r.path.find('\0') != std::string::npos)
            return fail(err, "the score path holds a NUL byte");
        std::vector<std::string> g = fields(lines[2]);
        if (g.size() != 3)
            return fail(err, "line 3 holds " + std::to_string(g.size()) + " fields, expected start, end and speed");
        if (!toint(g[0], IMIN, IMAX, v))
            return fail(err, "bad start \"" + g[0] + "\"");
        r.start = static_cast<int>(v);
        if (!toint(g[1], IMIN, IMAX, v))
            return fail(err, "bad end \"" + g[1] + "\"");
        r.end = static_cast<int>(v);
        if (!todouble(g[2], r.speed))
            return fail(err, "bad speed \"" + g[2] + "\"");
        used = 3;
    }
    for (size_t i = used; i < lines.size(); i++)
        if (!allblank(lines[i]))
            return fail(err, "unexpected text on line " + std::to_string(i + 1));
    r.mode = static_cast<int>(mode);
    return 0;
}

int64_t lateness(const sreq& r, int64_t nowms)
{
    // stamp = sec * 1000 + ms, saturated to the int64 range.
    int64_t stamp;
    if (r.sec > (I64MAX - 999) / 1000)
        stamp = I64MAX;
    else if (r.sec < I64MIN / 1000 + 1)
        stamp = I64MIN;
    else
        stamp = r.sec * 1000 + r.ms;
    if (stamp >= nowms)
        return 0;
    if (stamp < 0 && nowms > I64MAX + stamp)
        return I64MAX;
    return nowms - stamp;
}
