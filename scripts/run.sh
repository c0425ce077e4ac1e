#!/usr/bin/env bash
# Installs what is missing, builds the program and starts its window; a song given here is opened
# first.
set -euo pipefail
# A song named relative to where the command was given stays that song after the cd below.
args=()
for arg in "$@"; do
    if [ -e "$arg" ]; then
        arg=$(realpath -- "$arg")
    fi
    args+=("$arg")
done
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEL1_BUILD_TESTS=OFF -DTARVEL1_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/shell/tarvel1 ${args[@]+"${args[@]}"}
