// SPDX-License-Identifier: MIT
#include "score/ring.h"

#include <algorithm>

namespace {

// A note as a chunk with offset `off` stores it.
smusic stored(smusic m, int off)
{
    m.start -= off;
    return m;
}

} // namespace

void Ring::stepback(size_t& c, size_t& i) const
{
    if (i > 0) {
        i--;
        return;
    }
    c = c == 0 ? chunks.size() - 1 : c - 1;
    i = chunks[c].v.size() - 1;
}

void Ring::stepfwd(size_t& c, size_t& i) const
{
    if (++i < chunks[c].v.size())
        return;
    i = 0;
    if (++c == chunks.size())
        c = 0;
}

smusic Ring::back() const
{
    size_t c = fc, i = fi;
    stepback(c, i);
    return chunks[c].at(i);
}

void Ring::clear()
{
    chunks.clear();
    fc = fi = count = 0;
}

void Ring::split(size_t c)
{
    if (chunks[c].v.size() < 2 * CHUNK)
        return;
    size_t half = chunks[c].v.size() / 2;
    chunk tail{std::vector<smusic>(chunks[c].v.begin() + static_cast<long>(half), chunks[c].v.end()), chunks[c].off};
    chunks[c].v.resize(half);
    chunks.insert(chunks.begin() + static_cast<long>(c) + 1, std::move(tail));
    if (fc > c)
        fc++;
    else if (fc == c && fi >= half) {
        fc++;
        fi -= half;
    }
}

void Ring::push(const smusic& m)
{
    count++;
    if (chunks.empty()) {
        chunks.push_back(chunk{{m}, 0});
        fc = fi = 0;
        return;
    }
    if (m.start < front().start) {
        // Just before the front in time: the front moves up one place.
        auto& ch = chunks[fc];
        ch.v.insert(ch.v.begin() + static_cast<long>(fi), stored(m, ch.off));
        fi++;
        split(fc);
    } else {
        // After every note: the front is the first one, the back the last.
        chunks.back().v.push_back(stored(m, chunks.back().off));
        split(chunks.size() - 1);
    }
}

void Ring::eraseat(size_t c, size_t i)
{
    count--;
    if (count == 0) {
        clear();
        return;
    }
    auto& ch = chunks[c].v;
    ch.erase(ch.begin() + static_cast<long>(i));
    if (c == fc && i < fi)
        fi--;
    if (ch.empty()) {
        chunks.erase(chunks.begin() + static_cast<long>(c));
        if (fc > c)
            fc--;
    }
    if (fc < chunks.size() && fi == chunks[fc].v.size()) {
        fc++;
        fi = 0;
    }
    if (fc >= chunks.size())
        fc = fi = 0;
}

void Ring::pop() { eraseat(fc, fi); }

void Ring::turn() { stepfwd(fc, fi); }

void Ring::popback()
{
    size_t c = fc, i = fi;
    stepback(c, i);
    eraseat(c, i);
}

void Ring::setback(const smusic& m)
{
    size_t c = fc, i = fi;
    stepback(c, i);
    if (chunks[c].startat(i) == m.start) {
        chunks[c].v[i] = stored(m, chunks[c].off);
        return;
    }
    popback();
    push(m);
}

Ring::iter Ring::upper(int64_t x) const
{
    // The last chunk whose first note starts at or before x holds the answer,
    // or it is the first note of the chunk after it.
    auto ci = std::upper_bound(chunks.begin(), chunks.end(), x,
                               [](int64_t t, const chunk& ch) { return t < ch.startat(0); });
    if (ci == chunks.begin())
        return iter{this, 0, 0};
    size_t c = static_cast<size_t>(ci - chunks.begin()) - 1;
    const auto& ch = chunks[c];
    int64_t rel = x - ch.off;
    auto ni = std::upper_bound(ch.v.begin(), ch.v.end(), rel, [](int64_t t, const smusic& m) { return t < m.start; });
    iter r{this, c, static_cast<size_t>(ni - ch.v.begin())};
    if (r.i == ch.v.size()) {
        r.c++;
        r.i = 0;
    }
    return r;
}

bool Ring::locate(int64_t x, smusic* prev)
{
    if (chunks.empty())
        return false;
    iter nf = upper(x);
    bool found = nf != begin() && nf != end();
    if (!found)
        nf = begin(); // the sentinel, last in time, goes to the back
    bool moved = found && (nf.c != fc || nf.i != fi);
    fc = nf.c;
    fi = nf.i;
    if (prev) {
        size_t c = fc, i = fi;
        stepback(c, i);
        stepback(c, i);
        *prev = chunks[c].at(i);
    }
    return moved;
}

