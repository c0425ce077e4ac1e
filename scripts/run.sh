#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it; a song given here is opened first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEL1_BUILD_TESTS=OFF -DTARVEL1_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"

if [ -x build/shell/tarvel1 ]; then
    exec build/shell/tarvel1 "$@"
fi
# Until the window program is built, show the conversion working on a real song.
song=${1:-tests/data/round.mid}
echo "The window program is not built yet; converting $song with mode \"minor\" and key \"D\":"
exec build/shell/tarvel1-convert --mode minor --key D "$song"
