#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test; then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)
fuzz_seconds=${TARVEL1_FUZZ_SECONDS:-60}

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# Window tests need a display: every ctest run gets its own virtual one.
run_ctest() {
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        ctest --test-dir "$1" --output-on-failure -j"$jobs" --timeout 300 | tee -a "$summary"
    return "${PIPESTATUS[0]}"
}

echo "== build and test"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL1_WERROR=ON
cmake --build build-test -j"$jobs"
run_ctest build-test

echo "== Windows build, tested under Wine"
scripts/test-windows.sh build-win build-test

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVEL1_WERROR=ON -DTARVEL1_SANITIZE=ON \
    -DTARVEL1_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest build-asan

# The fuzz time is shared between the song document, the sequencer's reader and the sequencer
# driving a recording output.
echo "== fuzz load and convert, the sequencer's reader, then the sequencer, for ${fuzz_seconds} s in all"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL1_BUILD_FUZZ=ON -DTARVEL1_BUILD_GUI=OFF -DTARVEL1_BUILD_PLAYBACK=OFF \
    -DTARVEL1_BUILD_TESTS=OFF -DTARVEL1_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$jobs" --target song_fuzzer sequence_fuzzer engine_fuzzer
corpus=$(mktemp -d)
trap 'rm -rf "$corpus" "$summary"' EXIT
# The song fuzzer spends most of its half on small inputs, where the walker's cases are dense,
# and the rest on songs larger than 128 KiB, which the document's storage must grow to hold.
song_seconds=$((fuzz_seconds / 2))
long_seconds=$((song_seconds / 4))
build-fuzz/fuzz/song_fuzzer -max_total_time="$((song_seconds - long_seconds))" -max_len=4096 \
    -print_final_stats=1 "$corpus" fuzz/seeds tests/data
if [ "$long_seconds" -gt 0 ]; then
    build-fuzz/fuzz/song_fuzzer -max_total_time="$long_seconds" -max_len=400000 -len_control=0 \
        -print_final_stats=1 "$corpus" fuzz/seeds tests/data
fi
sequence_corpus=$(mktemp -d)
trap 'rm -rf "$corpus" "$sequence_corpus" "$summary"' EXIT
engine_seconds=$(((fuzz_seconds - song_seconds) / 2))
build-fuzz/fuzz/sequence_fuzzer -max_total_time=$((fuzz_seconds - song_seconds - engine_seconds)) \
    -max_len=4096 -print_final_stats=1 "$sequence_corpus" fuzz/seeds tests/data
if [ "$engine_seconds" -gt 0 ]; then
    engine_corpus=$(mktemp -d)
    trap 'rm -rf "$corpus" "$sequence_corpus" "$engine_corpus" "$summary"' EXIT
    build-fuzz/fuzz/engine_fuzzer -max_total_time="$engine_seconds" -max_len=6000 \
        -print_final_stats=1 "$engine_corpus" tests/data
fi
echo "fuzz: no finding in ${fuzz_seconds} s"

# One closing line over both test runs, in the form CI reads.
read -r total failed < <(awk '/tests passed, .* failed out of/ { f += $4; t += $NF } END { print t, f }' "$summary")
echo "tests: $((total - failed)) passed, $failed failed"
