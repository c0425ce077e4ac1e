#!/bin/sh
# tarvel1 --help and --version answer on stdout and end, with no display and no window.
set -u
exe=$1
fail() { echo "FAIL: $*"; exit 1; }
unset DISPLAY WAYLAND_DISPLAY

out=$(timeout 10 "$exe" --version) || fail "--version exited with $?"
expected="tarvel1 ｱﾌﾟﾘｹｰｼｮﾝ 1.0.0.1
tarvel1 MFC ｱﾌﾟﾘｹｰｼｮﾝ"
[ "$out" = "$expected" ] || fail "--version printed: $out"

for option in --help -h; do
    out=$(timeout 10 "$exe" "$option") || fail "$option exited with $?"
    for text in "--help" "--version" "MIDIﾌｧｲﾙ"; do
        case $out in *"$text"*) ;; *) fail "$option does not mention $text: $out" ;; esac
    done
done

# After "--" it is a file name like any other; without a display the toolkit refuses to start.
if timeout 10 "$exe" -- --help >/dev/null 2>&1; then fail "'-- --help' did not reach the toolkit"; fi
echo "ok"
