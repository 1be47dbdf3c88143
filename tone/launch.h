// SPDX-License-Identifier: MIT
#pragma once
// The tone player of an editor run: the options that choose its instrument,
// and the one resident player that sounds every request of a run.
#include <string>

// Takes --instrument N|NAME and --soundfont PATH out of the command line
// (argc shrinks, argv keeps its order), checks the instrument, also one
// given as PELLAVINE_INSTRUMENT, and the SoundFont (a readable regular file
// that starts as a SoundFont does), and hands both to every player started
// later. 0, or -1 with a one-line reason in Chinese in `err`.
int toneoptions(int& argc, char** argv, std::string& err);

// At the start of each editor run: stops every player still running and
// starts the resident one. Never waits for it to load its sounds.
void tonerunstart();

// Silences every sound at once (Esc during playback): the resident player is
// told to stop all it sounds and stays ready; players started for single
// requests end. A resident player that has gone is started afresh.
void tonesilence();

// At the end of the program: the resident player ends, and "beepset.tmp"
// is removed when it is still the file this run last wrote.
void toneexit();

// What the status row says once about the sound: why the resident player
// plays the sine tone ("音色库无法加载，使用正弦音", ...), or why a request
// could not be put in place ("无法写入 beepset.tmp：没有权限"); empty when
// there is nothing new to say. Never waits.
std::string tonenote();
