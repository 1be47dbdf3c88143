// SPDX-License-Identifier: MIT
#include "tone/export.h"

#include "platform/fileio.h"
#include "platform/job.h"
#include "tone/players.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

bool endswith(const std::string& path, const char* ext)
{
    std::string e = ext;
    if (path.size() <= e.size())
        return false;
    for (size_t i = 0; i < e.size(); i++)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - e.size() + i])) != e[i])
            return false;
    return true;
}

// A new file of ours in the system's temporary folder.
std::string tempfile(const char* name, const std::string& bytes)
{
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec || dir.empty())
        dir = ".";
    const std::u8string path = (dir / name).u8string(); // UTF-8, as every path here
    return writenew(std::string(path.begin(), path.end()), bytes);
}

void cleanup(sexportjob& j)
{
    if (!j.score.empty())
        utf8remove(j.score);
    if (!j.errpath.empty())
        utf8remove(j.errpath);
    j = sexportjob{};
}

// The player's complaint in the words of the status row.
std::string causeof(const std::string& said, int status)
{
    struct smap {
        const char* text;
        const char* cause;
    };
    static const smap MAP[] = {
        {"No space left", "磁盘已满"},       {"Disk quota", "磁盘已满"},
        {"Permission denied", "没有权限"},   {"Read-only", "没有权限"},
        {"No such file", "文件夹不存在"},    {"more than a WAV file can hold", "声音太长，WAV 文件放不下"},
        {"Is a directory", "不是普通文件"},
    };
    for (const smap& m : MAP)
        if (said.find(m.text) != std::string::npos)
            return m.cause;
    return "播放器出错（退出状态 " + std::to_string(status) + "）";
}

} // namespace

exportkind exportkindof(const std::string& path)
{
    if (endswith(path, ".wav"))
        return exportkind::wav;
    if (endswith(path, ".mid") || endswith(path, ".midi"))
        return exportkind::midi;
    if (endswith(path, ".musicxml") || endswith(path, ".xml"))
        return exportkind::musicxml;
    return exportkind::none;
}

bool startexport(sexportjob& j, const std::string& scorebytes, int64_t steps, const std::string& out,
                 const std::string& title, std::string& why)
{
    j.kind = exportkindof(out);
    if (j.kind == exportkind::none) {
        why = "扩展名须为 .wav、.mid 或 .musicxml";
        return false;
    }
    std::string player = playerpath();
    if (player.empty()) {
        why = "找不到播放器 pellavine-beep";
        return false;
    }
    j.score = tempfile("pellavine-export.pvx", scorebytes);
    j.errpath = tempfile("pellavine-export.err", "");
    if (j.score.empty() || j.errpath.empty()) {
        cleanup(j);
        why = "无法写入临时文件";
        return false;
    }
    j.out = out;
    // A WAV file: its header, 2 bytes a sample, 4800 samples a step, and at
    // most 1.5 s for the last note to die away.
    j.expect = 44 + 2 * (steps * 4800 + 72000);
    j.id = startjob({player, "--export", j.score, out, "--title", title}, j.errpath);
    if (j.id < 0) {
        cleanup(j);
        why = "无法启动播放器 pellavine-beep";
        return false;
    }
    return true;
}

exportstep pollexport(sexportjob& j, int& percent, std::string& why)
{
    percent = -1;
    int status = 0;
    jobstate s = pokejob(j.id, status);
    if (s == jobstate::running) {
        std::error_code ec;
        auto size = std::filesystem::file_size(std::filesystem::path(std::u8string(j.out.begin(), j.out.end())), ec);
        if (j.kind == exportkind::wav && !ec && j.expect > 0)
            percent = static_cast<int>(std::min<int64_t>(99, static_cast<int64_t>(size) * 100 / j.expect));
        return exportstep::running;
    }
    if (s == jobstate::failed) {
        std::string said;
        readwhole(j.errpath, said, nullptr, 1 << 16);
        why = causeof(said, status);
    }
    cleanup(j);
    return s == jobstate::ok ? exportstep::done : exportstep::failed;
}

void cancelexport(sexportjob& j)
{
    if (!exportrunning(j))
        return;
    stopjob(j.id);
    utf8remove(j.out);
    cleanup(j);
}
