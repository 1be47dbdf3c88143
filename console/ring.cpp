#include "console/ring.h"

#include <algorithm>
#include <cassert>

Ring music;

void Ring::clear()
{
    notes.clear();
    first = notes.end();
}

void Ring::push(const smusic& m)
{
    if (notes.empty()) {
        first = notes.insert(m).first;
        return;
    }
    // The new note sits between the back and the front, that is just before
    // the front in time order (or after the last note when the front is the
    // first one).
    auto hint = first == notes.begin() ? notes.end() : first;
    auto before = notes.size();
    notes.insert(hint, m);
    assert(notes.size() == before + 1 && "two notes with the same start");
    (void)before;
}

void Ring::pop()
{
    first = notes.erase(first);
    if (first == notes.end())
        first = notes.begin();
}

void Ring::turn() { first = nextof(first); }

void Ring::setback(const smusic& m)
{
    auto b = prevof(first);
    bool single = notes.size() == 1;
    auto after = notes.erase(b);
    auto pos = notes.insert(after, m);
    if (single)
        first = pos;
}

void Ring::popback()
{
    auto b = prevof(first);
    if (b == first) { // the only note
        clear();
        return;
    }
    notes.erase(b);
}

bool Ring::locate(int64_t x, smusic* prev)
{
    if (notes.empty())
        return false;
    auto old = first;
    auto nf = notes.upper_bound(x);
    bool found = nf != notes.begin() && nf != notes.end();
    if (!found)
        nf = notes.begin(); // the sentinel, last in time, goes to the back
    first = nf;
    if (prev)
        *prev = *prevof(prevof(first));
    return found && nf != old;
}

std::vector<smusic> Ring::queue() const
{
    std::vector<smusic> q;
    q.reserve(notes.size());
    for (auto i = first; i != notes.end(); ++i)
        q.push_back(*i);
    for (auto i = notes.begin(); i != first; ++i)
        q.push_back(*i);
    return q;
}

void Ring::assign(const std::vector<smusic>& q)
{
    clear();
    if (q.empty())
        return;
    // The queue is a rotation of time order: the smallest start follows the
    // largest one.
    size_t low = static_cast<size_t>(std::min_element(q.begin(), q.end(), bystart{}) - q.begin());
    for (size_t k = 0; k < q.size(); k++)
        notes.insert(notes.end(), q[(low + k) % q.size()]);
    first = notes.find(q.front().start);
}

Ring::iter Ring::from(int64_t t) const
{
    auto i = notes.lower_bound(t);
    if (i != notes.begin())
        --i;
    return i;
}
