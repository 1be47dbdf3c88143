// SPDX-License-Identifier: MIT
#include "menu/menu.h"

#include "console/console.h"
#include "score/view.h"
#include "console/width.h"

#include <algorithm>
#include <string_view>
#include <vector>

static void item(stb& m, bool ava, bool mode, const char* name, const char* func)
{
    m.tbi.push_back(stbi{ava, mode, name, func, commandof(func)});
}

static stb& menu(std::vector<stb>& tb, std::string name)
{
    tb.push_back(stb{std::move(name), {}});
    return tb.back();
}

smenubar::smenubar() { tbset(*this); }

void tbset(smenubar& b)
{
    std::vector<stb>& tb = b.tb;
    tb.clear();
    tb.reserve(6); // each menu is filled before the next is made
    b.tbx = 0;
    b.tby = 0;

    stb& m0 = menu(tb, "◎");
    item(m0, true, false, "关于 Pellavine", "about");
    item(m0, false, true, "", "");
    item(m0, true, false, "退出", "close");

    stb& m1 = menu(tb, b.wintitle);
    item(m1, true, false, "自定义标题", "wintitle");

    stb& m2 = menu(tb, "文件");
    item(m2, true, false, "新建", "nfile");
    item(m2, true, false, "打开", "ofile");
    item(m2, true, false, "保存", "sfile0");
    item(m2, true, false, "另存为", "sfile1");
    item(m2, true, false, "导出…", "export");
    item(m2, true, false, "关闭", "cfile");

    stb& m3 = menu(tb, "编辑");
    item(m3, true, false, "清屏", "clear");
    item(m3, true, false, "撤销", "undo");
    item(m3, true, false, "重做", "redo");
    item(m3, false, true, "", "");
    item(m3, true, false, "选区", "select");
    item(m3, true, false, "复制", "copy");
    item(m3, true, false, "剪切", "cut");
    item(m3, true, false, "删除", "erase");
    item(m3, true, false, "粘贴", "paste");
    item(m3, false, true, "", "");
    item(m3, true, false, "升半音", "semiup");
    item(m3, true, false, "降半音", "semidown");
    item(m3, true, false, "升八度", "octaveup");
    item(m3, true, false, "降八度", "octavedown");
    item(m3, false, true, "", "");
    item(m3, true, false, "插入一步", "instep");
    item(m3, true, false, "删除一步", "rmstep");
    item(m3, true, false, "延长音符", "lengthen");
    item(m3, true, false, "时值减半", "entryhalf");
    item(m3, true, false, "时值加倍", "entrydouble");

    stb& m4 = menu(tb, "序列");
    item(m4, true, false, "播放", "play");
    item(m4, true, false, "从光标播放", "playfrom");
    item(m4, true, false, "循环播放", "playloop");

    stb& m5 = menu(tb, "帮助");
    item(m5, true, false, "Pellavine 帮助", "help");
    item(m5, false, true, "", "");
    item(m5, true, false, "检查更新", "update");
}

// ---- drawing with the bar's right edge as a hard limit ----

// Columns of the bar: 0 to barw() - 1.
static int barw()
{
    int w = SCRW;
    if (scr.w > 0 && w > scr.w)
        w = scr.w;
    return std::max(w, 0);
}

// Writes s at the cursor, but nothing at or past column lim; a wide character
// that would cross lim becomes blanks up to it.
static void putclip(std::string_view s, int lim)
{
    if (scr.cx >= lim)
        return;
    int room = lim - scr.cx;
    if (strwidth(s) <= room) {
        cput(s);
        return;
    }
    cput(fitwidth(s, room));
}

// The headings as laid out on the bar: start column and the text shown
// between the two blanks.
struct shead {
    int x;
    std::string text;
};

static std::vector<shead> layout(const smenubar& b)
{
    const std::vector<stb>& tb = b.tb;
    int n = b.tbnum();
    std::vector<int> w(static_cast<size_t>(n));
    long need = 1;
    for (int k = 0; k < n; k++) {
        w[static_cast<size_t>(k)] = strwidth(tb[static_cast<size_t>(k)].name);
        need += w[static_cast<size_t>(k)] + 2;
    }
    // Too wide: the title gives way first.
    long excess = need - barw();
    int titlew = n > 1 ? w[1] : 0;
    if (excess > 0 && n > 1)
        titlew = static_cast<int>(w[1] - std::min<long>(excess, w[1]));

    std::vector<shead> h(static_cast<size_t>(n));
    int xsum = 2;
    for (int k = 0; k < n; k++) {
        const std::string& name = tb[static_cast<size_t>(k)].name;
        shead& e = h[static_cast<size_t>(k)];
        e.x = xsum - 1;
        if (k == 1 && titlew < w[1])
            e.text = fitwidth(name, titlew);
        else
            e.text = name;
        xsum += (k == 1 ? titlew : w[static_cast<size_t>(k)]) + 2;
    }
    return h;
}

int tbheadx(const smenubar& b, int k)
{
    std::vector<shead> h = layout(b);
    if (k < 0 || k >= static_cast<int>(h.size()))
        return 0;
    return h[static_cast<size_t>(k)].x;
}

static void drawhead(const shead& e)
{
    int lim = barw();
    if (e.x >= lim)
        return;
    gotoxy(e.x, 0);
    putclip(" ", lim);
    putclip(e.text, lim);
    putclip(" ", lim);
}

