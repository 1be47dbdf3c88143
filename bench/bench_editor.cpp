// SPDX-License-Identifier: MIT
// Work per key in the editor, and bytes per frame on the terminal.
//
// Part 1: CPU time per key for 'd' within the view, 'd' past the right edge,
// Space and Backspace, on scores of 1,000, 100,000 and 1,000,000 notes. The
// editor runs on scripted keys; frames go through the real renderer into
// memory, so the figures include building every frame's bytes.
//
// Part 2: CPU time per key for Space, Backspace, Ctrl+Z and Ctrl+Y with the
// undo history recording and replaying them, and the memory the history
// holds after 100,000 edits.
//
// Part 3: milliseconds for each span edit and its undo: transpose, cut and
// paste of 10,000 notes, and a step of time in and out near the start of a
// 1,000,000-note score (every later note moves).
//
// Part 4: bytes written for one 'd' within the view, one 's', one Space and
// one full repaint, beside the number of cells that actually change.
#include "console/console.h"
#include "score/edits.h"
#include "score/ring.h"
#include "editor/editor.h"
#include "menu/menu.h"
#include "platform/render.h"
#include "widgets/lineedit.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

// The editor state the benchmark drives.
static seditor te;

namespace {

std::deque<int> keys;
Screen screen;
Grid shown; // what the last frame showed
size_t framebytes = 0, framecells = 0;
bool measuring = false;

int benchkey() { return keys.empty() ? KEY_END : (keys.pop_front(), keys.empty() ? KEY_END : keys.front()); }

int nextkey()
{
    if (keys.empty())
        return KEY_END;
    int k = keys.front();
    keys.pop_front();
    return k;
}

void show(const Grid& g)
{
    std::string out;
    rframe(screen, g, out);
    if (measuring) {
        framebytes += out.size();
        size_t n = 0;
        if (shown.cells.size() == g.cells.size())
            for (size_t i = 0; i < g.cells.size(); i++)
                n += g.cells[i].ch != shown.cells[i].ch || g.cells[i].attr != shown.cells[i].attr;
        else
            n = g.cells.size();
        framecells += n;
    }
    shown = g;
}

stimems now()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return stimems{ts.tv_sec, static_cast<short>(ts.tv_nsec / 1000000)};
}

double cpusec()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A score of n notes, two steps each with a one-step rest, on rows that
// wander over the staff.
void makescore(int n)
{
    std::vector<smusic> v;
    v.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i < n; i++) {
        int row = 1 + (i * 7) % 83;
        smusic m = rownote(row);
        if (m.pitch == 0)
            m = rownote(row + 1);
        m.start = i * 3;
        m.leng = 2;
        v.push_back(m);
    }
    v.push_back(SENTINEL);
    te.doc.music.assign(v);
}

// Puts the cursor in the middle of the score on a free step, and runs the
// keys; returns CPU microseconds per key.
double perkey(int n, int col, const std::string& pattern, int count)
{
    te.view.mousex = col;
    te.view.mousey = 55;
    te.view.leftlo = col - 50;
    te.view.toplo = 40;
    te.doc.musicleng = std::max(n * 3, col + 1);
    keys.clear();
    for (int i = 0; i < count; i++)
        keys.push_back(static_cast<unsigned char>(pattern[static_cast<size_t>(i) % pattern.size()]));
    double t0 = cpusec();
    edit(te, false);
    double t1 = cpusec();
    return (t1 - t0) * 1e6 / count;
}

// Undo and redo: one run (the history lives as long as the run) of `count`
// Spaces making a note and Backspaces taking it again, then Ctrl+Z over all
// of them, then Ctrl+Y over all of them. Prints CPU microseconds per key of
// each kind.
void undobench(int n, int count)
{
    makescore(n);
    const int mid = (n / 2) * 3 + 2;
    te.view.mousex = mid;
    te.view.mousey = 55;
    te.view.leftlo = mid - 50;
    te.view.toplo = 40;
    te.doc.musicleng = n * 3;
    keys.clear();
    for (int i = 0; i < count; i++)
        keys.push_back(i % 2 == 0 ? ' ' : '\b');
    for (int i = 0; i < count; i++)
        keys.push_back(26);
    for (int i = 0; i < count; i++)
        keys.push_back(25);
    // The time at each change of key, read as the key is handed over.
    static std::vector<double> marks;
    static int lastkey;
    marks.clear();
    lastkey = -1;
    scr.io.event = []() -> sevent {
        if (keys.empty()) {
            marks.push_back(cpusec());
            return codeevent(KEY_END);
        }
        int k = keys.front();
        keys.pop_front();
        const int kind = k == 26 ? 1 : k == 25 ? 2 : 0; // edit, undo, redo
        if (kind != lastkey)
            marks.push_back(cpusec());
        lastkey = kind;
        return codeevent(k);
    };
    edit(te, false);
    scr.io.event = [] { return codeevent(nextkey()); };
    if (marks.size() != 4)
        return;
    const double edits = (marks[1] - marks[0]) * 1e6 / count;
    const double undo = (marks[2] - marks[1]) * 1e6 / count;
    const double redo = (marks[3] - marks[2]) * 1e6 / count;
    std::printf("%10d %14.2f %14.2f %14.2f\n", n, edits, undo, redo);
}

