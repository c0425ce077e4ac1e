#!/usr/bin/python3
"""Converts every MIDI file below a folder in every mode and key with tarvel1-convert and checks
that each result is a MIDI file that mido reads, with the same events as the original except
for the note numbers of note-on and note-off events off the drum channel.

Usage: scripts/check-corpus.py CONVERTER FOLDER
"""
import os
import subprocess
import sys
import tempfile

import mido

MODES = ["Non convert", "major", "minor", "aug", "dim", "invert"]
KEYS = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]


def events(path):
    song = mido.MidiFile(path)
    return [list(track) for track in song.tracks]


def main():
    converter, folder = sys.argv[1], sys.argv[2]
    songs = sorted(
        os.path.join(root, name)
        for root, _, names in os.walk(folder)
        for name in names
        if name.lower().endswith((".mid", ".midi", ".kar"))
    )
    failures = 0
    conversions = 0
    with tempfile.TemporaryDirectory() as scratch:
        for song in songs:
            try:
                original = events(song)
            except Exception as error:  # a file mido cannot read is not ours to judge
                print(f"skip (mido cannot read the original): {song}: {error}")
                continue
            for mode in MODES:
                for key in KEYS:
                    out = os.path.join(scratch, "out.mid")
                    run = subprocess.run([converter, "--mode", mode, "--key", key, "-o", out, song],
                                         capture_output=True, text=True)
                    conversions += 1
                    if run.returncode != 0:
                        print(f"FAIL convert {song} {mode} {key}: {run.stderr.strip()}")
                        failures += 1
                        continue
                    try:
                        converted = events(out)
                    except Exception as error:
                        print(f"FAIL read {song} {mode} {key}: {error}")
                        failures += 1
                        continue
                    if not same_but_notes(original, converted, mode == "Non convert"):
                        print(f"FAIL events differ {song} {mode} {key}")
                        failures += 1
    print(f"{len(songs)} songs, {conversions} conversions, {failures} failures")
    return 1 if failures else 0


def same_but_notes(original, converted, identical):
    if len(original) != len(converted):
        return False
    for a_track, b_track in zip(original, converted):
        if len(a_track) != len(b_track):
            return False
        for a, b in zip(a_track, b_track):
            if a.type in ("note_on", "note_off") and b.type == a.type:
                if a.channel == 9 or identical:
                    if a != b:
                        return False
                elif a.copy(note=b.note) != b:
                    return False
            elif a != b:
                return False
    return True


if __name__ == "__main__":
    sys.exit(main())
