// The editor loop: one pass brings the view into line with the cursor,
// repaints what the flags ask for and reads one key (or, during playback,
// advances the position marker).
#include "editor/editor.h"
#include "editor/run.h"
#include "score/ring.h"
#include "dialogs/play.h"
#include "files/files.h"
#include "menu/menu.h"
#include "platform/proc.h"
#include "tone/launch.h"
#include "tone/tone.h"

#include <algorithm>
#include <cmath>

namespace {

bool ending = false;
int endstatus = 0;

enum class runend { restart, quit };

// The terminal went away or the program was told to stop: whatever is not
// saved goes to a recovery file before the run ends.
runend lost()
{
    if (!filesaved)
        recoverypath = savrecovery();
    return runend::quit;
}

void repaintall(edrun& r)
{
    r.ref[7] = r.ref[0] = r.ref[1] = r.ref[2] = r.ref[3] = true;
}

// Milliseconds after the start of playback at which column t is due:
// (t x 100) / speed rounded to single precision, truncated, kept in 64 bits.
int64_t due(int64_t t, float speed)
{
    double q = static_cast<double>(t) * 100.0 / static_cast<double>(speed);
    double f = static_cast<double>(static_cast<float>(std::clamp(q, -3.0e38, 3.0e38)));
    f = std::trunc(f);
    if (std::isnan(f))
        return 0;
    if (f >= 9.2e18)
        return INT64_MAX / 4;
    if (f <= -9.2e18)
        return -INT64_MAX / 4;
    return static_cast<int64_t>(f);
}

bool playable(float speed) { return std::isfinite(speed) && speed > 0; }

void startplay(edrun& r)
{
    r.tmpmousex = mousex;
    r.tmpmousey = mousey;
    r.tmptoplo = toplo;
    r.tmpleftlo = leftlo;
    play.start = std::clamp(play.start, 0, MAXCOL);
    play.end = std::clamp(play.end, 0, MAXCOL);
    mousex = play.start;
    r.playmode = true;
    setcolor(112);
    gotoxy(winleng - 6, winheig + 3);
    cput(PLAYMSG);
    setcolor(15);
    r.statime = gettimems();
    beep(0, play, 0, 0, false, 0);
}

void endplay(edrun& r)
{
    mousex = r.tmpmousex;
    mousey = r.tmpmousey;
    toplo = r.tmptoplo;
    leftlo = r.tmpleftlo;
    r.playmode = false;
    r.ref[0] = r.ref[1] = r.ref[3] = true;
}

// One step of the marker: on to the next column and wait until it is due,
// measured from the start so that a late pass is caught up.
void playstep(edrun& r)
{
    if (play.end > mousex && playable(play.speed) && !stopasked()) {
        mousex += 1;
        r.curtime = gettimems();
        int64_t target = due(mousex, play.speed) - due(play.start, play.speed);
        int64_t sleeptimems = std::max<int64_t>(0, target - elapsedms(r.statime, r.curtime));
        Sleep(static_cast<int>(std::min<int64_t>(sleeptimems, 1 << 30)));
    } else {
        endplay(r);
    }
    r.ref[2] = true;
}

// The cursor mark and the mode message: what Space would do here.
void drawmark(edrun& r)
{
    const int q = mousey % 14;
    const char* mark;
    const char* msg;
    unsigned short color = mousey % 2 == 0 ? 112 : 240;
    if (r.ref[4] && r.mrow == mousey) {
        mark = "<";
        color = 15;
        msg = "  修改音符长度";
    } else if (key[q].pitch == 0 || r.ref[4]) {
        mark = "x";
        msg = "不可创建新音符";
    } else {
        mark = "+";
        msg = "    创建新音符";
    }
    setcolor(color);
    gotoxy(mousex - leftlo + 6, mousey - toplo + 2);
    cput(mark);
    setcolor(112);
    gotoxy(winleng - 6, winheig + 3);
    cput(msg);
}

void staffkey(edrun& r, int k)
{
    const int W = winleng, H = winheig;
    const int q = mousey % 14;
    switch (k) {
    case 'w':
        if (mousey > 0)
            mousey--;
        r.ref[3] = true;
        return;
    case 'W':
        mousey = std::max(mousey - H, 0);
        r.ref[1] = r.ref[3] = true;
        return;
    case 's':
        if (mousey <= 83)
            mousey++;
        r.ref[3] = true;
        return;
    case 'S':
        mousey = std::min(mousey + H, 84);
        r.ref[0] = r.ref[3] = true;
        return;
    case 'a':
        if (mousex > 0)
            mousex--;
        r.ref[2] = true;
        return;
    case 'A':
        mousex = std::max(mousex - W, 0);
        r.ref[0] = r.ref[2] = true;
        return;
    case 'd':
        if (mousex < MAXCOL)
            mousex++;
        r.ref[2] = true;
        return;
    case 'D':
        mousex = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(mousex) + W, MAXCOL));
        r.ref[0] = r.ref[2] = true;
        return;
    case 'b':
    case 'B':
        if (key[q].pitch != 0)
            beep(1, splay{}, rowoctave(mousey), key[q].pitch, key[q].rise, 10);
        return;
    case ' ':
        if (key[q].pitch == 0)
            return;
        if (!r.ref[4]) {
            smusic m = rownote(mousey);
            m.start = mousex;
            music.push(m);
        } else if (r.mrow == mousey &&
                   static_cast<int64_t>(r.mtmp.start) + r.mtmp.leng < r.nextnote.start) {
            smusic m = r.mtmp;
            m.leng += 1;
            music.setback(m);
            if (mousex < MAXCOL)
                mousex += 1;
            r.ref[2] = true;
        }
        r.ref[5] = true;
        filesaved = false;
        return;
    case 8:
        if (r.ref[4] && r.mrow == mousey) {
            smusic m = r.mtmp;
            m.leng -= 1;
            if (m.leng == 0) {
                music.popback();
            } else {
                music.setback(m);
                if (m.start != mousex) {
                    mousex -= 1;
                    r.ref[2] = true;
                }
            }
            r.ref[5] = true;
            filesaved = false;
        }
        return;
    case 13:
        play = playset(mousex, musicleng);
        if (play.yn)
            startplay(r);
        r.ref[0] = true;
        return;
    case 19:
        r.ref[6] = true;
        return;
    default:
        return;
    }
}

