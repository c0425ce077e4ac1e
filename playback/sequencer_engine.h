#pragma once
// The player's implementation inside the player module: our own sequencer on FluidSynth, on a
// MIDI port, or rendering for a file. CSequencerPlayer (sequencer_player.h) is its face, and
// its contract is this class's.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi_sequence.h"
#include "player_engine.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

class CMidiPort;

class CSequencerEngine final : public IPlayerEngine
{
public:
    explicit CSequencerEngine(PlayerOptions options);
    ~CSequencerEngine() override;
    CSequencerEngine(const CSequencerEngine&) = delete;
    CSequencerEngine& operator=(const CSequencerEngine&) = delete;

    bool WaitForSoundFont() override;
    const std::string& SoundFontPath() const override { return m_strSoundFontPath; }

    bool CheckAudioOutput() override;

    bool Open(const std::uint8_t* song, std::size_t size, const std::string& name) override;
    bool Play() override;
    bool Seek(double seconds) override;
    bool Pause() override;
    bool Resume() override;
    void Close() override;

    bool IsOpen() const override { return m_bOpen; }
    bool IsPaused() const override { return m_bPaused; }
    bool IsFinished() const override;

    int CurrentTick() const override;
    int TotalTicks() const override;
    double ElapsedSeconds() const override;
    double TotalSeconds() const override;

    void Render(std::int16_t* stereo, std::size_t frames) override;
    bool RenderSong(std::vector<std::int16_t>& stereo) override;
    bool RenderSongTo(const AudioSink& sink) override;
    double RenderSecondsLimit() const override;

    int ActiveVoices() const override;
    std::uint64_t RenderedFrames() const override { return m_nRenderedFrames.load(); }
    const std::string& AudioDriverName() const override { return m_strDriverName; }

    const std::string& ErrorText() const override { return m_strError; }

private:
    bool Fail(std::string text);
    void LoadSoundFont();
    bool OpenOutput();
    bool OpenDevice(const std::string& name);
    bool OpenSdl();
    void CloseOutput();

    // The sequencer. Everything *Locked runs under m_mutex.
    bool UsesPort() const { return m_port != nullptr; }
    void SendLocked(const std::uint8_t* bytes, std::size_t size);
    void SendEventLocked(const CMidiEvent& event);
    void DispatchDueLocked(std::int64_t micros);
    void SilenceLocked();
    void ReleaseAtEndLocked();
    void ChaseLocked();
    void MoveToLocked(std::int64_t micros);
    void AnchorLocked();
    std::int64_t PositionMicrosLocked() const;
    bool RunningLocked() const { return m_bStarted && !m_bPaused && !m_bEnded; }
    // Renders `frames` frames through `write(offset, count)`, applying each event at its frame.
    template <typename Write> void ProcessLocked(std::size_t frames, Write write);

    void SilentOutputLoop();
    void PortLoop();
    static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
    static void SdlCallback(void* data, std::uint8_t* stream, int len);
    static void PortCycle(void* data, std::uint32_t frames);

    PlayerOptions m_options;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    std::unique_ptr<CMidiPort> m_port;

    std::future<void> m_soundFontLoad;
    bool m_bSoundFontReady = false;
    std::string m_strSoundFontPath;
    std::string m_strSoundFontError;

    // Held while the output renders or sends and while the position changes, so that a pause
    // takes effect between two audio blocks and never in the middle of one.
    mutable std::mutex m_mutex;
    std::atomic<std::uint64_t> m_nRenderedFrames{0};

    std::thread m_outputThread; // the silent output's or the MIDI port's
    std::atomic<bool> m_bStopThread{false};
    std::uint32_t m_nSdlDevice = 0;
    bool m_bSdlAudio = false; // SDL's audio started for its driver

    static constexpr int kChannels = 16;
    CMidiSequence m_sequence;
    std::size_t m_nNext = 0;                  // the next event to send
    int m_nRate = kPlayerSampleRate;          // frames a second of the output that counts the time
    std::int64_t m_nPosFrames = 0;            // synthesizer, JACK: the song's position in frames
    std::int64_t m_nPosMicros = 0;            // port: the position while not running
    std::int64_t m_nAnchorMicros = 0;         // port: the clock's time at the song's start
    std::uint32_t m_nAnchorFrame = 0;         // JACK: the server's frame at the song's start
    std::uint8_t m_held[kChannels][128] = {}; // note-ons sent and not yet let go
    bool m_bOpen = false;
    bool m_bPaused = false;
    bool m_bStarted = false;
    bool m_bEnded = false;
    std::string m_strDriverName;
    std::string m_strError;
};
