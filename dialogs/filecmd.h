// SPDX-License-Identifier: MIT
#pragma once
// The file commands as the user runs them: the unsaved-changes question and
// the open or save dialog first, then the file itself.
#include "files/files.h"
#include "score/doc.h"
#include "score/view.h"

enum class fmode { open, save, saveas, fresh };

// Open     asks about unsaved changes (answered stop: done, nothing changed),
//          shows the open dialog and loads the file with the cursor and view
//          it stores. On failure nothing changes, `filepath` and `filever`
//          included.
// Save     writes to `filepath`, asking for it first when it is empty;
// Save as  always asks. The path chosen becomes `filepath` only once the
//          file is written; when writing fails the dialog comes back with
//          what was typed and the cause, until a save succeeds or the user
//          cancels (then nothing changed; an old file is intact).
// New      asks about unsaved changes (stop: done, nothing changed), then an
//          empty score with the view at its start. `filepath` stays.
// A failure leaves a short message for the status row in `doc.failure`,
// such as "保存失败：磁盘已满"; a cancelled dialog leaves none.
fileres ffile(sdoc& doc, sview& view, fmode mode);

