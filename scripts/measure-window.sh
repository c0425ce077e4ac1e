#!/usr/bin/env bash
# The window program against a bare wx program (one frame, a menu, a button), alternating, in
# one X server of its own: time from launch to the shown window (its title set at the first
# paint) and resident memory 2 s after launch, when the SoundFont (TimGM6mb) has loaded.
# Usage: scripts/measure-window.sh [BUILD] [RUNS] [OTHER_TARVEL1...]
#   BUILD (default build-dev) holds shell/tarvel1 and bench/bare_wx_window; each OTHER_TARVEL1
#   (another build of the program, say an older one) is measured in the same rounds.
set -euo pipefail
build=${1:-build-dev}
runs=${2:-10}
shift 2 || shift $# || true
programs=("$build/bench/bare_wx_window" "$build/shell/tarvel1" "$@")
titles=("bare wx window" "ZANTO MIDI PLAYER")
for ((i = 2; i < ${#programs[@]}; ++i)); do titles+=("ZANTO MIDI PLAYER"); done

# shellcheck source=window-bench-env.sh
. "$(dirname "$0")/window-bench-env.sh"

startup_ms() { # program title
    local start end pid
    start=$(date +%s%N)
    "$1" >/dev/null 2>&1 &
    pid=$!
    until xwininfo -root -tree 2>/dev/null | grep -q "\"$2\""; do sleep 0.002; done
    end=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo $(((end - start) / 1000000))
}

resident_kib() { # program
    local pid rss
    "$1" >/dev/null 2>&1 &
    pid=$!
    sleep 2
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$rss"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A times mems
startup_ms "${programs[0]}" "${titles[0]}" >/dev/null # the server's first client pays its probes
for ((run = 1; run <= runs; ++run)); do
    for ((i = 0; i < ${#programs[@]}; ++i)); do
        times[$i]+="$(startup_ms "${programs[$i]}" "${titles[$i]}") "
    done
done
for ((run = 1; run <= (runs + 1) / 2; ++run)); do
    for ((i = 0; i < ${#programs[@]}; ++i)); do
        mems[$i]+="$(resident_kib "${programs[$i]}") "
    done
done

bare_time=$(echo "${times[0]}" | tr ' ' '\n' | grep . | median)
bare_mem=$(echo "${mems[0]}" | tr ' ' '\n' | grep . | median)
for ((i = 0; i < ${#programs[@]}; ++i)); do
    t=$(echo "${times[$i]}" | tr ' ' '\n' | grep . | median)
    m=$(echo "${mems[$i]}" | tr ' ' '\n' | grep . | median)
    awk -v p="${programs[$i]}" -v t="$t" -v m="$m" -v bt="$bare_time" -v bm="$bare_mem" \
        'BEGIN { printf "%-40s start-up %6.1f ms (%.2fx)   memory at 2 s %7d KiB (%.2fx)\n", p, t, t / bt, m, m / bm }'
done
echo "(medians of $runs start-ups and $(((runs + 1) / 2)) memory samples each, alternating)"
