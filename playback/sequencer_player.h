#pragma once
// The sequencer device: one song file played by our own sequencer, either on a software
// synthesizer with a General MIDI SoundFont through the system's audio, or on a MIDI output port
// (ALSA sequencer or JACK), on a thread of its own, so that nothing waits for it.
//
// Contract (all calls from one thread, the user-interface thread or the command line's):
// - The SoundFont is looked for and loaded once, on a thread started by the constructor; the
//   first Open() waits for it. Search order: PlayerOptions::strSoundFont (--soundfont), else
//   $TARVEL1_SOUNDFONT, else /usr/share/sounds/sf3/default-GM.sf3, sf2/default-GM.sf2, then the
//   Debian GM packages' files (sf2/TimGM6mb.sf2, sf2/FluidR3_GM.sf2, ...).
// - Open(path) reads the file with the song reader (song_reader.h), so a missing file or one
//   that is not a MIDI file fails there and then; OpenSong() takes the bytes from memory. Then
//   it opens the output. Play() starts at the beginning,
//   Pause() silences every channel at once (notes and sound off, sustain and sostenuto
//   released) and keeps the position, Resume() goes on from there with every channel's
//   program, bank, controllers, bend, pressure and held notes as the song has them there
//   (chasing), Seek() moves the position the same way, playing or paused. At the end of the
//   song every note still on gets its note-off and the pedals are let go; the output stays
//   open. Close() silences everything and releases the output.
// - Output: PlayerOptions::strMidiPort names a MIDI output port (the first whose full name
//   contains it, see ListMidiPorts()); empty means the built-in synthesizer. Events reach the
//   synthesizer from its own audio callback between two blocks, at the frame they fall on, and
//   a JACK port from the server's cycle, at their frame; an ALSA sequencer port gets them from
//   a thread of ours that sleeps until each event's time.
// - Every failing operation returns false and leaves its text (Japanese, from the string table)
//   in ErrorText(); a failed Open() leaves the player closed and ready for the next Open().
// - Audio output: AudioOutput::Device with a driver name (--audio-driver, else
//   $TARVEL1_AUDIO_DRIVER, else pulseaudio, alsa, jack, sdl2 in turn); the driver name "none"
//   gives AudioOutput::Silent, a thread that renders at the pace of real time and writes
//   nowhere; AudioOutput::Manual opens nothing and the caller pulls the audio with Render().
// - FluidSynth's and libasound's own messages never reach the terminal; they become the
//   reason in the error texts.
// - The player's libraries are in the player module, loaded the first time a player is made
//   (from any thread); until then the program has none of them. Without the module every
//   operation fails with a message that says where it was looked for.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    std::string strMidiPort; // empty: the built-in synthesizer; else part of a port's name
    bool bCheckOnly = false; // finds the SoundFont and checks its header, but loads nothing
};

// The MIDI output ports there are now (ALSA sequencer and JACK), by their full names, one
// entry each. When none can be asked, the list is empty and `error` says why.
std::vector<std::string> ListMidiPorts(std::string& error);

class IPlayerEngine;

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
    const std::string& SoundFontPath() const;

    // Opens and closes again the output that Open() would use, to learn before anything else
    // is done whether it can open; false with the reason in ErrorText().
    bool CheckAudioOutput();

    // Closes what is open, then opens `path`: the song must load and be playable, and the audio
    // output must open. Nothing plays until Play(). The file is read as File Open reads it
    // (ReadSongFile()); the player module is handed only its bytes.
    bool Open(const std::string& path);
    // The same for a song in memory (a conversion that was never written, standard input):
    // `bytes` as a file would hold them, found by the same end-of-track scan; `name` is what
    // messages call the song. The bytes are copied: the caller may free them on return.
    bool OpenSong(const std::uint8_t* bytes, std::size_t size, const std::string& name);
    // Plays the open song from tick 0, whatever it did before.
    bool Play();
    // Moves to `seconds` from the start (clamped to the song), playing or paused; a playing
    // song goes on from there with every channel as the song has it there.
    bool Seek(double seconds);
    // Stops at the current tick with every channel silent. Pausing twice is harmless.
    bool Pause();
    // Plays on from the tick where Pause() stopped. At the end of the song it does nothing.
    bool Resume();
    // Silences everything and releases the song and the audio output. Never fails.
    void Close();

    bool IsOpen() const;
    bool IsPaused() const;
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
    // The same, block by block into `sink`, so that memory does not grow with the song. A sink
    // that returns false stops the render, and RenderSongTo() returns false with no error text.
    using AudioSink = std::function<bool(const std::int16_t* stereo, std::size_t frames)>;
    bool RenderSongTo(const AudioSink& sink);
    // The longest a render of the open song can be: the song plus the voices' longest release.
    double RenderSecondsLimit() const;

    // Voices sounding now, and frames rendered since construction by whichever output.
    int ActiveVoices() const;
    std::uint64_t RenderedFrames() const;
    // The audio driver in use while open ("none" for the silent output, "" for manual, the
    // port's full name for a MIDI port).
    const std::string& AudioDriverName() const;

    // The text of the last failure, for a message box or stderr.
    const std::string& ErrorText() const;

private:
    bool OwnFailure(std::string text);

    std::unique_ptr<IPlayerEngine> m_engine; // null when the player module could not be loaded
    std::string m_strError;                  // why, then
    std::string m_strOwnError;               // a song this side could not read, until the next call
    std::string m_strNone;
};
