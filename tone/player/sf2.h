// SPDX-License-Identifier: MIT
#pragma once
// Reading a SoundFont 2 file into presets, instruments and 16-bit samples.
// Pure: bytes in, a font or a one-line reason out; no I/O of its own.
//
// Written here, not taken from a library: Debian's SoundFont reader is part
// of FluidSynth, which cannot be built for the Windows build (its glib has no
// mingw build), and the Windows player needs a synthesiser it can carry.
//
// The file (all numbers little-endian; a chunk is a four-letter id, a 32-bit
// size and that many bytes, padded to an even length):
//
//   RIFF <size> "sfbk"
//     LIST "INFO"   ifil (version), INAM, ... : skipped
//     LIST "sdta"   smpl: the 16-bit mono samples of every sample, one after
//                   another; sm24 (the low bytes of 24-bit samples): ignored
//     LIST "pdta"   nine tables of fixed-size records, each ending with a
//                   terminal record that only closes the last entry:
//       phdr  38 bytes  name[20] preset:u16 bank:u16 bag:u16 library:u32 genre:u32 morphology:u32
//       pbag   4 bytes  gen:u16 mod:u16      first generator and modulator of a preset zone
//       pmod  10 bytes  a modulator: not used
//       pgen   4 bytes  oper:u16 amount:s16 (or lo:u8 hi:u8 for ranges)
//       inst  22 bytes  name[20] bag:u16
//       ibag   4 bytes  gen:u16 mod:u16      of an instrument zone
//       imod  10 bytes  a modulator: not used
//       igen   4 bytes  as pgen
//       shdr  46 bytes  name[20] start:u32 end:u32 loopstart:u32 loopend:u32 rate:u32
//                       key:u8 correction:s8 link:u16 type:u16
//
// Entry i of phdr owns the bags [bag(i), bag(i+1)); bag j owns the generators
// [gen(j), gen(j+1)); likewise inst and ibag. The reader checks that every
// table is a whole number of records with its terminal record, that these
// indices never fall and stay inside their tables, that a zone's instrument
// or sample exists, and that a sample's start and end lie inside smpl.
// Sample loops outside their sample are cut down to it when a note plays.
//
// A zone whose generators do not end with the one naming its instrument
// (presets) or sample (instruments) is a global zone when it comes first and
// is dropped otherwise. Generators after that last one are dropped too.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Generator numbers of the SoundFont 2.04 format that the synthesiser uses.
enum sf2genop : uint16_t {
    SF2G_STARTOFS = 0,
    SF2G_ENDOFS = 1,
    SF2G_LOOPSTARTOFS = 2,
    SF2G_LOOPENDOFS = 3,
    SF2G_STARTCOARSE = 4,
    SF2G_ENDCOARSE = 12,
    SF2G_PAN = 17,
    SF2G_VOLDELAY = 33,
    SF2G_VOLATTACK = 34,
    SF2G_VOLHOLD = 35,
    SF2G_VOLDECAY = 36,
    SF2G_VOLSUSTAIN = 37,
    SF2G_VOLRELEASE = 38,
    SF2G_KEYTOVOLHOLD = 39,
    SF2G_KEYTOVOLDECAY = 40,
    SF2G_INSTRUMENT = 41,
    SF2G_KEYRANGE = 43,
    SF2G_VELRANGE = 44,
    SF2G_LOOPSTARTCOARSE = 45,
    SF2G_KEYNUM = 46,
    SF2G_VELOCITY = 47,
    SF2G_ATTENUATION = 48,
    SF2G_LOOPENDCOARSE = 50,
    SF2G_COARSETUNE = 51,
    SF2G_FINETUNE = 52,
    SF2G_SAMPLEID = 53,
    SF2G_SAMPLEMODES = 54,
    SF2G_SCALETUNING = 56,
    SF2G_EXCLUSIVE = 57,
    SF2G_ROOTKEY = 58,
    SF2G_COUNT = 61, // one past the last generator number the format defines
};

// One zone: its generators by number, which of them it sets, its key and
// velocity ranges, and the instrument (preset zone) or sample (instrument
// zone) it names.
struct sf2zone {
    int16_t gen[SF2G_COUNT]{};
    uint64_t set = 0; // bit n: generator n is given
    uint8_t keylo = 0, keyhi = 127, vello = 0, velhi = 127;
    int target = -1; // index into sf2font::insts or ::samples; -1 for a global zone

    bool has(int op) const { return (set >> op) & 1; }
};

struct sf2part { // a preset or an instrument
    std::string name;
    uint16_t program = 0, bank = 0; // presets only
    bool hasglobal = false;
    sf2zone global;                 // when hasglobal
    std::vector<sf2zone> zones;     // local zones, in file order
};

struct sf2sample {
    std::string name;
    uint32_t start = 0, end = 0, loopstart = 0, loopend = 0; // indices into sf2font::data
    uint32_t rate = 0;
    uint8_t key = 60;        // original key
    int8_t correction = 0;   // cents
    uint16_t type = 1;       // 1 mono, 2 right, 4 left, 8 linked; 0x8000 in ROM
};

struct sf2font {
    std::vector<sf2part> presets;
    std::vector<sf2part> insts;
    std::vector<sf2sample> samples;
    std::vector<int16_t> data; // the smpl chunk
};

// Reads a whole SoundFont 2 file. 0 on success; -1 with a one-line reason in
// `err` when the bytes are not a SoundFont this reader can use.
int sf2parse(std::string_view bytes, sf2font& font, std::string& err);

// The preset of `bank` and `program`, or -1.
int sf2preset(const sf2font& font, int bank, int program);
