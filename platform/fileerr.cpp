// SPDX-License-Identifier: MIT
// The words for the reasons of platform/fileio.h, as the editor shows them.
#include "platform/fileio.h"

const char* failcause(fileerr e)
{
    switch (e) {
    case fileerr::diskfull:
        return "磁盘已满";
    case fileerr::noperm:
        return "没有权限";
    case fileerr::notregular:
        return "不是普通文件";
    case fileerr::missing:
        return "文件不存在";
    case fileerr::nofolder:
        return "文件夹不存在";
    case fileerr::toolong:
        return "文件名太长";
    case fileerr::toolarge:
        return "文件太大";
    case fileerr::stopped:
        return "操作被中断";
    case fileerr::other:
        return "系统错误";
    case fileerr::ok:
        break;
    }
    return "";
}
