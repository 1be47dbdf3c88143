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
};

constexpr int PVXHEAD = 24;           // header bytes
constexpr int PVXREC = 21;            // record bytes without extension
constexpr int64_t PVXMAXREC = 3600001; // every step a one-step note, plus the sentinel

// Bytes of a score file: `q` is the queue front first; it is written back
// note first.
std::string pvxwrite(const pvxhead& head, const std::vector<smusic>& q);

// Decodes a score file. Returns an empty string on success (then `out` holds
// the score) or what is wrong with the data (then `out` is untouched). Never
// reads outside [data, data + size).
std::string pvxread(const unsigned char* data, size_t size, pvxscore& out);
std::string pvxread(const std::string& bytes, pvxscore& out);

// Brings header values into the editor's ranges for a view of `winheig` rows
// and `winleng` steps: cursor row 0 to 84, a top row that keeps the view on
// the staff, cursor and left columns within the score's 3600000 steps, a score
// length from the cursor column to 3599999. Returns true when anything changed.
bool pvxclamp(pvxhead& head, int winheig, int winleng);
