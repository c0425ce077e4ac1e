#!/usr/bin/env bash
# Installs the Debian packages that are missing for building and running the program
# ("run") or also for its tests ("test"). Works as root or through sudo.
set -euo pipefail

run_packages=(
    g++ make cmake pkg-config
    libwxgtk3.2-dev wx-common wx3.2-i18n
    libfluidsynth-dev libasound2-dev libglib2.0-dev libsdl2-dev libcairo2-dev timgm6mb-soundfont
    librtmidi-dev libjack-dev libsndfile1-dev libfontconfig-dev
    fonts-ipafont-gothic xdg-utils
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth imagemagick x11-utils
    fluidsynth jackd1
)

wanted=("${run_packages[@]}")
if [ "${1:-run}" = test ]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
