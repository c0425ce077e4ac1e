#pragma once
// Steps through the events of every track of a song, from the first track's first event to the
// last end-of-track, and moves the note number of every note-on and note-off. Nothing else in the
// song changes. The walker assumes a 14-byte header chunk and track chunks that follow each other
// directly; it reads no chunk identifier or length. Every read and write stays inside the song.

#include <cstddef>
#include <cstdint>
#include <string>

#include "note_transform.h"

// The first track chunk starts at byte 14; its first event at byte 22.
constexpr std::size_t kFirstEventOffset = 22;

// The song's bytes: data[0] up to, not including, data[end].
struct SongSpan
{
    std::uint8_t* data;
    std::size_t end;
};

// What a step of the walk leads to.
enum class WalkStep
{
    Next,     // another event follows
    Done,     // the last announced end-of-track was met
    OutOfSong // the event would reach past the song's last byte
};

// Reads a variable-length quantity at `pos`, moving `pos` past it. Values too large for 32 bits
// saturate. False when the song ends inside the number.
bool ReadVarLen(const SongSpan& song, std::size_t& pos, std::uint32_t& value);

// `pos` is at a 0xFF byte; counts end-of-track events in `tracksDone`.
WalkStep SkipMetaEvent(const SongSpan& song, std::size_t& pos, int trackCount, int& tracksDone);
// `pos` is at a 0xF0 byte.
WalkStep SkipSysExEvent(const SongSpan& song, std::size_t& pos);
// `pos` is at a status byte or, under running status, at the first data byte.
WalkStep StepChannelEvent(const SongSpan& song, std::size_t& pos, const NoteTable& notes);

// Puts the running status that the walker keeps between walks back to its start value, so that
// the next song converts as if it were the first of the process.
void ResetRunningStatus();

// Walks the song from kFirstEventOffset until the `trackCount`-th end-of-track event, or until
// the walk would leave the song.
void WalkTrackEvents(const SongSpan& song, int trackCount, const std::string& mode, int keyOffset);
void WalkTrackEvents(const SongSpan& song, int trackCount, const NoteTable& notes);
