// SPDX-License-Identifier: MIT
#include "score/instrument.h"

#include <charconv>

namespace {

struct sname {
    const char* name;
    int program;
};

// General MIDI programs, counted from 0.
constexpr sname NAMES[] = {
    {"piano", 0},     // Acoustic Grand Piano
    {"organ", 19},    // Church Organ
    {"guitar", 24},   // Acoustic Guitar (nylon)
    {"violin", 40},   // Violin
    {"flute", 73},    // Flute
    {"clarinet", 71}, // Clarinet
    {"trumpet", 56},  // Trumpet
    {"voice", 53},    // Voice Oohs
    {"tone", SINETONE},
};

} // namespace

int instrumentof(const std::string& text)
{
    for (const sname& n : NAMES)
        if (text == n.name)
            return n.program;
    int v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || v < 0 || v > 127)
        return NOINSTRUMENT;
    return v;
}

std::string instrumentchoices()
{
    std::string s = "0-127";
    for (const sname& n : NAMES)
        s += std::string(", ") + n.name;
    return s;
}
