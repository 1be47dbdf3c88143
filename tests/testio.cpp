// SPDX-License-Identifier: MIT
#include "testio.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

scriptio tio;
seditor te;

void edreset() { te = seditor{}; }

// Marks in the key queue around the keys of a line (never read as keys).
constexpr int LINEBEGIN = -1000, LINEEND = -1001;

// Takes the marks at the front of the queue.
static void tmarks()
{
    while (!tio.keys.empty() && (tio.keys.front() == LINEBEGIN || tio.keys.front() == LINEEND)) {
        tio.inline_ = tio.keys.front() == LINEBEGIN;
        tio.keys.pop_front();
        if (tio.inline_) {
            if (tio.online)
                tio.online();
            tio.linesread++;
        }
    }
}

// A scripted code as the event the platform would deliver: a control or
// named key, a mouse report queued with tiomouse, or one byte of text.
static sevent tevent(int k)
{
    if (k == KEY_END)
        return keyevent(KEY_END);
    if (k <= MOUSEMARK && static_cast<size_t>(MOUSEMARK - k) < tio.mice.size()) {
        sevent e;
        e.kind = evkind::mouse;
        e.mouse = tio.mice[static_cast<size_t>(MOUSEMARK - k)];
        return e;
    }
    return codeevent(k);
}

static sevent tkey()
{
    tmarks();
    if (!tio.inline_) {
        if (tio.onkey)
            tio.onkey(); // it may queue more keys
        tio.keysread++;
        tmarks();
    }
    if (tio.keys.empty())
        return keyevent(KEY_END);
    int k = tio.keys.front();
    tio.keys.pop_front();
    return tevent(k);
}

static void tsleep(int ms)
{
    if (tio.onsleep)
        tio.onsleep(ms);
    tio.slept.push_back(ms);
    tio.nowms += ms;
}

static stimems tnow()
{
    stimems t;
    t.s = tio.nowms / 1000;
    t.ms = static_cast<short>(tio.nowms % 1000);
    return t;
}

void tioreset(int64_t startms)
{
    tio = scriptio{};
    tio.nowms = startms;
    scr.io = conio{};
    scr.io.show = nullptr;
    scr.io.event = tkey;
    scr.io.sleep = tsleep;
    scr.io.sleepesc = [](int ms) {
        // An Escape typed meanwhile is taken out of the keys and ends the sleep.
        // So does a mouse press.
        for (auto i = tio.keys.begin(); i != tio.keys.end(); ++i)
            if (sevent e = tevent(*i); evkey(e) == KEY_ESC || (e.kind == evkind::mouse && e.mouse.action == maction::press)) {
                tio.keys.erase(i);
                tio.escapes++;
                tsleep(0);
                return true;
            }
        tsleep(ms);
        return false;
    };
    scr.io.keywithin = [](int ms) {
        if (tio.keys.empty() && tio.waitkeys > 0) {
            tio.waitkeys--;
            tsleep(ms);
            return KEY_NOTYET;
        }
        return evkey(tkey());
    };
    scr.io.now = tnow;
    cls();
}

void tiokeys(std::initializer_list<int> codes)
{
    for (int c : codes)
        tio.keys.push_back(c);
}

void tiomouse(mbutton b, maction a, int x, int y, unsigned mods)
{
    tio.mice.push_back(smouse{b, a, x, y, mods});
    tio.keys.push_back(MOUSEMARK - static_cast<int>(tio.mice.size() - 1));
}

void tioclick(int x, int y)
{
    tiomouse(mbutton::left, maction::press, x, y);
    tiomouse(mbutton::left, maction::release, x, y);
}

void tiotype(std::string_view bytes)
{
    for (char c : bytes)
        tio.keys.push_back(static_cast<unsigned char>(c));
}

void tioline(std::string_view line)
{
    tio.keys.push_back(LINEBEGIN);
    tiotype(line);
    tio.keys.push_back(13);
    tio.keys.push_back(LINEEND);
}

std::vector<Cell> tiocells() { return scr.cells; }

bool tiosame(const std::vector<Cell>& a, const std::vector<Cell>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].ch != b[i].ch || a[i].attr != b[i].attr || a[i].part != b[i].part)
            return false;
    return true;
}

fakeopener::fakeopener()
{
    char tmpl[] = "/tmp/pvopener.XXXXXX";
    if (mkdtemp(tmpl))
        dir = tmpl;
    for (const char* name : {"/xdg-open", "/open"}) {
        std::ofstream(dir + name) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"${0%/*}/opened\"\n";
        chmod((dir + name).c_str(), 0755);
    }
    const char* p = std::getenv("PATH");
    oldpath = p ? p : "";
    setenv("PATH", dir.c_str(), 1);
}

fakeopener::~fakeopener()
{
    setenv("PATH", oldpath.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::vector<std::string> fakeopener::opened(size_t n)
{
    std::vector<std::string> out;
    for (int i = 0; i < 500; i++) {
        out.clear();
        std::ifstream f(dir + "/opened");
        for (std::string l; std::getline(f, l);)
            out.push_back(l);
        if (out.size() >= n)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
}

// Every test runs in a fresh working folder of its own process, so that what
// the program writes there ("beepset.tmp", recovery files of a score left
// unsaved when the scripted input ends) never lands in the source or build
// tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {
struct tmpcwd : ::testing::Environment {
    std::filesystem::path old, dir;
    void SetUp() override
    {
        old = std::filesystem::current_path();
        std::string t = (std::filesystem::temp_directory_path() / "pvtests.XXXXXX").string();
        if (mkdtemp(t.data())) {
            dir = t;
            std::filesystem::current_path(dir);
        }
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::current_path(old, ec);
        if (!dir.empty())
            std::filesystem::remove_all(dir, ec);
    }
};
[[maybe_unused]] auto* registered = ::testing::AddGlobalTestEnvironment(new tmpcwd);
} // namespace
