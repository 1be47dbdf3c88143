// SPDX-License-Identifier: MIT
#pragma once
// Programs the editor runs for a result and watches without waiting: started
// with their standard error going to a file, polled until they end, stopped
// when the editor ends first. And the check a path gets before a job writes
// a file there.
#include "platform/fileio.h"

#include <string>
#include <vector>

// Starts argv[0] (a path; no search) with the arguments argv in a process
// group of its own, standard input and output on the null device and
// standard error appended to `errpath`. Returns its id, or -1.
int startjob(const std::vector<std::string>& argv, const std::string& errpath);

// How a job stands.
enum class jobstate { running, ok, failed };

// Looks whether job `id` has ended, without waiting; `status` gets its exit
// status when it has (128 + N when a signal N ended it).
jobstate pokejob(int id, int& status);

// Stops job `id` and its group and collects it.
void stopjob(int id);

// Whether a file may be written at `path` as Save would write it: refused
// (notregular) when the name is a symbolic link, a folder, a FIFO or a
// device; noperm when the file or, for a new file, its folder may not be
// written; missing when the folder does not exist.
iores checkout(const std::string& path);
