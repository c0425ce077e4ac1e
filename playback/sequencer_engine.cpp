#include "sequencer_engine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <time.h>

#include <unistd.h>

#include <SDL.h>
#include <fluidsynth.h>

#include "log_capture.h"
#include "midi_port.h"
#include "sound_font.h"
#include "string_table.h"

namespace
{

// The order in which a desktop's own audio route is tried: the sound server first (PulseAudio,
// or PipeWire through its PulseAudio face), then the card itself, then the rarer servers.
const char* const kDefaultDrivers[] = {"pulseaudio", "alsa", "jack", "sdl2"};

// Frames per block of the silent output: about 6 ms, so that a pause or a close waits no longer.
constexpr int kSilentBlockFrames = 256;
// Frames per call when a whole song is rendered.
constexpr std::size_t kRenderBlockFrames = 4096;
// A song whose voices ring on after its last tick is cut this long after it.
constexpr double kRenderTailSeconds = 30.0;
// How long the effects ring on in a render once the last voice has gone.
constexpr double kRenderRingSeconds = 2.0;
constexpr std::uint8_t kBankSelect = 0;
constexpr std::uint8_t kBankSelectLsb = 32;
constexpr std::uint8_t kSustainPedal = 64;
constexpr std::uint8_t kSostenutoPedal = 66;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kResetControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;
// The MIDI port's thread looks at the player's state at least this often while it sleeps, so
// that a resume or a seek is heard without delay.
constexpr std::int64_t kPortPollMicros = 2000;

std::int64_t MonotonicMicros()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void SleepUntilMicros(std::int64_t micros)
{
    timespec until;
    until.tv_sec = static_cast<time_t>(micros / 1000000);
    until.tv_nsec = static_cast<long>(micros % 1000000) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR)
    {
    }
}

// The frame of the synthesizer's output on which an event at `micros` falls.
std::int64_t FrameOf(std::int64_t micros, int rate)
{
    return micros * rate / 1000000;
}

std::int64_t MicrosOf(std::int64_t frames, int rate)
{
    return frames * 1000000 / rate;
}

// Bytes of a channel message, its status byte included.
std::size_t ChannelMessageSize(std::uint8_t status)
{
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

void ApplyToSynth(fluid_synth_t* synth, const std::uint8_t* bytes, std::size_t size)
{
    const std::uint8_t status = bytes[0];
    if (status == 0xF0)
    {
        // FluidSynth takes the message without its F0 and F7.
        std::size_t length = size - 1;
        if (length > 0 && bytes[size - 1] == 0xF7)
            --length;
        fluid_synth_sysex(synth, reinterpret_cast<const char*>(bytes + 1), static_cast<int>(length),
                          nullptr, nullptr, nullptr, 0);
        return;
    }
    if (status < 0x80 || status >= 0xF0 || size < ChannelMessageSize(status))
        return;
    const int channel = status & 0x0F;
    const int data1 = bytes[1] & 0x7F;
    const int data2 = size > 2 ? bytes[2] & 0x7F : 0;
    switch (status & 0xF0)
    {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case 0x90:
        // A note-on with velocity 0 is a note-off.
        if (data2 == 0)
            fluid_synth_noteoff(synth, channel, data1);
        else
            fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    default:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        break;
    }
}

std::vector<std::string> DriverNames(fluid_settings_t* settings)
{
    std::vector<std::string> names;
    fluid_settings_foreach_option(
        settings, "audio.driver", &names,
        [](void* data, const char*, const char* option)
        { static_cast<std::vector<std::string>*>(data)->push_back(option); });
    return names;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (const std::string& part : parts)
    {
        if (!text.empty())
            text += separator;
        text += part;
    }
    return text;
}

} // namespace

