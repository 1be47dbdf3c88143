// SPDX-License-Identifier: MIT
// A MIDI file named on the command line, in the real editor: its title in
// the bar, the part taken on the status row, and Save as offering its name.
#include "../midibuild.h"
#include "console/console.h"
#include "pty.h"
#include "vt.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace midib;

TEST(CommandLine, MidiImportShowsTitlePartAndOffersItsName)
{
    std::string path = "/tmp/pve2e-tune-" + std::to_string(getpid()) + ".mid";
    std::ofstream(path, std::ios::binary)
        << smf(1, {name("Greensleeves") + eot(), note(69, 0, 480) + note(72, 0, 960) + eot()});
    session s(SCRW, SCRH, path);
    ASSERT_TRUE(s.until([&] { return s.screen().find("已导入 MIDI 音轨 2（共 2 条），2 个音符") != std::string::npos; }))
        << s.screen();
    EXPECT_NE(s.term.row(0).find("Greensleeves"), std::string::npos) << s.screen();
    s.send("\x13"); // Ctrl+S: no path yet, so the save dialog, with the name filled in
    std::string name = "pve2e-tune-" + std::to_string(getpid());
    ASSERT_TRUE(s.until([&] { return s.screen().find("保存文件") != std::string::npos; })) << s.screen();
    EXPECT_NE(s.screen().find(name), std::string::npos) << s.screen();
    unlink(path.c_str());
}

// 导出… in the real terminal: the outcome reaches the status row while the
// editor waits for a key, and the file the extension asked for is written.
TEST(CommandLine, ExportFromTheMenuReportsWithoutAKey)
{
    std::string path = "/tmp/pve2e-exp-" + std::to_string(getpid()) + ".mid";
    std::ofstream(path, std::ios::binary) << smf(0, {note(60, 0, 480) + note(64, 0, 480) + eot()});
    session s(SCRW, SCRH, path);
    ASSERT_TRUE(s.until([&] { return s.screen().find("已导入") != std::string::npos; })) << s.screen();
    s.send("\td");
    s.send("dssss\r");
    ASSERT_TRUE(s.until([&] { return s.screen().find("扩展名决定格式") != std::string::npos; })) << s.screen();
    s.send("\r" + s.dir + "\r");
    s.send("\t\r乐曲.mid\r"); // a name typed over the default one
    s.send("\t\t\r");
    std::string out = "乐曲.mid";
    ASSERT_TRUE(s.until([&] { return s.screen().find("已导出 " + out) != std::string::npos; })) << s.screen();
    std::ifstream f(s.dir + "/" + out, std::ios::binary);
    std::string head(4, '\0');
    f.read(head.data(), 4);
    EXPECT_EQ(head, "MThd");
    unlink(path.c_str());
}
