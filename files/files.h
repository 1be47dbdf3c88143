#pragma once
// The file globals and the file commands New, Open, Save and Save as.
#include <string>

extern bool filesaved;       // the score in memory equals what was last loaded, saved or created
extern std::string filepath; // path of the current score file
constexpr int curfilever = 2;
extern int filever;          // version of the score in memory

// mode 0 Open, 1 Save, 2 Save as, 3 New; see files.cpp.
int ffile(int mode);

// Replaces the file at `path` with `bytes` so that the old content survives
// any failure: 0 when the whole file is on disk, -1 otherwise.
int writewhole(const std::string& path, const std::string& bytes);
