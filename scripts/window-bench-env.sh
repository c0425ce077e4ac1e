# Sourced by the window's measuring scripts: a scratch home (no settings of the user's), the
# window's player on TimGM6mb without a sound card, and an X server of the script's own, which
# goes, with the scratch folder, when the script ends. -noreset keeps the server as a desktop's
# is between programs.
soundfont=/usr/share/sounds/sf2/TimGM6mb.sf2
[ -r "$soundfont" ] || { echo "no $soundfont (apt-get install timgm6mb-soundfont)" >&2; exit 1; }
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch XDG_CACHE_HOME=$scratch
export TARVEL1_AUDIO_DRIVER=none TARVEL1_SOUNDFONT=$soundfont

display=:$((100 + $$ % 800))
Xvfb "$display" -screen 0 1280x1024x24 -noreset -nolisten tcp 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
