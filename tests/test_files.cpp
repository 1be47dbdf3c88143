// The file commands driven as a user drives them (keys into the dialogs,
// files on disk out), and the safe replacement of files.
#include "console/console.h"
#include "score/ring.h"
#include "editor/editor.h"
#include "files/files.h"
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
std::deque<std::string> lines;

int scriptkey()
{
    if (keys.empty())
        return KEY_END;
    int k = keys.front();
    keys.pop_front();
    return k;
}

bool scriptline(Grid&, std::string& s)
{
    if (lines.empty())
        return false;
    s = lines.front();
    lines.pop_front();
    return true;
}

// Keys that type `path` into the open dialog and confirm it.
void opentyping(const std::string& path)
{
    keys.insert(keys.end(), {' ', 9, 9, 13});
    lines.push_back(path);
}

// Keys that type a folder and a name into the save dialog and confirm them.
void savetyping(const std::string& dir, const std::string& name)
{
    keys.insert(keys.end(), {' ', 9, ' ', 9, 9, 13});
    lines.push_back(dir);
    lines.push_back(name);
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

std::vector<int> starts()
{
    std::vector<int> v;
    for (const smusic& m : music.queue())
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
        oldio = io;
        io = conio{};
        io.key = scriptkey;
        io.line = scriptline;
        keys.clear();
        lines.clear();
        oldcwd = fs::current_path().string();
        cls();
        resetstate();
    }
    void TearDown() override
    {
        io = oldio;
        fs::current_path(oldcwd);
        fs::remove_all(dir);
        resetstate();
    }
    // A score a (0, 4), b (5, 1), sentinel with the cursor on b.
    void somescore()
    {
        music.clear();
        music.push(smusic{0, 3, 1, 4, false});
        music.push(smusic{5, 4, 6, 1, true});
        music.push(SENTINEL);
        mousex = 5;
        mousey = 30;
        toplo = 20;
        leftlo = 3;
        musicleng = 140;
        filesaved = false;
    }
};

} // namespace

TEST_F(FileTest, NewScoreSavedAtOnceIs49BytesAndCtrlSThenWritesWithoutDialog)
{
    // Ctrl+S with no path asks for folder and name and adds ".pvx".
    savetyping(dir, "song");
    EXPECT_EQ(ffile(1), 0);
    EXPECT_EQ(filepath, dir + "/song.pvx");
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(slurp(filepath), head(2, 0, 55, 40, 0, 100) + rec(ENDSTART, 0, 0, 0) + ENDM);

    // With a known path Save shows no dialog: no key is read.
    somescore();
    keys.push_back(9); // would be read by a dialog
    EXPECT_EQ(ffile(1), 0);
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_TRUE(filesaved);
    EXPECT_EQ(slurp(filepath).size(), 24u + 3 * 21 + 4);
    EXPECT_EQ(names(dir), std::vector<std::string>{"song.pvx"}); // no temporary file left
}

TEST_F(FileTest, SavedScoreOpensWithNotesCursorAndViewAndTheRingShiftedByOne)
{
    somescore();
    music.locate(5); // queue: sentinel, a, b (b is the back)
    auto before = starts();
    filepath = dir + "/s.pvx";
    ASSERT_EQ(ffile(1), 0);

    // Another score in memory, then open the file through the dialog.
    ASSERT_EQ(ffile(3), 0);
    EXPECT_EQ(mousey, 55);
    EXPECT_EQ(filepath, dir + "/s.pvx"); // New keeps the path
    filepath.clear();
    opentyping(dir + "/s.pvx");
    EXPECT_EQ(ffile(0), 0);
    EXPECT_EQ(filepath, dir + "/s.pvx");
    EXPECT_TRUE(filesaved);
    EXPECT_EQ(mousex, 5);
    EXPECT_EQ(mousey, 30);
    EXPECT_EQ(toplo, 20);
    EXPECT_EQ(leftlo, 3);
    EXPECT_EQ(musicleng, 140);
    // The file begins with the back note, so the loaded queue is the old one
    // turned back by one place.
    std::vector<int> want = {before.back()};
    want.insert(want.end(), before.begin(), before.end() - 1);
    EXPECT_EQ(starts(), want);
    auto q = music.queue();
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
    EXPECT_EQ(openscore(p), 1);
    EXPECT_EQ(filever, 1);
    EXPECT_EQ(ffile(1), 0);
    EXPECT_EQ(slurp(p).substr(0, 4), std::string("\1\0\0\0", 4));
    ffile(3);
    EXPECT_EQ(filever, curfilever);
}

