// SPDX-License-Identifier: MIT
// The private copy a play from the cursor hands to the player.
#include "files/files.h"
#include "files/playcopy.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

TEST(PlayCopy, APrivateFolderOfItsOwnGoneWhenDropped)
{
    sdoc doc;
    doc.music.push(smusic{0, 3, 1, 4, false});
    sview view;
    splaycopy c, d;
    ASSERT_TRUE(writeplaycopy(c, doc, view));
    ASSERT_TRUE(writeplaycopy(d, doc, view));
    EXPECT_NE(c.dir, d.dir) << "every copy gets a folder made for it";
    struct stat st{};
    ASSERT_EQ(::lstat(c.dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::lstat(c.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u);
    std::ifstream f(c.path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    EXPECT_EQ(ss.str(), scorebytes(doc, view));
    const std::string dir = c.dir;
    ASSERT_TRUE(writeplaycopy(c, doc, view)); // a new copy replaces the old one
    EXPECT_NE(::lstat(dir.c_str(), &st), 0);
    const std::string other = d.dir;
    dropplaycopy(c);
    dropplaycopy(d);
    EXPECT_NE(::lstat(other.c_str(), &st), 0);
    EXPECT_TRUE(c.dir.empty() && c.path.empty());
}
