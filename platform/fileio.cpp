// SPDX-License-Identifier: MIT
// Durable file operations: reading a whole file, replacing a file so that
// the old content survives any failure, and creating a file that never
// replaces another.
#include "platform/fileio.h"
#include "platform/process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Stop requests noted so far; bumped from signal handlers.
static_assert(std::atomic<unsigned>::is_always_lock_free);

// Remembers the stop count when an operation begins: a stop noted later ends
// the operation's waits.
struct stopwatch {
    unsigned at = self.stops.load();
    bool stopped() const { return self.stops.load() != at; }
};

iores fail(fileerr why, int sys = 0) { return iores{why, sys}; }

// The reason behind a system error number. EINTR only comes back from the
// loops below when a stop ended the wait.
iores sysfail(int e)
{
    switch (e) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return fail(fileerr::diskfull, e);
    case EACCES:
    case EPERM:
    case EROFS:
        return fail(fileerr::noperm, e);
    case ENOENT:
        return fail(fileerr::missing, e);
    case ENOTDIR:
        return fail(fileerr::nofolder, e);
    case ENAMETOOLONG:
        return fail(fileerr::toolong, e);
    case EISDIR:
        return fail(fileerr::notregular, e);
    case EINTR:
        return fail(fileerr::stopped, e);
    default:
        return fail(fileerr::other, e);
    }
}

int openr(const char* p, int flags, const stopwatch& sw, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(p, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR && !sw.stopped());
    return fd;
}

// Writes all of [p, p + n) at offset `off` (or at the file position when
// `off` is negative), through short writes and interruptions, until a stop.
iores writeall(int fd, const char* p, size_t n, const stopwatch& sw, off_t off = -1)
{
    while (n > 0) {
        if (sw.stopped())
            return fail(fileerr::stopped, EINTR);
        ssize_t w = off < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, off);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return sysfail(errno);
        }
        if (w == 0)
            return sysfail(EIO);
        p += w;
        n -= static_cast<size_t>(w);
        if (off >= 0)
            off += w;
    }
    return {};
}

// Closes fd; a failed close is reported. After a failed close the descriptor
// is gone either way (Linux); an interrupted close must not be retried.
iores closeres(int fd)
{
    if (::close(fd) == 0 || errno == EINTR)
        return {};
    return sysfail(errno);
}

iores syncres(int fd) { return ::fsync(fd) == 0 ? iores{} : sysfail(errno); }

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

