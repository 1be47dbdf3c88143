// SPDX-License-Identifier: MIT
// POSIX file names are bytes: the arguments and names pass through as they are.
#include "platform/utf8.h"

#include <cerrno>
#include <sys/stat.h>

std::vector<std::string> utf8args(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool pathmissing(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

FILE* utf8fopen(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int utf8remove(const std::string& path) { return std::remove(path.c_str()); }
