// SPDX-License-Identifier: MIT
#pragma once
// The score file commands on a document: open, save, start afresh, and the
// recovery file. They read the cursor and view to store them, and hand back
// what a file holds of them; they never change a view themselves.
#include "platform/fileio.h"
#include "score/doc.h"
#include "score/pvx.h"
#include "score/view.h"

#include <string>

// How a file command ended.
enum class fileres {
    done,      // the command did what was asked
    cancelled, // the user cancelled a dialog, or input ended there
    failed,    // the file could not be read or written; nothing was lost
};

// What opening a score gives back.
struct sopened {
    fileres res = fileres::failed;
    bool notscore = false;       // on failure: the file was read but holds no score the editor can take
    fileerr err = fileerr::ok;   // on failure to read: why
    pvxfault fault = pvxfault::none; // when notscore: what is wrong with it
    pvxhead head;    // on success: the cursor and view stored with the score, clamped
    int64_t extbytes = 0; // on success: extension bytes the file holds, which a save drops
    const char* cause = nullptr; // on failure: the words for the status row, when more precise than "不是乐谱文件"
};

// The words for what is wrong with a file that is not a score.
const char* faultcause(pvxfault f);
// Why the score could not be opened, in the editor's words:
// "文件不存在", "不是乐谱文件：文件在音符记录中途结束", ...
std::string openfailure(const sopened& o);
// What the status row says once after opening a file with extension bytes.
inline constexpr const char* EXTDROPMSG = "此文件含有扩展数据，保存时将不保留";

// Reads and decodes the score at `path` once; a file larger than PVXMAXSIZE
// is refused before it is read (fileerr::toolarge). On success the document holds
// it (`filepath` = path, `filever` the file's version, `filesaved` false only
// when the notes had to be mended); on failure the document is untouched.
// A file that begins with "MThd", whatever its name, is imported as MIDI.
sopened openscore(sdoc& doc, const std::string& path, int track = 0);

// Imports the MIDI file `bytes` read from `path`: its part `track` (from 1;
// 0 for the likeliest melody) becomes the score, unsaved and without a path,
// with `title` from its track name or the file's name, `savename` the file's
// name and a `notice` naming the part taken; the view starts at its start.
// On failure the document is untouched and `cause` says why.
sopened importmidi(sdoc& doc, const std::string& path, const std::string& bytes, int track);

// The view a score file stores, laid over the start view.
sview viewof(const pvxhead& head);

// Writes the document with the cursor and view of `view` to `path`, so that
// the old file survives any failure; marks the document saved on success.
// `filepath` is left as it is.
fileres savescore(sdoc& doc, const sview& view, const std::string& path, fileerr* why = nullptr);

// The document with the cursor and view, as score file bytes.
std::string scorebytes(const sdoc& doc, const sview& view);

// Writes the document to a recovery file that never replaces another:
// `filepath` + ".save" (then ".save.1", ".save.2", ...), or, when there is no
// path or its folder takes no new file, "pellavine.PID.save" in the working
// folder (numbered the same way), then in $HOME, then in $TMPDIR or /tmp.
// Returns the name written, empty when none could be.
std::string savrecovery(const sdoc& doc, const sview& view);