CSequencerEngine::CSequencerEngine(PlayerOptions options) : m_options(std::move(options))
{
    InstallLogCapture();
    if (m_options.strAudioDriver.empty() && m_options.output == AudioOutput::Device)
    {
        const char* driver = std::getenv(kAudioDriverVariable);
        if (driver != nullptr)
            m_options.strAudioDriver = driver;
    }
    if (m_options.output == AudioOutput::Device && m_options.strAudioDriver == kNoAudioDriver)
        m_options.output = AudioOutput::Silent;

    m_settings = new_fluid_settings();
    if (m_settings != nullptr)
    {
        fluid_settings_setnum(m_settings, "synth.sample-rate", kPlayerSampleRate);
        // The player's clock is the count of rendered samples, so that its tick follows the
        // audio exactly, in real time through a driver or as fast as the machine renders.
        fluid_settings_setstr(m_settings, "player.timing-source", "sample");
        // Without this a JACK client starts unconnected and nothing is heard.
        fluid_settings_setint(m_settings, "audio.jack.autoconnect", 1);
        m_synth = new_fluid_synth(m_settings);
    }
    if (m_synth == nullptr)
    {
        m_strSoundFontError = FormatResString(IDS_PLAYER_SYNTH_FAILED, CapturedErrorsSince(0));
        return;
    }
    // A MIDI port needs no SoundFont; the synthesizer stays for Render()'s silence.
    if (m_options.strMidiPort.empty())
        m_soundFontLoad = std::async(std::launch::async, [this] { LoadSoundFont(); });
}

CSequencerEngine::~CSequencerEngine()
{
    if (m_soundFontLoad.valid())
        m_soundFontLoad.wait();
    Close();
    if (m_synth != nullptr)
        delete_fluid_synth(m_synth);
    if (m_settings != nullptr)
        delete_fluid_settings(m_settings);
}

void CSequencerEngine::LoadSoundFont()
{
    // Runs on its own thread while the program starts; it touches only the synthesizer, which
    // nobody renders before the first Open() has waited for this.
    std::string searched;
    m_strSoundFontPath = FindSoundFont(m_options.strSoundFont, &searched);
    if (m_strSoundFontPath.empty())
    {
        m_strSoundFontError = FormatResString(IDS_PLAYER_NO_SOUNDFONT, searched);
        return;
    }
    if (access(m_strSoundFontPath.c_str(), R_OK) != 0)
    {
        m_strSoundFontError =
            FormatResString(IDS_PLAYER_BAD_SOUNDFONT, m_strSoundFontPath, std::strerror(errno));
        return;
    }
    // A file that is not a SoundFont at all makes the loader's library print to stderr; the
    // header check is quiet.
    const std::uint64_t mark = LogCaptureMark();
    if (!fluid_is_soundfont(m_strSoundFontPath.c_str()))
    {
        m_strSoundFontError = FormatResString(IDS_PLAYER_BAD_SOUNDFONT, m_strSoundFontPath,
                                              LoadResString(IDS_PLAYER_NOT_A_SOUNDFONT));
        return;
    }
    // A check before anything is written needs to know that the SoundFont will load, not
    // to load it twice.
    if (m_options.bCheckOnly)
    {
        m_bSoundFontReady = true;
        return;
    }
    int loaded;
    {
        CGlibLogCapture glibMessages;
        loaded = fluid_synth_sfload(m_synth, m_strSoundFontPath.c_str(), 1);
    }
    if (loaded == FLUID_FAILED)
    {
        m_strSoundFontError = FormatResString(IDS_PLAYER_BAD_SOUNDFONT, m_strSoundFontPath,
                                              CapturedErrorsSince(mark));
        return;
    }
    m_bSoundFontReady = true;
}

bool CSequencerEngine::WaitForSoundFont()
{
    if (m_soundFontLoad.valid())
        m_soundFontLoad.get();
    if (m_bSoundFontReady || (!m_options.strMidiPort.empty() && m_synth != nullptr))
        return true;
    return Fail(m_strSoundFontError);
}

bool CSequencerEngine::Fail(std::string text)
{
    m_strError = std::move(text);
    return false;
}

bool CSequencerEngine::CheckAudioOutput()
{
    if (m_bOpen)
        return true;
    if (!OpenOutput())
        return false;
    CloseOutput();
    return true;
}

bool CSequencerEngine::Open(const std::uint8_t* song, std::size_t size, const std::string& name)
{
    Close();
    if (!WaitForSoundFont())
        return false;
    CMidiSequence sequence;
    std::string reason;
    if (!sequence.Read(song, size, reason))
        return Fail(FormatResString(IDS_PLAYER_CANNOT_PLAY, name, reason));

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sequence = std::move(sequence);
        m_nNext = 0;
        m_nPosFrames = 0;
        m_nPosMicros = 0;
        m_bStarted = false;
        m_bPaused = false;
        m_bEnded = false;
    }
    if (!OpenOutput())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sequence.Clear();
        return false;
    }
    m_bOpen = true;
    return true;
}

