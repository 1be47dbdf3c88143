// SPDX-License-Identifier: MIT
#include "platform/term.h"

#include "console/console.h"
#include "platform/fileio.h"
#include "platform/keys.h"
#include "platform/proc.h"
#include "platform/render.h"
#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int infd = 0, outfd = 1;

// Bytes that give the terminal back: mouse reports and bracketed paste off,
// default colours, cursor shown, the original screen. Written from a fatal
// signal handler too, so a constant.
constexpr char restorebytes[] = "\x1b[?1006l\x1b[?1002l\x1b[?1000l\x1b[?2004l\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr char startbytes[] = "\x1b[?1049h\x1b[?25h\x1b[?2004h";
// Button presses, releases and drags reported with SGR coordinates (no
// limit of 223 columns).
constexpr char mousebytes[] = "\x1b[?1000h\x1b[?1002h\x1b[?1006h";

const char* const smallnotice = "终端窗口太小：请放大到至少 108 x 27，或按 Ctrl+C 退出";
// Below it once a Ctrl+C was let through and the program still waits for a
// key: a question (unsaved changes) is open on the screen nobody can see.
const char* const smallasks = "有一个问题等待回答：请放大窗口";

// The terminal as this program holds it. One record for the process: the
// terminal is one, and the exit paths (atexit, the fatal signal handler)
// must reach it without being handed anything.
struct sterminal {
    termios saved;          // the terminal's modes before we started
    termios rawmodes;       // our key-by-key modes
    bool intty = false;     // standard input is the terminal (not a file or pipe)
    bool atexitdone = false;
    struct sigaction oldactions[NSIG];
    bool handled[NSIG] = {};
    Screen screen;
    const Grid* lastgrid = nullptr;
    bool small = false;   // the terminal is smaller than the screen; the notice shows
    bool mouse = false;   // mouse reports asked for
    bool ctrlcgone = false; // a Ctrl+C was let through while the notice showed
    bool askshown = false;  // the notice says since that a question waits
    bool ended = false;   // the input has ended; every further read says so
    std::deque<sevent> ahead; // events read during a sleep, for the reads after it
    keydec dec;
    char inbuf[4096];  // input is read in blocks
    size_t inpos = 0, inlen = 0;
} term;

const int stopsignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
const int fatalsignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

void onsignal(int sig)
{
    int e = errno;
    if (sig == SIGWINCH)
        self.winch = 1;
    else if (sig == SIGTSTP)
        self.tstp = 1;
    else if (sig == SIGCHLD)
        self.chld = 1;
    else {
        if (!self.stopsig)
            self.stopsig = sig;
        fileiostop(); // a file write waiting on a pipe or a slow disk gives up
    }
    if (self.wake[1] >= 0) {
        ssize_t n = write(self.wake[1], "x", 1);
        (void)n;
    }
    errno = e;
}

// A crash: give the terminal back with nothing but async-signal-safe calls,
// then let the signal do what it did before (a core dump, a sanitizer report).
void onfatal(int sig)
{
    if (self.active) {
        self.active = 0;
        ssize_t n = write(outfd, restorebytes, sizeof restorebytes - 1);
        (void)n;
        if (term.intty)
            tcsetattr(infd, TCSANOW, &term.saved);
    }
    struct sigaction old = term.oldactions[sig];
    if (old.sa_handler == SIG_IGN) {
        std::memset(&old, 0, sizeof old);
        old.sa_handler = SIG_DFL;
    }
    sigaction(sig, &old, nullptr);
    raise(sig); // delivered when this handler returns
}

// Without SA_RESTART a blocked read, poll or sleep returns at once.
void install(int sig, void (*fn)(int), int flags = 0)
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = fn;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = flags;
    if (sigaction(sig, &sa, &term.oldactions[sig]) == 0)
        term.handled[sig] = true;
}

// Collects the players that ended since the last look.
void reapifended()
{
    if (!self.chld)
        return;
    self.chld = 0;
    reapchildren();
}

void drainwake()
{
    char b[64];
    while (self.wake[0] >= 0 && read(self.wake[0], b, sizeof b) > 0) {
    }
}

// All of buf in as few writes as the terminal takes (one, normally).
void writeall(const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(outfd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && errno == EAGAIN) {
            pollfd pf{outfd, POLLOUT, 0};
            poll(&pf, 1, 100);
        } else {
            // The terminal is gone; nothing shown is known any more.
            rinvalidate(term.screen);
            return;
        }
    }
}

void writeall(const std::string& s) { writeall(s.data(), s.size()); }

int64_t monoms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits for input or a signal. Returns 1 when input is readable, 0 on
// timeout, -1 when a signal came.
int waitinput(int waitms)
{
    pollfd pf[2] = {{infd, POLLIN, 0}, {self.wake[0], POLLIN, 0}};
    int r = poll(pf, self.wake[0] >= 0 ? 2 : 1, waitms);
    if (r < 0)
        return errno == EINTR ? -1 : 1; // a poll error: let read report it
    if (r > 0 && (pf[1].revents & POLLIN)) {
        drainwake();
        if (!(pf[0].revents & (POLLIN | POLLHUP | POLLERR)))
            return -1;
    }
    return r > 0 ? 1 : 0;
}

// The decoder's byte source: the terminal, through a small buffer.
int termbyte(void*, int waitms)
{
    if (term.inpos < term.inlen)
        return static_cast<unsigned char>(term.inbuf[term.inpos++]);
    if (term.ended || self.stopsig)
        return KB_END;
    int r = waitinput(waitms);
    if (self.stopsig)
        return KB_END;
    if (r <= 0)
        return KB_NONE;
    ssize_t n = read(infd, term.inbuf, sizeof term.inbuf);
    if (n > 0) {
        term.inpos = 1;
        term.inlen = static_cast<size_t>(n);
        return static_cast<unsigned char>(term.inbuf[0]);
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return KB_NONE;
    term.ended = true; // end of file, a hangup or a read error
    return KB_END;
}

int64_t termclock(void*) { return monoms(); }

void shownotice()
{
    std::string s = "\x1b[97;40m\x1b[2J\x1b[H";
    s += smallnotice;
    if (term.ctrlcgone) {
        s += "\r\n";
        s += smallasks;
    }
    writeall(s);
    rinvalidate(term.screen);
}

// Looks at the window size after a change (or at the start).
void checksize()
{
    self.winch = 0;
    winsize ws;
    bool fits = true;
    if (ioctl(outfd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0)
        fits = ws.ws_col >= SCRW && ws.ws_row >= SCRH;
    // Terminals redraw, reflow or clear on a resize: repaint everything.
    rinvalidate(term.screen);
    term.small = !fits;
    if (term.small)
        shownotice();
}

void termshow(const Grid& g)
{
    term.lastgrid = &g;
    if (self.winch)
        checksize();
    if (term.small || !self.active)
        return;
    std::string out;
    rframe(term.screen, g, out);
    if (!out.empty())
        writeall(out);
}

// Handles a size change; while the terminal is too small, shows the notice
// and throws away what is typed until it is large enough, then repaints.
// False when the input ends or a stop signal comes meanwhile.
bool waitlarge()
{
    for (;;) {
        if (self.stopsig || term.ended)
            return false;
        if (term.small && term.ctrlcgone && !term.askshown) {
            term.askshown = true;
            shownotice();
        }
        if (self.winch) {
            checksize();
            if (!term.small && term.lastgrid)
                termshow(*term.lastgrid);
        }
        if (!term.small) {
            term.ctrlcgone = term.askshown = false;
            return true;
        }
        sevent e = keyread(term.dec); // typed while the screen could not be seen: dropped
        if (e.kind == evkind::end)
            return false;
        if (evkey(e) == KEY_CTRLC) { // the way out works here too
            if (!term.ctrlcgone) {
                term.ctrlcgone = true;
                term.ahead.push_back(e);
                return true;
            }
            shownotice(); // asked again: say why nothing happens
        }
    }
}

void writestart()
{
    writeall(startbytes, sizeof startbytes - 1);
    if (term.mouse)
        writeall(mousebytes, sizeof mousebytes - 1);
}

void setmodes(const termios& t)
{
    if (!term.intty)
        return;
    while (tcsetattr(infd, TCSANOW, &t) != 0 && errno == EINTR) {
    }
}

// A SIGTSTP from outside (the Ctrl+Z key itself arrives as code 26): the
// terminal is given back before the process stops, and taken again, with
// the whole screen repainted, when it continues.
void suspendnow()
{
    if (!self.tstp || !self.active)
        return;
    self.tstp = 0;
    writeall(restorebytes, sizeof restorebytes - 1);
    if (term.intty)
        setmodes(term.saved);
    struct sigaction dfl, ours;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGTSTP, &dfl, &ours);
    raise(SIGTSTP); // stops here until SIGCONT
    sigaction(SIGTSTP, &ours, nullptr);
    if (term.intty)
        setmodes(term.rawmodes);
    writestart();
    self.winch = 1; // the size may have changed meanwhile; repaint everything
    if (term.lastgrid)
        termshow(*term.lastgrid);
}

sevent termevent()
{
    if (!term.ahead.empty()) {
        sevent e = std::move(term.ahead.front());
        term.ahead.pop_front();
        return e;
    }
    for (;;) {
        suspendnow();
        reapifended();
        bool resized = self.winch != 0;
        if (!waitlarge())
            return keyevent(KEY_END);
        if (!term.ahead.empty()) { // a Ctrl+C let through the notice
            sevent e = std::move(term.ahead.front());
            term.ahead.pop_front();
            return e;
        }
        if (resized) {
            sevent e;
            e.kind = evkind::resize;
            return e;
        }
        sevent e = keyread(term.dec);
        if (e.kind == evkind::none || term.small)
            continue; // a signal: look at the flags again
        return e;
    }
}

// Decodes the events typed so far into `ahead`, without waiting for more.
// With `esc`, an Escape or a mouse press among them is taken out and ends
// the reading; true then.
bool readahead(bool esc)
{
    do {
        sevent e = keyread(term.dec);
        if (e.kind == evkind::none)
            break;
        if (esc && (evkey(e) == KEY_ESC || (e.kind == evkind::mouse && e.mouse.action == maction::press)))
            return true;
        term.ahead.push_back(e);
        if (e.kind == evkind::end)
            break;
    } while (!term.dec.held.empty() || term.inpos < term.inlen);
    return false;
}

// Sleeps; with `esc` the keys typed meanwhile are read ahead and an Escape
// ends the sleep at once. True when it did.
bool termwait(int ms, bool esc)
{
    int64_t until = monoms() + ms;
    for (;;) {
        suspendnow();
        reapifended();
        if (self.stopsig)
            return false;
        int64_t left = until - monoms();
        if (left <= 0)
            return false;
        if (!esc || term.ended) {
            pollfd pf{self.wake[0], POLLIN, 0};
            int r = poll(&pf, self.wake[0] >= 0 ? 1 : 0, static_cast<int>(left));
            if (r > 0)
                drainwake();
            continue;
        }
        if (waitinput(static_cast<int>(left)) > 0 && readahead(true))
            return true;
    }
}

void termsleep(int ms) { termwait(ms, false); }

// Input already here: decoded, buffered, or readable on the terminal.
bool termwaiting()
{
    if (!term.ahead.empty() || !term.dec.held.empty() || term.inpos < term.inlen)
        return true;
    if (term.ended || term.small || self.winch)
        return false;
    pollfd pf{infd, POLLIN, 0};
    return poll(&pf, 1, 0) > 0 && (pf.revents & POLLIN);
}

// A key typed within ms, or KEY_NOTYET; other events meanwhile are skipped.
int termkeywithin(int ms)
{
    int64_t until = monoms() + ms;
    for (;;) {
        while (term.ahead.empty()) {
            suspendnow();
            reapifended();
            int64_t left = until - monoms();
            if (self.stopsig || term.ended)
                return KEY_END;
            if (left <= 0)
                return KEY_NOTYET;
            if (waitinput(static_cast<int>(left)) > 0)
                readahead(false);
        }
        if (int k = evkey(termevent()); k != KEY_NONE)
            return k;
    }
}

stimems termnow()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return stimems{static_cast<int64_t>(ts.tv_sec), static_cast<short>(ts.tv_nsec / 1000000)};
}

} // namespace

