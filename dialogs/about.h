// SPDX-License-Identifier: MIT
#pragma once
// The about box and the help text.
#include <string>
#include <vector>

// Who made the editor, as the about box shows it. Each text takes at most 21
// columns, so that every line of the box's panel stays 32 columns wide.
struct scredits {
    const char* name;    // after "开发人员："
    const char* name2;   // the line below it
    const char* contact; // after "联系方式："
};
inline constexpr scredits CREDITS{"Pellavine 开发组", "Pellavine Team", "github.com/pellavine"};

// The licence, on the about box's last panel line.
inline constexpr const char* LICENCELINE = " 许可证：MIT（见 LICENSE 文件）";

// The version as the about box writes it.
inline constexpr const char* ABOUTVERSION = "v1.0 Preview 2";

// The page opened by the update command and the about box's update button.
inline constexpr const char* UPDATEURL = "https://github.com/pellavine/pellavine/releases";
// What the status row says when no browser could be opened for it.
inline constexpr const char* UPDATEMSG = "请用浏览器打开 https://github.com/pellavine/pellavine/releases";
// What the status row says when the help command could not read the text.
inline constexpr const char* HELPFAILMSG = "帮助文件无法读取";
// The most of the help text that is read; a larger file is refused.
inline constexpr unsigned HELPMAX = 64 * 1024;

// The help text: the working folder's HELPFILE first, then SHAREDHELP
// relative to the executable's folder (where `cmake --install` and the
// package put it, and where the source tree keeps it for build/).
inline constexpr const char* HELPFILE = "说明.txt";
inline constexpr const char* SHAREDHELP = "../share/pellavine/说明.txt";
// The files help() tries, in order, for an executable in the folder exedir
// (ending in "/"; "" when unknown, and then only the working folder's).
std::vector<std::string> helppaths(const std::string& exedir);
// What the pause after the help text says.
inline constexpr const char* PAUSEMSG = "请按任意键继续. . .";

// The about box: name, version and credits, "确定" closes it, "检查更新"
// opens the update page and keeps it open. Input ending closes it. True
// when the update page was asked for and no browser could be opened.
bool about();

// Clears the screen and shows the help file (or, when it cannot be read, an
// error box), then waits for a key. True when the file could not be read:
// each of helppaths() was missing, not a regular file (a link, pipe or
// device is not followed or opened), larger than HELPMAX or unreadable.
bool help();

// Shows PAUSEMSG and waits for one key; an extended key (two codes) counts as
// one. Returns the key, or KEY_END when input has ended.
int cpause();
