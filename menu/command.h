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
    // Span edits and play from the cursor (editor/spans.cpp).
    select,      // start or end a selection at the cursor column
    copy,        // copy the selection (or the note under the cursor)
    cut,         // copy it, then remove it
    erase,       // remove it without copying
    paste,       // paste at the cursor column
    semiup,      // transpose it up a semitone
    semidown,    //   down a semitone
    octaveup,    //   up an octave
    octavedown,  //   down an octave
    insertstep,  // one free step at the cursor column
    removestep,  // the step at the cursor column out
    lengthen,    // the note ending at the cursor one entry length longer
    entryhalf,   // halve the entry length
    entrydouble, // double it
    playfrom,    // play from the cursor (or the selection), no dialog
    playloop,    // the same in a loop until Esc
    help,     // the help text
    update,   // the update page in the desktop's browser
};

// The command a menu item's string names (exact, case-sensitive whole-string
// match), or command::none.
command commandof(std::string_view func);
