// SPDX-License-Identifier: MIT
#pragma once
// Character widths and word classes from a table generated from utf8proc
// (tools/genwidth.cpp), for builds that have no utf8proc library (the Windows
// cross build).
#include <cstdint>

// The columns utf8proc gives a code point, as the editor counts them: 0 for
// combining marks, 2 for wide and fullwidth characters, 1 for everything
// else (control characters and unassigned code points included).
int tablewidth(char32_t c);

// Whether the character is a letter, a number or connector punctuation (such
// as '_'): the characters the line editor's Ctrl+W takes as parts of a word.
bool tableword(char32_t c);

// The Unicode version the table was generated from.
extern const char* const widthtableversion;
