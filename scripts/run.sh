#!/usr/bin/env bash
# Installs what is missing, builds the program and starts its window; a song given here is opened
# first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEL1_BUILD_TESTS=OFF -DTARVEL1_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/shell/tarvel1 "$@"
