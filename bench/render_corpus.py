#!/usr/bin/env python3
"""Renders every song of a folder with tarvel1-convert and with the fluidsynth program, same
SoundFont and rate, and compares time, peak memory and length of each pair.

usage: bench/render_corpus.py CONVERTER FOLDER [SOUNDFONT]
       bench/render_corpus.py CONVERTER --minutes N [SOUNDFONT]   (a made-up song N minutes long)

Each song is rendered RUNS times by each program (RUNS from the environment, 5 unless set), the
two taking turns to go first, each time into a file that does not exist yet; a song's time is the
median of its runs. On a shared machine one run of either program can take a third longer than
the next, so single runs say little.

Exit status 1 when a song fails to render, comes out more than 20 % longer or shorter than
fluidsynth's render, or takes longer to render than fluidsynth.
"""
import os
import resource
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import wave

DEFAULT_SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"


def run(args):
    """Wall time, peak resident memory in MB and status of one process."""
    start = time.monotonic()
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.stderr.close()
    return time.monotonic() - start, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def seconds_of(wav_path):
    with wave.open(wav_path) as w:
        return w.getnframes() / w.getframerate()


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def made_up_song(path, minutes):
    """Four channels of notes, a chord change every quarter of a second, for `minutes` minutes."""
    body = bytearray(b"\x00\xC0\x00\x00\xC1\x30\x00\xC2\x20\x00\xC3\x49")
    for step in range(minutes * 240):
        notes = [(ch, 48 + (step * 5 + ch * 4) % 24) for ch in range(4)]
        for i, (ch, n) in enumerate(notes):
            body += b"\x00" + bytes([0x90 | ch, n, 90])
        for i, (ch, n) in enumerate(notes):
            body += varlen(240 if i == 0 else 0) + bytes([0x80 | ch, n, 0])
    body += b"\x00\xFF\x2F\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480))
        f.write(b"MTrk" + struct.pack(">I", len(body)) + body)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    converter = sys.argv[1]
    soundfont = sys.argv[3] if len(sys.argv) > 3 else DEFAULT_SOUNDFONT
    work = tempfile.mkdtemp(prefix="tarvel1-render-")
    if sys.argv[2] == "--minutes":
        song = os.path.join(work, "made-up.mid")
        made_up_song(song, int(sys.argv[3]))
        soundfont = sys.argv[4] if len(sys.argv) > 4 else DEFAULT_SOUNDFONT
        songs = [song]
    else:
        songs = sorted(os.path.join(root, name)
                       for root, _, names in os.walk(sys.argv[2])
                       for name in names if name.lower().endswith((".mid", ".midi", ".kar")))
    ours_wav = os.path.join(work, "ours.wav")
    theirs_wav = os.path.join(work, "theirs.wav")
    mid = os.path.join(work, "song.mid")
    ratios, failures = [], []
    print(f"{'song':50} {'ours s':>7} {'fs s':>7} {'time':>6} {'ours MB':>8} {'fs MB':>6} "
          f"{'len s':>7} {'fs len':>7}")
    runs = int(os.environ.get("RUNS", "5"))

    def ours():
        for path in (mid, ours_wav):
            if os.path.exists(path):
                os.unlink(path)
        return run([converter, "--soundfont", soundfont, "-o", mid, "--render", ours_wav, song])

    def theirs():
        if os.path.exists(theirs_wav):
            os.unlink(theirs_wav)
        return run(["fluidsynth", "-ni", "-q", "-F", theirs_wav, "-r", "44100", soundfont, song])

    for song in songs:
        mine, fluid = [], []
        for turn in range(runs):
            if turn % 2 == 0:
                mine.append(ours())
                fluid.append(theirs())
            else:
                fluid.append(theirs())
                mine.append(ours())
        t1 = statistics.median(r[0] for r in mine)
        t2 = statistics.median(r[0] for r in fluid)
        m1 = max(r[1] for r in mine)
        m2 = max(r[1] for r in fluid)
        s1 = max(abs(r[2]) for r in mine)
        s2 = max(abs(r[2]) for r in fluid)
        name = os.path.relpath(song, sys.argv[2]) if sys.argv[2] != "--minutes" else song
        if s1 != 0 or s2 != 0:
            failures.append(f"{name}: status {s1} (ours), {s2} (fluidsynth)")
            continue
        l1, l2 = seconds_of(ours_wav), seconds_of(theirs_wav)
        ratios.append(t1 / t2)
        print(f"{name[-50:]:50} {t1:7.2f} {t2:7.2f} {t1 / t2:6.2f} {m1:8.1f} {m2:6.1f} "
              f"{l1:7.1f} {l2:7.1f}")
        if abs(l1 - l2) > 0.2 * l2:
            failures.append(f"{name}: {l1:.1f} s against {l2:.1f} s")
        if t1 > t2:
            failures.append(f"{name}: {t1:.2f} s to render against {t2:.2f} s")
    if ratios:
        print(f"render time ours/fluidsynth: median {statistics.median(ratios):.2f}, "
              f"worst {max(ratios):.2f}, over {len(ratios)} songs")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
