// SPDX-License-Identifier: MIT
// Console input records as ReadConsoleInputW gives them, turned into the
// same events as the terminal's bytes.
#include "platform/conkeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

sconkey chr(char16_t c, uint16_t vk = 0) { return sconkey{true, 1, vk, c, 0}; }
sconkey vkey(uint16_t vk) { return sconkey{true, 1, vk, 0, 0}; }

// A key as a word: "#" and its code (appended: GCC 12 warns wrongly on "#" + s).
std::string K(int code)
{
    std::string s(1, '#');
    s += std::to_string(code);
    return s;
}

// An event as a word: "#code" for a key, the text of a character, "M button
// action x y mods" for the mouse.
std::string word(const sevent& e)
{
    if (e.kind == evkind::key)
        return K(e.key);
    if (e.kind == evkind::mouse)
    {
        std::string s(1, 'M');
        for (int n : {static_cast<int>(e.mouse.button), static_cast<int>(e.mouse.action), e.mouse.x, e.mouse.y, static_cast<int>(e.mouse.mods)})
            (s += std::to_string(n)) += ' ';
        s.pop_back();
        return s;
    }
    return e.text;
}

V drain(sconkeys& d)
{
    V out;
    for (sevent e; (e = conkeynext(d)).kind != evkind::none;)
        out.push_back(word(e));
    return out;
}

V decode(const std::vector<sconkey>& recs)
{
    sconkeys d;
    for (const sconkey& k : recs)
        conkeyfeed(d, k);
    return drain(d);
}


struct scase {
    const char* what;
    std::vector<sconkey> recs;
    V want;
};

TEST(ConsoleKeys, RecordsBecomeEvents)
{
    const scase cases[] = {
        {"letter", {chr(u'a', 0x41)}, {"a"}},
        {"Enter Tab Backspace Escape", {chr(13, 0x0D), chr(9, 0x09), chr(8, 0x08), chr(27, 0x1B)}, {K(13), K(9), K(8), K(27)}},
        {"Ctrl+Backspace", {chr(127, 0x08)}, {K(8)}},
        {"Ctrl+S, Ctrl+C with processed input off", {chr(19, 0x53), chr(3, 0x43)}, {K(19), K(3)}},
        {"Ctrl+Z Ctrl+Y", {chr(26, 0x5A), chr(25, 0x59)}, {K(26), K(25)}},
        {"arrows", {vkey(0x26), vkey(0x28), vkey(0x25), vkey(0x27)}, {K(KEY_UP), K(KEY_DOWN), K(KEY_LEFT), K(KEY_RIGHT)}},
        {"Home End Insert Delete", {vkey(0x24), vkey(0x23), vkey(0x2D), vkey(0x2E)}, {K(KEY_HOME), K(KEY_ENDKEY), K(KEY_INSERT), K(KEY_DELETE)}},
        {"Page Up, Page Down", {vkey(0x21), vkey(0x22)}, {K(KEY_PGUP), K(KEY_PGDN)}},
        {"F1 F4 F5 F10 F11 F12", {vkey(0x70), vkey(0x73), vkey(0x74), vkey(0x79), vkey(0x7A), vkey(0x7B)},
         {K(keyfn(1)), K(keyfn(4)), K(keyfn(5)), K(keyfn(10)), K(keyfn(11)), K(keyfn(12))}},
        {"Shift and Ctrl alone", {vkey(0x10), vkey(0x11)}, {}},
        {"key up", {sconkey{false, 1, 0x41, u'a', 0}}, {}},
        {"repeat count", {sconkey{true, 3, 0x41, u'x', 0}}, {"x", "x", "x"}},
        {"Chinese, one character", {chr(u'修')}, {"修"}},
        {"surrogate pair", {chr(0xD83C), chr(0xDFB5)}, {"\xF0\x9F\x8E\xB5"}},
        {"lone high half", {chr(0xD83C), chr(u'a')}, {"\xEF\xBF\xBD", "a"}},
        {"lone low half", {chr(0xDFB5)}, {"\xEF\xBF\xBD"}},
        {"Alt+numpad text on Alt up", {sconkey{false, 1, 0x12, u'é', 0}}, {"é"}},
    };
    for (const scase& c : cases)
        EXPECT_EQ(decode(c.recs), c.want) << c.what;
}

