// SPDX-License-Identifier: MIT
// The editor itself in a pseudo-terminal, seen through libvterm: the first
// frame, one edit, the ways out, and the terminal given back.
#include "console/console.h"
#include "pty.h"
#include "vt.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

void expectrestored(session& s)
{
    // Back on the original screen, colours reset, cursor shown.
    EXPECT_EQ(s.term.row(0).rfind("user@host:~$ pellavine", 0), 0u) << s.screen();
    EXPECT_EQ(s.term.penfg(), -1);
    EXPECT_EQ(s.term.penbg(), -1);
    size_t shown = s.out.rfind("\x1b[?25h"), left = s.out.rfind("\x1b[?1049l");
    EXPECT_NE(shown, std::string::npos);
    EXPECT_NE(left, std::string::npos);
    // And the terminal modes as they were.
    termios after{};
    ASSERT_EQ(tcgetattr(s.slave, &after), 0);
    EXPECT_EQ(after.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), s.before.c_lflag & (ECHO | ICANON | ISIG | IEXTEN));
    EXPECT_EQ(after.c_iflag & (ICRNL | IXON), s.before.c_iflag & (ICRNL | IXON));
    EXPECT_EQ(after.c_oflag & OPOST, s.before.c_oflag & OPOST);
}

} // namespace

TEST(Editor, FirstFrameOneEditAndCtrlC)
{
    session s(SCRW, SCRH);
    ASSERT_GT(s.pid, 0);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.settle();
    size_t first = s.since();
    vt& t = s.term;
    EXPECT_EQ(t.row(1, 6, 15), "|00:00:00");
    EXPECT_EQ(t.row(17, 0, 6), "   C3|");
    EXPECT_EQ(t.ch(4, 17), U'3');
    EXPECT_EQ(t.bg(4, 17), consoleindex(15)); // black on white
    EXPECT_EQ(t.fg(4, 17), consoleindex(0));
    EXPECT_EQ(t.row(2, 106), "↑ ");
    EXPECT_EQ(t.row(24, 106), "↓ ");

    s.send(" ");
    ASSERT_TRUE(s.until([&] { return t.ch(6, 17) == U'<' && t.row(26, 94).rfind("  修改音符长度", 0) == 0; }))
        << s.screen();
    s.settle();
    size_t edit = s.since();

    // The score has changed: Ctrl+C asks first; Tab, Enter chooses 放弃.
    s.send("\x03");
    ASSERT_TRUE(s.until([&] { return s.screen().find("文件尚未保存，是否继续？") != std::string::npos; }))
        << s.screen();
    s.send("\t");
    s.send("\r");
    ASSERT_TRUE(s.finish()) << s.screen();
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    expectrestored(s);
    std::printf("[ bytes    ] editor first frame %zu, Space edit %zu\n", first, edit);
}

// The terminal modes of key-by-key input.
static bool rawmodes(session& s)
{
    termios t{};
    return tcgetattr(s.slave, &t) == 0 && !(t.c_lflag & (ECHO | ICANON | ISIG)) && !(t.c_iflag & (IXON | ICRNL));
}

// The screen outside a field of row y from column x0 to x1.
static std::vector<std::string> outside(session& s, int y, int x0, int x1)
{
    std::vector<std::string> v;
    for (int r = 0; r < s.term.h; r++)
        v.push_back(r == y ? s.term.row(r, 0, x0) + "|" + s.term.row(r, x1) : s.term.row(r));
    return v;
}

