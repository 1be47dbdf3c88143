// SPDX-License-Identifier: MIT
#include "tone/player/player.h"

#include "platform/fileio.h"
#include "score/pvx.h"

int readscore(const std::string& path, std::vector<smusic>& notes, std::string& err)
{
    std::string bytes, why;
    if (!readwhole(path, bytes, &why, PVXMAXSIZE)) { // refused before it is read
        err = "cannot read score file \"" + path + "\": " + why;
        return -1;
    }
    pvxscore s;
    why = pvxread(bytes, s);
    if (!why.empty()) {
        err = "score file \"" + path + "\" is damaged: " + why;
        return -1;
    }
    notes = std::move(s.notes);
    return 0;
}

int loadreq(const std::string& path, sreq& r, std::string& err)
{
    std::string text, why;
    if (!readwhole(path, text, &why, 1 << 20, linkmode::refuse)) {
        err = "cannot read " + path + ": " + why;
        return -1;
    }
    return parsereq(text, r, err);
}

int reqplan(const sreq& r, int64_t skipms, splan& plan, std::string& err)
{
    plan = splan{};
    if (r.mode == 1)
        plan = toneplan(r);
    if (r.mode != 0)
        return 0;
    // Nothing to play needs no score.
    if (scoreplan({}, r.start, r.end, r.speed, skipms).len == 0)
        return 0;
    std::vector<smusic> notes;
    if (readscore(r.path, notes, err) != 0)
        return -1;
    plan = scoreplan(notes, r.start, r.end, r.speed, skipms);
    return 0;
}
