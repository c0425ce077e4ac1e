#pragma once
// A MIDI output port of the ALSA sequencer or of JACK, reached through RtMidi: the list of the
// ports there are, and one of them opened by a part of its name. With JACK our own output port is
// connected to the chosen one.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

class CMidiPort
{
public:
    CMidiPort();
    ~CMidiPort();
    CMidiPort(const CMidiPort&) = delete;
    CMidiPort& operator=(const CMidiPort&) = delete;

    // Every output port of every API there is, by full name (JACK: "client:port").
    static std::vector<std::string> List(std::string& error);

    // Opens the first port whose full name contains `part`. False with `error` set when there is
    // none or it cannot be opened.
    bool Open(const std::string& part, std::string& error);
    void Close();
    bool IsOpen() const { return m_out != nullptr; }
    const std::string& Name() const { return m_strName; }

    // One complete message (a channel message, or a sysex from F0 to F7). Never throws.
    void Send(const std::uint8_t* bytes, std::size_t size);

private:
    std::unique_ptr<RtMidiOut> m_out;
    std::string m_strName;
};