TEST(Editor, CtrlSSavesThroughLineInput)
{
    // Ctrl+S arrives (no flow control), Ctrl+\\ does not kill (no signal
    // keys), and the save dialog's fields are edited by the editor itself,
    // the terminal staying in raw mode.
    session s(SCRW, SCRH);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.send("\x1c");
    s.send("\x13");
    ASSERT_TRUE(s.until([&] { return s.screen().find("保存文件") != std::string::npos; })) << s.screen();

    // Enter opens the folder field; the folder typed right behind it is kept
    // and read as the line.
    s.send("\r" + s.dir + "\r");
    ASSERT_TRUE(s.until([&] { return s.screen().find(s.dir) != std::string::npos; })) << s.screen();

    // The name field (row 14, from column 21): Backspace erases a whole
    // character, Ctrl+C is dropped, Enter ends the line.
    s.send("\t\r");
    ASSERT_TRUE(s.until([&] { return s.term.bg(21, 14) == consoleindex(0); })) << s.screen();
    s.send("歌x\x7f\x03曲");
    ASSERT_TRUE(s.until([&] { return s.term.row(14, 21, 27) == "歌曲  "; })) << s.screen();
    EXPECT_TRUE(rawmodes(s));
    s.send("\r");

    s.send("\t\t\r"); // 取消, 确定, press
    std::string file = s.dir + "/歌曲.pvx";
    ASSERT_TRUE(s.until([&] { return access(file.c_str(), F_OK) == 0; })) << s.screen();
    s.settle();
    EXPECT_TRUE(rawmodes(s));
    // The editor repaints everything once the box has closed: nothing of the
    // box or of the typed text is left over the staff.
    EXPECT_TRUE(firstframe(s)) << s.screen();
    std::string all = s.screen();
    EXPECT_EQ(all.find("保存文件"), std::string::npos) << all;
    EXPECT_EQ(all.find("歌"), std::string::npos) << all;
    EXPECT_EQ(all.find("^C"), std::string::npos) << all;

    s.send("\x03"); // saved: ends at once
    ASSERT_TRUE(s.finish()) << s.screen();
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    expectrestored(s);
}

TEST(Editor, APasteStaysInsideItsField)
{
    session s(SCRW, SCRH);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.send("\x13");
    ASSERT_TRUE(s.until([&] { return s.screen().find("保存文件") != std::string::npos; })) << s.screen();
    s.settle();
    std::vector<std::string> before = outside(s, 12, 21, 87);

    // 1,500 characters in one paste into the folder field (row 12, columns
    // 21 to 86), with C1 controls, escape sequences and control bytes among
    // them. The screen never scrolls and nothing changes outside the field,
    // which shows the tail of the text.
    std::string paste = "\xC2\x9B" "3;5r\x1b[2J\x1b]0;t\x07\xC2\x85\x01";
    for (int i = 0; i < 1490; i++)
        paste += i % 10 == 9 ? "歌" : std::string(1, static_cast<char>('a' + i % 10));
    paste += "TAIL";
    s.send("\r");
    s.send(paste);
    ASSERT_TRUE(s.until([&] { return s.term.row(12, 21, 87).find("TAIL") != std::string::npos; })) << s.screen();
    s.settle();
    EXPECT_EQ(outside(s, 12, 21, 87), before) << s.screen();
    EXPECT_EQ(s.term.row(12, 82, 87), "TAIL ") << s.screen();
    EXPECT_EQ(s.term.bg(87, 12), consoleindex(8)) << "the box face right of the field";
    std::string field = s.term.row(12, 21, 87);
    EXPECT_EQ(field.find("\xEF\xBF\xBD"), std::string::npos) << field; // no control made it in
    EXPECT_TRUE(rawmodes(s));

    // Esc clears the line; what is typed next is the line.
    s.send("\x1b");
    ASSERT_TRUE(s.until([&] { return s.term.row(12, 21, 87) == std::string(66, ' '); })) << s.screen();
    s.send(s.dir + "\r\t\rname\x1b[D\x1b[D\x1b[3~\r\t\t\r"); // Left, Left, Delete: "nae"
    std::string file = s.dir + "/nae.pvx";
    ASSERT_TRUE(s.until([&] { return access(file.c_str(), F_OK) == 0; })) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.finish()) << s.screen();
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    expectrestored(s);
}

