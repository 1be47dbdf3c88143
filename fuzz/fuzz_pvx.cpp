// SPDX-License-Identifier: MIT
// Fuzz target for the score file reader: any bytes must be either refused or
// decoded into a score that keeps the ring's rules and survives a round trip.
#include "score/pvx.h"

#include <cstdint>
#include <cstdlib>

static void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The size cap is decided before a byte is read: a claimed size past it is
// refused with the data never touched (a null pointer would crash otherwise).
static void sizecap(size_t size)
{
    pvxscore s;
    check(pvxdecode(nullptr, static_cast<size_t>(PVXMAXSIZE) + 1 + size, s) == pvxfault::toolarge);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sizecap(size);
    pvxscore s;
    if (pvxdecode(data, size, s) != pvxfault::none)
        return 0;
    check(size <= static_cast<size_t>(PVXMAXSIZE));
    check(s.extbytes >= 0 && s.extbytes <= PVXMAXEXTALL);

    // Exactly one sentinel, and the notes in cyclic order without overlap.
    const size_t n = s.notes.size();
    check(n >= 1 && static_cast<int64_t>(n) <= PVXMAXREC);
    size_t sentinels = 0, at = 0;
    for (size_t i = 0; i < n; i++) {
        if (issentinel(s.notes[i])) {
            sentinels++;
            at = i;
        } else {
            check(s.notes[i].start >= 0 && s.notes[i].start < ENDSTART && s.notes[i].leng >= 1);
            check(noterow(s.notes[i]) >= 0); // every note the staff can show
        }
    }
    check(sentinels == 1);
    for (size_t k = 1; k < n; k++) {
        const smusic& a = s.notes[(at + k) % n];
        const smusic& b = s.notes[(at + k + 1) % n];
        check(static_cast<int64_t>(a.start) + a.leng <= b.start);
    }

    // Written again and read back: the same header, the same cyclic order
    // turned by one, nothing to repair.
    std::string again = pvxwrite(s.head, s.notes);
    check(again.size() == PVXHEAD + PVXREC * n + 4);
    pvxscore t;
    check(pvxread(again, t).empty());
    check(!t.changed && t.dropped == 0 && t.notes.size() == n);
    check(t.head.ver == s.head.ver && t.head.mousex == s.head.mousex && t.head.musicleng == s.head.musicleng);
    for (size_t i = 0; i < n; i++) {
        const smusic& a = s.notes[(i + n - 1) % n];
        const smusic& b = t.notes[i];
        check(a.start == b.start && a.leng == b.leng && a.heig == b.heig && a.pitch == b.pitch && a.rise == b.rise);
    }

    // Clamped header values stay inside the editor's ranges.
    pvxhead h = s.head;
    pvxclamp(h, 23, 100);
    check(h.mousey >= 0 && h.mousey <= 84 && h.toplo >= 0 && h.toplo <= 62);
    check(h.mousex >= 0 && h.mousex <= MAXCOL && h.leftlo >= 0 && h.leftlo <= ENDSTART - 100);
    check(h.musicleng >= h.mousex && h.musicleng <= MAXCOL);
    return 0;
}
