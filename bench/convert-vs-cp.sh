#!/usr/bin/env bash
# The converter as a whole process against cp, which is the least any tool that writes a file
# can cost:
#   1. the largest real song into a new file, medians of paired runs;
#   2. SONGS real songs (188 by default) in one call into an empty folder, against one cp of the
#      same files into an empty folder, then again onto the files written, medians of paired runs;
#   3. the peak memory (maximum resident set) of a plain conversion of the largest song;
#   4. the number of fsync calls of each kind of write.
# Usage: bench/convert-vs-cp.sh path/to/tarvel1-convert [CORPUS] [RUNS]
set -euo pipefail
convert=$(realpath "$1")
corpus=${2:-$(dirname "$0")/../../shared/corpus}
runs=${3:-21}
songs=${SONGS:-188}
data=$(dirname "$0")/../tests/data

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Only songs the converter accepts take part, so both sides do the same work on the same files.
mkdir "$work/songs"
n=0
while IFS= read -r -d '' song; do
    if "$convert" -o "$work/probe.mid" "$song" >/dev/null 2>&1; then
        n=$((n + 1))
        cp "$song" "$work/songs/$(printf '%03d' "$n")-$(basename "$song")"
    fi
done < <(find "$corpus" "$data" -type f \( -iname '*.mid' -o -iname '*.midi' -o -iname '*.kar' \) -print0 | sort -z)
rm -f "$work/probe.mid"
real=$n
# Fewer real songs than asked for: the same songs again under other names.
i=0
while [ "$n" -lt "$songs" ]; do
    i=$((i + 1))
    src=$(ls "$work/songs" | sed -n "${i}p")
    n=$((n + 1))
    cp "$work/songs/$src" "$work/songs/$(printf '%03d' "$n")-again-${src#*-}"
done
largest=$(ls -S "$work"/songs/* | head -1)
echo "songs: $real real songs accepted, $n in the batch; largest: $(basename "$largest") ($(stat -c %s "$largest") bytes)"
echo "converter: $convert"

# 1. One song, new file each time; cp and the converter alternate so both see the same machine.
ratios=()
cps=()
convs=()
for ((r = 0; r < runs; r++)); do
    rm -f "$work/a.mid" "$work/b.mid"
    t0=$(now); cp "$largest" "$work/a.mid"; t1=$(now)
    "$convert" --mode minor --key D -o "$work/b.mid" "$largest" >/dev/null; t2=$(now)
    cps+=($((t1 - t0))); convs+=($((t2 - t1)))
    ratios+=("$(awk -v a=$((t2 - t1)) -v b=$((t1 - t0)) 'BEGIN { print a / b }')")
done
cp_med=$(printf '%s\n' "${cps[@]}" | median)
conv_med=$(printf '%s\n' "${convs[@]}" | median)
ratio_med=$(printf '%s\n' "${ratios[@]}" | median)
printf 'largest song, new file: cp %.2f ms, convert %.2f ms, ratio of pairs (median) %.2f\n' \
    "$(awk -v v="$cp_med" 'BEGIN { print v / 1e6 }')" "$(awk -v v="$conv_med" 'BEGIN { print v / 1e6 }')" "$ratio_med"

# 2. The whole batch into an empty folder.
ratios=()
cps=()
convs=()
batch_runs=$(( (runs + 1) / 2 ))
for ((r = 0; r < batch_runs; r++)); do
    rm -rf "$work/cp" "$work/out"
    mkdir "$work/cp" "$work/out"
    t0=$(now); cp "$work"/songs/* "$work/cp/"; t1=$(now)
    "$convert" --mode minor --key D -o "$work/out" "$work"/songs/* >/dev/null; t2=$(now)
    cps+=($((t1 - t0))); convs+=($((t2 - t1)))
    ratios+=("$(awk -v a=$((t2 - t1)) -v b=$((t1 - t0)) 'BEGIN { print a / b }')")
done
cp_med=$(printf '%s\n' "${cps[@]}" | median)
conv_med=$(printf '%s\n' "${convs[@]}" | median)
ratio_med=$(printf '%s\n' "${ratios[@]}" | median)
printf '%d songs into an empty folder: cp %.2f ms, convert %.2f ms, ratio of pairs (median) %.2f\n' \
    "$n" "$(awk -v v="$cp_med" 'BEGIN { print v / 1e6 }')" "$(awk -v v="$conv_med" 'BEGIN { print v / 1e6 }')" "$ratio_med"

# 2b. The same batch again onto the files of the first run: every song replaces one. cp writes
# into the existing files; the converter puts whole new files in their place, synced.
ratios=()
cps=()
convs=()
for ((r = 0; r < batch_runs; r++)); do
    t0=$(now); cp "$work"/songs/* "$work/cp/"; t1=$(now)
    "$convert" --mode minor --key D -o "$work/out" "$work"/songs/* >/dev/null; t2=$(now)
    cps+=($((t1 - t0))); convs+=($((t2 - t1)))
    ratios+=("$(awk -v a=$((t2 - t1)) -v b=$((t1 - t0)) 'BEGIN { print a / b }')")
done
cp_med=$(printf '%s\n' "${cps[@]}" | median)
conv_med=$(printf '%s\n' "${convs[@]}" | median)
ratio_med=$(printf '%s\n' "${ratios[@]}" | median)
printf '%d songs replacing their earlier results: cp %.2f ms, convert %.2f ms, ratio of pairs (median) %.2f\n' \
    "$n" "$(awk -v v="$cp_med" 'BEGIN { print v / 1e6 }')" "$(awk -v v="$conv_med" 'BEGIN { print v / 1e6 }')" "$ratio_med"

# 3. Peak memory.
rm -f "$work/b.mid"
peak=$(/usr/bin/time -f %M "$convert" --mode minor --key D -o "$work/b.mid" "$largest" 2>&1 >/dev/null | tail -1)
echo "peak memory of a plain conversion: ${peak} KiB"

# 4. Syncs: a new file and temp.mid none, a file replaced one for the file system and one for its
# folder.
if command -v strace >/dev/null; then
    count_syncs() { strace -f -e trace=fsync,fdatasync,syncfs,sync -o "$work/trace" "$@" >/dev/null 2>&1 || true; grep -c 'sync' "$work/trace" || true; }
    rm -f "$work/b.mid"
    echo "fsync calls: new file $(count_syncs "$convert" -o "$work/b.mid" "$largest")," \
        "replaced file $(count_syncs "$convert" -o "$work/b.mid" "$largest")," \
        "temp.mid $(XDG_CACHE_HOME="$work/cache" count_syncs "$convert" "$largest")"
fi
