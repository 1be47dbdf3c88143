// SPDX-License-Identifier: MIT
#pragma once
// What this process holds of the system: the signals it has received, as
// the handlers record them, and the programs it has started, until they are
// reaped. Process-wide because a signal handler, and a child that ends, reach
// nothing they are not handed; every other piece of state is passed down.
#include <atomic>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

// A program this process started.
struct schild {
    pid_t pid;           // also its process group: every child leads its own session
    bool grouped;        // one of the group the caller counts and stops together
    bool killed = false; // sent SIGKILL; no longer counted as running
};

struct sprocess {
    // Written by signal handlers; nothing else a handler touches.
    volatile sig_atomic_t stopsig = 0; // first stop signal received (SIGTERM, SIGHUP, SIGINT, SIGQUIT)
    volatile sig_atomic_t winch = 0;   // the window size changed
    volatile sig_atomic_t tstp = 0;    // asked to stop for a while (SIGTSTP from outside)
    volatile sig_atomic_t chld = 0;    // a child (a player) ended: reap it
    volatile sig_atomic_t active = 0;  // the terminal is ours: a fatal signal restores it
    std::atomic<unsigned> stops{0};    // stops seen, for file operations that wait
    int wake[2] = {-1, -1};            // the handlers write here so that a wait wakes up

    // The programs started and not yet reaped.
    std::vector<schild> children;
    int linkfd = -1; // our end of the link to the linked child
    std::string linkheld; // what the child wrote back, not yet taken as lines
};

extern sprocess self;
