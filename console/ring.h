#pragma once
// The score queue `music`, used as a ring that the editor turns so that the
// note at the cursor is at the back.
//
// It behaves exactly like a first-in first-out queue of notes turned by
// "push a copy of the front at the back, pop the front": which note is
// physically at the front or back is observable (a saved file lists the notes
// starting from the back). Because the notes, read cyclically from just after
// the sentinel, are always in ascending order of start, the queue is a sorted
// set plus the position of its front. Turning moves that position, so it is
// O(1); locating the cursor and reaching the notes in view are O(log n).
#include "console/model.h"

#include <cstddef>
#include <set>
#include <vector>

struct Ring {
    struct bystart {
        using is_transparent = void;
        bool operator()(const smusic& a, const smusic& b) const { return a.start < b.start; }
        bool operator()(const smusic& a, int64_t t) const { return a.start < t; }
        bool operator()(int64_t t, const smusic& b) const { return t < b.start; }
    };
    using set = std::set<smusic, bystart>;
    using iter = set::const_iterator;

    set notes;  // in time order; the sentinel, with the largest start, is last
    iter first; // the front of the queue

    Ring() : first(notes.end()) {}
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;

    size_t size() const { return notes.size(); }
    bool empty() const { return notes.empty(); }
    const smusic& front() const { return *first; }
    const smusic& back() const { return *prevof(first); }

    void clear();
    // Push at the back. The note must belong between the back and the front in
    // time, as every note the editor and the file reader push does.
    void push(const smusic& m);
    void pop();                      // pop the front
    void turn();                     // push a copy of the front at the back, pop the front
    void setback(const smusic& m);   // replace the back note, keeping the cyclic order
    void popback();                  // remove the back note; the one before it becomes the back

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
    // must be in ascending cyclic order of start with one sentinel.
    void assign(const std::vector<smusic>& q);

    // Notes in time order starting with the last one that starts before t
    // (the only one that can reach into a view beginning at t).
    iter from(int64_t t) const;
    iter end() const { return notes.end(); }

    iter prevof(iter i) const { return std::prev(i == notes.begin() ? notes.end() : i); }
    iter nextof(iter i) const
    {
        ++i;
        return i == notes.end() ? notes.begin() : i;
    }
};

extern Ring music;
