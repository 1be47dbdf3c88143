// SPDX-License-Identifier: MIT
// Console key records as ReadConsoleInputW gives them, turned into the codes
// of _getch.
#include "platform/conkeys.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

sconkey chr(char16_t c, uint16_t vk = 0) { return sconkey{true, 1, vk, c, 0}; }
sconkey vkey(uint16_t vk) { return sconkey{true, 1, vk, 0, 0}; }

std::vector<int> decode(const std::vector<sconkey>& recs)
{
    sconkeys d;
    for (const sconkey& k : recs)
        conkeyfeed(d, k);
    std::vector<int> out;
    for (int c; (c = conkeynext(d)) >= 0;)
        out.push_back(c);
    return out;
}

struct scase {
    const char* what;
    std::vector<sconkey> recs;
    std::vector<int> want;
};

TEST(ConsoleKeys, RecordsBecomeGetchCodes)
{
    const scase cases[] = {
        {"letter", {chr(u'a', 0x41)}, {'a'}},
        {"Enter", {chr(13, 0x0D)}, {13}},
        {"Tab", {chr(9, 0x09)}, {9}},
        {"Backspace", {chr(8, 0x08)}, {8}},
        {"Ctrl+Backspace", {chr(127, 0x08)}, {8}},
        {"Escape", {chr(27, 0x1B)}, {27}},
        {"Ctrl+S", {chr(19, 0x53)}, {19}},
        {"Ctrl+C with processed input off", {chr(3, 0x43)}, {3}},
        {"Ctrl+Z Ctrl+Y", {chr(26, 0x5A), chr(25, 0x59)}, {26, 25}},
        {"arrows", {vkey(0x26), vkey(0x28), vkey(0x25), vkey(0x27)}, {224, 72, 224, 80, 224, 75, 224, 77}},
        {"Home End Insert Delete", {vkey(0x24), vkey(0x23), vkey(0x2D), vkey(0x2E)}, {224, 71, 224, 79, 224, 82, 224, 83}},
        {"Page Up, Page Down", {vkey(0x21), vkey(0x22)}, {224, 73, 224, 81}},
        {"F1 F4 F5 F10", {vkey(0x70), vkey(0x73), vkey(0x74), vkey(0x79)}, {0, 59, 0, 62, 0, 63, 0, 68}},
        {"F11 F12", {vkey(0x7A), vkey(0x7B)}, {224, 133, 224, 134}},
        {"Shift and Ctrl alone", {vkey(0x10), vkey(0x11)}, {}},
        {"key up", {sconkey{false, 1, 0x41, u'a', 0}}, {}},
        {"repeat count", {sconkey{true, 3, 0x41, u'x', 0}}, {'x', 'x', 'x'}},
        {"Chinese as UTF-8 bytes", {chr(u'修')}, {0xE4, 0xBF, 0xAE}},
        {"surrogate pair", {chr(0xD83C), chr(0xDFB5)}, {0xF0, 0x9F, 0x8E, 0xB5}},
        {"lone high half", {chr(0xD83C), chr(u'a')}, {0xEF, 0xBF, 0xBD, 'a'}},
        {"lone low half", {chr(0xDFB5)}, {0xEF, 0xBF, 0xBD}},
        {"Alt+numpad text on Alt up", {sconkey{false, 1, 0x12, u'é', 0}}, {0xC3, 0xA9}},
    };
    for (const scase& c : cases)
        EXPECT_EQ(decode(c.recs), c.want) << c.what;
}

// A Ctrl+C that came as a control event is read after the keys decoded
// before it, and not in the middle of a key's codes.
TEST(ConsoleKeys, CtrlCEventReadAsTheKey)
{
    sconkeys d;
    conkeyfeed(d, chr(u'a'));
    conkeyfeed(d, vkey(0x26)); // Up: two codes
    conkeyctrlc(d);
    std::vector<int> out;
    for (int c; (c = conkeynext(d)) >= 0;)
        out.push_back(c);
    EXPECT_EQ(out, (std::vector<int>{'a', 224, 72, 3}));
}

// What a sleep that Escape ends takes out of the keys waiting.
TEST(ConsoleKeys, EscapeTakenOutOfWaitingKeys)
{
    struct {
        const char* what;
        std::vector<int> codes;
        size_t from;
        bool found;
        std::vector<int> left;
    } cases[] = {
        {"alone", {27}, 0, true, {}},
        {"keys around it stay in order", {'a', 27, 'b', 27}, 0, true, {'a', 'b', 27}},
        {"none", {'a', 224, 72}, 0, false, {'a', 224, 72}},
        {"a scan code 27 after a prefix is no Escape", {0, 27, 224, 27, 'x'}, 0, false, {0, 27, 224, 27, 'x'}},
        {"before `from` it is not looked at", {27, 'a'}, 1, false, {27, 'a'}},
        {"UTF-8 bytes are no prefix for it", {0xE0, 0xA4, 0x95, 27}, 0, true, {0xE0, 0xA4, 0x95}},
    };
    for (auto& c : cases) {
        sconkeys d;
        d.codes.assign(c.codes.begin(), c.codes.end());
        EXPECT_EQ(conkeytakeesc(d, c.from), c.found) << c.what;
        EXPECT_EQ(std::vector<int>(d.codes.begin(), d.codes.end()), c.left) << c.what;
    }
}

} // namespace
