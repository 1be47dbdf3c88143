// SPDX-License-Identifier: MIT
#include "platform/conkeys.h"

namespace {

constexpr uint16_t VK_ALT = 0x12;

struct sext {
    uint16_t vk;
    int prefix, code;
};

// Keys without a character, as _getch reports them.
constexpr sext extkeys[] = {
    {0x26, 224, 72},  {0x28, 224, 80},  {0x25, 224, 75}, {0x27, 224, 77}, // Up Down Left Right
    {0x24, 224, 71},  {0x23, 224, 79},                                    // Home End
    {0x2D, 224, 82},  {0x2E, 224, 83},                                    // Insert Delete
    {0x21, 224, 73},  {0x22, 224, 81},                                    // Page Up, Page Down
    {0x70, 0, 59},    {0x71, 0, 60},    {0x72, 0, 61},   {0x73, 0, 62},   // F1-F4
    {0x74, 0, 63},    {0x75, 0, 64},    {0x76, 0, 65},   {0x77, 0, 66},   // F5-F8
    {0x78, 0, 67},    {0x79, 0, 68},                                      // F9 F10
    {0x7A, 224, 133}, {0x7B, 224, 134},                                   // F11 F12
};

void putchar32(sconkeys& d, char32_t c)
{
    if (c == 127 || c == 8) {
        d.codes.push_back(8);
        return;
    }
    if (c < 0x80) {
        d.codes.push_back(static_cast<int>(c));
        return;
    }
    if (c < 0x800) {
        d.codes.push_back(0xC0 | static_cast<int>(c >> 6));
    } else if (c < 0x10000) {
        d.codes.push_back(0xE0 | static_cast<int>(c >> 12));
        d.codes.push_back(0x80 | static_cast<int>((c >> 6) & 0x3F));
    } else {
        d.codes.push_back(0xF0 | static_cast<int>(c >> 18));
        d.codes.push_back(0x80 | static_cast<int>((c >> 12) & 0x3F));
        d.codes.push_back(0x80 | static_cast<int>((c >> 6) & 0x3F));
    }
    d.codes.push_back(0x80 | static_cast<int>(c & 0x3F));
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
            if (e.vk == k.vk) {
                d.codes.push_back(e.prefix);
                d.codes.push_back(e.code);
            }
    }
}

void conkeyctrlc(sconkeys& d) { d.codes.push_back(3); }

int conkeynext(sconkeys& d)
{
    if (d.codes.empty())
        return -1;
    int c = d.codes.front();
    d.codes.pop_front();
    return c;
}

bool conkeytakeesc(sconkeys& d, size_t from)
{
    for (size_t i = from; i < d.codes.size(); i++) {
        int c = d.codes[i];
        if (c == 27) {
            d.codes.erase(d.codes.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
        if (c == 0 || c == 224)
            i++; // a prefix: the scan code after it is no key of its own
    }
    return false;
}
