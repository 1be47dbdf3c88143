// SPDX-License-Identifier: MIT
#pragma once
// The part of utf8proc's interface the console layer uses, for builds
// without the library: widths and word classes from the generated table
// (console/widthtable), a strict UTF-8 decoder and encoder with utf8proc's
// results.
#include "console/widthtable.h"

#include <cstddef>
#include <cstdint>

typedef int32_t utf8proc_int32_t;
typedef uint8_t utf8proc_uint8_t;
typedef std::ptrdiff_t utf8proc_ssize_t;

// utf8proc's numbers for the categories the console asks about.
enum {
    UTF8PROC_CATEGORY_CN = 0,
    UTF8PROC_CATEGORY_LU = 1,
    UTF8PROC_CATEGORY_LL = 2,
    UTF8PROC_CATEGORY_LT = 3,
    UTF8PROC_CATEGORY_LM = 4,
    UTF8PROC_CATEGORY_LO = 5,
    UTF8PROC_CATEGORY_ND = 9,
    UTF8PROC_CATEGORY_NL = 10,
    UTF8PROC_CATEGORY_NO = 11,
    UTF8PROC_CATEGORY_PC = 12,
    UTF8PROC_CATEGORY_CC = 26,
};
constexpr utf8proc_ssize_t UTF8PROC_ERROR_INVALIDUTF8 = -3;

// Decodes one character; its length in bytes, or a negative error for an
// invalid, overlong, surrogate or truncated sequence.
inline utf8proc_ssize_t utf8proc_iterate(const utf8proc_uint8_t* s, utf8proc_ssize_t len, utf8proc_int32_t* dst)
{
    *dst = -1;
    if (len == 0)
        return 0;
    uint32_t c = s[0];
    int n;
    uint32_t min;
    if (c < 0x80) {
        *dst = static_cast<utf8proc_int32_t>(c);
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2, min = 0x80, c &= 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, min = 0x800, c &= 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, min = 0x10000, c &= 0x07;
    } else {
        return UTF8PROC_ERROR_INVALIDUTF8;
    }
    if (len >= 0 && len < n)
        return UTF8PROC_ERROR_INVALIDUTF8;
    for (int i = 1; i < n; i++) {
        if ((s[i] & 0xC0) != 0x80)
            return UTF8PROC_ERROR_INVALIDUTF8;
        c = (c << 6) | (s[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return UTF8PROC_ERROR_INVALIDUTF8;
    *dst = static_cast<utf8proc_int32_t>(c);
    return n;
}

inline int utf8proc_charwidth(utf8proc_int32_t c) { return tablewidth(static_cast<char32_t>(c)); }

// Coarser than utf8proc's: the table keeps only what the console asks, so a
// control character is CC, every letter, number and connector punctuation
// (the word characters) is LO, and anything else is CN.
inline int utf8proc_category(utf8proc_int32_t c)
{
    if ((c >= 0 && c < 0x20) || (c >= 0x7F && c <= 0x9F))
        return UTF8PROC_CATEGORY_CC;
    return c >= 0 && tableword(static_cast<char32_t>(c)) ? UTF8PROC_CATEGORY_LO : UTF8PROC_CATEGORY_CN;
}

inline utf8proc_ssize_t utf8proc_encode_char(utf8proc_int32_t c, utf8proc_uint8_t* b)
{
    uint32_t u = static_cast<uint32_t>(c);
    if (c < 0)
        return 0;
    if (u < 0x80) {
        b[0] = static_cast<utf8proc_uint8_t>(u);
        return 1;
    }
    if (u < 0x800) {
        b[0] = static_cast<utf8proc_uint8_t>(0xC0 | (u >> 6));
        b[1] = static_cast<utf8proc_uint8_t>(0x80 | (u & 0x3F));
        return 2;
    }
    if (u < 0x10000) {
        b[0] = static_cast<utf8proc_uint8_t>(0xE0 | (u >> 12));
        b[1] = static_cast<utf8proc_uint8_t>(0x80 | ((u >> 6) & 0x3F));
        b[2] = static_cast<utf8proc_uint8_t>(0x80 | (u & 0x3F));
        return 3;
    }
    if (u < 0x110000) {
        b[0] = static_cast<utf8proc_uint8_t>(0xF0 | (u >> 18));
        b[1] = static_cast<utf8proc_uint8_t>(0x80 | ((u >> 12) & 0x3F));
        b[2] = static_cast<utf8proc_uint8_t>(0x80 | ((u >> 6) & 0x3F));
        b[3] = static_cast<utf8proc_uint8_t>(0x80 | (u & 0x3F));
        return 4;
    }
    return 0;
}
