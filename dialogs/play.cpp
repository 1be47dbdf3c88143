// SPDX-License-Identifier: MIT
// The play settings dialog.
//
//   请设置播放参数：
//
//   开始时间：        结束时间：
//   [*]从头开始       [*]到结尾结束
//   [ ]选择时间       [ ]选择时间
//       00:00:00.0        00:00:00.0
//   [ ]从光标处开始   [ ]到光标处结束
//
//   播放速度: x                   1.00
//
//                           取消 确定
//
// Items 0-2 choose where playback starts, 3-5 where it stops (one of each
// group is marked); 1 and 4 take a time typed digit by digit; 6 is the speed;
// 7 cancels and 8 confirms.
#include "dialogs/play.h"

#include "console/console.h"
#include "widgets/lineedit.h"
#include "dialogs/dialog.h"
#include "dialogs/filecmd.h"
#include "console/width.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr int BOXW = 39, BOXH = 13;
constexpr int CHKCOL = 112, CHKMCOL = 240, CHKSLCOL = 127;   // check boxes
constexpr int SPDCOL = 112, SPDMCOL = 248, SPDSLCOL = 240;   // speed field
constexpr int SPEEDW = 23;                                   // speed field width
constexpr int TIMECOL = 112, TIMEEDITCOL = 247;              // time texts
constexpr int BANDCOL = 15;                                  // the black bands
constexpr int mtl[7] = {0, 1, 3, 4, 6, 7, 9};                // digit columns in a time text

enum { CANCEL = 7, OK = 8 };

struct playstate {
    int sls = 0;        // start option: 0 beginning, 1 typed time, 2 cursor
    int sle = 0;        // end option: 0 end of score, 1 typed time, 2 cursor
    float speed = 1.0f; // the speed field's value
};

std::string timetext(const stime& t)
{
    char b[64];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d.%d", t.h, t.min, static_cast<int>(t.s), ttenth(t));
    return b;
}

// "%23.2f" of v, built at whatever length it takes.
std::string speedtext(float v)
{
    int n = std::snprintf(nullptr, 0, "%23.2f", static_cast<double>(v));
    if (n <= 0)
        return std::string(SPEEDW, ' ');
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%23.2f", static_cast<double>(v));
    s.resize(static_cast<size_t>(n));
    return s;
}

// A speed above zero that shows as "0.00": playback would wait longer than
// anyone can, so it is refused. Zero and below play nothing and stay allowed.
bool tooslow(float v)
{
    std::string t = speedtext(v);
    return v > 0 && t.substr(t.find_first_not_of(' ')) == "0.00";
}

bool marked(const playstate& p, int i) { return i == p.sls || i == p.sle + 3; }

void drawitem(const playstate& p, sdialog& d, int i, bool focus)
{
    const sselect& it = d.sllo[static_cast<size_t>(i)];
    bool m = i < 6 && marked(p, i);
    if (focus)
        dlgput(it, it.mcol, m ? it.ssl : it.s);
    else if (m)
        dlgput(it, it.slcol, it.ssl);
    else
        dlgput(it, it.col, it.s);
}

// Column of the time field of start (item 1) or end (item 4).
int fieldx(const sdialog& d, int item) { return d.leftlo1 + (item == 1 ? 6 : 24); }
int fieldy(const sdialog& d) { return d.toplo1 + 6; }

void drawtimes(const sdialog& d, const splayset& ps)
{
    setcolor(TIMECOL);
    gotoxy(fieldx(d, 1), fieldy(d));
    cput(timetext(ps.statime));
    gotoxy(fieldx(d, 4), fieldy(d));
    cput(timetext(ps.endtime));
}

