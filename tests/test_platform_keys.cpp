// SPDX-License-Identifier: MIT
// The input decoder: terminal bytes in, events out, with a scripted
// byte source and clock.
#include "console/console.h"
#include "widgets/lineedit.h"
#include "platform/keys.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <string>
#include <vector>

namespace {

// A script of input: bytes, pauses and interruptions. The clock only moves
// when the decoder waits through a pause.
struct script {
    struct ev {
        int kind; // 0 byte, 1 pause, 2 interruption
        int v;
    };
    std::vector<ev> evs;
    size_t pos = 0;
    int64_t now = 1000;
    int reads = 0;

    script& bytes(const std::string& s)
    {
        for (unsigned char c : s)
            evs.push_back({0, c});
        return *this;
    }
    script& pause(int ms)
    {
        evs.push_back({1, ms});
        return *this;
    }
    script& interrupt()
    {
        evs.push_back({2, 0});
        return *this;
    }
};

int scriptget(void* ctx, int waitms)
{
    auto& s = *static_cast<script*>(ctx);
    s.reads++;
    for (;;) {
        if (s.pos == s.evs.size())
            return KB_END;
        script::ev& e = s.evs[s.pos];
        if (e.kind == 0) {
            s.pos++;
            return e.v;
        }
        if (e.kind == 2) {
            s.pos++;
            return KB_NONE;
        }
        if (waitms < 0 || waitms >= e.v) {
            s.now += e.v;
            s.pos++;
            continue;
        }
        s.now += waitms;
        e.v -= waitms;
        return KB_NONE;
    }
}

int64_t scriptclock(void* ctx) { return static_cast<script*>(ctx)->now; }

// A key as a word: "#" and its code (appended: GCC 12 warns wrongly on "#" + s).
std::string K(int code)
{
    std::string s(1, '#');
    s += std::to_string(code);
    return s;
}

// An event as a word: a key "#code", a character its text, a mouse report
// "M button action x y mods", a paste "P:text", nothing "none".
std::string word(const sevent& e)
{
    switch (e.kind) {
    case evkind::key: return K(e.key);
    case evkind::chr: return e.text;
    case evkind::paste: return std::string("P:").append(e.text);
    case evkind::mouse:
    {
        std::string s(1, 'M');
        for (int n : {static_cast<int>(e.mouse.button), static_cast<int>(e.mouse.action), e.mouse.x, e.mouse.y, static_cast<int>(e.mouse.mods)})
            (s += std::to_string(n)) += ' ';
        s.pop_back();
        return s;
    }
    case evkind::none: return "none";
    default: return "?";
    }
}

keydec decoder(script& s)
{
    keydec d;
    d.get = scriptget;
    d.clock = scriptclock;
    d.ctx = &s;
    return d;
}

using V = std::vector<std::string>;

// Every event the decoder gives until the input ends (nothing included, as
// the terminal layer would see it).
V codes(script& s, int limit = 100)
{
    keydec d = decoder(s);
    V out;
    for (int i = 0; i < limit; i++) {
        sevent e = keyread(d);
        if (e.kind == evkind::end)
            break;
        out.push_back(word(e));
    }
    return out;
}

V codes(const std::string& bytes)
{
    script s;
    s.bytes(bytes);
    return codes(s);
}


} // namespace

TEST(KeyDecoder, PlainKeysAndCharacters)
{
    EXPECT_EQ(codes("aZ9 "), (V{"a", "Z", "9", " "}));
    EXPECT_EQ(codes("\r\n\t"), (V{K(13), K(10), K(9)}));
    EXPECT_EQ(codes("\x7f\b"), (V{K(8), K(8)}));
    EXPECT_EQ(codes("\x13\x03\x1a\x11"), (V{K(19), K(3), K(26), K(17)})); // Ctrl+S, C, Z, Q
    // A UTF-8 character is one event, whatever its first byte.
    EXPECT_EQ(codes("音\xE0\xA4\x85" "é"), (V{"音", "\xE0\xA4\x85", "é"}));
    // Bytes that are not UTF-8 come as typed, each broken character alone.
    EXPECT_EQ(codes("\xFF\xE9\x9Fx\xC3"), (V{"\xFF", "\xE9\x9F", "x", "\xC3"}));
}

