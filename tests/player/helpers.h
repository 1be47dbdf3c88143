// SPDX-License-Identifier: MIT
#pragma once
// What the player tests share: rendering, measuring rendered sound, temporary
// folders, and running the pellavine-beep program.
#include "tone/player/player.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pt {

// Every sample of a plan, rendered in blocks of `block` samples.
std::vector<int16_t> render(const splan& plan, size_t block = 4096);

// Frequency in Hz from the upward zero crossings in samples [a, b).
double pitchof(const std::vector<int16_t>& x, int64_t a, int64_t b);

// Amplitude of the `freq` Hz component of samples [a, b) (Goertzel): a sine
// of amplitude A at that frequency gives about A.
double level(const std::vector<int16_t>& x, int64_t a, int64_t b, double freq);

// Largest |x| in [a, b).
int peak(const std::vector<int16_t>& x, int64_t a, int64_t b);

// Largest |x[i] - x[i-1]| over the whole signal.
int maxjump(const std::vector<int16_t>& x);

// What one step-to-step change may be for a tone of `freq` Hz at full level
// with its fade: the sine's own slope plus the ramp's.
double allowedjump(double freq);

// Runs of non-zero samples: [first, last + 1).
struct srun {
    int64_t s, e;
};
std::vector<srun> runs(const std::vector<int16_t>& x);

// A fresh empty folder under the system's temporary folder, removed with
// everything in it by rmtree.
std::string tempdir();
void rmtree(const std::string& dir);
void writebytes(const std::string& path, const std::string& bytes);
std::string readbytes(const std::string& path);

// A 16-bit mono WAV file's rate and samples; false when it is not one.
bool readwav(const std::string& path, int& rate, std::vector<int16_t>& x);

// Little-endian 16-bit samples.
std::vector<int16_t> samples(const std::string& raw);

// pellavine-beep run in `dir` with `args` and extra environment `env`
// ("NAME=value"); its standard error goes to `err`. Returns the exit status,
// 128 + N when killed by signal N, or -1 when it ran longer than `timeoutms`
// (it is then killed).
int runbeep(const std::string& dir, const std::vector<std::string>& args, const std::vector<std::string>& env,
            std::string& err, int timeoutms = 20000);

// Starts pellavine-beep in `dir` without waiting; its standard error goes to
// the file `errpath`. Returns its pid.
int startbeep(const std::string& dir, const std::vector<std::string>& env, const std::string& errpath);
// Waits up to `timeoutms` for the child `pid`; its status as runbeep gives
// it, or -1 when it has not ended.
int waitbeep(int pid, int timeoutms);

int64_t nowms();

// A mode 1 request text.
std::string tonereq(int64_t sec, int ms, int64_t freq, int leng);
// A mode 0 request text, with CR LF line breaks as the editor writes them.
std::string scorereq(int64_t sec, int ms, const std::string& path, int start, int end, double speed);

// A note and the sentinel-terminated score of notes.
smusic note(int start, int leng, int heig, int pitch, bool rise = false);
std::vector<smusic> score(std::vector<smusic> notes);
// The bytes of a score file holding `notes` and the sentinel.
std::string pvxbytes(const std::vector<smusic>& notes);

// A test in a folder of its own, where the player finds its request.
struct indir : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        dir = tempdir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { rmtree(dir); }
    void request(const std::string& text) { writebytes(dir + "/beepset.tmp", text); }
};

} // namespace pt
