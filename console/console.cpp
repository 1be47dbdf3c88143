// SPDX-License-Identifier: MIT
#include "console/console.h"

#include "console/width.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

sconsole scr;

void gotoxy(int x, int y) { gmove(scr, x, y); }

void setcolor(unsigned short color_index) { scr.attr = static_cast<unsigned char>(color_index & 0xFF); }

void cput(std::string_view s) { gput(scr, s); }

void cprintf(const char* fmt, ...)
{
    char small[256];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        gput(scr, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    gput(scr, std::string_view(big.data(), static_cast<size_t>(n)));
}

void cpad(std::string_view s, int width)
{
    gput(scr, s);
    for (int w = strwidth(s); w < width; w++)
        gput(scr, " ");
}

void cls()
{
    if (scr.w != SCRW || scr.h != SCRH)
        gresize(scr, SCRW, SCRH);
    gclear(scr);
}

void cflush()
{
    if (scr.io.show)
        scr.io.show(scr);
}

sevent getev()
{
    if (!(scr.io.waiting && scr.io.waiting()))
        cflush();
    return scr.io.event ? scr.io.event() : keyevent(KEY_END);
}

int getkey()
{
    for (;;) {
        int k = evkey(getev());
        if (k != KEY_NONE)
            return k;
    }
}

int getkeywithin(int ms)
{
    if (!scr.io.keywithin)
        return getkey();
    cflush();
    return scr.io.keywithin(ms);
}

void Sleep(int ms)
{
    cflush();
    if (scr.io.sleep && ms > 0)
        scr.io.sleep(ms);
}

bool stopasked() { return scr.io.stop && scr.io.stop(); }

bool Sleepesc(int ms)
{
    cflush();
    if (scr.io.sleepesc)
        return scr.io.sleepesc(ms);
    Sleep(ms);
    return false;
}

stimems gettimems() { return scr.io.now ? scr.io.now() : stimems{}; }