void Ring::rebuild(std::vector<smusic>&& notes, size_t c0, size_t c1)
{
    std::vector<chunk> made;
    for (size_t k = 0; k < notes.size(); k += CHUNK) {
        size_t len = std::min(CHUNK, notes.size() - k);
        made.push_back(chunk{std::vector<smusic>(notes.begin() + static_cast<long>(k),
                                                 notes.begin() + static_cast<long>(k + len)),
                             0});
    }
    chunks.erase(chunks.begin() + static_cast<long>(c0), chunks.begin() + static_cast<long>(c1));
    chunks.insert(chunks.begin() + static_cast<long>(c0), std::make_move_iterator(made.begin()),
                  std::make_move_iterator(made.end()));
    fc = fi = 0;
}

void Ring::shift(int64_t x, int d)
{
    if (chunks.empty() || d == 0)
        return;
    iter p = lower(x), q = lower(ENDSTART);
    for (size_t c = p.c; c < chunks.size() && (c < q.c || (c == q.c && q.i > 0)); c++) {
        chunk& ch = chunks[c];
        size_t i0 = c == p.c ? p.i : 0;
        size_t i1 = c == q.c ? q.i : ch.v.size();
        if (i0 == 0 && i1 == ch.v.size()) {
            ch.off += d;
        } else {
            for (size_t i = i0; i < i1; i++)
                ch.v[i].start += d;
        }
    }
    fc = fi = 0;
}

std::vector<smusic> Ring::take(int64_t a, int64_t b)
{
    b = std::min<int64_t>(b, ENDSTART);
    std::vector<smusic> out;
    if (chunks.empty() || a >= b)
        return out;
    iter p = lower(a), q = lower(b);
    if (p == q)
        return out;
    // The chunks from p's to q's hold the span; what is left of them is
    // chunked again.
    size_t c1 = q.i > 0 ? q.c + 1 : q.c;
    std::vector<smusic> kept;
    for (size_t c = p.c; c < c1; c++)
        for (size_t i = 0; i < chunks[c].v.size(); i++) {
            bool in = (c > p.c || i >= p.i) && (c < q.c || i < q.i);
            (in ? out : kept).push_back(chunks[c].at(i));
        }
    count -= out.size();
    rebuild(std::move(kept), p.c, c1);
    return out;
}

void Ring::put(const std::vector<smusic>& run)
{
    if (run.empty())
        return;
    count += run.size();
    if (chunks.empty()) {
        rebuild(std::vector<smusic>(run), 0, 0);
        return;
    }
    iter p = lower(run.front().start);
    size_t c = p.c == chunks.size() ? chunks.size() - 1 : p.c;
    size_t at = p.c == chunks.size() ? chunks[c].v.size() : p.i;
    std::vector<smusic> notes;
    notes.reserve(chunks[c].v.size() + run.size());
    for (size_t i = 0; i < at; i++)
        notes.push_back(chunks[c].at(i));
    notes.insert(notes.end(), run.begin(), run.end());
    for (size_t i = at; i < chunks[c].v.size(); i++)
        notes.push_back(chunks[c].at(i));
    rebuild(std::move(notes), c, c + 1);
}

size_t Ring::countin(int64_t a, int64_t b) const
{
    if (chunks.empty() || a >= b)
        return 0;
    iter p = lower(a), q = lower(b);
    if (p.c == q.c)
        return q.i - p.i;
    size_t n = chunks[p.c].v.size() - p.i + q.i;
    for (size_t c = p.c + 1; c < q.c; c++)
        n += chunks[c].v.size();
    return n;
}

std::vector<smusic> Ring::queue() const
{
    std::vector<smusic> q;
    q.reserve(count);
    for (size_t c = fc; c < chunks.size(); c++)
        for (size_t i = c == fc ? fi : 0; i < chunks[c].v.size(); i++)
            q.push_back(chunks[c].at(i));
    for (size_t c = 0; c <= fc && c < chunks.size(); c++)
        for (size_t i = 0; i < (c == fc ? fi : chunks[c].v.size()); i++)
            q.push_back(chunks[c].at(i));
    return q;
}

void Ring::assign(const std::vector<smusic>& q)
{
    clear();
    if (q.empty())
        return;
    // The queue is a rotation of time order: the smallest start follows the
    // largest one.
    size_t low = 0;
    for (size_t k = 1; k < q.size(); k++)
        if (q[k].start < q[low].start)
            low = k;
    size_t n = q.size();
    chunks.reserve(n / CHUNK + 1);
    for (size_t k = 0; k < n; k += CHUNK) {
        chunk ch;
        size_t len = std::min(CHUNK, n - k);
        ch.v.reserve(len);
        for (size_t j = k; j < k + len; j++)
            ch.v.push_back(q[(low + j) % n]);
        chunks.push_back(std::move(ch));
    }
    count = n;
    // The front, q[0], stands at time-order place (n - low) % n.
    size_t at = (n - low) % n;
    fc = at / CHUNK;
    fi = at % CHUNK;
}

Ring::iter Ring::from(int64_t t) const
{
    if (chunks.empty())
        return end();
    iter i = lower(t);
    if (i == begin())
        return i;
    if (i.i > 0) {
        i.i--;
    } else {
        i.c--;
        i.i = chunks[i.c].v.size() - 1;
    }
    return i;
}
