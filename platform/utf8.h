// SPDX-License-Identifier: MIT
#pragma once
// The command line and the C library's file calls with UTF-8 file names on
// every system (Windows otherwise gives and takes them in its ANSI code page).
#include <cstdio>
#include <string>
#include <vector>

// The program's arguments, argv[0] first, in UTF-8.
std::vector<std::string> utf8args(int argc, char** argv);

// True when nothing exists at `path`: neither the file nor a folder on the
// way to it (as stat's ENOENT).
bool pathmissing(const std::string& path);

// fopen and remove, the name in UTF-8.
FILE* utf8fopen(const std::string& path, const char* mode);
int utf8remove(const std::string& path);
