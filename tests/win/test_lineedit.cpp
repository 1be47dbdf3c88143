// The line editor of the Windows console: keys as a user types them, the text
// kept inside its field, and the field's cells given back.
#include "console/width.h"
#include "platform/win32/lineedit.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

std::deque<int> keys;
int shows = 0;
int nextkey()
{
    if (keys.empty())
        return -1;
    int k = keys.front();
    keys.pop_front();
    return k;
}
void countshow(const Grid&) { shows++; }

// Types `typed` (bytes, with 224/0 prefixes as they come) into a field that
// starts at column x of a 20-column grid.
bool typeline(const std::string& typed, std::string& out, Grid& g, int x = 5)
{
    gresize(g, 20, 3);
    gmove(g, 0, 1);
    gput(g, "label:xxxxxxxxxxxxxx");
    gmove(g, x, 1);
    g.attr = 112;
    keys.clear();
    for (unsigned char c : typed)
        keys.push_back(c);
    return lineedit(g, out, nextkey, countshow);
}

struct scase {
    const char* what;
    std::string typed;
    std::string want;
};

TEST(LineEdit, KeysEditTheLine)
{
    const scase cases[] = {
        {"plain", "song.pvx\r", "song.pvx"},
        {"Chinese", "\xE4\xB9\x90\xE8\xB0\xB1\r", "乐谱"},
        {"Backspace takes a whole wide character", "a\xE4\xB9\x90\x08" "b\r", "ab"},
        {"Left and insert", "ac\xE0\x4B" "b\r", "abc"},
        {"Home and Delete", "xab\xE0\x47\xE0\x53\r", "ab"},
        {"End", "bc\xE0\x47" "a\xE0\x4F" "d\r", "abcd"},
        {"Escape clears", "abc\x1B" "d\r", "d"},
        {"Ctrl+U clears", "abc\x15" "e\r", "e"},
        {"Ctrl+W erases a word", "one two  \x17" "three\r", "one three"},
        {"Ctrl+C and other controls dropped", "a\x03\x13\x01" "b\r", "ab"},
        {"function keys ignored", std::string("a\0\x3B" "b\r", 5), "ab"},
    };
    for (const scase& c : cases) {
        Grid g;
        std::string out;
        EXPECT_TRUE(typeline(c.typed, out, g)) << c.what;
        EXPECT_EQ(out, c.want) << c.what;
    }
}

TEST(LineEdit, FieldCellsComeBackAndLongTextScrolls)
{
    Grid g;
    std::string out;
    shows = 0;
    gresize(g, 20, 3);
    keys.clear();
    std::string typed = "0123456789abcdefghij\r";
    // Look at the field before Enter: the tail is shown, nothing outside it.
    ASSERT_TRUE(typeline(typed, out, g, 10));
    EXPECT_EQ(out, "0123456789abcdefghij");
    EXPECT_GE(shows, 21);
    EXPECT_EQ(grow(g, 1), "label:xxxxxxxxxxxxxx");
    EXPECT_EQ(g.cx, 10);
    EXPECT_EQ(g.cy, 1);
    EXPECT_EQ(g.attr, 112);

    typeline("0123456789abcdefghij", out, g, 10); // no Enter: the input ends
    EXPECT_EQ(grow(g, 1), "label:xxxxxxxxxxxxxx");
}

std::string lastfield;
void keepfield(const Grid& s) { lastfield = grow(s, 1, 10, 20); }

TEST(LineEdit, ShowsTheTailWithinTheField)
{
    Grid g;
    gresize(g, 20, 3);
    gmove(g, 10, 1);
    g.attr = 112;
    keys.clear();
    for (unsigned char c : std::string("0123456789abcdef\xE4\xB9\x90"))
        keys.push_back(c);
    std::string out;
    EXPECT_FALSE(lineedit(g, out, nextkey, keepfield));
    // Ten columns: the cursor stays in the last one, the tail before it.
    EXPECT_EQ(lastfield, "9abcdef乐 ");
    EXPECT_EQ(gcell(g, 10, 1).attr, 15);
}

} // namespace
