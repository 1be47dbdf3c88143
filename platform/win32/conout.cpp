// SPDX-License-Identifier: MIT
// The classic console output: the grid's attributes are console attributes
// already (foreground + 16 x background), so a frame is the grid's cells copied
// into CHAR_INFO records and written with WriteConsoleOutputW.
#include "platform/win32/conout.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#ifndef COMMON_LVB_LEADING_BYTE
#define COMMON_LVB_LEADING_BYTE 0x0100
#define COMMON_LVB_TRAILING_BYTE 0x0200
#endif

namespace {

bool samecell(const CHAR_INFO& a, const CHAR_INFO& b)
{
    return a.Char.UnicodeChar == b.Char.UnicodeChar && a.Attributes == b.Attributes;
}

} // namespace

conwide conwidemode()
{
    HMODULE nt = GetModuleHandleW(L"ntdll.dll");
    bool wine = nt && GetProcAddress(nt, "wine_get_version") != nullptr;
    return wine ? conwide::zerowidth : conwide::pair;
}

std::vector<CHAR_INFO> concells(const Grid& g, conwide wide)
{
    std::vector<CHAR_INFO> out(g.cells.size());
    for (size_t i = 0; i < g.cells.size(); i++) {
        const Cell& c = g.cells[i];
        char32_t ch = c.ch;
        WORD flags = 0;
        if (c.part == 1) {
            flags = COMMON_LVB_LEADING_BYTE;
        } else if (c.part == 2) {
            flags = COMMON_LVB_TRAILING_BYTE;
            ch = wide == conwide::zerowidth ? U'\u200B' : i > 0 ? g.cells[i - 1].ch : U' ';
        }
        out[i].Char.UnicodeChar = ch > 0xFFFF ? 0xFFFD : static_cast<WCHAR>(ch);
        out[i].Attributes = static_cast<WORD>(c.attr | flags);
    }
    return out;
}

void conforget(conscreen& s)
{
    s.shown.clear();
    s.cx = s.cy = -1;
}

rowspan conchanged(const std::vector<CHAR_INFO>& a, const std::vector<CHAR_INFO>& b, int w, int h)
{
    rowspan r{-1, -1};
    if (a.size() != b.size())
        return h > 0 ? rowspan{0, h - 1} : r;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
            if (!samecell(a[i], b[i])) {
                if (r.first < 0)
                    r.first = y;
                r.last = y;
                break;
            }
        }
    }
    return r;
}

bool conframe(HANDLE h, conscreen& s, const Grid& g)
{
    CONSOLE_SCREEN_BUFFER_INFO bi;
    if (!GetConsoleScreenBufferInfo(h, &bi))
        return false;
    std::vector<CHAR_INFO> cells = concells(g, s.wide);
    if (s.w != g.w || s.h != g.h)
        s.shown.clear();
    s.w = g.w;
    s.h = g.h;
    rowspan r = conchanged(s.shown, cells, g.w, g.h);
    if (r.first >= 0) {
        SHORT left = bi.srWindow.Left, top = bi.srWindow.Top;
        SMALL_RECT to{left, static_cast<SHORT>(top + r.first), static_cast<SHORT>(left + g.w - 1),
                      static_cast<SHORT>(top + r.last)};
        if (!WriteConsoleOutputW(h, cells.data(), COORD{static_cast<SHORT>(g.w), static_cast<SHORT>(g.h)},
                                 COORD{0, static_cast<SHORT>(r.first)}, &to)) {
            conforget(s);
            return false;
        }
        s.shown = std::move(cells);
    }
    int cx = g.cx < g.w ? g.cx : g.w - 1;
    if (cx != s.cx || g.cy != s.cy || r.first >= 0) {
        SetConsoleCursorPosition(h, COORD{static_cast<SHORT>(bi.srWindow.Left + cx),
                                          static_cast<SHORT>(bi.srWindow.Top + g.cy)});
        s.cx = cx;
        s.cy = g.cy;
    }
    return true;
}

bool conhasvt()
{
    HANDLE b = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (b == INVALID_HANDLE_VALUE)
        return false;
    bool vt = false;
    DWORD n = 0;
    CONSOLE_SCREEN_BUFFER_INFO bi;
    if (SetConsoleMode(b, ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
        SetConsoleCursorPosition(b, COORD{0, 0}) && WriteConsoleW(b, L"\x1b[2C", 4, &n, nullptr) &&
        GetConsoleScreenBufferInfo(b, &bi)) {
        vt = bi.dwCursorPosition.X == 2 && bi.dwCursorPosition.Y == 0;
    }
    CloseHandle(b);
    return vt;
}
