// SPDX-License-Identifier: MIT
#include "console/width.h"

#include <string>
#include <utf8proc.h>

char32_t u8next(std::string_view s, size_t& i)
{
    utf8proc_int32_t c = 0;
    auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(s.data()) + i,
                              static_cast<utf8proc_ssize_t>(s.size() - i), &c);
    if (n <= 0) {
        i += 1;
        return 0xFFFD;
    }
    i += static_cast<size_t>(n);
    return static_cast<char32_t>(c);
}

static bool twocolglyph(char32_t c)
{
    return c == U'↑' || c == U'↓' || c == U'◎';
}

int colwidth(char32_t c)
{
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (c < 0x7F)
        return 1;
    if (twocolglyph(c))
        return 2;
    int w = utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
    auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    if (cat == UTF8PROC_CATEGORY_CC)
        return 1;
    return w < 0 ? 1 : w;
}

bool unsurewidth(char32_t c)
{
    // Every non-ASCII character that is not plainly wide is treated as unsure:
    // an explicit cursor move after it costs a few bytes and never misplaces
    // what follows, whatever the terminal makes of East Asian Ambiguous ones.
    return c >= 0x80 && (twocolglyph(c) || colwidth(c) == 1);
}

int strwidth(std::string_view s)
{
    int w = 0;
    for (size_t i = 0; i < s.size();)
        w += colwidth(u8next(s, i));
    return w;
}

void u8put(std::string& out, char32_t c)
{
    utf8proc_uint8_t b[4];
    auto n = utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), b);
    if (n <= 0) {
        out += "\xEF\xBF\xBD";
        return;
    }
    out.append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
}

std::string fitwidth(std::string_view s, int w)
{
    std::string out;
    int used = 0;
    for (size_t i = 0; i < s.size();) {
        size_t at = i;
        int cw = colwidth(shownchar(u8next(s, i)));
        if (used + cw > w)
            break;
        out.append(s.substr(at, i - at));
        used += cw;
    }
    out.append(static_cast<size_t>(w - used), ' ');
    return out;
}


std::string visiblename(std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t at = i;
        char32_t c = u8next(s, i);
        const bool bad = c == 0xFFFD && s.substr(at, i - at) != "\xEF\xBF\xBD";
        if (bad || (steering(c) && c < 0x100)) {
            unsigned v = bad ? static_cast<unsigned char>(s[at]) : static_cast<unsigned>(c);
            out += "\\x";
            out += hex[v >> 4];
            out += hex[v & 15];
        } else if (steering(c)) {
            out += "\\u";
            for (int sh = 12; sh >= 0; sh -= 4)
                out += hex[(c >> sh) & 15];
        } else {
            out.append(s.substr(at, i - at));
        }
    }
    return out;
}
