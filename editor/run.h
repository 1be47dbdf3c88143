#pragma once
// The state of one editor run and the drawing steps of a pass. Internal to
// the editor; tests include it to look at a run from the inside.
#include "console/console.h"
#include "editor/editor.h"
#include "score/model.h"

#include <string>
#include <string_view>
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

// Which part of the screen has the keyboard.
enum class focus { staff, menu };

// What the next pass repaints.
struct sredraw {
    bool staff = true;    // keyboard column, staff rows and vertical scroll bar (the notes too)
    bool hbar = true;     // horizontal scroll bar (the notes are erased and drawn again)
    bool time = true;     // time ruler, position label and position text
    bool notename = true; // the note name on the status row
    bool notes = false;   // the notes changed: erase and draw them again
    bool frame = true;    // menu bar, corners and status row
};

// The current note as the pass found it: the last note that starts at or
// before the cursor column (or the sentinel), and whether the cursor is in it.
struct shere {
    smusic note;       // the current note
    smusic next;       // the note after it (or the sentinel)
    int row = -1;      // its staff row, -1 when it has none
    bool within = false; // the cursor column lies within it
};

struct edrun {
    focus mousearea = focus::staff;
    bool playmode = false; // playback runs
    int tmp = 0;           // the key read on this pass
    cellset replo;         // cells now showing a note character
    cellset replo1;        // cells now showing the cursor's column line
    int oldmousex = -1, oldmousey = -1; // cursor cell at the last key read, relative to the view
    shere here;            // the current note
    sredraw ref;           // what to repaint
    bool save = false;     // save the score on this pass
    bool command = false;  // run the chosen menu command on this pass
    std::string msg;       // shown in place of the mode message until the next key

    // Playback.
    stimems statime, curtime;
    bool playsent = false; // the playback was handed to the player as its settings were confirmed
    bool escaped = false; // Esc during the last wait: playback stops at once
    int tmpmousex = 0, tmpmousey = 0, tmptoplo = 0, tmpleftlo = 0;
};

inline constexpr sredraw NOREDRAW{false, false, false, false, false, false};
inline void repaintall(edrun& r) { r.ref = sredraw{}; }

// How a key or a pass leaves the run.
enum class runend { goon, restart, quit };

// Describes the current note, with the ring already located at the cursor.
shere hereof(const sdoc& doc, const sview& v);
// Locates the ring at the cursor column and describes the current note there.
shere noteat(sdoc& doc, const sview& v);

// Acts on one key read with the focus where it is.
runend handlekey(seditor& ed, edrun& r, int k);

// Playback: startplay saves the cursor and view and hands the request to the
// player; each playstep moves the marker one column and waits until it is
// due, or ends the playback and puts the cursor and view back.
void startplay(seditor& ed, edrun& r);
// For the life of an editor run, the play settings hand the request to the
// player the moment they are confirmed, before anything is painted.
struct splayhook {
    seditor& ed;
    splayhook(seditor& ed, edrun& r);
    ~splayhook();
};
void playstep(seditor& ed, edrun& r);
void playmsg(const sview& v); // "正在播放" on the status row

// Drawing steps of a pass (the flags of the run say which ones run).
void drawframe(smenubar& bar);
void drawstaff(const sview& v);
void drawhbar(const sview& v, int musicleng);
void drawtime(sview& v); // also sets v.ttime
void drawnotename(const sview& v);
void drawnotes(edrun& r, const sdoc& doc, const sview& v);
void drawcolumn(edrun& r, const sview& v); // the cursor's column line, the old one taken away first
void clearcells(cellset& cs, const sview& v); // "_" on every recorded cell, then forgets them
// A message in the mode message area of the status row, right-aligned; a
// longer one reaches further left, never past the position text. Returns
// true when it covered more than the area (the frame must be drawn again).
bool drawmsg(const sview& v, std::string_view msg);

// Undo (true) or redo (false) as the keys and the menu do it.
void undoredo(seditor& ed, edrun& r, bool undo);

// Colour of staff cells on a row.
inline unsigned short rowcolor(int row) { return row % 2 == 0 ? 120 : 248; }

// The message the status row shows in playback.
constexpr const char* PLAYMSG = "      正在播放";
