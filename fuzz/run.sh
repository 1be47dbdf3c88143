#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the fuzz targets of the file readers with clang and runs each:
# the score file reader (seeds in fuzz/corpus), the MIDI reader (seeds in
# fuzz/corpus-midi) and the SoundFont reader with the sample player (seeds in
# fuzz/corpus-sf2).
#   fuzz/run.sh [SECONDS] [BUILD_DIR]      SECONDS for each target
# Fails (non-zero status) on a crash, a sanitizer report, a leak or a hang.
# Findings are left in BUILD_DIR/findings; the grown corpora in
# BUILD_DIR/corpus, BUILD_DIR/corpus-midi and BUILD_DIR/corpus-sf2.
set -eu
secs=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${2:-$root/build-fuzz}
jobs=${PV_FUZZ_JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPV_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_pvx fuzz_midi fuzz_sf2 -j "$jobs" >/dev/null

mkdir -p "$build/findings"
cd "$build/findings"
# target, seed folder, grown corpus folder. New inputs go to the first
# corpus folder; the seeds stay as they are.
run() {
    mkdir -p "$build/$3"
    "$build/fuzz/$1" "$build/$3" "$here/$2" \
        -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$1-"
}
run fuzz_pvx corpus corpus
run fuzz_midi corpus-midi corpus-midi
run fuzz_sf2 corpus-sf2 corpus-sf2
