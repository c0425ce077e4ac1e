#!/bin/sh
# Installs the build into a scratch prefix and checks what a desktop needs to offer the program
# for MIDI files: the program, the entry with the MIDI types and a file argument, the icons.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

fail() { echo "desktop install: $*" >&2; exit 1; }
[ -x "$prefix/bin/tarvel1" ] || fail "no bin/tarvel1"
entry="$prefix/share/applications/tarvel1.desktop"
[ -f "$entry" ] || fail "no $entry"
grep -qx 'Exec=tarvel1 %f' "$entry" || fail "Exec does not pass the file"
grep -qx 'Icon=tarvel1' "$entry" || fail "no Icon=tarvel1"
mime=$(sed -n 's/^MimeType=//p' "$entry")
for type in audio/midi audio/x-midi; do
    case ";$mime" in *";$type;"*) ;; *) fail "MimeType lacks $type" ;; esac
done
for icon in 16x16/apps/tarvel1.png 32x32/apps/tarvel1.png scalable/apps/tarvel1.svg; do
    [ -s "$prefix/share/icons/hicolor/$icon" ] || fail "no icon $icon"
done
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$entry"
fi
echo "desktop install: ok"
