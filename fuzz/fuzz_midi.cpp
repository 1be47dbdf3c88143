// SPDX-License-Identifier: MIT
// Fuzz target for the MIDI reader: any bytes are either refused with a cause
// or decoded into a melody the score can hold.
#include "score/midi.h"

#include <cstdint>
#include <cstdlib>

static void check(bool ok)
{
    if (!ok)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (int want : {0, 2}) {
        midiscore s;
        size_t at = 0;
        midierr e = midiread(data, size, want, s, &at);
        if (e != midierr::ok) {
            check(at <= size && *midicause(e) != '\0' && s.notes.empty());
            continue;
        }
        // Notes in order, apart, on the staff, inside the score's time.
        check(!s.notes.empty() && s.part >= 1 && s.part <= (s.bychannel ? 16 : s.parts) && s.title.size() <= 200);
        for (size_t i = 0; i < s.notes.size(); i++) {
            const smusic& m = s.notes[i];
            check(m.start >= 0 && m.leng >= 1 && int64_t{m.start} + m.leng <= ENDSTART && noterow(m) >= 1);
            check(i == 0 || int64_t{s.notes[i - 1].start} + s.notes[i - 1].leng <= m.start);
        }
    }
    return 0;
}
