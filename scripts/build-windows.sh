#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64: scripts/build-windows.sh [BUILD] (default build-win)
# leaves BUILD/shell/tarvel1-convert.exe (and, with the window, BUILD/shell/tarvel1.exe), statically
# linked.
#
# wxWidgets for MSW is built once from Debian's own source package and kept outside the tree, in
# $TARVEL1_WX_CACHE (default /var/cache/tarvel1) under a folder named after the wx source version,
# the configure line and the MinGW versions: any change to one of them builds a new prefix, and a
# CI machine that restores that folder at the same path skips the build (15-30 min on 2 cores).
#
# --wx-only stops once the wx prefix is there. The window program does not build for Windows yet:
# until it does, TARVEL1_WIN_GUI is OFF by default and the build is the converter, the song core and
# their tests, which need no wx at all; TARVEL1_WIN_GUI=ON builds or restores wx and the window.
set -euo pipefail
cd "$(dirname "$0")/.."

wx_only=0
build=build-win
for arg in "$@"; do
    case "$arg" in
    --wx-only) wx_only=1 ;;
    -*) echo "build-windows.sh: unknown option $arg" >&2; exit 2 ;;
    *) build=$arg ;;
    esac
done
gui=${TARVEL1_WIN_GUI:-OFF}
cache_root=${TARVEL1_WX_CACHE:-/var/cache/tarvel1}
jobs=${TARVEL1_JOBS:-$(nproc)}

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
scripts/deps.sh windows

# The posix thread model: std::thread and std::mutex need it.
host=x86_64-w64-mingw32
mingw_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)
wx_configure=(--host=$host --with-msw --disable-shared --enable-unicode --with-zlib=sys
    --without-libpng --without-libjpeg --without-libtiff --without-expat --disable-svg
    --disable-webview --disable-stc --disable-richtext --disable-mediactrl --disable-propgrid
    --disable-ribbon --disable-xrc --disable-html --disable-sockets --enable-aui)

# Debian's source packages need a deb-src stanza beside the binary one.
wx_source_version() {
    apt-cache showsrc wxwidgets3.2 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -V | tail -n 1
}
ensure_wx_source_index() {
    [ -n "$(wx_source_version)" ] && return 0
    local stanza=/etc/apt/sources.list.d/tarvel1-deb-src.sources
    if [ ! -e "$stanza" ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee "$stanza" > /dev/null
    fi
    "${sudo[@]}" apt-get update -qq
}

wx_prefix=
if [ "$gui" = ON ] || [ "$wx_only" = 1 ]; then
    ensure_wx_source_index
    wx_version=$(wx_source_version)
    [ -n "$wx_version" ] || { echo "build-windows.sh: no wxwidgets3.2 source package" >&2; exit 1; }
    key=$(printf '%s\n' "$wx_version" "${wx_configure[*]}" "$mingw_version" | sha256sum | cut -c1-16)
    wx_prefix=$cache_root/wx-msw-${wx_version//[^A-Za-z0-9.]/_}-$key
    if [ -x "$wx_prefix/bin/wx-config" ]; then
        echo "wx for MSW: cached in $wx_prefix"
    else
        "${sudo[@]}" mkdir -p "$cache_root"
        "${sudo[@]}" chown "$(id -u):$(id -g)" "$cache_root"
        # One build at a time per key; a second caller waits for the first one's prefix.
        exec 9> "$cache_root/.lock-$key"
        flock 9
        if [ ! -x "$wx_prefix/bin/wx-config" ]; then
            started=$(date +%s)
            work=$(mktemp -d "$cache_root/.build-XXXXXX")
            trap 'rm -rf "$work"' EXIT
            echo "wx for MSW $wx_version: building in $work (prefix $wx_prefix)"
            (cd "$work" && apt-get source -qq --download-only "wxwidgets3.2=$wx_version" &&
                dpkg-source -x ./*.dsc src > /dev/null)
            mkdir "$work/build"
            # The compilers by name: the unsuffixed ones are whatever Debian's alternatives say.
            (cd "$work/build" &&
                CC=$host-gcc-posix CXX=$host-g++-posix nice -n 10 ../src/configure --prefix="$wx_prefix" "${wx_configure[@]}" > configure.log &&
                nice -n 10 make -j"$jobs" > make.log 2>&1 &&
                make install DESTDIR="$work/stage" > install.log) || {
                tail -n 40 "$work/build/make.log" "$work/build/configure.log" 2>/dev/null >&2
                exit 1
            }
            # The prefix appears whole or not at all.
            mkdir -p "$(dirname "$wx_prefix")"
            mv "$work/stage$wx_prefix" "$wx_prefix.partial"
            mv "$wx_prefix.partial" "$wx_prefix"
            echo "wx for MSW: built in $(($(date +%s) - started)) s"
        fi
        flock -u 9
    fi
fi
[ "$wx_only" = 1 ] && exit 0

cmake_args=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
    -DTARVEL1_WERROR=ON -DTARVEL1_BUILD_GUI="$gui" -DTARVEL1_BUILD_BENCH=OFF)
[ -n "$wx_prefix" ] && cmake_args+=(-DwxWidgets_CONFIG_EXECUTABLE="$wx_prefix/bin/wx-config")
command -v ccache > /dev/null &&
    cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" "${cmake_args[@]}"
cmake --build "$build" -j"$jobs"
