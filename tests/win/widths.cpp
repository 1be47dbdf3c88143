// SPDX-License-Identifier: MIT
// pvwidths FILE...: every distinct character of the files, with the columns
// the console layer gives it and whether the terminal may draw it otherwise,
// one "U+XXXX WIDTH UNSURE" line each in code point order. The Linux and the
// Windows build must print the same lines for the same files.
#include "console/width.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

int main(int argc, char** argv)
{
    std::set<char32_t> seen;
    for (int a = 1; a < argc; a++) {
        std::ifstream f(argv[a], std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "pvwidths: cannot read %s\n", argv[a]);
            return 1;
        }
        std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        for (size_t i = 0; i < s.size();)
            seen.insert(u8next(s, i));
    }
    for (char32_t c : seen)
        std::printf("U+%04X %d %d\n", static_cast<unsigned>(c), colwidth(c), unsurewidth(c) ? 1 : 0);
    return 0;
}
