#pragma once
// Songs whose key is known because they are made in it: scales and cadences, as lesson books
// write them, and the two chord patterns of most pop and blues songs. Each is a real SMF (480
// ticks a quarter note) that the key finder and the converter read like any other.

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "smf_builder.h"

enum class KeySongKind
{
    ScaleAndCadence, // the scale up and down, then I-IV-V-I (minor: harmonic minor, i-iv-V-i)
    CountInCadence,  // format 0: four drum beats on channel 10, then the cadence, one track
    PopProgression,  // I-V-vi-IV twice (minor: i-VI-III-VII), a tune over it, ending on I
    Blues,           // twelve bars of dominant sevenths (minor: minor sevenths), ending on I
};

namespace key_songs
{

constexpr int kQuarter = 480;

struct Event
{
    int tick;
    int order; // note-offs before note-ons at the same tick
    Bytes bytes;
};

inline Bytes VarLen(std::uint32_t value)
{
    Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline void AddNote(std::vector<Event>& track, int channel, int pitch, int start, int length,
                    int velocity = 90)
{
    const auto c = static_cast<std::uint8_t>(channel);
    const auto p = static_cast<std::uint8_t>(pitch);
    track.push_back(
        {start, 1, {static_cast<std::uint8_t>(0x90 | c), p, static_cast<std::uint8_t>(velocity)}});
    track.push_back({start + length, 0, {static_cast<std::uint8_t>(0x80 | c), p, 0}});
}

// A track body: the events in time order with their delta times, then the end of track.
inline Bytes TrackBody(std::vector<Event> events)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b)
                     { return std::tie(a.tick, a.order) < std::tie(b.tick, b.order); });
    Bytes body;
    int tick = 0;
    for (const Event& event : events)
    {
        const Bytes delta = VarLen(static_cast<std::uint32_t>(event.tick - tick));
        body.insert(body.end(), delta.begin(), delta.end());
        body.insert(body.end(), event.bytes.begin(), event.bytes.end());
        tick = event.tick;
    }
    body.insert(body.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    return body;
}

// A chord on `degree` (0..6) of the scale `steps`, in close position from `root` up, with its
// root an octave lower in the bass.
inline void AddChord(std::vector<Event>& chords, std::vector<Event>& bass, const int (&steps)[7],
                     int root, int degree, int start, int length, bool seventh = false)
{
    const int notes = seventh ? 4 : 3;
    for (int i = 0; i < notes; ++i)
    {
        const int d = degree + 2 * i;
        AddNote(chords, 0, root + steps[d % 7] + 12 * (d / 7), start, length, 70);
    }
    AddNote(bass, 1, root - 12 + steps[degree], start, length, 90);
}

} // namespace key_songs

// A song in the key of `tonic` (0 is C ... 11 B) major or minor. Its melody lies around middle
// C, so transposing by up to an octave stays within the MIDI range.
inline Bytes MakeKeySong(int tonic, bool minor, KeySongKind kind)
{
    using namespace key_songs;
    static const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
    static const int kHarmonicMinor[7] = {0, 2, 3, 5, 7, 8, 11};
    static const int kNaturalMinor[7] = {0, 2, 3, 5, 7, 8, 10};
    const int(&scale)[7] = minor ? kHarmonicMinor : kMajor;
    const int root = 60 + tonic;
    std::vector<Event> melody, chords, bass, drums;
    int t = 0;
    switch (kind)
    {
    case KeySongKind::ScaleAndCadence:
    case KeySongKind::CountInCadence:
        if (kind == KeySongKind::ScaleAndCadence)
        {
            for (int i = 0; i < 8; ++i, t += kQuarter)
                AddNote(melody, 2, root + scale[i % 7] + 12 * (i / 7), t, kQuarter);
            for (int i = 6; i >= 0; --i, t += kQuarter)
                AddNote(melody, 2, root + scale[i], t, i == 0 ? 2 * kQuarter : kQuarter);
            t += kQuarter;
        }
        else
        {
            for (int i = 0; i < 4; ++i, t += kQuarter)
                AddNote(drums, 9, i == 0 ? 49 : 42, t, kQuarter / 2, 100);
        }
        for (int degree : {0, 3, 4, 0})
        {
            AddChord(chords, bass, scale, root, degree, t, 4 * kQuarter);
            t += 4 * kQuarter;
        }
        break;
    case KeySongKind::PopProgression:
    {
        // Major: I V vi IV; minor: i VI III VII, on the natural minor.
        const int(&steps)[7] = minor ? kNaturalMinor : kMajor;
        const int degrees[4] = {0, minor ? 5 : 4, minor ? 2 : 5, minor ? 6 : 3};
        // The tune walks the chord's own notes: root, third, fifth, third.
        for (int round = 0; round < 2; ++round)
            for (int degree : degrees)
            {
                AddChord(chords, bass, steps, root - 12, degree, t, 4 * kQuarter);
                for (int i : {0, 2, 4, 2})
                {
                    const int d = degree + i;
                    AddNote(melody, 2, root + steps[d % 7] + 12 * (d / 7), t, kQuarter);
                    t += kQuarter;
                }
            }
        AddChord(chords, bass, steps, root - 12, 0, t, 4 * kQuarter);
        AddNote(melody, 2, root, t, 4 * kQuarter);
        break;
    }
    case KeySongKind::Blues:
    {
        // Dominant sevenths on I, IV and V (a flat seventh above each root); in minor, minor
        // sevenths on i and iv and the dominant seventh on V.
        const int bars[12] = {0, 0, 0, 0, 5, 5, 0, 0, 7, 5, 0, 7};
        for (int bar = 0; bar < 12; ++bar)
        {
            const int chordRoot = root - 12 + bars[bar];
            const bool minorChord = minor && bars[bar] != 7;
            for (int interval : {0, minorChord ? 3 : 4, 7, 10})
                AddNote(chords, 0, chordRoot + interval, t, 4 * kQuarter, 70);
            for (int i : {0, 7, 10, 7})
            {
                AddNote(bass, 1, chordRoot - 12 + i, t, kQuarter);
                t += kQuarter;
            }
        }
        for (int interval : {0, minor ? 3 : 4, 7})
            AddNote(chords, 0, root - 12 + interval, t, 4 * kQuarter, 70);
        AddNote(bass, 1, root - 24, t, 4 * kQuarter);
        break;
    }
    }
    if (kind == KeySongKind::CountInCadence)
    {
        std::vector<Event> all = drums;
        all.insert(all.end(), chords.begin(), chords.end());
        all.insert(all.end(), bass.begin(), bass.end());
        return MakeSmf({TrackBody(all)}, 1, 0);
    }
    return MakeSmf({TrackBody(melody), TrackBody(chords), TrackBody(bass)});
}
