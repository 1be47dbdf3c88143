// SPDX-License-Identifier: MIT
#pragma once
// The export dialog: where to write the score as sound, MIDI or sheet music.
#include <string>

// A save-style box, 70 x 11: a folder field, a name field that starts with
// `name` and keeps its extension as typed, a line saying what each extension
// writes, 取消 and 确定. Returns true when cancelled (or input ended), false
// with `path` = folder + "/" + name when confirmed; the folder is cleaned up
// as the save dialog does (quotes, a dropped folder). `path` is untouched on
// cancel.
bool exportdlg(const std::string& name, std::string& path);
