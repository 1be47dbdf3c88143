// SPDX-License-Identifier: MIT
// The editor's screen: frame, staff with keyboard column, scroll bars, time
// ruler, note name, notes and the cursor's column line.
#include "editor/run.h"

#include "menu/menu.h"
#include "score/ring.h"

#include "console/width.h"

#include <algorithm>

void drawframe(smenubar& bar)
{
    const int W = STARTVIEW.winleng, H = STARTVIEW.winheig;
    toolbar(bar, barreq::drawall);
    setcolor(112);
    gotoxy(0, H + 3);
    cprintf("%*s", W + 8, "");
    gotoxy(W - 7, H + 3);
    cput("|");
    gotoxy(7, H + 3);
    cput("|");
    gotoxy(23, H + 3);
    cput("|");
    setcolor(15);
    gotoxy(6, 1);
    cprintf("%*s", W, "");
    setcolor(112);
    gotoxy(0, 1);
    cput("______");
    gotoxy(W + 6, 1);
    cput("__");
    gotoxy(0, H + 2);
    cput("______");
    gotoxy(W + 6, H + 2);
    cput("__");
    gotoxy((W - 6) / 2, H + 3);
    cput(VERSIONTEXT);
    setcolor(15);
}

void drawstaff(const sview& v)
{
    const int W = v.winleng, H = v.winheig, toplo = v.toplo;
    std::string line(static_cast<size_t>(W), '_');
    gotoxy(0, 2);
    setcolor(240);
    for (int r = toplo; r < toplo + H; r++) {
        const skey& k = key[r % 14];
        if (k.rise) {
            setcolor(15);
            cput("__");
            setcolor(240);
        }
        cput(k.s);
        setcolor(rowcolor(r));
        cput(line);
        setcolor(240);
        if (k.pitch != 0 && !k.rise) {
            gotoxy(4, r - toplo + 2);
            cprintf("%d", 6 - r / 14);
        }
        gotoxy(0, r - toplo + 3);
    }
    gotoxy(W + 6, 2);
    setcolor(240);
    cput("↑");
    spgline pg = fpgline(84, toplo, H, H - 2);
    for (int i = 0; i <= H - 3; i++) {
        setcolor(i >= pg.s && i < pg.e ? 128 : 112);
        gotoxy(W + 6, i + 3);
        cput("  ");
    }
    setcolor(240);
    gotoxy(W + 6, H + 1);
    cput("↓");
    setcolor(15);
}

void drawhbar(const sview& v, int musicleng)
{
    const int W = v.winleng, H = v.winheig, leftlo = v.leftlo;
    gotoxy(6, H + 2);
    if (musicleng <= W) {
        setcolor(15);
        cput("<");
        setcolor(128);
        cput(std::string(static_cast<size_t>(W - 2), '_'));
        setcolor(15);
        cput(">");
        return;
    }
    spgline pg = fpgline(musicleng, leftlo, W, W - 2);
    setcolor(240);
    cput("<");
    for (int i = 0; i < W - 2; i++) {
        setcolor(i >= pg.s && i < pg.e ? 128 : 112);
        cput("_");
    }
    setcolor(240);
    cput(">");
    setcolor(15);
}

void drawtime(sview& v)
{
    const int W = v.winleng, H = v.winheig, leftlo = v.leftlo, mousex = v.mousex;
    stime& ttime = v.ttime;
    // The ruler: a mark "|hh:mm:ss " at every whole second.
    int base = leftlo / 10 * 10;
    std::string buf(static_cast<size_t>(W + 20), ' ');
    for (int64_t t = base; t < static_cast<int64_t>(leftlo) + W; t += 10) {
        stime T = ttrans(static_cast<int>(t));
        int sec = static_cast<int>(T.s);
        char mark[10] = {'|', static_cast<char>('0' + T.h / 10), static_cast<char>('0' + T.h % 10), ':',
                         static_cast<char>('0' + T.min / 10), static_cast<char>('0' + T.min % 10), ':',
                         static_cast<char>('0' + sec / 10), static_cast<char>('0' + sec % 10), ' '};
        std::copy(mark, mark + 10, buf.begin() + (t - base));
    }
    gotoxy(6, 1);
    setcolor(7);
    cput(std::string_view(buf).substr(static_cast<size_t>(leftlo - base), static_cast<size_t>(W)));

    ttime = ttrans(mousex);
    int sec = static_cast<int>(ttime.s), tenth = ttenth(ttime);
    if (static_cast<int64_t>(leftlo) + W - mousex > 10) {
        gotoxy(mousex - leftlo + 6, 1);
        setcolor(120);
        cput("|");
        setcolor(143);
        cprintf("%02d:%02d:%02d.%d", ttime.h, ttime.min, sec, tenth);
    } else {
        gotoxy(mousex - leftlo - 4, 1);
        setcolor(143);
        cprintf("%02d:%02d:%02d.%d", ttime.h, ttime.min, sec, tenth);
        setcolor(120);
        cput("|");
    }
    setcolor(112);
    gotoxy(8, H + 3);
    cprintf("位置:%02d:%02d:%02d.%d", ttime.h, ttime.min, sec, tenth);
    setcolor(15);
}