TEST(KeyDecoder, NamedKeysInEveryForm)
{
    struct {
        const char* seq;
        int key;
    } table[] = {
        {"\x1b[A", KEY_UP},     {"\x1b[B", KEY_DOWN},   {"\x1b[D", KEY_LEFT},   {"\x1b[C", KEY_RIGHT},
        {"\x1bOA", KEY_UP},     {"\x1bOB", KEY_DOWN},   {"\x1bOD", KEY_LEFT},   {"\x1bOC", KEY_RIGHT},
        {"\x1b[H", KEY_HOME},   {"\x1bOH", KEY_HOME},   {"\x1b[1~", KEY_HOME},  {"\x1b[7~", KEY_HOME},
        {"\x1b[F", KEY_ENDKEY}, {"\x1bOF", KEY_ENDKEY}, {"\x1b[4~", KEY_ENDKEY}, {"\x1b[8~", KEY_ENDKEY},
        {"\x1b[2~", KEY_INSERT}, {"\x1b[3~", KEY_DELETE}, {"\x1b[5~", KEY_PGUP}, {"\x1b[6~", KEY_PGDN},
        {"\x1bOP", keyfn(1)},   {"\x1bOQ", keyfn(2)},   {"\x1bOR", keyfn(3)},   {"\x1bOS", keyfn(4)},
        {"\x1b[11~", keyfn(1)}, {"\x1b[12~", keyfn(2)}, {"\x1b[13~", keyfn(3)}, {"\x1b[14~", keyfn(4)},
        {"\x1b[[A", keyfn(1)},  {"\x1b[[B", keyfn(2)},  {"\x1b[[C", keyfn(3)},  {"\x1b[[D", keyfn(4)},
        {"\x1b[[E", keyfn(5)},  {"\x1b[15~", keyfn(5)}, {"\x1b[17~", keyfn(6)}, {"\x1b[18~", keyfn(7)},
        {"\x1b[19~", keyfn(8)}, {"\x1b[20~", keyfn(9)}, {"\x1b[21~", keyfn(10)}, {"\x1b[23~", keyfn(11)},
        {"\x1b[24~", keyfn(12)},
    };
    for (auto& t : table)
        EXPECT_EQ(codes(std::string(t.seq) + "x"), (V{K(t.key), "x"})) << "sequence ESC" << (t.seq + 1);
}

TEST(KeyDecoder, UnknownSequencesAreConsumedWhole)
{
    // Modified cursor keys, unknown numbers, SS3 with parameters, a focus
    // report: none leaves a byte behind.
    for (const char* seq : {"\x1b[1;5A", "\x1b[99~", "\x1b[25~", "\x1bO2P", "\x1b[I", "\x1b[?1;2c", "\x1b[[Z",
                            "\x1b[99999999999999999~"})
        EXPECT_EQ(codes(std::string(seq) + "a"), V{"a"}) << (seq + 1);
}

TEST(KeyDecoder, MouseReports)
{
    struct {
        const char* seq;
        const char* want;
    } table[] = {
        // button action x y mods: left 0 middle 1 right 2 none 3, wheels 4-7; press 0 release 1 drag 2 wheel 3
        {"\x1b[<0;1;1M", "M0 0 0 0 0"},       {"\x1b[<0;10;5m", "M0 1 9 4 0"},
        {"\x1b[<2;3;4M", "M2 0 2 3 0"},       {"\x1b[<1;3;4M", "M1 0 2 3 0"},
        {"\x1b[<32;7;8M", "M0 2 6 7 0"},      {"\x1b[<35;7;8M", "M3 2 6 7 0"}, // drag with no button: motion
        {"\x1b[<64;5;5M", "M4 3 4 4 0"},      {"\x1b[<65;5;5M", "M5 3 4 4 0"},
        {"\x1b[<66;5;5M", "M6 3 4 4 0"},      {"\x1b[<67;5;5M", "M7 3 4 4 0"},
        {"\x1b[<68;5;5M", "M4 3 4 4 1"},      {"\x1b[<16;2;2M", "M0 0 1 1 4"}, {"\x1b[<8;2;2M", "M0 0 1 1 2"},
        {"\x1b[<0;300;2M", "M0 0 299 1 0"},   {"\x1b[<0;100000;2M", "M0 0 99999 1 0"}, // beyond 223 columns
    };
    for (auto& t : table)
        EXPECT_EQ(codes(std::string(t.seq) + "x"), (V{t.want, "x"})) << (t.seq + 1);
}

