#include "event_walker.h"

namespace
{

// The last status byte seen by StepChannelEvent. It lives as long as the process and is never
// reset, so a track whose first event leans on running status takes the status that the previous
// track or the previous walk left behind.
std::uint8_t s_runningStatus = 0;

constexpr std::uint32_t kVarLenSaturated = 0xFFFFFFFFu;

// True when `count` bytes from `pos` lie inside the song.
inline bool Fits(const SongSpan& song, std::size_t pos, std::uint64_t count)
{
    return pos <= song.end && count <= song.end - pos;
}

inline bool IsDrumStatus(std::uint8_t status)
{
    return (status & 0x0F) == kDrumChannel;
}

// The walk's inner steps take the running status by reference so that a whole walk keeps it in
// a register and stores it back once, at the end.
inline bool ReadVarLenInline(const SongSpan& song, std::size_t& pos, std::uint32_t& value)
{
    // Most delta times and lengths are a single byte.
    if (pos < song.end && song.data[pos] < 0x80)
    {
        value = song.data[pos++];
        return true;
    }
    std::uint64_t accumulated = 0;
    for (;;)
    {
        if (pos >= song.end)
            return false;
        const std::uint8_t byte = song.data[pos++];
        accumulated = (accumulated << 7) | (byte & 0x7Fu);
        // The format allows four bytes; longer numbers from damaged files only need to be
        // recognised as too large, not kept exactly.
        if (accumulated > kVarLenSaturated)
            accumulated = kVarLenSaturated;
        if ((byte & 0x80) == 0)
        {
            value = static_cast<std::uint32_t>(accumulated);
            return true;
        }
    }
}

inline WalkStep SkipMetaInline(const SongSpan& song, std::size_t& pos, int trackCount,
                               int& tracksDone)
{
    if (!Fits(song, pos, 2))
        return WalkStep::OutOfSong;
    const bool endOfTrack = song.data[pos + 1] == 0x2F;
    if (endOfTrack)
        ++tracksDone;
    // Any meta event ends the walk once the count is reached, so a header announcing no tracks
    // stops at the first meta event.
    if (tracksDone == trackCount)
        return WalkStep::Done;
    std::size_t next = pos + 2;
    std::uint32_t length = 0;
    if (!ReadVarLenInline(song, next, length) || !Fits(song, next, length))
        return WalkStep::OutOfSong;
    next += length;
    if (endOfTrack)
    {
        // The next track chunk's "MTrk" and length are skipped unread.
        if (!Fits(song, next, 8))
            return WalkStep::OutOfSong;
        next += 8;
    }
    pos = next;
    return WalkStep::Next;
}

inline WalkStep SkipSysExInline(const SongSpan& song, std::size_t& pos)
{
    std::size_t next = pos + 1;
    std::uint32_t length = 0;
    if (!ReadVarLenInline(song, next, length) || !Fits(song, next, length))
        return WalkStep::OutOfSong;
    pos = next + length;
    return WalkStep::Next;
}

inline WalkStep StepChannelInline(const SongSpan& song, std::size_t& pos, const NoteTable& notes,
                                  std::uint8_t& runningStatus)
{
    const std::uint8_t first = song.data[pos];
    std::uint8_t status;
    std::size_t notePos;
    std::size_t length; // bytes stepped over, status byte included when there is one
    if (first & 0x80)
    {
        status = first;
        runningStatus = first;
        notePos = pos + 1;
        length = 3;
    }
    else
    {
        // Not a status byte: running status applies and this is the first data byte.
        status = runningStatus;
        notePos = pos;
        length = 2;
    }
    const std::uint8_t kind = status >> 4;
    if (kind == 0xC || kind == 0xD)
        --length; // program change and channel pressure carry one data byte
    if (!Fits(song, pos, length))
        return WalkStep::OutOfSong;
    // A note-on with velocity 0 is a note-off and moves with it.
    if ((kind == 0x8 || kind == 0x9) && !IsDrumStatus(status))
        song.data[notePos] = notes[song.data[notePos]];
    pos += length;
    return WalkStep::Next;
}

} // namespace

bool ReadVarLen(const SongSpan& song, std::size_t& pos, std::uint32_t& value)
{
    return ReadVarLenInline(song, pos, value);
}

WalkStep SkipMetaEvent(const SongSpan& song, std::size_t& pos, int trackCount, int& tracksDone)
{
    return SkipMetaInline(song, pos, trackCount, tracksDone);
}

WalkStep SkipSysExEvent(const SongSpan& song, std::size_t& pos)
{
    return SkipSysExInline(song, pos);
}

WalkStep StepChannelEvent(const SongSpan& song, std::size_t& pos, const NoteTable& notes)
{
    return StepChannelInline(song, pos, notes, s_runningStatus);
}

void ResetRunningStatus()
{
    s_runningStatus = 0;
}

void WalkTrackEvents(const SongSpan& song, int trackCount, const NoteTable& notes)
{
    int tracksDone = 0;
    std::uint8_t runningStatus = s_runningStatus;
    std::size_t pos = kFirstEventOffset;
    WalkStep step = WalkStep::Next;
    while (step == WalkStep::Next)
    {
        std::uint32_t deltaTime = 0;
        if (!ReadVarLenInline(song, pos, deltaTime) || pos >= song.end)
            break;
        const std::uint8_t first = song.data[pos];
        if (first == 0xFF)
            step = SkipMetaInline(song, pos, trackCount, tracksDone);
        else if (first == 0xF0)
            step = SkipSysExInline(song, pos);
        else
            step = StepChannelInline(song, pos, notes, runningStatus);
    }
    s_runningStatus = runningStatus;
}

void WalkTrackEvents(const SongSpan& song, int trackCount, const std::string& mode, int keyOffset)
{
    WalkTrackEvents(song, trackCount, MakeNoteTable(ModeFromText(mode), keyOffset));
}
