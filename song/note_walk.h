#pragma once
// Every note-on and note-off of a song as read, with its tick, by the walker's own rules: a
// 14-byte header, tracks back to back, chunk headers skipped unread, meta and sysex stepped over
// by their lengths. Reading only; shared by everything that looks at a song's notes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "event_walker.h"

struct TempoChange
{
    std::uint64_t nTick;
    std::uint32_t nMicrosPerQuarter;
};

// A note-on or note-off met by the walk: where its note byte is and when it happens.
struct NoteEvent
{
    std::size_t nNotePos;
    std::uint64_t nTick;
    std::uint8_t nStatus;
    std::uint8_t nVelocity;
};

inline bool Fits(std::size_t end, std::size_t pos, std::uint64_t count)
{
    return pos <= end && count <= end - pos;
}

// The walker's rules (a 14-byte header, tracks back to back, chunk headers skipped unread,
// meta and sysex stepped over by their lengths), reading only. Running status starts from
// nothing here: the conversion's walk may have inherited one from an earlier song, which only
// matters for a track whose first event has no status byte, and such a file is damaged anyway.
// `onNote` is called for every note-on and note-off; `onTrackEnd` with the tick of each end of
// track. Tempo changes are collected, ticks counted per track.
template <typename OnNote, typename OnTrackEnd>
void WalkNotes(const std::uint8_t* data, std::size_t end, int trackCount,
               std::vector<TempoChange>& tempi, OnNote onNote, OnTrackEnd onTrackEnd)
{
    const SongSpan song{const_cast<std::uint8_t*>(data), end};
    std::size_t pos = kFirstEventOffset;
    std::uint64_t tick = 0;
    int tracksDone = 0;
    std::uint8_t runningStatus = 0;
    for (;;)
    {
        std::uint32_t delta = 0;
        if (!ReadVarLen(song, pos, delta) || pos >= end)
            break;
        tick += delta;
        const std::uint8_t first = data[pos];
        if (first == 0xFF)
        {
            if (!Fits(end, pos, 2))
                break;
            const std::uint8_t type = data[pos + 1];
            const bool endOfTrack = type == 0x2F;
            if (endOfTrack)
            {
                ++tracksDone;
                onTrackEnd(tick);
            }
            if (tracksDone == trackCount)
                break;
            std::size_t next = pos + 2;
            std::uint32_t length = 0;
            if (!ReadVarLen(song, next, length) || !Fits(end, next, length))
                break;
            // Set tempo: three bytes of microseconds per quarter note.
            if (type == 0x51 && length == 3)
                tempi.push_back({tick, (std::uint32_t{data[next]} << 16) |
                                           (std::uint32_t{data[next + 1]} << 8) | data[next + 2]});
            next += length;
            if (endOfTrack)
            {
                if (!Fits(end, next, 8))
                    break;
                next += 8;
                tick = 0;
            }
            pos = next;
        }
        else if (first == 0xF0)
        {
            std::size_t next = pos + 1;
            std::uint32_t length = 0;
            if (!ReadVarLen(song, next, length) || !Fits(end, next, length))
                break;
            pos = next + length;
        }
        else
        {
            std::uint8_t status = runningStatus;
            std::size_t notePos = pos;
            std::size_t length = 2;
            if (first & 0x80)
            {
                status = runningStatus = first;
                notePos = pos + 1;
                length = 3;
            }
            const std::uint8_t kind = status >> 4;
            if (kind == 0xC || kind == 0xD)
                --length;
            if (!Fits(end, pos, length))
                break;
            if (kind == 0x8 || kind == 0x9)
                onNote(NoteEvent{notePos, tick, status, data[notePos + 1]});
            pos += length;
        }
    }
}

inline bool IsSoundingNoteOn(const NoteEvent& event)
{
    return (event.nStatus >> 4) == 0x9 && event.nVelocity > 0;
}
