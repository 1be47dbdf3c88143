#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the score file reader's fuzz target with clang and runs it.
#   fuzz/run.sh [SECONDS] [BUILD_DIR]
# Fails (non-zero status) on a crash, a sanitizer report, a leak or a hang.
# Findings are left in BUILD_DIR/findings; the grown corpus in BUILD_DIR/corpus.
set -eu
secs=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${2:-$root/build-fuzz}
jobs=${PV_FUZZ_JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPV_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_pvx -j "$jobs" >/dev/null

mkdir -p "$build/corpus" "$build/findings"
cd "$build/findings"
# New inputs go to the first corpus folder; the seeds stay as they are.
"$build/fuzz/fuzz_pvx" "$build/corpus" "$here/corpus" \
    -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$build/findings/"
