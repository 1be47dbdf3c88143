// SPDX-License-Identifier: MIT
#include "score/edits.h"

#include "score/ring.h"

#include <algorithm>

namespace {

constexpr int SEMI[7] = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B above C
struct spelt {
    int pitch;
    bool rise;
};
constexpr spelt SPELL[12] = {{1, false}, {1, true}, {2, false}, {2, true}, {3, false}, {4, false},
                             {4, true},  {5, false}, {5, true}, {6, false}, {6, true}, {7, false}};

// The notes starting in [a, b), the sentinel never among them.
std::vector<smusic> notesin(const Ring& music, int64_t a, int64_t b)
{
    std::vector<smusic> out;
    b = std::min<int64_t>(b, ENDSTART);
    for (auto i = music.lower(a); i != music.end() && i->start < b; ++i)
        out.push_back(*i);
    return out;
}

// The last note starting before x, when there is one.
bool notebefore(const Ring& music, int64_t x, smusic& out)
{
    auto i = music.from(x);
    if (i == music.end() || i->start >= x)
        return false;
    out = *i;
    return true;
}

int64_t endof(const smusic& m) { return static_cast<int64_t>(m.start) + m.leng; }

sstep stepat(const sdoc& doc, const sview& v)
{
    sstep s;
    s.from = s.to = placeof(doc, v);
    return s;
}

// A step that puts `notes` (in time order, within [a, e)) in place of
// whatever overlaps [a, e): notes starting there go, one reaching in from
// before is cut short at a.
sstep replacing(const sdoc& doc, const sview& v, int a, int64_t e, std::vector<smusic> notes)
{
    sstep s = stepat(doc, v);
    smusic prev;
    if (notebefore(doc.music, a, prev) && endof(prev) > a) {
        s.removed.push_back(prev);
        prev.leng = a - prev.start;
        s.added.push_back(prev);
    }
    std::vector<smusic> gone = notesin(doc.music, a, e);
    s.removed.insert(s.removed.end(), gone.begin(), gone.end());
    s.added.insert(s.added.end(), notes.begin(), notes.end());
    s.to.musicleng = static_cast<int>(std::max<int64_t>(s.to.musicleng, e));
    return s;
}

} // namespace

bool transposed(const smusic& m, int semis, smusic& out)
{
    if (m.pitch < 1 || m.pitch > 7)
        return false;
    int64_t t = static_cast<int64_t>(m.heig) * 12 + SEMI[m.pitch - 1] + (m.rise ? 1 : 0) + semis;
    if (t < 12 || t >= 7 * 12) // octaves 1 to 6
        return false;
    out = m;
    out.heig = static_cast<int>(t / 12);
    out.pitch = SPELL[t % 12].pitch;
    out.rise = SPELL[t % 12].rise;
    return true;
}

sspan noteunder(const Ring& music, int x)
{
    smusic m;
    if (!notebefore(music, static_cast<int64_t>(x) + 1, m) || endof(m) <= x)
        return {};
    return sspan{m.start, static_cast<int>(endof(m))};
}

sclip copyspan(const Ring& music, sspan s)
{
    sclip c;
    if (s.empty())
        return c;
    c.notes = notesin(music, s.a, s.b);
    c.leng = s.b - s.a;
    for (smusic& m : c.notes) {
        m.start -= s.a;
        c.leng = std::max(c.leng, m.start + m.leng);
    }
    return c;
}

size_t notecount(const Ring& music, sspan s) { return s.empty() ? 0 : music.countin(s.a, std::min(s.b, ENDSTART)); }

editres cutspan(sdoc& doc, shistory& h, sview& v, sspan s)
{
    if (notecount(doc.music, s) == 0)
        return editres::nothing;
    sstep st = stepat(doc, v);
    st.removed = notesin(doc.music, s.a, s.b);
    histmake(h, doc, v, st);
    return editres::done;
}

