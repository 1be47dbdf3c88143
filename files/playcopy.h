// SPDX-License-Identifier: MIT
#pragma once
// The private copy of an unsaved score that a play from the cursor hands to
// the player: written, never through a link, to a new file in a folder made
// for it alone (platform/privdir.h), and removed with that folder when the
// play ends or the program exits.
#include "score/doc.h"
#include "score/view.h"

#include <string>

struct splaycopy {
    std::string dir;  // the private folder, empty when there is no copy
    std::string path; // the copy's full path
};

// Drops an old copy, then writes the document as it stands. False, with no
// copy left, when it could not be written.
bool writeplaycopy(splaycopy& c, const sdoc& doc, const sview& view);
// Removes the copy and its folder; nothing when there is none.
void dropplaycopy(splaycopy& c);
