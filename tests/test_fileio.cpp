// SPDX-License-Identifier: MIT
// File operations under attack: links planted where a request goes,
// write-protected files, pipes and devices, stop signals, full disks and
// folders that take no recovery file.
#include "platform/fileio.h"
#include "platform/proc.h"
#include "tone/players.h"
#include "tone/tone.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t NOBODY = 65534;

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void spit(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> names(const std::string& dir)
{
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(dir))
        v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

// Runs `body` in a child process, as the unprivileged user "nobody" when the
// tests run as root; the child's exit status is the result of `body`.
int inchild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
            _exit(99);
        _exit(body());
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 200;
}

struct FileIoTest : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/pvfileio.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        chmod(dir.c_str(), 0755);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return dir + "/" + name; }
    // A folder the child of inchild may write.
    std::string ownfolder(const std::string& name, mode_t mode = 0755) const
    {
        std::string d = at(name);
        fs::create_directory(d);
        if (geteuid() == 0 && chown(d.c_str(), NOBODY, NOBODY) != 0)
            return {};
        chmod(d.c_str(), mode);
        return d;
    }
};

} // namespace

TEST_F(FileIoTest, RequestReplacesAPlantedLinkAndNeverWritesThroughIt)
{
    spit(at("precious"), "keep me");
    ASSERT_EQ(symlink("precious", at("beepset.tmp").c_str()), 0);
    ASSERT_EQ(symlink("created", at("dangling").c_str()), 0);

    EXPECT_TRUE(writeplain(at("beepset.tmp"), "1 2 3 440 10"));
    EXPECT_TRUE(writeplain(at("dangling"), "x"));
    EXPECT_EQ(slurp(at("precious")), "keep me");
    EXPECT_FALSE(fs::is_symlink(at("beepset.tmp")));
    EXPECT_EQ(slurp(at("beepset.tmp")), "1 2 3 440 10");
    EXPECT_FALSE(fs::exists(at("created")));
    EXPECT_EQ(names(dir), (std::vector<std::string>{"beepset.tmp", "dangling", "precious"}));

    // The editor's own request goes the same way (no player is started).
    setplayerpath(at("no-player"));
    ASSERT_EQ(unlink(at("beepset.tmp").c_str()), 0);
    ASSERT_EQ(symlink("precious", at("beepset.tmp").c_str()), 0);
    fs::path old = fs::current_path();
    fs::current_path(dir);
    beep(reqmode::tone, splay{}, 3, 6, false, 10, "");
    fs::current_path(old);
    playersreset();
    EXPECT_EQ(slurp(at("precious")), "keep me");
    EXPECT_FALSE(fs::is_symlink(at("beepset.tmp")));
    EXPECT_EQ(slurp(at("beepset.tmp")).substr(0, 2), "1 ");

    // The player refuses to read a request through a link.
    std::string bytes, err;
    ASSERT_EQ(symlink("precious", at("req").c_str()), 0);
    EXPECT_EQ(readwhole(at("req"), bytes, &err, 1 << 20, linkmode::refuse).why, fileerr::notregular);
    EXPECT_TRUE(readwhole(at("req"), bytes, &err, 1 << 20, linkmode::follow));
    EXPECT_EQ(bytes, "keep me");
}

TEST_F(FileIoTest, PlantedLinkInASharedStickyFolderOfAnotherUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs two users";
    // Root plants the link in a 1777 folder; "nobody" asks for a tone there.
    std::string shared = ownfolder("shared", 01777);
    ASSERT_EQ(chown(shared.c_str(), 0, 0), 0);
    spit(at("victim"), "root's file");
    chmod(at("victim").c_str(), 0666); // even a file the victim could write
    ASSERT_EQ(symlink(at("victim").c_str(), (shared + "/beepset.tmp").c_str()), 0);
    int r = inchild([&] {
        iores w = writeplain(shared + "/beepset.tmp", "request");
        return w ? 1 : w.why == fileerr::noperm ? 0 : 2;
    });
    EXPECT_EQ(r, 0); // the sticky folder keeps root's link: no request, no harm
    EXPECT_EQ(slurp(at("victim")), "root's file");
    EXPECT_EQ(names(shared), std::vector<std::string>{"beepset.tmp"});
}

