// SPDX-License-Identifier: MIT
// The open and save dialogs.
#include "dialogs/dialogs.h"


#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

static bool exists(const std::string& p)
{
    std::error_code ec;
    return !p.empty() && fs::exists(fs::path(p), ec);
}

static bool isfolder(const std::string& p)
{
    std::error_code ec;
    return !p.empty() && fs::is_directory(fs::path(p), ec);
}

std::string dropdecode(const std::string& typed)
{
    std::string t = typed;
    bool dropped = false;
    // One trailing blank, unless a backslash escapes it.
    if (!t.empty() && t.back() == ' ') {
        size_t k = t.size() - 1, n = 0;
        while (k > 0 && t[k - 1] == '\\') {
            k--;
            n++;
        }
        if (n % 2 == 0) {
            t.pop_back();
            dropped = true;
        }
    }
    std::string out;
    size_t i = 0;
    while (i < t.size()) {
        char c = t[i];
        if (c == '\\') {
            if (i + 1 >= t.size())
                return {};
            out += t[i + 1];
            i += 2;
            dropped = true;
        } else if (c == '\'') {
            size_t j = t.find('\'', i + 1);
            if (j == std::string::npos)
                return {};
            out.append(t, i + 1, j - i - 1);
            i = j + 1;
            dropped = true;
        } else if (c == '"') {
            i++;
            for (;;) {
                if (i >= t.size())
                    return {};
                char e = t[i];
                if (e == '"')
                    break;
                if (e == '\\' && i + 1 < t.size()
                    && (t[i + 1] == '"' || t[i + 1] == '\\' || t[i + 1] == '$' || t[i + 1] == '`')) {
                    out += t[i + 1];
                    i += 2;
                } else {
                    out += e;
                    i++;
                }
            }
            i++;
            dropped = true;
        } else if (c == ' ' || c == '\t') {
            return {}; // several words: not one dropped path
        } else {
            out += c;
            i++;
        }
    }
    if (!dropped)
        return {};
    return out;
}

// The open dialog, 70 x 8: a path field, 取消 and 确定.
static bool opendlg(std::string& path)
{
    sdialog d;
    dlgplace(d, 70, 8);
    const int L = d.leftlo1, T = d.toplo1;
    d.title = "打开文件";
    d.texts.push_back({2, 3, "路径(请将文件拖拽至此处):"});
    dlgadd(d, dlgtextfield(L + 2, T + 4, "", 66), 66);
    dlgadd(d, dlgbutton(L + 59, T + 6, "取消"));
    dlgadd(d, dlgbutton(L + 64, T + 6, "确定"));
    if (dlgrun(d) != 2)
        return true;
    const std::string& typed = d.text[0];
    std::string decoded;
    if (!exists(typed))
        decoded = dropdecode(typed);
    path = decoded.empty() ? typed : decoded;
    return false;
}

// The save dialog, 70 x 10: a folder field, a name field followed by the
// fixed ".pvx", 取消 and 确定. The fields start as `form` has them.
bool savedialog(ssaveform& form, std::string& path)
{
    sdialog d;
    dlgplace(d, 70, 10);
    const int L = d.leftlo1, T = d.toplo1;
    d.title = "保存文件";
    d.texts.push_back({2, 3, "路径(请将要保存到的文件夹拖拽至此处):"});
    d.texts.push_back({2, 5, "文件名:"});
    d.texts.push_back({64, 6, ".pvx", 112});
    if (!form.failure.empty()) { // why the box came back, left of the buttons
        d.texts.push_back({2, 8, dlgfit(form.failure, 56), FACECOL});
        d.keeptext = true; // the typed path is there to be corrected
    }
    dlgadd(d, dlgtextfield(L + 2, T + 4, form.folder, 66), 66, form.folder);
    dlgadd(d, dlgtextfield(L + 2, T + 6, form.name, 61), 61, form.name);
    dlgadd(d, dlgbutton(L + 59, T + 8, "取消"));
    dlgadd(d, dlgbutton(L + 64, T + 8, "确定"));
    if (dlgrun(d) != 3)
        return true;
    form.folder = d.text[0];
    form.name = d.text[1];
    path = typedfolder(d.text[0]) + d.text[1] + ".pvx";
    return false;
}

std::string typedfolder(const std::string& typed)
{
    std::string dir = typed;
    if (!dir.empty() && dir.front() == '"')
        dir.erase(0, 1);
    if (!dir.empty() && dir.back() == '"')
        dir.pop_back();
    if (!dir.empty() && !isfolder(dir)) {
        std::string decoded = dropdecode(typed);
        if (!decoded.empty())
            dir = decoded;
    }
    // An empty folder is the working folder: the name alone.
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

bool slfile(pathdlg mode, std::string& path)
{
    ssaveform form;
    form.name = path; // the name field starts with `path` as given
    return mode == pathdlg::open ? opendlg(path) : savedialog(form, path);
}