// Heap held after 100,000 edits beyond what the score itself holds: Space
// and Backspace at one place leave the score as it was.
void undomemory()
{
    makescore(1000000);
    te.view.mousex = 1500002;
    te.view.mousey = 55;
    te.view.leftlo = 1500000 - 50;
    te.view.toplo = 40;
    te.doc.musicleng = 3000000;
    keys.clear();
    for (int i = 0; i < 100000; i++)
        keys.push_back(i % 2 == 0 ? ' ' : '\b');
    static size_t before, after;
    before = mallinfo2().uordblks;
    scr.io.event = []() -> sevent {
        if (keys.empty()) {
            after = mallinfo2().uordblks;
            return codeevent(KEY_END);
        }
        int k = keys.front();
        keys.pop_front();
        return codeevent(k);
    };
    edit(te, false);
    scr.io.event = [] { return codeevent(nextkey()); };
    std::printf("heap held by the history after 100,000 edits: %.2f MB (%zu steps of %zu bytes)\n",
                static_cast<double>(after - before) / 1048576.0, te.hist.steps.size(), sizeof(sstep));
}

// One span edit on a 1,000,000-note score, then its undo and redo: wall
// milliseconds of each (the best of a few rounds).
void spanbench(const char* name, const std::function<editres()>& edit)
{
    double best[3] = {1e9, 1e9, 1e9};
    for (int round = 0; round < 5; round++) {
        double t0 = cpusec();
        editres r = edit();
        double t1 = cpusec();
        histundo(te.hist, te.doc, te.view);
        double t2 = cpusec();
        histredo(te.hist, te.doc, te.view);
        double t3 = cpusec();
        histundo(te.hist, te.doc, te.view);
        if (r != editres::done) {
            std::printf("%-34s refused\n", name);
            return;
        }
        best[0] = std::min(best[0], (t1 - t0) * 1e3);
        best[1] = std::min(best[1], (t2 - t1) * 1e3);
        best[2] = std::min(best[2], (t3 - t2) * 1e3);
    }
    std::printf("%-34s %10.3f %10.3f %10.3f\n", name, best[0], best[1], best[2]);
}

void spanbenches()
{
    makescore(1000000);
    te.doc.musicleng = 3000000;
    histclear(te.hist, te.doc);
    sview& v = te.view;
    v.mousex = 1500000;
    v.mousey = 55;
    const sspan tenk{1500000, 1500000 + 30000}; // 10,000 notes
    // The span to transpose holds 10,000 notes of the middle octaves.
    static sclip clip;
    for (int i = 0; i < 10000; i++)
        clip.notes.push_back(smusic{3 * i, 3 + i % 2, 1 + i % 7, 2, i % 3 == 0});
    clip.leng = 30000;
    pastespan(te.doc, te.hist, v, clip, tenk.a);
    std::printf("\nSpan edits on a 1,000,000-note score, milliseconds (CPU)\n");
    std::printf("%-34s %10s %10s %10s\n", "edit", "edit", "undo", "redo");
    spanbench("transpose 10,000 notes up", [&] { return transpose(te.doc, te.hist, v, tenk, 1); });
    spanbench("transpose 10,000 notes an octave", [&] { return transpose(te.doc, te.hist, v, tenk, -12); });
    spanbench("cut 10,000 notes", [&] { return cutspan(te.doc, te.hist, v, tenk); });
    spanbench("paste 10,000 notes over 10,000", [&] { return pastespan(te.doc, te.hist, v, clip, 600000); });
    v.mousex = 10;
    spanbench("insert a step at column 10", [&] { return insertstep(te.doc, te.hist, v, 10); });
    spanbench("remove a step at column 10", [&] { return removestep(te.doc, te.hist, v, 10); });
    spanbench("enter a digit", [&] { return enterdigit(te.doc, te.hist, v, 3, 4); });
    // Through the editor, frames included: 'i' and 'r' in turn, a digit and
    // its undo, at the middle of the score.
    const int mid = 1500002;
    std::printf("per key through the editor (microseconds): i/r %.2f, digit/Ctrl+Z %.2f\n",
                perkey(1000000, mid, "ir", 4000), perkey(1000000, mid, "1\x1a", 4000));
    std::printf("(copy of 10,000 notes: ");
    double t0 = cpusec();
    clip = copyspan(te.doc.music, tenk);
    std::printf("%.3f ms)\n", (cpusec() - t0) * 1e3);
}

} // namespace