static bool separator(const stbi& i) { return i.mode && !i.ava; }

// The drop-down of menu tbx under a heading at column headx: its left
// column and its width (the labels' room `maxy` and the frame).
struct sbox {
    int x, w, maxy;
};

static sbox dropbox(const smenubar& b, int headx)
{
    const stb& m = b.tb[static_cast<size_t>(b.tbx)];
    int maxy = 8;
    for (const stbi& it : m.tbi)
        maxy = std::max(maxy, strwidth(it.name) + 2);
    int boxw = maxy + 4, x = headx;
    if (x + boxw > barw())
        x = std::max(0, barw() - boxw);
    return sbox{x, boxw, maxy};
}

static void dropdown(const smenubar& b, int headx)
{
    const stb& m = b.tb[static_cast<size_t>(b.tbx)];
    const int tby = b.tby;
    int num = m.num();
    const sbox box = dropbox(b, headx);
    const int x = box.x, maxy = box.maxy, lim = barw();
    int bottom = scr.h > 0 ? scr.h : 2 + num + 1;

    std::string border(static_cast<size_t>(maxy + 4), '-');
    border.front() = border.back() = '+';
    if (1 < bottom) {
        gotoxy(x, 1);
        putclip(border, lim);
    }
    for (int i = 0; i < num; i++) {
        if (2 + i >= bottom)
            return;
        const stbi& it = m.tbi[static_cast<size_t>(i)];
        gotoxy(x, 2 + i);
        putclip("|", lim);
        if (i == tby)
            setcolor(it.ava ? 240 : 247);
        else if (it.mode)
            setcolor(143);
        else if (!it.ava)
            setcolor(128);
        int fill = maxy - strwidth(it.name) + 1;
        std::string content = it.mode ? "-" : " ";
        content += it.name;
        content.append(static_cast<size_t>(std::max(fill, 0)), it.mode ? '-' : ' ');
        putclip(content, lim);
        if (i == tby || !it.ava || it.mode)
            setcolor(143);
        putclip("|", lim);
    }
    if (2 + num < bottom) {
        gotoxy(x, 2 + num);
        putclip(border, lim);
    }
}

// Steps tby by d, passing over separators; stays put if only separators lie
// that way.
static void stepitem(smenubar& b, int d)
{
    const stb& m = b.tb[static_cast<size_t>(b.tbx)];
    int num = m.num();
    int y = b.tby + d;
    while (y >= 0 && y < num && separator(m.tbi[static_cast<size_t>(y)]))
        y += d;
    if (y >= 0 && y < num)
        b.tby = y;
}

bool toolbar(smenubar& b, barreq input)
{
    if (b.tbnum() <= 0)
        return false;
    int& tbx = b.tbx;
    int& tby = b.tby;
    tbx = std::clamp(tbx, 0, b.tbnum() - 1);
    const stb& cur = b.tb[static_cast<size_t>(tbx)];
    if (cur.num() > 0)
        tby = std::clamp(tby, 0, cur.num() - 1);
    else
        tby = 0;

    switch (input) {
    case barreq::drawall:
        setcolor(240);
        gotoxy(0, 0);
        cput(std::string(static_cast<size_t>(barw()), ' '));
        for (const shead& e : layout(b))
            drawhead(e);
        break;
    case barreq::release:
        setcolor(240);
        drawhead(layout(b)[static_cast<size_t>(tbx)]);
        break;
    case barreq::open: {
        setcolor(143);
        shead e = layout(b)[static_cast<size_t>(tbx)];
        drawhead(e);
        dropdown(b, e.x);
        break;
    }
    case barreq::prevmenu:
        if (tbx > 0) {
            tbx--;
            tby = 0;
        }
        break;
    case barreq::nextmenu:
        if (tbx < b.tbnum() - 1) {
            tbx++;
            tby = 0;
        }
        break;
    case barreq::previtem:
        if (tby > 0)
            stepitem(b, -1);
        break;
    case barreq::nextitem:
        if (tby < cur.num() - 1)
            stepitem(b, 1);
        break;
    case barreq::unavailable:
        return cur.num() > 0 && !cur.tbi[static_cast<size_t>(tby)].ava;
    }
    setcolor(15);
    return false;
}

sbarhit tbhit(const smenubar& b, int x, int y, bool open)
{
    sbarhit h;
    if (b.tbnum() <= 0 || x < 0 || x >= barw())
        return h;
    const std::vector<shead> heads = layout(b);
    if (y == 0) {
        for (int k = 0; k < b.tbnum(); k++) {
            const shead& e = heads[static_cast<size_t>(k)];
            if (x >= e.x && x < e.x + strwidth(e.text) + 2)
                h.head = k;
        }
        return h;
    }
    if (!open)
        return h;
    const int tbx = std::clamp(b.tbx, 0, b.tbnum() - 1);
    const stb& m = b.tb[static_cast<size_t>(tbx)];
    const sbox box = dropbox(b, heads[static_cast<size_t>(tbx)].x);
    if (x < box.x || x >= box.x + box.w || y < 1 || y > 2 + m.num())
        return h;
    h.inbox = true;
    if (y >= 2 && y < 2 + m.num() && x > box.x && x < box.x + box.w - 1)
        h.item = y - 2;
    return h;
}
