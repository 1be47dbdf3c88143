// SPDX-License-Identifier: MIT
// Durable file operations on Windows: paths are UTF-8 here and UTF-16 at every
// call; a file is replaced through a flushed temporary file in its folder
// moved over it with MoveFileExW, so the old content survives any failure.
#include "platform/fileio.h"

#include "platform/win32/wide.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <random>
#include <atomic>
#include <vector>

#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace {

// Stop requests noted so far, and the thread waiting in a write or read that
// a stop cancels (null when none waits).
std::atomic<unsigned> stops{0};
std::atomic<HANDLE> waiter{nullptr};

struct stopwatch {
    unsigned at = stops.load();
    bool stopped() const { return stops.load() != at; }
};

struct shandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit shandle(HANDLE v) : h(v) {}
    ~shandle() { close(); }
    shandle(const shandle&) = delete;
    shandle& operator=(const shandle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE; }
    bool close()
    {
        if (!ok())
            return true;
        bool r = CloseHandle(h) != 0;
        h = INVALID_HANDLE_VALUE;
        return r;
    }
};

iores fail(fileerr why, DWORD sys = 0) { return iores{why, static_cast<int>(sys)}; }

// The reason behind a Win32 error code.
iores winfail(DWORD e)
{
    switch (e) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_QUOTA_EXCEEDED:
        return fail(fileerr::diskfull, e);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return fail(fileerr::noperm, e);
    case ERROR_PATH_NOT_FOUND:
        return fail(fileerr::nofolder, e);
    case ERROR_FILENAME_EXCED_RANGE:
        return fail(fileerr::toolong, e);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
        return fail(fileerr::missing, e);
    case ERROR_DIRECTORY:
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_CANT_RESOLVE_FILENAME:
        return fail(fileerr::notregular, e);
    case ERROR_OPERATION_ABORTED:
        return fail(fileerr::stopped, e);
    default:
        return fail(fileerr::other, e);
    }
}

iores lastfail() { return winfail(GetLastError()); }

// Marks this thread as waiting in a write or read for the length of a scope,
// so that fileiostop can cancel the call.
struct waiting {
    HANDLE thread = OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId());
    waiting() { waiter.store(thread); }
    ~waiting()
    {
        waiter.store(nullptr);
        if (thread)
            CloseHandle(thread);
    }
};

// Writes all of bytes in pieces, until a stop.
iores writeall(HANDLE h, const std::string& bytes, const stopwatch& sw)
{
    waiting w;
    size_t done = 0;
    while (done < bytes.size()) {
        if (sw.stopped())
            return fail(fileerr::stopped, ERROR_OPERATION_ABORTED);
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr))
            return sw.stopped() ? fail(fileerr::stopped, ERROR_OPERATION_ABORTED) : lastfail();
        if (n == 0)
            return fail(fileerr::other, ERROR_WRITE_FAULT);
        done += n;
    }
    return {};
}

// Closes the handle; a failed close is reported.
iores closeres(shandle& f) { return f.close() ? iores{} : lastfail(); }

// The folder part of a path, with its separator ("" for a bare name).
std::string dirpart(const std::string& p)
{
    size_t s = p.find_last_of("/\\");
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
}

// A new file beside `path`, created exclusively (never through a link or
// reparse point placed at its name), with a name no one can guess that says
// who made it: ".NAME.pellavine-XXXXXX"; its name in `tmp`.
HANDLE opentemp(const std::string& path, std::wstring& tmp)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string base = path.substr(dirpart(path).size());
    if (base.size() > 180)
        base.resize(180);
    const std::string stem = dirpart(path) + "." + base + ".pellavine-";
    std::random_device rnd; // the system's random source (rand_s)
    for (int i = 0; i < 100; i++) {
        std::string name = stem;
        for (int k = 0; k < 6; k++)
            name += letters[rnd() % 62];
        tmp = widen(name);
        HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

// Moving over a file that a scanner or indexer holds open fails for a moment.
bool moveover(const std::wstring& from, const std::wstring& to, bool durable)
{
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    for (int i = 0; i < 10; i++) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags))
            return true;
        DWORD e = GetLastError();
        if (e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION && e != ERROR_LOCK_VIOLATION)
            return false;
        Sleep(20);
    }
    return false;
}

