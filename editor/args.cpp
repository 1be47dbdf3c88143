// SPDX-License-Identifier: MIT
#include "editor/args.h"

#include "tone/launch.h"

#include <cstdlib>
#include <cstring>
namespace {

// A part number 1 to 65535, or 0.
int tracknumber(const std::string& s)
{
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    int n = std::stoi(s);
    return n <= 65535 ? n : 0;
}

} // namespace

sargs parseargs(const std::vector<std::string>& argv)
{
    sargs a;
    const char* env = std::getenv("PELLAVINE_MOUSE");
    a.mouse = !(env && std::strcmp(env, "0") == 0);
    bool options = true;
    const size_t argc = argv.size();
    for (size_t i = 1; i < argc; i++) {
        const std::string& s = argv[i];
        if (options && s == "--") {
            options = false;
        } else if (options && s == "--no-mouse") {
            a.mouse = false;
        } else if (options && (s == "--help" || s == "--version")) {
            if (argc != 2)
                return sargs{argwhat::bad, {}, {}, a.mouse};
            a.what = s == "--help" ? argwhat::help : argwhat::version;
        } else if (options && s == "--track") {
            if (i + 1 >= argc || (a.track = tracknumber(argv[++i])) == 0)
                return sargs{argwhat::bad, {}, {}};
        } else if ((options && s.size() > 1 && s[0] == '-') || !a.path.empty()) {
            return sargs{argwhat::bad, {}, {}, a.mouse};
        } else {
            a.path = s;
        }
    }
    return a;
}

sargs readargs(std::vector<std::string> all)
{
    std::vector<char*> ptrs;
    for (std::string& s : all)
        ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    int n = static_cast<int>(all.size());
    std::string why;
    if (toneoptions(n, ptrs.data(), why) != 0)
        return sargs{argwhat::badoption, {}, why};
    return parseargs(std::vector<std::string>(ptrs.begin(), ptrs.begin() + n));
}
