// SPDX-License-Identifier: MIT
#include "platform/proc.h"
#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

extern char** environ;

namespace {


// The running executable's own path, found without argv.
std::string selfpath()
{
#ifdef __APPLE__
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string buf(size, '\0');
    if (_NSGetExecutablePath(buf.data(), &size) != 0)
        return {};
    buf.resize(std::strlen(buf.c_str()));
    char* real = realpath(buf.c_str(), nullptr);
    if (!real)
        return buf;
    std::string out = real;
    std::free(real);
    return out;
#else
    // /proc/self/exe on Linux, /proc/curproc/file on some BSDs.
    for (const char* link : {"/proc/self/exe", "/proc/curproc/file"}) {
        std::string buf(256, '\0');
        for (;;) {
            ssize_t n = readlink(link, buf.data(), buf.size());
            if (n < 0)
                break;
            if (static_cast<size_t>(n) < buf.size()) {
                buf.resize(static_cast<size_t>(n));
                return buf;
            }
            buf.resize(buf.size() * 2);
        }
    }
    return {};
#endif
}

bool executable(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Finds a program by name in PATH, as the shell would, but here in the parent
// so that the child only has to call execve.
std::string findinpath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty())
            dir.push_back('.'); // an empty entry is the working folder
        std::string full = dir;
        full += '/';
        full += name;
        if (executable(full))
            return full;
        if (end == std::string::npos)
            return {};
        start = end + 1;
    }
}

// Descriptors open now, listed before fork (listing a folder is not safe in
// the child).
std::vector<int> openfds()
{
    std::vector<int> fds;
    for (const char* dirname : {"/proc/self/fd", "/dev/fd"}) {
        DIR* d = opendir(dirname);
        if (!d)
            continue;
        int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            char* end = nullptr;
            long fd = std::strtol(e->d_name, &end, 10);
            if (end != e->d_name && *end == '\0' && fd != own)
                fds.push_back(static_cast<int>(fd));
        }
        closedir(d);
        return fds;
    }
    long max = sysconf(_SC_OPEN_MAX);
    if (max < 0 || max > 65536)
        max = 65536;
    for (int fd = 0; fd < max; fd++)
        fds.push_back(fd);
    return fds;
}

// Blocks until the pid reaches exec or dies trying; the pipe closes on exec.
// Returns the child's errno from a failed exec, or 0.
int waitexec(int rfd)
{
    int err = 0;
    for (;;) {
        ssize_t n = read(rfd, &err, sizeof err);
        if (n < 0 && errno == EINTR)
            continue;
        return n == static_cast<ssize_t>(sizeof err) ? err : 0;
    }
}

[[noreturn]] void childfail(int wfd, int err)
{
    ssize_t n;
    do
        n = write(wfd, &err, sizeof err);
    while (n < 0 && errno == EINTR);
    _exit(127);
}

// `keepfd`, when not -1, stays open in the child under the same number.
// With a delay the caller goes on at once; a child that then fails to run
// the program ends with status 127 and is reaped like any other.
int spawn(const std::vector<std::string>& argv, const sspawn& how, int keepfd)
{
    const bool untilexec = how.delayms <= 0;
    const int delayms = how.delayms;
    reapchildren();
    if (argv.empty() || argv[0].empty())
        return -1;

    // Everything the child needs is prepared here: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<int> fds = openfds();

    int pfd[2];
#ifdef __linux__
    if (pipe2(pfd, O_CLOEXEC) != 0)
        return -1;
#else
    if (pipe(pfd) != 0)
        return -1;
    fcntl(pfd[0], F_SETFD, FD_CLOEXEC);
    fcntl(pfd[1], F_SETFD, FD_CLOEXEC);
#endif

    // Signals stay blocked across fork so that none of the editor's handlers
    // runs in the child before it resets them.
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, &old);

    pid_t pid = fork();
    if (pid == 0) {
        int wfd = pfd[1];
        // Own session, hence own process group and no controlling terminal:
        // the terminal's Ctrl+C or hangup never reaches the child, and the
        // editor can signal the whole group.
        if (setsid() < 0)
            childfail(wfd, errno);
        struct sigaction dfl;
        std::memset(&dfl, 0, sizeof dfl);
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        for (int s = 1; s < NSIG; s++)
            sigaction(s, &dfl, nullptr); // fails harmlessly for KILL and STOP
        int null = open("/dev/null", O_RDWR);
        if (null < 0)
            childfail(wfd, errno);
        for (int fd = 0; fd < 3; fd++)
            if (null != fd && dup2(null, fd) < 0)
                childfail(wfd, errno);
        for (int fd : fds)
            if (fd > 2 && fd != wfd && fd != keepfd)
                close(fd);
        if (keepfd > 2 && fcntl(keepfd, F_SETFD, 0) != 0)
            childfail(wfd, errno);
        if (null > 2 && null != wfd && null != keepfd)
            close(null);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (delayms > 0) {
            timespec ts{delayms / 1000, (delayms % 1000) * 1000000L};
            while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
            }
        }
        execve(args[0], args.data(), environ);
        childfail(wfd, errno);
    }
    int saved = errno;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    close(pfd[1]);
    if (pid < 0) {
        close(pfd[0]);
        errno = saved;
        return -1;
    }
    int err = untilexec ? waitexec(pfd[0]) : 0;
    close(pfd[0]);
    if (err != 0) {
        // It never ran the program; collect it now (it exits at once).
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        errno = err;
        return -1;
    }
    self.children.push_back({pid, how.grouped, false});
    return static_cast<int>(pid);
}

} // namespace