void CSequencerEngine::SendLocked(const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0)
        return;
    const std::uint8_t status = bytes[0];
    if (status >= 0x80 && status < 0xF0 && size >= 3)
    {
        // Held notes are counted so that the end of the song and a pause can let them go.
        const int channel = status & 0x0F;
        const std::uint8_t note = bytes[1] & 0x7F;
        const std::uint8_t kind = status & 0xF0;
        if (kind == 0x90 && bytes[2] != 0)
        {
            if (m_held[channel][note] < 255)
                ++m_held[channel][note];
        }
        else if ((kind == 0x80 || kind == 0x90) && m_held[channel][note] > 0)
            --m_held[channel][note];
    }
    if (UsesPort())
        m_port->Send(bytes, size);
    else if (m_synth != nullptr)
        ApplyToSynth(m_synth, bytes, size);
}

void CSequencerEngine::SendEventLocked(const CMidiEvent& event)
{
    if (event.kind == CMidiEvent::Kind::Channel)
    {
        const std::uint8_t bytes[3] = {event.status, event.data1, event.data2};
        SendLocked(bytes, ChannelMessageSize(event.status));
        return;
    }
    const std::vector<std::uint8_t>& all = m_sequence.Bytes();
    if (event.nLength == 0 || std::size_t{event.nOffset} + event.nLength > all.size())
        return;
    const std::uint8_t* bytes = all.data() + event.nOffset;
    // A sysex is kept whole, from its F0 to its F7; an escape is sent as it stands.
    SendLocked(bytes, event.nLength);
}

void CSequencerEngine::DispatchDueLocked(std::int64_t micros)
{
    const std::vector<CMidiEvent>& events = m_sequence.Events();
    while (m_nNext < events.size() && events[m_nNext].nMicros <= micros)
        SendEventLocked(events[m_nNext++]);
    if (m_nNext >= events.size() && micros >= m_sequence.TotalMicros())
        ReleaseAtEndLocked();
}

void CSequencerEngine::SilenceLocked()
{
    // Notes held by the pedals would ring on through a note-off: the pedals go first. Each held
    // note also gets its own note-off, for devices that ignore "all notes off".
    for (std::uint8_t channel = 0; channel < kChannels; ++channel)
    {
        const std::uint8_t status = 0xB0 | channel;
        for (std::uint8_t controller : {kSustainPedal, kSostenutoPedal})
        {
            const std::uint8_t pedal[3] = {status, controller, 0};
            SendLocked(pedal, 3);
        }
        for (std::uint8_t note = 0; note < 128; ++note)
        {
            while (m_held[channel][note] > 0)
            {
                const std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | channel), note, 0};
                SendLocked(off, 3);
            }
        }
        for (std::uint8_t controller : {kAllNotesOff, kAllSoundOff})
        {
            const std::uint8_t message[3] = {status, controller, 0};
            SendLocked(message, 3);
        }
    }
}

void CSequencerEngine::ReleaseAtEndLocked()
{
    // The song may leave notes on or a pedal down: they are let go, and the voices die away in
    // their own time, as they would after the last note-off.
    for (std::uint8_t channel = 0; channel < kChannels; ++channel)
    {
        for (std::uint8_t note = 0; note < 128; ++note)
        {
            while (m_held[channel][note] > 0)
            {
                const std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | channel), note, 0};
                SendLocked(off, 3);
            }
        }
        for (std::uint8_t controller : {kSustainPedal, kSostenutoPedal})
        {
            const std::uint8_t pedal[3] = {static_cast<std::uint8_t>(0xB0 | channel), controller,
                                           0};
            SendLocked(pedal, 3);
        }
    }
    m_bEnded = true;
    m_nPosMicros = m_sequence.TotalMicros();
    m_nPosFrames = FrameOf(m_nPosMicros, m_nRate);
}

