// SPDX-License-Identifier: MIT
#pragma once
// The score file format ".pvx": a pure codec between bytes and a score, with
// no editor state and no I/O. Shared by the
// editor's file commands and the tone player.
//
// Layout, every integer 32-bit signed little-endian, no gaps:
//   header  version, mousex, mousey, toplo, leftlo, musicleng   (24 bytes)
//   record  start, leng, heig, pitch, rise (1 byte), ext,
//           then ext extension bytes                             (21 + ext)
//   end     -1 where the next record's start would stand          (4 bytes)
// The records hold the score queue starting with its back note: for a queue
// a, b, c the file holds c, a, b, and reading pushes them in file order.
//
// Limits of a score the reader takes: at most PVXMAXREC records, at most
// PVXMAXEXT extension bytes a note and PVXMAXEXTALL in all, so no valid file
// is larger than PVXMAXSIZE; a larger one is refused before it is read. Every
// note but the end note lies on the staff (a pitch 1 to 7, a row 0 to 84);
// a file with a note the staff cannot show is refused. Extension bytes are
// skipped: pvxwrite writes `ext` 0.
#include "score/doc.h"
#include "score/model.h"
#include "score/view.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A new score's header: the start view, the start length.
struct pvxhead {
    int ver = curfilever;
    int mousex = STARTVIEW.mousex;
    int mousey = STARTVIEW.mousey;
    int toplo = STARTVIEW.toplo;
    int leftlo = STARTVIEW.leftlo;
    int musicleng = STARTLENG;
};

// A decoded file: the header as stored and the notes in file order, which is
// the queue order after loading (front first).
struct pvxscore {
    pvxhead head;
    std::vector<smusic> notes;
    int64_t dropped = 0;  // notes starting after the sentinel, left out
    bool changed = false; // the notes differ from the file (dropped or normalised)
    int64_t extbytes = 0; // extension bytes skipped; a save writes none of them
};

constexpr int PVXHEAD = 24;           // header bytes
constexpr int PVXREC = 21;            // record bytes without extension
constexpr int64_t PVXMAXREC = 3600001; // every step a one-step note, plus the sentinel
constexpr int64_t PVXMAXEXT = 65536;      // extension bytes a note may carry
constexpr int64_t PVXMAXEXTALL = 1 << 20; // extension bytes a file may carry in all
// The largest file the reader takes: 75,600,049 bytes of records, plus the
// extension bytes.
constexpr int64_t PVXMAXSIZE = PVXHEAD + PVXREC * PVXMAXREC + 4 + PVXMAXEXTALL;

// What is wrong with the bytes of a score file.
enum class pvxfault {
    none,
    toolarge,     // larger than PVXMAXSIZE
    shorthead,    // the file ends inside the header
    noendmarker,  // the file ends before the end marker
    shortnote,    // the file ends inside a note record
    toomany,      // more than PVXMAXREC records
    negext,       // a negative extension length
    extpastend,   // an extension runs past the end of the file
    extlarge,     // more extension bytes than PVXMAXEXT a note or PVXMAXEXTALL in all
    negstart,     // a note starts before step 0
    secondend,    // a second end note
    zerolength,   // a note shorter than one step
    offstaff,     // a note the staff cannot show
    noend,        // the end note is missing
    overlap,      // notes out of order or overlapping
};

// The fault in the words of the player's command line (English).
const char* pvxfaulttext(pvxfault f);

// Bytes of a score file: `q` is the queue front first; it is written back
// note first.
std::string pvxwrite(const pvxhead& head, const std::vector<smusic>& q);

// Decodes a score file. Returns pvxfault::none on success (then `out` holds
// the score) or what is wrong with the data (then `out` is untouched). Never
// reads outside [data, data + size).
pvxfault pvxdecode(const unsigned char* data, size_t size, pvxscore& out);
// The same, with the fault as pvxfaulttext says it ("" on success).
std::string pvxread(const unsigned char* data, size_t size, pvxscore& out);
std::string pvxread(const std::string& bytes, pvxscore& out);

// Brings header values into the editor's ranges for a view of `winheig` rows
// and `winleng` steps: cursor row 0 to 84, a top row that keeps the view on
// the staff, cursor and left columns within the score's 3600000 steps, a score
// length from the cursor column to 3599999. Returns true when anything changed.
bool pvxclamp(pvxhead& head, int winheig, int winleng);
