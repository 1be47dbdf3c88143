// SPDX-License-Identifier: MIT
// The file commands driven as a user drives them (keys into the dialogs,
// files on disk out), and the safe replacement of files.
#include "console/console.h"
#include "score/ring.h"
#include "editor/editor.h"
#include "files/files.h"
#include "testio.h"
#include "platform/fileio.h"
#include "score/pvx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::deque<int> keys;

int scriptkey()
{
    if (keys.empty())
        return KEY_END;
    int k = keys.front();
    keys.pop_front();
    return k;
}

// The keys of a line typed into a field, Enter included.
void typeline(const std::string& s)
{
    keys.insert(keys.end(), s.begin(), s.end());
    for (size_t i = keys.size() - s.size(); i < keys.size(); i++)
        keys[i] &= 0xFF;
    keys.push_back(13);
}

// Keys that type `path` into the open dialog and confirm it.
void opentyping(const std::string& path)
{
    keys.push_back(' ');
    typeline(path);
    keys.insert(keys.end(), {9, 9, 13});
}

// Keys that type a folder and a name into the save dialog and confirm them.
void savetyping(const std::string& dir, const std::string& name)
{
    keys.push_back(' ');
    typeline(dir);
    keys.insert(keys.end(), {9, ' '});
    typeline(name);
    keys.insert(keys.end(), {9, 9, 13});
}

std::string slurp(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void spit(const std::string& p, const std::string& b)
{
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << b;
}

void le(std::string& b, int v)
{
    for (int i = 0; i < 4; i++)
        b += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i) & 0xff);
}

std::string rec(int start, int leng, int heig = 3, int pitch = 1)
{
    std::string b;
    for (int v : {start, leng, heig, pitch})
        le(b, v);
    b += '\0';
    le(b, 0);
    return b;
}

std::string head(int ver, int mx, int my, int top, int left, int len)
{
    std::string b;
    for (int v : {ver, mx, my, top, left, len})
        le(b, v);
    return b;
}

const std::string ENDM(4, '\xff');

// Opens a score as the editor does: the document and then the view.
fileres openinto(const std::string& p)
{
    sopened o = openscore(te.doc, p);
    if (o.res == fileres::done)
        te.view = viewof(o.head);
    return o.res;
}

std::vector<int> starts()
{
    std::vector<int> v;
    for (const smusic& m : te.doc.music.queue())
        v.push_back(m.start);
    return v;
}

// Lists the names in a folder (to see that no temporary file is left).
std::vector<std::string> names(const std::string& d)
{
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(d))
        v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

struct FileTest : ::testing::Test {
    std::string dir;
    conio oldio;
    std::string oldcwd;

    void SetUp() override
    {
        char t[] = "/tmp/pvfilesXXXXXX";
        ASSERT_NE(mkdtemp(t), nullptr);
        dir = t;
        chmod(dir.c_str(), 0755);
        oldio = scr.io;
        scr.io = conio{};
        scr.io.event = [] { return codeevent(scriptkey()); };
        keys.clear();
        oldcwd = fs::current_path().string();
        cls();
        edreset();
    }
    void TearDown() override
    {
        scr.io = oldio;
        fs::current_path(oldcwd);
        fs::remove_all(dir);
        edreset();
    }
    // A score a (0, 4), b (5, 1), sentinel with the cursor on b.
    void somescore()
    {
        te.doc.music.clear();
        te.doc.music.push(smusic{0, 3, 1, 4, false});
        te.doc.music.push(smusic{5, 4, 6, 1, true});
        te.doc.music.push(SENTINEL);
        te.view.mousex = 5;
        te.view.mousey = 30;
        te.view.toplo = 20;
        te.view.leftlo = 3;
        te.doc.musicleng = 140;
        te.doc.filesaved = false;
    }
};

} // namespace

