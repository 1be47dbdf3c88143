// SPDX-License-Identifier: MIT
// The key decoder: terminal bytes in, _getch codes out, with a scripted
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

// Every code the decoder gives until the input ends (KEY_NONE included, as
// the terminal layer would see it).
std::vector<int> codes(script& s, int limit = 100)
{
    keydec d;
    d.get = scriptget;
    d.clock = scriptclock;
    d.ctx = &s;
    std::vector<int> out;
    for (int i = 0; i < limit; i++) {
        int c = keyread(d);
        if (c == KEY_END)
            break;
        out.push_back(c);
    }
    return out;
}

std::vector<int> codes(const std::string& bytes)
{
    script s;
    s.bytes(bytes);
    return codes(s);
}

using V = std::vector<int>;

} // namespace

TEST(KeyDecoder, PlainKeysAreTheirBytes)
{
    EXPECT_EQ(codes("aZ9 "), (V{'a', 'Z', '9', ' '}));
    EXPECT_EQ(codes("\r"), V{13});
    EXPECT_EQ(codes("\n"), V{10});
    EXPECT_EQ(codes("\t"), V{9});
    EXPECT_EQ(codes("\x7f\b"), (V{8, 8}));
    EXPECT_EQ(codes("\x13\x03\x1a\x11"), (V{19, 3, 26, 17})); // Ctrl+S, C, Z, Q
    // Typed UTF-8 passes through byte by byte.
    EXPECT_EQ(codes("音"), (V{0xE9, 0x9F, 0xB3}));
}

TEST(KeyDecoder, CursorAndEditingKeys)
{
    struct {
        const char* seq;
        V want;
    } table[] = {
        {"\x1b[A", {224, 72}},  {"\x1b[B", {224, 80}},  {"\x1b[D", {224, 75}},  {"\x1b[C", {224, 77}},
        {"\x1bOA", {224, 72}},  {"\x1bOB", {224, 80}},  {"\x1bOD", {224, 75}},  {"\x1bOC", {224, 77}},
        {"\x1b[H", {224, 71}},  {"\x1bOH", {224, 71}},  {"\x1b[1~", {224, 71}}, {"\x1b[7~", {224, 71}},
        {"\x1b[F", {224, 79}},  {"\x1bOF", {224, 79}},  {"\x1b[4~", {224, 79}}, {"\x1b[8~", {224, 79}},
        {"\x1b[2~", {224, 82}}, {"\x1b[3~", {224, 83}}, {"\x1b[5~", {224, 73}}, {"\x1b[6~", {224, 81}},
    };
    for (auto& t : table)
        EXPECT_EQ(codes(t.seq), t.want) << "sequence ESC" << (t.seq + 1);
}

TEST(KeyDecoder, FunctionKeysInEveryForm)
{
    struct {
        const char* seq;
        V want;
    } table[] = {
        {"\x1bOP", {0, 59}},    {"\x1bOQ", {0, 60}},    {"\x1bOR", {0, 61}},    {"\x1bOS", {0, 62}},
        {"\x1b[11~", {0, 59}},  {"\x1b[12~", {0, 60}},  {"\x1b[13~", {0, 61}},  {"\x1b[14~", {0, 62}},
        {"\x1b[[A", {0, 59}},   {"\x1b[[B", {0, 60}},   {"\x1b[[C", {0, 61}},   {"\x1b[[D", {0, 62}},
        {"\x1b[[E", {0, 63}},   {"\x1b[15~", {0, 63}},  {"\x1b[17~", {0, 64}},  {"\x1b[18~", {0, 65}},
        {"\x1b[19~", {0, 66}},  {"\x1b[20~", {0, 67}},  {"\x1b[21~", {0, 68}},  {"\x1b[23~", {224, 133}},
        {"\x1b[24~", {224, 134}},
    };
    for (auto& t : table)
        EXPECT_EQ(codes(t.seq), t.want) << "sequence ESC" << (t.seq + 1);
}

TEST(KeyDecoder, PrefixAndCodeAreTwoReads)
{
    // The prefix costs one read, the code the next; nothing else is read in
    // between, and the following key is untouched.
    script s;
    s.bytes("\x1b[Ax");
    keydec d;
    d.get = scriptget;
    d.clock = scriptclock;
    d.ctx = &s;
    EXPECT_EQ(keyread(d), 224);
    int reads = s.reads;
    EXPECT_EQ(keyread(d), 72);
    EXPECT_EQ(s.reads, reads);
    EXPECT_EQ(keyread(d), 'x');
    EXPECT_EQ(keyread(d), KEY_END);
}