void drawnotename(const sview& v)
{
    setcolor(112);
    gotoxy(0, v.winheig + 3);
    cput("音符:");
    int q = v.mousey % 14;
    if (key[q].pitch == 0)
        cput("  ");
    else if (key[q].rise)
        cprintf("#%c", key[q + 1].s[3]);
    else
        cprintf(" %c", key[q].s[3]);
    setcolor(15);
}

void drawnotes(const sdoc& doc, const sview& v)
{
    const int W = v.winleng, H = v.winheig, leftlo = v.leftlo, toplo = v.toplo;
    const Ring& music = doc.music;
    const int64_t right = static_cast<int64_t>(leftlo) + W;
    // Only the notes that reach into the view are visited: the last one that
    // starts before it and those that start inside it.
    for (auto i = music.from(leftlo); i != music.end() && i->start < right; ++i) {
        const smusic& m = *i;
        if (issentinel(m))
            continue;
        int row = noterow(m);
        if (row < toplo || row >= toplo + H)
            continue;
        setcolor(15);
        int y = row - toplo;
        if (m.start >= leftlo && m.start < right) {
            gotoxy(m.start - leftlo + 6, y + 2);
            cput("*");
        }
        int64_t t = std::max<int64_t>(leftlo, static_cast<int64_t>(m.start) + 1);
        int64_t stop = std::min<int64_t>(right, static_cast<int64_t>(m.start) + m.leng);
        if (t < stop)
            gotoxy(static_cast<int>(t - leftlo) + 6, y + 2);
        for (; t < stop; t++)
            cput("-");
    }
    setcolor(15);
}

bool drawmsg(const sview& v, std::string_view msg)
{
    constexpr int AREA = 14, LEFTMOST = 24; // columns of the area; the position text ends before
    const int right = v.winleng + 8;
    const int room = right - LEFTMOST;
    std::string text(msg);
    if (strwidth(text) > room)
        text = fitwidth(text, room);
    int w = strwidth(text);
    setcolor(112);
    gotoxy(right - std::max(w, AREA), v.winheig + 3);
    cpad("", std::max(AREA - w, 0));
    cput(text);
    setcolor(15);
    return w > AREA;
}

// The cursor's column line, on every row but the one where the cursor lies
// within its note; in the menu focus not on the cursor's row either (the
// staff shows there what lies under the cursor).
void drawcolumn(const edrun& r, const sview& v)
{
    for (int row = v.toplo; row < v.toplo + v.winheig; row++) {
        if (r.here.within && row == r.here.row)
            continue;
        if (r.mousearea == focus::menu && row == v.mousey)
            continue;
        setcolor(rowcolor(row));
        gotoxy(v.mousex - v.leftlo + 6, row - v.toplo + 2);
        cput("|");
    }
    setcolor(15);
}

namespace {

// What Space would do at the cursor.
enum class spacedoes { lengthen, nothing, create };

spacedoes spaceat(const sview& v, const edrun& r)
{
    if (r.here.within && r.here.row == v.mousey)
        return spacedoes::lengthen;
    if (key[v.mousey % 14].pitch == 0 || r.here.within)
        return spacedoes::nothing;
    return spacedoes::create;
}

// The mode message, or in its place the message of the last key.
void drawmodemsg(const sview& v, const edrun& r)
{
    if (!r.msg.empty()) {
        drawmsg(v, r.msg);
        return;
    }
    static constexpr const char* texts[] = {"  修改音符长度", "不可创建新音符", "    创建新音符"};
    setcolor(112);
    gotoxy(v.winleng - 6, v.winheig + 3);
    cput(texts[static_cast<int>(spaceat(v, r))]);
    // The key is read with the message's attribute in effect: one change of
    // attribute fewer per frame.
}

} // namespace

void drawmark(const sview& v, const edrun& r)
{
    const spacedoes does = spaceat(v, r);
    unsigned short color = v.mousey % 2 == 0 ? 112 : 240;
    if (does == spacedoes::lengthen)
        color = 15;
    setcolor(color);
    gotoxy(v.mousex - v.leftlo + 6, v.mousey - v.toplo + 2);
    cput(does == spacedoes::lengthen ? "<" : does == spacedoes::nothing ? "x" : "+");
    drawmodemsg(v, r);
}

void paint(seditor& ed, const edrun& r)
{
    sview& v = ed.view;
    drawframe(ed.bar);
    drawstaff(v);
    drawhbar(v, ed.doc.musicleng);
    drawtime(v);
    drawnotename(v);
    drawnotes(ed.doc, v);
    drawselection(ed);
    drawspaninfo(ed);
    if (r.chosen != command::none)
        return; // a menu command runs over the bare frame
    if (r.playmode) {
        drawcolumn(r, v);
        playmsg(v);
        return;
    }
    drawcolumn(r, v);
    if (r.mousearea == focus::staff) {
        drawmark(v, r);
    } else {
        drawmodemsg(v, r);
        toolbar(ed.bar, barreq::open);
    }
}
