#pragma once
// Running a menu command by its name.
#include "dialogs/play.h"
#include "menu/menu.h"
#include "score/doc.h"
#include "score/view.h"

#include <string>

// What the editor does after a command.
enum class cmdres {
    none,          // go on editing
    play,          // the play dialog was confirmed: play from the settings' `play`
    playcancelled, // the play dialog was cancelled
    restart,       // start a fresh editor run
    quit,          // end the program (status 0)
    undo,          // take back the last change
    redo,          // make the last change taken back again
    exportfile,    // ask where to export the score, and start the export
};

// Runs the command named `func` (exact, case-sensitive whole-string match);
// an unknown command does nothing.
cmdres funcmatch(const std::string& func, sdoc& doc, sview& view, smenubar& bar, splayset& ps);