void CSequencerEngine::ChaseLocked()
{
    // Every event before the next one to send has been sent: the state after them is the one
    // to stand in.
    const std::vector<CMidiEvent>& events = m_sequence.Events();
    const std::int64_t at =
        m_nNext < events.size() ? events[m_nNext].nMicros : m_sequence.TotalMicros() + 1;
    const std::array<CChannelState, 16> state = m_sequence.StateAt(at);
    for (std::uint8_t channel = 0; channel < kChannels; ++channel)
    {
        const CChannelState& c = state[channel];
        const std::uint8_t control = 0xB0 | channel;
        // Bank select only counts with the program change that follows it.
        for (std::uint8_t controller : {kBankSelect, kBankSelectLsb})
        {
            if (c.controllers[controller] >= 0)
            {
                const std::uint8_t bank[3] = {control, controller,
                                              static_cast<std::uint8_t>(c.controllers[controller])};
                SendLocked(bank, 3);
            }
        }
        if (c.nProgram >= 0)
        {
            const std::uint8_t program[2] = {static_cast<std::uint8_t>(0xC0 | channel),
                                             static_cast<std::uint8_t>(c.nProgram)};
            SendLocked(program, 2);
        }
        // Channel mode messages (120 on) are not state to restore.
        for (std::uint8_t controller = 0; controller < kAllSoundOff; ++controller)
        {
            if (controller == kBankSelect || controller == kBankSelectLsb ||
                c.controllers[controller] < 0)
                continue;
            const std::uint8_t message[3] = {control, controller,
                                             static_cast<std::uint8_t>(c.controllers[controller])};
            SendLocked(message, 3);
        }
        const std::uint8_t bend[3] = {static_cast<std::uint8_t>(0xE0 | channel),
                                      static_cast<std::uint8_t>(c.nPitchBend & 0x7F),
                                      static_cast<std::uint8_t>((c.nPitchBend >> 7) & 0x7F)};
        SendLocked(bend, 3);
        if (c.nChannelPressure >= 0)
        {
            const std::uint8_t pressure[2] = {static_cast<std::uint8_t>(0xD0 | channel),
                                              static_cast<std::uint8_t>(c.nChannelPressure)};
            SendLocked(pressure, 2);
        }
        for (const auto& note : c.heldNotes)
        {
            const std::uint8_t on[3] = {static_cast<std::uint8_t>(0x90 | channel), note.first,
                                        note.second};
            SendLocked(on, 3);
        }
    }
}

void CSequencerEngine::AnchorLocked()
{
    // Where the song's start lies on the output's clock, for the position from now on. On a
    // JACK port the song goes on from the next cycle's first frame: a cycle under way cannot
    // take messages for frames it has passed.
    m_nAnchorMicros = MonotonicMicros() - m_nPosMicros;
    if (UsesPort() && m_port->IsClocked())
        m_nAnchorFrame = m_port->NextCycleFrame() - static_cast<std::uint32_t>(m_nPosFrames);
}

std::int64_t CSequencerEngine::PositionMicrosLocked() const
{
    if (UsesPort() && !m_port->IsClocked())
    {
        if (RunningLocked())
            return std::min(MonotonicMicros() - m_nAnchorMicros, m_sequence.TotalMicros());
        return m_nPosMicros;
    }
    return std::min(MicrosOf(m_nPosFrames, m_nRate), m_sequence.TotalMicros());
}

void CSequencerEngine::MoveToLocked(std::int64_t micros)
{
    micros = std::max<std::int64_t>(0, std::min(micros, m_sequence.TotalMicros()));
    m_nNext = m_sequence.IndexAt(micros);
    m_nPosMicros = micros;
    m_nPosFrames = FrameOf(micros, m_nRate);
    AnchorLocked();
    m_bEnded = false;
}

bool CSequencerEngine::Play()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    SilenceLocked();
    if (UsesPort())
    {
        for (std::uint8_t channel = 0; channel < kChannels; ++channel)
        {
            const std::uint8_t reset[3] = {static_cast<std::uint8_t>(0xB0 | channel),
                                           kResetControllers, 0};
            SendLocked(reset, 3);
        }
    }
    else
    {
        // Programs and controllers go back to their defaults. The reset leaves sounding voices
        // alone, and a sound-off sent before it is lost: it has to come after.
        fluid_synth_system_reset(m_synth);
        fluid_synth_all_sounds_off(m_synth, -1);
    }
    MoveToLocked(0);
    m_bStarted = true;
    m_bPaused = false;
    return true;
}

