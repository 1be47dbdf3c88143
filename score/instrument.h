// SPDX-License-Identifier: MIT
#pragma once
// The instruments a melody can sound with: a General MIDI program chosen by
// number or short name, or the plain sine tone. Shared by the editor, which
// checks its command line, and the player, which sounds them.
#include <string>

constexpr int SINETONE = -1; // the sine tone: no General MIDI program
constexpr int NOINSTRUMENT = -2;

// "0" to "127", a short name ("piano", "organ", "guitar", "violin", "flute",
// "clarinet", "trumpet", "voice") or "tone" (SINETONE). NOINSTRUMENT for
// anything else.
int instrumentof(const std::string& text);

// The accepted texts, for messages: "0-127, piano, organ, ..., tone".
std::string instrumentchoices();
