// SPDX-License-Identifier: MIT
#pragma once
// What every tone player program shares on its command line: the common
// parts of its help, its one-line complaints, and the modes that write a
// request or a whole score to a file instead of sounding it.
#include "tone/player/player.h"

#include <string>
#include <vector>

// The help's account of the request file: a blank line, the paragraphs, a blank line.
extern const char* const HELPREQUESTS;
// "Options:" and the instrument options.
extern const char* const HELPINSTRUMENT;
// The file options, --help and the exit status.
extern const char* const HELPFILES;

// One line on standard error, with control characters made visible;
// returns `status`.
int playerfail(const std::string& why, int status = 1);
// Makes `e` sound `in`; says once on standard error when it falls back to
// the sine tone. A SoundFont given with --soundfont that cannot be loaded is
// an error: 2 after saying why; otherwise 0, with the fallback in `fall`.
int playeropen(sengine& e, const sinstr& in, fontfall* fall = nullptr);
// What a request plays now. A score stretch begins as far into its range as
// the request is old, in step with the editor's marker; a tone skips only the
// time it waited for the player to become ready at `readyms`.
int lateplan(const sreq& r, int64_t readyms, splan& plan, std::string& err);
// The request in "beepset.tmp" and what a player started for it plays: a
// tone whole, a score stretch only what is left of it. 1 with `plan` to
// sound, 0 when there is nothing to sound, -1 with a reason in `err`.
int requestplan(sreq& r, splan& plan, std::string& err);
// Runs "--wav OUT" or "--export SCORE OUT" when `args` is one of them, with
// the exit status in `status`; false for any other command line.
bool filemode(const std::vector<std::string>& args, const sinstr& in, int& status);
