// SPDX-License-Identifier: MIT
#pragma once
// The document: the score being edited and what is known of its file.
#include "score/model.h"
#include "score/ring.h"

#include <cstdint>
#include <string>

inline constexpr int curfilever = 2; // the score file version this editor writes
inline constexpr int STARTLENG = 100; // score length of a new score, in time steps

struct sdoc {
    Ring music;                  // the notes and the sentinel; never empty
    int musicleng = STARTLENG;   // score length in steps, never less than the cursor column
    std::string filepath;        // path of the score file; empty until one is named
    int filever = curfilever;    // version of the score in memory
    bool filesaved = true;       // the notes equal what was last loaded, saved or created
    uint64_t gen = 0;            // counts the times the score was replaced by a new or opened one
    std::string failure;         // what the last failed file command has to say, until it is shown
    std::string notice;          // what the last file command has to tell, until it is shown
    std::string title;           // a title an imported file gave, until the editor takes it
    std::string savename;        // the name Save as offers when there is no path; "" for none

    sdoc() { music.push(SENTINEL); }
};

// Empties the score to the sentinel alone, length STARTLENG, version
// curfilever, saved: a new document generation. The path stays.
void docclear(sdoc& doc);
