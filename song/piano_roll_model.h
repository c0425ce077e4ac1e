#pragma once
// What a conversion did to a song, note by note: the song as read and its converted copy walked
// together with the walker's own event rules, each note placed in time (seconds) with the pitch
// it had and the pitch it has now. Counts the moved notes and feeds the piano roll.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "note_transform.h"
#include "song_document.h"
#include "tempo_map.h"

// M: note-on events with a velocity above 0 outside the drum channel; N: those among them whose
// note number the conversion changed.
struct MovedNoteCount
{
    std::size_t nMoved = 0;
    std::size_t nNotes = 0;
};

// The counts for the song as read and the converted copy that the last Convert() left. Zero
// while no song is loaded.
MovedNoteCount CountMovedNotes(const CTarvel1Doc& doc);

// Every note-on and note-off of a song laid out as the walker expects (`size` bytes announcing
// `trackCount` tracks), by the same rules as the counts and the roll, reading only: the note
// byte's position, the tick from its track's start, the status byte and the velocity. Then
// `onTrackEnd` with the tick of each end of track.
using NoteEventHandler = std::function<void(std::size_t notePos, std::uint64_t tick,
                                            std::uint8_t status, std::uint8_t velocity)>;
void ForEachNoteEvent(const std::uint8_t* data, std::size_t size, int trackCount,
                      const NoteEventHandler& onNote,
                      const std::function<void(std::uint64_t)>& onTrackEnd);

// One sounding note: from its note-on to the note-off that ends it (or its track's end).
struct CRollNote
{
    double dStart = 0; // seconds from the start of the song
    double dEnd = 0;
    std::uint8_t nNote = 0;     // as converted, folded into 0..127 for drawing
    std::uint8_t nOriginal = 0; // as read
    std::uint8_t nChannel = 0;  // 0..15
    std::uint8_t nVelocity = 0;

    bool IsMoved() const { return nNote != nOriginal; }
    bool IsDrum() const { return nChannel == kDrumChannel; }
};

class CPianoRollModel
{
public:
    // Walks `original` and `converted`, both `size` bytes with the same layout (a conversion
    // only changes note bytes), pairing each note with its converted self by position. `mode`
    // and `keyOffset` are the last conversion's; they decide the scale rows only.
    void Build(const std::uint8_t* original, const std::uint8_t* converted, std::size_t size,
               int trackCount, ConversionMode mode, int keyOffset);
    // The document's song and converted copy; with `converted` false (no conversion has run
    // yet) the song is shown as read. Empty while no song is loaded.
    void Build(const CTarvel1Doc& doc, bool converted, const std::string& mode, int keyOffset);
    void Clear();

    // Sorted by start time.
    const std::vector<CRollNote>& Notes() const { return m_notes; }
    MovedNoteCount Counts() const { return m_counts; }
    double TotalSeconds() const { return m_dTotalSeconds; }
    // The song's clock, the player's own: seconds of ticks, and bars and beats for a grid.
    const CTempoMap& TempoMap() const { return m_tempo; }
    // The lowest and highest pitched note outside the drum channel, before and after the
    // conversion; both -1 when there is none.
    int LowestNote() const { return m_nLowest; }
    int HighestNote() const { return m_nHighest; }
    bool HasDrums() const { return m_bHasDrums; }

    // The key shown in the roll's header and whose scale rows are shaded: Build() takes the
    // conversion's mode and key with an empty caption; a caller that names the key ("D minor")
    // or knows a better one (an estimate before the first conversion) sets it here.
    void SetKey(ConversionMode mode, int keyOffset, std::string caption);
    const std::string& KeyCaption() const { return m_strKeyCaption; }
    // Changes with every Build() and SetKey(), in any model: a drawing of this model made at
    // another revision is out of date.
    std::uint64_t Revision() const { return m_nRevision; }

    // True when the shown key's mode has a scale ("major", "minor", "aug", "dim").
    bool HasScale() const { return m_bHasScale; }
    // True when `note` lies on that scale.
    bool IsScaleNote(int note) const;

    // The notes that may sound between `from` and `to` seconds: indexes [first, last) of
    // Notes(). Found by bisection, so a view of a long song costs what it shows.
    std::pair<std::size_t, std::size_t> VisibleRange(double from, double to) const;

private:
    std::vector<CRollNote> m_notes;
    // m_latestEnd[i]: the latest end among notes 0..i, which never decreases.
    std::vector<double> m_latestEnd;
    MovedNoteCount m_counts;
    double m_dTotalSeconds = 0;
    int m_nLowest = -1;
    int m_nHighest = -1;
    bool m_bHasDrums = false;
    bool m_bHasScale = false;
    ConversionMode m_mode = ConversionMode::None;
    int m_nKeyOffset = 0;
    std::string m_strKeyCaption;
    std::uint64_t m_nRevision = 0;
    CTempoMap m_tempo;
};
