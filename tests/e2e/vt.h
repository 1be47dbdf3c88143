// SPDX-License-Identifier: MIT
#pragma once
// A terminal in memory (libvterm) to feed output to and read cells back from.
#include "console/grid.h"

#include <string>
#include <vterm.h>

struct vt {
    VTerm* term = nullptr;
    VTermScreen* screen = nullptr;
    VTermState* state = nullptr;
    int w, h;

    vt(int cols, int rows) : w(cols), h(rows)
    {
        term = vterm_new(rows, cols);
        vterm_set_utf8(term, 1);
        screen = vterm_obtain_screen(term);
        state = vterm_obtain_state(term);
        vterm_screen_enable_altscreen(screen, 1);
        static const VTermScreenCallbacks cbs = [] {
            VTermScreenCallbacks c{};
            c.settermprop = [](VTermProp p, VTermValue* v, void* self) {
                if (p == VTERM_PROP_MOUSE)
                    static_cast<struct vt*>(self)->mousemode = v->number;
                return 1;
            };
            return c;
        }();
        vterm_screen_set_callbacks(screen, &cbs, this);
        vterm_screen_reset(screen, 1);
    }
    // What the program asked the terminal to report of the mouse:
    // VTERM_PROP_MOUSE_NONE, _CLICK (1000), _DRAG (1002) or _MOVE (1003).
    int mousemode = VTERM_PROP_MOUSE_NONE;
    ~vt() { vterm_free(term); }
    vt(const vt&) = delete;
    vt& operator=(const vt&) = delete;

    // The bytes this terminal sends for a mouse button (1 left, 2 middle,
    // 3 right, 4 and 5 the wheel) pressed or released at cell (x, y); empty
    // when the program has not asked for mouse reports.
    std::string mouse(int x, int y, int button, bool pressed, int mod = VTERM_MOD_NONE)
    {
        if (mousemode == VTERM_PROP_MOUSE_NONE)
            return {};
        vterm_mouse_move(term, y, x, static_cast<VTermModifier>(mod));
        vterm_mouse_button(term, button, pressed, static_cast<VTermModifier>(mod));
        char buf[256];
        size_t n = vterm_output_read(term, buf, sizeof buf);
        return std::string(buf, n);
    }
    std::string click(int x, int y, int button = 1) { return mouse(x, y, button, true) + mouse(x, y, button, false); }

    // libvterm loses a UTF-8 character split between two writes, which a
    // pseudo-terminal read may well do: the unfinished end is held back.
    std::string held;
    void feed(const std::string& s)
    {
        held += s;
        size_t keep = 0;
        for (size_t back = 1; back <= 3 && back <= held.size(); back++) {
            unsigned char c = static_cast<unsigned char>(held[held.size() - back]);
            if ((c & 0xC0) == 0x80)
                continue;
            size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            keep = need > back ? back : 0;
            break;
        }
        vterm_input_write(term, held.data(), held.size() - keep);
        held.erase(0, held.size() - keep);
    }

    VTermScreenCell cell(int x, int y) const
    {
        VTermScreenCell c{};
        vterm_screen_get_cell(screen, VTermPos{y, x}, &c);
        return c;
    }
    // The first code point of a cell; 0 for the right half of a wide one.
    uint32_t ch(int x, int y) const
    {
        uint32_t c = cell(x, y).chars[0];
        return c == static_cast<uint32_t>(-1) ? 0 : c;
    }
    // Palette index of a colour, -1 for the terminal's default, -2 for RGB.
    static int index(const VTermColor& c)
    {
        if (VTERM_COLOR_IS_DEFAULT_FG(&c) || VTERM_COLOR_IS_DEFAULT_BG(&c))
            return -1;
        if (VTERM_COLOR_IS_INDEXED(&c))
            return c.indexed.idx;
        return -2;
    }
    int fg(int x, int y) const { return index(cell(x, y).fg); }
    int bg(int x, int y) const { return index(cell(x, y).bg); }

    // The text of row y from x0 to x1 as UTF-8, empty cells as blanks.
    std::string row(int y, int x0 = 0, int x1 = -1) const
    {
        if (x1 < 0 || x1 > w)
            x1 = w;
        std::string out;
        for (int x = x0; x < x1; x++) {
            VTermScreenCell c = cell(x, y);
            if (c.chars[0] == static_cast<uint32_t>(-1))
                continue;
            char32_t u = c.chars[0] ? c.chars[0] : U' ';
            char b[4];
            int n = 0;
            if (u < 0x80) {
                b[n++] = static_cast<char>(u);
            } else if (u < 0x800) {
                b[n++] = static_cast<char>(0xC0 | (u >> 6));
                b[n++] = static_cast<char>(0x80 | (u & 0x3F));
            } else if (u < 0x10000) {
                b[n++] = static_cast<char>(0xE0 | (u >> 12));
                b[n++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                b[n++] = static_cast<char>(0x80 | (u & 0x3F));
            } else {
                b[n++] = static_cast<char>(0xF0 | (u >> 18));
                b[n++] = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
                b[n++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                b[n++] = static_cast<char>(0x80 | (u & 0x3F));
            }
            out.append(b, static_cast<size_t>(n));
        }
        return out;
    }
    VTermPos cursor() const
    {
        VTermPos p;
        vterm_state_get_cursorpos(state, &p);
        return p;
    }
    int penfg() const
    {
        VTermValue v;
        vterm_state_get_penattr(state, VTERM_ATTR_FOREGROUND, &v);
        return index(v.color);
    }
    int penbg() const
    {
        VTermValue v;
        vterm_state_get_penattr(state, VTERM_ATTR_BACKGROUND, &v);
        return index(v.color);
    }
};

// The palette index a console colour (0 to 15) should show as: red and blue
// swapped, bright as 8 to 15.
inline int consoleindex(int c) { return (c & 8) | (c & 2) | (c & 1) << 2 | (c & 4) >> 2; }
