#!/bin/sh
# Installs the build into a scratch prefix with a space in its name, as a user's folder may have,
# and checks what a desktop needs to offer the program for MIDI files: the program, the entry with
# the MIDI types and the program's absolute path (it need not be on PATH), the icons at every
# size, the software centre's description, the manual pages and the English texts.
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/my apps"
cmake --install "$build" --prefix "$prefix" > /dev/null

fail() { echo "desktop install: $*" >&2; exit 1; }
[ -x "$prefix/bin/tarvel1" ] || fail "no bin/tarvel1"
entry="$prefix/share/applications/tarvel1.desktop"
[ -f "$entry" ] || fail "no $entry"
grep -qxF "Exec=\"$prefix/bin/tarvel1\" %f" "$entry" || fail "Exec does not start $prefix/bin/tarvel1 with the file"
grep -qxF "TryExec=$prefix/bin/tarvel1" "$entry" || fail "TryExec is not the installed program"
grep -qx 'Icon=tarvel1' "$entry" || fail "no Icon=tarvel1"
mime=$(sed -n 's/^MimeType=//p' "$entry")
for type in audio/midi audio/x-midi; do
    case ";$mime" in *";$type;"*) ;; *) fail "MimeType lacks $type" ;; esac
done
desktop-file-validate "$entry"

for size in 16 32 48 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tarvel1.png"
    file "$icon" | grep -q "PNG image data, $size x $size," || fail "no $size px icon: $(file "$icon")"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/tarvel1.svg" ] || fail "no scalable icon"

metainfo="$prefix/share/metainfo/jp.example.zanto.tarvel1.metainfo.xml"
[ -f "$metainfo" ] || fail "no $metainfo"
grep -q '<launchable type="desktop-id">tarvel1.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch tarvel1.desktop"
appstreamcli validate --no-net --pedantic "$metainfo" > "$scratch/validate.log" ||
    fail "appstreamcli validate: $(cat "$scratch/validate.log")"

[ -f "$(dirname "$0")/../../res/man/tarvel1.1" ] || fail "no res/man/tarvel1.1"
for page in "$(dirname "$0")"/../../res/man/*.1; do
    name=$(basename "$page")
    gzip -t "$prefix/share/man/man1/$name.gz" 2> /dev/null || fail "no manual page $name"
done

# The installed converter finds its English texts beside itself.
[ -f "$prefix/share/locale/en/LC_MESSAGES/tarvel1.mo" ] || fail "no English catalog"
printf 'text' > "$scratch/text.mid"
LANGUAGE= LC_ALL=en_US.UTF-8 "$prefix/bin/tarvel1-convert" -o "$scratch/out.mid" "$scratch/text.mid" \
    2> "$scratch/err" && fail "a text file was converted"
grep -q ': This is not a MIDI file$' "$scratch/err" || fail "not in English: $(cat "$scratch/err")"
echo "desktop install: ok"