// Typing a time digit by digit into t (item 1: statime, item 4: endtime).
// Positions 0, 2 and 4 are tens of hours, minutes and seconds and take 0-5
// only; 'a' and 'd' (or Space) move, Enter ends, a digit at the last position
// ends too.
void timeentry(sdialog& d, int item, stime& t)
{
    const sselect& it = d.sllo[static_cast<size_t>(item)];
    int x = fieldx(d, item), y = fieldy(d);
    int mouselo1 = 0;
    for (;;) {
        dlgput(it, it.slcol, "[*]");
        setcolor(TIMEEDITCOL);
        gotoxy(x, y);
        cput(timetext(t));

        int sec = static_cast<int>(t.s);
        int tenth = ttenth(t);
        char timeline[7] = {
            static_cast<char>('0' + t.h / 10 % 10), static_cast<char>('0' + t.h % 10),
            static_cast<char>('0' + t.min / 10 % 10), static_cast<char>('0' + t.min % 10),
            static_cast<char>('0' + sec / 10 % 10), static_cast<char>('0' + sec % 10),
            static_cast<char>('0' + tenth),
        };
        setcolor(TIMECOL);
        gotoxy(x + mtl[mouselo1], y);
        cput(std::string_view(&timeline[mouselo1], 1));
        gotoxy(x + mtl[mouselo1], y);

        int tmp1 = getkey();
        if (tmp1 == KEY_END) {
            d.tmp = KEY_END; // the dialog ends as cancelled
            break;
        }
        if (tmp1 == KEY_ENTER)
            break;
        if (tmp1 >= '0' && tmp1 <= '9') {
            int v = tmp1 - '0';
            bool tens = mouselo1 == 0 || mouselo1 == 2 || mouselo1 == 4;
            if (tens && v > 5)
                continue;
            timeline[mouselo1] = static_cast<char>(tmp1);
            t.h = (timeline[0] - '0') * 10 + (timeline[1] - '0');
            t.min = (timeline[2] - '0') * 10 + (timeline[3] - '0');
            int whole = (timeline[4] - '0') * 10 + (timeline[5] - '0');
            t.s = static_cast<float>(whole) + static_cast<float>(timeline[6] - '0') / 10.0f;
            if (++mouselo1 > 6)
                break;
        } else if (tmp1 == 'd' || tmp1 == KEY_SPACE) {
            if (mouselo1 <= 5)
                mouselo1++;
        } else if (tmp1 == 'a') {
            if (mouselo1 >= 1)
                mouselo1--;
        }
    }
    dlgput(it, it.mcol, "[*]");
    setcolor(TIMECOL);
    gotoxy(x, y);
    cput(timetext(t));
}

// Reads the speed: lines until one holds more than blanks, then the longest
// leading decimal number of it (C spelling: sign, digits, point, exponent);
// the rest of the line is dropped. False when input ends first or the line
// does not begin with a number.
bool readnumber(double& out, bool& ended)
{
    std::string line;
    size_t i = 0;
    for (;;) {
        if (!getline(line, SPEEDW)) {
            ended = true;
            return false;
        }
        i = line.find_first_not_of(" \t\v\f");
        if (i != std::string::npos)
            break;
    }
    size_t b = i;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        i++;
    size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        i++;
        digits++;
    }
    if (i < line.size() && line[i] == '.') {
        size_t j = i + 1;
        size_t frac = 0;
        while (j < line.size() && line[j] >= '0' && line[j] <= '9') {
            j++;
            frac++;
        }
        if (digits + frac > 0) {
            i = j;
            digits += frac;
        }
    }
    if (digits == 0)
        return false;
    if (i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
        size_t j = i + 1;
        if (j < line.size() && (line[j] == '+' || line[j] == '-'))
            j++;
        if (j < line.size() && line[j] >= '0' && line[j] <= '9') {
            while (j < line.size() && line[j] >= '0' && line[j] <= '9')
                j++;
            i = j;
        }
    }
    const char* first = line.data() + b;
    if (*first == '+') // from_chars takes no plus sign
        first++;
    // Out of a double's range either way (1e999, 1e-999) counts as no number.
    double v = 0;
    auto r = std::from_chars(first, line.data() + i, v);
    if (r.ec != std::errc())
        return false;
    out = v;
    return true;
}

// The speed field: a number typed over a black-on-white field. A value that
// is not finite, does not fit a float or whose text is wider than the field
// is refused, and the field keeps its value.
void speedentry(playstate& p, sdialog& d)
{
    sselect& it = d.sllo[6];
    setcolor(it.slcol);
    gotoxy(it.x, it.y);
    cput(std::string(SPEEDW, ' '));
    gotoxy(it.x, it.y);
    double v = 0;
    bool ended = false;
    if (readnumber(v, ended) && std::isfinite(v) && std::fabs(v) <= FLT_MAX) {
        float f = static_cast<float>(v);
        if (speedtext(f).size() <= static_cast<size_t>(SPEEDW) && !tooslow(f))
            p.speed = f;
    }
    it.s = speedtext(p.speed);
    it.ssl = it.s;
    d.redraw.items = true;
    if (ended)
        d.tmp = KEY_END; // the dialog ends as cancelled
}

} // namespace

