// SPDX-License-Identifier: MIT
// The editor as it is installed: the help text found from the working folder
// or beside the executable, and a smoke test of an installed editor (named by
// PELLAVINE_EDITOR) started from a folder of its own.
#include "console/console.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string HELPERROR = "读取帮助文件失败";
const std::string PAUSE = "请按任意键继续";

std::string readfile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writefile(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// Chooses "Pellavine 帮助" (the first item of the sixth menu) and returns the
// screen once the help, or its error box, waits for a key.
std::string openhelp(session& s)
{
    s.send("\tddddd\r");
    s.until([&] { return s.screen().find(PAUSE) != std::string::npos; });
    return s.screen();
}

// A scratch folder that is removed with everything in it.
struct scratch {
    fs::path dir;
    scratch()
    {
        char tmpl[] = "/tmp/pvinstall.XXXXXX";
        const char* d = mkdtemp(tmpl);
        dir = d ? d : "";
    }
    ~scratch()
    {
        if (!dir.empty())
            fs::remove_all(dir);
    }
    scratch(const scratch&) = delete;
    scratch& operator=(const scratch&) = delete;
};

// Runs a program with its arguments in the folder cwd; returns its exit
// status, or -1.
int run(const std::vector<std::string>& argv, const std::string& cwd)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        execv(args[0], args.data());
        _exit(127);
    }
    int st = 0;
    if (pid < 0 || waitpid(pid, &st, 0) != pid)
        return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

} // namespace

// Copies of the built editor in folders laid out as an installation would
// be, each started in a pseudo-terminal and asked for its help.
TEST(HelpLookup, WorkingFolderFirstThenShareBesideTheRealExecutable)
{
    scratch t;
    ASSERT_FALSE(t.dir.empty());
    const fs::path withshare = t.dir / "with/bin/pellavine";
    const fs::path alone = t.dir / "alone/bin/pellavine";
    const fs::path link = t.dir / "link/pellavine";
    for (const fs::path& p : {withshare, alone}) {
        fs::create_directories(p.parent_path());
        fs::copy_file(PV_EDITOR, p);
    }
    writefile(t.dir / "with/share/pellavine/说明.txt", "SHIPPED help text\n");
    fs::create_directories(link.parent_path());
    fs::create_symlink(withshare, link); // link/../share does not exist

    enum class cwdfile { none, text, folder };
    const struct {
        const char* name;
        fs::path exe;
        cwdfile local;
        std::string expect; // what row 0 starts with
    } cases[] = {
        {"the working folder's file comes first", withshare, cwdfile::text, "LOCAL help text"},
        {"then the one under share/", withshare, cwdfile::none, "SHIPPED help text"},
        {"an unreadable working copy is passed over", withshare, cwdfile::folder, "SHIPPED help text"},
        {"found from the real path behind a link", link, cwdfile::none, "SHIPPED help text"},
        {"no share/ and no file: the error box", alone, cwdfile::none, " ________"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session s(SCRW, SCRH, "", c.exe.string());
        ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
        if (c.local == cwdfile::text)
            writefile(fs::path(s.dir) / "说明.txt", "LOCAL help text\n");
        if (c.local == cwdfile::folder)
            fs::create_directory(fs::path(s.dir) / "说明.txt");
        std::string screen = openhelp(s);
        EXPECT_EQ(s.term.row(0).rfind(c.expect, 0), 0u) << screen;
        bool errorbox = c.expect[0] == ' ';
        EXPECT_EQ(screen.find(HELPERROR) != std::string::npos, errorbox) << screen;
        s.send("q");
        ASSERT_TRUE(s.until([&] { return firstframe(s) && s.term.row(0).find("帮助") != std::string::npos; }))
            << s.screen();
        s.send("\x03");
        ASSERT_TRUE(s.finish()) << s.screen();
        EXPECT_TRUE(WIFEXITED(s.status) && WEXITSTATUS(s.status) == 0);
    }
}

// The installed editor from a working folder of its own: the first frame, the
// shipped help text, a request to the installed player that it can render,
// and a saved score. Skipped unless PELLAVINE_EDITOR names the editor.
TEST(Installed, StartsHelpsSoundsAndSavesFromAnyFolder)
{
    const char* exe = std::getenv("PELLAVINE_EDITOR");
    if (!exe || !*exe)
        GTEST_SKIP() << "PELLAVINE_EDITOR is not set";
    const fs::path bindir = fs::canonical(exe).parent_path();
    const std::string shipped = readfile(bindir / "../share/pellavine/说明.txt");
    ASSERT_FALSE(shipped.empty()) << "no help text installed beside " << bindir;

    session s(SCRW, SCRH, "smoke.pvx", exe);
    ASSERT_GT(s.pid, 0);
    ASSERT_NE(fs::path(s.dir), bindir);
    ASSERT_TRUE(s.until([&] { return firstframe(s); })) << s.screen();
    EXPECT_EQ(s.term.row(17, 0, 6), "   C3|");

    std::string screen = openhelp(s);
    EXPECT_EQ(screen.find(HELPERROR), std::string::npos) << screen;
    EXPECT_EQ(s.term.row(0).rfind(shipped.substr(0, shipped.find('\n')), 0), 0u) << screen;
    s.send("q");
    ASSERT_TRUE(s.until([&] { return firstframe(s) && s.screen().find(PAUSE) == std::string::npos; }))
        << s.screen();

    // b leaves a tone request in the working folder and starts the player
    // installed beside the editor, which can also render it.
    const fs::path request = fs::path(s.dir) / "beepset.tmp";
    s.send("b");
    ASSERT_TRUE(s.until([&] { return fs::exists(request); })) << s.screen();
    EXPECT_EQ(run({(bindir / "pellavine-beep").string(), "--wav", "tone.wav"}, s.dir), 0);
    EXPECT_GT(fs::file_size(fs::path(s.dir) / "tone.wav"), 44u); // more than a WAV header

    const fs::path score = fs::path(s.dir) / "smoke.pvx";
    s.send(" \x13"); // one note, Ctrl+S
    ASSERT_TRUE(s.until([&] { return fs::exists(score); })) << s.screen();
    EXPECT_EQ(fs::file_size(score), 24u + 2 * 21 + 4); // header, two notes, end
    s.send("\x03");
    ASSERT_TRUE(s.finish()) << s.screen();
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
}