TEST_F(FileIoTest, WriteProtectedFileStaysByteIdentical)
{
    std::string d = ownfolder("mine");
    ASSERT_FALSE(d.empty());
    std::string p = d + "/song.pvx";
    spit(p, "old score");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(p.c_str(), NOBODY, NOBODY), 0);
    }
    ASSERT_EQ(chmod(p.c_str(), 0444), 0);
    ASSERT_EQ(symlink(p.c_str(), at("link.pvx").c_str()), 0);
    struct stat before, after;
    ASSERT_EQ(stat(p.c_str(), &before), 0);
    int r = inchild([&] {
        for (const std::string& path : {p, at("link.pvx")}) {
            iores w = writewhole(path, "new score");
            if (w || w.why != fileerr::noperm)
                return 1;
        }
        return 0;
    });
    EXPECT_EQ(r, 0);
    ASSERT_EQ(stat(p.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(slurp(p), "old score");
    EXPECT_EQ(names(d), std::vector<std::string>{"song.pvx"});
}

TEST_F(FileIoTest, TargetsThatAreNotRegularFilesAreRefused)
{
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    // A reader keeps the pipe open: a write would otherwise vanish into it.
    int reader = open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(symlink("fifo", at("tofifo").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", at("todevice").c_str()), 0);
    fs::create_directory(at("folder"));
    for (const char* name : {"fifo", "tofifo", "todevice", "folder"}) {
        iores w = writewhole(at(name), std::string(100000, 'x'));
        EXPECT_EQ(w.why, fileerr::notregular) << name;
    }
    char b;
    EXPECT_LE(read(reader, &b, 1), 0); // nothing reached the pipe
    close(reader);
    EXPECT_EQ(names(dir), (std::vector<std::string>{"fifo", "folder", "todevice", "tofifo"}));
}

namespace {

void notestop(int) { fileiostop(); }

} // namespace

TEST_F(FileIoTest, StopSignalEndsABlockedWriteAndAStopBeforeTheWriteDoesNot)
{
    // A pipe nobody reads: the write blocks once the pipe is full.
    int r = inchild([] {
        int p[2];
        if (pipe(p) != 0)
            return 1;
        struct sigaction sa {};
        sa.sa_handler = notestop; // as the terminal's stop handler does
        sigaction(SIGALRM, &sa, nullptr);
        alarm(1);
        iores w = writefd(p[1], std::string(1 << 20, 'x'));
        alarm(0);
        return w.why == fileerr::stopped ? 0 : 2;
    });
    EXPECT_EQ(r, 0);

    // The recovery file is written after the stop that asked for it.
    fileiostop();
    EXPECT_EQ(writenew(at("rescue"), "work"), at("rescue"));
    EXPECT_TRUE(writewhole(at("saved"), "work"));
    EXPECT_EQ(slurp(at("rescue")), "work");
}

TEST_F(FileIoTest, FailuresSayWhy)
{
    int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    EXPECT_EQ(writefd(full, "x").why, fileerr::diskfull);
    close(full);

    std::string bytes;
    iores res;
    struct {
        const char* what;
        iores got;
        fileerr want;
    } cases[] = {
        {"write, no folder", writewhole(at("none/a.pvx"), "x"), fileerr::nofolder},
        {"write, empty path", writewhole("", "x"), fileerr::missing},
        {"read, no file", readwhole(at("none"), bytes), fileerr::missing},
        {"read, folder", readwhole(dir, bytes), fileerr::notregular},
        {"read, limit", (spit(at("big"), "12345"), readwhole(at("big"), bytes, nullptr, 4)), fileerr::toolarge},
        {"new, no folder", (writenew(at("none/r"), "x", &res), res), fileerr::nofolder},
        {"plain, no folder", writeplain(at("none/beepset.tmp"), "x"), fileerr::nofolder},
        {"read, no folder", readwhole(at("none/a.pvx"), bytes), fileerr::nofolder},
        {"write, name too long", writewhole(at(std::string(300, 'n')), "x"), fileerr::toolong},
        {"write, fine", writewhole(at("fine"), "x"), fileerr::ok},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.got.why, c.want) << c.what;

    std::string ro = ownfolder("ro", 0555);
    int r = inchild([&] {
        iores w = writewhole(ro + "/a.pvx", "x");
        iores n;
        writenew(ro + "/r", "x", &n);
        return w.why == fileerr::noperm && n.why == fileerr::noperm ? 0 : 1;
    });
    if (geteuid() == 0) {
        EXPECT_EQ(r, 0);
    }
}

TEST_F(FileIoTest, RecoveryGoesToTheFirstPlaceThatTakesIt)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs folders the test user cannot write";
    std::string open = ownfolder("open"), home = ownfolder("home"), tmp = ownfolder("tmp");
    fs::create_directory(at("shut")); // root's folder: "nobody" may not write it
    const std::string own = "pellavine.42.save";
    struct {
        const char* what;
        std::string score, cwd, home, tmpdir, want;
    } cases[] = {
        {"beside the score", open + "/s.pvx", at("shut"), home, tmp, open + "/s.pvx.save"},
        {"working folder", at("shut/s.pvx"), open, home, tmp, own},
        {"no score path", "", open, home, tmp, own + ".1"},
        {"home", at("shut/s.pvx"), at("shut"), home, tmp, home + "/" + own},
        {"no home", at("shut/s.pvx"), at("shut"), "", tmp, tmp + "/" + own},
        {"TMPDIR", at("gone/s.pvx"), at("shut"), at("shut"), tmp, tmp + "/" + own + ".1"},
    };
    for (auto& c : cases) {
        int r = inchild([&] {
            if (chdir(c.cwd.c_str()) != 0)
                return 3;
            c.home.empty() ? unsetenv("HOME") : setenv("HOME", c.home.c_str(), 1);
            setenv("TMPDIR", c.tmpdir.c_str(), 1);
            std::string p = writerecovery("unsaved work", c.score, 42);
            return p == c.want && slurp(p) == "unsaved work" ? 0 : 1;
        });
        EXPECT_EQ(r, 0) << c.what;
    }
    // Nothing writable but /tmp: the last resort is there.
    int r = inchild([&] {
        if (chdir(at("shut").c_str()) != 0)
            return 3;
        setenv("HOME", at("shut").c_str(), 1);
        setenv("TMPDIR", at("shut").c_str(), 1);
        std::string p = writerecovery("w", "", 424242);
        bool ok = p.rfind("/tmp/pellavine.424242.save", 0) == 0;
        unlink(p.c_str());
        return ok ? 0 : 1;
    });
    EXPECT_EQ(r, 0);
}
