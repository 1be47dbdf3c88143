// SPDX-License-Identifier: MIT
#pragma once
// How the editor and its tone player talk, shared by both ends.
//
// The editor starts `pellavine-beep --resident FD` once per run, FD being
// its end of a sequenced-packet socket pair. Each packet is one message:
//   'p' followed by a request, the same text as "beepset.tmp" (which the
//       editor still writes): play it at once;
//   's' alone: stop every sound at once (Esc during playback).
// On Windows FD is the read end of an anonymous pipe, a byte stream: each
// message is its first byte alone, and a 'p' has the player read the request
// from "beepset.tmp".
// The player ends when FD reaches its end, that is when the editor has gone.
// On the socket it writes back lines, each ended by "\n": "sine WHY" when it
// sounds the sine tone instead of the instrument asked for, and
// RESIDENTNODEVICE when no audio device opens (it then ends). Through the
// Windows pipe nothing comes back.
// A player started for a single request (no --resident) reads "beepset.tmp".
// Every player watches the editor named in PELLAVINE_PID as well as its parent.
#include <string>

inline constexpr const char* PLAYERNAME = "pellavine-beep";
inline constexpr const char* PLAYERWATCH = "PELLAVINE_PID";
inline constexpr const char* RESIDENTOPTION = "--resident";
inline constexpr char RESIDENTPLAY = 'p';
inline constexpr char RESIDENTSTOP = 's';
inline constexpr size_t RESIDENTMAXMSG = 1 << 16; // longer messages are not sent
inline constexpr const char* RESIDENTNODEVICE = "nodevice";

inline std::string playmessage(const std::string& request) { return RESIDENTPLAY + request; }
inline std::string stopmessage() { return std::string(1, RESIDENTSTOP); }
