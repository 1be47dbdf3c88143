// SPDX-License-Identifier: MIT
// The score file codec: exact bytes, record order, and every kind of file the
// editor must refuse or repair.
#include "platform/fileio.h"
#include "score/pvx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void le(std::string& b, int v)
{
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; i++)
        b += static_cast<char>(u >> (8 * i) & 0xff);
}

std::string head(int ver = 2, int mx = 0, int my = 55, int top = 40, int left = 0, int len = 100)
{
    std::string b;
    for (int v : {ver, mx, my, top, left, len})
        le(b, v);
    return b;
}

std::string rec(int start, int leng, int heig = 3, int pitch = 1, unsigned char rise = 0, int ext = 0,
                const std::string& extbytes = "")
{
    std::string b;
    le(b, start);
    le(b, leng);
    le(b, heig);
    le(b, pitch);
    b += static_cast<char>(rise);
    le(b, ext);
    return b + extbytes;
}

std::string sent() { return rec(ENDSTART, 0, 0, 0); }
std::string endm() { return std::string(4, '\xff'); }

int at(const std::string& b, size_t off)
{
    uint32_t u = 0;
    for (int i = 0; i < 4; i++)
        u |= uint32_t(static_cast<unsigned char>(b[off + i])) << (8 * i);
    return static_cast<int32_t>(u);
}

bool same(const smusic& a, const smusic& b)
{
    return a.start == b.start && a.leng == b.leng && a.heig == b.heig && a.pitch == b.pitch && a.rise == b.rise;
}

} // namespace

