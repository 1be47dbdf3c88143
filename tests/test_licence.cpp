// SPDX-License-Identifier: MIT
// The licence is there and goes wherever the program goes: the source tree,
// the installed documents (and so the Debian package), the Windows zip.
#include "dialogs/about.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace

TEST(Licence, FilesExistAndThePackagesCarryThem)
{
    const fs::path src = PV_SOURCE_DIR;
    EXPECT_EQ(slurp(src / "LICENSE").rfind("MIT License\n", 0), 0u);
    const std::string copyright = slurp(src / "packaging/copyright");
    EXPECT_NE(copyright.find("License: MIT"), std::string::npos);
    EXPECT_EQ(copyright.find("all-rights-reserved"), std::string::npos);
    const std::string notices = slurp(src / "packaging/THIRD-PARTY.txt");
    for (const char* part : {"SDL2", "zlib", "FluidSynth", "LGPL", "Lesser General Public License", "GPL-2.txt"})
        EXPECT_NE(notices.find(part), std::string::npos) << part;
    // The Windows zip is packed with both.
    const std::string zip = slurp(src / "cmake/windows.cmake");
    EXPECT_NE(zip.find("LICENSE ${PV_ZIPDIR}/LICENSE.txt"), std::string::npos);
    EXPECT_NE(zip.find("THIRD-PARTY.txt ${PV_ZIPDIR}"), std::string::npos);
    // Installed (what the Debian package holds) beside the README.
    const fs::path to = fs::temp_directory_path() / ("pvlicence" + std::to_string(::getpid()));
    const std::string cmd = std::string("cmake --install ") + PV_BINARY_DIR + " --prefix " + to.string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    for (const char* f : {"LICENSE", "THIRD-PARTY.txt", "copyright"})
        EXPECT_TRUE(fs::exists(to / "share/doc/pellavine" / f)) << f;
    fs::remove_all(to);
    // And the about box says it.
    EXPECT_NE(std::string(LICENCELINE).find("MIT"), std::string::npos);
}
