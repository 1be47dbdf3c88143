// SPDX-License-Identifier: MIT
#pragma once
// The score queue `music`, used as a ring that the editor turns so that the
// note at the cursor is at the back.
//
// It behaves exactly like a first-in first-out queue of notes turned by
// "push a copy of the front at the back, pop the front": which note is
// physically at the front or back is observable (a saved file lists the notes
// starting from the back). Because the notes, read cyclically from just after
// the sentinel, are always in ascending order of start, the queue is a sorted
// sequence plus the position of its front. The sequence is kept in chunks of
// a few hundred notes: turning moves the position (O(1)); locating the cursor
// is a binary search (O(log n)); a note goes in or out by moving at most one
// chunk's worth; a whole score loads and saves by copying.
#include "score/model.h"

#include <cstddef>
#include <vector>

struct Ring {
    static constexpr size_t CHUNK = 512; // a chunk is split when it reaches twice this

    std::vector<std::vector<smusic>> chunks; // time order, the sentinel last; no chunk is empty
    size_t fc = 0, fi = 0;                   // the front note: chunks[fc][fi]
    size_t count = 0;

    // Walks the notes in time order (not cyclically).
    struct iter {
        const Ring* r = nullptr;
        size_t c = 0, i = 0;
        const smusic& operator*() const { return r->chunks[c][i]; }
        const smusic* operator->() const { return &r->chunks[c][i]; }
        iter& operator++()
        {
            if (++i == r->chunks[c].size()) {
                ++c;
                i = 0;
            }
            return *this;
        }
        bool operator==(const iter& o) const { return c == o.c && i == o.i; }
        bool operator!=(const iter& o) const { return !(*this == o); }
    };

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const smusic& front() const { return chunks[fc][fi]; }
    const smusic& back() const;

    void clear();
    // Push at the back. The note must belong between the back and the front in
    // time, as every note the editor and the file reader push does.
    void push(const smusic& m);
    void pop();                    // pop the front
    void turn();                   // push a copy of the front at the back, pop the front
    void setback(const smusic& m); // replace the back note, keeping the cyclic order
    void popback();                // remove the back note; the one before it becomes the back

    // Locates column x: afterwards the back is the last note starting at or
    // before x (or the sentinel when none does) and the front the next one.
    // Returns true when a turn-and-test loop over the queue would have found
    // the pair after fewer than size() turns, that is, when the ring was not
    // already positioned there. `prev`, when given, receives the note before
    // the new back.
    bool locate(int64_t x, smusic* prev = nullptr);

    // The notes in queue order, front first.
    std::vector<smusic> queue() const;
    // Replaces the contents with notes given in queue order, front first; they
    // must be in ascending cyclic order of start.
    void assign(const std::vector<smusic>& q);

    // Notes in time order starting with the last one that starts before t
    // (the only one that can reach into a view beginning at t).
    iter from(int64_t t) const;
    iter end() const { return iter{this, chunks.size(), 0}; }

private:
    void stepback(size_t& c, size_t& i) const;
    void stepfwd(size_t& c, size_t& i) const;
    void eraseat(size_t c, size_t i); // keeps the front on the same note
    void split(size_t c);            // halves a chunk grown too big
    iter upper(int64_t x) const;     // first note starting after x
    iter lower(int64_t x) const;     // first note starting at or after x
};

