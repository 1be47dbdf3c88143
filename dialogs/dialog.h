// SPDX-License-Identifier: MIT
#pragma once
// The dialog component. Every dialog of the editor is a modal box drawn in the
// middle of the screen over whatever is there, with items (buttons and
// one-line text fields) that the user walks through with Tab and activates
// with Space or Enter. The box is never taken down: when a dialog returns,
// the caller repaints its own screen.
//
// A dialog is one function call that
//   1. fills an `sdialog`: dlgplace for the size and position, `title` and
//      `texts` for the fixed texts, `sllo` for the items in focus order
//      (dlgbutton / dlgtextfield build the usual ones), and for each text
//      field its width in `fieldw`;
//   2. calls dlgrun, which draws the box and the items and runs the key loop
//      until a closing button is activated, and returns that button's index
//      (or -1 when input has ended: the dialog then answers as if cancelled);
//   3. reads what the fields hold from `text` and returns its result.
//
// Input (events, console/event.h):
//   Tab (9)            focus to the next item, after the last to the first;
//   Space (32), Enter (13)  activate the item with the focus;
//   a left press on an item  the focus to it, then Enter on it (a field
//                      opens for typing; the text cursor goes where the
//                      next press in it points);
//   anything else      nothing: no backwards key, no arrows, no Escape, and
//                      Ctrl+C (3) is ignored.
//
// Default activation (dlgact): a text field reads one line with the
// terminal's own echo and line editing (dlgfield), keeps it whole in
// `text`[i], shows it fitted to the field (dlgfit), and the dialog goes on
// with the focus still on the field; a button shows its pressed look
// (dlgpress) and ends the loop with its index.
//
// Dialogs with items of their own set the hooks:
//   `act`  (Space/Enter on item i) returns -1 to stay in the loop or the
//          result that ends it; it may call dlgact(d, i) for the default.
//          A button that acts and stays does, by the house rule:
//              dlgpress(d, i, 0); <the action>; Sleep(10);
//              d.redraw.items = true; return -1;
//   `draw` (draw item i, with or without the focus) replaces the default
//          look (`mcol` or `col` with `s`), e.g. for check boxes that show
//          `ssl` while marked; dlgput helps.
//   `drawbox` runs after the face, the title and `texts` are drawn, for
//          fixed drawing that is not a plain text.
// A hook may set `redraw` flags to ask for redraws on the next pass. A hook that
// reads keys itself (getkey) and meets KEY_END stores it in `tmp`: dlgrun then
// ends with -1 like at the end of input in its own loop.
//
// Colours are console attributes: foreground + 16 x background.
#include "console/event.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One selectable item.
struct sselect {
    int x = 0;       // column of the item's first character
    int y = 0;       // row of the item
    int col = 0;     // attribute without the focus
    int mcol = 0;    // attribute with the focus
    int slcol = 0;   // attribute while activated (a pressed button, a field being typed into)
    std::string s;   // text shown normally, with or without the focus
    std::string ssl; // text shown while activated
};

// Attributes shared by every dialog.
constexpr int BTNCOL = 112, BTNMCOL = 240, BTNSLCOL = 247; // buttons
constexpr int FLDCOL = 112, FLDMCOL = 248, FLDSLCOL = 15;  // text fields
constexpr int SHADOWCOL = 0;                               // the shadow
constexpr int FACECOL = 143;                               // the face and its fixed texts
constexpr int PLAINCOL = 15;                               // restored on every way out


// A fixed text of the box, drawn with it.
struct sdlgtext {
    int x = 0;        // column relative to the box's left edge
    int y = 0;        // row relative to the box's top edge
    std::string s;
    int col = FACECOL;
    int width = 0;    // padded with blanks to this many columns ("%-17s"); 0: none
};