TEST(Editor, LargerTerminalKeepsTheLayout)
{
    session s(SCRW + 20, SCRH + 5);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    EXPECT_EQ(s.term.row(17, 0, 6), "   C3|");
    EXPECT_EQ(s.term.bg(SCRW + 5, 10), 0); // outside the editor: black
    s.send("\x03");
    ASSERT_TRUE(s.finish());
    EXPECT_TRUE(WIFEXITED(s.status));
}

TEST(Editor, SmallWindowShowsANoticeUntilItIsLargeEnough)
{
    session s(80, 24);
    ASSERT_GT(s.pid, 0);
    ASSERT_TRUE(s.until([&] { return s.term.row(0).find("终端窗口太小") != std::string::npos; })) << s.screen();
    s.send(" "); // discarded: nobody could see where it would go
    s.settle();
    EXPECT_FALSE(firstframe(s));

    winsize ws{};
    ws.ws_col = SCRW;
    ws.ws_row = SCRH;
    vterm_set_size(s.term.term, SCRH, SCRW);
    ASSERT_EQ(ioctl(s.master, TIOCSWINSZ, &ws), 0); // the kernel sends SIGWINCH
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.settle();
    EXPECT_EQ(s.term.row(17, 0, 6), "   C3|");
    EXPECT_NE(s.term.ch(6, 17), U'<'); // the Space typed meanwhile did nothing
    EXPECT_EQ(s.term.row(0).find("终端窗口太小"), std::string::npos);

    // Shrinking again brings the notice back; growing repaints everything.
    ws.ws_col = 100;
    vterm_set_size(s.term.term, SCRH, 100);
    ioctl(s.master, TIOCSWINSZ, &ws);
    ASSERT_TRUE(s.until([&] { return s.term.row(0).find("终端窗口太小") != std::string::npos; }));
    ws.ws_col = SCRW;
    vterm_set_size(s.term.term, SCRH, SCRW);
    ioctl(s.master, TIOCSWINSZ, &ws);
    ASSERT_TRUE(s.until([&] { return firstframe(s) && s.term.row(17, 0, 6) == "   C3|"; })) << s.screen();

    s.send("\x03");
    ASSERT_TRUE(s.finish());
    EXPECT_TRUE(WIFEXITED(s.status));
    expectrestored(s);
}

TEST(Editor, StopSignalsRestoreTheTerminal)
{
    for (int sig : {SIGTERM, SIGINT, SIGQUIT}) {
        session s(SCRW, SCRH);
        ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
        kill(s.pid, sig);
        ASSERT_TRUE(s.finish()) << "signal " << sig;
        ASSERT_TRUE(WIFEXITED(s.status)) << "signal " << sig;
        EXPECT_EQ(WEXITSTATUS(s.status), 128 + sig);
        expectrestored(s);
    }
}

TEST(Editor, CrashStillGivesTheTerminalBack)
{
    // A sanitizer's crash report would scroll the screen looked at below:
    // under a sanitizer it goes to a file instead.
    const char* was = std::getenv("ASAN_OPTIONS");
    const std::string saved = was ? was : "";
    const std::string report = "/tmp/pellavine-crashtest." + std::to_string(getpid());
    setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "log_path=" + report).c_str(), 1);
    session s(SCRW, SCRH);
    if (was)
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    kill(s.pid, SIGSEGV);
    ASSERT_TRUE(s.finish());
    // Ends as the crash would have ended it (or through a sanitizer's report).
    EXPECT_TRUE((WIFSIGNALED(s.status) && WTERMSIG(s.status) == SIGSEGV) ||
                (WIFEXITED(s.status) && WEXITSTATUS(s.status) != 0));
    expectrestored(s);
    std::remove((report + "." + std::to_string(s.pid)).c_str());
}

TEST(Editor, HangupEndsTheProgram)
{
    session s(SCRW, SCRH);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    close(s.master); // the terminal window is closed
    s.master = -1;
    ASSERT_TRUE(s.exited(5000));
    EXPECT_TRUE(WIFEXITED(s.status)); // ended on its own path, not killed
}

