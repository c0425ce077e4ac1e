#include "sequencer_player.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

#include <SDL.h>
#include <fluidsynth.h>

#include "log_capture.h"
#include "message_box.h"
#include "song_document.h"
#include "sound_font.h"
#include "string_table.h"

namespace
{

// The order in which a desktop's own audio route is tried: the sound server first (PulseAudio,
// or PipeWire through its PulseAudio face), then the card itself, then the rarer servers.
const char* const kDefaultDrivers[] = {"pulseaudio", "alsa", "jack", "sdl2"};

// Frames per block of the silent output: about 6 ms, so that a pause or a close waits no longer.
constexpr int kSilentBlockFrames = 256;
// Frames per call when a whole song is rendered into memory.
constexpr std::size_t kRenderBlockFrames = 1024;
// A song whose voices ring on after its last tick is cut this long after it.
constexpr double kRenderTailSeconds = 30.0;
constexpr int kSustainPedal = 64;
constexpr int kSostenutoPedal = 66;

// The song loader tells the user what is wrong through a message box; here its text is taken as
// the reason of the failed open instead, so that the caller decides how to show it.
class CCapturedMessages
{
public:
    CCapturedMessages()
        : m_scope(
              [this](const std::string& text)
              {
                  if (m_strText.empty())
                      m_strText = text;
              })
    {
    }

    const std::string& Text() const { return m_strText; }

private:
    std::string m_strText;
    CMessagePresenterScope m_scope;
};

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

CSequencerPlayer::CSequencerPlayer(PlayerOptions options) : m_options(std::move(options))
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
    m_soundFontLoad = std::async(std::launch::async, [this] { LoadSoundFont(); });
}

CSequencerPlayer::~CSequencerPlayer()
{
    if (m_soundFontLoad.valid())
        m_soundFontLoad.wait();
    Close();
    if (m_synth != nullptr)
        delete_fluid_synth(m_synth);
    if (m_settings != nullptr)
        delete_fluid_settings(m_settings);
}

void CSequencerPlayer::LoadSoundFont()
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

bool CSequencerPlayer::WaitForSoundFont()
{
    if (m_soundFontLoad.valid())
        m_soundFontLoad.get();
    if (m_bSoundFontReady)
        return true;
    return Fail(m_strSoundFontError);
}

bool CSequencerPlayer::Fail(std::string text)
{
    m_strError = std::move(text);
    return false;
}

bool CSequencerPlayer::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return Fail(LoadResString(IDS_PLAYER_NO_SONG_PATH));
    if (!WaitForSoundFont())
        return false;

    // The synthesizer reads its file later, on the audio thread, and tells nobody when it
    // cannot: the song is read and checked here, and the synthesizer gets exactly these bytes.
    {
        auto doc = std::make_unique<CTarvel1Doc>();
        CCapturedMessages messages;
        const bool opened = doc->OnOpenDocument(path);
        if (!opened || doc->m_bLoaded != 1)
        {
            if (!messages.Text().empty())
                return Fail(messages.Text());
            return Fail(LoadResString(IDS_NOT_MIDI_FILE));
        }
        const std::size_t size = static_cast<std::size_t>(doc->m_nLastIndex) + 1;
        m_song.assign(doc->m_original.begin(), doc->m_original.begin() + size);
    }
    std::string reason;
    if (!m_timing.Read(m_song.data(), m_song.size(), reason))
        return Fail(FormatResString(IDS_PLAYER_CANNOT_PLAY, path, reason));

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!ResetPlayerLocked())
            return Fail(FormatResString(IDS_PLAYER_SYNTH_FAILED, CapturedErrorsSince(0)));
    }
    if (!OpenOutput())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        delete_fluid_player(m_player);
        m_player = nullptr;
        return false;
    }
    m_bOpen = true;
    m_bPaused = false;
    m_bStarted = false;
    return true;
}

bool CSequencerPlayer::ResetPlayerLocked()
{
    if (m_player != nullptr)
    {
        delete_fluid_player(m_player);
        m_player = nullptr;
    }
    m_player = new_fluid_player(m_synth);
    if (m_player == nullptr)
        return false;
    if (fluid_player_add_mem(m_player, m_song.data(), m_song.size()) != FLUID_OK)
    {
        delete_fluid_player(m_player);
        m_player = nullptr;
        return false;
    }
    return true;
}

