// SPDX-License-Identifier: MIT
// pvsmoke DIR PROGRAM [ARGS...]: runs the editor (the Linux binary, or the
// Windows one under wine) in a pseudo-terminal of 108 x 27 inside DIR with the
// score name "smoke.pvx", waits for the first frame, types a few staff keys,
// saves with Ctrl+S and leaves through the menu (Tab, then 退出). Writes the
// first frame's text to DIR/frame.txt; the score is DIR/smoke.pvx. Exit status
// 0 when every step was seen, 1 with the step and the screen otherwise.
// With --blind first, the screen is not looked at (for virtual-terminal output
// forced under wine, which passes it through with a wrong idea of the
// cursor): fixed waits instead, and
// only the saved score and the exit status are checked. With --ctrlc first,
// Ctrl+C is the way out instead: with a note unsaved it asks (cancelled
// here), and once the score is saved it ends the program with status 0.
// With --beeps first, 'b' is pressed ten times and the tone players started
// meanwhile are counted (processes whose command line names pellavine-beep
// in the program's folder, in its Linux or its wine form): exit status 0
// when exactly one served all ten and still runs (run it with a sound device,
// or PELLAVINE_AUDIO=null under wine).
#include "../e2e/vt.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <dirent.h>
#include <set>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using clk = std::chrono::steady_clock;
constexpr int W = 108, H = 27;

vt term(W, H);
bool blind = false;
bool ctrlc = false;
bool beeps = false;
int master = -1;
pid_t pid = -1;
int status = -1;

std::string screen()
{
    std::string s;
    for (int y = 0; y < H; y++)
        s += term.row(y) + "\n";
    return s;
}

void pump(int ms)
{
    pollfd pf{master, POLLIN, 0};
    if (poll(&pf, 1, ms) > 0) {
        char buf[8192];
        ssize_t n = read(master, buf, sizeof buf);
        if (n > 0)
            term.feed(std::string(buf, static_cast<size_t>(n)));
        else
            usleep(ms * 1000);
    }
    int st = 0;
    if (status < 0 && waitpid(pid, &st, WNOHANG) == pid)
        status = st;
}

void settle()
{
    auto end = clk::now() + std::chrono::milliseconds(700);
    while (clk::now() < end)
        pump(50);
}

bool until(const char* step, const std::function<bool()>& cond, int ms, bool onscreen = true)
{
    if (blind && onscreen) {
        settle();
        return true;
    }
    auto end = clk::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (clk::now() >= end) {
            std::fprintf(stderr, "pvsmoke: not seen: %s\n%s", step, screen().c_str());
            return false;
        }
        pump(50);
    }
    return true;
}




void send(const std::string& s)
{
    ssize_t n = write(master, s.data(), s.size());
    (void)n;
    settle();
}

bool exists(const std::string& p)
{
    struct stat st;
    return stat(p.c_str(), &st) == 0 && st.st_size > 0;
}

