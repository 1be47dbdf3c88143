// SPDX-License-Identifier: MIT
// Playback from the editor: the marker runs across the staff on an absolute
// schedule while the player sounds the score.
#include "editor/run.h"

#include "tone/launch.h"
#include "tone/tone.h"

#include "files/playcopy.h"

#include <algorithm>
#include <cmath>

namespace {

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

} // namespace

void playmsg(const sview& v)
{
    setcolor(112);
    gotoxy(v.winleng - 6, v.winheig + 3);
    cput(PLAYMSG);
    setcolor(15);
}

namespace {

// The name a request may carry: a name that breaks the line would break it.
bool requestable(const std::string& path) { return path.find_first_of("\r\n") == std::string::npos; }

// Hands the playback of `play` to the player. Sent as the settings are
// confirmed, the sound leads the marker by the dialog's closing (about 10 ms).
void sendplay(seditor& ed, edrun& r, splay play)
{
    if (!requestable(ed.doc.filepath))
        return;
    play.start = std::clamp(play.start, 0, MAXCOL);
    play.end = std::clamp(play.end, 0, MAXCOL);
    r.playsent = true;
    beep(reqmode::play, play, 0, 0, false, 0, ed.doc.filepath);
}

// `sent`: the request went out already, as the play settings were confirmed.
void beginplay(seditor& ed, edrun& r, const splay& p, const std::string& path, bool sent)
{
    sview& v = ed.view;
    r.tmpmousex = v.mousex;
    r.tmpmousey = v.mousey;
    r.tmptoplo = v.toplo;
    r.tmpleftlo = v.leftlo;
    r.playing = p;
    r.playing.start = std::clamp(p.start, 0, MAXCOL);
    r.playing.end = std::clamp(p.end, 0, MAXCOL);
    v.mousex = r.playing.start;
    r.playmode = true;
    r.statime = gettimems();
    if (!sent)
        beep(reqmode::play, r.playing, 0, 0, false, 0, path);
}

void endplay(seditor& ed, edrun& r)
{
    sview& v = ed.view;
    v.mousex = r.tmpmousex;
    v.mousey = r.tmpmousey;
    v.toplo = r.tmptoplo;
    v.leftlo = r.tmpleftlo;
    r.playmode = false;
    r.looping = false;
    r.escaped = false;
    dropplaycopy(ed.playcopy);
}

} // namespace

void startplay(seditor& ed, edrun& r)
{
    if (!requestable(ed.doc.filepath)) {
        r.msg = "无法播放：文件名含换行";
        return;
    }
    r.looping = false;
    const bool sent = r.playsent;
    r.playsent = false;
    beginplay(ed, r, ed.plays.play, ed.doc.filepath, sent);
}

splayhook::splayhook(seditor& e, edrun& r) : ed(e)
{
    ed.plays.confirmed = [this, &r](const splay& p) { sendplay(ed, r, p); };
}

splayhook::~splayhook() { ed.plays.confirmed = nullptr; }

void startplayfrom(seditor& ed, edrun& r, const splay& p, bool loop)
{
    std::string path = ed.doc.filepath;
    if (!ed.doc.filesaved || path.empty() || !requestable(path)) {
        if (!writeplaycopy(ed.playcopy, ed.doc, ed.view) || !requestable(ed.playcopy.path)) {
            dropplaycopy(ed.playcopy);
            r.msg = "无法播放：无法写入临时文件";
            return;
        }
        path = ed.playcopy.path;
    }
    r.looping = loop;
    r.playpath = path;
    r.playsent = false;
    beginplay(ed, r, p, path, false);
}

// One step of the marker: on to the next column and wait until it is due,
// measured from the start so that a late pass is caught up.
void playstep(seditor& ed, edrun& r)
{
    const splay& play = r.playing;
    sview& v = ed.view;
    if (r.escaped) { // stopped by the user: the sound too
        tonesilence();
        endplay(ed, r);
    } else if (play.end > v.mousex && playable(play.speed) && !stopasked()) {
        v.mousex += 1;
        r.curtime = gettimems();
        int64_t target = due(v.mousex, play.speed) - due(play.start, play.speed);
        int64_t sleeptimems = std::max<int64_t>(0, target - elapsedms(r.statime, r.curtime));
        r.escaped = Sleepesc(static_cast<int>(std::min<int64_t>(sleeptimems, 1 << 30)));
    } else if (r.looping && playable(play.speed) && !stopasked()) { // round again
        v.mousex = play.start;
        r.statime = gettimems();
        beep(reqmode::play, play, 0, 0, false, 0, r.playpath);
    } else {
        endplay(ed, r);
    }
}

