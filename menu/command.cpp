// SPDX-License-Identifier: MIT
#include "menu/command.h"

namespace {

struct sname {
    std::string_view func;
    command cmd;
};

// The command strings of the menu table.
constexpr sname names[] = {
    {"about", command::about},   {"close", command::quit},     {"wintitle", command::wintitle},
    {"nfile", command::newfile}, {"ofile", command::openfile}, {"sfile0", command::save},
    {"sfile1", command::saveas}, {"cfile", command::closefile}, {"clear", command::clear},
    {"undo", command::undo},     {"redo", command::redo},       {"play", command::play},
    {"help", command::help},     {"update", command::update},   {"export", command::exportfile},
    {"select", command::select}, {"copy", command::copy},       {"cut", command::cut},
    {"erase", command::erase},   {"paste", command::paste},     {"semiup", command::semiup},
    {"semidown", command::semidown}, {"octaveup", command::octaveup}, {"octavedown", command::octavedown},
    {"instep", command::insertstep}, {"rmstep", command::removestep}, {"lengthen", command::lengthen},
    {"entryhalf", command::entryhalf}, {"entrydouble", command::entrydouble},
    {"playfrom", command::playfrom}, {"playloop", command::playloop},
};

} // namespace

command commandof(std::string_view func)
{
    for (const sname& n : names)
        if (n.func == func)
            return n.cmd;
    return command::none;
}
