// SPDX-License-Identifier: MIT
#include "score/pvx.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Little-endian on every host; on a little-endian host a plain copy.
inline void put32(unsigned char*& p, int v)
{
    uint32_t u = static_cast<uint32_t>(v);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &u, 4);
    } else {
        p[0] = static_cast<unsigned char>(u);
        p[1] = static_cast<unsigned char>(u >> 8);
        p[2] = static_cast<unsigned char>(u >> 16);
        p[3] = static_cast<unsigned char>(u >> 24);
    }
    p += 4;
}

inline int get32(const unsigned char* p)
{
    uint32_t u;
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(&u, p, 4);
    else
        u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(u);
}

inline void putnote(unsigned char*& p, const smusic& m)
{
    put32(p, m.start);
    put32(p, m.leng);
    put32(p, m.heig);
    put32(p, m.pitch);
    *p++ = m.rise ? 1 : 0;
    put32(p, 0); // no extension
}

} // namespace

std::string pvxwrite(const pvxhead& head, const std::vector<smusic>& q)
{
    std::string out(PVXHEAD + PVXREC * q.size() + 4, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    put32(p, head.ver);
    put32(p, head.mousex);
    put32(p, head.mousey);
    put32(p, head.toplo);
    put32(p, head.leftlo);
    put32(p, head.musicleng);
    if (!q.empty()) {
        putnote(p, q.back());
        for (size_t i = 0; i + 1 < q.size(); i++)
            putnote(p, q[i]);
    }
    put32(p, -1);
    return out;
}

const char* pvxfaulttext(pvxfault f)
{
    switch (f) {
    case pvxfault::none:
        return "";
    case pvxfault::toolarge:
        return "the file is larger than any score";
    case pvxfault::shorthead:
        return "the file ends inside the header";
    case pvxfault::noendmarker:
        return "the file ends before the end marker";
    case pvxfault::shortnote:
        return "the file ends inside a note";
    case pvxfault::toomany:
        return "more notes than a score can hold";
    case pvxfault::negext:
        return "a note has a negative extension";
    case pvxfault::extpastend:
        return "a note's extension runs past the end of the file";
    case pvxfault::extlarge:
        return "more extension bytes than a score may carry";
    case pvxfault::negstart:
        return "a note starts before the beginning";
    case pvxfault::secondend:
        return "a second end note";
    case pvxfault::zerolength:
        return "a note is shorter than one step";
    case pvxfault::offstaff:
        return "a note lies off the staff";
    case pvxfault::noend:
        return "the end note is missing";
    case pvxfault::overlap:
        return "notes out of order or overlapping";
    }
    return "";
}

pvxfault pvxdecode(const unsigned char* data, size_t size, pvxscore& out)
{
    const uint64_t n = size;
    if (n > static_cast<uint64_t>(PVXMAXSIZE))
        return pvxfault::toolarge;
    if (n < PVXHEAD)
        return pvxfault::shorthead;
    pvxscore s;
    s.head.ver = get32(data);
    s.head.mousex = get32(data + 4);
    s.head.mousey = get32(data + 8);
    s.head.toplo = get32(data + 12);
    s.head.leftlo = get32(data + 16);
    s.head.musicleng = get32(data + 20);

    uint64_t pos = PVXHEAD;
    int64_t records = 0;
    int64_t sentinel = -1; // index in s.notes
    // Every record takes at least 21 bytes, so this bounds the reservation by
    // the data actually present.
    s.notes.reserve(static_cast<size_t>(std::min<uint64_t>((n - pos) / PVXREC, PVXMAXREC)));
    for (;;) {
        if (n - pos < 4)
            return pvxfault::noendmarker;
        int start = get32(data + pos);
        if (start == -1)
            break; // anything after the end marker is not read
        if (n - pos < PVXREC)
            return pvxfault::shortnote;
        if (++records > PVXMAXREC)
            return pvxfault::toomany;
        smusic m;
        m.start = start;
        m.leng = get32(data + pos + 4);
        m.heig = get32(data + pos + 8);
        m.pitch = get32(data + pos + 12);
        unsigned char rise = data[pos + 16];
        m.rise = rise != 0;
        int ext = get32(data + pos + 17);
        pos += PVXREC;
        if (ext < 0)
            return pvxfault::negext;
        if (static_cast<uint64_t>(ext) > n - pos)
            return pvxfault::extpastend;
        s.extbytes += ext;
        if (ext > PVXMAXEXT || s.extbytes > PVXMAXEXTALL)
            return pvxfault::extlarge;
        pos += static_cast<uint64_t>(ext);

        if (m.start < 0)
            return pvxfault::negstart;
        if (m.start > ENDSTART) { // beyond the end of the score
            s.dropped++;
            s.changed = true;
            continue;
        }
        if (m.start == ENDSTART && m.leng == 0) {
            if (sentinel >= 0)
                return pvxfault::secondend;
            if (!issentinel(m) || rise > 1)
                s.changed = true;
            m = SENTINEL;
            sentinel = static_cast<int64_t>(s.notes.size());
        } else {
            if (m.leng < 1)
                return pvxfault::zerolength;
            if (noterow(m) < 0)
                return pvxfault::offstaff;
            if (rise > 1)
                s.changed = true;
        }
        s.notes.push_back(m);
    }
    if (sentinel < 0)
        return pvxfault::noend;

    // Read cyclically from just after the sentinel, every note must end at
    // or before the next one starts. The sentinel itself is the last.
    const size_t cnt = s.notes.size();
    for (size_t k = 1; k < cnt; k++) {
        const smusic& a = s.notes[(static_cast<size_t>(sentinel) + k) % cnt];
        const smusic& b = s.notes[(static_cast<size_t>(sentinel) + k + 1) % cnt];
        if (static_cast<int64_t>(a.start) + a.leng > b.start)
            return pvxfault::overlap;
    }
    out = std::move(s);
    return pvxfault::none;
}

std::string pvxread(const unsigned char* data, size_t size, pvxscore& out)
{
    return pvxfaulttext(pvxdecode(data, size, out));
}

std::string pvxread(const std::string& bytes, pvxscore& out)
{
    return pvxread(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
}

bool pvxclamp(pvxhead& h, int winheig, int winleng)
{
    pvxhead o = h;
    h.mousey = std::clamp(h.mousey, 0, ROWS - 1);
    h.toplo = std::clamp(h.toplo, 0, std::max(0, ROWS - winheig));
    h.mousex = std::clamp(h.mousex, 0, MAXCOL);
    h.leftlo = std::clamp(h.leftlo, 0, std::max(0, ENDSTART - winleng));
    h.musicleng = std::clamp(h.musicleng, h.mousex, MAXCOL);
    return o.mousey != h.mousey || o.toplo != h.toplo || o.mousex != h.mousex || o.leftlo != h.leftlo ||
           o.musicleng != h.musicleng;
}
