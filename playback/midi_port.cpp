#include "midi_port.h"

#include <iostream>
#include <mutex>

#include <RtMidi.h>
#include <jack/jack.h>

#include "log_capture.h"

namespace
{

// The program's name as the other side of a connection sees it.
constexpr const char* kClientName = "tarvel1";

// libjack prints to stderr when no server runs, and RtMidi hands its warnings to std::cerr
// unless given a callback: both are kept off the terminal, the reasons go into our messages.
void QuietJack()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       jack_set_error_function([](const char*) {});
                       jack_set_info_function([](const char*) {});
                   });
}

// RtMidi says nothing when no JACK server runs; it only finds no ports.
bool JackServerRuns()
{
    QuietJack();
    jack_status_t status;
    jack_client_t* client = jack_client_open("tarvel1-probe", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

void IgnoreRtMidiMessage(RtMidiError::Type, const std::string&, void*) {}

// RtMidi's constructor warns on std::cerr before a callback can be given to it (no JACK server
// running, for one); what matters reaches us as an exception or as an empty list.
std::unique_ptr<RtMidiOut> MakeQuietOut(RtMidi::Api api)
{
    InstallLogCapture(); // libasound's own lines when there is no ALSA sequencer
    QuietJack();
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
    RtMidi::Api api;
    unsigned int nIndex;
    std::string strName;
};

std::vector<PortEntry> Enumerate(std::string& error)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::vector<PortEntry> ports;
    bool asked = false;
    std::string reasons;
    for (RtMidi::Api api : apis)
    {
        if (api != RtMidi::LINUX_ALSA && api != RtMidi::UNIX_JACK)
            continue;
        if (api == RtMidi::UNIX_JACK && !JackServerRuns())
        {
            reasons += std::string(reasons.empty() ? "" : "; ") + "JACK: no server";
            continue;
        }
        try
        {
            std::unique_ptr<RtMidiOut> out = MakeQuietOut(api);
            const unsigned int count = out->getPortCount();
            for (unsigned int i = 0; i < count; ++i)
                ports.push_back({api, i, out->getPortName(i)});
            asked = true;
        }
        catch (const RtMidiError& e)
        {
            reasons += std::string(reasons.empty() ? "" : "; ") + RtMidi::getApiDisplayName(api) +
                       ": " + e.getMessage();
        }
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

bool CMidiPort::Open(const std::string& part, std::string& error)
{
    Close();
    std::string listError;
    for (const PortEntry& port : Enumerate(listError))
    {
        if (port.strName.find(part) == std::string::npos)
            continue;
        try
        {
            std::unique_ptr<RtMidiOut> out = MakeQuietOut(port.api);
            // With JACK this makes our port and connects it to the chosen one.
            out->openPort(port.nIndex, "out");
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
    error = listError;
    return false;
}

void CMidiPort::Close()
{
    m_out.reset();
    m_strName.clear();
}

void CMidiPort::Send(const std::uint8_t* bytes, std::size_t size)
{
    if (m_out == nullptr || size == 0)
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