bool CSequencerEngine::Seek(double seconds)
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (RunningLocked())
        SilenceLocked();
    MoveToLocked(static_cast<std::int64_t>(std::max(0.0, seconds) * 1e6));
    // A paused song is chased when it resumes; one that had ended plays again from here.
    if (m_bStarted && !m_bPaused)
        ChaseLocked();
    return true;
}

bool CSequencerEngine::Pause()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bPaused)
        m_nPosMicros = PositionMicrosLocked();
    SilenceLocked();
    m_bPaused = true;
    return true;
}

bool CSequencerEngine::Resume()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bPaused && m_bStarted && !m_bEnded)
    {
        AnchorLocked();
        ChaseLocked();
    }
    m_bPaused = false;
    return true;
}

void CSequencerEngine::Close()
{
    if (m_bOpen)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        SilenceLocked();
        if (m_synth != nullptr && !UsesPort())
            fluid_synth_system_reset(m_synth);
        if (m_synth != nullptr)
            fluid_synth_all_sounds_off(m_synth, -1);
    }
    // A JACK port sends what was sent between two cycles at the next one: the silence must go
    // out before the port is closed.
    if (UsesPort() && m_port->IsClocked())
    {
        for (int wait = 0; wait < 100; ++wait)
        {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_port->HasPending())
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // The output goes next: its thread sends what the sequence holds, which is cleared after.
    CloseOutput();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sequence.Clear();
        m_nNext = 0;
        m_nPosFrames = 0;
        m_nPosMicros = 0;
        std::fill(&m_held[0][0], &m_held[0][0] + sizeof m_held, std::uint8_t{0});
        m_bEnded = false;
    }
    m_bOpen = false;
    m_bPaused = false;
    m_bStarted = false;
}

bool CSequencerEngine::IsFinished() const
{
    if (!m_bOpen || !m_bStarted || m_bPaused)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bEnded)
            return false;
        if (UsesPort())
            return true;
    }
    // The last note-off has gone out; the song is over once its last voice has died away.
    return ActiveVoices() == 0;
}

int CSequencerEngine::CurrentTick() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bOpen || !m_bStarted)
        return 0;
    if (m_bEnded)
        return static_cast<int>(m_sequence.TotalTicks());
    // Between two events the tempo cannot have changed in a way that matters to a display: the
    // tick is read off the line between the last event sent and the next one.
    const std::vector<CMidiEvent>& events = m_sequence.Events();
    const std::int64_t micros = PositionMicrosLocked();
    std::int64_t fromMicros = 0;
    std::uint64_t fromTick = 0;
    std::int64_t toMicros = m_sequence.TotalMicros();
    std::uint64_t toTick = m_sequence.TotalTicks();
    const std::size_t next = std::min(m_nNext, events.size());
    if (next > 0)
    {
        fromMicros = events[next - 1].nMicros;
        fromTick = events[next - 1].nTick;
    }
    if (next < events.size())
    {
        toMicros = events[next].nMicros;
        toTick = events[next].nTick;
    }
    if (toMicros <= fromMicros || micros <= fromMicros)
        return static_cast<int>(fromTick);
    const double part = double(std::min(micros, toMicros) - fromMicros) / (toMicros - fromMicros);
    return static_cast<int>(fromTick +
                            static_cast<std::uint64_t>(part * double(toTick - fromTick)));
}

int CSequencerEngine::TotalTicks() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bOpen ? static_cast<int>(m_sequence.TotalTicks()) : 0;
}

double CSequencerEngine::ElapsedSeconds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bOpen || !m_bStarted)
        return 0.0;
    return double(PositionMicrosLocked()) / 1e6;
}

double CSequencerEngine::TotalSeconds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bOpen ? double(m_sequence.TotalMicros()) / 1e6 : 0.0;
}

int CSequencerEngine::ActiveVoices() const
{
    return m_synth != nullptr && !UsesPort() ? fluid_synth_get_active_voice_count(m_synth) : 0;
}

