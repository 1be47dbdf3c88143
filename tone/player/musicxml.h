// SPDX-License-Identifier: MIT
#pragma once
// Sheet music out: a whole score as MusicXML 4.0 (score-partwise,
// uncompressed), and the beat length shared with the MIDI export.
//
// The beat length is the number of time steps in a quarter note. With the
// default of 4 a step is a sixteenth note: lengths of 1, 2, 3, 4, 6, 8, 12
// and 16 steps are the sixteenth, eighth, dotted eighth, quarter, dotted
// quarter, half, dotted half and whole note, and every other length is a tie
// of those; the tempo is 150 quarter notes a minute (a step still lasts
// 100 ms). Beat lengths that are powers of two keep every length free of
// tuplets, so only those are taken.
//
// What is written: one part with its instrument (score-instrument and
// midi-instrument with the General MIDI program; none for the sine tone),
// the title as work-title, a metronome mark, 4/4 measures, a G clef (F clef
// when most notes lie below middle C), the melody's notes split at bar lines
// and tied, rests between them and to the end of the last measure, sharps
// as on the staff (alter 1 and a sharp sign where the measure needs one,
// a natural sign where a sharp is cancelled). Octave 3 of the staff is
// MusicXML's octave 4.
#include "score/model.h"

#include <string>
#include <vector>

constexpr int DEFAULTBEAT = 4; // time steps in a quarter note

// True for the beat lengths the exports take: 1, 2, 4, 8, 16.
bool beatok(int beat);

// Quarter notes a minute at a beat length: one step is 100 ms.
inline double beattempo(int beat) { return 600.0 / beat; }

// The whole score as a MusicXML document. `notes` may be in any order; where
// they overlap the later one cuts the earlier short, as when it sounds.
std::string musicxmlbytes(const std::vector<smusic>& notes, int program, int beat, const std::string& title);

// The title text made safe for XML: control characters and bytes that are
// not UTF-8 dropped, & < > " escaped.
std::string xmltext(const std::string& s);
