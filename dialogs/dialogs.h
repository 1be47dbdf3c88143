// SPDX-License-Identifier: MIT
#pragma once
// The editor's dialogs, built on the dialog component of dialog.h.
#include "dialogs/dialog.h"
#include "score/doc.h"
#include "score/view.h"

#include <string>

// The two path dialogs.
enum class pathdlg { open, save };

// The open and save dialogs. Returns true when cancelled (or input ended),
// false when confirmed; `path` is then set:
//   open: the typed path. When the text as typed names no existing file or
//         folder but has the form a terminal gives a dropped file (in double
//         or single quotes, or with backslash-escaped characters, often
//         followed by one blank), the decoded path instead.
//   save: folder + "/" + name + ".pvx". The folder loses one leading and
//         one trailing double quote; when it then names no existing folder
//         but the typed text has the dropped form, the decoded folder is
//         used. "/" is appended unless the folder ends with one; an empty
//         folder means the working folder (the path is then name + ".pvx").
//         The name is used as typed; the name field starts with `path` as
//         given (empty for none).
// `path` is untouched on cancel. Nothing else changes: the caller decides
// what to do with the path (Open sets `filepath` only after the file was read).
bool slfile(pathdlg mode, std::string& path);

// What the save dialog holds from one showing to the next: the typed folder
// and name, and why the last save failed (shown in the box; "" for none).
struct ssaveform {
    std::string folder, name, failure;
};
// The save dialog as slfile(pathdlg::save) shows it, opening with the
// fields of `form` and its failure; on 确定 `form` keeps what was typed.
bool savedialog(ssaveform& form, std::string& path);

// The unsaved-changes dialog: "取消" (focus at first) returns false, "放弃"
// true, "保存" wipes the box, runs Save and returns whether it completed.
// End of input answers false (stop).
bool filenotsaved(sdoc& doc, sview& view);

// The dropped-path form of `typed`, decoded like one shell word ('...', "...",
// backslash escapes; one trailing blank dropped); empty when `typed` does not
// have that form (no quote or backslash, several words, unbalanced quotes).
std::string dropdecode(const std::string& typed);

// The folder typed (or dropped) into a save-style dialog's folder field, as
// the start of a path: quotes around it taken off, a dropped form decoded
// when it is not a folder as typed, and a "/" after it; "" (the working
// folder) when nothing was typed.
std::string typedfolder(const std::string& typed);