TEST_F(FileTest, NewScoreSavedAtOnceIs49BytesAndCtrlSThenWritesWithoutDialog)
{
    // Ctrl+S with no path asks for folder and name and adds ".pvx".
    savetyping(dir, "song");
    EXPECT_EQ(ffile(te.doc, te.view, fmode::save), fileres::done);
    EXPECT_EQ(te.doc.filepath, dir + "/song.pvx");
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(slurp(te.doc.filepath), head(2, 0, 55, 40, 0, 100) + rec(ENDSTART, 0, 0, 0) + ENDM);

    // With a known path Save shows no dialog: no key is read.
    somescore();
    keys.push_back(9); // would be read by a dialog
    EXPECT_EQ(ffile(te.doc, te.view, fmode::save), fileres::done);
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_EQ(slurp(te.doc.filepath).size(), 24u + 3 * 21 + 4);
    EXPECT_EQ(names(dir), std::vector<std::string>{"song.pvx"}); // no temporary file left
}

TEST_F(FileTest, SavedScoreOpensWithNotesCursorAndViewAndTheRingShiftedByOne)
{
    somescore();
    te.doc.music.locate(5); // queue: sentinel, a, b (b is the back)
    auto before = starts();
    te.doc.filepath = dir + "/s.pvx";
    ASSERT_EQ(ffile(te.doc, te.view, fmode::save), fileres::done);

    // Another score in memory, then open the file through the dialog.
    ASSERT_EQ(ffile(te.doc, te.view, fmode::fresh), fileres::done);
    EXPECT_EQ(te.view.mousey, 55);
    EXPECT_EQ(te.doc.filepath, dir + "/s.pvx"); // New keeps the path
    te.doc.filepath.clear();
    opentyping(dir + "/s.pvx");
    EXPECT_EQ(ffile(te.doc, te.view, fmode::open), fileres::done);
    EXPECT_EQ(te.doc.filepath, dir + "/s.pvx");
    EXPECT_TRUE(te.doc.filesaved);
    EXPECT_EQ(te.view.mousex, 5);
    EXPECT_EQ(te.view.mousey, 30);
    EXPECT_EQ(te.view.toplo, 20);
    EXPECT_EQ(te.view.leftlo, 3);
    EXPECT_EQ(te.doc.musicleng, 140);
    // The file begins with the back note, so the loaded queue is the old one
    // turned back by one place.
    std::vector<int> want = {before.back()};
    want.insert(want.end(), before.begin(), before.end() - 1);
    EXPECT_EQ(starts(), want);
    auto q = te.doc.music.queue();
    EXPECT_EQ(q[0].pitch, 6); // b, the old back note
    EXPECT_EQ(q[0].heig, 4);
    EXPECT_TRUE(q[0].rise);
    EXPECT_TRUE(issentinel(q[1]));
    EXPECT_EQ(q[2].leng, 4); // a
}

TEST_F(FileTest, OtherVersionsLoadWithTheSameLayoutAndKeepTheirVersion)
{
    std::string p = dir + "/v1.pvx";
    spit(p, head(1, 0, 55, 40, 0, 100) + rec(2, 3) + rec(ENDSTART, 0, 0, 0) + ENDM);
    EXPECT_EQ(openinto(p), fileres::done);
    EXPECT_EQ(te.doc.filever, 1);
    EXPECT_EQ(ffile(te.doc, te.view, fmode::save), fileres::done);
    EXPECT_EQ(slurp(p).substr(0, 4), std::string("\1\0\0\0", 4));
    ffile(te.doc, te.view, fmode::fresh);
    EXPECT_EQ(te.doc.filever, curfilever);
}

TEST_F(FileTest, FailedOpenChangesNothing)
{
    somescore();
    te.doc.filepath = dir + "/current.pvx";
    te.doc.filever = 1;
    te.doc.filesaved = true; // no unsaved-changes dialog in the way
    auto before = starts();
    std::string bad = dir + "/bad.pvx";
    spit(bad, head(2, 9, 9, 9, 9, 9) + rec(0, 4) + rec(2, 1) + rec(ENDSTART, 0, 0, 0) + ENDM); // overlap
    std::string trunc = dir + "/trunc.pvx";
    spit(trunc, head(2, 9, 9, 9, 9, 9) + rec(0, 4));

    for (const std::string& p : {dir + "/missing.pvx", std::string(), bad, trunc, dir}) {
        opentyping(p);
        EXPECT_EQ(ffile(te.doc, te.view, fmode::open), fileres::failed) << p;
        EXPECT_EQ(te.doc.filepath, dir + "/current.pvx") << p;
        EXPECT_EQ(te.doc.filever, 1);
        EXPECT_TRUE(te.doc.filesaved);
        EXPECT_EQ(starts(), before);
        EXPECT_EQ(te.view.mousex, 5);
        EXPECT_EQ(te.view.mousey, 30);
        EXPECT_EQ(te.view.toplo, 20);
        EXPECT_EQ(te.view.leftlo, 3);
        EXPECT_EQ(te.doc.musicleng, 140);
    }
    // Cancelled open dialog.
    keys.insert(keys.end(), {9, 13});
    EXPECT_EQ(ffile(te.doc, te.view, fmode::open), fileres::cancelled);
    EXPECT_EQ(te.doc.filepath, dir + "/current.pvx");
}