// The tone players of the program in `dir` that run now, added to `seen`.
void players(const std::string& dir, std::set<int>& seen)
{
    std::string win = "Z:" + dir;
    for (char& c : win)
        if (c == '/')
            c = '\\';
    DIR* d = opendir("/proc");
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        int p = std::atoi(e->d_name);
        if (p <= 0)
            continue;
        std::ifstream f("/proc/" + std::string(e->d_name) + "/cmdline");
        std::string cmd((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        for (char& c : cmd)
            if (c == '\0')
                c = ' ';
        bool ours = cmd.find(dir + "/pellavine-beep") != std::string::npos ||
                    cmd.find(win + "\\pellavine-beep") != std::string::npos;
        if (ours && cmd.find("pvsmoke") == std::string::npos)
            seen.insert(p);
    }
    closedir(d);
}

// Presses 'b' ten times, counting the players; true when one served them all.
bool tenbeeps(const std::string& program)
{
    std::string dir = program.substr(0, program.find_last_of('/'));
    std::set<int> seen;
    for (int i = 0; i < 10; i++) {
        ssize_t n = write(master, "b", 1);
        (void)n;
        for (int k = 0; k < 6; k++) {
            pump(50);
            players(dir, seen);
        }
    }
    for (int k = 0; k < 10; k++) {
        pump(50);
        players(dir, seen);
    }
    std::set<int> now;
    players(dir, now);
    if (seen.size() != 1 || now != seen) {
        std::fprintf(stderr, "pvsmoke: %zu tone players for ten 'b' presses, %zu still running\n", seen.size(),
                     now.size());
        return false;
    }
    std::puts("pvsmoke: one tone player for ten 'b' presses");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--ctrlc") {
        ctrlc = true;
        argv++;
        argc--;
    }
    if (argc > 1 && std::string(argv[1]) == "--beeps") {
        beeps = true;
        argv++;
        argc--;
    }
    if (argc > 1 && std::string(argv[1]) == "--blind") {
        blind = true;
        argv++;
        argc--;
    }
    if (argc < 3) {
        std::fputs("usage: pvsmoke DIR PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    std::string dir = argv[1];
    winsize ws{};
    ws.ws_col = W;
    ws.ws_row = H;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0)
        return 1;
    term.feed("user@host:~$ pellavine\r\n");
    pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        close(master);
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        setenv("TERM", "xterm-256color", 1);
        std::vector<char*> args(argv + 2, argv + argc);
        args.push_back(const_cast<char*>("smoke.pvx"));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(slave);
    auto firstframe = [] { return term.row(26).rfind("音符: C", 0) == 0; };
    if (blind) {
        // Wine's first output comes when the program has started.
        pump(100);
        for (int i = 0; i < 600 && term.row(0).rfind("user@host", 0) == 0 && term.row(1).find_first_not_of(' ') == std::string::npos; i++)
            pump(100);
        for (int i = 0; i < 40; i++)
            pump(100);
    }
    if (!until("the first frame", firstframe, 120000))
        return 1;
    settle();
    std::ofstream(dir + "/frame.txt") << screen();
    if (beeps) {
        bool one = tenbeeps(argv[argc - 1]);
        send("\x03"); // nothing unsaved: Ctrl+C ends it
        if (!until("the program ended by Ctrl+C", [] { return status >= 0; }, 30000, false))
            return 1;
        return one ? 0 : 1;
    }
    if (ctrlc) {
        auto shows = [](const char* text) { return [text] { return screen().find(text) != std::string::npos; }; };
        send(" ");
        send("\x03");
        if (!until("Ctrl+C asks about the unsaved note", shows("文件尚未保存"), 10000))
            return 1;
        send("\r"); // 取消
        if (!until("back on the staff", shows("修改音符长度"), 10000))
            return 1;
        send("\x13");
        if (!until("the score saved", [&] { return exists(dir + "/smoke.pvx"); }, 10000, false))
            return 1;
        send("\x03");
        if (!until("the program ended by Ctrl+C", [] { return status >= 0; }, 30000, false))
            return 1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "pvsmoke: exit status %d after Ctrl+C\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            return 1;
        }
        std::puts("pvsmoke: Ctrl+C asked with a note unsaved, and ended the saved score with status 0");
        return 0;
    }
    for (const char* k : {" ", "d", " ", " ", "w", " ", "d", "d", " "})
        send(k);
    if (!until("a note entered", [] { return screen().find("修改音符长度") != std::string::npos; }, 10000))
        return 1;
    send("\x13");
    if (!until("the score saved", [&] { return exists(dir + "/smoke.pvx"); }, 10000, false))
        return 1;
    send("\t");
    send("s");
    if (!until("the exit item chosen in the menu", [] { return screen().find("退出") != std::string::npos; }, 10000))
        return 1;
    send("\r");
    if (!until("the program ended", [] { return status >= 0; }, 30000, false))
        return 1;
    settle();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "pvsmoke: exit status %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return 1;
    }
    if (!blind && term.row(0).rfind("user@host:~$ pellavine", 0) != 0) {
        std::fprintf(stderr, "pvsmoke: the original screen did not come back\n%s", screen().c_str());
        return 1;
    }
    std::puts(blind ? "pvsmoke: staff keys, Ctrl+S and exit through the menu done (screen not checked)"
                    : "pvsmoke: first frame, staff keys, Ctrl+S and exit through the menu seen");
    return 0;
}
