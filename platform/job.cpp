// SPDX-License-Identifier: MIT
#include "platform/job.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

int startjob(const std::vector<std::string>& argv, const std::string& errpath)
{
    if (argv.empty())
        return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawnattr_t at;
    posix_spawn_file_actions_init(&fa);
    posix_spawnattr_init(&at);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, errpath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
    // A group of its own, default signal handling and an empty mask: the
    // terminal's Ctrl+C does not reach it, and the editor's handlers do not
    // carry over.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&at, &all);
    posix_spawnattr_setsigmask(&at, &none);
    posix_spawnattr_setpgroup(&at, 0);
    posix_spawnattr_setflags(&at, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &fa, &at, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&at);
    return rc == 0 ? static_cast<int>(pid) : -1;
}

jobstate pokejob(int id, int& status)
{
    int st = 0;
    pid_t r = waitpid(id, &st, WNOHANG);
    if (r == 0)
        return jobstate::running;
    if (r < 0) {
        if (errno == EINTR)
            return jobstate::running;
        status = -1;
        return jobstate::failed;
    }
    status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return status == 0 ? jobstate::ok : jobstate::failed;
}

void stopjob(int id)
{
    if (id <= 0)
        return;
    kill(-id, SIGTERM);
    while (waitpid(id, nullptr, 0) < 0 && errno == EINTR) {
    }
}

iores checkout(const std::string& path)
{
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return {fileerr::notregular, 0};
        if (access(path.c_str(), W_OK) != 0)
            return {errno == EACCES || errno == EROFS || errno == EPERM ? fileerr::noperm : fileerr::other, errno};
        return {};
    }
    if (errno != ENOENT)
        return {fileerr::other, errno};
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(dir.c_str(), &st) != 0)
        return {fileerr::missing, errno};
    if (!S_ISDIR(st.st_mode))
        return {fileerr::missing, ENOTDIR};
    if (access(dir.c_str(), W_OK) != 0)
        return {fileerr::noperm, errno};
    return {};
}