// A missing name whose folder is missing too is a missing folder.
iores sysfailat(int e, const std::string& path)
{
    struct stat st;
    if (e == ENOENT && (::stat(dirof(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return fail(fileerr::nofolder, e);
    return sysfail(e);
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
    int fd = openr(dir.c_str(), O_RDONLY | O_DIRECTORY, stopwatch{});
    if (fd < 0)
        return true; // a folder we may not read cannot be flushed by us
    bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EROFS;
    ::close(fd);
    return ok;
}

// Reads the whole of a regular file into `old` with pread.
bool readback(int fd, std::string& old, off_t size, const stopwatch& sw)
{
    old.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < old.size()) {
        ssize_t r = ::pread(fd, old.data() + got, old.size() - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR && !sw.stopped())
            continue;
        if (r <= 0)
            break;
        got += static_cast<size_t>(r);
    }
    return got == old.size();
}

// Writes the image over the existing regular file itself, keeping its inode
// (hard links, folders that forbid new files). The old content stays when the
// new one cannot be written: the room for a longer image is reserved first,
// and after a failed write the old bytes are put back.
iores writeinplace(const std::string& dest, const std::string& bytes, const stopwatch& sw)
{
    // Non-blocking, so that a pipe put in the file's place cannot hang the open.
    int fd = openr(dest.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK, sw);
    bool readable = fd >= 0;
    if (fd < 0)
        fd = openr(dest.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK, sw);
    if (fd < 0)
        return sysfail(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return sysfail(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(fileerr::notregular);
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);

    const off_t oldsize = st.st_size;
    const off_t newsize = static_cast<off_t>(bytes.size());
    std::string old;
    readable = readable && readback(fd, old, oldsize, sw);
    if (newsize > oldsize) {
        int e = ::posix_fallocate(fd, oldsize, newsize - oldsize);
        if (e != 0 && e != EOPNOTSUPP && e != EINVAL) {
            (void)!::ftruncate(fd, oldsize);
            ::close(fd);
            return sysfail(e);
        }
    }
    iores r = writeall(fd, bytes.data(), bytes.size(), sw, 0);
    if (r && newsize < oldsize && ::ftruncate(fd, newsize) != 0)
        r = sysfail(errno);
    if (r)
        r = syncres(fd);
    if (!r) {
        if (readable) {
            writeall(fd, old.data(), old.size(), stopwatch{}, 0);
            (void)!::ftruncate(fd, oldsize);
            ::fsync(fd);
        }
        ::close(fd);
        return r;
    }
    return closeres(fd);
}

// Whether new files may be made as unnamed O_TMPFILE files (off in tests,
// to try the named way that filesystems without O_TMPFILE take).
bool tmpfileon = true;

// A new file beside `dest` for its next image. Where the filesystem has
// O_TMPFILE it has no name until it is complete (`tmp` stays empty), so a
// killed save leaves nothing behind. Elsewhere it gets an unpredictable name
// that says who made it, ".NAME.pellavine-XXXXXX", created exclusively
// without following links (mkostemp). -1 and errno when none can be made.
int opentemp(const std::string& dest, bool exists, std::string& tmp, const stopwatch& sw)
{
    const std::string dir = dirof(dest);
    const mode_t mode = exists ? 0600 : 0666;
    tmp.clear();
#ifdef O_TMPFILE
    if (tmpfileon) {
        int fd = openr(dir.c_str(), O_TMPFILE | O_WRONLY, sw, mode);
        if (fd >= 0)
            return fd;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return -1;
    }
#endif
    std::string base = baseof(dest);
    if (base.size() > 180)
        base.resize(180);
    tmp = dir + "/." + base + ".pellavine-XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (!exists) { // mkostemp makes 0600: a new score gets 0666 less the umask
        mode_t um = ::umask(022);
        ::umask(um);
        (void)::fchmod(fd, 0666 & ~um);
    }
    return fd;
}

// Gives a complete unnamed file (`tmp` empty) a name beside `dest` that no
// one can guess, through its /proc link; a named one keeps its name.
// 0, or -1 and errno.
int nametemp(int fd, std::string& tmp, const std::string& dest)
{
    if (!tmp.empty())
        return 0;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string base = baseof(dest);
    if (base.size() > 180)
        base.resize(180);
    for (int tries = 0; tries < 100; tries++) {
        unsigned char rnd[6];
        if (::getentropy(rnd, sizeof rnd) != 0)
            return -1;
        std::string name = dirof(dest) + "/." + base + ".pellavine-";
        for (unsigned char c : rnd)
            name += letters[c % 62];
        if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            tmp = name;
            return 0;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file the old one's owner and permission bits. False when the
// owner cannot be kept (replacing would hand the file to us).
bool takeowner(int fd, const struct stat& st, iores& r)
{
    struct stat tst;
    if (::fstat(fd, &tst) != 0) {
        r = sysfail(errno);
        return true;
    }
    if ((tst.st_uid != st.st_uid || tst.st_gid != st.st_gid) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        return false;
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        r = sysfail(errno);
    return true;
}

} // namespace

void fileiostop() { self.stops.fetch_add(1); }

void fileiotmpfile(bool on) { tmpfileon = on; }

iores writefd(int fd, const std::string& bytes) { return writeall(fd, bytes.data(), bytes.size(), stopwatch{}); }

iores writewhole(const std::string& path, const std::string& bytes, bool durable)
{
    const stopwatch sw;
    if (path.empty())
        return fail(fileerr::missing, ENOENT);
    const std::string dest = follow(path);
    struct stat st;
    bool exists = ::lstat(dest.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return sysfail(errno);
    if (exists && !S_ISREG(st.st_mode))
        return fail(fileerr::notregular); // a folder, device or pipe
    // Replacing by rename needs only the folder's permission: the file's own
    // write protection (mode bits, ACLs, a read-only mount) is asked first.
    if (exists && ::access(dest.c_str(), W_OK) != 0)
        return errno == ENOENT ? sysfail(errno) : fail(fileerr::noperm, errno);
    // Replacing the file would cut it off from its other names: write into it.
    if (exists && st.st_nlink > 1)
        return writeinplace(dest, bytes, sw);

    std::string tmp;
    int fd = opentemp(dest, exists, tmp, sw);
    if (fd < 0) {
        // The folder takes no new files, but the file itself is writable.
        if (exists && (errno == EACCES || errno == EPERM))
            return writeinplace(dest, bytes, sw);
        return sysfailat(errno, dest);
    }
    auto drop = [&](iores r) {
        if (fd >= 0)
            ::close(fd);
        if (!tmp.empty())
            ::unlink(tmp.c_str());
        return r;
    };
    if (exists) {
        iores r;
        if (!takeowner(fd, st, r)) {
            drop({});
            return writeinplace(dest, bytes, sw);
        }
        if (!r)
            return drop(r);
    }
    iores r = writeall(fd, bytes.data(), bytes.size(), sw);
    if (r && durable)
        r = syncres(fd);
    if (!r)
        return drop(r);
    if (nametemp(fd, tmp, dest) != 0)
        return drop(sysfail(errno));
    int cfd = fd;
    fd = -1;
    if (iores c = closeres(cfd); !c)
        return drop(c);
    if (::rename(tmp.c_str(), dest.c_str()) != 0)
        return drop(sysfail(errno));
    if (durable && !syncdir(dirof(dest)))
        return sysfail(errno);
    return {};
}

iores writeplain(const std::string& path, const std::string& bytes, splainfile* put)
{
    const stopwatch sw;
    if (path.empty())
        return fail(fileerr::missing, ENOENT);
    std::string base = baseof(path);
    if (base.size() > 180)
        base.resize(180);
    std::string tmp = dirof(path) + "/." + base + ".XXXXXX";
    // mkostemp creates exclusively (O_EXCL), so it never opens a link.
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return sysfailat(errno, path);
    iores r = writeall(fd, bytes.data(), bytes.size(), sw);
    // rename replaces the name itself: a link there is replaced, never
    // followed.
    if (r && ::rename(tmp.c_str(), path.c_str()) != 0)
        r = sysfail(errno);
    // The file as it stands now, its change time set by the rename: a file
    // put there later differs even when it reuses the inode number.
    struct stat st;
    if (r && put && ::fstat(fd, &st) == 0)
        *put = splainfile{true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                          static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec, {}};
    iores c = closeres(fd);
    if (r)
        r = c;
    if (!r)
        ::unlink(tmp.c_str());
    return r;
}

bool removeplain(const std::string& path, const splainfile& put)
{
    struct stat st;
    if (!put.known || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int64_t ctime = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    if (static_cast<uint64_t>(st.st_dev) != put.dev || static_cast<uint64_t>(st.st_ino) != put.ino ||
        ctime != put.ctime)
        return false;
    return ::unlink(path.c_str()) == 0;
}

std::string writenew(const std::string& path, const std::string& bytes, iores* res)
{
    const stopwatch sw;
    iores r = fail(fileerr::other, EEXIST);
    for (int i = 0; i < 100000; i++) {
        std::string p = i == 0 ? path : path + "." + std::to_string(i);
        int fd = openr(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY, sw, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            r = sysfailat(errno, p);
            break;
        }
        r = writeall(fd, bytes.data(), bytes.size(), sw);
        if (r)
            r = syncres(fd);
        iores c = closeres(fd);
        if (r)
            r = c;
        if (!r) {
            ::unlink(p.c_str());
            break;
        }
        syncdir(dirof(p));
        if (res)
            *res = r;
        return p;
    }
    if (res)
        *res = r;
    return {};
}

std::vector<std::string> recoveryfolders()
{
    std::vector<std::string> dirs;
    for (const char* name : {"HOME", "TMPDIR"})
        if (const char* d = std::getenv(name); d && *d)
            dirs.push_back(std::string(d) + "/");
    dirs.push_back("/tmp/");
    return dirs;
}

iores readwhole(const std::string& path, std::string& bytes, std::string* err, uint64_t limit, linkmode links)
{
    const stopwatch sw;
    auto failtext = [&](iores r, const char* why) {
        if (err)
            *err = why;
        return r;
    };
    auto failsys = [&](int e) {
        if (links == linkmode::refuse && e == ELOOP)
            return failtext(fail(fileerr::notregular, e), "not a regular file");
        return failtext(sysfailat(e, path), std::strerror(e));
    };
    if (path.empty())
        return failtext(fail(fileerr::missing, ENOENT), "no path");
    // Non-blocking, so that a FIFO without a writer cannot hang the open.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | (links == linkmode::refuse ? O_NOFOLLOW : 0);
    int fd = openr(path.c_str(), flags, sw);
    if (fd < 0)
        return failsys(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return failsys(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return failtext(fail(fileerr::notregular), "not a regular file");
    }
    if (static_cast<uint64_t>(st.st_size) > limit) {
        ::close(fd);
        return failtext(fail(fileerr::toolarge), "file too large");
    }
    std::string buf;
    buf.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == buf.size()) {
            // The file grew since fstat.
            if (buf.size() > limit) {
                ::close(fd);
                return failtext(fail(fileerr::toolarge), "file too large");
            }
            buf.resize(std::min<uint64_t>(buf.size() * 2, limit + 1));
        }
        ssize_t r = ::read(fd, buf.data() + got, buf.size() - got);
        if (r < 0) {
            if (errno == EINTR && !sw.stopped())
                continue;
            int e = errno;
            ::close(fd);
            return failsys(e);
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    ::close(fd);
    buf.resize(got);
    bytes = std::move(buf);
    return {};
}

iores readstart(const std::string& path, std::string& bytes, size_t n)
{
    const stopwatch sw;
    bytes.clear();
    int fd = openr(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY, sw);
    if (fd < 0)
        return sysfailat(errno, path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(fileerr::notregular);
    }
    bytes.resize(n);
    ssize_t got = ::pread(fd, bytes.data(), n, 0);
    int e = errno;
    ::close(fd);
    if (got < 0)
        return sysfail(e);
    bytes.resize(static_cast<size_t>(got));
    return {};
}