template <typename Write> void CSequencerEngine::ProcessLocked(std::size_t frames, Write write)
{
    const std::vector<CMidiEvent>& events = m_sequence.Events();
    std::size_t done = 0;
    while (done < frames)
    {
        std::size_t count = frames - done;
        if (UsesPort())
            m_port->SetCycleOffset(static_cast<std::uint32_t>(done));
        if (RunningLocked())
        {
            // Everything that falls on this frame goes out before the frame is rendered.
            while (m_nNext < events.size() &&
                   FrameOf(events[m_nNext].nMicros, m_nRate) <= m_nPosFrames)
                SendEventLocked(events[m_nNext++]);
            const std::int64_t end = FrameOf(m_sequence.TotalMicros(), m_nRate);
            if (m_nNext >= events.size() && m_nPosFrames >= end)
                ReleaseAtEndLocked();
            else
            {
                const std::int64_t until =
                    m_nNext < events.size() ? FrameOf(events[m_nNext].nMicros, m_nRate) : end;
                count = static_cast<std::size_t>(
                    std::min<std::int64_t>(static_cast<std::int64_t>(count), until - m_nPosFrames));
                m_nPosFrames += static_cast<std::int64_t>(count);
            }
        }
        write(done, count);
        done += count;
    }
    m_nRenderedFrames += frames;
}

void CSequencerEngine::Render(std::int16_t* stereo, std::size_t frames)
{
    // A MIDI port keeps its own time; nothing is rendered here then.
    if (m_synth == nullptr || !m_options.strMidiPort.empty())
    {
        std::fill(stereo, stereo + 2 * frames, std::int16_t{0});
        return;
    }
    // The synthesizer must not render while its SoundFont is still being loaded.
    if (m_soundFontLoad.valid())
        WaitForSoundFont();
    std::lock_guard<std::mutex> lock(m_mutex);
    ProcessLocked(frames,
                  [&](std::size_t offset, std::size_t count)
                  {
                      std::int16_t* at = stereo + 2 * offset;
                      fluid_synth_write_s16(m_synth, static_cast<int>(count), at, 0, 2, at, 1, 2);
                  });
}

double CSequencerEngine::RenderSecondsLimit() const
{
    return TotalSeconds() + kRenderTailSeconds;
}

bool CSequencerEngine::RenderSongTo(const AudioSink& sink)
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    if (!m_bStarted && !Play())
        return false;
    const auto maxFrames = static_cast<std::size_t>(RenderSecondsLimit() * kPlayerSampleRate);
    std::vector<std::int16_t> block(2 * kRenderBlockFrames);
    std::size_t frames = 0;
    // Reverb and chorus ring on after the last voice has gone: they are given time to fade
    // instead of being cut, as the synthesizer's own renderer does.
    std::size_t tail = static_cast<std::size_t>(kRenderRingSeconds * kPlayerSampleRate);
    while (frames < maxFrames && (!IsFinished() || tail >= kRenderBlockFrames))
    {
        if (IsFinished())
            tail -= kRenderBlockFrames;
        Render(block.data(), kRenderBlockFrames);
        frames += kRenderBlockFrames;
        if (!sink(block.data(), kRenderBlockFrames))
        {
            m_strError.clear();
            return false;
        }
    }
    return true;
}

bool CSequencerEngine::RenderSong(std::vector<std::int16_t>& stereo)
{
    return RenderSongTo(
        [&stereo](const std::int16_t* samples, std::size_t frames)
        {
            stereo.insert(stereo.end(), samples, samples + 2 * frames);
            return true;
        });
}

