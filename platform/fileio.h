#pragma once
// Durable file operations: whole files read, replaced without losing the old
// content on failure, and created without ever replacing another file.
#include <cstdint>
#include <string>

// Reads a whole regular file. Returns false (with a reason in `err` when
// given) when it cannot be opened or read, is not a regular file or is larger
// than `limit` bytes.
bool readwhole(const std::string& path, std::string& bytes, std::string* err = nullptr,
               uint64_t limit = uint64_t(1) << 30);

// Replaces the file at `path` with `bytes` so that the old content survives
// any failure: 0 when the whole file is on disk, -1 otherwise.
// The image goes to a new file beside the old one (same owner and permission
// bits; a new file gets 0666 less the umask), which is flushed and renamed
// over it, and the folder is flushed. A symbolic link is followed and its
// target replaced. A file with several hard links, a device or a pipe, and a
// file in a folder that takes no new files, is written in place instead.
// A file that need not outlive a crash (the player's request) is written
// with `durable` false: it still appears whole or not at all, without the
// flushes to disk.
int writewhole(const std::string& path, const std::string& bytes, bool durable = true);

// Creates `path` (or path.1, path.2, ... when it exists) with the bytes,
// flushed to disk; never replaces a file. Returns the name written, or empty.
std::string writenew(const std::string& path, const std::string& bytes);