// The file a link or other reparse point at `path` leads to, as a full path;
// `path` itself when it is none or leads nowhere yet.
std::wstring follow(const std::wstring& path)
{
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    shandle f(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f.ok())
        return path;
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(f.h, out.data(), static_cast<DWORD>(out.size()), FILE_NAME_NORMALIZED);
        if (n == 0)
            return path;
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(n);
    }
}

// What stands at `dest` now: nothing (ok with `exists` false), a regular file
// this user may write (ok), or the reason it may not be replaced.
iores checktarget(const std::wstring& dest, bool& exists)
{
    exists = false;
    DWORD a = GetFileAttributesW(dest.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND ? iores{} : winfail(e);
    }
    exists = true;
    if (a & FILE_ATTRIBUTE_DIRECTORY)
        return fail(fileerr::notregular);
    // Windows never replaces a read-only file; and a file whose access list
    // forbids writing must stay as it is although its folder takes new files.
    if (a & FILE_ATTRIBUTE_READONLY)
        return fail(fileerr::noperm, ERROR_ACCESS_DENIED);
    shandle f(CreateFileW(dest.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) {
        DWORD e = GetLastError();
        // Held open by another program without sharing: the move may still
        // succeed once it lets go.
        return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION ? iores{} : winfail(e);
    }
    return GetFileType(f.h) == FILE_TYPE_DISK ? iores{} : fail(fileerr::notregular); // a device such as NUL
}

// Creates the file exclusively, writes and flushes it; the reason it failed,
// with nothing left behind.
iores createnew(const std::wstring& w, const std::string& bytes, const stopwatch& sw)
{
    shandle f(CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok())
        return lastfail();
    iores r = writeall(f.h, bytes, sw);
    if (r && !FlushFileBuffers(f.h))
        r = lastfail();
    iores c = closeres(f);
    if (r)
        r = c;
    if (!r)
        DeleteFileW(w.c_str());
    return r;
}

// An environment variable's value in UTF-8, empty when unset.
std::string envvar(const wchar_t* name)
{
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return {};
    std::wstring v(n, L'\0');
    n = GetEnvironmentVariableW(name, v.data(), n);
    v.resize(n);
    return narrow(v);
}

std::string withslash(const std::string& dir)
{
    return dir.empty() || dir.back() == '\\' || dir.back() == '/' ? dir : dir + "\\";
}

} // namespace

void fileiotmpfile(bool) {} // Windows names its temporary files always

void fileiostop()
{
    stops.fetch_add(1);
    if (HANDLE t = waiter.load())
        CancelSynchronousIo(t);
}

iores writefd(int fd, const std::string& bytes)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE)
        return fail(fileerr::other, ERROR_INVALID_HANDLE);
    return writeall(h, bytes, stopwatch{});
}

iores readwhole(const std::string& path, std::string& bytes, std::string* err, uint64_t limit, linkmode links)
{
    const stopwatch sw;
    auto failtext = [&](iores r, const std::string& why) {
        if (err)
            *err = why;
        return r;
    };
    auto failwin = [&](DWORD e) { return failtext(winfail(e), winerror(e)); };
    if (path.empty())
        return failtext(fail(fileerr::missing, ERROR_FILE_NOT_FOUND), "no path");
    const std::wstring w = widen(path);
    DWORD a = GetFileAttributesW(w.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
        return failtext(fail(fileerr::notregular), "not a regular file");
    if (links == linkmode::refuse && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT))
        return failtext(fail(fileerr::notregular), "not a regular file");
    // Others may read, write, rename or replace the file meanwhile (the
    // editor replaces a score while a player reads it). With links refused
    // the name itself is opened, so a link put there since is seen below.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == linkmode::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    shandle f(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, flags, nullptr));
    if (!f.ok())
        return failwin(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(f.h) != FILE_TYPE_DISK || !GetFileInformationByHandle(f.h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return failtext(fail(fileerr::notregular), "not a regular file");
    uint64_t size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > limit)
        return failtext(fail(fileerr::toolarge), "file too large");
    std::string buf(static_cast<size_t>(size) + 1, '\0');
    size_t got = 0;
    waiting wait;
    for (;;) {
        if (got == buf.size()) { // the file grew meanwhile
            if (buf.size() > limit)
                return failtext(fail(fileerr::toolarge), "file too large");
            buf.resize(static_cast<size_t>(std::min<uint64_t>(buf.size() * 2, limit + 1)));
        }
        DWORD r = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(buf.size() - got, 1u << 20));
        if (!ReadFile(f.h, buf.data() + got, want, &r, nullptr)) {
            if (sw.stopped())
                return failtext(fail(fileerr::stopped, ERROR_OPERATION_ABORTED), winerror(ERROR_OPERATION_ABORTED));
            return failwin(GetLastError());
        }
        if (r == 0)
            break;
        got += r;
    }
    buf.resize(got);
    bytes = std::move(buf);
    return {};
}