TEST(KeyDecoder, MalformedMouseReportsLeaveNothing)
{
    // Never drawn, never keys: each is consumed whole and the next key read.
    const std::string bad[] = {
        "\x1b[<0;1M", "\x1b[<0;1;1;1M", "\x1b[<;1;1M", "\x1b[<0;;1M", "\x1b[<0;1;M", "\x1b[<0;0;1M", "\x1b[<0;1;0M",
        "\x1b[<0;100001;1M", "\x1b[<256;1;1M", "\x1b[<0;1;1X", "\x1b[<64;1;1m", "\x1b[<128;1;1M", "\x1b[<3;1;1M",
        "\x1b[<0:1;1;1M", "\x1b[<-1;1;1M", "\x1b[<" + std::string(300, '9') + ";1;1M",
        "\x1b[<0;1;1" + std::string(SEQMAX, ';') + "M", "\x1b[<99999999999999999999;1;1M",
    };
    for (const std::string& seq : bad)
        EXPECT_EQ(codes(seq + "a"), V{"a"}) << seq.substr(1, 40);
    // Cut by a control byte: the report is dropped, the byte is a key.
    EXPECT_EQ(codes("\x1b[<0;5\r"), V{K(13)});
    EXPECT_EQ(codes("\x1b[<0;5"), V{});
}

TEST(KeyDecoder, BracketedPasteIsOneEvent)
{
    EXPECT_EQ(codes("\x1b[200~abc\x1b[201~x"), (V{"P:abc", "x"}));
    EXPECT_EQ(codes("\x1b[200~a\x1b[20b\x1b\x1b[201~"), (V{"P:a\x1b[20b\x1b"}));
    EXPECT_EQ(codes("\x1b[200~\r\n\x1b[A音\x1b[201~"), (V{"P:\r\n\x1b[A音"}));
    EXPECT_EQ(codes("\x1b[200~unended"), (V{"P:unended"}));
    script s; // past PASTEMAX bytes the rest is read and dropped
    s.bytes("\x1b[200~" + std::string(PASTEMAX + 10, 'z') + "\x1b[201~y");
    V got = codes(s);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), PASTEMAX + 2);
    EXPECT_EQ(got[1], "y");
}

TEST(KeyDecoder, EscapeAloneWaitsFiftyMilliseconds)
{
    struct {
        script s;
        V want;
    } cases[] = {
        {script().bytes("\x1b").pause(1000).bytes("a"), {K(27), "a"}},              // nothing follows
        {script().bytes("\x1b").pause(60).bytes("[A"), {K(27), "[", "A"}},          // too late for a sequence
        {script().bytes("\x1b").pause(45).bytes("[A"), {K(KEY_UP)}},                // within 50 ms
        {script().bytes("\x1b").pause(30).interrupt().pause(30).bytes("[A"), {K(27), "[", "A"}}, // a signal does not restart the wait
        {script().bytes("\x1b").pause(20).interrupt().pause(20).bytes("OP"), {K(keyfn(1))}},     // nor cut it short
        {script().bytes("\x1b[").pause(5000).bytes("1").interrupt().pause(5000).bytes("5~"), {K(keyfn(5))}}, // the rest of a sequence may be late
    };
    for (auto& c : cases)
        EXPECT_EQ(codes(c.s), c.want);
}

TEST(KeyDecoder, EscapeFollowedByOtherBytes)
{
    EXPECT_EQ(codes("\x1bx"), (V{K(27), "x"}));                // Alt+x
    EXPECT_EQ(codes("\x1b\x1b[A"), (V{K(27), K(KEY_UP)}));     // Escape, then Up
    EXPECT_EQ(codes("\x1b\x1b"), (V{K(27), K(27)}));
    EXPECT_EQ(codes("\x1b\x7f"), (V{K(27), K(8)}));
    // A control byte cuts a sequence: the sequence is dropped, the byte is a key.
    EXPECT_EQ(codes("\x1b[1\x03x"), (V{K(3), "x"}));
    EXPECT_EQ(codes("\x1b[2\x1b[B"), (V{K(KEY_DOWN)}));
}

TEST(KeyDecoder, EndOfInputNeverSpins)
{
    keydec d; // no source at all
    EXPECT_EQ(keyread(d).kind, evkind::end);
    EXPECT_EQ(keyread(d).kind, evkind::end);
    EXPECT_EQ(codes("\x1b"), V{K(27)}); // Escape, then the end
    EXPECT_EQ(codes("\x1b["), V{});     // an unfinished sequence is not a key
    EXPECT_EQ(codes("\x1b[12"), V{});
    EXPECT_EQ(codes(script().interrupt().bytes("a")), (V{"none", "a"})); // an interrupted wait reads nothing
}