int main()
{
    // The scripted input ends with unsaved edits, which the editor keeps in a
    // recovery file: let that land in a folder of our own.
    char dir[] = "/tmp/pvbench.XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0)
        return 1;
    scr.io = conio{};
    scr.io.show = show;
    scr.io.event = [] { return codeevent(nextkey()); };
    scr.io.now = now;
    scr.io.sleep = [](int) {};
    (void)benchkey;
    te = seditor{};
    tbset(te.bar);

    std::printf("CPU time per key (microseconds), view %d x %d\n", te.view.winleng, te.view.winheig);
    std::printf("%10s %14s %16s %14s %14s\n", "notes", "d in view", "d past edge", "Space+Bksp/2", "Backspace");
    for (int n : {1000, 100000, 1000000}) {
        makescore(n);
        const int mid = (n / 2) * 3 + 2; // the rest after a note
        const int keysn = 20000;
        double din = perkey(n, mid, "da", keysn);
        // Past the right edge: every 'd' scrolls the view by one step.
        te.view.mousex = mid;
        double dedge;
        {
            te.view.mousex = mid;
            keys.clear();
            te.view.leftlo = mid - te.view.winleng + 1;
            te.view.mousey = 55;
            te.view.toplo = 40;
            te.doc.musicleng = n * 3;
            for (int i = 0; i < keysn; i++)
                keys.push_back('d');
            double t0 = cpusec();
            edit(te, false);
            dedge = (cpusec() - t0) * 1e6 / keysn;
        }
        makescore(n);
        // On the rest step: Space makes a note, Backspace removes it again.
        double spbk = perkey(n, mid, " \b", keysn);
        makescore(n);
        // Backspace on a note's first step, cursor at the start: it shortens
        // (length 2 -> 1), removes it, then finds nothing; alternate with
        // Space so that there is always something to take away.
        double bk = perkey(n, mid - 2, "\b", keysn);
        std::printf("%10d %14.2f %16.2f %14.2f %14.2f\n", n, din, dedge, spbk, bk);
    }

    std::printf("\nUndo history, CPU time per key (microseconds)\n");
    std::printf("%10s %14s %14s %14s\n", "notes", "Space/Bksp", "Ctrl+Z", "Ctrl+Y");
    for (int n : {1000, 1000000})
        undobench(n, 20000);
    undomemory();
    spanbenches();

    // Bytes per frame against the cells that change.
    makescore(1000);
    std::printf("\nBytes written against cells changed (1,000-note score)\n");
    auto measure = [](const char* name, const std::string& k) {
        te.view.mousex = 1502;
        te.view.mousey = 55;
        te.view.leftlo = 1452;
        te.view.toplo = 40;
        te.doc.musicleng = 3000;
        keys.clear();
        // One key to settle, then the measured key; frames are counted from
        // the one shown before the measured key is read to the one after it.
        keys.push_back('a');
        keys.push_back('d');
        for (char c : k)
            keys.push_back(static_cast<unsigned char>(c));
        framebytes = framecells = 0;
        measuring = false;
        scr.io.event = []() -> sevent {
            if (keys.empty())
                return codeevent(KEY_END);
            int c = keys.front();
            keys.pop_front();
            measuring = keys.empty() ? true : measuring;
            return codeevent(c);
        };
        edit(te, false);
        std::printf("%-18s %6zu bytes %6zu cells  %.2f bytes/cell\n", name, framebytes, framecells,
                    framecells ? static_cast<double>(framebytes) / static_cast<double>(framecells) : 0.0);
        measuring = false;
    };
    measure("'d' in view", "d");
    measure("'s'", "s");
    measure("Space", " ");
    // A full repaint: a fresh screen, everything drawn.
    {
        keys.clear();
        scr.io.event = [] { return codeevent(nextkey()); };
        rinvalidate(screen);
        shown = Grid{};
        framebytes = framecells = 0;
        measuring = true;
        edit(te, false);
        measuring = false;
        std::printf("%-18s %6zu bytes %6zu cells  %.2f bytes/cell\n", "full repaint", framebytes, framecells,
                    static_cast<double>(framebytes) / static_cast<double>(framecells));
    }
    // The line editor: 40,000 combining marks typed a key at a time (no
    // paste brackets) and 1,000 cursor keys and letters after them; the
    // field's text is capped at the longest path. Once with a frame shown
    // (the grid diffed) after every key, once as the terminal does it: a
    // frame only when no input waits.
    for (bool ahead : {false, true}) {
        keys.clear();
        keys.push_back('a');
        for (int i = 0; i < 40000; i++) {
            keys.push_back(0xCC);
            keys.push_back(0x81);
        }
        for (int i = 0; i < 250; i++)
            for (int k : {KEY_LEFT, KEY_LEFT, static_cast<int>('x'), KEY_RIGHT})
                keys.push_back(k);
        keys.push_back(KEY_ENTER);
        scr.io.waiting = ahead ? [] { return !keys.empty(); } : static_cast<bool (*)()>(nullptr);
        cls();
        gotoxy(10, 5);
        std::string line;
        double t0 = cpusec();
        getline(line, 60);
        double t1 = cpusec();
        std::printf("line editor: 40,000 combining marks + 1,000 keys, %s: %.3f s CPU (%zu bytes kept)\n",
                    ahead ? "frames when no input waits" : "a frame every key", t1 - t0, line.size());
    }
    scr.io.waiting = nullptr;
    return 0;
}
