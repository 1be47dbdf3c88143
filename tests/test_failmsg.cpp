// SPDX-License-Identifier: MIT
// A file command that fails says so on the status row until the next key;
// one that is cancelled says nothing.
#include "console/width.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

constexpr int TAB = 9, ENTER = 13, CTRLS = 19;

// The status row right of the version text, where a long message reaches.
std::string status() { return grow(scr, SCRH - 1, 61, SCRW); }

// The message at the key read after `keys`, and the row at the read after that.
std::pair<std::string, std::string> after(const std::vector<int>& keys, const char* line = nullptr)
{
    tioreset();
    std::vector<std::string> seen;
    tio.onkey = [&] { seen.push_back(status()); };
    for (int k : keys) {
        if (k == '@')
            tioline(line);
        else
            tiokeys({k});
    }
    tiokeys({'d'});
    edit(te, false);
    EXPECT_GE(seen.size(), 2u);
    return {seen[seen.size() - 2], seen.back()};
}

// The row as it stands with the cursor on a free cell.
const std::string NORMAL = std::string(32, ' ') + "|    创建新音符";

std::string right(const std::string& msg)
{
    std::string pad(static_cast<size_t>(SCRW - 61 - strwidth(msg)), ' ');
    return pad + msg;
}

} // namespace

TEST(FailureMessage, SaveAndOpenSayWhatWentWrong)
{
    std::filesystem::create_directory("afolder.pvx");
    mkfifo("pipe.pvx", 0600);
    std::ofstream("junk.pvx") << "no score";
    // Open through the menu: 文件, 打开, the path typed, 确定.
    const std::vector<int> open = {TAB, 'd', 'd', 's', ENTER, ' ', '@', TAB, TAB, ENTER};
    struct {
        const char* savepath; // Ctrl+S to this path, or nullptr to open `openpath`
        const char* openpath;
        const char* msg;
    } cases[] = {
        {"nowhere/a.pvx", nullptr, "保存失败：文件夹不存在"},
        {"afolder.pvx", nullptr, "保存失败：不是普通文件"},
        {"pipe.pvx", nullptr, "保存失败：不是普通文件"},
        {nullptr, "missing.pvx", "打开失败：文件不存在"},
        {nullptr, "junk.pvx", "打开失败：不是乐谱文件：文件在文件头中途结束"},
        {nullptr, "afolder.pvx", "打开失败：不是普通文件"},
    };
    for (const auto& c : cases) {
        edreset();
        te.doc.music.push(smusic{0, 3, 1, 1, false});
        auto [shown, next] = c.savepath ? (te.doc.filepath = c.savepath, after({CTRLS}))
                                        : after(open, c.openpath);
        EXPECT_EQ(shown, right(c.msg)) << c.msg;
        EXPECT_EQ(next, NORMAL) << "gone after the next key";
        EXPECT_EQ(te.doc.music.size(), 2u) << "nothing lost";
    }
}

TEST(FailureMessage, ACancelledDialogSaysNothing)
{
    edreset();
    auto [shown, next] = after({TAB, 'd', 'd', 's', ENTER, TAB, ENTER}); // open dialog, 取消
    EXPECT_EQ(shown, NORMAL);
}
