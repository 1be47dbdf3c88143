// SPDX-License-Identifier: MIT
// The file commands on a document alone: no editor, no screen, no view but
// the one handed in to be stored.
#include "files/files.h"
#include "score/pvx.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

sdoc sample()
{
    sdoc d;
    d.music.clear();
    d.music.assign({smusic{0, 3, 1, 4, false}, smusic{5, 4, 6, 1, true}, SENTINEL});
    d.musicleng = 140;
    d.filesaved = false;
    return d;
}

std::string spitscore(const std::string& name, int ver)
{
    sdoc d = sample();
    d.filever = ver;
    std::ofstream(name, std::ios::binary) << scorebytes(d, STARTVIEW);
    return name;
}

} // namespace

TEST(Document, SavedAndOpenedAgainGivesTheSameScoreAndTheViewItWasSavedWith)
{
    sdoc d = sample();
    sview v = STARTVIEW;
    v.mousex = 5;
    v.mousey = 30;
    v.toplo = 20;
    v.leftlo = 3;
    ASSERT_EQ(savescore(d, v, "a.pvx"), fileres::done);
    EXPECT_TRUE(d.filesaved);
    EXPECT_TRUE(d.filepath.empty()) << "saving names no path by itself";

    sdoc e;
    sopened o = openscore(e, "a.pvx");
    ASSERT_EQ(o.res, fileres::done) << openfailure(o);
    // The same notes in the same cyclic order: located alike, the two
    // documents write the same bytes.
    d.music.locate(0);
    e.music.locate(0);
    EXPECT_EQ(scorebytes(e, viewof(o.head)), scorebytes(d, v));
    EXPECT_EQ(e.filepath, "a.pvx");
    EXPECT_TRUE(e.filesaved);
    const sview w = viewof(o.head);
    EXPECT_EQ(std::tie(w.mousex, w.mousey, w.toplo, w.leftlo), std::tie(v.mousex, v.mousey, v.toplo, v.leftlo));
    EXPECT_EQ(std::tie(w.winleng, w.winheig), std::tie(STARTVIEW.winleng, STARTVIEW.winheig));
}

TEST(Document, AFailedOpenLeavesTheDocumentAsItWasAndSaysWhy)
{
    std::ofstream("junk.pvx") << "not a score";
    std::filesystem::create_directory("folder.pvx");
    struct {
        const char* path;
        bool notscore;
    } cases[] = {{"missing.pvx", false}, {"folder.pvx", false}, {"junk.pvx", true}, {"", false}};
    for (const auto& c : cases) {
        sdoc d = sample();
        d.filepath = "kept.pvx";
        const std::string before = scorebytes(d, STARTVIEW);
        sopened o = openscore(d, c.path);
        EXPECT_EQ(o.res, fileres::failed) << c.path;
        EXPECT_EQ(o.notscore, c.notscore) << c.path;
        EXPECT_FALSE(openfailure(o).empty()) << c.path;
        EXPECT_EQ(scorebytes(d, STARTVIEW), before) << c.path;
        EXPECT_EQ(d.filepath, "kept.pvx") << c.path;
        EXPECT_FALSE(d.filesaved) << c.path;
    }
}

TEST(Document, EveryVersionOpensAndKeepsItsVersion)
{
    for (int ver : {1, 2, 3}) {
        sdoc d;
        sopened o = openscore(d, spitscore("v.pvx", ver));
        EXPECT_EQ(o.res, fileres::done) << ver;
        EXPECT_EQ(d.filever, ver);
        EXPECT_EQ(d.music.size(), 3u);
    }
}

TEST(Document, ClearingKeepsThePathAndEmptiesTheRest)
{
    sdoc d = sample();
    d.filepath = "p.pvx";
    d.filever = 1;
    docclear(d);
    EXPECT_EQ(d.filepath, "p.pvx");
    EXPECT_EQ(d.music.size(), 1u);
    EXPECT_TRUE(issentinel(d.music.back()));
    EXPECT_EQ(std::tie(d.musicleng, d.filever, d.filesaved), std::tie(STARTLENG, curfilever, d.filesaved));
    EXPECT_TRUE(d.filesaved);
}
