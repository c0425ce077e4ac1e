#!/usr/bin/env bash
# Installs the Debian packages that are missing for building and running the program
# ("run"), also for its tests ("test"), or for the Windows build alone ("windows"). Works as root or
# through sudo.
set -euo pipefail

run_packages=(
    g++ make cmake pkg-config
    libwxgtk3.2-dev wx-common wx3.2-i18n
    libfluidsynth-dev libasound2-dev libglib2.0-dev libsdl2-dev libcairo2-dev timgm6mb-soundfont
    librtmidi-dev libjack-dev libsndfile1-dev libfontconfig-dev
    fonts-ipafont-gothic xdg-utils gettext
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth imagemagick x11-utils
    fluidsynth jackd1
    locales appstream desktop-file-utils lintian dpkg-dev file
)

# The Windows build (scripts/build-windows.sh): MinGW-w64, Wine to test it, NSIS for the installer,
# dpkg-dev for Debian's wxWidgets sources.
windows_packages=(
    g++-mingw-w64-x86-64-posix wine wine64 libz-mingw-w64-dev libgtest-dev cmake make
    dpkg-dev xvfb xauth xdotool x11-utils fonts-ipafont-gothic nsis zip unzip
)

case "${1:-run}" in
run) wanted=("${run_packages[@]}") ;;
test) wanted=("${run_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}") ;;
windows) wanted=("${windows_packages[@]}") ;;
*) echo "deps.sh: run, test or windows" >&2; exit 2 ;;
esac

# The locale tests run the program under en_US.UTF-8 and ja_JP.UTF-8: both must exist.
generate_locales() {
    local wanted_locales=(en_US.UTF-8 ja_JP.UTF-8) available enable=()
    available=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
    for name in "${wanted_locales[@]}"; do
        local key
        key=$(echo "$name" | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
        grep -qx "$key" <<< "$available" || enable+=("$name")
    done
    [ ${#enable[@]} -eq 0 ] && return 0
    for name in "${enable[@]}"; do
        # Uncomment the line when it is there, add it when it is not; never twice.
        "${sudo[@]}" sed -i "s/^# *\($name UTF-8\)\$/\1/" /etc/locale.gen
        grep -qx "$name UTF-8" /etc/locale.gen ||
            echo "$name UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen > /dev/null
    done
    "${sudo[@]}" locale-gen > /dev/null
}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ "${1:-run}" = test ]; then
    generate_locales
fi
