#pragma once
// A Standard MIDI File read into one time-ordered list of events, ready to be played: what a
// sequencer needs and nothing of the synthesizer. Formats 0, 1 and 2 (the patterns of format 2
// one after the other), metrical and SMPTE division, every tempo change, running status within a
// track, sysex in one piece or in F0/F7 packets, header chunks of any length, unknown chunks
// skipped.
//
// Contract:
// - Read() takes the file's bytes and either fills the sequence or leaves it empty and says why
//   (a text for the user, without the file's name). It never reads outside the given bytes.
// - Events are sorted by time; events at the same time keep the order of the file (by track,
//   then by position in the track). Times are microseconds from the start of the song.
// - Meta events (tempo, text, end of track, ...) are consumed by the reader and are not in the
//   list: only what is sent to a synthesizer or a MIDI port is.
// - StateAt() replays the channel messages before a time and says what a sequencer must send
//   to stand at that time as if it had played there: per channel the program and bank, every
//   controller, pitch bend, channel pressure, and the notes still held (chasing).
// - Running status: a data byte where a status is due, after a sysex or meta event or at the
//   start of a track, makes the file unreadable (no real song seen relies on it).
// - Sysex packets become one message at the time of their F0, even with other events between
//   the packets; packets that stop before an F7 (the track ends, or a new F0 comes) are closed
//   with an F7 of ours. An F7 event outside a packet is an Escape; an empty one is dropped.
// - Channel mode messages (controllers 120-127) are actions, not values: the state never holds
//   them. All sound off, all notes off and the mode changes end the held notes; reset all
//   controllers puts back the values the MIDI recommended practice names. Held notes are listed
//   by note number.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tempo_map.h"

struct CMidiEvent
{
    enum class Kind : std::uint8_t
    {
        Channel, // a channel message: status 0x80-0xEF and its one or two data bytes
        SysEx,   // a complete system-exclusive message, F0 ... F7, packets already joined
        Escape,  // bytes sent as they stand (an F7 event that does not continue a packet)
    };

    std::int64_t nMicros = 0; // time from the start of the song
    std::uint64_t nTick = 0;  // the song's own tick (format 2: counted across the patterns)
    Kind kind = Kind::Channel;
    std::uint8_t status = 0; // Channel: the status byte
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;    // 0 for the messages that carry one data byte
    std::uint32_t nOffset = 0; // SysEx and Escape: where the bytes start in Bytes()
    std::uint32_t nLength = 0; // SysEx and Escape: how many bytes
};

// What a channel looks like at a given time, for chasing after a seek or a pause.
struct CChannelState
{
    int nProgram = -1;                // -1: no program change yet
    std::array<int, 128> controllers; // -1: never set; includes bank select (0, 32) and pedals
    int nPitchBend = 8192;            // 14 bits, 8192 is the centre
    int nChannelPressure = -1;        // -1: never set
    std::vector<std::pair<std::uint8_t, std::uint8_t>> heldNotes; // note, velocity

    CChannelState() { controllers.fill(-1); }
};

class CMidiSequence
{
public:
    // Reads a whole SMF. False, with `reason` set and the sequence left empty, for a file that is
    // not a playable song.
    bool Read(const std::uint8_t* data, std::size_t size, std::string& reason);
    void Clear();

    const std::vector<CMidiEvent>& Events() const { return m_events; }
    // Sysex and escape bytes of the events, addressed by nOffset and nLength.
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

    int Format() const { return m_nFormat; }
    int Tracks() const { return m_nTracks; }
    // Ticks per quarter note, or for SMPTE division the frames per second times ticks per frame
    // expressed as a negative first byte as in the file: the raw 16-bit division word.
    std::uint16_t Division() const { return m_nDivision; }

    // The end of the song: the latest end of track (format 2: the end of the last pattern).
    std::int64_t TotalMicros() const { return m_nTotalMicros; }
    std::uint64_t TotalTicks() const { return m_nTotalTicks; }
    // The song's clock (song/tempo_map.h): the same one the piano roll draws with.
    const CTempoMap& TempoMap() const { return m_tempo; }

    // The index of the first event at or after `micros` (Events().size() past the end).
    std::size_t IndexAt(std::int64_t micros) const;
    // The state of all 16 channels after every event before `micros` has been played.
    std::array<CChannelState, 16> StateAt(std::int64_t micros) const;
    // The state after the first `count` events have been played, for a sequencer that stopped
    // between events of the same time (StateAt(t) is StateAfter(IndexAt(t))).
    std::array<CChannelState, 16> StateAfter(std::size_t count) const;

private:
    std::vector<CMidiEvent> m_events;
    std::vector<std::uint8_t> m_bytes;
    int m_nFormat = 0;
    int m_nTracks = 0;
    std::uint16_t m_nDivision = 0;
    std::int64_t m_nTotalMicros = 0;
    std::uint64_t m_nTotalTicks = 0;
    CTempoMap m_tempo;
};