bool CSequencerEngine::OpenOutput()
{
    m_strDriverName.clear();
    if (!m_options.strMidiPort.empty())
    {
        auto port = std::make_unique<CMidiPort>();
        std::string error;
        if (!port->Open(m_options.strMidiPort, PortCycle, this, error))
            return Fail(FormatResString(IDS_PLAYER_NO_MIDI_PORT, m_options.strMidiPort, error));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_port = std::move(port);
            m_nRate = m_port->IsClocked() ? m_port->SampleRate() : kPlayerSampleRate;
        }
        m_strDriverName = m_port->Name();
        // A JACK port is served by the server's cycle; the ALSA sequencer by a thread of ours.
        if (!m_port->IsClocked())
        {
            m_bStopThread = false;
            m_outputThread = std::thread([this] { PortLoop(); });
        }
        return true;
    }
    switch (m_options.output)
    {
    case AudioOutput::Manual:
        return true;
    case AudioOutput::Silent:
        m_bStopThread = false;
        m_outputThread = std::thread([this] { SilentOutputLoop(); });
        m_strDriverName = kNoAudioDriver;
        return true;
    case AudioOutput::Device:
        break;
    }

    const std::vector<std::string> known = DriverNames(m_settings);
    if (!m_options.strAudioDriver.empty())
    {
        const std::string& name = m_options.strAudioDriver;
        if (std::find(known.begin(), known.end(), name) == known.end())
        {
            std::vector<std::string> offered = known;
            offered.push_back(kNoAudioDriver);
            return Fail(FormatResString(IDS_PLAYER_UNKNOWN_DRIVER, name, Joined(offered, ", ")));
        }
        const std::uint64_t mark = LogCaptureMark();
        if (OpenDevice(name))
            return true;
        return Fail(
            FormatResString(IDS_PLAYER_NO_AUDIO_DEVICE, name + ": " + CapturedErrorsSince(mark)));
    }

    std::vector<std::string> reasons;
    for (const char* name : kDefaultDrivers)
    {
        if (std::find(known.begin(), known.end(), name) == known.end())
            continue;
        const std::uint64_t mark = LogCaptureMark();
        if (OpenDevice(name))
            return true;
        reasons.push_back(std::string(name) + ": " + CapturedErrorsSince(mark));
    }
    return Fail(FormatResString(IDS_PLAYER_NO_AUDIO_DEVICE, Joined(reasons, "; ")));
}

bool CSequencerEngine::OpenDevice(const std::string& name)
{
    // FluidSynth's SDL2 driver renders the synthesizer itself, past our sequencer: SDL's audio
    // is opened here with our own callback instead.
    if (name == "sdl2")
        return OpenSdl();
    fluid_settings_setstr(m_settings, "audio.driver", name.c_str());
    m_driver = new_fluid_audio_driver2(m_settings, AudioCallback, this);
    if (m_driver == nullptr)
    {
        CloseOutput();
        return false;
    }
    m_strDriverName = name;
    return true;
}

bool CSequencerEngine::OpenSdl()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
    {
        fluid_log(FLUID_ERR, "SDL2: %s", SDL_GetError());
        return false;
    }
    m_bSdlAudio = true;
    SDL_AudioSpec wanted = {};
    wanted.freq = kPlayerSampleRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 512;
    wanted.callback = SdlCallback;
    wanted.userdata = this;
    m_nSdlDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (m_nSdlDevice == 0)
    {
        fluid_log(FLUID_ERR, "SDL2: %s", SDL_GetError());
        CloseOutput();
        return false;
    }
    SDL_PauseAudioDevice(m_nSdlDevice, 0);
    m_strDriverName = "sdl2";
    return true;
}

void CSequencerEngine::CloseOutput()
{
    if (m_driver != nullptr)
    {
        delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
    }
    if (m_nSdlDevice != 0)
    {
        SDL_CloseAudioDevice(m_nSdlDevice);
        m_nSdlDevice = 0;
    }
    if (m_outputThread.joinable())
    {
        m_bStopThread = true;
        m_outputThread.join();
    }
    if (m_port != nullptr)
    {
        std::unique_ptr<CMidiPort> port;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            port = std::move(m_port);
            m_nRate = kPlayerSampleRate;
        }
        port->Close();
    }
    if (m_bSdlAudio)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bSdlAudio = false;
    }
    m_strDriverName.clear();
}

