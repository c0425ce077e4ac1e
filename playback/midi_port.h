#pragma once
// A MIDI output port of the ALSA sequencer or of JACK: the list of the ports there are, and one
// of them opened by a part of its name. The ALSA sequencer is reached through RtMidi and takes
// each message when it is sent. JACK is reached directly: our own client's output port is
// connected to the chosen one, and messages are placed on the frame they belong to, from inside
// the server's cycle, as the synthesizer gets its events from inside its audio callback.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi_output.h"

class RtMidiOut;

// Set (to anything), JACK ports are reached the way ALSA sequencer ports are: through RtMidi and
// our own timing thread. For trying that path where there is no ALSA sequencer.
constexpr std::size_t kRtMidiBurstBytes = 256;
constexpr std::int64_t kRtMidiBurstMicros = 2000;
constexpr const char* kJackThroughRtMidiVariable = "TARVEL1_JACK_THROUGH_RTMIDI";
typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

class CMidiPort final : public IMidiOutput
{
public:
    // Called from the JACK server's thread once a cycle of `frames` frames; between
    // BeginCycle() and EndCycle() every Send() lands on the frame set by SetCycleOffset().
    using CycleHandler = void (*)(void* data, std::uint32_t frames);

    CMidiPort();
    ~CMidiPort();
    CMidiPort(const CMidiPort&) = delete;
    CMidiPort& operator=(const CMidiPort&) = delete;

    // Every output port there is, by full name (JACK: "client:port").
    static std::vector<std::string> List(std::string& error);

    // Opens the first port whose full name contains `part`. False with `error` set when there is
    // none or it cannot be opened. `handler` serves a JACK port's cycles.
    bool Open(const std::string& part, CycleHandler handler, void* data, std::string& error);
    void Close() override;
    bool IsOpen() const { return m_out != nullptr || m_client != nullptr; }
    const std::string& Name() const override { return m_strName; }
    // True for a JACK port: its time is counted in the server's frames, at SampleRate().
    bool IsClocked() const override { return m_client != nullptr; }
    int SampleRate() const override { return m_nSampleRate; }

    // How many bytes one message may have that the port takes now; a message larger than this
    // must wait (the sequencer keeps it, in order, for later). JACK: the room left in the
    // cycle's buffer, 0 outside a cycle. Through RtMidi: a budget of kRtMidiBurstBytes that
    // refills at that many bytes every kRtMidiBurstMicros, since RtMidi's own JACK path loses
    // what its cycle cannot hold and the ALSA sequencer's queue is finite too.
    std::size_t Room() const override;
    // Nothing could be taken before now (a JACK cycle into which nothing was written yet, a
    // full budget): a message that does not fit now never will.
    bool IsCycleEmpty() const override;
    // One complete message (a channel message, or a sysex from F0 to F7), which must fit Room().
    // Never throws; false when the port did not take it.
    bool Send(const std::uint8_t* bytes, std::size_t size) override;

    // JACK: the first frame of the cycle to come, and of the cycle being served. Both wrap
    // around at 2^32.
    std::uint32_t NextCycleFrame() const override;
    std::uint32_t CycleStartFrame() const override { return m_nCycleStart; }

    // For the cycle handler only.
    void BeginCycle() override;
    void SetCycleOffset(std::uint32_t frame) override { m_nOffset = frame; }
    void EndCycle() override;

private:
    static int Process(std::uint32_t frames, void* data);

    std::unique_ptr<RtMidiOut> m_out;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    CycleHandler m_handler = nullptr;
    void* m_pHandlerData = nullptr;
    void* m_pCycleBuffer = nullptr; // set by the server's thread for the cycle it runs
    std::uint32_t m_nCycleFrames = 0;
    std::uint32_t m_nCycleStart = 0;
    bool m_bInCycle = false;
    std::uint32_t m_nOffset = 0;
    bool m_bCycleEmpty = true;
    mutable double m_dBudget = 0;             // RtMidi: bytes it may take now
    mutable std::int64_t m_nBudgetMicros = 0; // when m_dBudget was last brought up to date
    int m_nSampleRate = 0;
    std::string m_strName;
};
