// SPDX-License-Identifier: MIT
// Opening a MIDI file as the user does: through the open dialog, then Save.
#include "midibuild.h"
#include "testio.h"

#include "editor/args.h"
#include "files/files.h"
#include "platform/fileio.h"
#include "score/pvx.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace midib;

namespace {

struct ImportTest : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        tioreset();
        edreset();
        static int n = 0;
        dir = (fs::temp_directory_path() / ("pvimport-" + std::to_string(getpid()) + "-" + std::to_string(n++))).string();
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string spit(const std::string& name, const std::string& bytes)
    {
        std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    fileres open(const std::string& path)
    {
        tiokeys({13});
        tioline(path);
        tiokeys({9, 9, 13});
        return ffile(te.doc, te.view, fmode::open);
    }
    std::vector<int> starts() const
    {
        std::vector<int> v;
        for (const smusic& m : te.doc.music.queue())
            v.push_back(m.start);
        return v;
    }
};

const std::string TUNE = smf(1, {name("Song") + eot(), note(36, 0, 480, 9) + eot(),
                                 name("Lead") + note(72, 0, 480) + note(74, 0, 240) + eot()});

} // namespace

TEST_F(ImportTest, MidiOpensUnsavedAndSaveAsOffersItsName)
{
    te.doc.filepath = dir + "/old.pvx";
    std::string path = spit("tune.bin", TUNE); // recognised by its header, not its name
    ASSERT_EQ(open(path), fileres::done);
    EXPECT_EQ(starts(), (std::vector<int>{0, 5, ENDSTART}));
    EXPECT_EQ(te.doc.filepath, "");
    EXPECT_FALSE(te.doc.filesaved);
    EXPECT_EQ(te.doc.title, "Song");
    EXPECT_EQ(te.doc.notice, "已导入 MIDI 音轨 3（共 3 条），2 个音符");
    EXPECT_EQ(te.view.mousex, 0);

    // Ctrl+S asks, with the file's name filled in: folder typed, name kept.
    tiokeys({13});
    tioline(dir);
    tiokeys({9, 9, 9, 13});
    ASSERT_EQ(ffile(te.doc, te.view, fmode::save), fileres::done);
    EXPECT_EQ(te.doc.filepath, dir + "/tune.pvx");
    EXPECT_TRUE(te.doc.filesaved);
    std::string bytes;
    ASSERT_TRUE(readwhole(dir + "/tune.pvx", bytes));
    pvxscore s;
    ASSERT_EQ(pvxread(bytes, s), "");
    EXPECT_EQ(s.notes.size(), 3u);

    // Without a track name the title is the file's name; --track picks a part.
    sdoc d;
    ASSERT_EQ(openscore(d, spit("二.mid", smf(0, {note(60, 0, 480) + note(50, 0, 480, 3) + eot()})), 4).res,
              fileres::done);
    EXPECT_EQ(d.title, "二");
    EXPECT_EQ(d.notice, "已导入 MIDI 通道 4（共 2 个通道有音符），1 个音符");
    EXPECT_EQ(d.music.queue().front().heig, 2); // key 50: D of octave 2
}

TEST_F(ImportTest, BadMidiLeavesTheScoreAsItWas)
{
    te.doc.filepath = dir + "/old.pvx";
    te.doc.music.push({3, 2, 3, 1, false});
    const auto before = starts();
    const struct {
        std::string file;
        const char* says;
    } cases[] = {
        {TUNE.substr(0, TUNE.size() - 3), "打开失败：MIDI 文件不完整"},
        {smf(2, {eot()}), "打开失败：不支持格式 2 的 MIDI 文件"},
        {smf(1, {name("x") + eot()}), "打开失败：MIDI 文件里没有音符"},
        {"MThd", "打开失败：MIDI 文件不完整"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(open(spit("bad.mid", c.file)), fileres::failed);
        EXPECT_EQ(te.doc.failure, c.says);
        EXPECT_EQ(starts(), before);
        EXPECT_EQ(te.doc.filepath, dir + "/old.pvx");
        EXPECT_TRUE(te.doc.filesaved);
        EXPECT_EQ(te.doc.title, "");
        te.doc.failure.clear();
    }
}

TEST(ImportArgs, TrackTakesAPartNumber)
{
    const struct {
        std::vector<std::string> args;
        argwhat what;
        int track;
    } cases[] = {
        {{"--track", "3", "a.mid"}, argwhat::edit, 3},
        {{"a.mid", "--track", "65535"}, argwhat::edit, 65535},
        {{"--track", "0", "a.mid"}, argwhat::bad, 0},
        {{"--track", "65536", "a.mid"}, argwhat::bad, 0},
        {{"--track", "x", "a.mid"}, argwhat::bad, 0},
        {{"a.mid", "--track"}, argwhat::bad, 0},
        {{"--", "--track"}, argwhat::edit, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> all{"pellavine"};
        all.insert(all.end(), c.args.begin(), c.args.end());
        sargs a = parseargs(all);
        EXPECT_EQ(a.what, c.what) << c.args[0] << " " << c.args.size();
        EXPECT_EQ(a.track, c.track) << c.args[0];
    }
}
