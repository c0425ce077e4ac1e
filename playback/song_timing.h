#pragma once
// The time line of a Standard MIDI File as the synthesizer's own reader sees it: the same chunk
// and event rules, so that a song refused here is one the synthesizer could not have played, and
// the tick-to-seconds map that turns the player's tick into the elapsed time the user sees.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSongTiming
{
public:
    struct TempoChange
    {
        std::uint32_t nTick;
        std::uint32_t nMicrosPerQuarter;
    };

    // Reads `size` bytes of an SMF. False, with the reason (a text for the user, without the
    // file's name), when the synthesizer's reader would refuse it: a header that is not 6 bytes
    // long or names a format above 2, SMPTE time, more than 127 tracks, a track
    // that ends early, a chunk name that is not ASCII, or an event it cannot read.
    bool Read(const std::uint8_t* data, std::size_t size, std::string& reason);

    int Division() const { return m_nDivision; }
    int Tracks() const { return m_nTracks; }
    // The tick of the latest end of track; the song is over once every track has reached it.
    std::uint32_t LastTick() const { return m_nLastTick; }
    const std::vector<TempoChange>& Tempi() const { return m_tempi; }

    // Seconds from tick 0 to `tick`, under every tempo change before it (120 beats per minute
    // until the first).
    double SecondsAt(std::uint32_t tick) const;
    double TotalSeconds() const { return SecondsAt(m_nLastTick); }

private:
    int m_nDivision = 0;
    int m_nTracks = 0;
    std::uint32_t m_nLastTick = 0;
    std::vector<TempoChange> m_tempi; // sorted by tick; a later track's change wins a tie
};