TEST(KeyDecoder, ClearDropsHeldInput)
{
    script s;
    s.bytes("\x1bxy\x1b[B");
    keydec d = decoder(s);
    EXPECT_EQ(word(keyread(d)), K(27));
    EXPECT_EQ(d.held, "x");
    keyclear(d);
    EXPECT_EQ(word(keyread(d)), "y");
    EXPECT_EQ(word(keyread(d)), K(KEY_DOWN));
    EXPECT_EQ(keyread(d).kind, evkind::end);
}

// A line typed at the terminal: its bytes through the decoder into the line
// editor. "<end>" when the input ended before Enter.
static keydec typingdec;
static std::string typedline(const std::string& bytes)
{
    script s;
    s.bytes(bytes);
    typingdec = keydec{};
    typingdec.get = scriptget;
    typingdec.clock = scriptclock;
    typingdec.ctx = &s;
    conio old = scr.io;
    scr.io = conio{};
    scr.io.event = [] { return keyread(typingdec); };
    cls();
    gotoxy(10, 5);
    std::string line;
    bool entered = getline(line, 20);
    scr.io = old;
    return entered ? line : "<end>";
}

TEST(TypedLine, ControlCharactersAndKeySequencesAreDropped)
{
    struct {
        const char* bytes;
        const char* line;
    } cases[] = {
        {"abc\r", "abc"},
        {"a\x03" "b\tc\x7f\r", "ab"},          // Ctrl+C and Tab dropped; DEL is Backspace
        {"歌\x1b[D曲\x1bOP!\r", "曲!歌"},       // Left moves; F1 is dropped
        {"x\x1b[1;5Cy\x1b[[Az\r", "xyz"},      // Ctrl+Right and the Linux console's F1
        {"a\xC2\x85" "b\xC2\x9B" "2J\r", "ab2J"}, // C1 NEL and CSI
        {"caf\xC3\xA9 \xE2\x86\x91\r", "caf\xC3\xA9 \xE2\x86\x91"},
        {"\xE0\xA4\x85\r", "\xE0\xA4\x85"},      // starts with 224, a character like any
        {"a\x1b[200~b\rc\x1b[Ad\x1b[201~e\r", "abc[Ade"}, // a paste: its controls dropped, Esc and all
        {"bad\xFF\xFE" "bytes\r", "bad\xFF\xFE" "bytes"}, // stored unchanged
        {"abc\x1b[H\x1b[3~\x1b[F!\r", "bc!"},   // Home, Delete, End
        {"old\x1bnew\r", "new"},                // Esc clears, the byte after it is typed
        {"\x1b", "<end>"},
        {"end\x1b[", "<end>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(typedline(c.bytes), c.line) << c.bytes;
}

namespace {

// ESC [, `n` parameter bytes, a final byte and the key 'x', made as they are
// read; halfway through it notes how much heap the decoder holds.
struct floodsource {
    size_t n, pos = 0;
    size_t heapat = 0, heaphalf = 0;
};

size_t heapinuse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd; // small blocks and mapped ones
#else
    return 0;
#endif
}

int floodget(void* ctx, int)
{
    auto& f = *static_cast<floodsource*>(ctx);
    size_t i = f.pos++;
    if (i == 0) {
        f.heapat = heapinuse();
        return 0x1b;
    }
    if (i == 1)
        return '[';
    if (i - 2 == f.n / 2)
        f.heaphalf = heapinuse();
    if (i - 2 < f.n)
        return '1';
    if (i - 2 == f.n)
        return '~';
    if (i - 2 == f.n + 1)
        return 'x';
    return KB_END;
}

} // namespace

TEST(KeyDecoder, OverlongSequenceIsReadToItsEndAndDropped)
{
    floodsource f{2000000};
    keydec d;
    d.get = floodget;
    d.clock = [](void*) -> int64_t { return 0; };
    d.ctx = &f;
    EXPECT_EQ(word(keyread(d)), "x");
    EXPECT_EQ(f.pos, f.n + 4); // every byte was consumed
    EXPECT_LT(f.heaphalf - f.heapat, 4096u) << "the decoder kept the parameter bytes";

    // A sequence of SEQMAX bytes is still a key; one byte more is dropped.
    auto insertkey = [](size_t total) { return "\x1b[" + std::string(total - 4, '0') + "2~y"; };
    EXPECT_EQ(codes(insertkey(SEQMAX)), (V{K(KEY_INSERT), "y"}));
    EXPECT_EQ(codes(insertkey(SEQMAX + 1)), V{"y"});
}
