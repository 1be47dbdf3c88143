// SPDX-License-Identifier: MIT
// The documents and the keys the editor handles cannot drift apart: the key
// tables of the README and of both manual pages name exactly the keys of
// STAFFKEYS, the help text names every one of them, and a key that is not
// in the table does nothing on the staff.
#include "editor/keytable.h"
#include "testio.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

std::string slurp(const std::string& rel)
{
    std::ifstream f(std::string(PV_SOURCE_DIR) + "/" + rel);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The text from the line starting with `from` to the next line starting
// with `to`.
std::string section(const std::string& text, const std::string& from, const std::string& to)
{
    size_t a = text.find("\n" + from);
    EXPECT_NE(a, std::string::npos) << from;
    if (a == std::string::npos)
        return {};
    size_t b = text.find("\n" + to, a + 1 + from.size());
    return text.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

std::set<std::string> tablenames(bool zh)
{
    std::set<std::string> s;
    for (const sdockey& k : STAFFKEYS)
        s.insert(zh ? k.zhname : k.name);
    return s;
}

// The README's table: the keys of the first column.
std::set<std::string> readmekeys()
{
    std::set<std::string> keys;
    std::istringstream in(section(slurp("README.md"), "## Keys on the staff", "## "));
    const std::regex token("`([^`]+)`|(Ctrl\\+[A-Z]|Space|Backspace|Enter|Esc|Tab|Delete)");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| ", 0) != 0 || line.find("| key") == 0)
            continue;
        std::string first = line.substr(2, line.find(" |", 2) - 2);
        for (std::sregex_iterator i(first.begin(), first.end(), token), e; i != e; ++i)
            keys.insert((*i)[1].matched ? (*i)[1].str() : (*i)[2].str());
    }
    return keys;
}

// A manual page's key list: the words of each line after a .TP, up to the
// first paragraph after it.
std::set<std::string> mankeys(const std::string& rel, const std::string& heading)
{
    std::set<std::string> keys;
    std::istringstream in(section(slurp(rel), heading, ".PP"));
    bool next = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".TP", 0) == 0) {
            next = true;
            continue;
        }
        if (!next)
            continue;
        next = false;
        std::istringstream words(std::regex_replace(line, std::regex("^\\.B[R]? |\"|/"), " "));
        for (std::string w; words >> w;)
            keys.insert(w);
    }
    return keys;
}

} // namespace

TEST(Docs, KeyTablesNameTheKeysTheEditorHandles)
{
    EXPECT_EQ(readmekeys(), tablenames(false)) << "README.md";
    EXPECT_EQ(mankeys("man/pellavine.1.in", ".SH KEYS"), tablenames(false)) << "man/pellavine.1.in";
    EXPECT_EQ(mankeys("man/zh_CN/pellavine.1.in", ".SH 按键"), tablenames(true)) << "man/zh_CN/pellavine.1.in";
    const std::string help = section(slurp("share/pellavine/说明.txt"), "【五线谱】", "【菜单栏】");
    for (const std::string& k : tablenames(true))
        EXPECT_TRUE(std::regex_search(help, std::regex("(^|[ /])" + std::regex_replace(k, std::regex("\\+"), "\\+") +
                                                           "([ /]|$)")))
            << "说明.txt lacks " << k;
}

TEST(Docs, KeysOutsideTheTableDoNothingOnTheStaff)
{
    std::set<int> listed;
    for (const sdockey& k : STAFFKEYS)
        for (int c : k.codes)
            listed.insert(c);
    auto after = [](int k) {
        edreset();
        te.doc.music.push(smusic{0, 3, 1, 1, false});
        tioreset();
        if (k >= 0)
            tiokeys({k});
        edit(te, false);
        return std::make_pair(tiocells(), scorebytes(te.doc, te.view));
    };
    const auto still = after(-1);
    for (int k = 1; k <= keyfn(12); k++) { // every byte and every named key
        if (listed.count(k) || (k > 0xFF && k < KEY_UP))
            continue;
        const auto got = after(k);
        EXPECT_TRUE(tiosame(got.first, still.first)) << "key " << k << " changed the screen";
        EXPECT_EQ(got.second, still.second) << "key " << k << " changed the score or the view";
    }
}
