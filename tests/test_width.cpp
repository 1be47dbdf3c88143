// SPDX-License-Identifier: MIT
// Width rules, run by both the Linux build (utf8proc) and the Windows build
// (the generated table): decoding, the interface's characters and samples of
// wide, ambiguous and combining characters.
#include "console/width.h"
#include "console/widthtable.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <utf8proc.h>
#endif

namespace {

struct sdecode {
    std::string bytes;
    std::vector<char32_t> want;
};

TEST(Width, DecodingTakesValidUtf8AndMarksTheRest)
{
    const sdecode cases[] = {
        {"a", {U'a'}},
        {"\xE4\xBF\xAE", {U'修'}},
        {"\xF0\x9F\x8E\xB5", {0x1F3B5}},
        {"\xC0\xAF", {0xFFFD, 0xFFFD}},          // overlong
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}}, // a surrogate
        {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}}, // past U+10FFFF
        {"\xE4\xBF", {0xFFFD, 0xFFFD}},          // cut short
        {"\xFF" "b", {0xFFFD, U'b'}},
    };
    for (const sdecode& c : cases) {
        std::vector<char32_t> got;
        for (size_t i = 0; i < c.bytes.size();)
            got.push_back(u8next(c.bytes, i));
        EXPECT_EQ(got, c.want) << c.bytes;
    }
    std::string out;
    for (char32_t c : {U'a', U'é', U'修', char32_t(0x1F3B5)})
        u8put(out, c);
    EXPECT_EQ(out, "a\xC3\xA9\xE4\xBF\xAE\xF0\x9F\x8E\xB5");
}

struct swidth {
    char32_t c;
    int cols;
    bool unsure;
};

TEST(Width, InterfaceAndSampleCharacters)
{
    const swidth cases[] = {
        {U'a', 1, false},    {U' ', 1, false},    {0x01, 1, false},   {0x7F, 1, false},
        {U'修', 2, false},   {U'：', 2, false},   {U'，', 2, false},  {U'？', 2, false},
        {U'！', 2, false},   {U'。', 2, false},   {U'가', 2, false},  {U'あ', 2, false},
        {0x20000, 2, false}, {0x1F3B5, 2, false}, {0xFF21, 2, false}, // fullwidth A
        {U'↑', 2, true},     {U'↓', 2, true},     {U'◎', 2, true},    // the two-column glyphs
        {U'é', 1, true},     {U'·', 1, true},     {U'─', 1, true},    {U'№', 1, true}, // ambiguous
        {0x0301, 0, false},  {0x200B, 0, false},  {0x3099, 0, false}, {0xFE0F, 0, false}, // combining
        {0x85, 1, true},     {0xFFFD, 1, true},
    };
    for (const swidth& c : cases) {
        EXPECT_EQ(colwidth(c.c), c.cols) << std::hex << static_cast<unsigned>(c.c);
        EXPECT_EQ(unsurewidth(c.c), c.unsure) << std::hex << static_cast<unsigned>(c.c);
    }
    EXPECT_EQ(strwidth("修改音符长度"), 12);
    EXPECT_EQ(strwidth("e\xCC\x81t\xC3\xA9"), 3);
}

// Word characters for the line editor's Ctrl+W, from the table on both builds.
TEST(WidthTable, WordClasses)
{
    const std::pair<char32_t, bool> cases[] = {
        {U'a', true},  {U'Z', true},  {U'7', true},  {U'_', true},  {U'é', true},   {U'修', true},
        {U'あ', true}, {U'²', true},  {U'Ⅻ', true},  {0x20000, true}, {U'‿', true}, // undertie: connector
        {U' ', false}, {U'-', false}, {U'.', false}, {U'/', false}, {U'。', false}, {U'，', false},
        {0x3000, false}, {0x0301, false}, {0x1F3B5, false}, {0x01, false}, {0x10FFFF, false},
    };
    for (const auto& [c, word] : cases)
        EXPECT_EQ(tableword(c), word) << std::hex << static_cast<unsigned>(c);
}

#ifndef _WIN32
// The checked-in table is what utf8proc says, for every code point: when
// utf8proc changes, regenerate it with `./make.sh widthtable`.
TEST(WidthTable, MatchesUtf8proc)
{
    ASSERT_STREQ(widthtableversion, utf8proc_unicode_version());
    int wrong = 0;
    for (char32_t c = 0; c <= 0x10FFFF && wrong < 10; c++) {
        int cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
        int w = utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
        if (cat == UTF8PROC_CATEGORY_CC || w < 0)
            w = 1;
        bool word = (cat >= UTF8PROC_CATEGORY_LU && cat <= UTF8PROC_CATEGORY_LO) ||
                    (cat >= UTF8PROC_CATEGORY_ND && cat <= UTF8PROC_CATEGORY_PC);
        if (tablewidth(c) != w || tableword(c) != word) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << ": table " << tablewidth(c) << "/"
                          << tableword(c) << ", utf8proc " << w << "/" << word;
            wrong++;
        }
    }
}
#endif

} // namespace
