#include "files/files.h"

#include "score/ring.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "platform/fileio.h"
#include "score/pvx.h"

#include <unistd.h>

bool filesaved = true;
std::string filepath;
int filever = curfilever;

void resetfiles()
{
    filesaved = true;
    filepath.clear();
    filever = curfilever;
}

namespace {

pvxhead curhead()
{
    pvxhead h;
    h.ver = filever;
    h.mousex = mousex;
    h.mousey = mousey;
    h.toplo = toplo;
    h.leftlo = leftlo;
    h.musicleng = musicleng;
    return h;
}

} // namespace

std::string scorebytes() { return pvxwrite(curhead(), music.queue()); }

int openscore(const std::string& path)
{
    std::string bytes;
    if (!readwhole(path, bytes))
        return -1;
    pvxscore s;
    if (!pvxread(bytes, s).empty())
        return -1;
    bytes = std::string(); // free the image before the ring grows
    pvxclamp(s.head, winheig, winleng);
    music.assign(s.notes);
    filever = s.head.ver;
    mousex = s.head.mousex;
    mousey = s.head.mousey;
    toplo = s.head.toplo;
    leftlo = s.head.leftlo;
    musicleng = s.head.musicleng;
    filepath = path;
    filesaved = !s.changed;
    return filever == curfilever ? 0 : filever;
}

int savescore(const std::string& path, fileerr* why)
{
    fileres r = writewhole(path, scorebytes());
    if (why)
        *why = r.why;
    if (!r)
        return -1;
    filesaved = true;
    return 0;
}

int ffile(int mode)
{
    switch (mode) {
    case 0: { // Open
        if (!filesaved && !filenotsaved())
            return 0;
        std::string path;
        if (slfile(0, path))
            return -1;
        return openscore(path);
    }
    case 1: // Save
    case 2: // Save as
        if ((filepath.empty() || mode == 2) && slfile(1))
            return -1;
        return savescore(filepath);
    case 3: // New
        if (!filesaved && !filenotsaved())
            return 0;
        filever = curfilever;
        toplo = 40;
        leftlo = 0;
        mousex = 0;
        mousey = 55;
        musicleng = 100;
        music.clear();
        music.push(SENTINEL);
        filesaved = true;
        return 0;
    default:
        return -1;
    }
}

std::string savrecovery()
{
    return writerecovery(scorebytes(), filepath, ::getpid());
}