TEST(KeyDecoder, UnknownSequencesAreConsumedWhole)
{
    // Modified cursor keys, bracketed paste markers, unknown numbers, SS3
    // with parameters, a focus report: none leaves a byte behind.
    EXPECT_EQ(codes("\x1b[1;5Aa"), V{'a'});
    EXPECT_EQ(codes("\x1b[200~b"), V{'b'});
    EXPECT_EQ(codes("\x1b[99~c"), V{'c'});
    EXPECT_EQ(codes("\x1b[25~d"), V{'d'});
    EXPECT_EQ(codes("\x1bO2Pe"), V{'e'});
    EXPECT_EQ(codes("\x1b[If"), V{'f'});
    EXPECT_EQ(codes("\x1b[?1;2cg"), V{'g'});
    EXPECT_EQ(codes("\x1b[[Zh"), V{'h'});
    EXPECT_EQ(codes("\x1b[99999999999999999~i"), V{'i'});
}

TEST(KeyDecoder, EscapeAloneWaitsFiftyMilliseconds)
{
    {
        script s; // nothing follows: Escape after 50 ms
        s.bytes("\x1b").pause(1000).bytes("a");
        EXPECT_EQ(codes(s), (V{27, 'a'}));
    }
    {
        script s; // '[' arriving after 60 ms is a key of its own
        s.bytes("\x1b").pause(60).bytes("[A");
        EXPECT_EQ(codes(s), (V{27, '[', 'A'}));
    }
    {
        script s; // within 50 ms it starts a sequence
        s.bytes("\x1b").pause(45).bytes("[A");
        EXPECT_EQ(codes(s), (V{224, 72}));
    }
    {
        script s; // a signal during the wait does not restart the 50 ms
        s.bytes("\x1b").pause(30).interrupt().pause(30).bytes("[A");
        EXPECT_EQ(codes(s), (V{27, '[', 'A'}));
    }
    {
        script s; // nor cut it short
        s.bytes("\x1b").pause(20).interrupt().pause(20).bytes("OP");
        EXPECT_EQ(codes(s), (V{0, 59}));
    }
}

TEST(KeyDecoder, EscapeFollowedByOtherBytes)
{
    EXPECT_EQ(codes("\x1bx"), (V{27, 'x'}));              // Alt+x
    EXPECT_EQ(codes("\x1b\x1b[A"), (V{27, 224, 72}));     // Escape, then Up
    EXPECT_EQ(codes("\x1b\x1b"), (V{27, 27}));
    EXPECT_EQ(codes("\x1b\x7f"), (V{27, 8}));
}

TEST(KeyDecoder, LateRestOfSequence)
{
    script s; // once ESC [ arrived, the rest may come seconds later
    s.bytes("\x1b[").pause(5000).bytes("1").interrupt().pause(5000).bytes("5~");
    EXPECT_EQ(codes(s), (V{0, 63}));
}

TEST(KeyDecoder, ControlByteCutsASequence)
{
    // The broken sequence is dropped; the control byte is a key.
    EXPECT_EQ(codes("\x1b[1\x03x"), (V{3, 'x'}));
    EXPECT_EQ(codes("\x1b[2\x1b[B"), (V{224, 80}));
}

TEST(KeyDecoder, EndOfInputNeverSpins)
{
    keydec d; // no source at all
    EXPECT_EQ(keyread(d), KEY_END);
    EXPECT_EQ(keyread(d), KEY_END);
    EXPECT_EQ(codes("\x1b"), V{27});   // Escape, then the end
    EXPECT_EQ(codes("\x1b["), V{});    // an unfinished sequence is not a key
    EXPECT_EQ(codes("\x1b[12"), V{});

    script s; // an interrupted wait for a key says so and reads nothing
    s.interrupt().bytes("a");
    EXPECT_EQ(codes(s), (V{KEY_NONE, 'a'}));
}

TEST(KeyDecoder, ClearDropsHeldInput)
{
    script s;
    s.bytes("\x1bxy\x1b[B");
    keydec d;
    d.get = scriptget;
    d.clock = scriptclock;
    d.ctx = &s;
    EXPECT_EQ(keyread(d), 27);
    EXPECT_EQ(d.held, "x");
    keyclear(d);
    EXPECT_EQ(keyread(d), 'y');
    EXPECT_EQ(keyread(d), 224);
    keyclear(d);
    EXPECT_EQ(keyread(d), KEY_END);
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
    scr.io.key = [] { return keyread(typingdec); };
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
        {"\xE0\xA4\x85\r", "\xE0\xA4\x85"},      // starts with 224, yet a character
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
    EXPECT_EQ(keyread(d), 'x');
    EXPECT_EQ(f.pos, f.n + 4); // every byte was consumed
    EXPECT_LT(f.heaphalf - f.heapat, 4096u) << "the decoder kept the parameter bytes";

    // A sequence of SEQMAX bytes is still a key; one byte more is dropped.
    auto insertkey = [](size_t total) { return "\x1b[" + std::string(total - 4, '0') + "2~y"; };
    EXPECT_EQ(codes(insertkey(SEQMAX)), (V{224, 82, 'y'}));
    EXPECT_EQ(codes(insertkey(SEQMAX + 1)), V{'y'});
}
