// The editor's screen: frame, staff with keyboard column, scroll bars, time
// ruler, note name, notes and the cursor's column line.
#include "editor/editor.h"
#include "editor/run.h"
#include "score/ring.h"
#include "menu/menu.h"

#include <algorithm>

int winheig = 23;
int winleng = 100;
int toplo = 40;
int leftlo = 0;
int mousex = 0;
int mousey = 55;
int musicleng = 100;
stime ttime;
splay play;

void resetview()
{
    winheig = 23;
    winleng = 100;
    toplo = 40;
    leftlo = 0;
    mousex = 0;
    mousey = 55;
    musicleng = 100;
    ttime = stime{};
}

void cellset::add(int x, int y)
{
    size_t n = static_cast<size_t>(winleng) * static_cast<size_t>(winheig);
    if (marked.size() != n)
        marked.assign(n, 0);
    if (x < 0 || y < 0 || x >= winleng || y >= winheig)
        return;
    auto& m = marked[static_cast<size_t>(y) * static_cast<size_t>(winleng) + static_cast<size_t>(x)];
    if (!m) {
        m = 1;
        cells.push_back(location{x, y});
    }
}

bool cellset::has(int x, int y) const
{
    if (x < 0 || y < 0 || x >= winleng || y >= winheig || marked.empty())
        return false;
    return marked[static_cast<size_t>(y) * static_cast<size_t>(winleng) + static_cast<size_t>(x)] != 0;
}

void cellset::reset()
{
    for (const location& c : cells)
        marked[static_cast<size_t>(c.y) * static_cast<size_t>(winleng) + static_cast<size_t>(c.x)] = 0;
    cells.clear();
}

void clearcell(int x, int y)
{
    setcolor(rowcolor(toplo + y));
    gotoxy(x + 6, y + 2);
    cput("_");
}

void drawframe()
{
    const int W = winleng, H = winheig;
    toolbar(-2);
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

void drawstaff()
{
    const int W = winleng, H = winheig;
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

void drawhbar()
{
    const int W = winleng, H = winheig;
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

void drawtime()
{
    const int W = winleng, H = winheig;
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

void drawnotename()
{
    setcolor(112);
    gotoxy(0, winheig + 3);
    cput("音符:");
    int q = mousey % 14;
    if (key[q].pitch == 0)
        cput("  ");
    else if (key[q].rise)
        cprintf("#%c", key[q + 1].s[3]);
    else
        cprintf(" %c", key[q].s[3]);
    setcolor(15);
}

void clearcells(cellset& cs)
{
    for (const location& c : cs.cells)
        clearcell(c.x, c.y);
    cs.reset();
}

void drawnotes(edrun& r)
{
    const int W = winleng, H = winheig;
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
            r.replo.add(m.start - leftlo, y);
        }
        int64_t t = std::max<int64_t>(leftlo, static_cast<int64_t>(m.start) + 1);
        int64_t stop = std::min<int64_t>(right, static_cast<int64_t>(m.start) + m.leng);
        if (t < stop)
            gotoxy(static_cast<int>(t - leftlo) + 6, y + 2);
        for (; t < stop; t++) {
            cput("-");
            r.replo.add(static_cast<int>(t - leftlo), y);
        }
    }
    setcolor(15);
}

void drawcolumn(edrun& r)
{
    clearcells(r.replo1);
    for (int row = toplo; row < toplo + winheig; row++) {
        if (r.ref[4] && row == r.mrow)
            continue;
        setcolor(rowcolor(row));
        gotoxy(mousex - leftlo + 6, row - toplo + 2);
        cput("|");
        r.replo1.add(mousex - leftlo, row - toplo);
    }
    setcolor(15);
}
