// SPDX-License-Identifier: MIT
#pragma once
// The editor's own line input: input events read one by one (getev) and edited
// inside a field of the screen, the same on every system. The text scrolls
// within the field; nothing is drawn outside it.
#include <string>
#include <string_view>

enum class lineresult {
    entered, // Enter ended the line
    ended,   // input ended (or the program was asked to stop) first
};

// Reads one line into `out` (emptied first). The field starts at the cursor,
// is `width` columns wide (never past the screen's right edge) and shows the
// text in the attribute in effect; beyond the text it shows what it covered
// when the read began. Keys: printable characters insert at the cursor,
// Backspace and Delete remove one whole character, Left, Right, Home and End
// move, Esc clears the line, Ctrl+U erases up to the cursor, Ctrl+W the word
// before it, Enter ends the line. Control characters (C0 and C1) and other
// extended keys are dropped. Bytes that are not UTF-8 are kept as typed and
// shown as U+FFFD. At the end of input `out` is empty.
// The line may start with the text `start` (a text to correct), the cursor
// after it.
lineresult lineedit(std::string& out, int width, std::string_view start = {});

// One line typed into a field `width` columns wide at the cursor (lineedit);
// false, with `out` empty, when input ended first.
bool getline(std::string& out, int width, std::string_view start = {});
