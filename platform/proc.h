// SPDX-License-Identifier: MIT
#pragma once
// Starting and stopping other programs. Nothing here goes through a shell.
#include <string>
#include <vector>

// Most players that run at once.
constexpr int MAXPLAYERS = 8;

// Starts the tone player `pellavine-beep` from the editor's own folder,
// detached; nothing happens when it is missing. When MAXPLAYERS already run,
// the oldest is stopped first (its whole process group, SIGTERM, then SIGKILL
// when it has not ended within a moment).
void startplayer();
// Sends SIGTERM to every player this process started that still runs.
void stopplayers();
// Opens a web address in the desktop's browser, detached. False when no
// opener can be started or it gives up at once (it ended unsuccessfully
// within OPENERWAITMS, as one without a browser to hand the address to does).
bool openurl(const std::string& url);
constexpr int OPENERWAITMS = 1000;

// Where startplayer looks for the player: `pellavine-beep` in the folder of
// the running executable, or the path given to setplayerpath ("" restores
// the default). Empty when the executable's folder cannot be found.
std::string playerpath();
void setplayerpath(const std::string& path);

// The folder of the running executable, symbolic links resolved, ending in
// "/"; empty when it cannot be found. Files shipped with the program are
// found relative to it.
std::string exedir();

// Starts the program argv[0] (a path; no search) with the arguments argv,
// detached: a session and process group of its own, standard input, output
// and error on /dev/null, no other descriptors, default signal handling, an
// empty signal mask, the working directory unchanged. Returns its pid once it
// is running the program, or -1 if it could not be started. The child is
// remembered and reaped later without blocking.
int spawndetached(const std::vector<std::string>& argv);

// Collects every started child that has ended, without waiting. Called by the
// functions above; cheap enough to call at any time.
void reapchildren();
// Number of started players not yet seen to end (after reaping), not
// counting one that was killed and has not gone yet.
int liveplayers();
// Forgets every started child and the player path (for tests).
void procreset();

// The resident player of an editor run: `pellavine-beep --resident FD`,
// started as startplayer starts a player, FD being one end of a socket pair.
// The other end stays with this process alone (close-on-exec, closed in every
// child), so the player sees the end of FD as soon as this process closes it
// or dies, however it dies. Stops a resident player started before. Returns
// the player's pid, or -1 when it could not be started. On Windows FD is
// the read end of an anonymous pipe (`--resident HANDLE`), the only handle
// the player inherits; the editor keeps the write end, never inherited.
int startresident();
// One message to the resident player, whole or not at all. Never blocks. False
// when there is no resident player or it has gone (it is then forgotten), or
// the message could not be sent.
bool tellresident(const std::string& message);
// Closes this process's end: the resident player ends by itself.
void stopresident();
// The lines the resident player has written back so far (each ended by
// "\n"), without waiting; empty when there are none.
std::vector<std::string> residentreplies();
// Sets a variable of the environment every player is started with.
void setplayerenv(const std::string& name, const std::string& value);
