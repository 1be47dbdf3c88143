#pragma once
// The editor's own line editor on top of the raw key read: typed text stays
// inside its field and never reaches the console's own line input.
#include "console/grid.h"

#include <string>

// Reads one line at g's cursor, in g's attribute, within the columns from the
// cursor to the right edge; longer text scrolls and shows the part around the
// cursor. `key` gives key codes as _getch does (negative at the end of input),
// `show` makes the grid visible. The cells used are given back as they were
// and the cursor returns to where the line began. False at the end of input.
bool lineedit(Grid& g, std::string& out, int (*key)(), void (*show)(const Grid&));
