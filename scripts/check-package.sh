#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree and checks it: lintian finds no
# error, the dependencies are the shared libraries the programs need, and the installed desktop
# entry starts /usr/bin/tarvel1. Usage: scripts/check-package.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_FOLDER}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" > cpack.log 2>&1) ||
    fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(ls "$work"/tarvel1_*.deb 2> /dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no package"

depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), Depends: $depends"
for library in libfluidsynth3 libwxgtk3.2 libwxbase3.2 libstdc++6 libc6; do
    grep -q "$library" <<< "$depends" || fail "Depends lacks $library"
done

dpkg-deb -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/tarvel1" ] && [ -x "$work/root/usr/bin/tarvel1-convert" ] ||
    fail "the programs are not in /usr/bin"
grep -qx 'Exec=/usr/bin/tarvel1 %f' "$work/root/usr/share/applications/tarvel1.desktop" ||
    fail "the desktop entry does not start /usr/bin/tarvel1"

# Errors fail; warnings and notes are shown for whoever reads the log.
lintian --fail-on error --tag-display-limit 0 "$deb" | tee "$work/lintian.log" ||
    fail "lintian found errors"
echo "package: ok"
