// SPDX-License-Identifier: MIT
#pragma once
// A straightforward queue of notes, turned exactly as the editor's ring is
// described: the oracle the real ring is compared with.
#include "score/model.h"

#include <cstddef>
#include <deque>
#include <vector>

struct naivering {
    std::deque<smusic> q;

    void turn()
    {
        q.push_back(q.front());
        q.pop_front();
    }
    void push(const smusic& m) { q.push_back(m); }
    void setback(const smusic& m)
    {
        for (size_t i = 0; i + 1 < q.size(); i++)
            turn();
        q.pop_front();
        q.push_back(m);
    }
    void popback()
    {
        for (size_t i = 0; i + 1 < q.size(); i++)
            turn();
        q.pop_front();
    }
    // The turn-and-test loop; returns the turns after which the pair was
    // found, or 0 when none was (the sentinel then ends at the back).
    size_t locate(long long x, smusic* prev)
    {
        for (size_t i = 0; i < q.size(); i++) {
            smusic before = q.back();
            turn();
            if (q.back().start <= x && q.front().start > x) {
                if (prev)
                    *prev = before;
                return i + 1;
            }
        }
        while (!issentinel(q.back()))
            turn();
        return 0;
    }
    std::vector<smusic> queue() const { return {q.begin(), q.end()}; }
};

inline bool same(const smusic& a, const smusic& b)
{
    return a.start == b.start && a.heig == b.heig && a.pitch == b.pitch && a.leng == b.leng && a.rise == b.rise;
}
