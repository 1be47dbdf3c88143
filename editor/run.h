// SPDX-License-Identifier: MIT
#pragma once
// The state of one editor run and the drawing steps of a pass. Internal to
// the editor; tests include it to look at a run from the inside.
#include "console/console.h"
#include "editor/editor.h"
#include "menu/command.h"
#include "score/model.h"

#include <string>
#include <string_view>

// Which part of the screen has the keyboard.
enum class focus { staff, menu };

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
    shere here;            // the current note
    command chosen = command::none; // a menu item chosen: it runs on the next pass, over the painted frame
    std::string msg;       // shown in place of the mode message until the next key
    int dragfrom = -1;     // the column a left press on the staff or ruler began at; -1 when none is held

    // Playback.
    splay playing;        // the range and speed being played
    bool looping = false; // it starts again at its end until Esc
    std::string playpath; // the file a loop hands the player again
    stimems statime, curtime;
    bool playsent = false; // the playback was handed to the player as its settings were confirmed
    bool escaped = false; // Esc during the last wait: playback stops at once
    int tmpmousex = 0, tmpmousey = 0, tmptoplo = 0, tmpleftlo = 0;
};

// How a key or a pass leaves the run.
enum class runend { goon, restart, quit };

// Describes the current note, with the ring already located at the cursor.
shere hereof(const sdoc& doc, const sview& v);
// Locates the ring at the cursor column and describes the current note there.
shere noteat(sdoc& doc, const sview& v);

// Runs command `c` to its end, whatever asked for it (a menu item, a key).
runend runcmd(seditor& ed, edrun& r, command c);

// Acts on one key read with the focus where it is.
runend handlekey(seditor& ed, edrun& r, int k);
// Acts on one input event: a key or character as its key, a mouse report
// where it points.
runend handleevent(seditor& ed, edrun& r, const sevent& e);
// Acts on one mouse report (editor/mouse.cpp).
runend handlemouse(seditor& ed, edrun& r, const smouse& m);

// Playback: startplay saves the cursor and view and hands the request to the
// player; each playstep moves the marker one column and waits until it is
// due, or ends the playback and puts the cursor and view back.
void startplay(seditor& ed, edrun& r);
// Plays range p of the score as it stands, once or in a loop, with no
// dialog: an unsaved score goes to the player as a private copy.
void startplayfrom(seditor& ed, edrun& r, const splay& p, bool loop);

// The span keys (editor/spans.cpp): true when k was one of them. Most
// stand for a span command, which the menus run too.
bool spankey(seditor& ed, edrun& r, int k);
void spancmd(seditor& ed, edrun& r, command c);
// The selection highlighted over the view (drawn after the notes, before
// the column line and the cursor mark), and on the status row the entry
// length and the selection's steps and notes.
void drawselection(const seditor& ed);
void drawspaninfo(const seditor& ed);
unsigned char selattr(unsigned char attr); // a cell's attribute under the selection
constexpr int SPANINFO_ENTRY = 25, SPANINFO_SELECTION = 62; // status row columns
// Whether a selection is on, and its span.
bool selecting(const seditor& ed);
sspan selection(const sedit& e, const sview& v);

// For the life of an editor run, the play settings hand the request to the
// player the moment they are confirmed, before anything is painted.
struct splayhook {
    seditor& ed;
    splayhook(seditor& ed, edrun& r);
    ~splayhook();
};
void playstep(seditor& ed, edrun& r);
void playmsg(const sview& v); // "正在播放" on the status row

// One pass of drawing: the whole editor screen painted into the grid from
// the records (the renderer's diff decides what reaches the terminal). The
// cost depends on the window, never on the score's length.
void paint(seditor& ed, const edrun& r);

// The steps of a paint.
void drawframe(smenubar& bar);
void drawstaff(const sview& v);
void drawhbar(const sview& v, int musicleng);
void drawtime(sview& v); // also sets v.ttime
void drawnotename(const sview& v);
void drawnotes(const sdoc& doc, const sview& v); // the notes in view, found through the ring
void drawcolumn(const edrun& r, const sview& v); // the cursor's column line
void drawmark(const sview& v, const edrun& r);   // the cursor mark and the mode message
// A message in the mode message area of the status row, right-aligned; a
// longer one reaches further left, never past the position text. Returns
// true when it covered more than the area (the frame must be drawn again).
bool drawmsg(const sview& v, std::string_view msg);

// Export (editor/export.cpp). askexport asks for a path and starts the
// export; exportkey reads the key of a pass, showing on the status row how
// a running export stands while it waits.
void askexport(seditor& ed, edrun& r);
sevent exportkey(seditor& ed, edrun& r);

// Undo (true) or redo (false) as the keys and the menu do it.
void undoredo(seditor& ed, edrun& r, bool undo);

// Colour of staff cells on a row.
inline unsigned short rowcolor(int row) { return row % 2 == 0 ? 120 : 248; }

// The message the status row shows in playback.
constexpr const char* PLAYMSG = "      正在播放";
