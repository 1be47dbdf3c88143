#pragma once
// The play settings dialog: where playback starts and stops, and how fast.
#include "score/model.h"

extern splay playtmp; // the dialog's working record; every call returns a copy
extern stime statime; // the typed start time, kept from one opening to the next
extern stime endtime; // the typed end time, kept likewise

// Saves an unsaved score first (Save as), then runs the dialog. `curlo` is
// the cursor column, `leng` the score length, both in time steps. The result
// has yn true when the user confirmed; start, end and speed change only then.
splay playset(int curlo, int leng);

// Puts playtmp, statime and endtime back to their start values.
void resetplayset();
