// SPDX-License-Identifier: MIT
#pragma once
// Starting and stopping other programs. Nothing here goes through a shell,
// and nothing here knows which programs are started or why: the callers
// (the tone player's launcher) hold that.
//
// Every child is started detached (POSIX: a session and process group of its
// own, standard streams on /dev/null, no other descriptors, default signal
// handling; Windows: no window, no standard handles), remembered, and reaped
// later without blocking. A child started into the group is counted and can
// be stopped with the others of the group; on Windows the group is a job
// object that ends its children when this process ends, however it ends.
#include <string>
#include <vector>

// How a child is started.
struct sspawn {
    bool grouped = false; // counted by groupsize(), stopped by the group calls
    int delayms = 0;      // the child waits this long before it starts the program
    bool linked = false;  // gets the far end of this process's link (below)
};

// Starts the program argv[0] (a path; no search) with the arguments argv.
// With `linked`, one more argument follows argv: the number of the child's
// end of a new link, the only descriptor or handle it inherits; a link made
// before is closed first. Returns the child's id once it is running the
// program (POSIX, without delay) or has been created, or -1.
int spawnchild(const std::vector<std::string>& argv, const sspawn& how = {});
// Starts argv with no group and no link (web openers and the like).
inline int spawndetached(const std::vector<std::string>& argv) { return spawnchild(argv); }

// Collects every started child that has ended, without waiting. Called by the
// functions here; cheap enough to call at any time.
void reapchildren();
// Children of the group not yet seen to end, not counting one that was
// killed and has not gone yet.
int groupsize();
// Stops the oldest running child of the group and waits a moment for it
// (POSIX: SIGTERM to its process group, then SIGKILL; Windows: terminated).
void groupstopoldest();
// Asks every child of the group to end (POSIX: SIGTERM; Windows: the job is
// terminated and each waited for a moment).
void groupstop();
// Forgets every started child (for tests).
void procreset();

// The link: a message channel between this process and one linked child.
// This process's end is never inherited, so the child sees the link end as
// soon as this process closes it or dies. POSIX: a sequenced-packet socket
// pair, one message per packet. Windows: an anonymous pipe to the child,
// a byte stream, nothing back.
//
// Sends one message, whole or not at all, without blocking. False when
// there is no link, the child's end has gone (the link is then closed), or
// the message does not fit now.
bool linksend(const std::string& message);
// Whether a message is a record of its own at the far end (false on
// Windows, where messages run together in the pipe's bytes).
#ifdef _WIN32
inline constexpr bool LINKFRAMES = false;
#else
inline constexpr bool LINKFRAMES = true;
#endif
// The lines the child has written back so far (each ended by "\n"), without
// waiting; empty when there are none. When linksend has found the child
// gone, the lines it wrote before it went are still here; linkclose drops
// the lines of the link it closes.
std::vector<std::string> linklines();
// Whether a link is open.
bool linkopen();
// Closes this process's end of the link.
void linkclose();

// The folder of the running executable, symbolic links resolved, ending in
// "/" (or "\" on Windows); empty when it cannot be found. Files shipped with
// the program are found relative to it.
std::string exedir();
// What the names of programs end with here: ".exe" on Windows.
#ifdef _WIN32
inline constexpr const char* EXESUFFIX = ".exe";
#else
inline constexpr const char* EXESUFFIX = "";
#endif
// Whether `path` names a program file that could be started.
bool isprogram(const std::string& path);
// This process's id.
int selfpid();
// Sets a variable of the environment every child is started with.
void setchildenv(const std::string& name, const std::string& value);

// Opens a web address in the desktop's browser, detached. False when no
// opener can be started or it gives up at once (it ended unsuccessfully
// within OPENERWAITMS, as one without a browser to hand the address to does).
bool openurl(const std::string& url);
constexpr int OPENERWAITMS = 1000;