// Runs the editor with one argument (or none), its input from /dev/null and its output
// into pipes; returns the exit status.
int runpiped(const std::string& arg, std::string& out, std::string& err)
{
    int outp[2], errp[2];
    if (pipe(outp) != 0 || pipe(errp) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(outp[1], 1);
        dup2(errp[1], 2);
        if (arg.empty())
            execl(PV_EDITOR, PV_EDITOR, static_cast<char*>(nullptr));
        else
            execl(PV_EDITOR, PV_EDITOR, arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(outp[1]);
    close(errp[1]);
    auto drain = [](int fd, std::string& to) {
        char buf[4096];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0)
            to.append(buf, static_cast<size_t>(n));
        close(fd);
    };
    drain(outp[0], out);
    drain(errp[0], err);
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

TEST(Editor, NeedsATerminal)
{
    std::string out, err;
    EXPECT_EQ(runpiped("", out, err), 1);
    EXPECT_EQ(out, "");
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err; // one line
    EXPECT_EQ(err.find('\x1b'), std::string::npos);
}

TEST(CommandLine, HelpVersionAndAScoreThatCannotBeOpened)
{
    std::string out, err;
    EXPECT_EQ(runpiped("--help", out, err), 0);
    EXPECT_NE(out.find("pellavine"), std::string::npos);
    out.clear();
    EXPECT_EQ(runpiped("--version", out, err), 0);
    EXPECT_EQ(out, "Pellavine " PV_VERSION "\n"); // the project version

    // A file that is not a score: one line on standard error, status 1, and
    // the terminal never touched (nothing on standard output).
    std::string bad = "/tmp/pve2e-bad-" + std::to_string(getpid()) + ".pvx";
    {
        FILE* f = std::fopen(bad.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs("not a score at all", f);
        std::fclose(f);
    }
    out.clear();
    err.clear();
    EXPECT_EQ(runpiped(bad, out, err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find(bad), std::string::npos) << err;
    // In Chinese, with the true cause.
    EXPECT_EQ(err, "pellavine: 无法打开 " + bad + "：不是乐谱文件：文件在文件头中途结束\n");
    unlink(bad.c_str());
    err.clear();
    EXPECT_EQ(runpiped("", out, err), 1);
    EXPECT_EQ(err, "pellavine: 标准输出不是终端\n");
}

TEST(CommandLine, ANewScoreSavesWhereTheArgumentSaysAndOpensAgain)
{
    std::string path;
    {
        session s(SCRW, SCRH, "新歌.pvx");
        path = s.dir + "/新歌.pvx";
        ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
        s.send(" ");
        s.send("\x13"); // Ctrl+S: no dialog, the path is known
        ASSERT_TRUE(s.until([&] { return access(path.c_str(), F_OK) == 0; })) << s.screen();
        s.settle();
        EXPECT_EQ(s.screen().find("保存文件"), std::string::npos);
        s.send("\x03");
        ASSERT_TRUE(s.finish()) << s.screen();
        EXPECT_EQ(WEXITSTATUS(s.status), 0);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 24 + 2 * 21 + 4);
        // Keep the score for the second run.
        std::string keep = "/tmp/pve2e-keep-" + std::to_string(getpid()) + ".pvx";
        ASSERT_EQ(rename(path.c_str(), keep.c_str()), 0);
        path = keep;
    }
    session s(SCRW, SCRH, path);
    ASSERT_TRUE(s.until([&] { return s.screen().find("修改音符长度") != std::string::npos; })) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.finish());
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    unlink(path.c_str());
}

// Writes a score of one C note at step 0, `leng` steps long, with the
// cursor on it.
bool onenote(const std::string& path, int32_t ver, int32_t leng)
{
    int32_t head[6] = {ver, 0, 55, 40, 0, 100};
    int32_t note[4] = {0, leng, 3, 1};
    int32_t sentinel[4] = {3600000, 0, 0, 0};
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(head, 4, 6, f);
    for (int32_t* r : {note, sentinel}) {
        std::fwrite(r, 4, 4, f);
        std::fputc(0, f);
        int32_t ext = 0;
        std::fwrite(&ext, 4, 1, f);
    }
    int32_t end = -1;
    std::fwrite(&end, 4, 1, f);
    return std::fclose(f) == 0;
}

// A score of another version opens from the command line as it does from
// the menu, and "--" lets a name begin with '-'.
TEST(CommandLine, AnotherVersionAndANameAfterDoubleDash)
{
    std::string dir = "/tmp/pve2e-v1-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    std::string path = dir + "/-v1.pvx";
    ASSERT_TRUE(onenote(path, 1, 2)); // version 1, the cursor on the note
    session s(SCRW, SCRH, "--", PV_EDITOR, path);
    ASSERT_TRUE(s.until([&] { return s.screen().find("修改音符长度") != std::string::npos; })) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.finish());
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    unlink(path.c_str());
    rmdir(dir.c_str());
}

// The pellavine-beep processes whose parent is `parent`.
std::vector<pid_t> playersof(pid_t parent)
{
    std::vector<pid_t> v;
    DIR* d = opendir("/proc");
    while (dirent* e = d ? readdir(d) : nullptr) {
        int pid = std::atoi(e->d_name);
        FILE* f = pid > 0 ? std::fopen(("/proc/" + std::string(e->d_name) + "/stat").c_str(), "r") : nullptr;
        if (!f)
            continue;
        char name[64] = {};
        char state = 0;
        int ppid = 0;
        if (std::fscanf(f, "%*d (%63[^)]) %c %d", name, &state, &ppid) == 3 && ppid == parent &&
            std::string(name) == "pellavine-beep")
            v.push_back(pid);
        std::fclose(f);
    }
    if (d)
        closedir(d);
    return v;
}

// The first `n` bytes of sound the disk driver wrote after byte `from` are all silence.
bool silentafter(const std::string& raw, long from)
{
    FILE* f = std::fopen(raw.c_str(), "rb");
    if (!f)
        return false;
    std::fseek(f, from, SEEK_SET);
    int c, n = 0;
    while ((c = std::fgetc(f)) != EOF && c == 0)
        n++;
    std::fclose(f);
    return c == EOF && n > 0;
}

// Esc during playback stops it at once, in the real terminal too: the
// resident player is told to stop, and stays.
TEST(Editor, EscapeStopsPlayback)
{
    std::string path = "/tmp/pve2e-esc-" + std::to_string(getpid()) + ".pvx";
    std::string raw = "/tmp/pve2e-esc-" + std::to_string(getpid()) + ".raw";
    ASSERT_TRUE(onenote(path, 2, 90)); // nine seconds
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("PELLAVINE_INSTRUMENT", "tone", 1);
    session s(SCRW, SCRH, path);
    for (const char* v : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "PELLAVINE_INSTRUMENT"})
        unsetenv(v);
    ASSERT_TRUE(s.until([&] { return s.screen().find("修改音符长度") != std::string::npos; })) << s.screen();
    std::vector<pid_t> before;
    ASSERT_TRUE(s.until([&] { return (before = playersof(s.pid)).size() == 1; }, 2000));
    s.send("\r\t\t\t\t\t\t\t\t\r"); // the play dialog, OK
    ASSERT_TRUE(s.until([&] { return s.screen().find("正在播放") != std::string::npos; })) << s.screen();
    s.until([] { return false; }, 300); // sounding
    s.send("\x1b");
    ASSERT_TRUE(s.until([&] { return s.screen().find("修改音符长度") != std::string::npos; }, 1500))
        << "stopped within moments, not after nine seconds\n" << s.screen();
    s.until([] { return false; }, 300);
    struct stat st{};
    ASSERT_EQ(stat(raw.c_str(), &st), 0);
    long esc = static_cast<long>(st.st_size);
    s.until([] { return false; }, 300);
    EXPECT_EQ(playersof(s.pid), before) << "the same resident player, no new one";
    EXPECT_TRUE(silentafter(raw, esc)) << "the sound stopped too";
    s.send("\x03");
    ASSERT_TRUE(s.finish());
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    unlink(path.c_str());
    unlink(raw.c_str());
}

