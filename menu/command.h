// SPDX-License-Identifier: MIT
#pragma once
// The commands of the editor, named once. The menu table keeps each item's
// command string as its data; the string is turned into a `command` when the
// table is built (commandof), and from then on only the enum is used.
#include <string_view>

enum class command {
    none,     // a separator, or a string that names no command
    about,    // the about box
    quit,     // end the program (asks first when the score is not saved)
    wintitle, // type a new title for the bar
    newfile,  // a new empty score (asks first when not saved)
    openfile, // open a score file
    save,     // save, asking for a name when the score has none
    saveas,   // save under a new name
    exportfile, // write the score as sound, MIDI or sheet music
    closefile,// close the score: a new empty one in its place
    clear,    // start a fresh editor run
    undo,
    redo,
    play,     // the play settings, then playback
    help,     // the help text
    update,   // the update page in the desktop's browser
};

// The command a menu item's string names (exact, case-sensitive whole-string
// match), or command::none.
command commandof(std::string_view func);
