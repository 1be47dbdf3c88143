// SPDX-License-Identifier: MIT
#pragma once
// Standard MIDI Files built byte by byte for the tests: events, tracks and
// the header, with nothing checked, so that damaged files can be built too.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace midib {

inline std::string be(uint32_t v, int n)
{
    std::string s;
    for (int i = n - 1; i >= 0; i--)
        s += static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
}

inline std::string vlq(uint32_t v)
{
    std::string s(1, static_cast<char>(v & 0x7f));
    while (v >>= 7)
        s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7f)));
    return s;
}

inline std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int x : b)
        s += static_cast<char>(x);
    return s;
}

// Events as text: "d" + vlq, then raw bytes.
inline std::string ev(uint32_t delta, std::initializer_list<int> b) { return vlq(delta) + bytes(b); }
inline std::string tempo(uint32_t delta, uint32_t usq) { return vlq(delta) + bytes({0xff, 0x51, 3}) + be(usq, 3); }
inline std::string name(const std::string& n) { return vlq(0) + bytes({0xff, 0x03}) + vlq(static_cast<uint32_t>(n.size())) + n; }
inline std::string eot() { return ev(0, {0xff, 0x2f, 0}); }

inline std::string trk(const std::string& events) { return "MTrk" + be(static_cast<uint32_t>(events.size()), 4) + events; }
inline std::string smf(int format, std::vector<std::string> tracks, uint32_t division = 480)
{
    std::string s = "MThd" + be(6, 4) + be(format, 2) + be(static_cast<uint32_t>(tracks.size()), 2) + be(division, 2);
    for (const std::string& t : tracks)
        s += trk(t);
    return s;
}

// A note on channel `ch` of `ticks` after `delta`.
inline std::string note(int key, uint32_t delta, uint32_t ticks, int ch = 0)
{
    return ev(delta, {0x90 | ch, key, 100}) + ev(ticks, {0x80 | ch, key, 0});
}

} // namespace midib
