// SPDX-License-Identifier: MIT
#pragma once
// Exporting from the editor: the tone player's --export run as a job that the
// editor polls each pass, so that keys keep working while a long score is
// rendered. The output's extension chooses what is written.
#include <cstdint>
#include <string>

enum class exportkind {
    none,     // an extension the player does not write
    wav,      // ".wav": the sound
    midi,     // ".mid", ".midi": a Standard MIDI File
    musicxml, // ".musicxml", ".xml": sheet music
};

// The kind an output path asks for, by its extension in any case.
exportkind exportkindof(const std::string& path);

// An export under way.
struct sexportjob {
    int id = -1;           // the player's job; -1 when none runs
    std::string out;       // the file being written
    std::string score;     // the score handed to the player (a file of our own)
    std::string errpath;   // where the player says what went wrong
    exportkind kind = exportkind::none;
    int64_t expect = 0;    // bytes a WAV file will hold, for the progress
};

inline bool exportrunning(const sexportjob& j) { return j.id >= 0; }

// Starts the player writing `out` from the score file image `scorebytes`,
// whose notes take `steps` time steps, titled `title`. False with the cause,
// in the words of the status row, in `why`.
bool startexport(sexportjob& j, const std::string& scorebytes, int64_t steps, const std::string& out,
                 const std::string& title, std::string& why);

// How a running export stands.
enum class exportstep { running, done, failed };

// Looks at the export without waiting. While it runs `percent` is how much
// of a WAV file is written (-1 when unknown); once failed `why` says why.
// When it has ended the job's files are removed and the job is idle again.
exportstep pollexport(sexportjob& j, int& percent, std::string& why);

// Stops a running export and removes what it wrote.
void cancelexport(sexportjob& j);