// Notes by degree, a selection drawn as a highlight, Delete and an undo, in
// the real terminal: each saved, the file growing and shrinking by notes.
TEST(Editor, DigitsSelectionDeleteAndUndoInTheRealTerminal)
{
    session s(SCRW, SCRH, "度数.pvx");
    const std::string path = s.dir + "/度数.pvx";
    auto savedsize = [&](off_t want) {
        unlink(path.c_str());
        s.send("\x13");
        struct stat st{};
        return s.until([&] { return stat(path.c_str(), &st) == 0 && st.st_size == want; });
    };
    const off_t head = 24, note = 21, end = 4;
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    s.send("1231");
    ASSERT_TRUE(savedsize(head + 5 * note + end)) << s.screen();
    s.send("A"); // back to step 0
    s.send("vdddd");
    ASSERT_TRUE(s.until([&] { return s.screen().find("选区:5步 2音") != std::string::npos; })) << s.screen();
    EXPECT_EQ(s.term.bg(6, 10), consoleindex(1)) << "step 0 highlighted";
    EXPECT_NE(s.term.bg(20, 10), consoleindex(1)) << "step 14 not";
    s.send("\x1b[3~"); // Delete
    ASSERT_TRUE(savedsize(head + 3 * note + end)) << s.screen();
    s.send("\x1a"); // Ctrl+Z
    ASSERT_TRUE(savedsize(head + 5 * note + end)) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.finish()) << s.screen();
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
    unlink(path.c_str());
}

