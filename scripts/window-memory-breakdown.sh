#!/usr/bin/env bash
# Where the window program's memory goes, mapping by mapping, against the bare wx program: the
# resident kilobytes of each file (library, font, locale) and of the anonymous memory and heap,
# 2 s after start with TimGM6mb loaded, largest differences first.
# Usage: scripts/window-memory-breakdown.sh [BUILD]   (default build-dev)
set -euo pipefail
build=${1:-build-dev}
# shellcheck source=window-bench-env.sh
. "$(dirname "$0")/window-bench-env.sh"

by_mapping() { # program output
    local pid
    "$1" >/dev/null 2>&1 &
    pid=$!
    sleep 2
    awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6 == "" ? "[anon]" : $6 }
         /^Rss:/ { rss[name] += $2 }
         END { for (n in rss) print rss[n], n }' "/proc/$pid/smaps" >"$2"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

by_mapping "$build/bench/bare_wx_window" "$scratch/first" # the server's first client pays its probes
by_mapping "$build/bench/bare_wx_window" "$scratch/bare"
by_mapping "$build/shell/tarvel1" "$scratch/tarvel1"
awk 'NR == FNR { bare[$2] = $1; next }
     { d = $1 - bare[$2]; total += d; if (d >= 64 || d <= -64) printf "%8d KiB  %s\n", d, $2 }
     END { printf "%8d KiB  in all\n", total }' "$scratch/bare" "$scratch/tarvel1" | sort -rn
