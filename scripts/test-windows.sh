#!/usr/bin/env bash
# The Windows programs, tested here: scripts/test-windows.sh [BUILD] [LINUX_BUILD] cross-builds
# them (scripts/build-windows.sh) and runs under Wine, in a Wine prefix of its own that is removed
# afterwards, the test programs and the converter end to end, whose songs must equal the Linux
# converter's from LINUX_BUILD (default build-test) byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
linux_build=${2:-build-test}

started=$(date +%s)
scripts/build-windows.sh "$build"
built=$(date +%s)

scratch=$(mktemp -d /tmp/tarvel1-windows-XXXXXX)
export WINEPREFIX=$scratch/prefix
# No debug chatter, and no offer to install Mono or Gecko, which would wait for a click.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine spells file names in the locale's character set: Japanese names need a UTF-8 one.
export LC_ALL=C.UTF-8
cleanup() {
    # Only this prefix's server: other Wine prefixes on the machine are not ours.
    wineserver -k 2> /dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
wineboot -i > /dev/null 2>&1
prefix_ready=$(date +%s)

failed=0
echo "== Windows test programs under Wine"
ctest --test-dir "$build" --output-on-failure --timeout 300 || failed=1
tests_done=$(date +%s)

echo "== Windows converter against the Linux converter"
linux_convert=$linux_build/shell/tarvel1-convert
windows_convert=$build/shell/tarvel1-convert.exe
[ -x "$linux_convert" ] || { echo "no Linux converter at $linux_convert" >&2; exit 1; }
songs="$scratch/曲 フォルダ"
converter_failed=0
mkdir -p "$songs/in" "$songs/win" "$songs/linux"
windows_inputs=()
for song in tests/data/*.mid; do
    name="$(basename "$song" .mid) ソング.mid"
    cp "$song" "$songs/in/$name"
    windows_inputs+=("Z:$songs/in/$name")
done
for mode in major minor aug dim invert; do
    for key in C F# B; do
        rm -f "$songs"/win/* "$songs"/linux/*
        # Japanese names on the command line reach the program whole (UTF-16), and every byte
        # of the songs survives (binary files).
        win_status=0 linux_status=0
        wine "$windows_convert" --mode "$mode" --key "$key" -o "Z:$songs/win" "${windows_inputs[@]}" \
            > /dev/null || win_status=$?
        "$linux_convert" --mode "$mode" --key "$key" -o "$songs/linux" "$songs"/in/*.mid \
            > /dev/null || linux_status=$?
        written=$(find "$songs/win" -type f | wc -l)
        if [ "$win_status" != 0 ] || [ "$linux_status" != 0 ] ||
            [ "$written" != "${#windows_inputs[@]}" ] ||
            ! diff -r "$songs/win" "$songs/linux" > /dev/null; then
            echo "FAIL: $mode $key: the Windows converter's songs differ from the Linux one's"
            converter_failed=1
        fi
    done
done
# Standard output carries the song's bytes as they are.
one=$(find "$songs/in" -name 'bossa*' | head -n 1)
if ! wine "$windows_convert" --mode minor -o - "Z:$one" |
    cmp -s - <("$linux_convert" --mode minor -o - "$one"); then
    echo "FAIL: the song on standard output differs"
    converter_failed=1
fi
# temp.mid goes beside the program when its folder is writable.
rm -f "$build/shell/temp.mid"
wine "$windows_convert" --mode dim --key G "Z:$one" > /dev/null || converter_failed=1
"$linux_convert" --mode dim --key G -o "$scratch/temp-linux.mid" "$one" > /dev/null
if ! cmp -s "$build/shell/temp.mid" "$scratch/temp-linux.mid"; then
    echo "FAIL: temp.mid beside the program is not the converted song"
    converter_failed=1
fi
# Bad usage, and what this build cannot do (play, render, list MIDI ports, draw the roll), is a
# message starting with the program's name, exit status 2, and nothing written.
for options in "--key H" "--play" "--render Z:$scratch/out.wav" "--list-midi-ports" \
    "--picture Z:$scratch/roll.png"; do
    status=0
    # shellcheck disable=SC2086 # each entry is a list of options
    wine "$windows_convert" $options -o "Z:$scratch/refused.mid" "Z:$one" > /dev/null \
        2> "$scratch/usage.txt" || status=$?
    if [ "$status" != 2 ] || ! head -n 1 "$scratch/usage.txt" | grep -q '^tarvel1-convert: ' ||
        [ -e "$scratch/refused.mid" ] || [ -e "$scratch/out.wav" ] || [ -e "$scratch/roll.png" ]
    then
        echo "FAIL: $options gave exit status $status"
        converter_failed=1
    fi
done
# With no language in the environment, Windows' own (English under Wine here) chooses the texts.
env -u LC_ALL -u LANG -u LANGUAGE -u LC_MESSAGES wine "$windows_convert" --key H \
    "Z:$PWD/tests/data/bossa.mid" > "$scratch/language.txt" 2>&1 || true
if ! grep -q '^Try ' "$scratch/language.txt"; then
    echo "FAIL: the system's language did not choose the English texts"
    converter_failed=1
fi
if [ "$converter_failed" = 0 ]; then
    echo "converter: the same songs as on Linux"
else
    failed=1
fi
finished=$(date +%s)

echo "windows timings: build $((built - started)) s, wine prefix $((prefix_ready - built)) s," \
    "test programs $((tests_done - prefix_ready)) s, converter $((finished - tests_done)) s," \
    "total $((finished - started)) s"
exit "$failed"
