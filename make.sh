#!/usr/bin/env bash
# Builds Pellavine and starts the editor (./make.sh run) or runs every test
# (./make.sh test). Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libutf8proc-dev
          libvterm-dev libsdl2-dev libfluidsynth-dev timgm6mb-soundfont)

install_missing() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() { # build-folder cmake-options...
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

case "${1:-run}" in
run)
    install_missing
    build build
    exec ./build/pellavine "${@:2}"
    ;;
test)
    install_missing
    build build
    ctest --test-dir build --output-on-failure -j"$(nproc)"
    ;;
sanitize)
    install_missing
    build build-asan -DPV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
    ;;
fuzz)
    install_missing clang libclang-rt-14-dev
    bash fuzz/run.sh "${2:-60}"
    ;;
*)
    echo "usage: $0 [run|test|sanitize|fuzz [seconds]]" >&2
    exit 2
    ;;
esac