TEST(PvxWrite, NewScoreIsExactly49Bytes)
{
    std::string b = pvxwrite(pvxhead{}, {SENTINEL});
    EXPECT_EQ(b, head(2, 0, 55, 40, 0, 100) + sent() + endm());
    ASSERT_EQ(b.size(), 49u);
    // Spelled out once, so that a wrong helper cannot hide a wrong layout.
    const unsigned char want[49] = {2, 0, 0, 0, 0, 0, 0, 0, 55, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0,
                                    0x80, 0xee, 0x36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(0, std::memcmp(b.data(), want, 49));
}

TEST(PvxWrite, FieldOrderAndByteOrder)
{
    pvxhead h{1, 123456, 84, 62, -7, 0x01020304};
    smusic a{0x11223344, 5, 6, 7, true}; // start, heig, pitch, leng, rise
    std::string b = pvxwrite(h, {a, SENTINEL});
    // header
    EXPECT_EQ(at(b, 0), 1);
    EXPECT_EQ(at(b, 4), 123456);
    EXPECT_EQ(at(b, 8), 84);
    EXPECT_EQ(at(b, 12), 62);
    EXPECT_EQ(at(b, 16), -7);
    EXPECT_EQ(b.substr(20, 4), std::string("\x04\x03\x02\x01", 4));
    // the back note (the sentinel) first, then a: start, leng, heig, pitch, rise, ext
    EXPECT_EQ(at(b, 24), ENDSTART);
    size_t r = 24 + 21;
    EXPECT_EQ(b.substr(r, 4), std::string("\x44\x33\x22\x11", 4));
    EXPECT_EQ(at(b, r + 4), 7);
    EXPECT_EQ(at(b, r + 8), 5);
    EXPECT_EQ(at(b, r + 12), 6);
    EXPECT_EQ(b[r + 16], 1);
    EXPECT_EQ(at(b, r + 17), 0);
    EXPECT_EQ(at(b, r + 21), -1);
    EXPECT_EQ(b.size(), r + 25);
}

TEST(PvxWrite, QueueABCIsWrittenCABAndReadsBackAsCAB)
{
    smusic a{0, 3, 1, 2, false}, b{5, 3, 2, 1, true}, c = SENTINEL;
    std::string bytes = pvxwrite(pvxhead{}, {a, b, c});
    EXPECT_EQ(at(bytes, 24), c.start);
    EXPECT_EQ(at(bytes, 45), a.start);
    EXPECT_EQ(at(bytes, 66), b.start);
    pvxscore s;
    ASSERT_EQ(pvxread(bytes, s), "");
    ASSERT_EQ(s.notes.size(), 3u);
    EXPECT_TRUE(same(s.notes[0], c));
    EXPECT_TRUE(same(s.notes[1], a));
    EXPECT_TRUE(same(s.notes[2], b));
    EXPECT_FALSE(s.changed);
    // A second round trip shifts once more and keeps the cyclic order.
    EXPECT_EQ(pvxwrite(pvxhead{}, s.notes).substr(24, 21), rec(5, 1, 3, 2, 1));
}

TEST(PvxRead, HeaderVersionExtensionAndTrailingBytes)
{
    // Another version reads with the same layout; extensions are skipped,
    // a zero-length one included; nothing after the end marker is read.
    std::string b = head(7, 1, 2, 3, 4, 5) + rec(10, 2, 4, 5, 1, 3, "xyz") + rec(20, 1, 1, 1, 0, 0) + sent() +
                    endm() + "garbage";
    pvxscore s;
    ASSERT_EQ(pvxread(b, s), "");
    EXPECT_EQ(s.head.ver, 7);
    EXPECT_EQ(s.head.mousex, 1);
    EXPECT_EQ(s.head.mousey, 2);
    EXPECT_EQ(s.head.toplo, 3);
    EXPECT_EQ(s.head.leftlo, 4);
    EXPECT_EQ(s.head.musicleng, 5);
    ASSERT_EQ(s.notes.size(), 3u);
    EXPECT_TRUE(same(s.notes[0], smusic{10, 4, 5, 2, true}));
    EXPECT_TRUE(same(s.notes[1], smusic{20, 1, 1, 1, false}));
    EXPECT_TRUE(issentinel(s.notes[2]));
}

TEST(PvxRead, AnyRotationOfTheRingIsAccepted)
{
    // Read cyclically from just after the sentinel: 0, 5, 10.
    std::string b = head() + rec(10, 2) + sent() + rec(0, 5) + rec(5, 5) + endm();
    pvxscore s;
    ASSERT_EQ(pvxread(b, s), "");
    ASSERT_EQ(s.notes.size(), 4u);
    EXPECT_EQ(s.notes[0].start, 10);
    EXPECT_EQ(s.notes[2].start, 0);
    // The last note may end exactly where the sentinel starts.
    ASSERT_EQ(pvxread(head() + rec(ENDSTART - 4, 4) + sent() + endm(), s), "");
}

TEST(PvxRead, NotesAfterTheEndAreDroppedAndReported)
{
    std::string b = head() + rec(0, 2) + rec(ENDSTART + 1, 0) + sent() + rec(2147483647, 2147483647) + endm();
    pvxscore s;
    ASSERT_EQ(pvxread(b, s), "");
    EXPECT_EQ(s.dropped, 2);
    EXPECT_TRUE(s.changed);
    ASSERT_EQ(s.notes.size(), 2u);
    EXPECT_EQ(s.notes[0].start, 0);
    EXPECT_TRUE(issentinel(s.notes[1]));
}

TEST(PvxRead, SentinelAndRiseAreNormalised)
{
    pvxscore s;
    ASSERT_EQ(pvxread(head() + rec(ENDSTART, 0, 5, 6, 1) + endm(), s), "");
    EXPECT_TRUE(issentinel(s.notes[0]));
    EXPECT_TRUE(s.changed);
    ASSERT_EQ(pvxread(head() + rec(0, 1, 3, 1, 9) + sent() + endm(), s), "");
    EXPECT_TRUE(s.notes[0].rise);
    EXPECT_TRUE(s.changed);
}

TEST(PvxRead, RefusesEveryFileTheEditorCannotHold)
{
    const std::string ok = head() + rec(0, 4) + rec(5, 1) + sent() + endm();
    struct bad {
        const char* what;
        std::string bytes;
    };
    std::vector<bad> cases = {
        {"empty", ""},
        {"inside the header", head().substr(0, 23)},
        {"header only", head()},
        {"no end marker", head() + rec(0, 4) + sent()},
        {"end marker cut short", head() + sent() + endm().substr(0, 3)},
        {"inside a record", head() + rec(0, 4) + sent().substr(0, 20)},
        {"negative extension", head() + rec(0, 4, 3, 1, 0, -1) + sent() + endm()},
        {"extension past the end", head() + rec(0, 4, 3, 1, 0, 30) + sent() + endm()},
        {"huge extension", head() + rec(0, 4, 3, 1, 0, 0x7fffffff) + sent() + endm()},
        {"no sentinel", head() + rec(0, 4) + endm()},
        {"no notes at all", head() + endm()},
        {"second sentinel", head() + sent() + rec(0, 1) + sent() + endm()},
        {"sentinel start with a length", head() + rec(ENDSTART, 1) + endm()},
        {"out of order", head() + rec(5, 1) + rec(0, 4) + sent() + endm()},
        {"same start twice", head() + rec(0, 1) + rec(0, 1) + sent() + endm()},
        {"overlapping", head() + rec(0, 6) + rec(5, 1) + sent() + endm()},
        {"overlapping the sentinel", head() + rec(ENDSTART - 1, 2) + sent() + endm()},
        {"overlap overflowing 32 bits", head() + rec(3599999, 2147483647) + sent() + endm()},
        {"order broken across the wrap", head() + rec(5, 1) + sent() + rec(4, 3) + endm()},
        {"length 0", head() + rec(0, 0) + sent() + endm()},
        {"negative length", head() + rec(0, -3) + sent() + endm()},
        {"negative start", head() + rec(-5, 1) + sent() + endm()},
        {"most negative start", head() + rec(INT32_MIN, 1) + sent() + endm()},
    };
    for (const bad& c : cases) {
        pvxscore s;
        s.head.ver = 99;
        s.notes = {smusic{1, 1, 1, 1, false}};
        EXPECT_NE(pvxread(c.bytes, s), "") << c.what;
        EXPECT_EQ(s.head.ver, 99) << c.what << ": the output was touched";
        EXPECT_EQ(s.notes.size(), 1u) << c.what;
    }
    // Every strict prefix of a good file is refused too.
    pvxscore s;
    ASSERT_EQ(pvxread(ok, s), "");
    for (size_t n = 0; n < ok.size(); n++)
        EXPECT_NE(pvxread(ok.substr(0, n), s), "") << "prefix of " << n << " bytes";
}

TEST(PvxRead, RecordCountLimit)
{
    // 3600001 records is the most a score can hold; one more is refused
    // before anything else is looked at.
    std::string one = rec(ENDSTART + 5, 1);
    std::string b = head();
    b.reserve(24 + 21 * (PVXMAXREC + 2) + 4);
    b += sent();
    for (int64_t i = 1; i < PVXMAXREC; i++)
        b += one;
    pvxscore s;
    EXPECT_EQ(pvxread(b + endm(), s), "");
    EXPECT_EQ(s.dropped, PVXMAXREC - 1);
    b += one;
    EXPECT_EQ(pvxread(b + endm(), s), "more notes than a score can hold");
}

TEST(PvxClamp, HeaderValuesAreBroughtIntoTheEditorsRanges)
{
    pvxhead h{2, -3, 200, -5, 4000000, 5};
    EXPECT_TRUE(pvxclamp(h, 23, 100));
    EXPECT_EQ(h.mousex, 0);
    EXPECT_EQ(h.mousey, 84);
    EXPECT_EQ(h.toplo, 0);
    EXPECT_EQ(h.leftlo, ENDSTART - 100);
    EXPECT_EQ(h.musicleng, 5);

    h = {2, 2147483647, -1, 70, -1, -100};
    pvxclamp(h, 23, 100);
    EXPECT_EQ(h.mousex, MAXCOL);
    EXPECT_EQ(h.mousey, 0);
    EXPECT_EQ(h.toplo, 62); // the view's last row is the staff's last row
    EXPECT_EQ(h.leftlo, 0);
    EXPECT_EQ(h.musicleng, MAXCOL); // never shorter than the cursor column

    h = {2, 10, 55, 40, 0, 2147483647};
    pvxclamp(h, 23, 100);
    EXPECT_EQ(h.musicleng, MAXCOL);

    pvxhead good{2, 150, 55, 40, 51, 150};
    pvxhead g = good;
    EXPECT_FALSE(pvxclamp(g, 23, 100));
    EXPECT_EQ(g.mousex, 150);
    EXPECT_EQ(g.leftlo, 51);
    EXPECT_EQ(g.musicleng, 150);
}

TEST(ReadWhole, RegularFilesOnly)
{
    char dir[] = "/tmp/pvxreadXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string d = dir;
    std::string bytes = "keep", err;
    EXPECT_FALSE(readwhole(d + "/missing", bytes, &err));
    EXPECT_FALSE(readwhole("", bytes, &err));
    EXPECT_FALSE(readwhole(d, bytes, &err)); // a folder
    EXPECT_EQ(err, "not a regular file");
    ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readwhole(d + "/fifo", bytes, &err)); // returns at once, no writer needed
    EXPECT_EQ(bytes, "keep");

    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<char>(i * 7);
    FILE* f = std::fopen((d + "/f").c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    ASSERT_TRUE(readwhole(d + "/f", bytes));
    EXPECT_EQ(bytes, data);
    EXPECT_FALSE(readwhole(d + "/f", bytes, &err, 99999));
    EXPECT_EQ(err, "file too large");
    std::filesystem::remove_all(d);
}
