// SPDX-License-Identifier: MIT
#include "score/doc.h"

void docclear(sdoc& doc)
{
    doc.filever = curfilever;
    doc.musicleng = STARTLENG;
    doc.music.clear();
    doc.music.push(SENTINEL);
    doc.filesaved = true;
    doc.savename.clear();
    doc.gen++;
}
