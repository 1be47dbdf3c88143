// Durable file operations: reading a whole file, replacing a file so that
// the old content survives any failure, and creating a file that never
// replaces another.
#include "platform/fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openr(const char* p, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(p, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all of [p, p + n) at offset `off` (or at the file position when
// `off` is negative), through short writes and interruptions.
bool writeall(int fd, const char* p, size_t n, off_t off = -1)
{
    while (n > 0) {
        ssize_t w = off < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, off);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
        if (off >= 0)
            off += w;
    }
    return true;
}

bool closeok(int fd)
{
    // After a failed close the descriptor is gone either way (Linux); an
    // interrupted close must not be retried.
    return ::close(fd) == 0 || errno == EINTR;
}

std::string dirof(const std::string& p)
{
    size_t s = p.find_last_of('/');
    if (s == std::string::npos)
        return ".";
    if (s == 0)
        return "/";
    return p.substr(0, s);
}

std::string baseof(const std::string& p)
{
    size_t s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

// The file a path names once symbolic links are followed; the file itself
// need not exist (a dangling link names the file it would create).
std::string follow(const std::string& path)
{
    std::string p = path;
    for (int hops = 0; hops < 40; hops++) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        std::string t(PATH_MAX, '\0');
        ssize_t n = ::readlink(p.c_str(), t.data(), t.size());
        if (n < 0 || static_cast<size_t>(n) >= t.size())
            return p;
        t.resize(static_cast<size_t>(n));
        if (t.empty())
            return p;
        p = t[0] == '/' ? t : dirof(p) + "/" + t;
    }
    return p; // a loop: opening it fails with ELOOP later
}

bool syncdir(const std::string& dir)
{
    int fd = openr(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return true; // a folder we may not read cannot be flushed by us
    bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EROFS;
    ::close(fd);
    return ok;
}

// Writes the image over the existing file itself, keeping its inode (hard
// links, devices, folders that forbid new files). A regular file keeps its old
// content when the new one cannot be written: the room for a longer image is
// reserved first, and after a failed write the old bytes are put back.
int writeinplace(const std::string& dest, const std::string& bytes)
{
    int fd = openr(dest.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    bool readable = fd >= 0;
    if (fd < 0)
        fd = openr(dest.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    if (!S_ISREG(st.st_mode)) { // a device or a pipe: just write the bytes
        bool ok = writeall(fd, bytes.data(), bytes.size());
        return closeok(fd) && ok ? 0 : -1;
    }

    const off_t oldsize = st.st_size;
    const off_t newsize = static_cast<off_t>(bytes.size());
    std::string old;
    if (readable) {
        old.resize(static_cast<size_t>(oldsize));
        size_t got = 0;
        while (got < old.size()) {
            ssize_t r = ::pread(fd, old.data() + got, old.size() - got, static_cast<off_t>(got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<size_t>(r);
        }
        readable = got == old.size();
    }
    if (newsize > oldsize) {
        int e = ::posix_fallocate(fd, oldsize, newsize - oldsize);
        if (e != 0 && e != EOPNOTSUPP && e != EINVAL) {
            (void)!::ftruncate(fd, oldsize);
            ::close(fd);
            return -1;
        }
    }
    bool ok = writeall(fd, bytes.data(), bytes.size(), 0);
    if (ok && newsize < oldsize)
        ok = ::ftruncate(fd, newsize) == 0;
    if (ok)
        ok = ::fsync(fd) == 0;
    if (!ok) {
        if (readable) {
            writeall(fd, old.data(), old.size(), 0);
            (void)!::ftruncate(fd, oldsize);
            ::fsync(fd);
        }
        ::close(fd);
        return -1;
    }
    return closeok(fd) ? 0 : -1;
}

} // namespace

int writewhole(const std::string& path, const std::string& bytes, bool durable)
{
    if (path.empty())
        return -1;
    const std::string dest = follow(path);
    struct stat st;
    bool exists = ::lstat(dest.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return -1;
    if (exists && S_ISDIR(st.st_mode))
        return -1;
    // Replacing the file would cut it off from its other names or turn a
    // device into a plain file: write into it instead.
    if (exists && (!S_ISREG(st.st_mode) || st.st_nlink > 1))
        return writeinplace(dest, bytes);

    const std::string dir = dirof(dest);
    std::string base = baseof(dest);
    if (base.size() > 180)
        base.resize(180);
    std::string tmp;
    int fd = -1;
    for (int i = 0; i < 1000 && fd < 0; i++) {
        tmp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(i) + ".tmp";
        fd = openr(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        // The folder takes no new files, but the file itself may be writable.
        if (exists && (errno == EACCES || errno == EPERM))
            return writeinplace(dest, bytes);
        return -1;
    }
    auto fail = [&]() {
        if (fd >= 0)
            ::close(fd);
        ::unlink(tmp.c_str());
        return -1;
    };
    if (exists) {
        // The new file takes the old one's owner and permission bits; when it
        // cannot take the owner, replacing would hand the file to us, so the
        // old file is written in place instead.
        struct stat tst;
        if (::fstat(fd, &tst) != 0)
            return fail();
        if (tst.st_uid != st.st_uid || tst.st_gid != st.st_gid) {
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
                fail();
                return writeinplace(dest, bytes);
            }
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return fail();
    }
    if (!writeall(fd, bytes.data(), bytes.size()) || (durable && ::fsync(fd) != 0))
        return fail();
    int cfd = fd;
    fd = -1;
    if (!closeok(cfd))
        return fail();
    if (::rename(tmp.c_str(), dest.c_str()) != 0)
        return fail();
    return !durable || syncdir(dir) ? 0 : -1;
}


// Creates `path` (or path.1, path.2, ... when it exists) with the bytes;
// never replaces a file. Returns the name written, or empty.
std::string writenew(const std::string& path, const std::string& bytes)
{
    for (int i = 0; i < 100000; i++) {
        std::string p = i == 0 ? path : path + "." + std::to_string(i);
        int fd = openr(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        bool ok = writeall(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
        ok = closeok(fd) && ok;
        if (!ok) {
            ::unlink(p.c_str());
            return {};
        }
        syncdir(dirof(p));
        return p;
    }
    return {};
}


bool readwhole(const std::string& path, std::string& bytes, std::string* err, uint64_t limit)
{
    auto fail = [&](const char* why) {
        if (err)
            *err = why;
        return false;
    };
    if (path.empty())
        return fail("no path");
    // Non-blocking, so that a FIFO without a writer cannot hang the open.
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(std::strerror(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return fail(std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    if (static_cast<uint64_t>(st.st_size) > limit) {
        ::close(fd);
        return fail("file too large");
    }
    std::string buf;
    buf.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == buf.size()) {
            // The file grew since fstat.
            if (buf.size() > limit) {
                ::close(fd);
                return fail("file too large");
            }
            buf.resize(std::min<uint64_t>(buf.size() * 2, limit + 1));
        }
        ssize_t r = ::read(fd, buf.data() + got, buf.size() - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            int e = errno;
            ::close(fd);
            return fail(std::strerror(e));
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    ::close(fd);
    buf.resize(got);
    bytes = std::move(buf);
    return true;
}
