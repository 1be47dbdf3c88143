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
// a few hundred notes, each with an offset added to the starts of all its
// notes, so that moving every later note in time touches one chunk's notes
// and one number per later chunk.
//
// Costs, n notes, k of them in the span an operation names, C = CHUNK:
//   turn, front, back                  O(1)
//   locate, count                      O(log n) (count: + one per chunk spanned)
//   push, pop, setback, popback        O(C + n/C)
//   shift                              O(C + n/C)
//   take, put                          O(k + C + n/C)
//   queue, assign                      O(n)
// With n = 1,000,000 the n/C part is about 2,000 additions.
#include "score/model.h"

#include <cstddef>
#include <vector>

struct Ring {
    static constexpr size_t CHUNK = 512; // a chunk is split when it reaches twice this

    // Notes in time order; a note's start is its stored start plus `off`.
    struct chunk {
        std::vector<smusic> v;
        int off = 0;
        smusic at(size_t i) const
        {
            smusic m = v[i];
            m.start += off;
            return m;
        }
        int startat(size_t i) const { return v[i].start + off; }
    };

    std::vector<chunk> chunks; // time order, the sentinel last; no chunk is empty
    size_t fc = 0, fi = 0;     // the front note: chunks[fc] at fi
    size_t count = 0;

    // Walks the notes in time order (not cyclically). Notes are read by value.
    struct iter {
        struct arrow {
            smusic m;
            const smusic* operator->() const { return &m; }
        };
        const Ring* r = nullptr;
        size_t c = 0, i = 0;
        smusic operator*() const { return r->chunks[c].at(i); }
        arrow operator->() const { return arrow{**this}; }
        iter& operator++()
        {
            if (++i == r->chunks[c].v.size()) {
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
    smusic front() const { return chunks[fc].at(fi); }
    smusic back() const;

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

    // Span operations. Afterwards the back is the sentinel (as after locating
    // a column before every note): locate the cursor again.
    //
    // Every note starting in [x, ENDSTART) moves by d steps. The caller keeps
    // the order: a note moved left must not reach back to an earlier note.
    void shift(int64_t x, int d);
    // Removes the notes starting in [a, b) (never the sentinel) and returns
    // them in time order.
    std::vector<smusic> take(int64_t a, int64_t b);
    // Inserts notes given in time order; no note of the ring may start within
    // [run.front().start, run.back().start].
    void put(const std::vector<smusic>& run);
    // How many notes start in [a, b).
    size_t countin(int64_t a, int64_t b) const;

    // The notes in queue order, front first.
    std::vector<smusic> queue() const;
    // Replaces the contents with notes given in queue order, front first; they
    // must be in ascending cyclic order of start.
    void assign(const std::vector<smusic>& q);

    // Notes in time order starting with the last one that starts before t
    // (the only one that can reach into a view beginning at t).
    iter from(int64_t t) const;
    // The first note starting at or after x.
    iter lower(int64_t x) const { return upper(x - 1); }
    iter begin() const { return iter{this, 0, 0}; }
    iter end() const { return iter{this, chunks.size(), 0}; }

private:
    void stepback(size_t& c, size_t& i) const;
    void stepfwd(size_t& c, size_t& i) const;
    void eraseat(size_t c, size_t i); // keeps the front on the same note
    void flatten(size_t c);           // folds a chunk's offset into its notes
    void split(size_t c);             // halves a chunk grown too big
    void rebuild(std::vector<smusic>&& notes, size_t c0, size_t c1); // notes replace chunks [c0, c1)
    iter upper(int64_t x) const;      // first note starting after x
};
