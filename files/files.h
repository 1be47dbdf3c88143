#pragma once
// The file globals and the file commands New, Open, Save and Save as.
#include "platform/fileio.h"

#include <string>

extern bool filesaved;       // the score in memory equals what was last loaded, saved or created
extern std::string filepath; // path of the current score file
constexpr int curfilever = 2;
extern int filever;          // version of the score in memory

// Puts the file globals back to their start values.
void resetfiles();

// The file commands: mode 0 Open, 1 Save, 2 Save as, 3 New.
//   Open     asks about unsaved changes (stop: 0), shows the open dialog
//            (cancelled: -1) and loads the file: -1 when it cannot be read or
//            is not a score the editor can hold, and then nothing changed at
//            all, `filepath` and `filever` included; else 0, or the file's
//            version when it is not curfilever.
//   Save     writes to `filepath`, asking for it first when it is empty;
//   Save as  always asks. Both: -1 when the dialog was cancelled or the file
//            could not be written (the old file is then intact), else 0.
//   New      asks about unsaved changes (stop: 0, nothing changed), then an
//            empty score with the view at its start; 0. `filepath` stays.
//   other    -1, nothing happens.
int ffile(int mode);

// Open and Save without their dialogs: what ffile runs once it has a path.
// openscore sets `filepath` to `path` on success only; savescore leaves it.
int openscore(const std::string& path);
// savescore puts the reason of a failure into `why` when given.
int savescore(const std::string& path, fileerr* why = nullptr);

// The score in memory with its cursor and view, as score file bytes.
std::string scorebytes();

// Writes the score in memory to a recovery file that never replaces another:
// `filepath` + ".save" (then ".save.1", ".save.2", ...), or, when there is no
// path or its folder takes no new file, "pellavine.PID.save" in the working
// folder (numbered the same way), then in $HOME, then in $TMPDIR or /tmp.
// Returns the name written, empty when none could be.
std::string savrecovery();