// Mouse records: presses and releases from the change of the buttons held,
// drags from moves with one held, the wheels from the sign of their delta.
TEST(ConsoleKeys, MouseRecordsBecomeEvents)
{
    struct {
        const char* what;
        std::vector<sconmouse> recs;
        V want;
    } cases[] = {
        // button: left 0 middle 1 right 2, wheels up 4 down 5 left 6 right 7; action: press 0 release 1 drag 2 wheel 3
        {"left click", {{5, 7, 1, 0, 0}, {5, 7, 0, 0, 0}}, {"M0 0 5 7 0", "M0 1 5 7 0"}},
        {"right and middle", {{1, 2, 2, 0, 0}, {1, 2, 6, 0, 0}, {1, 2, 0, 0, 0}}, {"M2 0 1 2 0", "M1 0 1 2 0", "M2 1 1 2 0", "M1 1 1 2 0"}},
        {"drag", {{1, 1, 1, 0, 0}, {2, 1, 1, 0, 1}, {3, 1, 1, 0, 1}, {3, 1, 0, 0, 1}}, {"M0 0 1 1 0", "M0 2 2 1 0", "M0 2 3 1 0", "M0 1 3 1 0"}},
        {"moves with no button held", {{4, 4, 0, 0, 1}}, {}},
        {"double click is a press", {{1, 1, 1, 0, 0}, {1, 1, 0, 0, 0}, {1, 1, 1, 0, 2}}, {"M0 0 1 1 0", "M0 1 1 1 0", "M0 0 1 1 0"}},
        {"wheel up and down", {{3, 3, 0x00780000u, 0, 4}, {3, 3, 0xFF880000u, 0, 4}}, {"M4 3 3 3 0", "M5 3 3 3 0"}},
        {"horizontal wheel", {{3, 3, 0x00780000u, 0, 8}, {3, 3, 0xFF880000u, 0, 8}}, {"M7 3 3 3 0", "M6 3 3 3 0"}},
        {"Shift, Ctrl and Alt", {{0, 0, 1, 0x10 | 0x08 | 0x02, 0}}, {"M0 0 0 0 7"}},
        {"beyond 223 columns", {{300, 2, 1, 0, 0}}, {"M0 0 300 2 0"}},
        {"above the window", {{3, -1, 1, 0, 0}}, {}},
    };
    for (auto& c : cases) {
        sconkeys d;
        for (const sconmouse& m : c.recs)
            conmousefeed(d, m);
        EXPECT_EQ(drain(d), c.want) << c.what;
    }
}

// A Ctrl+C that came as a control event is read after the events decoded
// before it.
TEST(ConsoleKeys, CtrlCEventReadAsTheKey)
{
    sconkeys d;
    conkeyfeed(d, chr(u'a'));
    conkeyfeed(d, vkey(0x26));
    conkeyctrlc(d);
    EXPECT_EQ(drain(d), (V{"a", K(KEY_UP), K(3)}));
}

// What a sleep that Escape (or a mouse press) ends takes out of the events waiting.
TEST(ConsoleKeys, EscapeTakenOutOfWaitingKeys)
{
    auto keys = [](std::vector<sconkey> k) {
        sconkeys d;
        for (auto& r : k)
            conkeyfeed(d, r);
        return d;
    };
    struct {
        const char* what;
        sconkeys d;
        size_t from;
        bool found;
        V left;
    } cases[] = {
        {"alone", keys({chr(27)}), 0, true, {}},
        {"keys around it stay in order", keys({chr('a'), chr(27), chr('b'), chr(27)}), 0, true, {"a", "b", K(27)}},
        {"none", keys({chr('a'), vkey(0x26)}), 0, false, {"a", K(KEY_UP)}},
        {"before `from` it is not looked at", keys({chr(27), chr('a')}), 1, false, {K(27), "a"}},
    };
    for (auto& c : cases) {
        EXPECT_EQ(conkeytakeesc(c.d, c.from), c.found) << c.what;
        EXPECT_EQ(drain(c.d), c.left) << c.what;
    }
    sconkeys d = keys({chr('a')});
    conmousefeed(d, sconmouse{1, 1, 1, 0, 0});
    conmousefeed(d, sconmouse{1, 1, 0, 0, 0});
    EXPECT_TRUE(conkeytakeesc(d, 0));
    EXPECT_EQ(drain(d), (V{"a", "M0 1 1 1 0"})) << "a press ends it; its release stays";
}

} // namespace
