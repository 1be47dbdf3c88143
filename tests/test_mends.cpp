// SPDX-License-Identifier: MIT
// What a user or a hostile neighbour in a shared folder can do to the file
// commands, the help text and the update command: planted files in real
// folders, each refused or survived with the true cause on the status row.
#include "console/width.h"
#include "dialogs/about.h"
#include "files/files.h"
#include "platform/fileio.h"
#include "score/pvx.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int TAB = 9, ENTER = 13, CTRLS = 19, ESC = 27;

void le(std::string& b, int v)
{
    for (int i = 0; i < 4; i++)
        b += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i) & 0xff);
}

// A score file: the header, the notes given as {start, leng, heig, pitch}
// each with `ext` extension bytes, the end note and the end marker.
std::string score(std::initializer_list<std::array<int, 4>> notes, int ext = 0)
{
    std::string b;
    for (int v : {2, 0, 55, 40, 0, 100})
        le(b, v);
    auto rec = [&](std::array<int, 4> n, int x) {
        for (int v : {n[0], n[1], n[2], n[3]})
            le(b, v);
        b += '\0';
        le(b, x);
        b += std::string(static_cast<size_t>(x), 'e');
    };
    for (auto n : notes)
        rec(n, ext);
    rec({ENDSTART, 0, 0, 0}, 0);
    le(b, -1);
    return b;
}

void spit(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The status row right of the version text, as the user sees it at each key.
std::vector<std::string> statusrows(const std::vector<int>& keys, std::initializer_list<const char*> lines = {})
{
    tioreset();
    std::vector<std::string> seen;
    tio.onkey = [&] { seen.push_back(grow(scr, SCRH - 1, 24, SCRW)); };
    auto line = lines.begin();
    for (int k : keys) {
        if (k == '@')
            tioline(*line++);
        else
            tiokeys({k});
    }
    edit(te, false);
    return seen;
}

bool says(const std::vector<std::string>& rows, const std::string& msg)
{
    return std::any_of(rows.begin(), rows.end(), [&](const std::string& r) { return r.find(msg) != std::string::npos; });
}

// Open through the menu: 文件, 打开, the path typed, 确定, then one key.
const std::vector<int> OPENKEYS = {TAB, 'd', 'd', 's', ENTER, ' ', '@', TAB, TAB, ENTER, 'd'};

} // namespace

// A help text planted in the working folder as a link to a device, a pipe
// or a huge file is refused at once; the editor goes on and says so.
TEST(Mends, PlantedHelpTextIsRefused)
{
    const std::function<void()> plants[] = {
        [] { fs::create_symlink("/dev/zero", HELPFILE); },
        [] { mkfifo(HELPFILE, 0600); },
        [] { spit(HELPFILE, std::string(HELPMAX + 1, 'x')); },
        [] { fs::create_symlink("/etc/hostname", HELPFILE); },
    };
    for (const auto& plant : plants) {
        fs::remove(HELPFILE);
        plant();
        edreset();
        auto t0 = std::chrono::steady_clock::now();
        // The help item: the last menu, its first item; a key for the pause.
        auto rows = statusrows({TAB, 'd', 'd', 'd', 'd', 'd', ENTER, ' ', 'd'});
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
        EXPECT_TRUE(says(rows, HELPFAILMSG)) << rows.back();
    }
    fs::remove(HELPFILE);
    spit(HELPFILE, std::string(HELPMAX, 'x')); // the largest that is read
    tioreset();
    tiokeys({' '});
    EXPECT_FALSE(help());
}

// Save as into a folder that is not there: the dialog comes back with the
// typed path and the cause; the score keeps no path and stays unsaved until
// the corrected folder takes it.
TEST(Mends, FailedSaveAsComesBackWithTheTypedPath)
{
    char tmpl[] = "/tmp/pvmendsXXXXXX";
    const std::string dir = mkdtemp(tmpl);
    edreset();
    te.doc.music.push(smusic{0, 3, 1, 1, false});
    te.doc.filesaved = false;
    std::vector<std::string> box;
    int reads = 0;
    tioreset();
    tio.onkey = [&] {
        if (++reads == 8) { // the dialog back, focus on the folder field
            box = {grow(scr, 8 + 4, 21, 87), grow(scr, 8 + 6, 21, 82), grow(scr, 8 + 8, 21, 77)};
            EXPECT_EQ(te.doc.filepath, "");
            EXPECT_FALSE(te.doc.filesaved);
        }
    };
    // Ctrl+S asks; folder "nowhere", name "tune", 确定.
    tiokeys({CTRLS, ' '});
    tioline(dir + "/nowhere");
    tiokeys({TAB, ' '});
    tioline("tune");
    tiokeys({TAB, TAB, ENTER});
    // Corrected: the folder field starts with the typed text; Esc clears it.
    tiokeys({' ', ESC});
    tioline(dir);
    tiokeys({TAB, TAB, TAB, ENTER, 'd'});
    edit(te, false);
    ASSERT_EQ(box.size(), 3u);
    EXPECT_EQ(box[0].rfind(dir + "/nowhere", 0), 0u) << box[0];
    EXPECT_EQ(box[1].rfind("tune", 0), 0u) << box[1];
    EXPECT_EQ(box[2].rfind("保存失败：文件夹不存在", 0), 0u) << "[" << box[2] << "] " << reads;
    EXPECT_EQ(te.doc.filepath, dir + "/tune.pvx");
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_TRUE(fs::exists(dir + "/tune.pvx"));
    fs::remove_all(dir);
}

