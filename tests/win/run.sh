#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build checked against the Linux build, under wine: the unit
# tests, the width rules, the player's WAV and MIDI files, and the editor's
# smoke run (the saved score byte for byte). Needs build/ (Linux) and
# build-win/ (./make.sh windows) built.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
export WINEPREFIX=$root/build-win/wineprefix WINEDEBUG=-all
# Wine here has no sound device: the Windows players play to none (trying
# wine's ALSA driver would write its complaints onto the editor's terminal).
export PELLAVINE_AUDIO=null
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Starting wine for the first time (about half a minute)"
    wine wineboot -i >/dev/null 2>&1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { # name command...
    if "${@:2}"; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}

check "unit tests under wine" ctest --test-dir build-win --output-on-failure
# The classic console output read back from a console buffer: wine gives the
# tests a console only in a terminal.
conout() {
    (cd build-win && script -qec "wine ./pvwintests.exe --gtest_filter='ConOut.*' >'$work/conout.txt' 2>&1" /dev/null >/dev/null) &&
        grep -qF '[  PASSED  ] 3 tests' "$work/conout.txt"
}
check "console cells read back under wine (in a pseudo-terminal)" conout

# Widths: every character of the interface sources, the help text and a
# sample of CJK, ambiguous and combining characters.
cp share/pellavine/说明.txt "$work/help.txt" # an ASCII name: wine gives programs their arguments in its ANSI code page
chars=("$work/help.txt" "$root"/tests/win/widthsample.txt $(ls "$root"/{editor,dialogs,menu,files,tone,console,platform}/*.cpp))
./build/pvwidths "${chars[@]}" >"$work/w-linux"
(cd "$work" && wine "$root/build-win/pvwidths.exe" "${chars[@]/#/Z:}") | tr -d '\r' >"$work/w-win"
check "widths the same on both builds ($(wc -l <"$work/w-linux") characters)" cmp "$work/w-linux" "$work/w-win"

# The player: a tone request, a score stretch and whole-score exports.
mkdir -p "$work/lin" "$work/win"
./build/tests/e2e/pvsmoke "$work/lin" "$root/build/pellavine" >/dev/null
# Wine's console does not interpret virtual-terminal output: the editor finds
# that out and draws through the classic console API, which wine shows on the
# pseudo-terminal. Its first frame is the Linux build's, but for the menu bar,
# where wine's terminal output takes the ambiguous-width ◎ as one column.
check "editor smoke run under wine (drawn as console cells)" ./build/tests/e2e/pvsmoke "$work/win" wine "$root/build-win/pellavine.exe"
check "saved score byte-identical" cmp "$work/lin/smoke.pvx" "$work/win/smoke.pvx"
# Ctrl+C: wine's console on a terminal gives it as a control event.
mkdir -p "$work/linc" "$work/winc"
check "Ctrl+C on Linux: asks with a note unsaved, exits 0 once saved" ./build/tests/e2e/pvsmoke --ctrlc "$work/linc" "$root/build/pellavine"
check "Ctrl+C under wine: asks with a note unsaved, exits 0 once saved" ./build/tests/e2e/pvsmoke --ctrlc "$work/winc" wine "$root/build-win/pellavine.exe"
check "--instrument violin --version under wine prints the version" \
    bash -c "wine '$root/build-win/pellavine.exe' --instrument violin --version | tr -d '\r' | grep -qx 'Pellavine [0-9.]*'"
check "first frame under wine the Linux build's below the menu bar" \
    cmp <(tail -n +2 "$work/lin/frame.txt") <(tail -n +2 "$work/win/frame.txt")
# Virtual-terminal output forced: wine passes it through with a wrong idea of
# the cursor, so only the keys' effect is checked.
mkdir -p "$work/winvt"
check "editor smoke run under wine (virtual-terminal output, screen not checked)" \
    env PELLAVINE_CONSOLE=vt ./build/tests/e2e/pvsmoke --blind "$work/winvt" wine "$root/build-win/pellavine.exe"
check "saved score byte-identical (virtual-terminal output)" cmp "$work/lin/smoke.pvx" "$work/winvt/smoke.pvx"
for d in lin win; do
    cp "$work/lin/smoke.pvx" "$work/$d/score.pvx"
done
play() { # dir args...
    local d=$1
    shift
    if [ "$d" = lin ]; then (cd "$work/$d" && "$root/build/pellavine-beep" "$@")
    else (cd "$work/$d" && wine "$root/build-win/pellavine-beep.exe" "$@"); fi
}
# The sine tone, and MIDI files, the same on both; instrument sound the same
# as the Linux player's own SoundFont sample player on the same SoundFont.
play_own() { # dir args...: the Linux player with the own sample player
    local d=$1
    shift
    if [ "$d" = lin ]; then (cd "$work/$d" && PELLAVINE_SYNTH=own "$root/build/pellavine-beep" "$@")
    else play "$d" "$@"; fi
}
for d in lin win; do
    printf '1 1700000000 5 440 10' >"$work/$d/beepset.tmp"
    play $d --instrument tone --wav tone.wav
    printf '0 1700000000 5\r\nscore.pvx\r\n0 12 1.500000' >"$work/$d/beepset.tmp"
    play $d --instrument tone --wav stretch.wav
    play $d --instrument tone --export score.pvx score.wav
    play $d --export score.pvx score.mid
    play $d --instrument violin --export score.pvx violin.mid
    printf '1 1700000000 5 262 5' >"$work/$d/beepset.tmp"
    play_own $d --wav piano.wav
    play_own $d --instrument violin --export score.pvx violin.wav
done
for f in tone.wav stretch.wav score.wav score.mid violin.mid piano.wav violin.wav; do
    check "player $f byte-identical" cmp "$work/lin/$f" "$work/win/$f"
done
check "the piano note is an instrument, not the sine tone" bash -c "! cmp -s '$work/win/piano.wav' '$work/win/tone.wav'"
# Without a SoundFont beside it the Windows player says why and plays the sine tone.
mkdir -p "$work/bare"
cp build-win/pellavine-beep.exe "$work/bare/"
cp "$work/win/score.pvx" "$work/bare/"
(cd "$work/bare" && wine ./pellavine-beep.exe --export score.pvx piano.wav 2>note.txt) || true
check "Windows player without a SoundFont sounds the sine tone, and says so in one line" bash -c \
    "cmp '$work/win/score.wav' '$work/bare/piano.wav' && grep -q 'playing the sine tone' '$work/bare/note.txt' && [ \$(wc -l <'$work/bare/note.txt') -eq 1 ]"
(cd "$work/bare" && PELLAVINE_SOUNDFONT='Z:/usr/share/sounds/sf2/TimGM6mb.sf2' wine ./pellavine-beep.exe --export score.pvx piano.wav)
play win --export score.pvx pianoscore.wav
check "PELLAVINE_SOUNDFONT names the SoundFont on Windows" cmp "$work/win/pianoscore.wav" "$work/bare/piano.wav"
cmake -E tar tf build-win/pellavine-windows-x86_64.zip >"$work/zip.txt"
check "the zip ships TimGM6mb.sf2 with its copyright and licence" bash -c \
    "grep -qx 'pellavine/TimGM6mb.sf2' '$work/zip.txt' && grep -qx 'pellavine/TimGM6mb-copyright.txt' '$work/zip.txt' && grep -qx 'pellavine/TimGM6mb-GPL-2.txt' '$work/zip.txt'"
# The resident player: one process for ten tones.
mkdir -p "$work/beeps"
check "resident player under wine: one player for ten 'b' presses" \
    ./build/tests/e2e/pvsmoke --beeps "$work/beeps" wine "$root/build-win/pellavine.exe"
# Chinese names on the command line.
for d in lin win; do
    cp "$work/lin/smoke.pvx" "$work/$d/乐谱 一.pvx"
    play $d --export "乐谱 一.pvx" "声音.mid"
done
check "player exports 乐谱 一.pvx to 声音.mid byte-identical" cmp "$work/lin/声音.mid" "$work/win/声音.mid"
printf 'not a score' >"$work/win/坏.pvx"
check "editor opens 坏.pvx by its Chinese name (and says it is no score)" bash -c \
    "cd '$work/win' && timeout 20 wine '$root/build-win/pellavine.exe' '坏.pvx' </dev/null 2>&1 | grep -q '无法打开 坏.pvx：不是乐谱文件'"
check "player --help says what it plays" bash -c "wine '$root/build-win/pellavine-beep.exe' --help | grep -q \"through Pellavine's own SoundFont sample player\""
echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
