// SPDX-License-Identifier: MIT
// The editor's command line as Windows gives it: the player's options taken
// out of the arguments read once in UTF-8, the rest read as on Linux.
#include "editor/args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(WinArgs, PlayerOptionsComeOutAndTheRestIsReadOnce)
{
    struct scase {
        std::vector<std::string> args;
        argwhat what;
        std::string path;
    };
    const scase cases[] = {
        {{"--instrument", "violin", "--version"}, argwhat::version, ""},
        {{"--version", "--soundfont", "TimGM6mb.sf2"}, argwhat::version, ""},
        {{"--instrument", "flute", "--help"}, argwhat::help, ""},
        {{"--instrument", "0", "旋律.pvx"}, argwhat::edit, "旋律.pvx"},
        {{"--", "--instrument"}, argwhat::edit, "--instrument"},
        {{"--version", "x.pvx"}, argwhat::bad, ""},
        {{"--instrument", "kazoo"}, argwhat::badoption, ""},
        {{"--soundfont"}, argwhat::badoption, ""},
    };
    for (const scase& c : cases) {
        std::vector<std::string> all{"pellavine.exe"};
        all.insert(all.end(), c.args.begin(), c.args.end());
        sargs a = readargs(all);
        EXPECT_EQ(a.what, c.what) << c.args[0] << " " << c.args.size();
        EXPECT_EQ(a.path, c.path) << c.args[0];
        EXPECT_EQ(a.why.empty(), c.what != argwhat::badoption) << c.args[0];
    }
}

} // namespace
