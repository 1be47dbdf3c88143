// SPDX-License-Identifier: MIT
#pragma once
// The editor's command line: the player's options (--instrument,
// --soundfont) taken out, then --help, --version, "--" and the score's name.
#include <string>
#include <vector>

// What the command line asks for.
enum class argwhat { edit, help, version, bad, badoption };

struct sargs {
    argwhat what = argwhat::edit;
    std::string path; // the score to open; empty for a new one
    std::string why;  // for badoption: what is wrong with a player option
    bool mouse = true; // the mouse is the editor's (--no-mouse or PELLAVINE_MOUSE=0 leave it to the terminal)
    int track = 0;    // --track N: the MIDI part to import, from 1; 0 for the melody's best guess
};

// --help and --version stand alone; --no-mouse may come anywhere among the
// options; "--" ends the options, so that a score
// whose name begins with '-' can be named after it. --track N takes a part
// number from 1 to 65535.
sargs parseargs(const std::vector<std::string>& argv);

// The whole command line in UTF-8, argv[0] first (utf8args): the player's
// options are set for the players and taken out, and the rest is read once.
sargs readargs(std::vector<std::string> all);
