#pragma once
// The tone player of an editor run: the options that choose its instrument,
// and the one resident player that sounds every request of a run.
#include <string>

// Takes --instrument N|NAME and --soundfont PATH out of the command line
// (argc shrinks, argv keeps its order), checks the instrument, also one
// given as PELLAVINE_INSTRUMENT, and hands both to every player started
// later. 0, or -1 with a one-line reason in `err`.
int toneoptions(int& argc, char** argv, std::string& err);

// At the start of each editor run: stops every player still running and
// starts the resident one. Never waits for it to load its sounds.
void tonerunstart();

// Silences every sound at once (Esc during playback): the resident player is
// told to stop all it sounds and stays ready; players started for single
// requests end. A resident player that has gone is started afresh.
void tonesilence();

// At the end of the program: the resident player ends.
void toneexit();
