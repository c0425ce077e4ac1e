// Drives the sequencer itself with a recording MIDI output that serves cycles of 128 frames
// with a fuzzed room in each: a fuzzed song is played, sought to fuzzed times, paused, resumed,
// its clock made to jump, and at the end paused and given cycles until nothing waits. What must
// hold: the output is never handed a message larger than its room, the frames of what it gets
// never go backwards, and every note-on is matched by a note-off by the end.

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "midi_output.h"
#include "sequencer_engine.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::uint32_t kCycleFrames = 128;

class CRecordingOutput final : public IMidiOutput
{
public:
    explicit CRecordingOutput(std::map<int, int>& held) : m_held(held) {}

    const std::string& Name() const override { return m_strName; }
    bool IsClocked() const override { return true; }
    int SampleRate() const override { return 48000; }
    std::size_t Room() const override { return m_bInCycle ? m_nRoom : 0; }
    bool IsCycleEmpty() const override { return m_bInCycle && m_bEmpty; }
    bool Send(const std::uint8_t* bytes, std::size_t size) override
    {
        Check(m_bInCycle && size > 0 && size <= m_nRoom);
        const std::uint64_t frame = std::uint64_t{m_nCycleStart} + std::min(m_nOffset, 127u);
        Check(frame >= m_nLastFrame);
        m_nLastFrame = frame;
        m_nRoom -= size;
        m_bEmpty = false;
        const std::uint8_t kind = bytes[0] & 0xF0;
        if (size == 3 && (kind == 0x80 || kind == 0x90))
        {
            int& count = m_held[(bytes[0] & 0x0F) * 128 + bytes[1]];
            if (kind == 0x90 && bytes[2] != 0)
                ++count;
            else if (count > 0)
                --count;
        }
        return true;
    }
    std::uint32_t NextCycleFrame() const override { return m_nNextStart; }
    std::uint32_t CycleStartFrame() const override { return m_nCycleStart; }
    void BeginCycle() override
    {
        m_bInCycle = true;
        m_bEmpty = true;
        m_nOffset = 0;
        m_nRoom = m_nCapacity;
    }
    void SetCycleOffset(std::uint32_t frame) override
    {
        Check(frame >= m_nOffset || frame == 0);
        m_nOffset = frame;
    }
    void EndCycle() override { m_bInCycle = false; }
    void Close() override {}

    // The next cycle, with `capacity` bytes of room; a jump moves the clock on first.
    void Next(std::size_t capacity, std::uint32_t jump)
    {
        m_nCapacity = capacity;
        m_nCycleStart = m_nNextStart + jump;
        m_nNextStart = m_nCycleStart + kCycleFrames;
        // A jump restarts the output's own frame count, as a restarted server does.
        if (jump != 0)
            m_nLastFrame = 0;
    }

private:
    std::map<int, int>& m_held;
    std::string m_strName = "recording";
    bool m_bInCycle = false;
    bool m_bEmpty = true;
    std::size_t m_nCapacity = 0;
    std::size_t m_nRoom = 0;
    std::uint32_t m_nOffset = 0;
    std::uint32_t m_nCycleStart = 0;
    std::uint32_t m_nNextStart = 1000;
    std::uint64_t m_nLastFrame = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CSequencerEngine* engine = []
    {
        PlayerOptions options;
        options.strMidiPort = "recording"; // no SoundFont is loaded for a port
        return new CSequencerEngine(options);
    }();
    FuzzedDataProvider input(data, size);
    const std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(3, 2048);
    const std::string song = input.ConsumeRandomLengthString(4096);
    std::map<int, int> held;
    auto output = std::make_unique<CRecordingOutput>(held);
    CRecordingOutput* out = output.get();
    if (!engine->OpenWithOutput(reinterpret_cast<const std::uint8_t*>(song.data()), song.size(),
                                std::move(output)))
        return 0;
    const auto cycle = [&](std::uint32_t jump)
    {
        out->Next(capacity, jump);
        engine->ServeCycle(kCycleFrames);
    };
    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step)
    {
        switch (input.ConsumeIntegralInRange(0, 5))
        {
        case 0:
            engine->Play();
            break;
        case 1:
            engine->Seek(input.ConsumeFloatingPointInRange(-1.0, engine->TotalSeconds() + 1.0));
            break;
        case 2:
            engine->Pause();
            break;
        case 3:
            engine->Resume();
            break;
        case 4:
            for (int n = input.ConsumeIntegralInRange(1, 400); n > 0; --n)
                cycle(0);
            break;
        default:
            cycle(input.ConsumeIntegral<std::uint32_t>());
            break;
        }
    }
    engine->Pause();
    for (int n = 0; n < 100000 && engine->HasWaitingMessages(); ++n)
        cycle(0);
    Check(!engine->HasWaitingMessages());
    for (const auto& [key, count] : held)
        Check(count == 0);
    engine->Close();
    return 0;
}
