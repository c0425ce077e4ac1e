#pragma once
// The sequencer device: one song file on a software synthesizer with a General MIDI SoundFont,
// playing through the system's audio on a thread of its own, so that nothing waits for it.
//
// Contract (all calls from one thread, the user-interface thread or the command line's):
// - The SoundFont is looked for and loaded once, on a thread started by the constructor; the
//   first Open() waits for it. Search order: PlayerOptions::strSoundFont (--soundfont), else
//   $TARVEL1_SOUNDFONT, else /usr/share/sounds/sf3/default-GM.sf3, sf2/default-GM.sf2, then the
//   Debian GM packages' files (sf2/TimGM6mb.sf2, sf2/FluidR3_GM.sf2, ...).
// - Open(path) reads the file with the song loader, so a missing file or one that is not a
//   MIDI file fails there and then; then it opens the audio output. Play() starts at tick 0,
//   Pause() silences every channel at once (all sound off, sustain released) and keeps the
//   tick, Resume() goes on from that tick with the pedals back where the song had them,
//   Close() silences everything and releases the output.
// - Every failing operation returns false and leaves its text (Japanese, from the string table)
//   in ErrorText(); a failed Open() leaves the player closed and ready for the next Open().
// - Audio output: AudioOutput::Device with a driver name (--audio-driver, else
//   $TARVEL1_AUDIO_DRIVER, else pulseaudio, alsa, jack, sdl2 in turn); the driver name "none"
//   gives AudioOutput::Silent, a thread that renders at the pace of real time and writes
//   nowhere; AudioOutput::Manual opens nothing and the caller pulls the audio with Render().
// - FluidSynth's and libasound's own messages never reach the terminal; they become the
//   reason in the error texts.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "song_timing.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_player_t fluid_player_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

constexpr int kPlayerSampleRate = 44100;
constexpr const char* kAudioDriverVariable = "TARVEL1_AUDIO_DRIVER";
// The driver name of the silent output.
constexpr const char* kNoAudioDriver = "none";

enum class AudioOutput
{
    Device, // a sound server or card
    Silent, // a thread at the pace of real time that writes nowhere
    Manual, // no thread: the caller renders with Render()
};

struct PlayerOptions
{
    std::string strSoundFont;   // empty: $TARVEL1_SOUNDFONT, then the system's GM SoundFont
    std::string strAudioDriver; // empty: $TARVEL1_AUDIO_DRIVER, then the default order
    AudioOutput output = AudioOutput::Device;
};

class CSequencerPlayer
{
public:
    explicit CSequencerPlayer(PlayerOptions options = {});
    ~CSequencerPlayer();
    CSequencerPlayer(const CSequencerPlayer&) = delete;
    CSequencerPlayer& operator=(const CSequencerPlayer&) = delete;

    // Waits until the SoundFont is loaded; false when none was found or it could not be loaded.
    bool WaitForSoundFont();
    // The SoundFont chosen by the search (empty when none was found); valid once
    // WaitForSoundFont() has returned.
    const std::string& SoundFontPath() const { return m_strSoundFontPath; }

    // Closes what is open, then opens `path`: the song must load and be playable, and the audio
    // output must open. Nothing plays until Play().
    bool Open(const std::string& path);
    // Plays the open song from tick 0, whatever it did before.
    bool Play();
    // Stops at the current tick with every channel silent. Pausing twice is harmless.
    bool Pause();
    // Plays on from the tick where Pause() stopped. At the end of the song it does nothing.
    bool Resume();
    // Silences everything and releases the song and the audio output. Never fails.
    void Close();

    bool IsOpen() const { return m_bOpen; }
    bool IsPaused() const { return m_bPaused; }
    // True once a played song has reached its last tick and its last voice has died away, or
    // the synthesizer says it is done (and it was not paused there).
    bool IsFinished() const;

    // Position of the open song in ticks and seconds; the total is known from Open() on.
    int CurrentTick() const;
    int TotalTicks() const;
    double ElapsedSeconds() const;
    double TotalSeconds() const;

    // AudioOutput::Manual: renders `frames` frames of interleaved 16-bit stereo into `stereo`
    // (2 * frames values). Silence when no song plays.
    void Render(std::int16_t* stereo, std::size_t frames);
    // AudioOutput::Manual: renders from where the song is to its end and the voices' release,
    // appending to `stereo`; false when no song is open.
    bool RenderSong(std::vector<std::int16_t>& stereo);

    // Voices sounding now, and frames rendered since construction by whichever output.
    int ActiveVoices() const;
    std::uint64_t RenderedFrames() const { return m_nRenderedFrames.load(); }
    // The audio driver in use while open ("none" for the silent output, "" for manual).
    const std::string& AudioDriverName() const { return m_strDriverName; }

    // The text of the last failure, for a message box or stderr.
    const std::string& ErrorText() const { return m_strError; }

private:
    bool Fail(std::string text);
    void LoadSoundFont();
    bool OpenOutput();
    bool OpenDevice(const std::string& name);
    void CloseOutput();
    // Replaces the FluidSynth player by a fresh one holding the song, at tick 0. Under m_mutex.
    bool ResetPlayerLocked();
    void SilenceLocked();
    void ResetSynthLocked();
    void SilentOutputLoop();
    static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);

    PlayerOptions m_options;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_player_t* m_player = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;

    std::future<void> m_soundFontLoad;
    bool m_bSoundFontReady = false;
    std::string m_strSoundFontPath;
    std::string m_strSoundFontError;

    // Held while the synthesizer renders and while the player is changed, so that a pause
    // takes effect between two audio blocks and never in the middle of one.
    mutable std::mutex m_mutex;
    std::atomic<std::uint64_t> m_nRenderedFrames{0};

    std::thread m_silentThread;
    std::atomic<bool> m_bStopSilent{false};
    bool m_bSdlAudio = false; // SDL's audio started for its driver

    // Where the song had the pedals of each channel when it was paused.
    static constexpr int kChannels = 16;
    struct Pedals
    {
        int nSustain = 0;
        int nSostenuto = 0;
    };
    Pedals m_pedals[kChannels];

    std::vector<std::uint8_t> m_song; // the bytes given to the synthesizer
    CSongTiming m_timing;
    bool m_bOpen = false;
    bool m_bPaused = false;
    bool m_bStarted = false;
    std::string m_strDriverName;
    std::string m_strError;
};
