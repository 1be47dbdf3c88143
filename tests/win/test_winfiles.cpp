// SPDX-License-Identifier: MIT
// The Win32 file operations: Chinese file and folder names, replacing a file
// so the old one survives a failure, the reasons of failures, the request
// file never written through a link, stops ending a blocked write, and
// recovery files that never replace.
#include "platform/fileio.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <string>
#include <thread>

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
        ASSERT_TRUE(writewhole(p, bytes)) << p;
        EXPECT_EQ(read(p), bytes);
        ASSERT_TRUE(writewhole(p, "短"));
        EXPECT_EQ(read(p), "短");
        ASSERT_TRUE(writewhole(p, "quick", false));
        EXPECT_EQ(read(p), "quick");
    }
    EXPECT_EQ(count(), 2) << "no temporary file is left behind";
}

TEST_F(WinFiles, OldFileSurvivesAFailedReplaceAndFailuresSayWhy)
{
    std::string p = dir + "\\只读.pvx";
    ASSERT_TRUE(writewhole(p, "old"));
    SetFileAttributesW(widen(p).c_str(), FILE_ATTRIBUTE_READONLY);
    std::string bytes;
    iores res;
    struct {
        const char* what;
        iores got;
        fileerr want;
    } cases[] = {
        {"write, read-only", writewhole(p, "new"), fileerr::noperm},
        {"write, folder", writewhole(dir, "a folder"), fileerr::notregular},
        {"write, device", writewhole("NUL", "a device"), fileerr::notregular},
        {"write, no folder", writewhole(dir + "\\没有\\x.pvx", "no folder"), fileerr::nofolder},
        {"write, empty path", writewhole("", "x"), fileerr::missing},
        {"read, no file", readwhole(dir + "\\没有.pvx", bytes), fileerr::missing},
        {"read, folder", readwhole(dir, bytes), fileerr::notregular},
        {"read, limit", readwhole(p, bytes, nullptr, 2), fileerr::toolarge},
        {"new, no folder", (writenew(dir + "\\没有\\r", "x", &res), res), fileerr::nofolder},
        {"plain, no folder", writeplain(dir + "\\没有\\beepset.tmp", "x"), fileerr::nofolder},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.got.why, c.want) << c.what;
    EXPECT_EQ(cases[0].got.sys, ERROR_ACCESS_DENIED);
    EXPECT_EQ(read(p), "old");
    EXPECT_EQ(count(), 1);
}

TEST_F(WinFiles, CLibraryCallsTakeUtf8Names)
{
    std::string p = dir + "\\导出 声音.wav";
    EXPECT_TRUE(pathmissing(p));
    EXPECT_TRUE(pathmissing(dir + "\\没有\\x.pvx"));
    EXPECT_FALSE(pathmissing(dir));
    FILE* f = utf8fopen(p, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("RIFF", f);
    std::fclose(f);
    EXPECT_FALSE(pathmissing(p));
    EXPECT_EQ(read(p), "RIFF");
    EXPECT_EQ(utf8remove(p), 0);
    EXPECT_EQ(count(), 0);
}

TEST_F(WinFiles, ReadingTellsWhatIsWrong)
{
    std::string bytes, err;
    EXPECT_FALSE(readwhole(dir + "\\没有.pvx", bytes, &err));
    EXPECT_EQ(err, "No such file or directory");
    EXPECT_FALSE(readwhole(dir, bytes, &err));
    EXPECT_EQ(err, "not a regular file");
    ASSERT_TRUE(writewhole(dir + "\\big", std::string(100, 'x')));
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

TEST_F(WinFiles, RecoveryGoesBesideTheScoreElseToTheWorkingFolder)
{
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(widen(dir).c_str()));
    const std::string own = "pellavine.42.save";
    EXPECT_EQ(writerecovery("w1", dir + "\\曲.pvx", 42), dir + "\\曲.pvx.save");
    EXPECT_EQ(writerecovery("w2", dir + "\\没有\\曲.pvx", 42), own);
    EXPECT_EQ(writerecovery("w3", "", 42), own + ".1");
    EXPECT_EQ(read(own + ".1"), "w3");
    SetCurrentDirectoryW(old);
}

TEST_F(WinFiles, RequestReplacesALinkAndNeverWritesThroughIt)
{
    std::string victim = dir + "\\victim.txt", req = dir + "\\beepset.tmp";
    ASSERT_TRUE(writewhole(victim, "someone's file"));
    if (!CreateSymbolicLinkW(widen(req).c_str(), widen(victim).c_str(), 0x2 /* unprivileged */))
        GTEST_SKIP() << "no symbolic links here (error " << GetLastError() << ")";
    ASSERT_TRUE(writeplain(req, "request"));
    EXPECT_EQ(read(victim), "someone's file");
    EXPECT_EQ(read(req), "request");
    EXPECT_FALSE(GetFileAttributesW(widen(req).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(count(), 2);
}

TEST_F(WinFiles, StopEndsABlockedWriteAndAStopBeforeTheWriteDoesNot)
{
    // A pipe nobody reads: the write blocks once the pipe is full.
    int p[2];
    ASSERT_EQ(_pipe(p, 4096, _O_BINARY), 0);
    iores w;
    std::thread writer([&] { w = writefd(p[1], std::string(1 << 20, 'x')); });
    Sleep(300);
    fileiostop(); // as the console's close handler does
    writer.join();
    EXPECT_EQ(w.why, fileerr::stopped);
    _close(p[0]);
    _close(p[1]);

    // The recovery file is written after the stop that asked for it.
    EXPECT_EQ(writenew(dir + "\\rescue", "work"), dir + "\\rescue");
    EXPECT_TRUE(writewhole(dir + "\\saved", "work"));
    EXPECT_EQ(read(dir + "\\rescue"), "work");
}

} // namespace
