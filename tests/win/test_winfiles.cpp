// The Win32 file operations: Chinese file and folder names, replacing a file
// so the old one survives a failure, recovery files that never replace.
#include "platform/fileio.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

struct WinFiles : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        dir = narrow(tmp) + "pv测试" + std::to_string(GetCurrentProcessId()) + "\\乐谱 文件夹";
        CreateDirectoryW(widen(dir.substr(0, dir.rfind('\\'))).c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryW(widen(dir).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(widen(dir + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n != L"." && n != L"..") {
                    SetFileAttributesW(widen(dir + "\\" + narrow(n)).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(widen(dir + "\\" + narrow(n)).c_str());
                    RemoveDirectoryW(widen(dir + "\\" + narrow(n)).c_str());
                }
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(widen(dir).c_str());
        RemoveDirectoryW(widen(dir.substr(0, dir.rfind('\\'))).c_str());
    }
    int count()
    {
        int n = 0;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(widen(dir + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        do
            n += std::wstring(fd.cFileName) != L"." && std::wstring(fd.cFileName) != L"..";
        while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }
    std::string read(const std::string& p)
    {
        std::string b;
        EXPECT_TRUE(readwhole(p, b)) << p;
        return b;
    }
};

TEST_F(WinFiles, ChineseNamesWrittenReplacedAndRead)
{
    for (const char* name : {"旋律.pvx", "/旋律.pvx", "\\ascii.pvx"}) {
        std::string p = dir + (name[0] == '/' || name[0] == '\\' ? "" : "\\") + name;
        std::string bytes("PVX\0\x01\xFF" "一", 9);
        ASSERT_EQ(writewhole(p, bytes), 0) << p;
        EXPECT_EQ(read(p), bytes);
        ASSERT_EQ(writewhole(p, "短"), 0);
        EXPECT_EQ(read(p), "短");
        ASSERT_EQ(writewhole(p, "quick", false), 0);
        EXPECT_EQ(read(p), "quick");
    }
    EXPECT_EQ(count(), 2) << "no temporary file is left behind";
}

TEST_F(WinFiles, OldFileSurvivesAFailedReplace)
{
    std::string p = dir + "\\只读.pvx";
    ASSERT_EQ(writewhole(p, "old"), 0);
    SetFileAttributesW(widen(p).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(writewhole(p, "new"), -1);
    EXPECT_EQ(read(p), "old");
    EXPECT_EQ(writewhole(dir, "a folder"), -1);
    EXPECT_EQ(writewhole(dir + "\\没有\\x.pvx", "no folder"), -1);
    EXPECT_EQ(count(), 1);
}

TEST_F(WinFiles, ReadingTellsWhatIsWrong)
{
    std::string bytes, err;
    EXPECT_FALSE(readwhole(dir + "\\没有.pvx", bytes, &err));
    EXPECT_EQ(err, "No such file or directory");
    EXPECT_FALSE(readwhole(dir, bytes, &err));
    EXPECT_EQ(err, "not a regular file");
    ASSERT_EQ(writewhole(dir + "\\big", std::string(100, 'x')), 0);
    EXPECT_FALSE(readwhole(dir + "\\big", bytes, &err, 99));
    EXPECT_EQ(err, "file too large");
    EXPECT_TRUE(readwhole(dir + "\\big", bytes, &err, 100));
}

TEST_F(WinFiles, RecoveryFilesNeverReplace)
{
    std::string p = dir + "\\曲.pvx.save";
    EXPECT_EQ(writenew(p, "one"), p);
    EXPECT_EQ(writenew(p, "two"), p + ".1");
    EXPECT_EQ(writenew(p, "three"), p + ".2");
    EXPECT_EQ(read(p), "one");
    EXPECT_EQ(read(p + ".2"), "three");
}

} // namespace
