// SPDX-License-Identifier: MIT
// The Windows console: frames written as virtual-terminal sequences in the
// UTF-8 code page (or, where the console does not interpret them, as cells
// through the classic console API), keys read as console input records, the
// window size (not the buffer size) watched, and the console's modes and code
// pages given back on every way out.
#include "platform/term.h"

#include "console/console.h"
#include "console/width.h"
#include "platform/conkeys.h"
#include "platform/fileio.h"
#include "platform/keys.h"
#include "platform/render.h"
#include "platform/win32/conout.h"

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#ifndef DISABLE_NEWLINE_AUTO_RETURN
#define DISABLE_NEWLINE_AUTO_RETURN 0x0008
#endif

namespace {

constexpr int HANGUP = 1; // the console was closed, or the user logs off or shuts down

constexpr char restorebytes[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr char startbytes[] = "\x1b[?1049h\x1b[?25h";
const char* const smallnotice = "终端窗口太小：请放大到至少 108 x 27";

// How frames reach the console: virtual-terminal sequences, or cells written
// into a screen buffer of the program's own (shown in place of the original
// one while the program runs).
enum class outpath { vt, cells };

// Everything the process holds of the console, in one record, as the POSIX
// terminal's. The control handler runs on a thread of its own: it only sets
// the flags marked so and the events.
struct wterm {
    HANDLE hin = INVALID_HANDLE_VALUE, hout = INVALID_HANDLE_VALUE;
    HANDLE hcells = INVALID_HANDLE_VALUE; // the program's screen buffer on the cells path
    outpath path = outpath::vt;
    conscreen cscreen;
    DWORD savedin = 0, savedout = 0;
    UINT savedcp = 0, savedoutcp = 0;
    bool inconsole = false; // standard input is the console (not a file or pipe)
    bool atexitdone = false;

    volatile LONG active = 0;  // the console is taken over (set by the handler's way out too)
    volatile LONG stopsig = 0; // set by the handler: the signal that asked the program to stop
    volatile LONG ctrlc = 0;   // set by the handler: a CTRL_C_EVENT not yet read as the key
    HANDLE stopevent = nullptr;  // set once a stop is asked for: every wait ends
    HANDLE doneevent = nullptr;  // set once the console is given back
    HANDLE ctrlcevent = nullptr; // set (auto-reset) with ctrlc: a key read waiting wakes
    bool resized = false;

    Screen screen;
    const Grid* lastgrid = nullptr;
    bool small = false;
    bool ended = false;

    sconkeys cons;  // records decoded, events not yet read
    bool mouse = false; // mouse input records asked for (quick-edit cleared meanwhile)
    keydec bytes;   // for input that is not the console
};
wterm wt;

void writeall(const char* p, size_t n)
{
    while (n > 0) {
        DWORD w = 0;
        if (!WriteFile(wt.hout, p, static_cast<DWORD>(n), &w, nullptr) || w == 0) {
            rinvalidate(wt.screen);
            return;
        }
        p += w;
        n -= w;
    }
}

void writeall(const std::string& s) { writeall(s.data(), s.size()); }

void forgetscreen()
{
    rinvalidate(wt.screen);
    conforget(wt.cscreen);
}

// The buffer whose window the frames fill.
HANDLE drawhandle() { return wt.path == outpath::cells ? wt.hcells : wt.hout; }

void restoreconsole()
{
    if (InterlockedExchange(&wt.active, 0) == 0)
        return;
    if (wt.path == outpath::cells) {
        SetConsoleActiveScreenBuffer(wt.hout);
        CloseHandle(wt.hcells);
        wt.hcells = INVALID_HANDLE_VALUE;
        if (wt.cscreen.wide == conwide::zerowidth)
            writeall(restorebytes, sizeof restorebytes - 1);
    } else {
        writeall(restorebytes, sizeof restorebytes - 1);
    }
    SetConsoleMode(wt.hout, wt.savedout);
    if (wt.inconsole)
        SetConsoleMode(wt.hin, wt.savedin);
    if (wt.savedoutcp)
        SetConsoleOutputCP(wt.savedoutcp);
    if (wt.savedcp)
        SetConsoleCP(wt.savedcp);
}

void askstop(LONG sig)
{
    InterlockedCompareExchange(&wt.stopsig, sig, 0);
    if (wt.stopevent)
        SetEvent(wt.stopevent);
    fileiostop(); // a file write waiting on a pipe or a slow disk gives up
}

// Runs on a thread of its own. A close, logoff or shutdown ends the process
// when this returns, so it waits for the main path to save and give the
// console back (Windows allows about five seconds).
BOOL WINAPI onctrl(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
        // Some consoles (wine's on a terminal) give Ctrl+C as this event and
        // not as a key: recorded here, read as the Ctrl+C key.
        InterlockedExchange(&wt.ctrlc, 1);
        if (wt.ctrlcevent)
            SetEvent(wt.ctrlcevent);
        return TRUE;
    case CTRL_BREAK_EVENT:
        askstop(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        askstop(HANGUP);
        if (wt.doneevent)
            WaitForSingleObject(wt.doneevent, 4500);
        return TRUE;
    }
    return FALSE;
}

LONG WINAPI oncrash(EXCEPTION_POINTERS*)
{
    restoreconsole();
    return EXCEPTION_CONTINUE_SEARCH;
}

int64_t monoms() { return static_cast<int64_t>(GetTickCount64()); }

void shownotice(int cols, int rows)
{
    forgetscreen();
    if (wt.path == outpath::cells) {
        Grid g;
        gresize(g, cols, rows);
        gput(g, smallnotice);
        conframe(wt.hcells, wt.cscreen, g);
        conforget(wt.cscreen);
        return;
    }
    std::string s = "\x1b[97;40m\x1b[2J\x1b[H";
    s += smallnotice;
    writeall(s);
    rinvalidate(wt.screen);
}

// The first row of the console's window in its buffer: mouse records count
// rows from the top of the buffer.
int windowtop()
{
    CONSOLE_SCREEN_BUFFER_INFO bi;
    return GetConsoleScreenBufferInfo(drawhandle(), &bi) ? bi.srWindow.Top : 0;
}

void checksize()
{
    wt.resized = false;
    CONSOLE_SCREEN_BUFFER_INFO bi;
    bool fits = true;
    int cols = SCRW, rows = SCRH;
    if (GetConsoleScreenBufferInfo(drawhandle(), &bi)) {
        cols = bi.srWindow.Right - bi.srWindow.Left + 1;
        rows = bi.srWindow.Bottom - bi.srWindow.Top + 1;
        fits = cols >= SCRW && rows >= SCRH;
    }
    forgetscreen();
    wt.small = !fits;
    if (wt.small)
        shownotice(cols, rows);
}

void termshow(const Grid& g)
{
    wt.lastgrid = &g;
    if (wt.resized)
        checksize();
    if (wt.small || !wt.active)
        return;
    if (wt.path == outpath::cells) {
        conframe(wt.hcells, wt.cscreen, g);
        return;
    }
    std::string out;
    rframe(wt.screen, g, out);
    if (!out.empty())
        writeall(out);
}

// Reads what the console has (waiting up to waitms, forever when negative)
// into the decoder. False when the wait ended without a key: a stop, a
// resize, the time up or the end of input.
bool fillkeys(int waitms)
{
    HANDLE hs[3] = {wt.hin, wt.stopevent, wt.ctrlcevent};
    DWORD r = WaitForMultipleObjects(3, hs, FALSE, waitms < 0 ? INFINITE : static_cast<DWORD>(waitms));
    if (r == WAIT_OBJECT_0 + 2)
        return wt.ctrlc != 0;
    if (r != WAIT_OBJECT_0)
        return false;
    INPUT_RECORD recs[64];
    DWORD got = 0;
    if (!ReadConsoleInputW(wt.hin, recs, 64, &got)) {
        wt.ended = true;
        return false;
    }
    for (DWORD i = 0; i < got; i++) {
        if (recs[i].EventType == WINDOW_BUFFER_SIZE_EVENT) {
            wt.resized = true;
        } else if (recs[i].EventType == MOUSE_EVENT && wt.mouse) {
            const MOUSE_EVENT_RECORD& m = recs[i].Event.MouseEvent;
            conmousefeed(wt.cons, sconmouse{m.dwMousePosition.X, m.dwMousePosition.Y - windowtop(), m.dwButtonState,
                                            m.dwControlKeyState, m.dwEventFlags});
        } else if (recs[i].EventType == KEY_EVENT) {
            const KEY_EVENT_RECORD& k = recs[i].Event.KeyEvent;
            conkeyfeed(wt.cons, sconkey{k.bKeyDown != 0, k.wRepeatCount, k.wVirtualKeyCode,
                                     static_cast<char16_t>(k.uChar.UnicodeChar), k.dwControlKeyState});
        }
    }
    return !wt.cons.events.empty();
}

// Input that is not the console (a file or a pipe): bytes through the
// terminal's decoder.
int filebyte(void*, int waitms)
{
    if (wt.ended || wt.stopsig)
        return KB_END;
    DWORD avail = 0;
    if (waitms >= 0 && PeekNamedPipe(wt.hin, nullptr, 0, nullptr, &avail, nullptr) && avail == 0) {
        WaitForSingleObject(wt.stopevent, static_cast<DWORD>(waitms));
        return KB_NONE;
    }
    unsigned char b;
    DWORD n = 0;
    if (!ReadFile(wt.hin, &b, 1, &n, nullptr) || n == 0) {
        wt.ended = true;
        return KB_END;
    }
    return b;
}

int64_t fileclock(void*) { return monoms(); }

// One event, the end, or evkind::none when the wait was cut short.
sevent rawevent()
{
    if (!wt.inconsole)
        return keyread(wt.bytes);
    for (;;) {
        if (InterlockedExchange(&wt.ctrlc, 0))
            conkeyctrlc(wt.cons);
        sevent e = conkeynext(wt.cons);
        if (e.kind != evkind::none)
            return e;
        if (wt.ended || wt.stopsig)
            return keyevent(KEY_END);
        if (!fillkeys(-1) && (wt.resized || wt.stopsig || wt.ended))
            return wt.stopsig || wt.ended ? keyevent(KEY_END) : sevent{};
    }
}

// Shows the notice while the window is too small, throwing away what is
// typed, and repaints when it is large enough again. False at a stop.
bool waitlarge()
{
    for (;;) {
        if (wt.stopsig || wt.ended)
            return false;
        if (wt.resized) {
            checksize();
            if (!wt.small && wt.lastgrid)
                termshow(*wt.lastgrid);
        }
        if (!wt.small)
            return true;
        if (rawevent().kind == evkind::end)
            return false;
        wt.cons.events.clear(); // typed while the screen could not be seen
    }
}

sevent termevent()
{
    for (;;) {
        bool resized = wt.resized;
        if (!waitlarge())
            return keyevent(KEY_END);
        if (resized) {
            sevent e;
            e.kind = evkind::resize;
            return e;
        }
        sevent e = rawevent();
        if (e.kind == evkind::none)
            continue;
        if (wt.small) {
            wt.cons.events.clear();
            continue;
        }
        return e;
    }
}

void termsleep(int ms)
{
    int64_t until = monoms() + ms;
    for (;;) {
        if (wt.stopsig)
            return;
        int64_t left = until - monoms();
        if (left <= 0)
            return;
        WaitForSingleObject(wt.stopevent, static_cast<DWORD>(left));
    }
}

// Sleeps reading the keys typed meanwhile into the codes kept for termkey;
// an Escape among them is taken out and ends the sleep at once (true then).
// Input that is not the console is left for later: a plain sleep.
bool termsleepesc(int ms)
{
    int64_t until = monoms() + ms;
    size_t from = wt.cons.events.size(); // events kept before the sleep were typed earlier
    for (;;) {
        if (wt.stopsig)
            return false;
        int64_t left = until - monoms();
        if (left <= 0)
            return false;
        if (!wt.inconsole || wt.ended) {
            termsleep(static_cast<int>(left));
            return false;
        }
        fillkeys(static_cast<int>(left));
        if (conkeytakeesc(wt.cons, from))
            return true;
    }
}

// A key typed within ms, or KEY_NOTYET. Input that is not the console is
// read as termkey reads it, waiting for a key.
int termkeywithin(int ms)
{
    int64_t until = monoms() + ms;
    for (;;) {
        while (wt.inconsole && wt.cons.events.empty() && wt.ctrlc == 0) {
            if (wt.stopsig || wt.ended)
                return KEY_END;
            int64_t left = until - monoms();
            if (left <= 0)
                return KEY_NOTYET;
            fillkeys(static_cast<int>(left));
        }
        if (int k = evkey(termevent()); k != KEY_NONE)
            return k;
    }
}

// The program's own screen buffer, as large as the console's window, made
// the one shown. False when the console has none to give.
bool startcells()
{
    CONSOLE_SCREEN_BUFFER_INFO bi;
    if (!GetConsoleScreenBufferInfo(wt.hout, &bi))
        return false;
    wt.hcells = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (wt.hcells == INVALID_HANDLE_VALUE)
        return false;
    COORD size{static_cast<SHORT>(bi.srWindow.Right - bi.srWindow.Left + 1),
               static_cast<SHORT>(bi.srWindow.Bottom - bi.srWindow.Top + 1)};
    SetConsoleScreenBufferSize(wt.hcells, size);
    SetConsoleMode(wt.hcells, ENABLE_PROCESSED_OUTPUT); // no wrap: the bottom right cell never scrolls
    SetConsoleCursorPosition(wt.hcells, COORD{0, static_cast<SHORT>(size.Y - 1)});
    if (!SetConsoleActiveScreenBuffer(wt.hcells)) {
        CloseHandle(wt.hcells);
        wt.hcells = INVALID_HANDLE_VALUE;
        return false;
    }
    SetConsoleCursorPosition(wt.hcells, COORD{0, static_cast<SHORT>(size.Y - 1)});
    return true;
}

// Takes the console's output over: virtual-terminal output when the console
// interprets it, cells otherwise. PELLAVINE_CONSOLE=vt or =cells forces one.
// False (after a message) when neither can be had.
bool startoutput()
{
    const char* force = std::getenv("PELLAVINE_CONSOLE");
    bool wantvt = force && std::strcmp(force, "vt") == 0, wantcells = force && std::strcmp(force, "cells") == 0;
    // No wrap at the end of a line: writing the bottom right cell must never
    // scroll (the frame moves the cursor itself after the last column).
    DWORD outmode = (wt.savedout & ~static_cast<DWORD>(ENABLE_WRAP_AT_EOL_OUTPUT)) | ENABLE_PROCESSED_OUTPUT |
                    ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN;
    if (!wantcells && SetConsoleMode(wt.hout, outmode) && (wantvt || conhasvt())) {
        wt.path = outpath::vt;
        return true;
    }
    SetConsoleMode(wt.hout, wt.savedout);
    wt.path = outpath::cells;
    // Wine's console shows its buffers on the terminal it runs in without
    // knowing what the terminal showed before: the terminal's own alternate
    // screen keeps that (the bytes reach the terminal as they are).
    if (!wantvt && conwidemode() == conwide::zerowidth)
        writeall(startbytes, sizeof startbytes - 1);
    if (!wantvt && startcells())
        return true;
    std::fputs(wantvt ? "pellavine: this console has no virtual terminal mode (Windows 10 1809 or later needed)\n"
                      : "pellavine: cannot draw in this console\n",
               stderr);
    return false;
}

stimems termnow()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    uint64_t ms = t / 10000 - 11644473600000ULL;
    return stimems{static_cast<int64_t>(ms / 1000), static_cast<short>(ms % 1000)};
}

} // namespace

