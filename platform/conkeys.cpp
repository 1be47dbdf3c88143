// SPDX-License-Identifier: MIT
#include "platform/conkeys.h"

#include "console/width.h"

namespace {

constexpr uint16_t VK_ALT = 0x12;
constexpr uint32_t SHIFT_PRESSED = 0x10, LEFT_CTRL = 0x08, RIGHT_CTRL = 0x04, LEFT_ALT = 0x02, RIGHT_ALT = 0x01;
constexpr uint32_t MOUSE_MOVED = 1, MOUSE_WHEELED = 4, MOUSE_HWHEELED = 8;

struct sext {
    uint16_t vk;
    int key;
};

// Keys without a character.
constexpr sext extkeys[] = {
    {0x26, KEY_UP},     {0x28, KEY_DOWN},   {0x25, KEY_LEFT},   {0x27, KEY_RIGHT},
    {0x24, KEY_HOME},   {0x23, KEY_ENDKEY}, {0x2D, KEY_INSERT}, {0x2E, KEY_DELETE},
    {0x21, KEY_PGUP},   {0x22, KEY_PGDN},
    {0x70, keyfn(1)},   {0x71, keyfn(2)},   {0x72, keyfn(3)},   {0x73, keyfn(4)},
    {0x74, keyfn(5)},   {0x75, keyfn(6)},   {0x76, keyfn(7)},   {0x77, keyfn(8)},
    {0x78, keyfn(9)},   {0x79, keyfn(10)},  {0x7A, keyfn(11)},  {0x7B, keyfn(12)},
};

void putchar32(sconkeys& d, char32_t c)
{
    if (c == 127 || c == 8)
        c = KEY_BACKSPACE;
    if (c < 0x20) {
        d.events.push_back(keyevent(static_cast<int>(c)));
        return;
    }
    sevent e;
    e.kind = evkind::chr;
    u8put(e.text, c);
    d.events.push_back(std::move(e));
}

void putunit(sconkeys& d, char16_t u)
{
    bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
    if (d.high && low) {
        putchar32(d, 0x10000 + ((static_cast<char32_t>(d.high) - 0xD800) << 10) + (u - 0xDC00));
        d.high = 0;
        return;
    }
    if (d.high) // a high half with no low half after it
        putchar32(d, 0xFFFD);
    d.high = 0;
    if (high)
        d.high = u;
    else
        putchar32(d, low ? 0xFFFD : u);
}

unsigned modsof(uint32_t state)
{
    return (state & SHIFT_PRESSED ? MOD_SHIFT : 0) | (state & (LEFT_ALT | RIGHT_ALT) ? MOD_ALT : 0) |
           (state & (LEFT_CTRL | RIGHT_CTRL) ? MOD_CTRL : 0);
}

void putmouse(sconkeys& d, const sconmouse& m, mbutton b, maction a)
{
    sevent e;
    e.kind = evkind::mouse;
    e.mouse = smouse{b, a, m.x, m.y, modsof(m.state)};
    d.events.push_back(e);
}

} // namespace

void conkeyfeed(sconkeys& d, const sconkey& k)
{
    // Text typed as Alt + numbers arrives when Alt is released.
    bool altup = !k.down && k.vk == VK_ALT && k.ch != 0;
    if (!k.down && !altup)
        return;
    int times = k.repeat > 0 ? k.repeat : 1;
    for (int i = 0; i < times; i++) {
        if (k.ch != 0) {
            putunit(d, k.ch);
            continue;
        }
        for (const sext& e : extkeys)
            if (e.vk == k.vk)
                d.events.push_back(keyevent(e.key));
    }
}

void conmousefeed(sconkeys& d, const sconmouse& m)
{
    if (m.x < 0 || m.y < 0)
        return;
    if (m.flags & (MOUSE_WHEELED | MOUSE_HWHEELED)) {
        bool up = static_cast<int16_t>(m.buttons >> 16) > 0;
        mbutton b = m.flags & MOUSE_HWHEELED ? (up ? mbutton::wheelright : mbutton::wheelleft)
                                             : (up ? mbutton::wheelup : mbutton::wheeldown);
        putmouse(d, m, b, maction::wheel);
        return;
    }
    static constexpr struct { uint32_t bit; mbutton b; } bits[] = {
        {1, mbutton::left}, {2, mbutton::right}, {4, mbutton::middle}};
    uint32_t now = m.buttons & 7, was = d.buttons;
    d.buttons = now;
    for (const auto& x : bits) {
        if ((now & x.bit) && !(was & x.bit))
            putmouse(d, m, x.b, maction::press);
        else if (!(now & x.bit) && (was & x.bit))
            putmouse(d, m, x.b, maction::release);
        else if ((now & x.bit) && (m.flags & MOUSE_MOVED))
            putmouse(d, m, x.b, maction::drag);
    }
}

void conkeyctrlc(sconkeys& d) { d.events.push_back(keyevent(KEY_CTRLC)); }

sevent conkeynext(sconkeys& d)
{
    if (d.events.empty())
        return sevent{};
    sevent e = std::move(d.events.front());
    d.events.pop_front();
    return e;
}

bool conkeytakeesc(sconkeys& d, size_t from)
{
    for (size_t i = from; i < d.events.size(); i++) {
        const sevent& e = d.events[i];
        if (evkey(e) == KEY_ESC || (e.kind == evkind::mouse && e.mouse.action == maction::press)) {
            d.events.erase(d.events.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}