splay playset(sdoc& doc, sview& view, splayset& ps)
{
    splay& playtmp = ps.playtmp;
    stime& statime = ps.statime;
    stime& endtime = ps.endtime;
    if (!doc.filesaved && ffile(doc, view, fmode::saveas) != fileres::done) {
        playtmp.yn = false;
        return playtmp;
    }
    if (doc.music.size() <= 1) { // only the end marker: nothing to play
        playtmp.yn = false;
        return playtmp;
    }
    const int curlo = view.mousex, leng = doc.musicleng;

    playstate p;
    sdialog d;
    dlgplace(d, BOXW, BOXH);
    const int L = d.leftlo1, T = d.toplo1;

    d.title = "请设置播放参数：";
    d.texts = {
        {2, 3, "开始时间：", BANDCOL, 17},        {19, 3, " ", FACECOL, 0},
        {20, 3, "结束时间：", BANDCOL, 17},       {2, 4, "   从头开始", BANDCOL, 17},
        {20, 4, "   到结尾结束", BANDCOL, 17},    {2, 5, "   选择时间", BANDCOL, 17},
        {20, 5, "   选择时间", BANDCOL, 17},      {2, 6, "", BANDCOL, 17},
        {20, 6, "", BANDCOL, 17},                 {2, 7, "   从光标处开始", BANDCOL, 17},
        {20, 7, "   到光标处结束", BANDCOL, 17},  {2, 9, "播放速度: x", BANDCOL, 35},
    };
    d.drawbox = [&ps](sdialog& dd) { drawtimes(dd, ps); };

    const int chk[6][2] = {{2, 4}, {2, 5}, {2, 7}, {20, 4}, {20, 5}, {20, 7}};
    for (const auto& c : chk)
        dlgadd(d, sselect{L + c[0], T + c[1], CHKCOL, CHKMCOL, CHKSLCOL, "[ ]", "[*]"});
    std::string cspeed = speedtext(p.speed);
    dlgadd(d, sselect{L + 13, T + 9, SPDCOL, SPDMCOL, SPDSLCOL, cspeed, cspeed});
    dlgadd(d, dlgbutton(L + 28, T + 11, "取消"));
    dlgadd(d, dlgbutton(L + 33, T + 11, "确定"));

    d.draw = [&p](sdialog& dd, int i, bool focus) { drawitem(p, dd, i, focus); };
    d.act = [&](sdialog& dd, int i) -> int {
        switch (i) {
        case 0:
        case 1:
        case 2:
            p.sls = i;
            if (i == 1) {
                dlgitems(dd);
                timeentry(dd, 1, statime);
            } else {
                dd.redraw.items = true;
            }
            return -1;
        case 3:
        case 4:
        case 5:
            p.sle = i - 3;
            if (i == 4) {
                dlgitems(dd);
                timeentry(dd, 4, endtime);
            } else {
                dd.redraw.items = true;
            }
            return -1;
        case 6:
            speedentry(p, dd);
            return -1;
        case CANCEL:
            dlgpress(dd, CANCEL, 10);
            return CANCEL;
        case OK:
            playtmp.start = p.sls == 0 ? 0 : p.sls == 1 ? ttransb(statime.h, statime.min, statime.s) : curlo;
            playtmp.end = p.sle == 0 ? leng : p.sle == 1 ? ttransb(endtime.h, endtime.min, endtime.s) : curlo;
            playtmp.speed = p.speed;
            if (ps.confirmed) {
                splay go = playtmp;
                go.yn = true;
                ps.confirmed(go);
            }
            dlgpress(dd, OK, 0);
            Sleep(10);
            return OK;
        default:
            return -1;
        }
    };

    setcolor(SHADOWCOL);
    int res = dlgrun(d);
    playtmp.yn = res == OK;
    setcolor(PLAINCOL);
    return playtmp;
}