int termsignal() { return self.stopsig; }

void termstop()
{
    if (!self.active)
        return;
    self.active = 0;
    writeall(restorebytes, sizeof restorebytes - 1);
    if (term.intty)
        tcsetattr(infd, TCSANOW, &term.saved);
    for (int s = 1; s < NSIG; s++)
        if (term.handled[s]) {
            sigaction(s, &term.oldactions[s], nullptr);
            term.handled[s] = false;
        }
    for (int& fd : self.wake)
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
}

int termstart(bool mouse)
{
    if (!isatty(outfd)) {
        std::fputs("pellavine: 标准输出不是终端\n", stderr);
        return 1;
    }
    if (self.active)
        return 0;
    self.stopsig = 0;
    self.winch = 0;
    self.chld = 1; // children started before the terminal was taken

    term.ended = false;
    term.small = false;
    term.lastgrid = nullptr;
    term.inpos = term.inlen = 0;
    term.dec = keydec{};
    term.dec.get = termbyte;
    term.dec.clock = termclock;
    term.screen = Screen{};

    term.intty = isatty(infd) && tcgetattr(infd, &term.saved) == 0;
    if (term.intty) {
        term.rawmodes = term.saved;
        // Key by key, exactly as typed:
        term.rawmodes.c_lflag &= ~ECHO;    // nothing typed is shown by the terminal
        term.rawmodes.c_lflag &= ~ECHONL;  // not even newlines
        term.rawmodes.c_lflag &= ~ICANON;  // no line editing: each byte arrives at once
        term.rawmodes.c_lflag &= ~ISIG;    // Ctrl+C, Ctrl+\ and Ctrl+Z arrive as 3, 28, 26
        term.rawmodes.c_lflag &= ~IEXTEN;  // Ctrl+V and Ctrl+O arrive as 22 and 15
        term.rawmodes.c_iflag &= ~IXON;    // no flow control: Ctrl+S and Ctrl+Q arrive as 19 and 17
        term.rawmodes.c_iflag &= ~IXOFF;   // and we never send it either
        term.rawmodes.c_iflag &= ~ICRNL;   // Enter arrives as 13
        term.rawmodes.c_iflag &= ~INLCR;   // Ctrl+J arrives as 10
        term.rawmodes.c_iflag &= ~IGNCR;   // a CR is never dropped
        term.rawmodes.c_iflag &= ~ISTRIP;  // all eight bits of UTF-8 bytes
        term.rawmodes.c_iflag &= ~BRKINT;  // a break is not an interrupt
        term.rawmodes.c_iflag &= ~PARMRK;  // no parity marks in the byte stream
        term.rawmodes.c_iflag &= ~INPCK;
        term.rawmodes.c_oflag &= ~OPOST;   // output goes out unchanged ("\n" only moves down)
        term.rawmodes.c_cflag &= ~(CSIZE | PARENB);
        term.rawmodes.c_cflag |= CS8;      // eight-bit characters
        term.rawmodes.c_cc[VMIN] = 1;      // a read returns as soon as one byte is there
        term.rawmodes.c_cc[VTIME] = 0;     // with no timer (waits are done with poll)
        setmodes(term.rawmodes);
    }

    if (pipe(self.wake) == 0) {
        for (int fd : self.wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    } else {
        self.wake[0] = self.wake[1] = -1;
    }
    for (int s : stopsignals)
        install(s, onsignal);
    install(SIGWINCH, onsignal);
    install(SIGTSTP, onsignal);
    // A player's end wakes the key wait (through the pipe) so that it is
    // reaped at once; other calls it interrupts simply go on.
    install(SIGCHLD, onsignal, SA_RESTART | SA_NOCLDSTOP);
    for (int s : fatalsignals)
        install(s, onfatal);

    self.active = 1;
    if (!term.atexitdone) {
        std::atexit(termstop);
        term.atexitdone = true;
    }
    term.mouse = mouse;
    writestart();
    checksize();

    scr.io.show = termshow;
    scr.io.event = termevent;
    scr.io.sleep = termsleep;
    scr.io.sleepesc = [](int ms) { return termwait(ms, true); };
    scr.io.keywithin = termkeywithin;
    scr.io.now = termnow;
    scr.io.waiting = termwaiting;
    scr.io.stop = [] { return self.stopsig != 0; };
    return 0;
}
