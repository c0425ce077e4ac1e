#pragma once
// A song's clock: its tempo changes turn ticks into time, its time signatures turn ticks into
// bars and beats. The player's sequencer and the piano roll both time the song with it, so that
// the roll draws every note where the player plays it.
//
// Ticks are the song's own; for format 2 they run on across the patterns, one after the other.
// Before the first tempo event a song plays at 120 beats a minute and, before its first time
// signature, in 4/4. SMPTE division counts real time: tempo events change nothing there, and
// such a song has no bars.

#include <cstddef>
#include <cstdint>
#include <vector>

struct CTempoChange
{
    std::uint64_t nTick = 0;
    std::uint32_t nMicrosPerQuarter = 500000;
};

// A time signature meta event (FF 58 04 nn dd cc bb): nn beats of a 2^-dd note to the bar.
struct CMeterChange
{
    std::uint64_t nTick = 0;
    std::uint8_t nNumerator = 4;
    std::uint8_t nDenominatorPower = 2;
};

// One beat of the grid: where it falls, and which bar and beat it is (both counted from 1).
struct CMeterBeat
{
    std::uint64_t nTick = 0;
    std::int64_t nMicros = 0;
    std::uint32_t nBar = 1;
    std::uint32_t nBeat = 1;
    bool IsBarStart() const { return nBeat == 1; }
};

class CTempoMap
{
public:
    // `division` is the header's raw division word; 0 (a damaged header) counts as 96 ticks a
    // quarter. Changes may come in any order: they are taken in tick order, and of several at
    // the same tick the last one given wins (give them in the file's order).
    explicit CTempoMap(std::uint16_t division = 96, std::vector<CTempoChange> tempi = {},
                       std::vector<CMeterChange> meters = {});

    // Microseconds from the start of the song to `tick`. Each time is computed from the start of
    // its stretch of constant tempo, so no rounding builds up over a long song; a time beyond
    // what 64 bits hold saturates.
    std::int64_t MicrosAt(std::uint64_t tick) const;
    double SecondsAt(std::uint64_t tick) const { return double(MicrosAt(tick)) / 1e6; }
    // The first tick that falls at or after `micros` (0 for a time before the start).
    std::uint64_t TickAt(std::int64_t micros) const;

    bool IsSmpte() const { return m_bSmpte; }
    // Ticks per quarter note (0 for SMPTE division).
    std::uint32_t TicksPerQuarter() const { return m_bSmpte ? 0 : m_nTicksPerQuarter; }

    // The bar and beat that `tick` lies in (the beat that starts at or before it).
    CMeterBeat BeatAt(std::uint64_t tick) const;
    // Every beat from the one that holds `fromMicros` up to `toMicros`, at most `limit` of them;
    // empty for SMPTE division. For a grid: a line at each beat, a strong one at each bar.
    std::vector<CMeterBeat> BeatsBetween(std::int64_t fromMicros, std::int64_t toMicros,
                                         std::size_t limit = 4096) const;

private:
    struct Stretch
    {
        std::uint64_t nTick;
        std::int64_t nMicros; // at nTick
        std::uint64_t nNum;   // microseconds per nDen ticks from nTick on
        std::uint64_t nDen;
    };
    struct Meter
    {
        std::uint64_t nTick;
        std::uint32_t nFirstBar; // the bar that starts at nTick
        std::uint32_t nBeats;    // beats to the bar
        std::uint64_t nBeatNum;  // a beat lasts nBeatNum / nBeatDen ticks
        std::uint64_t nBeatDen;
    };

    static std::int64_t Advance(const Stretch& from, std::uint64_t tick);
    const Meter& MeterAt(std::uint64_t tick) const;
    CMeterBeat BeatOf(const Meter& meter, std::uint64_t index) const;

    bool m_bSmpte = false;
    std::uint32_t m_nTicksPerQuarter = 96;
    std::vector<Stretch> m_stretches; // never empty; the first starts at tick 0
    std::vector<Meter> m_meters;      // never empty; the first starts at tick 0
};
