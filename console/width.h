// SPDX-License-Identifier: MIT
#pragma once
// Display widths of UTF-8 text, counted as the editor lays it out.
#include <cstddef>
#include <string>
#include <string_view>

// Decodes the code point at s[i] and advances i past it. A byte that does not
// start a valid UTF-8 sequence yields U+FFFD and advances by one.
char32_t u8next(std::string_view s, size_t& i);

// Bytes of the UTF-8 sequence the lead byte `b` starts, or 0 when `b` cannot
// lead one (ASCII, a continuation byte, C0, C1 or F5 to FF).
constexpr size_t u8seqlen(int b)
{
    return b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
}

// Columns a character takes: 0 for combining marks, 2 for wide and fullwidth
// characters and for the interface glyphs "↑", "↓" and "◎", 1 otherwise.
// Control characters count 1: they are drawn as U+FFFD.
int colwidth(char32_t c);

// True for characters a terminal may draw one or two columns wide depending on
// its settings; after drawing one the cursor is moved explicitly.
bool unsurewidth(char32_t c);

// Characters that steer the terminal rather than show: C0, DEL, C1 and the
// bidirectional embeddings, overrides and isolates (U+202A to U+202E, U+2066
// to U+2069), which would turn the text after them around.
inline bool steering(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// How a character shows on screen: steering characters never reach the
// terminal and show as U+FFFD; every other character as itself.
inline char32_t shownchar(char32_t c) { return steering(c) ? char32_t{0xFFFD} : c; }

// A path or name as it is printed or shown to the user: every steering
// character as a visible escape ("\x1b", "\u202e"), every byte that is not
// UTF-8 as "\xNN"; the rest as it is. Every name that
// reaches the terminal goes through here.
std::string visiblename(std::string_view s);

// The longest head of s that takes at most w columns, padded with blanks to
// exactly w columns (a wide character that would straddle the end is left
// out); control characters count as they show.
std::string fitwidth(std::string_view s, int w);

// Columns of a whole string.
int strwidth(std::string_view s);

// Appends the UTF-8 encoding of c to out.
void u8put(std::string& out, char32_t c);
