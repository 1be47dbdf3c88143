// SPDX-License-Identifier: MIT
// Starting players on Windows: inside the editor's job object, with the
// arguments passed whole (and read back whole in UTF-8), at most eight, and
// ended by stopplayers.
#include "platform/proc.h"
#include "tone/players.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// This test program doubles as the child: PV_CHILD=sleep waits, PV_CHILD=args
// writes its arguments, one a line, and its instrument to the file PV_OUT.
const bool child = [] {
    const char* what = std::getenv("PV_CHILD");
    if (!what)
        return false;
    if (std::string(what) == "args") {
        // As main sees them: the C runtime's argv in the ANSI code page,
        // made UTF-8 again.
        std::vector<std::string> args = utf8args(__argc, __argv);
        std::ofstream f(std::getenv("PV_OUT"), std::ios::binary);
        for (size_t i = 1; i < args.size(); i++)
            f << args[i] << "\n";
        if (const char* v = std::getenv("PELLAVINE_INSTRUMENT"))
            f << "instrument " << v << "\n";
        f << "job " << [] { BOOL in = FALSE; IsProcessInJob(GetCurrentProcess(), nullptr, &in); return in; }() << "\n";
    } else {
        Sleep(30000);
    }
    ExitProcess(0);
}();

std::string self()
{
    wchar_t buf[MAX_PATH];
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return narrow(buf);
}

TEST(WinProc, PlayersRunInTheJobAndStop)
{
    playersreset();
    setplayerpath(self());
    SetEnvironmentVariableW(L"PV_CHILD", L"sleep");
    startplayer();
    startplayer();
    SetEnvironmentVariableW(L"PV_CHILD", nullptr);
    EXPECT_EQ(liveplayers(), 2);
    stopplayers();
    EXPECT_EQ(liveplayers(), 0);
    setplayerpath("C:\\没有\\pellavine-beep.exe");
    startplayer();
    EXPECT_EQ(liveplayers(), 0);
    playersreset();
}

TEST(WinProc, AtMostEightPlayersRun)
{
    playersreset();
    setplayerpath(self());
    SetEnvironmentVariableW(L"PV_CHILD", L"sleep");
    for (int i = 0; i < MAXPLAYERS + 2; i++)
        startplayer();
    SetEnvironmentVariableW(L"PV_CHILD", nullptr);
    EXPECT_EQ(liveplayers(), MAXPLAYERS);
    stopplayers();
    EXPECT_EQ(liveplayers(), 0);
    playersreset();
}

// Reads and removes the file a child wrote.
std::string takeout(const std::string& out)
{
    std::ifstream f(widen(out).c_str(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    f.close();
    DeleteFileW(widen(out).c_str());
    return ss.str();
}

std::string outpath()
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    return narrow(tmp) + "pvargs" + std::to_string(GetCurrentProcessId()) + ".txt";
}

// The resident player (the real one, playing to no device) runs in the job,
// takes wakes and stops without blocking the editor or ending, and ends once
// the editor closes its end of the pipe.
TEST(WinProc, ResidentPlayerEndsWhenThePipeCloses)
{
    playersreset();
    SetEnvironmentVariableW(L"PELLAVINE_AUDIO", L"null");
    SetEnvironmentVariableW(L"PELLAVINE_INSTRUMENT", L"tone");
    int pid = startresident();
    SetEnvironmentVariableW(L"PELLAVINE_AUDIO", nullptr);
    SetEnvironmentVariableW(L"PELLAVINE_INSTRUMENT", nullptr);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(liveplayers(), 1);
    for (int i = 0; i < 10000; i++) // far more than the pipe holds: never blocks
        ASSERT_TRUE(tellresident("p"));
    for (int i = 0; i < 50 && !tellresident("s"); i++) // once the player has caught up
        Sleep(20);
    EXPECT_TRUE(tellresident("s"));
    Sleep(100);
    EXPECT_EQ(liveplayers(), 1);
    stopresident();
    for (int i = 0; i < 1000 && liveplayers() > 0; i++)
        Sleep(10);
    EXPECT_EQ(liveplayers(), 0);
    EXPECT_FALSE(tellresident("p"));
    playersreset();
}

// No resident player (its program is missing): the editor falls back to a
// player per request, and every player sees the environment set for players.
TEST(WinProc, PlayersPerRequestGetThePlayerEnvironment)
{
    playersreset();
    setplayerpath("Z:\\nowhere\\pellavine-beep.exe");
    EXPECT_LT(startresident(), 0);
    EXPECT_FALSE(tellresident("p"));
    stopresident();
    setplayerpath(self());
    std::string out = outpath();
    SetEnvironmentVariableW(L"PV_CHILD", L"args");
    SetEnvironmentVariableW(L"PV_OUT", widen(out).c_str());
    setplayerenv("PELLAVINE_INSTRUMENT", "violin");
    startplayer();
    SetEnvironmentVariableW(L"PV_CHILD", nullptr);
    SetEnvironmentVariableW(L"PELLAVINE_INSTRUMENT", nullptr);
    for (int i = 0; i < 2000 && liveplayers() > 0; i++)
        Sleep(10);
    EXPECT_EQ(takeout(out), "instrument violin\njob 1\n");
    playersreset();
}

TEST(WinProc, ArgumentsArriveWhole)
{
    playersreset();
    std::string out = outpath();
    SetEnvironmentVariableW(L"PV_CHILD", L"args");
    SetEnvironmentVariableW(L"PV_OUT", widen(out).c_str());
    int pid = spawndetached({self(), "plain", "with space", "quote\"inside", "trailing\\", "乐谱 文件.pvx", ""});
    SetEnvironmentVariableW(L"PV_CHILD", nullptr);
    ASSERT_GT(pid, 0);
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (h) {
        WaitForSingleObject(h, 20000);
        CloseHandle(h);
    }
    EXPECT_EQ(takeout(out), "plain\nwith space\nquote\"inside\ntrailing\\\n乐谱 文件.pvx\n\njob 0\n");
    playersreset();
}

} // namespace
