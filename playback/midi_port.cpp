#include "midi_port.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include <RtMidi.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include "log_capture.h"

namespace
{

// The program's name as the other side of a connection sees it.
constexpr const char* kClientName = "tarvel1";

// libjack prints to stderr when no server runs, and RtMidi hands its warnings to std::cerr
// unless given a callback: both are kept off the terminal, the reasons go into our messages.
jack_client_t* OpenJackClient(const char* name)
{
    InstallLogCapture();
    jack_status_t status;
    return jack_client_open(name, JackNoStartServer, &status);
}

void IgnoreRtMidiMessage(RtMidiError::Type, const std::string&, void*) {}

// RtMidi's constructor warns on std::cerr before a callback can be given to it; what matters
// reaches us as an exception or as an empty list.
std::unique_ptr<RtMidiOut> MakeRtMidiOut(RtMidi::Api api = RtMidi::LINUX_ALSA)
{
    InstallLogCapture(); // libasound's own lines when there is no ALSA sequencer
    std::streambuf* saved = std::cerr.rdbuf(nullptr);
    std::unique_ptr<RtMidiOut> out;
    try
    {
        out = std::make_unique<RtMidiOut>(api, kClientName);
    }
    catch (...)
    {
        std::cerr.rdbuf(saved);
        std::cerr.clear();
        throw;
    }
    std::cerr.rdbuf(saved);
    std::cerr.clear();
    out->setErrorCallback(IgnoreRtMidiMessage, nullptr);
    return out;
}

struct PortEntry
{
    bool bJack;
    unsigned int nIndex; // ALSA: RtMidi's port number
    std::string strName;
};

std::vector<PortEntry> Enumerate(std::string& error)
{
    std::vector<PortEntry> ports;
    std::string reasons;
    bool asked = false;
    if (jack_client_t* client = OpenJackClient("tarvel1-list"))
    {
        // The inputs of other clients are where our output can go.
        if (const char** names =
                jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput))
        {
            for (const char** name = names; *name != nullptr; ++name)
                ports.push_back({true, 0, *name});
            jack_free(names);
        }
        jack_client_close(client);
        asked = true;
    }
    else
        reasons = "JACK: no server";
    try
    {
        std::unique_ptr<RtMidiOut> out = MakeRtMidiOut();
        const unsigned int count = out->getPortCount();
        for (unsigned int i = 0; i < count; ++i)
            ports.push_back({false, i, out->getPortName(i)});
        asked = true;
    }
    catch (const RtMidiError& e)
    {
        reasons += "; ALSA: " + e.getMessage();
    }
    // No port where a system could be asked is a plain empty list, not a failure.
    if (!asked)
        error = reasons;
    return ports;
}

} // namespace

CMidiPort::CMidiPort() = default;

CMidiPort::~CMidiPort()
{
    Close();
}

std::vector<std::string> CMidiPort::List(std::string& error)
{
    error.clear();
    std::vector<std::string> names;
    for (const PortEntry& port : Enumerate(error))
        names.push_back(port.strName);
    return names;
}

bool CMidiPort::Open(const std::string& part, CycleHandler handler, void* data, std::string& error)
{
    Close();
    std::string listError;
    for (const PortEntry& port : Enumerate(listError))
    {
        if (port.strName.find(part) == std::string::npos)
            continue;
        // The ALSA sequencer cannot be reached on machines without sound hardware; its path
        // (RtMidi and our own timing thread) can be taken to a JACK port instead, to try it.
        const bool throughRtMidi = std::getenv(kJackThroughRtMidiVariable) != nullptr;
        if (port.bJack && !throughRtMidi)
        {
            m_client = OpenJackClient(kClientName);
            if (m_client == nullptr)
            {
                error = "JACK: no server";
                return false;
            }
            m_port =
                jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
            m_handler = handler;
            m_pHandlerData = data;
            m_nSampleRate = static_cast<int>(jack_get_sample_rate(m_client));
            if (m_port == nullptr || jack_set_process_callback(m_client, Process, this) != 0 ||
                jack_activate(m_client) != 0 ||
                jack_connect(m_client, jack_port_name(m_port), port.strName.c_str()) != 0)
            {
                error = port.strName + ": JACK";
                Close();
                return false;
            }
            m_strName = port.strName;
            return true;
        }
        try
        {
            std::unique_ptr<RtMidiOut> out =
                MakeRtMidiOut(port.bJack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA);
            unsigned int index = port.nIndex;
            for (unsigned int i = 0; port.bJack && i < out->getPortCount(); ++i)
                if (out->getPortName(i) == port.strName)
                    index = i;
            out->openPort(index, "out");
            if (!out->isPortOpen())
            {
                error = port.strName;
                return false;
            }
            m_out = std::move(out);
            m_strName = port.strName;
            return true;
        }
        catch (const RtMidiError& e)
        {
            error = port.strName + ": " + e.getMessage();
            return false;
        }
    }
    error = listError.empty() ? "-" : listError;
    return false;
}

void CMidiPort::Close()
{
    if (m_client != nullptr)
    {
        // Deactivating waits for the cycle that runs, so no handler call outlives this.
        jack_deactivate(m_client);
        jack_client_close(m_client);
        m_client = nullptr;
        m_port = nullptr;
    }
    m_out.reset();
    m_pending.clear();
    m_strName.clear();
}

void CMidiPort::Send(const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0)
        return;
    if (m_client != nullptr)
    {
        if (m_bInCycle && m_pCycleBuffer != nullptr)
        {
            // A full buffer loses the message: the server's cycle cannot wait.
            jack_midi_event_write(m_pCycleBuffer, std::min(m_nOffset, m_nCycleFrames - 1), bytes,
                                  size);
        }
        else if (size <= 0xFFFF)
        {
            m_pending.push_back(static_cast<std::uint8_t>(size >> 8));
            m_pending.push_back(static_cast<std::uint8_t>(size & 0xFF));
            m_pending.insert(m_pending.end(), bytes, bytes + size);
        }
        return;
    }
    if (m_out == nullptr)
        return;
    try
    {
        m_out->sendMessage(bytes, size);
    }
    catch (const RtMidiError&)
    {
        // A port that went away mid-song: the song plays on to nobody rather than stopping.
    }
}

std::uint32_t CMidiPort::NextCycleFrame() const
{
    if (m_client == nullptr)
        return 0;
    return jack_last_frame_time(m_client) + jack_get_buffer_size(m_client);
}

void CMidiPort::BeginCycle()
{
    m_bInCycle = true;
    m_nOffset = 0;
    // What was sent between two cycles (a pause, a resume's chase) goes first.
    std::size_t at = 0;
    while (at + 2 <= m_pending.size())
    {
        const std::size_t size = (std::size_t{m_pending[at]} << 8) | m_pending[at + 1];
        if (m_pCycleBuffer != nullptr)
            jack_midi_event_write(m_pCycleBuffer, 0, m_pending.data() + at + 2, size);
        at += 2 + size;
    }
    m_pending.clear();
}

void CMidiPort::EndCycle()
{
    m_bInCycle = false;
}

int CMidiPort::Process(std::uint32_t frames, void* data)
{
    auto* self = static_cast<CMidiPort*>(data);
    void* buffer = jack_port_get_buffer(self->m_port, frames);
    jack_midi_clear_buffer(buffer);
    self->m_pCycleBuffer = buffer;
    self->m_nCycleFrames = frames;
    self->m_nCycleStart = jack_last_frame_time(self->m_client);
    if (self->m_handler != nullptr)
        self->m_handler(self->m_pHandlerData, frames);
    self->m_pCycleBuffer = nullptr;
    return 0;
}