iores writewhole(const std::string& path, const std::string& bytes, bool durable)
{
    const stopwatch sw;
    if (path.empty())
        return fail(fileerr::missing, ERROR_FILE_NOT_FOUND);
    const std::wstring dest = follow(widen(path));
    bool exists = false;
    if (iores r = checktarget(dest, exists); !r)
        return r;
    std::wstring tmp;
    shandle f(opentemp(narrow(dest), tmp));
    if (!f.ok())
        return lastfail();
    iores r = writeall(f.h, bytes, sw);
    if (r && durable && !FlushFileBuffers(f.h))
        r = lastfail();
    iores c = closeres(f);
    if (r)
        r = c;
    if (r && !moveover(tmp, dest, durable))
        r = lastfail();
    if (!r)
        DeleteFileW(tmp.c_str());
    return r;
}

iores writeplain(const std::string& path, const std::string& bytes, splainfile* put)
{
    const stopwatch sw;
    if (path.empty())
        return fail(fileerr::missing, ERROR_FILE_NOT_FOUND);
    std::wstring tmp;
    shandle f(opentemp(path, tmp));
    if (!f.ok())
        return lastfail();
    iores r = writeall(f.h, bytes, sw);
    iores c = closeres(f);
    if (r)
        r = c;
    // Moving onto the name replaces whatever is there, a link or junction
    // included, and never writes through it.
    if (r && !moveover(tmp, widen(path), false))
        r = lastfail();
    if (!r)
        DeleteFileW(tmp.c_str());
    if (r && put)
        *put = splainfile{true, 0, 0, 0, bytes};
    return r;
}

bool removeplain(const std::string& path, const splainfile& put)
{
    std::string now;
    if (!put.known || !readwhole(path, now, nullptr, put.bytes.size(), linkmode::refuse) || now != put.bytes)
        return false;
    return DeleteFileW(widen(path).c_str()) != 0;
}

std::string writenew(const std::string& path, const std::string& bytes, iores* res)
{
    const stopwatch sw;
    iores r = fail(fileerr::other, ERROR_FILE_EXISTS);
    for (int i = 0; i < 100000; i++) {
        std::string p = i == 0 ? path : path + "." + std::to_string(i);
        r = createnew(widen(p), bytes, sw);
        if (!r && (r.sys == ERROR_FILE_EXISTS || r.sys == ERROR_ALREADY_EXISTS))
            continue;
        if (res)
            *res = r;
        return r ? p : std::string();
    }
    if (res)
        *res = r;
    return {};
}

std::vector<std::string> recoveryfolders()
{
    std::vector<std::string> dirs;
    for (const wchar_t* name : {L"USERPROFILE", L"TEMP"})
        if (std::string d = envvar(name); !d.empty())
            dirs.push_back(withslash(d));
    return dirs;
}

iores readstart(const std::string& path, std::string& bytes, size_t n)
{
    // The whole file, then its head: Windows reads a SoundFont named on the
    // command line this way once at the start.
    iores r = readwhole(path, bytes, nullptr, uint64_t(1) << 32);
    if (r && bytes.size() > n)
        bytes.resize(n);
    return r;
}