TEST_F(FileTest, FailedOpenChangesNothing)
{
    somescore();
    filepath = dir + "/current.pvx";
    filever = 1;
    filesaved = true; // no unsaved-changes dialog in the way
    auto before = starts();
    std::string bad = dir + "/bad.pvx";
    spit(bad, head(2, 9, 9, 9, 9, 9) + rec(0, 4) + rec(2, 1) + rec(ENDSTART, 0, 0, 0) + ENDM); // overlap
    std::string trunc = dir + "/trunc.pvx";
    spit(trunc, head(2, 9, 9, 9, 9, 9) + rec(0, 4));

    for (const std::string& p : {dir + "/missing.pvx", std::string(), bad, trunc, dir}) {
        opentyping(p);
        EXPECT_EQ(ffile(0), -1) << p;
        EXPECT_EQ(filepath, dir + "/current.pvx") << p;
        EXPECT_EQ(filever, 1);
        EXPECT_TRUE(filesaved);
        EXPECT_EQ(starts(), before);
        EXPECT_EQ(mousex, 5);
        EXPECT_EQ(mousey, 30);
        EXPECT_EQ(toplo, 20);
        EXPECT_EQ(leftlo, 3);
        EXPECT_EQ(musicleng, 140);
    }
    // Cancelled open dialog: -1 as well.
    keys.insert(keys.end(), {9, 13});
    EXPECT_EQ(ffile(0), -1);
    EXPECT_EQ(filepath, dir + "/current.pvx");
}

TEST_F(FileTest, UnsavedChangesDialogGuardsNewAndOpen)
{
    somescore();
    auto before = starts();
    std::string p = dir + "/x.pvx";
    spit(p, head(2, 0, 55, 40, 0, 100) + rec(ENDSTART, 0, 0, 0) + ENDM);

    keys.push_back(13); // 取消
    EXPECT_EQ(ffile(3), 0);
    EXPECT_EQ(starts(), before);
    EXPECT_FALSE(filesaved);

    keys.push_back(13); // 取消 again, before the open dialog
    EXPECT_EQ(ffile(0), 0);
    EXPECT_EQ(starts(), before);
    EXPECT_TRUE(keys.empty());

    keys.insert(keys.end(), {9, 13}); // 放弃, then open the file
    opentyping(p);
    EXPECT_EQ(ffile(0), 0);
    EXPECT_EQ(music.size(), 1u);
    EXPECT_TRUE(filesaved);

    // 保存 with an empty path shows the save dialog; cancelling it stops New.
    somescore();
    filepath.clear();
    keys.insert(keys.end(), {9, 9, 13});
    keys.insert(keys.end(), {9, 9, 13}); // save dialog: focus on 取消
    EXPECT_EQ(ffile(3), 0);
    EXPECT_EQ(music.size(), 3u);
    EXPECT_FALSE(filesaved);
    EXPECT_TRUE(filepath.empty());

    // 保存 with a known path writes the score, then New goes on.
    filepath = dir + "/y.pvx";
    keys.insert(keys.end(), {9, 9, 13});
    EXPECT_EQ(ffile(3), 0);
    EXPECT_EQ(music.size(), 1u);
    EXPECT_EQ(slurp(dir + "/y.pvx").size(), 24u + 3 * 21 + 4);
}

TEST_F(FileTest, HeaderIsClampedAndNotesAfterTheEndMakeTheScoreChanged)
{
    std::string p = dir + "/wild.pvx";
    spit(p, head(2, -7, 300, 99, -50, -1) + rec(0, 2) + rec(ENDSTART + 9, 1) + rec(ENDSTART, 0, 0, 0) + ENDM);
    EXPECT_EQ(openscore(p), 0);
    EXPECT_EQ(mousex, 0);
    EXPECT_EQ(mousey, 84);
    EXPECT_EQ(toplo, 85 - winheig);
    EXPECT_EQ(leftlo, 0);
    EXPECT_EQ(musicleng, 0);
    EXPECT_EQ(music.size(), 2u);
    EXPECT_FALSE(filesaved); // a note was dropped: saving would change the file
}

TEST_F(FileTest, SaveFailuresReportMinusOneAndKeepTheScoreUnsaved)
{
    somescore();
    // Cancelled save dialog.
    keys.insert(keys.end(), {9, 9, 13});
    EXPECT_EQ(ffile(2), -1);
    EXPECT_TRUE(filepath.empty());
    // A folder that does not exist: the path stays what the dialog set.
    savetyping(dir + "/nowhere", "a");
    EXPECT_EQ(ffile(1), -1);
    EXPECT_EQ(filepath, dir + "/nowhere/a.pvx");
    EXPECT_FALSE(filesaved);
    // Empty path, a folder as the destination.
    EXPECT_EQ(savescore(""), -1);
    EXPECT_EQ(savescore(dir), -1);
    EXPECT_FALSE(filesaved);
    EXPECT_FALSE(writewhole("", "x"));
    EXPECT_TRUE(names(dir).empty());
    EXPECT_EQ(ffile(7), -1);
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
        music.push(smusic{10 + 2 * i, 3, 1, 1, false});
    // The new image is larger than the limit: the write fails part-way.
    EXPECT_EQ(inchild([&] { return savescore(p) == -1 && !filesaved ? 0 : 1; }, 1000), 0);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(names(dir), std::vector<std::string>{"old.pvx"});

    // The same when the file is written in place (it has a second name).
    std::string q = dir + "/other.pvx";
    ASSERT_EQ(link(p.c_str(), q.c_str()), 0);
    EXPECT_EQ(inchild([&] { return savescore(p) == -1 ? 0 : 1; }, 1000), 0);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(slurp(q), old);
    EXPECT_EQ(names(dir), (std::vector<std::string>{"old.pvx", "other.pvx"}));

    // Within the limit both succeed.
    EXPECT_EQ(inchild([&] { return savescore(p); }, 100000), 0);
    EXPECT_EQ(slurp(q), scorebytes());
}