void CSequencerPlayer::SilenceLocked()
{
    // Notes held by the pedals would ring on through a note-off; the pedals are let go first,
    // then every voice is cut.
    for (int channel = 0; channel < kChannels; ++channel)
    {
        fluid_synth_cc(m_synth, channel, kSustainPedal, 0);
        fluid_synth_cc(m_synth, channel, kSostenutoPedal, 0);
    }
    fluid_synth_all_sounds_off(m_synth, -1);
}

void CSequencerPlayer::ResetSynthLocked()
{
    // Programs and controllers go back to their defaults for the next song. The reset leaves
    // sounding voices alone, and a sound-off sent before it is lost: it has to come after.
    fluid_synth_system_reset(m_synth);
    SilenceLocked();
}

bool CSequencerPlayer::Play()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    // A fresh player is the only sure way back to tick 0: a seek asked for while the last one
    // is still pending is refused.
    ResetSynthLocked();
    if (!ResetPlayerLocked() || fluid_player_play(m_player) != FLUID_OK)
        return Fail(FormatResString(IDS_PLAYER_SYNTH_FAILED, CapturedErrorsSince(0)));
    m_bPaused = false;
    m_bStarted = true;
    return true;
}

bool CSequencerPlayer::Pause()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    // The player keeps its tick. The pedals are let go so that nothing rings on, but the song
    // expects them where they were when it goes on: they are put back by Resume().
    fluid_player_stop(m_player);
    if (!m_bPaused)
    {
        for (int channel = 0; channel < kChannels; ++channel)
        {
            fluid_synth_get_cc(m_synth, channel, kSustainPedal, &m_pedals[channel].nSustain);
            fluid_synth_get_cc(m_synth, channel, kSostenutoPedal, &m_pedals[channel].nSostenuto);
        }
    }
    SilenceLocked();
    m_bPaused = true;
    return true;
}

bool CSequencerPlayer::Resume()
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bPaused)
    {
        for (int channel = 0; channel < kChannels; ++channel)
        {
            fluid_synth_cc(m_synth, channel, kSustainPedal, m_pedals[channel].nSustain);
            fluid_synth_cc(m_synth, channel, kSostenutoPedal, m_pedals[channel].nSostenuto);
        }
    }
    if (m_bStarted && fluid_player_play(m_player) != FLUID_OK)
        return Fail(FormatResString(IDS_PLAYER_SYNTH_FAILED, CapturedErrorsSince(0)));
    m_bPaused = false;
    return true;
}

void CSequencerPlayer::Close()
{
    // The output goes first: its thread renders through the player that is deleted next.
    CloseOutput();
    // A player exists only once the SoundFont is in, so this never races with its loading.
    if (m_player != nullptr)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fluid_player_stop(m_player);
        delete_fluid_player(m_player);
        m_player = nullptr;
        ResetSynthLocked();
    }
    m_bOpen = false;
    m_bPaused = false;
    m_bStarted = false;
}

bool CSequencerPlayer::IsFinished() const
{
    if (!m_bOpen || !m_bStarted || m_bPaused)
        return false;
    // The synthesizer reports the end only after a grace period of seconds; the last tick with
    // every voice gone is the end the listener hears.
    if (CurrentTick() >= static_cast<int>(m_timing.LastTick()) && ActiveVoices() == 0)
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_player != nullptr && fluid_player_get_status(m_player) == FLUID_PLAYER_DONE;
}

int CSequencerPlayer::CurrentTick() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_player == nullptr || !m_bStarted)
        return 0;
    return std::max(0, fluid_player_get_current_tick(m_player));
}

int CSequencerPlayer::TotalTicks() const
{
    return m_bOpen ? static_cast<int>(m_timing.LastTick()) : 0;
}

double CSequencerPlayer::ElapsedSeconds() const
{
    if (!m_bOpen)
        return 0.0;
    const auto tick = static_cast<std::uint32_t>(CurrentTick());
    return m_timing.SecondsAt(std::min(tick, m_timing.LastTick()));
}

double CSequencerPlayer::TotalSeconds() const
{
    return m_bOpen ? m_timing.TotalSeconds() : 0.0;
}

int CSequencerPlayer::ActiveVoices() const
{
    return m_synth != nullptr ? fluid_synth_get_active_voice_count(m_synth) : 0;
}

