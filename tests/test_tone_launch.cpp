// SPDX-License-Identifier: MIT
// The editor's instrument options: taken out of the command line, checked,
// and handed to the players through the environment.
#include "tone/launch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct sline {
    std::vector<std::string> words;
    std::vector<char*> argv;
    int argc = 0;
    explicit sline(std::vector<std::string> w) : words(std::move(w))
    {
        for (std::string& s : words)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        argc = static_cast<int>(words.size());
    }
    std::vector<std::string> left() const { return {argv.begin(), argv.begin() + argc}; }
};

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "(unset)";
}

struct ToneOptions : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        unsetenv("PELLAVINE_INSTRUMENT");
        unsetenv("PELLAVINE_SOUNDFONT");
    }
};

} // namespace

TEST_F(ToneOptions, TakenOutOfTheCommandLineAndHandedOn)
{
    sline l({"pellavine", "--instrument", "violin", "song.pvx", "--soundfont", "/usr/share/sounds/sf2/TimGM6mb.sf2"});
    std::string err;
    ASSERT_EQ(toneoptions(l.argc, l.argv.data(), err), 0) << err;
    EXPECT_EQ(l.left(), (std::vector<std::string>{"pellavine", "song.pvx"}));
    EXPECT_EQ(l.argv[static_cast<size_t>(l.argc)], nullptr);
    EXPECT_EQ(env("PELLAVINE_INSTRUMENT"), "violin");
    EXPECT_EQ(env("PELLAVINE_SOUNDFONT"), "/usr/share/sounds/sf2/TimGM6mb.sf2");

    sline plain({"pellavine", "--help"});
    ASSERT_EQ(toneoptions(plain.argc, plain.argv.data(), err), 0);
    EXPECT_EQ(plain.left(), (std::vector<std::string>{"pellavine", "--help"}));
}

TEST_F(ToneOptions, WrongValuesAreRefused)
{
    const struct {
        std::vector<std::string> words;
        const char* envvalue;
        const char* says;
    } cases[] = {
        {{"pellavine", "--instrument", "kazoo"}, nullptr, "--instrument kazoo"},
        {{"pellavine", "--instrument", "128"}, nullptr, "--instrument 128"},
        {{"pellavine", "--instrument"}, nullptr, "后面缺少参数"},
        {{"pellavine", "--soundfont"}, nullptr, "后面缺少参数"},
        {{"pellavine"}, "kazoo", "PELLAVINE_INSTRUMENT=kazoo"},
        // A SoundFont given explicitly must be one: refused with the cause.
        {{"pellavine", "--soundfont", "/no/such.sf2"}, nullptr, "--soundfont /no/such.sf2：文件夹不存在"},
        {{"pellavine", "--soundfont", "/tmp/no-such.sf2"}, nullptr, "--soundfont /tmp/no-such.sf2：文件不存在"},
        {{"pellavine", "--soundfont", "/tmp"}, nullptr, "--soundfont /tmp：不是普通文件"},
        {{"pellavine", "--soundfont", "/etc/hostname"}, nullptr, "--soundfont /etc/hostname：不是 SoundFont 音色库"},
    };
    for (const auto& c : cases) {
        if (c.envvalue)
            setenv("PELLAVINE_INSTRUMENT", c.envvalue, 1);
        sline l(c.words);
        std::string err;
        EXPECT_EQ(toneoptions(l.argc, l.argv.data(), err), -1) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        unsetenv("PELLAVINE_INSTRUMENT");
    }
    // Names and numbers the player knows, and the sine tone, are taken.
    for (const char* ok : {"0", "127", "piano", "tone", "trumpet"}) {
        sline l({"pellavine", "--instrument", ok});
        std::string err;
        EXPECT_EQ(toneoptions(l.argc, l.argv.data(), err), 0) << ok << ": " << err;
    }
}
