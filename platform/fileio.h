// SPDX-License-Identifier: MIT
#pragma once
// Durable file operations: whole files read, replaced without losing the old
// content on failure, and created without ever replacing another file.
#include <cstdint>
#include <string>
#include <vector>

// Why a file operation failed, for the editor to put into words.
enum class fileerr {
    ok,
    diskfull,   // no room left on the disk or in the quota
    noperm,     // the file or its folder may not be written (or read)
    notregular, // a folder, device, pipe or socket; or a link where none may be
    missing,    // the file does not exist
    nofolder,   // a folder on its path does not exist (or is not a folder)
    toolong,    // the name is longer than the system allows
    toolarge,   // larger than the reader's limit
    stopped,    // a stop signal came while the operation waited
    other,
};

// The outcome of a file operation: true when it succeeded.
struct iores {
    fileerr why = fileerr::ok;
    int sys = 0; // the system's error number behind `why`, 0 when none

    bool ok() const { return why == fileerr::ok; }
    explicit operator bool() const { return ok(); }
};

// Whether a read follows a symbolic link at the path itself.
enum class linkmode { follow, refuse };

// Reads a whole regular file. Fails (with a reason in `err` when given) when
// it cannot be opened or read, is not a regular file or is larger than
// `limit` bytes; with linkmode::refuse a symbolic link at `path` fails too.
iores readwhole(const std::string& path, std::string& bytes, std::string* err = nullptr,
                  uint64_t limit = uint64_t(1) << 30, linkmode links = linkmode::follow);

// Reads at most the first `n` bytes of a regular file (opened without
// blocking; a pipe or device fails with notregular).
iores readstart(const std::string& path, std::string& bytes, size_t n);

// Replaces the file at `path` with `bytes` so that the old content survives
// any failure.
// The image goes to a new file beside the old one (same owner and permission
// bits; a new file gets 0666 less the umask), which is flushed and renamed
// over it, and the folder is flushed. The new file has no name until it is
// complete where the filesystem allows (O_TMPFILE), else an unpredictable
// one, ".NAME.pellavine-XXXXXX", made exclusively; names others planted
// there are never in the way. A symbolic link is followed and its
// target replaced. A file with several hard links, and a file in a folder
// that takes no new files, is written in place instead. An existing file the
// user may not write fails with noperm; a folder, device or pipe with
// notregular; the old file is then untouched.
// A file that need not outlive a crash is written with `durable` false: it
// still appears whole or not at all, without the flushes to disk.
iores writewhole(const std::string& path, const std::string& bytes, bool durable = true);

// Replaces the name `path` itself with a new file holding `bytes`, never
// following a link: a fresh file beside it, created exclusively, is renamed
// onto the name, so a link placed there is replaced, not written through.
// Not flushed to disk (for short-lived files such as the player's request).
// `put`, when given, remembers which file it put there, for removeplain.
struct splainfile {
    bool known = false;
    uint64_t dev = 0, ino = 0; // the file itself (POSIX)
    int64_t ctime = 0;         // and its change time in ns, for an inode number used again
    std::string bytes;         // what it holds (Windows, where no inode is at hand)
};
iores writeplain(const std::string& path, const std::string& bytes, splainfile* put = nullptr);
// Removes `path` when it is still the file writeplain put there: a regular
// file, not a link, the same file (its inode; on Windows its bytes). True
// when it was removed; another file of that name is never touched.
bool removeplain(const std::string& path, const splainfile& put);

// The words for why a file could not be read or written, after "："
// ("文件夹不存在", "没有权限", ...); empty when there is nothing more to say.
const char* failcause(fileerr e);

// Creates `path` (or path.1, path.2, ... when it exists) with the bytes,
// flushed to disk; never replaces a file or follows a link. Returns the name
// written, or empty (with the reason in `res` when given).
std::string writenew(const std::string& path, const std::string& bytes, iores* res = nullptr);

// Writes a recovery copy of unsaved work, never replacing a file, to the first
// place that takes it: beside the score (`scorepath` + ".save", skipped when
// empty), then "pellavine.PID.save" in the working folder, then in each of
// recoveryfolders(); each numbered .1, .2, ... when taken. Returns the name
// written, or empty when no place took it.
std::string writerecovery(const std::string& bytes, const std::string& scorepath, int pid);

// The system's folders for a recovery file after the working folder, each
// ending with its separator: $HOME, $TMPDIR and /tmp; on Windows
// %USERPROFILE% and %TEMP%.
std::vector<std::string> recoveryfolders();

// Writes all of `bytes` to an open descriptor through short writes and
// interruptions; an interruption after a stop was noted ends it.
iores writefd(int fd, const std::string& bytes);

// Whether writewhole may make unnamed temporary files (O_TMPFILE); tests
// turn it off to try the named way.
void fileiotmpfile(bool on);

// Notes that the program was asked to stop. Safe to call from a signal
// handler. A write or read that is waiting gives up (fileerr::stopped) when
// it is interrupted by a stop noted after it began.
void fileiostop();
