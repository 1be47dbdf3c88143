// SPDX-License-Identifier: MIT
// The tone players of an editor run.
#include "tone/players.h"

#include "platform/proc.h"
#include "tone/protocol/resident.h"

namespace {

std::string playeroverride; // where players are looked for, when set

// The resident player waits this long before it starts: its start (linking
// its libraries, loading its sounds) takes some tens of ms of processor
// time, better spent after the editor has drawn its first frame.
constexpr int RESIDENTDELAYMS = 60;

// Every player watches this process and stops within a second once it has
// gone, even one started detached.
void watchme() { setchildenv(PLAYERWATCH, std::to_string(selfpid())); }

} // namespace

std::string playerpath()
{
    if (!playeroverride.empty())
        return playeroverride;
    std::string dir = exedir();
    return dir.empty() ? dir : dir + PLAYERNAME + EXESUFFIX;
}

void setplayerpath(const std::string& path) { playeroverride = path; }

void startplayer()
{
    std::string path = playerpath();
    if (!isprogram(path)) {
        reapchildren();
        return;
    }
    watchme();
    while (groupsize() >= MAXPLAYERS)
        groupstopoldest();
    spawnchild({path}, {.grouped = true});
}

void stopplayers() { groupstop(); }

int liveplayers() { return groupsize(); }

int startresident()
{
    stopresident();
    std::string path = playerpath();
    if (!isprogram(path))
        return -1;
    watchme();
    // The editor does not wait for the player to start.
    return spawnchild({path, RESIDENTOPTION}, {.grouped = true, .delayms = RESIDENTDELAYMS, .linked = true});
}

bool tellresident(const std::string& message)
{
    if (!linkopen() || message.empty() || message.size() > RESIDENTMAXMSG)
        return false;
    if (LINKFRAMES)
        return linksend(message);
    // Through a byte stream the message is only its kind: the player reads
    // the request from "beepset.tmp", which the editor has just written. A
    // pipe full of wake-ups still has the player read the newest request.
    bool sent = linksend(std::string(1, message[0]));
    return sent || (message[0] == RESIDENTPLAY && linkopen());
}

bool residentcarriesrequest() { return LINKFRAMES; }

void stopresident() { linkclose(); }

std::vector<std::string> residentreplies() { return linklines(); }

void setplayerenv(const std::string& name, const std::string& value) { setchildenv(name, value); }

void playersreset()
{
    procreset();
    playeroverride.clear();
}
