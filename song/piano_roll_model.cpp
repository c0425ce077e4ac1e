#include "piano_roll_model.h"

#include <algorithm>
#include <functional>
#include <queue>

#include "event_walker.h"

namespace
{

// The tempo and time signature changes a walk meets, at the song's ticks.
struct SongClockChanges
{
    std::vector<CTempoChange> tempi;
    std::vector<CMeterChange> meters;
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
// track. Tempo and time signature changes are collected. Ticks are counted per track, and for
// format 2 run on from one pattern to the next, as the player plays them.
template <typename OnNote, typename OnTrackEnd>
void WalkNotes(const std::uint8_t* data, std::size_t end, int trackCount, SongClockChanges& changes,
               OnNote onNote, OnTrackEnd onTrackEnd)
{
    const SongSpan song{const_cast<std::uint8_t*>(data), end};
    const bool patterns = end > 9 && data[8] == 0 && data[9] == 2;
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
            // Set tempo: three bytes of microseconds per quarter note. Time signature: the
            // numerator and the denominator's power of two first.
            if (type == 0x51 && length == 3)
                changes.tempi.push_back({tick, (std::uint32_t{data[next]} << 16) |
                                                   (std::uint32_t{data[next + 1]} << 8) |
                                                   data[next + 2]});
            else if (type == 0x58 && length >= 2)
                changes.meters.push_back({tick, data[next], data[next + 1]});
            next += length;
            if (endOfTrack)
            {
                if (!Fits(end, next, 8))
                    break;
                next += 8;
                if (!patterns)
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

std::uint16_t DivisionOf(const std::uint8_t* data, std::size_t size)
{
    return size > 13 ? static_cast<std::uint16_t>((data[12] << 8) | data[13]) : 0;
}

std::uint8_t DrawableNote(std::uint8_t note)
{
    return note > 127 ? 127 : note;
}

} // namespace

MovedNoteCount CountMovedNotes(const CTarvel1Doc& doc)
{
    MovedNoteCount counts;
    if (doc.m_bLoaded != 1)
        return counts;
    SongClockChanges changes;
    WalkNotes(
        doc.m_original.data(), static_cast<std::size_t>(doc.m_nLastIndex) + 1, doc.m_nTracks,
        changes,
        [&](const NoteEvent& event)
        {
            if (!IsSoundingNoteOn(event) || (event.nStatus & 0x0F) == kDrumChannel)
                return;
            ++counts.nNotes;
            if (doc.m_converted[event.nNotePos] != doc.m_original[event.nNotePos])
                ++counts.nMoved;
        },
        [](std::uint64_t) {});
    return counts;
}

void ForEachNoteEvent(const std::uint8_t* data, std::size_t size, int trackCount,
                      const NoteEventHandler& onNote,
                      const std::function<void(std::uint64_t)>& onTrackEnd)
{
    SongClockChanges changes;
    WalkNotes(
        data, size, trackCount, changes,
        [&](const NoteEvent& event)
        { onNote(event.nNotePos, event.nTick, event.nStatus, event.nVelocity); },
        onTrackEnd);
}

void CPianoRollModel::Clear()
{
    *this = CPianoRollModel();
}

void CPianoRollModel::Build(const CTarvel1Doc& doc, bool converted, const std::string& mode,
                            int keyOffset)
{
    if (doc.m_bLoaded != 1)
    {
        Clear();
        return;
    }
    Build(doc.m_original.data(), converted ? doc.m_converted.data() : doc.m_original.data(),
          static_cast<std::size_t>(doc.m_nLastIndex) + 1, doc.m_nTracks,
          converted ? ModeFromText(mode) : ConversionMode::None, keyOffset);
}

void CPianoRollModel::Build(const std::uint8_t* original, const std::uint8_t* converted,
                            std::size_t size, int trackCount, ConversionMode mode, int keyOffset)
{
    Clear();
    SetKey(mode, keyOffset, {});

    // Notes are kept in ticks until the tempo map is complete: a format 1 song's tempo track
    // may come before or after the tracks that it times.
    struct TickNote
    {
        std::uint64_t nStart;
        std::uint64_t nEnd;
        CRollNote note;
    };
    std::vector<TickNote> pending;
    pending.reserve(size / 6);
    // Sounding notes by channel and note number as read, each key a queue linked through
    // `nextOpen`: a repeated note-on before its note-off is ended by the first note-off
    // (first in, first out).
    constexpr std::size_t kKeys = 16 * 256;
    constexpr std::size_t kNone = ~std::size_t{0};
    std::vector<std::size_t> openHead(kKeys, kNone);
    std::vector<std::size_t> openTail(kKeys, kNone);
    std::vector<std::size_t> nextOpen;
    nextOpen.reserve(pending.capacity());
    std::vector<int> openKeys; // the keys that have had a note since the track began
    // Each track's notes come in time order; a track begins a new run for the merge below.
    std::vector<std::size_t> runStarts{0};
    std::uint64_t lastTick = 0;
    SongClockChanges changes;
    WalkNotes(
        original, size, trackCount, changes,
        [&](const NoteEvent& event)
        {
            lastTick = std::max(lastTick, event.nTick);
            const int channel = event.nStatus & 0x0F;
            const int key = channel * 256 + original[event.nNotePos];
            if (IsSoundingNoteOn(event))
            {
                CRollNote note;
                note.nOriginal = DrawableNote(original[event.nNotePos]);
                note.nNote = DrawableNote(converted[event.nNotePos]);
                note.nChannel = static_cast<std::uint8_t>(channel);
                note.nVelocity = event.nVelocity;
                if (channel != kDrumChannel)
                {
                    ++m_counts.nNotes;
                    if (converted[event.nNotePos] != original[event.nNotePos])
                        ++m_counts.nMoved;
                }
                const std::size_t index = pending.size();
                pending.push_back({event.nTick, event.nTick, note});
                nextOpen.push_back(kNone);
                if (openHead[key] == kNone)
                {
                    openHead[key] = index;
                    openKeys.push_back(key);
                }
                else
                    nextOpen[openTail[key]] = index;
                openTail[key] = index;
                return;
            }
            const std::size_t index = openHead[key];
            if (index == kNone)
                return;
            pending[index].nEnd = event.nTick;
            openHead[key] = nextOpen[index];
        },
        [&](std::uint64_t tick)
        {
            // A note left sounding lasts to its track's end.
            lastTick = std::max(lastTick, tick);
            for (int key : openKeys)
            {
                for (std::size_t i = openHead[key]; i != kNone; i = nextOpen[i])
                    pending[i].nEnd = tick;
                openHead[key] = kNone;
            }
            openKeys.clear();
            runStarts.push_back(pending.size());
        });
    for (int key : openKeys)
        for (std::size_t i = openHead[key]; i != kNone; i = nextOpen[i])
            pending[i].nEnd = lastTick;

    m_tempo =
        CTempoMap(DivisionOf(original, size), std::move(changes.tempi), std::move(changes.meters));
    const CTempoMap& clock = m_tempo;
    m_dTotalSeconds = clock.SecondsAt(lastTick);
    // Each run (a track) is in time order already and one clock times every track, so a merge
    // by tick puts the notes in time order in one pass; a tie goes to the earlier track, as in
    // the file.
    runStarts.push_back(pending.size());
    using Head = std::pair<std::uint64_t, std::size_t>; // the run's next start tick, the run
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    std::vector<std::size_t> next(runStarts.begin(), runStarts.end() - 1);
    for (std::size_t run = 0; run < next.size(); ++run)
        if (next[run] < runStarts[run + 1])
            heads.push({pending[next[run]].nStart, run});
    m_notes.reserve(pending.size());
    while (!heads.empty())
    {
        const std::size_t run = heads.top().second;
        heads.pop();
        TickNote& item = pending[next[run]++];
        item.note.dStart = clock.SecondsAt(item.nStart);
        item.note.dEnd = clock.SecondsAt(std::max(item.nEnd, item.nStart));
        m_notes.push_back(item.note);
        if (next[run] < runStarts[run + 1])
            heads.push({pending[next[run]].nStart, run});
    }

    m_latestEnd.reserve(m_notes.size());
    double latest = 0;
    for (const CRollNote& note : m_notes)
    {
        latest = std::max(latest, note.dEnd);
        m_latestEnd.push_back(latest);
        if (note.IsDrum())
        {
            m_bHasDrums = true;
            continue;
        }
        const int low = std::min(note.nNote, note.nOriginal);
        const int high = std::max(note.nNote, note.nOriginal);
        m_nLowest = m_nLowest < 0 ? low : std::min(m_nLowest, low);
        m_nHighest = std::max(m_nHighest, high);
    }
}

void CPianoRollModel::SetKey(ConversionMode mode, int keyOffset, std::string caption)
{
    m_mode = mode;
    m_nKeyOffset = keyOffset;
    m_bHasScale = mode == ConversionMode::Major || mode == ConversionMode::Minor ||
                  mode == ConversionMode::Aug || mode == ConversionMode::Dim;
    m_strKeyCaption = std::move(caption);
    // One counter for all models, so that a model built afresh at the same address is new too.
    static std::uint64_t revisions = 0;
    m_nRevision = ++revisions;
}

bool CPianoRollModel::IsScaleNote(int note) const
{
    return m_bHasScale && NoteStep(m_mode, ((note + m_nKeyOffset) % 12 + 12) % 12) == 0;
}

std::pair<std::size_t, std::size_t> CPianoRollModel::VisibleRange(double from, double to) const
{
    const auto first = std::lower_bound(m_latestEnd.begin(), m_latestEnd.end(), from);
    const auto last = std::upper_bound(m_notes.begin(), m_notes.end(), to,
                                       [](double t, const CRollNote& n) { return t < n.dStart; });
    const std::size_t firstIndex = static_cast<std::size_t>(first - m_latestEnd.begin());
    const std::size_t lastIndex = static_cast<std::size_t>(last - m_notes.begin());
    return {std::min(firstIndex, lastIndex), lastIndex};
}
