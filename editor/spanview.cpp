// SPDX-License-Identifier: MIT
// What the span keys add to the screen: the selection as a highlight over
// the view, and on the status row the entry length and what the selection
// holds.
#include "editor/run.h"

#include "score/edits.h"
#include "score/ring.h"

#include <algorithm>
#include <string>

unsigned char selattr(unsigned char attr)
{
    // Blue behind every cell; foregrounds that would fade into it lighten.
    unsigned char fg = attr & 15;
    if (fg == 0 || fg == 8)
        fg = 7;
    else if (fg == 1 || fg == 9)
        fg = 15;
    return static_cast<unsigned char>(16 * 1 + fg);
}

void drawselection(const seditor& ed)
{
    if (!selecting(ed))
        return;
    const sview& v = ed.view;
    const sspan s = selection(ed.edits, v);
    const int64_t a = std::max<int64_t>(s.a, v.leftlo), b = std::min<int64_t>(s.b, static_cast<int64_t>(v.leftlo) + v.winleng);
    for (int y = 0; y < v.winheig; y++)
        for (int64_t x = a; x < b; x++) {
            Cell& c = gcell(scr, static_cast<int>(x - v.leftlo) + 6, y + 2);
            c.attr = selattr(c.attr);
        }
}

void drawspaninfo(const seditor& ed)
{
    setcolor(112);
    gotoxy(SPANINFO_ENTRY, ed.view.winheig + 3);
    cpad("时值:" + std::to_string(ed.edits.entry), 7);
    std::string sel;
    if (selecting(ed)) {
        const sspan s = selection(ed.edits, ed.view);
        sel = "选区:" + std::to_string(s.b - s.a) + "步 " + std::to_string(notecount(ed.doc.music, s)) + "音";
    }
    gotoxy(SPANINFO_SELECTION, ed.view.winheig + 3);
    cpad(sel, 30);
    setcolor(15);
}