// Temporary names planted in a shared folder in the old predictable pattern
// are never in the way, with or without O_TMPFILE, and nothing is left.
TEST(Mends, PlantedTemporaryNamesDoNotStopASave)
{
    for (bool tmpfile : {true, false}) {
        char tmpl[] = "/tmp/pvmendsXXXXXX";
        const std::string dir = mkdtemp(tmpl);
        chmod(dir.c_str(), 01777);
        for (int i = 0; i < 1000; i++)
            spit(dir + "/.a.pvx." + std::to_string(getpid()) + "." + std::to_string(i) + ".tmp", "");
        fileiotmpfile(tmpfile);
        EXPECT_TRUE(writewhole(dir + "/a.pvx", "new"));
        EXPECT_TRUE(writewhole(dir + "/a.pvx", "newer")); // replacing too
        fileiotmpfile(true);
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir))
            n += e.path().filename().string().find("pellavine") != std::string::npos;
        EXPECT_EQ(n, 0u) << "no temporary file left";
        std::ifstream f(dir + "/a.pvx");
        std::string got((std::istreambuf_iterator<char>(f)), {});
        EXPECT_EQ(got, "newer");
        fs::remove_all(dir);
    }
}

// Files the editor must refuse, planted as files: each says its cause on the
// status row, and the score in memory stays.
TEST(Mends, RefusedScoresSayWhy)
{
    spit("big.pvx", "");
    fs::resize_file("big.pvx", static_cast<uintmax_t>(PVXMAXSIZE) + 1); // sparse: nothing to read
    const struct {
        std::string bytes; // empty: the planted big file
        const char* msg;
    } cases[] = {
        {"", "打开失败：文件太大"},
        {score({{0, 1, 3, 0}}), "打开失败：不是乐谱文件：音符不在五线谱上"}, // pitch 0
        {score({{0, 1, 3, 8}}), "打开失败：不是乐谱文件：音符不在五线谱上"}, // pitch 8
        {score({{0, 1, 7, 1}}), "打开失败：不是乐谱文件：音符不在五线谱上"}, // octave 7
        {score({{0, 1, 0, 7}}), "打开失败：不是乐谱文件：音符不在五线谱上"}, // below the staff
        {score({{0, 1, 3, 1}}, PVXMAXEXT + 1), "打开失败：不是乐谱文件：扩展数据超过上限"},
        {score({{0, 1, 3, 1}}).substr(0, 30), "打开失败：不是乐谱文件：文件在音符记录中途结束"},
    };
    for (const auto& c : cases) {
        const char* path = c.bytes.empty() ? "big.pvx" : "bad.pvx";
        if (!c.bytes.empty())
            spit(path, c.bytes);
        edreset();
        te.doc.music.push(smusic{0, 3, 1, 1, false});
        auto rows = statusrows(OPENKEYS, {path});
        EXPECT_TRUE(says(rows, c.msg)) << c.msg << " / " << (rows.empty() ? "" : rows.back());
        EXPECT_EQ(te.doc.music.size(), 2u) << c.msg;
    }
    // Extension bytes open, and the user is told once that a save drops them.
    spit("ext.pvx", score({{0, 2, 3, 1}}, 16));
    edreset();
    auto rows = statusrows(OPENKEYS, {"ext.pvx"});
    ASSERT_GE(rows.size(), 2u);
    EXPECT_TRUE(says({rows[rows.size() - 2]}, EXTDROPMSG)) << rows[rows.size() - 2];
    EXPECT_FALSE(says({rows.back()}, EXTDROPMSG)) << "once";
    EXPECT_EQ(te.doc.music.size(), 2u);
}

// "检查更新" where no browser can be opened: no opener at all, or one that
// gives up; the status row then shows the address.
TEST(Mends, UpdatePageWithoutABrowserShowsTheAddress)
{
    for (const char* opener : {"", "#!/bin/sh\nexit 3\n", "#!/bin/sh\nexit 0\n"}) {
        char tmpl[] = "/tmp/pvopenerXXXXXX";
        const std::string dir = mkdtemp(tmpl);
        if (*opener) {
            spit(dir + "/xdg-open", opener);
            chmod((dir + "/xdg-open").c_str(), 0755);
        }
        const std::string oldpath = std::getenv("PATH");
        setenv("PATH", dir.c_str(), 1);
        edreset();
        // 帮助, 检查更新, then one key.
        auto rows = statusrows({TAB, 'd', 'd', 'd', 'd', 'd', 's', ENTER, 'd'});
        setenv("PATH", oldpath.c_str(), 1);
        const bool fails = std::string(opener).find("exit 0") == std::string::npos;
        EXPECT_EQ(says(rows, UPDATEMSG), fails) << opener;
        fs::remove_all(dir);
    }
}

// Names reach the terminal only through visiblename, and the screen never
// passes a steering character on.
TEST(Mends, NamesShowTheirControlCharacters)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain 歌.pvx", "plain 歌.pvx"},
        {"a\x1b[2Jb", "a\\x1b[2Jb"},
        {"bell\x07", "bell\\x07"},
        {"c1\xC2\x9B" "x", "c1\\x9bx"},
        {"rtl\xE2\x80\xAEgnp.exe", "rtl\\u202egnp.exe"},
        {"iso\xE2\x81\xA6x\xE2\x81\xA9", "iso\\u2066x\\u2069"},
        {"bad\xFF", "bad\\xff"},
        {"keep\xEF\xBF\xBD", "keep\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visiblename(c.in), c.out) << c.in;
    for (char32_t c : {U'\x1b', U'\x85', U'\u202A', U'\u202E', U'\u2066', U'\u2069'})
        EXPECT_EQ(shownchar(c), U'\uFFFD');
    EXPECT_EQ(shownchar(U'\u2070'), U'\u2070');
}