TEST_F(FileTest, PermissionsSymlinksAndHardLinksAreKept)
{
    somescore();
    std::string p = dir + "/perm.pvx";
    spit(p, "old");
    ASSERT_EQ(chmod(p.c_str(), 0640), 0);
    ASSERT_EQ(savescore(p), 0);
    struct stat st;
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(slurp(p), scorebytes());

    // A new file: 0666 less the umask.
    mode_t um = umask(027);
    ASSERT_EQ(savescore(dir + "/new.pvx"), 0);
    umask(um);
    ASSERT_EQ(stat((dir + "/new.pvx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A symbolic link (relative, into a sub-folder) stays a link; its target
    // gets the new content. A dangling link creates its target.
    fs::create_directory(dir + "/sub");
    spit(dir + "/sub/target.pvx", "old");
    ASSERT_EQ(symlink("sub/target.pvx", (dir + "/link.pvx").c_str()), 0);
    ASSERT_EQ(savescore(dir + "/link.pvx"), 0);
    EXPECT_TRUE(fs::is_symlink(dir + "/link.pvx"));
    EXPECT_EQ(slurp(dir + "/sub/target.pvx"), scorebytes());
    ASSERT_EQ(symlink("sub/later.pvx", (dir + "/dangling.pvx").c_str()), 0);
    ASSERT_EQ(savescore(dir + "/dangling.pvx"), 0);
    EXPECT_TRUE(fs::is_symlink(dir + "/dangling.pvx"));
    EXPECT_EQ(slurp(dir + "/sub/later.pvx"), scorebytes());

    // A hard-linked file is written in place: both names see the new score,
    // a shorter one included (the old tail is cut off).
    spit(dir + "/h1", std::string(5000, 'x'));
    ASSERT_EQ(link((dir + "/h1").c_str(), (dir + "/h2").c_str()), 0);
    struct stat a, b;
    stat((dir + "/h1").c_str(), &a);
    ASSERT_EQ(savescore(dir + "/h1"), 0);
    stat((dir + "/h1").c_str(), &b);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(slurp(dir + "/h2"), scorebytes());
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
            if (savescore(ro + "/new.pvx") != -1)
                return 1; // the folder takes no new file
            if (savescore(ro + "/shut.pvx") != -1)
                return 2; // neither folder nor file writable
            if (savescore(ro + "/open.pvx") != 0)
                return 3; // the file itself is writable: written in place
            return 0;
        },
        -1, true);
    chmod(ro.c_str(), 0755);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(slurp(ro + "/open.pvx"), scorebytes());
    EXPECT_EQ(slurp(ro + "/shut.pvx"), "old");
    EXPECT_EQ(names(ro), (std::vector<std::string>{"open.pvx", "shut.pvx"}));
}

TEST_F(FileTest, RecoveryFilesNeverReplaceAnotherAndOpenLikeAScore)
{
    somescore();
    fs::current_path(dir);
    filepath = dir + "/song.pvx";
    EXPECT_EQ(savrecovery(), dir + "/song.pvx.save");
    EXPECT_EQ(savrecovery(), dir + "/song.pvx.save.1");
    EXPECT_EQ(savrecovery(), dir + "/song.pvx.save.2");
    EXPECT_EQ(slurp(dir + "/song.pvx.save.1"), scorebytes());
    EXPECT_FALSE(fs::exists(dir + "/song.pvx")); // the score file is not touched

    // No path yet, or a folder that takes no file: the working folder.
    std::string pid = std::to_string(getpid());
    filepath.clear();
    EXPECT_EQ(savrecovery(), "pellavine." + pid + ".save");
    filepath = dir + "/gone/song.pvx";
    EXPECT_EQ(savrecovery(), "pellavine." + pid + ".save.1");

    auto before = starts();
    filesaved = true;
    ffile(3);
    EXPECT_EQ(openscore(dir + "/song.pvx.save"), 0);
    EXPECT_EQ(filepath, dir + "/song.pvx.save");
    EXPECT_EQ(mousex, 5);
    EXPECT_EQ(musicleng, 140);
    EXPECT_EQ(starts(), (std::vector<int>{before[2], before[0], before[1]}));
}
