// SPDX-License-Identifier: MIT
// Where unsaved work goes when the program must end: the same order on
// every system, with the system's own folders last.
#include "platform/fileio.h"

#include <string>
#include <vector>

std::string writerecovery(const std::string& bytes, const std::string& scorepath, int pid)
{
    const std::string own = "pellavine." + std::to_string(pid) + ".save";
    std::vector<std::string> places;
    if (!scorepath.empty())
        places.push_back(scorepath + ".save");
    places.push_back(own);
    for (const std::string& dir : recoveryfolders())
        places.push_back(dir + own);
    for (const std::string& p : places) {
        iores r;
        std::string written = writenew(p, bytes, &r);
        if (!written.empty())
            return written;
        if (r.why == fileerr::stopped)
            break;
    }
    return {};
}
