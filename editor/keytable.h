// SPDX-License-Identifier: MIT
#pragma once
// The keys the editor handles on the staff, as the README, the manual pages
// and the help text name them. A key handled anywhere in editor/keys.cpp is
// listed here, and the documentation's key tables list exactly these
// (tests/test_docs.cpp holds both): a new key goes into this table and into
// the documents together.
#include "console/keys.h"

struct sdockey {
    const char* name;   // as the English documents write it
    const char* zhname; // as the Chinese documents write it
    int codes[7];       // the key codes it stands for (-2: none; places left over are 0)
};

inline constexpr sdockey STAFFKEYS[] = {
    {"w", "w", {'w', -2}},
    {"s", "s", {'s', -2}},
    {"W", "W", {'W', -2}},
    {"S", "S", {'S', -2}},
    {"a", "a", {'a', -2}},
    {"d", "d", {'d', -2}},
    {"A", "A", {'A', -2}},
    {"D", "D", {'D', -2}},
    {"Space", "空格", {KEY_SPACE, -2}},
    {"Backspace", "退格", {KEY_BACKSPACE, -2}},
    {"b", "b", {'b', 'B'}},
    {"Enter", "回车", {KEY_ENTER, -2}},
    {"Ctrl+S", "Ctrl+S", {KEY_CTRLS, -2}},
    {"Ctrl+Z", "Ctrl+Z", {KEY_CTRLZ, -2}},
    {"Ctrl+Y", "Ctrl+Y", {KEY_CTRLY, -2}},
    {"Esc", "Esc", {KEY_ESC, -2}},
    {"Tab", "Tab", {KEY_TAB, -2}},
    {"c", "c", {'c', -2}},
    {"Ctrl+C", "Ctrl+C", {KEY_CTRLC, -2}},
    // Selection, clipboard, transpose, steps, digit entry, play from the cursor.
    {"v", "v", {'v', -2}},
    {"y", "y", {'y', -2}},
    {"x", "x", {'x', -2}},
    {"Delete", "Delete", {KEY_DELETE, -2}},
    {"p", "p", {'p', -2}},
    {"e", "e", {'e', -2}},
    {"q", "q", {'q', -2}},
    {"E", "E", {'E', -2}},
    {"Q", "Q", {'Q', -2}},
    {"i", "i", {'i', -2}},
    {"r", "r", {'r', -2}},
    {"1-7", "1-7", {'1', '2', '3', '4', '5', '6', '7'}},
    {"0", "0", {'0', -2}},
    {"-", "-", {'-', -2}},
    {",", ",", {',', -2}},
    {".", ".", {'.', -2}},
    {"k", "k", {'k', -2}},
    {"j", "j", {'j', -2}},
    {"g", "g", {'g', -2}},
    {"G", "G", {'G', -2}},
};