TEST_F(FileTest, UnsavedChangesDialogGuardsNewAndOpen)
{
    somescore();
    auto before = starts();
    std::string p = dir + "/x.pvx";
    spit(p, head(2, 0, 55, 40, 0, 100) + rec(ENDSTART, 0, 0, 0) + ENDM);

    keys.push_back(13); // 取消
    EXPECT_EQ(ffile(te.doc, te.view, fmode::fresh), fileres::done);
    EXPECT_EQ(starts(), before);
    EXPECT_FALSE(te.doc.filesaved);

    keys.push_back(13); // 取消 again, before the open dialog
    EXPECT_EQ(ffile(te.doc, te.view, fmode::open), fileres::done);
    EXPECT_EQ(starts(), before);
    EXPECT_TRUE(keys.empty());

    keys.insert(keys.end(), {9, 13}); // 放弃, then open the file
    opentyping(p);
    EXPECT_EQ(ffile(te.doc, te.view, fmode::open), fileres::done);
    EXPECT_EQ(te.doc.music.size(), 1u);
    EXPECT_TRUE(te.doc.filesaved);

    // 保存 with an empty path shows the save dialog; cancelling it stops New.
    somescore();
    te.doc.filepath.clear();
    keys.insert(keys.end(), {9, 9, 13});
    keys.insert(keys.end(), {9, 9, 13}); // save dialog: focus on 取消
    EXPECT_EQ(ffile(te.doc, te.view, fmode::fresh), fileres::done);
    EXPECT_EQ(te.doc.music.size(), 3u);
    EXPECT_FALSE(te.doc.filesaved);
    EXPECT_TRUE(te.doc.filepath.empty());

    // 保存 with a known path writes the score, then New goes on.
    te.doc.filepath = dir + "/y.pvx";
    keys.insert(keys.end(), {9, 9, 13});
    EXPECT_EQ(ffile(te.doc, te.view, fmode::fresh), fileres::done);
    EXPECT_EQ(te.doc.music.size(), 1u);
    EXPECT_EQ(slurp(dir + "/y.pvx").size(), 24u + 3 * 21 + 4);
}

TEST_F(FileTest, HeaderIsClampedAndNotesAfterTheEndMakeTheScoreChanged)
{
    std::string p = dir + "/wild.pvx";
    spit(p, head(2, -7, 300, 99, -50, -1) + rec(0, 2) + rec(ENDSTART + 9, 1) + rec(ENDSTART, 0, 0, 0) + ENDM);
    EXPECT_EQ(openinto(p), fileres::done);
    EXPECT_EQ(te.view.mousex, 0);
    EXPECT_EQ(te.view.mousey, 84);
    EXPECT_EQ(te.view.toplo, 85 - te.view.winheig);
    EXPECT_EQ(te.view.leftlo, 0);
    EXPECT_EQ(te.doc.musicleng, 0);
    EXPECT_EQ(te.doc.music.size(), 2u);
    EXPECT_FALSE(te.doc.filesaved); // a note was dropped: saving would change the file
}

