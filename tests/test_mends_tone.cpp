// SPDX-License-Identifier: MIT
// The sound's mends as the editor sees them: the request file that cannot be
// put in place, the request file left behind, a resident player that died,
// and the resident player's word that it plays the sine tone or has no device.
#include "platform/proc.h"
#include "tone/players.h"
#include "testio.h"
#include "tone/launch.h"
#include "tone/tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A stand-in player: a script that logs its arguments, and as a resident
// player writes `reply` back on its socket and keeps what it is told.
struct fakeplayer {
    // A folder of its own: a player of an earlier test may still be starting.
    std::string dir = fs::absolute("fakeplayer" + std::to_string(++made)).string();
    static inline int made = 0;
    // `stays`: as a resident player it keeps reading for 5 s (its socket
    // does not block: cat ends whenever nothing is there, and starts again);
    // otherwise it ends once it has replied.
    explicit fakeplayer(const std::string& reply = "", bool stays = true)
    {
        fs::create_directory(dir);
        const std::string reads = "exec timeout 5 bash -c 'while :; do cat; sleep 0.01; done' <&\"$2\" >" + dir + "/heard; ";
        std::ofstream(dir + "/beep") << "#!/bin/bash\necho \"$*\" >> " << dir << "/log\n"
                                     << "[ \"$1\" = --resident ] && { printf '" << reply << "' >&\"$2\"; "
                                     << (stays ? reads : "exit 1; ") << "}\nexit 0\n";
        fs::permissions(dir + "/beep", fs::perms::owner_all);
        setplayerpath(dir + "/beep");
    }
    ~fakeplayer()
    {
        stopresident();
        stopplayers();
        playersreset();
        fs::remove_all(dir);
    }
    std::vector<std::string> log(size_t n)
    {
        std::vector<std::string> out;
        for (int i = 0; i < 300 && out.size() < n; i++) {
            out.clear();
            std::ifstream f(dir + "/log");
            for (std::string l; std::getline(f, l);)
                out.push_back(l);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return out;
    }
};

void tonebeep() { beep(reqmode::tone, splay{}, 3, 6, false, 10, ""); }

size_t leftovers()
{
    size_t n = 0;
    for (const auto& e : fs::directory_iterator("."))
        n += e.path().filename().string().rfind(".beepset.tmp", 0) == 0;
    return n;
}

} // namespace

// A folder planted as "beepset.tmp": 'b' says once why it is silent and
// leaves no temporary file behind.
TEST(MendsTone, ARequestThatCannotBePutInPlaceIsSaidOnce)
{
    fakeplayer p;
    fs::create_directory("beepset.tmp");
    fs::create_directory("beepset.tmp/x"); // not empty: nothing replaces it
    edreset();
    tioreset();
    std::vector<std::string> rows;
    tio.onkey = [&] { rows.push_back(grow(scr, SCRH - 1, 40, SCRW)); };
    tiokeys({'s', 's', 'b', 'b', 'd'}); // down to a note row, two tones, a move
    edit(te, false);
    int said = 0;
    for (const std::string& r : rows)
        said += r.find("无法写入 beepset.tmp：不是普通文件") != std::string::npos;
    EXPECT_EQ(said, 1);
    EXPECT_EQ(leftovers(), 0u);
    // The tones went to the resident player all the same, in its messages.
    std::string heard;
    for (int i = 0; i < 300 && std::count(heard.begin(), heard.end(), 'p') < 2; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream f(p.dir + "/heard");
        heard.assign(std::istreambuf_iterator<char>(f), {});
    }
    EXPECT_EQ(std::count(heard.begin(), heard.end(), 'p'), 2) << heard;
    EXPECT_TRUE(fs::is_directory("beepset.tmp"));
    fs::remove_all("beepset.tmp");
    tones = stonestate{};
}

// At the end the request file goes, when it is still the one this run put
// there; a file or link another put in its place stays.
TEST(MendsTone, TheRequestFileGoesAtTheEndIfItIsOurs)
{
    fakeplayer p;
    const std::function<void()> replace[] = {
        [] {},
        [] { fs::remove("beepset.tmp"), std::ofstream("beepset.tmp") << "theirs"; },
        [] { fs::remove("beepset.tmp"), fs::create_symlink("/etc/hostname", "beepset.tmp"); },
    };
    for (size_t i = 0; i < std::size(replace); i++) {
        tonebeep();
        ASSERT_TRUE(fs::exists("beepset.tmp"));
        replace[i]();
        toneexit();
        EXPECT_EQ(fs::exists(fs::symlink_status("beepset.tmp")), i != 0) << i;
        fs::remove("beepset.tmp");
    }
    tones = stonestate{};
}

// A resident player that died is replaced by a new resident player on the
// next sound, not by a player for each sound.
TEST(MendsTone, ADeadResidentPlayerIsRestartedOnTheNextSound)
{
    fakeplayer p;
    int pid = startresident();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(p.log(1).size(), 1u);
    kill(-pid, SIGKILL);
    for (int i = 0; i < 200 && kill(pid, 0) == 0; i++) {
        reapchildren();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    tonebeep();
    tonebeep();
    std::vector<std::string> log = p.log(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].rfind("--resident ", 0), 0u) << log[1];
    fs::remove("beepset.tmp");
    tones = stonestate{};
}

// The resident player's word that it plays the sine tone, or that no audio
// device opens, reaches the status row once, in Chinese. A player without a
// device ends after it has said so, and each sound starts another that says
// it again.
TEST(MendsTone, TheResidentPlayersWordShowsOnce)
{
    const struct {
        const char* reply;
        bool stays;
        const char* shown;
    } cases[] = {{"sine unloadable\\n", true, "音色库无法加载，使用正弦音"},
                 {"nodevice\\n", false, "打不开声音设备，听不到声音"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        fakeplayer p(c.reply, c.stays);
        edreset();
        tioreset();
        std::vector<std::string> rows;
        tio.onkey = [&] {
            rows.push_back(grow(scr, SCRH - 1, 40, SCRW));
            if (rows.size() < 3) // time for the player to start and answer
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
        };
        tiokeys({'b', 'd', 'd'}); // 'b' sounds, and finds a player that ended gone
        edit(te, false);
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_NE(rows[1].find(c.shown), std::string::npos) << rows[1];
        EXPECT_EQ(rows[2].find(c.shown), std::string::npos) << "once: " << rows[2];
        EXPECT_EQ(rows[3].find(c.shown), std::string::npos) << "once: " << rows[3];
        fs::remove("beepset.tmp");
        tones = stonestate{};
    }
}