void menukey(edrun& r, int k)
{
    switch (k) {
    case 'a':
    case 'A':
    case 'd':
    case 'D': {
        toolbar(-1);
        int old = tbx;
        toolbar(k == 'a' || k == 'A' ? 1 : 2);
        if (tbx != old)
            repaintall(r);
        return;
    }
    case 'w':
    case 'W':
        toolbar(3);
        return;
    case 's':
    case 'S':
        toolbar(4);
        return;
    case 13:
    case ' ':
        if (!toolbar(-4)) {
            toolbar(-1);
            r.ref[8] = true;
            repaintall(r);
            r.mousearea = 0;
        }
        return;
    default:
        return;
    }
}

// One editor run, from the cleared screen to a restart or the end.
runend editrun(bool fresh)
{
    tonerunstart();
    cls();
    edrun r;
    if (fresh)
        ffile(3);

    for (;;) {
        const int W = winleng, H = winheig;
        if (r.ref[7])
            drawframe();
        if (musicleng < mousex)
            musicleng = mousex;

        // Locate the cursor; during playback the row follows each new pitch.
        smusic before;
        bool moved = music.locate(mousex, &before);
        if (r.playmode && moved) {
            const smusic& b = music.back();
            if ((b.heig != before.heig || b.pitch != before.pitch || b.rise != before.rise) && noterow(b) >= 0) {
                mousey = noterow(b);
                r.ref[3] = true;
            }
        }
        while (mousey - toplo >= H) {
            toplo++;
            r.ref[0] = true;
        }
        while (mousey < toplo) {
            toplo--;
            r.ref[0] = true;
        }
        while (mousex - leftlo >= W) {
            int next = leftlo + 1;
            if (r.playmode)
                next = std::max(next, std::min(leftlo + W - 1, musicleng - W) + 1);
            leftlo = next;
            r.ref[1] = true;
        }
        while (mousex < leftlo) {
            leftlo--;
            r.ref[1] = true;
        }

        r.mtmp = music.back();
        r.nextnote = music.front();
        r.mrow = noterow(r.mtmp);
        r.ref[4] = r.mtmp.start <= mousex && mousex < static_cast<int64_t>(r.mtmp.start) + r.mtmp.leng;

        if (r.ref[0])
            drawstaff();
        if (r.ref[1])
            drawhbar();
        if (r.ref[2])
            drawtime();
        if (r.ref[3])
            drawnotename();
        if (!r.playmode && r.replo.has(r.oldmousex, r.oldmousey))
            r.ref[1] = true;
        // The old column line goes before the notes are drawn: its cells are
        // relative to the view, so after a scroll they can lie on notes that
        // this pass draws anew.
        if (r.mousearea == 0)
            clearcells(r.replo1);
        if (r.ref[1] || r.ref[5])
            clearcells(r.replo);
        if (r.ref[0] || r.ref[1] || r.ref[5])
            drawnotes(r);
        if (r.ref[6]) {
            // The save dialog, when it shows, stands over the staff: the
            // next pass repaints everything before a key is read.
            bool asks = filepath.empty();
            r.ref[6] = false;
            ffile(1);
            if (asks) {
                repaintall(r);
                continue;
            }
        }
        if (r.ref[8]) {
            const stbi& item = tb[tbx].tbi[tby];
            std::string func = item.func;
            r.ref[8] = false;
            int res = funcmatch(func);
            tbx = 0;
            tby = 0;
            if (ending)
                return runend::quit;
            if (res == 2)
                return runend::restart;
            if (res == -1)
                startplay(r);
            repaintall(r);
            continue;
        }
        for (int f : {0, 1, 2, 3, 5, 6, 7})
            r.ref[f] = false;

        if (r.mousearea == 0) {
            drawcolumn(r);
            if (r.playmode) {
                setcolor(112);
                gotoxy(W - 6, H + 3);
                cput(PLAYMSG);
                setcolor(15);
                playstep(r);
                continue;
            }
            drawmark(r);
            r.oldmousex = mousex - leftlo;
            r.oldmousey = mousey - toplo;
            gotoxy(mousex - leftlo + 6, mousey - toplo + 2);
            r.tmp = getch();
            if (r.tmp == KEY_END)
                return lost(); // the screen stays as the user last saw it
            setcolor(rowcolor(mousey));
            gotoxy(mousex - leftlo + 6, mousey - toplo + 2);
            cput("_");
        } else {
            toolbar(0);
            gotoxy(0, 0);
            r.tmp = getch();
            gotoxy(0, 0);
        }
        setcolor(15);
        if (r.tmp == KEY_END)
            return lost();

        if (r.tmp == 3) { // Ctrl+C runs the exit command
            funcmatch("close");
            if (ending)
                return runend::quit;
            repaintall(r);
            continue;
        }
        if (r.mousearea == 0)
            staffkey(r, r.tmp);
        else
            menukey(r, r.tmp);

        if (r.tmp == 'c')
            return runend::restart;
        if (r.tmp == 9) {
            r.mousearea = r.mousearea == 0 ? 1 : 0;
            if (r.mousearea == 0) {
                toolbar(-1);
                repaintall(r);
            } else {
                toolbar(0);
            }
        }
    }
}

} // namespace

std::string recoverypath;

void resetstate()
{
    recoverypath.clear();
    resetview();
    resetfiles();
    resetmenu();
    resetplayset();
    music.clear();
    music.push(SENTINEL);
    play = splay{};
}

void endprogram(int status)
{
    ending = true;
    endstatus = status;
}

int edit(bool fresh)
{
    ending = false;
    endstatus = 0;
    while (editrun(fresh) == runend::restart)
        fresh = true;
    return endstatus;
}