TEST_F(FileTest, SaveFailuresAreReportedAndKeepTheScoreUnsaved)
{
    somescore();
    // Cancelled save dialog.
    keys.insert(keys.end(), {9, 9, 13});
    EXPECT_EQ(ffile(te.doc, te.view, fmode::saveas), fileres::cancelled);
    EXPECT_TRUE(te.doc.filepath.empty());
    // A folder that does not exist: the dialog comes back (and is cancelled
    // here), the score keeps no path.
    savetyping(dir + "/nowhere", "a");
    EXPECT_EQ(ffile(te.doc, te.view, fmode::save), fileres::cancelled);
    EXPECT_EQ(te.doc.filepath, "");
    EXPECT_FALSE(te.doc.filesaved);
    // Empty path, a folder as the destination.
    EXPECT_EQ(savescore(te.doc, te.view, ""), fileres::failed);
    EXPECT_EQ(savescore(te.doc, te.view, dir), fileres::failed);
    EXPECT_FALSE(te.doc.filesaved);
    EXPECT_FALSE(writewhole("", "x"));
    EXPECT_TRUE(names(dir).empty());
}

namespace {

// Runs `body` in a child process; with the file size limited to `limit`
// bytes when given, and as the unprivileged user "nobody" when `drop`.
// The child's exit status is the result of `body`.
int inchild(const std::function<int()>& body, long limit = -1, bool drop = false)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (drop && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        if (limit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit rl{static_cast<rlim_t>(limit), RLIM_INFINITY};
            if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
                _exit(98);
        }
        _exit(body());
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 200;
}

} // namespace

TEST_F(FileTest, WriteFailingHalfWayLeavesTheOldFileByteForByte)
{
    std::string p = dir + "/old.pvx";
    std::string old = head(2, 1, 2, 3, 4, 5) + rec(0, 1) + rec(ENDSTART, 0, 0, 0) + ENDM;
    spit(p, old);
    somescore();
    for (int i = 0; i < 200; i++) // a score far larger than the limit below
        te.doc.music.push(smusic{10 + 2 * i, 3, 1, 1, false});
    // The new image is larger than the limit: the write fails part-way.
    EXPECT_EQ(inchild([&] { return savescore(te.doc, te.view, p) == fileres::failed && !te.doc.filesaved ? 0 : 1; }, 1000), 0);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(names(dir), std::vector<std::string>{"old.pvx"});

    // The same when the file is written in place (it has a second name).
    std::string q = dir + "/other.pvx";
    ASSERT_EQ(link(p.c_str(), q.c_str()), 0);
    EXPECT_EQ(inchild([&] { return savescore(te.doc, te.view, p) == fileres::failed ? 0 : 1; }, 1000), 0);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(slurp(q), old);
    EXPECT_EQ(names(dir), (std::vector<std::string>{"old.pvx", "other.pvx"}));

    // Within the limit both succeed.
    EXPECT_EQ(inchild([&] { return savescore(te.doc, te.view, p) == fileres::done ? 0 : 1; }, 100000), 0);
    EXPECT_EQ(slurp(q), scorebytes(te.doc, te.view));
}