int CSequencerEngine::AudioCallback(void* data, int len, int nfx, float* fx[], int nout,
                                    float* out[])
{
    // Runs on the driver's thread; nothing may be thrown back into the driver.
    auto* self = static_cast<CSequencerEngine*>(data);
    try
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        int result = FLUID_OK;
        self->ProcessLocked(
            static_cast<std::size_t>(len),
            [&](std::size_t offset, std::size_t count)
            {
                const auto n = static_cast<int>(count);
                float* dry[8];
                float* effects[8];
                for (int i = 0; i < nout && i < 8; ++i)
                    dry[i] = out[i] + offset;
                if (nfx == 0)
                {
                    // Drivers other than JACK give no effect buffers: reverb and chorus are
                    // mixed into the dry output.
                    float* mixed[4] = {dry[0], dry[1], dry[0], dry[1]};
                    if (fluid_synth_process(self->m_synth, n, 4, mixed, nout, dry) != FLUID_OK)
                        result = FLUID_FAILED;
                    return;
                }
                for (int i = 0; i < nfx && i < 8; ++i)
                    effects[i] = fx[i] + offset;
                if (fluid_synth_process(self->m_synth, n, nfx, effects, nout, dry) != FLUID_OK)
                    result = FLUID_FAILED;
            });
        return result;
    }
    catch (...)
    {
        return FLUID_FAILED;
    }
}

void CSequencerEngine::SdlCallback(void* data, std::uint8_t* stream, int len)
{
    auto* self = static_cast<CSequencerEngine*>(data);
    auto* samples = reinterpret_cast<float*>(stream);
    const auto frames = static_cast<std::size_t>(len) / (2 * sizeof(float));
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->ProcessLocked(frames,
                        [&](std::size_t offset, std::size_t count)
                        {
                            float* at = samples + 2 * offset;
                            fluid_synth_write_float(self->m_synth, static_cast<int>(count), at, 0,
                                                    2, at, 1, 2);
                        });
}

void CSequencerEngine::SilentOutputLoop()
{
    std::vector<float> block(2 * kSilentBlockFrames);
    const auto period =
        std::chrono::duration<double>(double(kSilentBlockFrames) / kPlayerSampleRate);
    auto next = std::chrono::steady_clock::now();
    while (!m_bStopThread)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ProcessLocked(kSilentBlockFrames,
                          [&](std::size_t offset, std::size_t count)
                          {
                              float* at = block.data() + 2 * offset;
                              fluid_synth_write_float(m_synth, static_cast<int>(count), at, 0, 2,
                                                      at, 1, 2);
                          });
        }
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        std::this_thread::sleep_until(next);
    }
}

void CSequencerEngine::PortCycle(void* data, std::uint32_t frames)
{
    // Runs on the JACK server's thread, as the audio callback runs on the driver's.
    auto* self = static_cast<CSequencerEngine*>(data);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    if (self->m_port == nullptr)
        return;
    self->m_port->BeginCycle();
    if (self->RunningLocked())
    {
        // The song follows the server's clock: when the server has skipped frames (a cycle
        // came late), what fell in them goes out now and the rest stays on time.
        const std::uint32_t due = self->m_port->CycleStartFrame() - self->m_nAnchorFrame;
        if (due < 0x80000000u && std::int64_t{due} > self->m_nPosFrames)
        {
            self->m_nPosFrames = due;
            self->DispatchDueLocked(MicrosOf(due, self->m_nRate));
        }
    }
    self->ProcessLocked(frames, [](std::size_t, std::size_t) {});
    self->m_port->EndCycle();
}

void CSequencerEngine::PortLoop()
{
    // Sends each event when the clock reaches its time: an absolute sleep until then, cut into
    // short ones so that a resume or a seek made meanwhile is seen at once.
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStopThread)
    {
        std::int64_t wake = MonotonicMicros() + kPortPollMicros;
        if (RunningLocked())
        {
            const std::int64_t now = MonotonicMicros();
            DispatchDueLocked(now - m_nAnchorMicros);
            if (!m_bEnded)
            {
                const std::vector<CMidiEvent>& events = m_sequence.Events();
                const std::int64_t due =
                    m_nNext < events.size() ? events[m_nNext].nMicros : m_sequence.TotalMicros();
                wake = std::min(m_nAnchorMicros + due, now + kPortPollMicros);
            }
        }
        lock.unlock();
        SleepUntilMicros(wake);
        lock.lock();
    }
}

IAudioFileWriterEngine* CreateSndFileWriter();

extern "C" __attribute__((visibility("default"))) const PlayerModuleApi* tarvel1_player_module()
{
    static const PlayerModuleApi api = {
        kPlayerModuleVersion,
        [](const PlayerOptions& options) -> IPlayerEngine*
        { return new CSequencerEngine(options); },
        &CMidiPort::List,
        &CreateSndFileWriter,
    };
    return &api;
}
