// SPDX-License-Identifier: MIT
// 导出… in the 文件 menu, driven by keys: the dialog, the player run as a job
// while keys keep being read, the outcome on the status row, and the paths
// refused as Save refuses them.
#include "testio.h"

#include "platform/fileio.h"
#include "platform/proc.h"
#include "tone/players.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int TAB = 9, ENTER = 13;

int budget = 0;                       // waits the export may take, 20 ms each
std::vector<std::string>* seen = nullptr; // the status rows at every key read and wait

std::string statusrow() { return grow(scr, SCRH - 1, 0, SCRW); }

struct ExportTest : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
#ifndef PV_BEEP
        GTEST_SKIP() << "no tone player in this build";
#endif
        static int n = 0;
        dir = (fs::temp_directory_path() / ("pvexport-" + std::to_string(getpid()) + "-" + std::to_string(n++))).string();
        fs::create_directories(dir);
        setenv("PELLAVINE_INSTRUMENT", "tone", 1);
    }
    void TearDown() override
    {
        setplayerpath("");
        std::error_code ec;
        fs::permissions(dir + "/ro.wav", fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    // Exports through the menu with `name` typed over the default one (or
    // the default kept when empty); the status rows seen at every key read.
    std::vector<std::string> exportas(const std::string& name, int notes = 1)
    {
        tioreset();
        edreset();
#ifdef PV_BEEP
        setplayerpath(PV_BEEP);
#endif
        te.doc.filepath = dir + "/tune.pvx";
        for (int i = 0; i < notes; i++)
            te.doc.music.push({2 + 4 * i, 3, 1 + i % 7, 4, false});
        std::vector<std::string> rows;
        seen = &rows;
        tio.onkey = [&] { rows.push_back(statusrow()); };
        budget = 500;
        scr.io.keywithin = [](int) {
            if (!tio.keys.empty() || --budget < 0)
                return evkey(scr.io.event());
            usleep(20000);
            seen->push_back(statusrow());
            return KEY_NOTYET;
        };
        tiokeys({TAB, 'd', 'd', 's', 's', 's', 's', ENTER, ENTER});
        tioline(dir);
        tiokeys({TAB});
        if (!name.empty()) {
            tiokeys({ENTER});
            tioline(name);
        }
        tiokeys({TAB, TAB, ENTER, 'd'});
        edit(te, false);
        return rows;
    }
};

bool saw(const std::vector<std::string>& rows, const std::string& msg)
{
    for (const std::string& r : rows)
        if (r.find(msg) != std::string::npos)
            return true;
    return false;
}

std::string head(const std::string& path, size_t n)
{
    std::string b;
    readwhole(path, b);
    return b.substr(0, n);
}

} // namespace

TEST_F(ExportTest, ExtensionChoosesWhatIsWritten)
{
    const struct {
        const char* name;
        const char* file;
        const char* begins;
    } cases[] = {
        {"", "tune.wav", "RIFF"},
        {"曲.mid", "曲.mid", "MThd"},
        {"sheet.MusicXML", "sheet.MusicXML", "<?xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto rows = exportas(c.name);
        EXPECT_TRUE(saw(rows, std::string("已导出 ") + c.file)) << [&] { std::string s; for (auto& r : rows) s += r + "\n"; return s; }();
        EXPECT_EQ(head(dir + "/" + c.file, 4 + (c.begins[0] == '<')), c.begins);
        EXPECT_TRUE(te.doc.filesaved);
    }
    EXPECT_NE(head(dir + "/sheet.MusicXML", 4000).find("<work-title>Pellavine</work-title>"), std::string::npos);
}

TEST_F(ExportTest, PathsSaveWouldRefuseAreRefused)
{
    std::ofstream(dir + "/real.wav") << "keep";
    fs::create_symlink(dir + "/real.wav", dir + "/link.wav");
    mkfifo((dir + "/pipe.wav").c_str(), 0600);
    std::ofstream(dir + "/ro.wav") << "keep";
    chmod((dir + "/ro.wav").c_str(), 0444);
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        {"link.wav", "导出失败：不是普通文件"},
        {"pipe.wav", "导出失败：不是普通文件"},
        {"ro.wav", root ? "已导出 ro.wav" : "导出失败：没有权限"},
        {"no/such/x.wav", "导出失败：文件夹不存在"},
        {"notes.txt", "导出失败：扩展名须为 .wav、.mid 或 .musicxml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(saw(exportas(c.name), c.says));
    }
    EXPECT_EQ(head(dir + "/real.wav", 10), "keep");
    EXPECT_FALSE(fs::exists(dir + "/notes.txt"));
}

TEST_F(ExportTest, ALongScoreShowsItsProgressWhileKeysAreRead)
{
    auto rows = exportas("", 1500); // 10 minutes of sound
    EXPECT_TRUE(saw(rows, "正在导出 tune.wav… "));
    EXPECT_TRUE(saw(rows, "%"));
    EXPECT_TRUE(saw(rows, "已导出 tune.wav"));
    EXPECT_EQ(fs::file_size(dir + "/tune.wav"), 44u + 2u * 4800u * (2u + 4u * 1500u)); // the sine tone: no release
}