TEST_F(FileTest, PermissionsSymlinksAndHardLinksAreKept)
{
    somescore();
    std::string p = dir + "/perm.pvx";
    spit(p, "old");
    ASSERT_EQ(chmod(p.c_str(), 0640), 0);
    ASSERT_EQ(savescore(te.doc, te.view, p), fileres::done);
    struct stat st;
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(slurp(p), scorebytes(te.doc, te.view));

    // A new file: 0666 less the umask.
    mode_t um = umask(027);
    ASSERT_EQ(savescore(te.doc, te.view, dir + "/new.pvx"), fileres::done);
    umask(um);
    ASSERT_EQ(stat((dir + "/new.pvx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A symbolic link (relative, into a sub-folder) stays a link; its target
    // gets the new content. A dangling link creates its target.
    fs::create_directory(dir + "/sub");
    spit(dir + "/sub/target.pvx", "old");
    ASSERT_EQ(symlink("sub/target.pvx", (dir + "/link.pvx").c_str()), 0);
    ASSERT_EQ(savescore(te.doc, te.view, dir + "/link.pvx"), fileres::done);
    EXPECT_TRUE(fs::is_symlink(dir + "/link.pvx"));
    EXPECT_EQ(slurp(dir + "/sub/target.pvx"), scorebytes(te.doc, te.view));
    ASSERT_EQ(symlink("sub/later.pvx", (dir + "/dangling.pvx").c_str()), 0);
    ASSERT_EQ(savescore(te.doc, te.view, dir + "/dangling.pvx"), fileres::done);
    EXPECT_TRUE(fs::is_symlink(dir + "/dangling.pvx"));
    EXPECT_EQ(slurp(dir + "/sub/later.pvx"), scorebytes(te.doc, te.view));

    // A hard-linked file is written in place: both names see the new score,
    // a shorter one included (the old tail is cut off).
    spit(dir + "/h1", std::string(5000, 'x'));
    ASSERT_EQ(link((dir + "/h1").c_str(), (dir + "/h2").c_str()), 0);
    struct stat a, b;
    stat((dir + "/h1").c_str(), &a);
    ASSERT_EQ(savescore(te.doc, te.view, dir + "/h1"), fileres::done);
    stat((dir + "/h1").c_str(), &b);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(slurp(dir + "/h2"), scorebytes(te.doc, te.view));
}

TEST_F(FileTest, FoldersWithoutWriteAccess)
{
    // Needs an unprivileged user: root may write anywhere.
    somescore();
    std::string ro = dir + "/ro";
    fs::create_directory(ro);
    spit(ro + "/open.pvx", "old");
    ASSERT_EQ(chmod((ro + "/open.pvx").c_str(), 0666), 0);
    spit(ro + "/shut.pvx", "old");
    ASSERT_EQ(chmod((ro + "/shut.pvx").c_str(), 0644), 0);
    ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
    bool root = geteuid() == 0;
    if (!root) {
        // Files we own stay writable; the folder alone is closed.
        ASSERT_EQ(chmod((ro + "/shut.pvx").c_str(), 0444), 0);
    }
    int r = inchild(
        [&] {
            if (savescore(te.doc, te.view, ro + "/new.pvx") != fileres::failed)
                return 1; // the folder takes no new file
            if (savescore(te.doc, te.view, ro + "/shut.pvx") != fileres::failed)
                return 2; // neither folder nor file writable
            if (savescore(te.doc, te.view, ro + "/open.pvx") != fileres::done)
                return 3; // the file itself is writable: written in place
            return 0;
        },
        -1, true);
    chmod(ro.c_str(), 0755);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(slurp(ro + "/open.pvx"), scorebytes(te.doc, te.view));
    EXPECT_EQ(slurp(ro + "/shut.pvx"), "old");
    EXPECT_EQ(names(ro), (std::vector<std::string>{"open.pvx", "shut.pvx"}));
}

TEST_F(FileTest, RecoveryFilesNeverReplaceAnotherAndOpenLikeAScore)
{
    somescore();
    fs::current_path(dir);
    te.doc.filepath = dir + "/song.pvx";
    EXPECT_EQ(savrecovery(te.doc, te.view), dir + "/song.pvx.save");
    EXPECT_EQ(savrecovery(te.doc, te.view), dir + "/song.pvx.save.1");
    EXPECT_EQ(savrecovery(te.doc, te.view), dir + "/song.pvx.save.2");
    EXPECT_EQ(slurp(dir + "/song.pvx.save.1"), scorebytes(te.doc, te.view));
    EXPECT_FALSE(fs::exists(dir + "/song.pvx")); // the score file is not touched

    // No path yet, or a folder that takes no file: the working folder.
    std::string pid = std::to_string(getpid());
    te.doc.filepath.clear();
    EXPECT_EQ(savrecovery(te.doc, te.view), "pellavine." + pid + ".save");
    te.doc.filepath = dir + "/gone/song.pvx";
    EXPECT_EQ(savrecovery(te.doc, te.view), "pellavine." + pid + ".save.1");

    auto before = starts();
    te.doc.filesaved = true;
    ffile(te.doc, te.view, fmode::fresh);
    EXPECT_EQ(openinto(dir + "/song.pvx.save"), fileres::done);
    EXPECT_EQ(te.doc.filepath, dir + "/song.pvx.save");
    EXPECT_EQ(te.view.mousex, 5);
    EXPECT_EQ(te.doc.musicleng, 140);
    EXPECT_EQ(starts(), (std::vector<int>{before[2], before[0], before[1]}));
}
