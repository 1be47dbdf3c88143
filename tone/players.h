// SPDX-License-Identifier: MIT
#pragma once
// Which tone players run, and when: the launcher's rules on top of the
// system's process calls. One resident player sounds every request of an
// editor run; a player of its own, for a single request, is started only
// when no resident one can be, and at most MAXPLAYERS of those run at once.
#include <string>
#include <vector>

// Most players that run at once.
constexpr int MAXPLAYERS = 8;

// Where players are looked for: PLAYERNAME in the folder of the running
// executable, or the path given to setplayerpath ("" restores the default).
// Empty when the executable's folder cannot be found.
std::string playerpath();
void setplayerpath(const std::string& path);

// Starts a player for the request in "beepset.tmp", detached; nothing
// happens when the player is missing. When MAXPLAYERS already run, the
// oldest is stopped first.
void startplayer();
// Asks every player this process started to end.
void stopplayers();
// Players started and not yet seen to end.
int liveplayers();

// The resident player of an editor run: `pellavine-beep --resident FD`, FD
// being its end of the link, which ends when this process closes it or
// dies. Stops a resident player started before. The player's id, or -1.
int startresident();
// One message to the resident player (see tone/protocol/resident.h), whole
// or not at all; never blocks. False when there is no resident player, it
// has gone (it is then forgotten) or the message does not fit now.
bool tellresident(const std::string& message);
// Whether a play message carries the request itself; otherwise the resident
// player reads it from "beepset.tmp".
bool residentcarriesrequest();
// Closes the link: the resident player ends by itself.
void stopresident();
// The lines the resident player has written back so far.
std::vector<std::string> residentreplies();
// Sets a variable of the environment every player is started with.
void setplayerenv(const std::string& name, const std::string& value);
// Forgets every player and the player path (for tests).
void playersreset();
