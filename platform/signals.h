#pragma once
// The signals this process has received, as the handlers record them. A
// handler can reach nothing it is not handed, so this one record is
// process-wide; it is all that a handler touches besides writing a byte.
#include <atomic>
#include <csignal>

struct ssignals {
    volatile sig_atomic_t stopsig = 0; // first stop signal received (SIGTERM, SIGHUP, SIGINT, SIGQUIT)
    volatile sig_atomic_t winch = 0;   // the window size changed
    volatile sig_atomic_t tstp = 0;    // asked to stop for a while (SIGTSTP from outside)
    volatile sig_atomic_t chld = 0;    // a child (a player) ended: reap it
    volatile sig_atomic_t active = 0;  // the terminal is ours: a fatal signal restores it
    std::atomic<unsigned> stops{0};    // stops seen, for file operations that wait
    int wake[2] = {-1, -1};            // the handlers write here so that a wait wakes up
};

extern ssignals sigs;