std::string exedir()
{
    std::string exe = selfpath();
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return exe.substr(0, slash + 1);
}

bool isprogram(const std::string& path) { return executable(path); }

int selfpid() { return static_cast<int>(getpid()); }

void reapchildren()
{
    for (size_t i = 0; i < self.children.size();) {
        pid_t r = waitpid(self.children[i].pid, nullptr, WNOHANG);
        if (r == self.children[i].pid || (r < 0 && errno == ECHILD)) {
            self.children.erase(self.children.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        i++;
    }
}

int groupsize()
{
    reapchildren();
    int n = 0;
    for (const schild& c : self.children)
        n += c.grouped && !c.killed;
    return n;
}

namespace {

// Waits up to ms for the child to end and reaps it. True once it is gone.
bool waitgone(pid_t pid, int ms)
{
    for (int waited = 0;; waited += 5) {
        pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) {
            std::erase_if(self.children, [&](const schild& c) { return c.pid == pid; });
            return true;
        }
        if (waited >= ms)
            return false;
        usleep(5000);
    }
}

} // namespace

void groupstopoldest()
{
    reapchildren();
    auto oldest = std::find_if(self.children.begin(), self.children.end(),
                               [](const schild& c) { return c.grouped && !c.killed; });
    if (oldest == self.children.end())
        return;
    pid_t pid = oldest->pid;
    // Not yet reaped, so its process group id is still its own.
    killpg(pid, SIGTERM);
    if (waitgone(pid, 200))
        return;
    killpg(pid, SIGKILL);
    if (waitgone(pid, 1000))
        return;
    for (schild& c : self.children) // stuck in the kernel: gone as soon as it can
        if (c.pid == pid)
            c.killed = true;
}

void groupstop()
{
    reapchildren();
    // A child not yet reaped still holds its pid, so its process group id
    // cannot have been given to anyone else.
    for (const schild& c : self.children)
        if (c.grouped)
            killpg(c.pid, SIGTERM);
}

bool openurl(const std::string& url)
{
#ifdef __APPLE__
    std::string opener = findinpath("open");
#else
    std::string opener = findinpath("xdg-open");
#endif
    if (opener.empty() || url.empty()) {
        reapchildren();
        return false;
    }
    pid_t pid = spawn({opener, url}, {}, -1);
    if (pid < 0)
        return false;
    // An opener hands the address over and ends, or starts the browser and
    // stays; one that finds nothing to open with ends with a failure at once.
    for (int waited = 0; waited < OPENERWAITMS; waited += 20) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            std::erase_if(self.children, [&](const schild& c) { return c.pid == pid; });
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (r < 0)
            return true; // reaped elsewhere: nothing more to learn
        usleep(20000);
    }
    return true;
}

void procreset()
{
    linkclose();
    self.linkheld.clear();
    self.children.clear();
}

namespace {

// A socket pair for the link, both ends above the standard streams (the
// child's end must not land on one the child replaces). False when none
// could be made.
bool linkpair(int sv[2])
{
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sv) != 0)
        return false;
    for (int i = 0; i < 2; i++) {
        if (sv[i] > 2)
            continue;
        int moved = fcntl(sv[i], F_DUPFD_CLOEXEC, 3);
        close(sv[i]);
        sv[i] = moved;
    }
    if (sv[0] >= 0 && sv[1] >= 0)
        return true;
    for (int i = 0; i < 2; i++)
        if (sv[i] >= 0)
            close(sv[i]);
    return false;
}

} // namespace

int spawnchild(const std::vector<std::string>& argv, const sspawn& how)
{
    if (!how.linked)
        return spawn(argv, how, -1);
    linkclose();
    int sv[2];
    if (argv.empty() || !linkpair(sv))
        return -1;
    std::vector<std::string> args = argv;
    args.push_back(std::to_string(sv[1]));
    int pid = spawn(args, how, sv[1]);
    close(sv[1]);
    if (pid < 0) {
        close(sv[0]);
        return -1;
    }
    self.linkfd = sv[0];
    return pid;
}

namespace {

// Takes what the child has written back so far, without waiting (at most
// 4 KiB held: a child that writes without end is not kept up with).
void linkdrain()
{
    char buf[256];
    ssize_t n;
    while (self.linkfd >= 0 && self.linkheld.size() < 4096 &&
           (n = recv(self.linkfd, buf, sizeof buf, MSG_DONTWAIT)) > 0)
        self.linkheld.append(buf, static_cast<size_t>(n));
}

// Closes the link. What its child wrote and nobody has read yet is kept for
// linklines (the child went on its own, and may have said why) or dropped.
void linkshut(bool keep)
{
    if (self.linkfd >= 0) {
        if (keep)
            linkdrain();
        else
            self.linkheld.clear();
        close(self.linkfd);
    }
    self.linkfd = -1;
    reapchildren();
}

} // namespace

bool linksend(const std::string& message)
{
    if (self.linkfd < 0)
        return false;
    for (;;) {
        ssize_t n = send(self.linkfd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(message.size()))
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EMSGSIZE))
            return false; // the far end does not keep up, or the message is too long
        linkshut(true); // the child has gone
        return false;
    }
}

std::vector<std::string> linklines()
{
    linkdrain();
    std::vector<std::string> lines;
    std::string& held = self.linkheld;
    for (size_t nl; (nl = held.find('\n')) != std::string::npos;) {
        lines.push_back(held.substr(0, nl));
        held.erase(0, nl + 1);
    }
    if (held.size() >= 4096)
        held.clear();
    return lines;
}

bool linkopen() { return self.linkfd >= 0; }

void linkclose() { linkshut(false); }

void setchildenv(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }
