// SPDX-License-Identifier: MIT
// The mouse in a real terminal: libvterm makes the SGR reports the editor
// asked for; the screen and the saved score show what they did, and after
// every way out the terminal reports the mouse to nobody.
#include "files/files.h"
#include "pty.h"
#include "score/ring.h"
#include "vt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// After the program is gone the terminal sends no report for a press.
void expectmouseoff(session& s)
{
    EXPECT_EQ(s.term.mousemode, VTERM_PROP_MOUSE_NONE) << "the terminal still reports the mouse";
    EXPECT_EQ(s.term.click(10, 10), "");
}

} // namespace

TEST(Mouse, ClicksEditTheStaffAndTheScoreSavesThem)
{
    session s(SCRW, SCRH, "m.pvx");
    const std::string path = s.dir + "/m.pvx";
    vt& t = s.term;
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.settle();
    // Row 17 is C3 (staff row 55). A click moves the cursor; a click on the
    // cursor's own cell is Space.
    s.send(t.click(30, 17));
    ASSERT_TRUE(s.until([&] { return t.ch(30, 17) == U'+'; })) << s.screen();
    s.send(t.click(30, 17));
    ASSERT_TRUE(s.until([&] { return t.ch(30, 17) == U'<'; })) << s.screen();
    s.send(t.click(40, 17) + t.click(40, 17));
    ASSERT_TRUE(s.until([&] { return t.ch(40, 17) == U'<' && t.ch(30, 17) == U'*'; })) << s.screen();
    // A right press removes the note under it; the ruler moves the cursor.
    s.send(t.click(30, 17, 3));
    ASSERT_TRUE(s.until([&] { return t.ch(30, 17) != U'*'; })) << s.screen();
    s.send(t.click(60, 1));
    ASSERT_TRUE(s.until([&] { return t.ch(60, 17) == U'+'; })) << s.screen();
    // Malformed and overlong reports: nothing drawn, nothing typed.
    s.settle();
    const std::string before = s.screen();
    s.send("\x1b[<0;1M\x1b[<0;;5M\x1b[<999;1;1M\x1b[<0;5;5X\x1b[<" + std::string(400, '1') + ";1;1M\x1b[<64;3;3m");
    s.settle();
    EXPECT_EQ(s.screen(), before);
    // A press beyond the window (column 300) changes nothing either.
    s.send("\x1b[<0;300;10M\x1b[<0;300;10m");
    s.settle();
    EXPECT_EQ(s.screen(), before);

    s.send("\x13");
    ASSERT_TRUE(s.until([&] { return access(path.c_str(), F_OK) == 0; })) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.finish()) << s.screen();
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    expectmouseoff(s);

    sdoc doc;
    ASSERT_EQ(openscore(doc, path).res, fileres::done);
    doc.music.locate(34);
    EXPECT_EQ(doc.music.back().start, 34);
    EXPECT_EQ(doc.music.back().leng, 1);
    EXPECT_EQ(noterow(doc.music.back()), 55);
    doc.music.locate(33);
    EXPECT_EQ(doc.music.back().leng, 0) << "the first note was removed";
}

TEST(Mouse, OffAfterEveryWayOut)
{
    struct {
        const char* what;
        int sig; // 0: Ctrl+C
    } cases[] = {{"Ctrl+C", 0}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGSEGV", SIGSEGV}};
    for (const auto& c : cases) {
        session s(SCRW, SCRH);
        ASSERT_TRUE(s.until([&] { return firstframe(s); })) << c.what;
        EXPECT_EQ(s.term.mousemode, VTERM_PROP_MOUSE_DRAG) << c.what << ": presses and drags reported while it runs";
        EXPECT_EQ(s.term.click(10, 10).rfind("\x1b[<0;11;11M", 0), 0u) << c.what << ": in SGR form";
        if (c.sig)
            kill(s.pid, c.sig);
        else
            s.send("\x03");
        ASSERT_TRUE(s.finish()) << c.what;
        expectmouseoff(s);
    }
    // The small-window notice: left with Ctrl+C.
    session s(80, 24);
    ASSERT_TRUE(s.until([&] { return s.term.row(0).find("终端窗口太小") != std::string::npos; }));
    s.send("\x03");
    ASSERT_TRUE(s.finish());
    expectmouseoff(s);
}

TEST(Mouse, NoMouseLeavesItToTheTerminal)
{
    {
        session s(SCRW, SCRH, "--no-mouse");
        ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
        EXPECT_EQ(s.term.click(10, 10), "");
        s.send("\x03");
        ASSERT_TRUE(s.finish());
    }
    setenv("PELLAVINE_MOUSE", "0", 1);
    session s(SCRW, SCRH);
    unsetenv("PELLAVINE_MOUSE");
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    EXPECT_EQ(s.term.click(10, 10), "");
    s.send("\x03");
    ASSERT_TRUE(s.finish());
}
