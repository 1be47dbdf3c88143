// Durable file operations on Windows: paths are UTF-8 here and UTF-16 at every
// call; a file is replaced through a flushed temporary file in its folder
// moved over it with MoveFileExW, so the old content survives any failure.
#include "platform/fileio.h"

#include "platform/win32/wide.h"

#include <windows.h>

#include <algorithm>

namespace {

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

bool isdir(const std::wstring& p)
{
    DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool readonly(const std::wstring& p)
{
    DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool writeall(HANDLE h, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD w = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &w, nullptr) || w == 0)
            return false;
        done += w;
    }
    return true;
}

// The folder part of a path, with its separator ("" for a bare name).
std::string dirpart(const std::string& p)
{
    size_t s = p.find_last_of("/\\");
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
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

} // namespace

bool readwhole(const std::string& path, std::string& bytes, std::string* err, uint64_t limit)
{
    auto fail = [&](const std::string& why) {
        if (err)
            *err = why;
        return false;
    };
    if (path.empty())
        return fail("no path");
    std::wstring w = widen(path);
    if (isdir(w))
        return fail("not a regular file");
    // Others may read, write, rename or replace the file meanwhile (the
    // editor replaces a score while a player reads it).
    shandle f(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok())
        return fail(winerror(GetLastError()));
    if (GetFileType(f.h) != FILE_TYPE_DISK)
        return fail("not a regular file");
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.h, &size))
        return fail(winerror(GetLastError()));
    if (static_cast<uint64_t>(size.QuadPart) > limit)
        return fail("file too large");
    std::string buf(static_cast<size_t>(size.QuadPart) + 1, '\0');
    size_t got = 0;
    for (;;) {
        if (got == buf.size()) { // the file grew meanwhile
            if (buf.size() > limit)
                return fail("file too large");
            buf.resize(static_cast<size_t>(std::min<uint64_t>(buf.size() * 2, limit + 1)));
        }
        DWORD r = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(buf.size() - got, 1u << 30));
        if (!ReadFile(f.h, buf.data() + got, want, &r, nullptr))
            return fail(winerror(GetLastError()));
        if (r == 0)
            break;
        got += r;
    }
    buf.resize(got);
    bytes = std::move(buf);
    return true;
}

int writewhole(const std::string& path, const std::string& bytes, bool durable)
{
    if (path.empty())
        return -1;
    const std::wstring dest = widen(path);
    // Windows never replaces a read-only file; say so before writing anything.
    if (isdir(dest) || readonly(dest))
        return -1;
    std::string base = path.substr(dirpart(path).size());
    if (base.size() > 180)
        base.resize(180);
    const std::string stem = dirpart(path) + "." + base + "." + std::to_string(GetCurrentProcessId()) + ".";
    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 1000 && h == INVALID_HANDLE_VALUE; i++) {
        tmp = widen(stem + std::to_string(i) + ".tmp");
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return -1;
    }
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    shandle f(h);
    bool ok = writeall(f.h, bytes) && (!durable || FlushFileBuffers(f.h));
    ok = f.close() && ok;
    if (!ok || !moveover(tmp, dest, durable)) {
        DeleteFileW(tmp.c_str());
        return -1;
    }
    return 0;
}

std::string writenew(const std::string& path, const std::string& bytes)
{
    for (int i = 0; i < 100000; i++) {
        std::string p = i == 0 ? path : path + "." + std::to_string(i);
        std::wstring w = widen(p);
        shandle f(CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f.ok()) {
            DWORD e = GetLastError();
            if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS)
                continue;
            return {};
        }
        bool ok = writeall(f.h, bytes) && FlushFileBuffers(f.h);
        ok = f.close() && ok;
        if (!ok) {
            DeleteFileW(w.c_str());
            return {};
        }
        return p;
    }
    return {};
}