editres pastespan(sdoc& doc, shistory& h, sview& v, const sclip& clip, int at)
{
    if (clip.empty())
        return editres::nothing;
    const int64_t e = static_cast<int64_t>(at) + clip.leng;
    if (at < 0 || e > ENDSTART)
        return editres::time;
    std::vector<smusic> notes = clip.notes;
    for (smusic& m : notes)
        m.start += at;
    histmake(h, doc, v, replacing(doc, v, at, e, std::move(notes)));
    return editres::done;
}

editres transpose(sdoc& doc, shistory& h, sview& v, sspan s, int semis)
{
    if (s.empty())
        return editres::nothing;
    sstep st = stepat(doc, v);
    st.removed = notesin(doc.music, s.a, s.b);
    if (st.removed.empty())
        return editres::nothing;
    st.added.resize(st.removed.size());
    for (size_t i = 0; i < st.removed.size(); i++) {
        const smusic& m = st.removed[i];
        if (!transposed(m, semis, st.added[i]))
            return editres::range;
        if (m.start <= v.mousex && v.mousex < endof(m) && noterow(m) == v.mousey)
            st.to.mousey = noterow(st.added[i]);
    }
    histmake(h, doc, v, st);
    return editres::done;
}

editres insertstep(sdoc& doc, shistory& h, sview& v, int x)
{
    smusic last;
    if (notebefore(doc.music, ENDSTART, last) && last.start >= x && endof(last) >= ENDSTART)
        return editres::time;
    sstep st = stepat(doc, v);
    st.shiftat = x;
    st.shiftby = 1;
    st.to.musicleng = std::min(st.to.musicleng + 1, MAXCOL);
    histmake(h, doc, v, st);
    return editres::done;
}

editres removestep(sdoc& doc, shistory& h, sview& v, int x)
{
    sstep st = stepat(doc, v);
    smusic m;
    if (notebefore(doc.music, static_cast<int64_t>(x) + 1, m) && endof(m) > x) {
        st.before = m;
        st.hadbefore = true;
        m.leng -= 1;
        st.after = m;
        st.hasafter = m.leng > 0;
    }
    st.shiftat = x + 1;
    st.shiftby = -1;
    st.to.musicleng = std::max(st.to.musicleng - 1, v.mousex);
    histmake(h, doc, v, st);
    return editres::done;
}

editres enterdigit(sdoc& doc, shistory& h, sview& v, int degree, int leng)
{
    if (degree < 1 || degree > 7 || v.mousex < 0 || v.mousex > MAXCOL)
        return editres::nothing;
    const int x = v.mousex;
    auto next = doc.music.lower(static_cast<int64_t>(x) + 1); // the sentinel at the latest
    int64_t stop = next == doc.music.end() ? ENDSTART : next->start;
    smusic m{x, std::clamp(6 - v.mousey / 14, 1, 6), degree, static_cast<int>(std::min<int64_t>(std::max(leng, 1), stop - x)), false};
    sstep st = replacing(doc, v, x, endof(m), {m});
    st.to.mousex = static_cast<int>(std::min<int64_t>(endof(m), MAXCOL));
    st.to.mousey = noterow(m);
    st.to.musicleng = std::max(st.to.musicleng, st.to.mousex);
    histmake(h, doc, v, st);
    return editres::done;
}

editres lengthen(sdoc& doc, shistory& h, sview& v, int leng)
{
    smusic m;
    if (!notebefore(doc.music, v.mousex, m) || endof(m) != v.mousex)
        return editres::nothing;
    auto next = doc.music.lower(v.mousex);
    int64_t stop = next == doc.music.end() ? ENDSTART : next->start;
    int64_t end = std::min<int64_t>(endof(m) + std::max(leng, 1), stop);
    if (end == endof(m))
        return editres::nothing;
    sstep st = stepat(doc, v);
    st.before = m;
    m.leng = static_cast<int>(end - m.start);
    st.after = m;
    st.hadbefore = st.hasafter = true;
    st.to.mousex = static_cast<int>(std::min<int64_t>(end, MAXCOL));
    st.to.musicleng = std::max(st.to.musicleng, st.to.mousex);
    histmake(h, doc, v, st);
    return editres::done;
}