void CSequencerPlayer::Render(std::int16_t* stereo, std::size_t frames)
{
    if (m_synth == nullptr)
    {
        std::fill(stereo, stereo + 2 * frames, std::int16_t{0});
        return;
    }
    // The synthesizer must not render while its SoundFont is still being loaded.
    if (m_soundFontLoad.valid())
        WaitForSoundFont();
    std::lock_guard<std::mutex> lock(m_mutex);
    fluid_synth_write_s16(m_synth, static_cast<int>(frames), stereo, 0, 2, stereo, 1, 2);
    m_nRenderedFrames += frames;
}

bool CSequencerPlayer::RenderSong(std::vector<std::int16_t>& stereo)
{
    if (!m_bOpen)
        return Fail(LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    if (!m_bStarted && !Play())
        return false;
    const double limit = m_timing.TotalSeconds() + kRenderTailSeconds;
    const std::size_t maxFrames = static_cast<std::size_t>(limit * kPlayerSampleRate);
    std::size_t frames = 0;
    // The player reports the end only once the last voices have died away.
    while (fluid_player_get_status(m_player) == FLUID_PLAYER_PLAYING && frames < maxFrames)
    {
        const std::size_t at = stereo.size();
        stereo.resize(at + 2 * kRenderBlockFrames);
        Render(stereo.data() + at, kRenderBlockFrames);
        frames += kRenderBlockFrames;
    }
    return true;
}

bool CSequencerPlayer::OpenOutput()
{
    m_strDriverName.clear();
    switch (m_options.output)
    {
    case AudioOutput::Manual:
        return true;
    case AudioOutput::Silent:
        m_bStopSilent = false;
        m_silentThread = std::thread([this] { SilentOutputLoop(); });
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

bool CSequencerPlayer::OpenDevice(const std::string& name)
{
    if (name == "sdl2" && !m_bSdlAudio)
    {
        // FluidSynth leaves starting SDL's audio to the program.
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        {
            fluid_log(FLUID_ERR, "SDL2: %s", SDL_GetError());
            return false;
        }
        m_bSdlAudio = true;
    }
    fluid_settings_setstr(m_settings, "audio.driver", name.c_str());
    // Rendering through our own callback lets a pause take the render lock; the SDL2 driver
    // knows no callback and renders the synthesizer directly.
    if (name == "sdl2")
        m_driver = new_fluid_audio_driver(m_settings, m_synth);
    else
        m_driver = new_fluid_audio_driver2(m_settings, AudioCallback, this);
    if (m_driver == nullptr)
    {
        CloseOutput();
        return false;
    }
    m_strDriverName = name;
    return true;
}

void CSequencerPlayer::CloseOutput()
{
    if (m_driver != nullptr)
    {
        delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
    }
    if (m_silentThread.joinable())
    {
        m_bStopSilent = true;
        m_silentThread.join();
    }
    if (m_bSdlAudio)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bSdlAudio = false;
    }
    m_strDriverName.clear();
}

int CSequencerPlayer::AudioCallback(void* data, int len, int nfx, float* fx[], int nout,
                                    float* out[])
{
    // Runs on the driver's thread; nothing may be thrown back into the driver.
    auto* self = static_cast<CSequencerPlayer*>(data);
    try
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        int result;
        if (nfx == 0)
        {
            // Drivers other than JACK give no effect buffers: reverb and chorus are mixed into
            // the dry output.
            float* mixed[4] = {out[0], out[1], out[0], out[1]};
            result = fluid_synth_process(self->m_synth, len, 4, mixed, nout, out);
        }
        else
            result = fluid_synth_process(self->m_synth, len, nfx, fx, nout, out);
        self->m_nRenderedFrames += static_cast<std::uint64_t>(len);
        return result;
    }
    catch (...)
    {
        return FLUID_FAILED;
    }
}

void CSequencerPlayer::SilentOutputLoop()
{
    std::vector<float> block(2 * kSilentBlockFrames);
    const auto period =
        std::chrono::duration<double>(double(kSilentBlockFrames) / kPlayerSampleRate);
    auto next = std::chrono::steady_clock::now();
    while (!m_bStopSilent)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fluid_synth_write_float(m_synth, kSilentBlockFrames, block.data(), 0, 2, block.data(),
                                    1, 2);
            m_nRenderedFrames += kSilentBlockFrames;
        }
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        std::this_thread::sleep_until(next);
    }
}
