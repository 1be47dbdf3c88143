// SPDX-License-Identifier: MIT
#include "score/ring.h"

#include <algorithm>


void Ring::stepback(size_t& c, size_t& i) const
{
    if (i > 0) {
        i--;
        return;
    }
    c = c == 0 ? chunks.size() - 1 : c - 1;
    i = chunks[c].size() - 1;
}

void Ring::stepfwd(size_t& c, size_t& i) const
{
    if (++i < chunks[c].size())
        return;
    i = 0;
    if (++c == chunks.size())
        c = 0;
}

const smusic& Ring::back() const
{
    size_t c = fc, i = fi;
    stepback(c, i);
    return chunks[c][i];
}

void Ring::clear()
{
    chunks.clear();
    fc = fi = count = 0;
}

void Ring::split(size_t c)
{
    if (chunks[c].size() < 2 * CHUNK)
        return;
    size_t half = chunks[c].size() / 2;
    std::vector<smusic> tail(chunks[c].begin() + static_cast<long>(half), chunks[c].end());
    chunks[c].resize(half);
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
        chunks.push_back({m});
        fc = fi = 0;
        return;
    }
    if (m.start < front().start) {
        // Just before the front in time: the front moves up one place.
        auto& ch = chunks[fc];
        ch.insert(ch.begin() + static_cast<long>(fi), m);
        fi++;
        split(fc);
    } else {
        // After every note: the front is the first one, the back the last.
        chunks.back().push_back(m);
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
    auto& ch = chunks[c];
    ch.erase(ch.begin() + static_cast<long>(i));
    if (c == fc && i < fi)
        fi--;
    if (ch.empty()) {
        chunks.erase(chunks.begin() + static_cast<long>(c));
        if (fc > c)
            fc--;
    }
    if (fc < chunks.size() && fi == chunks[fc].size()) {
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
    if (chunks[c][i].start == m.start) {
        chunks[c][i] = m;
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
                               [](int64_t t, const std::vector<smusic>& ch) { return t < ch.front().start; });
    if (ci == chunks.begin())
        return iter{this, 0, 0};
    size_t c = static_cast<size_t>(ci - chunks.begin()) - 1;
    auto& ch = chunks[c];
    auto ni = std::upper_bound(ch.begin(), ch.end(), x, [](int64_t t, const smusic& m) { return t < m.start; });
    iter r{this, c, static_cast<size_t>(ni - ch.begin())};
    if (r.i == ch.size()) {
        r.c++;
        r.i = 0;
    }
    return r;
}

Ring::iter Ring::lower(int64_t x) const { return upper(x - 1); }

bool Ring::locate(int64_t x, smusic* prev)
{
    if (chunks.empty())
        return false;
    iter nf = upper(x);
    bool found = nf != iter{this, 0, 0} && nf != end();
    if (!found)
        nf = iter{this, 0, 0}; // the sentinel, last in time, goes to the back
    bool moved = found && (nf.c != fc || nf.i != fi);
    fc = nf.c;
    fi = nf.i;
    if (prev) {
        size_t c = fc, i = fi;
        stepback(c, i);
        stepback(c, i);
        *prev = chunks[c][i];
    }
    return moved;
}

std::vector<smusic> Ring::queue() const
{
    std::vector<smusic> q;
    q.reserve(count);
    for (size_t c = fc; c < chunks.size(); c++)
        q.insert(q.end(), chunks[c].begin() + static_cast<long>(c == fc ? fi : 0), chunks[c].end());
    for (size_t c = 0; c <= fc && c < chunks.size(); c++)
        q.insert(q.end(), chunks[c].begin(), chunks[c].begin() + static_cast<long>(c == fc ? fi : chunks[c].size()));
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
        std::vector<smusic> ch;
        size_t len = std::min(CHUNK, n - k);
        ch.reserve(len);
        for (size_t j = k; j < k + len; j++)
            ch.push_back(q[(low + j) % n]);
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
    if (i == iter{this, 0, 0})
        return i;
    if (i.i > 0) {
        i.i--;
    } else {
        i.c--;
        i.i = chunks[i.c].size() - 1;
    }
    return i;
}
