#!/usr/bin/env bash
# Start-up and memory of the window program: time from launch to the form's first paint (the
# only place the title becomes "ZANTO MIDI PLAYER"), and peak resident memory over a 2 s run.
# Usage (no display needed): scripts/measure-startup.sh [build/shell/tarvel1] [SONG.mid]
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
exe=${1:-build/shell/tarvel1}
shift || true
HOME=$(mktemp -d)
export HOME TARVEL1_AUDIO_DRIVER=none
trap 'rm -rf "$HOME"' EXIT

for i in 1 2 3 4 5 6; do
    start=$(date +%s%N)
    "$exe" "$@" &
    pid=$!
    until xwininfo -root -tree 2>/dev/null | grep -q '"ZANTO MIDI PLAYER"'; do sleep 0.002; done
    end=$(date +%s%N)
    echo "start-up $i: $(((end - start) / 1000000)) ms"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
for i in 1 2 3; do
    /usr/bin/time -v "$exe" "$@" 2> "$HOME/time.txt" &
    timer=$!
    sleep 2
    pkill -TERM -P "$timer"
    wait "$timer" 2>/dev/null || true
    echo "peak memory $i: $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$HOME/time.txt") KiB"
done
