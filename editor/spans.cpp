// SPDX-License-Identifier: MIT
// The span keys of the staff: the selection, the clipboard, transpose, a
// step of time in or out, notes entered by degree, and play from the cursor.
// The edits themselves are score/edits; here they meet the keys, the
// selection and the status row.
#include "editor/run.h"

#include "files/playcopy.h"
#include "score/edits.h"
#include "score/ring.h"

#include <algorithm>

namespace {

// What the status row says when an edit changed nothing.
const char* whynot(editres res)
{
    switch (res) {
    case editres::range:
        return "超出音域";
    case editres::time:
        return "超出乐谱时间";
    case editres::nothing:
    case editres::done:
        break;
    }
    return "没有音符";
}

// The selection, or with none the note under the cursor.
sspan target(const seditor& ed)
{
    if (selecting(ed))
        return selection(ed.edits, ed.view);
    return noteunder(ed.doc.music, ed.view.mousex);
}

// Says how an edit went: the message for done, or why nothing changed.
void report(edrun& r, editres res, const char* done = "")
{
    r.msg = res == editres::done ? done : whynot(res);
}

void copykey(seditor& ed, edrun& r, bool cut)
{
    const sspan s = target(ed);
    sclip c = copyspan(ed.doc.music, s);
    if (c.empty()) {
        report(r, editres::nothing);
        return;
    }
    ed.edits.clip = std::move(c);
    if (cut)
        report(r, cutspan(ed.doc, ed.hist, ed.view, s), "已剪切");
    else
        report(r, editres::done, "已复制");
}

void pastekey(seditor& ed, edrun& r)
{
    sedit& e = ed.edits;
    if (e.clip.empty()) {
        r.msg = "剪贴板为空";
        return;
    }
    const editres res = pastespan(ed.doc, ed.hist, ed.view, e.clip, ed.view.mousex);
    if (res == editres::done) { // the pasted span becomes the selection; the cursor stays
        e.selecting = true;
        e.gen = ed.doc.gen;
        e.anchor = std::min(ed.view.mousex + e.clip.leng - 1, MAXCOL);
    }
    report(r, res, "已粘贴");
}

void playfromkey(seditor& ed, edrun& r, bool loop)
{
    if (ed.doc.music.size() <= 1) { // only the end marker
        report(r, editres::nothing);
        return;
    }
    splay p = ed.plays.play; // the last confirmed speed
    p.yn = true;
    if (selecting(ed)) {
        const sspan s = selection(ed.edits, ed.view);
        p.start = s.a;
        p.end = s.b;
    } else {
        p.start = ed.view.mousex;
        p.end = std::max(ed.doc.musicleng, ed.view.mousex);
    }
    startplayfrom(ed, r, p, loop);
}

// The key that stands for each span command on the staff.
struct skeycmd {
    int key;
    command cmd;
};
constexpr skeycmd KEYCMDS[] = {
    {'v', command::select},       {'y', command::copy},        {'x', command::cut},
    {KEY_DELETE, command::erase}, {'p', command::paste},       {'e', command::semiup},
    {'q', command::semidown},     {'E', command::octaveup},    {'Q', command::octavedown},
    {'i', command::insertstep},   {'r', command::removestep},  {'-', command::lengthen},
    {',', command::entryhalf},    {'.', command::entrydouble}, {'g', command::playfrom},
    {'G', command::playloop},
};

int semitonesof(command c)
{
    switch (c) {
    case command::semiup:
        return 1;
    case command::semidown:
        return -1;
    case command::octaveup:
        return 12;
    default:
        return -12;
    }
}

} // namespace

bool selecting(const seditor& ed) { return ed.edits.selecting && ed.edits.gen == ed.doc.gen; }

sspan selection(const sedit& e, const sview& v)
{
    return sspan{std::min(e.anchor, v.mousex), std::max(e.anchor, v.mousex) + 1};
}

void spancmd(seditor& ed, edrun& r, command c)
{
    sview& v = ed.view;
    sedit& e = ed.edits;
    switch (c) {
    case command::select:
        e.selecting = !selecting(ed);
        e.anchor = v.mousex;
        e.gen = ed.doc.gen;
        break;
    case command::copy:
    case command::cut:
        copykey(ed, r, c == command::cut);
        break;
    case command::erase:
        report(r, cutspan(ed.doc, ed.hist, v, target(ed)));
        break;
    case command::paste:
        pastekey(ed, r);
        break;
    case command::semiup:
    case command::semidown:
    case command::octaveup:
    case command::octavedown:
        report(r, transpose(ed.doc, ed.hist, v, target(ed), semitonesof(c)));
        break;
    case command::insertstep:
        report(r, insertstep(ed.doc, ed.hist, v, v.mousex));
        break;
    case command::removestep:
        report(r, removestep(ed.doc, ed.hist, v, v.mousex));
        break;
    case command::lengthen:
        report(r, lengthen(ed.doc, ed.hist, v, e.entry));
        break;
    case command::entryhalf:
        e.entry = std::max(e.entry / 2, ENTRYMIN);
        break;
    case command::entrydouble:
        e.entry = std::min(e.entry * 2, ENTRYMAX);
        break;
    case command::playfrom:
    case command::playloop:
        playfromkey(ed, r, c == command::playloop);
        break;
    default:
        break;
    }
}

bool spankey(seditor& ed, edrun& r, int k)
{
    for (const skeycmd& kc : KEYCMDS)
        if (kc.key == k) {
            spancmd(ed, r, kc.cmd);
            return true;
        }
    sview& v = ed.view;
    switch (k) {
    case KEY_ESC:
        ed.edits.selecting = false;
        return true;
    case '1': case '2': case '3': case '4': case '5': case '6': case '7':
        report(r, enterdigit(ed.doc, ed.hist, v, k - '0', ed.edits.entry));
        return true;
    case '0': // a rest
        v.mousex = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(v.mousex) + ed.edits.entry, MAXCOL));
        return true;
    case 'k':
        v.mousey = std::max(v.mousey - 14, 0);
        return true;
    case 'j':
        v.mousey = std::min(v.mousey + 14, ROWS - 1);
        return true;
    default:
        return false;
    }
}