int termsignal() { return static_cast<int>(wt.stopsig); }

void termstop()
{
    restoreconsole();
    SetConsoleCtrlHandler(onctrl, FALSE);
    if (wt.doneevent)
        SetEvent(wt.doneevent);
}

int termstart(bool mouse)
{
    wt.hout = GetStdHandle(STD_OUTPUT_HANDLE);
    wt.hin = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(wt.hout, &wt.savedout)) {
        std::fputs("pellavine: standard output is not a console\n", stderr);
        return 1;
    }
    if (wt.active)
        return 0;
    if (!startoutput())
        return 1;
    wt.stopsig = 0;
    wt.resized = false;
    wt.ended = false;
    wt.small = false;
    wt.lastgrid = nullptr;
    wt.cons = sconkeys{};
    wt.bytes = keydec{};
    wt.bytes.get = filebyte;
    wt.bytes.clock = fileclock;
    wt.screen = Screen{};
    wt.cscreen = conscreen{};
    wt.cscreen.wide = conwidemode();
    if (!wt.stopevent)
        wt.stopevent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!wt.doneevent)
        wt.doneevent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!wt.ctrlcevent)
        wt.ctrlcevent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    wt.ctrlc = 0;
    ResetEvent(wt.stopevent);
    ResetEvent(wt.doneevent);

    wt.savedoutcp = GetConsoleOutputCP();
    wt.savedcp = GetConsoleCP();
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    wt.inconsole = GetConsoleMode(wt.hin, &wt.savedin) != 0;
    if (wt.inconsole) {
        // Key by key, no echo, Ctrl+C a key (processed input off), and the
        // window's size changes reported. With the mouse, its records too,
        // and QuickEdit off (it would take the presses for selecting text);
        // without, QuickEdit stays as the user set it.
        DWORD m = ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS;
        if (mouse)
            m |= ENABLE_MOUSE_INPUT;
        else
            m |= wt.savedin & ENABLE_QUICK_EDIT_MODE;
        SetConsoleMode(wt.hin, m);
        wt.mouse = mouse;
    }
    wt.active = 1;
    SetConsoleCtrlHandler(onctrl, TRUE);
    SetUnhandledExceptionFilter(oncrash);
    if (!wt.atexitdone) {
        std::atexit(termstop);
        wt.atexitdone = true;
    }
    if (wt.path == outpath::vt)
        writeall(startbytes, sizeof startbytes - 1);
    checksize();

    scr.io.show = termshow;
    scr.io.event = termevent;
    scr.io.sleep = termsleep;
    scr.io.sleepesc = termsleepesc;
    scr.io.keywithin = termkeywithin;
    scr.io.now = termnow;
    scr.io.waiting = [] { return !wt.cons.events.empty() || !wt.bytes.held.empty(); };
    scr.io.stop = [] { return wt.stopsig != 0; };
    return 0;
}
