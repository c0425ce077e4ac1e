// Reads arbitrary bytes as a song for the sequencer, checking what must hold for any input: a
// refused file leaves the sequence empty with a reason; a read one has its events in time order,
// every sysex framed F0 ... F7 inside the byte store, and chasing never yields a value outside
// what MIDI can carry.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "midi_sequence.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckState(const std::array<CChannelState, 16>& state)
{
    for (const CChannelState& ch : state)
    {
        Check(ch.nProgram >= -1 && ch.nProgram <= 127);
        Check(ch.nPitchBend >= 0 && ch.nPitchBend < 16384);
        for (int value : ch.controllers)
            Check(value >= -1 && value <= 127);
        for (const auto& [note, velocity] : ch.heldNotes)
            Check(note <= 127 && velocity >= 1 && velocity <= 127);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CMidiSequence seq;
    std::string reason;
    if (!seq.Read(data, size, reason))
    {
        Check(!reason.empty() && seq.Events().empty() && seq.Bytes().empty());
        Check(seq.TotalMicros() == 0 && seq.TotalTicks() == 0);
        return 0;
    }
    Check(seq.Format() >= 0 && seq.Format() <= 2 && seq.Tracks() > 0);
    const auto& events = seq.Events();
    const auto& bytes = seq.Bytes();
    for (std::size_t i = 0; i < events.size(); ++i)
    {
        const CMidiEvent& ev = events[i];
        Check(ev.nMicros >= 0 && ev.nMicros <= seq.TotalMicros() && ev.nTick <= seq.TotalTicks());
        if (i > 0)
            Check(events[i - 1].nMicros <= ev.nMicros && events[i - 1].nTick <= ev.nTick);
        if (ev.kind == CMidiEvent::Kind::Channel)
        {
            Check(ev.status >= 0x80 && ev.status < 0xF0 && ev.data1 < 0x80 && ev.data2 < 0x80);
            continue;
        }
        Check(ev.nLength > 0 && ev.nOffset <= bytes.size() &&
              ev.nLength <= bytes.size() - ev.nOffset);
        if (ev.kind == CMidiEvent::Kind::SysEx)
            Check(ev.nLength >= 2 && bytes[ev.nOffset] == 0xF0 &&
                  bytes[ev.nOffset + ev.nLength - 1] == 0xF7);
    }
    Check(seq.IndexAt(0) == 0 && seq.IndexAt(seq.TotalMicros() + 1) == events.size());
    CheckState(seq.StateAt(seq.TotalMicros() / 2));
    CheckState(seq.StateAt(seq.TotalMicros() + 1));
    return 0;
}
