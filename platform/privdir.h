// SPDX-License-Identifier: MIT
#pragma once
// Private folders for short-lived copies the program hands to another of
// its processes (the score of a play from the cursor): made fresh under the
// system's temporary folder, never an existing one, and only this user may
// enter them.

#include <string>

// Makes a new private folder and returns its path ending with a separator,
// or empty when none could be made.
std::string makeprivdir();
// Removes the file `name` in a folder made by makeprivdir, then the folder
// (which is removed only when nothing else is left in it).
void removeprivdir(const std::string& dir, const std::string& name);
