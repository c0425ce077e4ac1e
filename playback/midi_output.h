#pragma once
// What the sequencer needs of a MIDI output: where it sends the song's messages, and how much it
// takes now. The sequencer never hands an output a message larger than Room(); what does not fit
// waits in the sequencer's own queue, in order, for the next cycle or the next wake-up. A
// clocked output (JACK) serves cycles of frames from its own thread and calls the sequencer's
// cycle handler between BeginCycle() and EndCycle(); an unclocked one takes messages when they
// are due by the sequencer's thread.

#include <cstddef>
#include <cstdint>
#include <string>

class IMidiOutput
{
public:
    virtual ~IMidiOutput() = default;

    virtual const std::string& Name() const = 0;
    // True when time is counted in the output's frames, at SampleRate().
    virtual bool IsClocked() const = 0;
    virtual int SampleRate() const = 0;

    // How many bytes one message may have that the output takes now.
    virtual std::size_t Room() const = 0;
    // Nothing could be taken before now: a message that does not fit now never will.
    virtual bool IsCycleEmpty() const = 0;
    // One complete message that fits Room(); false when the output did not take it.
    virtual bool Send(const std::uint8_t* bytes, std::size_t size) = 0;

    // Clocked: the first frame of the cycle to come, and of the cycle being served (both wrap
    // at 2^32); the frame within the cycle that the next Send() lands on.
    virtual std::uint32_t NextCycleFrame() const = 0;
    virtual std::uint32_t CycleStartFrame() const = 0;
    virtual void BeginCycle() = 0;
    virtual void SetCycleOffset(std::uint32_t frame) = 0;
    virtual void EndCycle() = 0;

    virtual void Close() = 0;
};
