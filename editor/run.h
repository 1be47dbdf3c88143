#pragma once
// The state of one editor run and the drawing steps of a pass. Internal to
// the editor; tests include it to look at a run from the inside.
#include "console/console.h"
#include "score/model.h"

#include <vector>

struct location {
    int x = 0; // time step - leftlo
    int y = 0; // staff row - toplo
};

// Cells of the view recorded so that they can be cleared later. Each cell is
// kept once, however often it is recorded.
struct cellset {
    std::vector<location> cells;
    std::vector<unsigned char> marked; // winleng x winheig
    void add(int x, int y);
    bool has(int x, int y) const;
    void reset();
};

struct edrun {
    int mousearea = 0;     // 0 the staff has the focus, 1 the menu bar
    bool playmode = false; // playback runs
    int tmp = 0;           // the key read on this pass
    cellset replo;         // cells now showing a note character
    cellset replo1;        // cells now showing the cursor's column line
    int oldmousex = -1, oldmousey = -1; // cursor cell at the last key read, relative to the view
    smusic mtmp;           // the current note
    int mrow = -1;         // its staff row, -1 when it has none
    smusic nextnote;       // the note after it (or the sentinel)
    bool ref[9] = {true, true, true, true, false, false, false, true, false};

    // Playback.
    stimems statime, curtime;
    smusic oldmusic;
    int tmpmousex = 0, tmpmousey = 0, tmptoplo = 0, tmpleftlo = 0;
};

// Drawing steps of a pass (the flags of the run say which ones run).
void drawframe();
void drawstaff();
void drawhbar();
void drawtime();
void drawnotename();
void drawnotes(edrun& r);
void drawcolumn(edrun& r); // the cursor's column line, the old one taken away first
void clearcell(int x, int y);  // "_" on a view cell in its row's staff colour
void clearcells(cellset& cs);  // clears every recorded cell and forgets them
// Colour of staff cells on a row.
inline unsigned short rowcolor(int row) { return row % 2 == 0 ? 120 : 248; }

// The message the status row shows in playback.
constexpr const char* PLAYMSG = "      正在播放";
