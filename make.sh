#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Pellavine and starts the editor (./make.sh run) or runs every test
# (./make.sh test), or builds the Debian package (./make.sh deb); ./make.sh
# windows cross-compiles the Windows build and packs
# pellavine-windows-x86_64.zip, ./make.sh windows-test also runs it under wine.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
# The editor started by `run` opens and saves names relative to the folder
# it was started from, not to this script's.
caller=$PWD
cd "$(dirname "$0")"

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libutf8proc-dev
          libvterm-dev libsdl2-dev libfluidsynth-dev timgm6mb-soundfont
          pulseaudio pulseaudio-utils)

# What the tests open exported files with: MuseScore 3 and LilyPond's
# musicxml2ly read the MusicXML, Python's mido writes MIDI files to import.
test_packages=(musescore3 lilypond python3-mido)

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

# The Debian package, built with CPack from the build folder:
# build/pellavine_VERSION_amd64.deb. dpkg-shlibdeps (dpkg-dev) and file work
# out its dependencies.
deb_packages=(dpkg-dev file)

deb() {
    install_missing "${deb_packages[@]}"
    build build
    (cd build && cpack -G DEB)
    ls build/pellavine_*.deb
}

case "${1:-run}" in
run)
    install_missing
    build build
    exe=$PWD/build/pellavine
    cd "$caller"
    exec "$exe" "${@:2}"
    ;;
test)
    install_missing "${test_packages[@]}"
    build build
    ctest --test-dir build --output-on-failure -j"$(nproc)"
    ;;
sanitize)
    install_missing "${test_packages[@]}"
    build build-asan -DPV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
    ;;
windows)
    install_missing g++-mingw-w64-x86-64-posix googletest zip
    build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
    cp build-win/pellavine-windows-x86_64.zip .
    echo "pellavine-windows-x86_64.zip"
    ;;
windows-test)
    install_missing g++-mingw-w64-x86-64-posix googletest wine64 wine
    build build
    build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
    bash tests/win/run.sh
    ;;
widthtable)
    install_missing
    build build
    ./build/pvgenwidth >console/widthtable.inc
    ;;
fuzz)
    install_missing clang libclang-rt-14-dev
    bash fuzz/run.sh "${2:-60}"
    ;;
deb)
    deb
    ;;
*)
    echo "usage: $0 [run|test|sanitize|fuzz [seconds]|deb|windows|windows-test|widthtable]" >&2
    exit 2
    ;;
esac