// The state of one open dialog; it lives for one call of the dialog function.
struct sdialog {
    int winleng1 = 0; // box width in columns
    int winheig1 = 0; // box height in rows
    int leftlo1 = 0;  // column of the box's left edge
    int toplo1 = 0;   // row of the box's top edge
    std::vector<sselect> sllo; // the items in focus order
    int mouselo = 0;    // item with the focus
    int oldmouselo = 0; // item that had it before the last Tab
    // Redraw requests; all start set, so the first pass draws everything.
    struct {
        bool box = true;   // the box with its fixed texts (and then every item)
        bool items = true; // every item
        bool focus = true; // the two items of the last focus change
    } redraw;
    int tmp = 0; // the last key read (KEY_END when input has ended)

    std::string title;             // at (leftlo1 + 2, toplo1 + 1) in FACECOL; empty: none
    std::vector<sdlgtext> texts;   // the other fixed texts
    std::vector<int> fieldw;       // per item: width of a text field; 0 or missing: a button
    std::vector<std::string> text; // per item: what a text field holds, whole, as typed
    bool keeptext = false;         // a field's line input starts with what it holds (to correct it)

    std::function<int(sdialog&, int)> act;         // see above; unset: dlgact
    std::function<void(sdialog&, int, bool)> draw; // see above; unset: the default look
    std::function<void(sdialog&)> drawbox;         // see above; unset: nothing more
};

// --- building a dialog ---

// Sets the box size and centres it over the editor's screen:
// leftlo1 = max((SCRW - w) / 2, 0), toplo1 = max((SCRH - h) / 2, 0).
void dlgplace(sdialog& d, int w, int h);

// A button at (x, y): colours 112 / 240 / 247, `s` and `ssl` the label.
sselect dlgbutton(int x, int y, std::string_view label);

// A text field at (x, y): colours 112 / 248 / 15, `s` and `ssl` the text
// fitted to `width` columns.
sselect dlgtextfield(int x, int y, std::string_view text, int width);

// Appends an item; `width` > 0 makes it a text field of that width (its `text`
// starts as `start`). Returns its index.
int dlgadd(sdialog& d, const sselect& item, int width = 0, std::string_view start = {});

// How a text shows in a field `width` columns wide: exactly `width` columns,
// left-aligned and padded with blanks. A longer text shows its end, after
// "...", so it never runs past the field; control characters show as U+FFFD.
std::string dlgfit(std::string_view text, int width);

// The item a left mouse press falls on (its label, or a field's whole
// width), or -1.
int dlgitemat(const sdialog& d, const sevent& e);

// --- the six operations ---

// Draws the box: the shadow in attribute 0 (rows toplo1 + 1 to toplo1 +
// winheig1, columns leftlo1 + 1 to leftlo1 + winleng1), a 100 ms pause, the
// face in 143 (winleng1 x winheig1 from (leftlo1, toplo1)), the title, the
// fixed texts, then `drawbox`.
void dlgbox(sdialog& d);

// Draws every item: `mcol` for item `mouselo`, `col` for the others.
void dlgitems(sdialog& d);

// Draws item `oldmouselo` without the focus, then item `mouselo` with it.
void dlgfocus(sdialog& d);

// The key loop. Returns the result of the item that ended the dialog (by
// default the index of the closing button), or -1 when input has ended.
// Attribute 15 is set on the way out.
int dlgrun(sdialog& d);

// The pressed look of item i: attribute `slcol`, its `ssl` at (x, y), then a
// pause of `ms` milliseconds.
void dlgpress(sdialog& d, int i, int ms = 10);

// Lets the user type the text of field i: the field turns black (`width`
// blanks in `slcol`), the cursor goes back to its start, one line is read with
// the terminal's echo and line editing and returned as typed (empty at the end
// of input). A line wider than the field overruns the box while it is typed,
// so then the box is redrawn whole (redraw.box) after it.
std::string dlgfield(sdialog& d, int i, int width);

// --- helpers for dialogs of their own ---

// The default activation of item i (see above).
int dlgact(sdialog& d, int i);

// Writes text `s` of item `it` at its place in attribute `attr`.
void dlgput(const sselect& it, int attr, std::string_view s);