namespace {

// A score whose reading drops a note past its end: it opens with unsaved
// changes, so the exit asks first.
std::string mendedscore(const std::string& path)
{
    std::string b;
    auto le = [&](int v) {
        for (int i = 0; i < 4; i++)
            b += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i) & 0xff);
    };
    for (int v : {2, 0, 55, 40, 0, 100})
        le(v);
    for (int v : {3600005, 1, 3, 1}) // beyond the end: dropped
        le(v);
    b += '\0';
    le(0);
    for (int v : {3600000, 0, 0, 0})
        le(v);
    b += '\0';
    le(0);
    le(-1);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

} // namespace

// Ctrl+C leaves the small-window notice: at once for a saved score; with
// unsaved changes the question waits (the notice says so), and a hangup
// then still writes the recovery file, whose name is printed with its
// control characters made visible.
TEST(Editor, CtrlCLeavesTheSmallWindowNotice)
{
    {
        session s(80, 24);
        ASSERT_TRUE(s.until([&] { return s.term.row(0).find("或按 Ctrl+C 退出") != std::string::npos; }))
            << s.screen();
        s.send("\x03");
        ASSERT_TRUE(s.finish()) << s.screen();
        ASSERT_TRUE(WIFEXITED(s.status));
        EXPECT_EQ(WEXITSTATUS(s.status), 0);
    }
    std::string dir = scratchdir();
    std::string score = mendedscore(dir + "/odd\x1b]0;x\x07\xE2\x80\xAEname.pvx");
    session s(80, 24, score);
    ASSERT_TRUE(s.until([&] { return s.term.row(0).find("终端窗口太小") != std::string::npos; })) << s.screen();
    s.send("\x03");
    ASSERT_TRUE(s.until([&] { return s.term.row(1).find("有一个问题等待回答") != std::string::npos; }))
        << s.screen();
    kill(s.pid, SIGHUP);
    ASSERT_TRUE(s.finish()) << s.screen();
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 128 + SIGHUP);
    EXPECT_EQ(access((score + ".save").c_str(), F_OK), 0) << "the recovery file beside the score";
    const std::string said = s.out.substr(s.out.rfind("未保存的修改已存入"));
    EXPECT_NE(said.find("odd\\x1b]0;x\\x07\\u202ename.pvx.save"), std::string::npos) << said;
    EXPECT_EQ(said.find('\x07'), std::string::npos);
    EXPECT_EQ(said.find("\xE2\x80\xAE"), std::string::npos);
}
