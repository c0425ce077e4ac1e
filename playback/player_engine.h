#pragma once
// The boundary of the player module (tarvel1_player.so): the player's libraries (FluidSynth,
// RtMidi, JACK, libsndfile, SDL2) live behind it and are loaded only when a player is first
// made. The program reaches the module through these interfaces and one entry point, and hands
// it songs as bytes; the module uses the program's own texts, which the program exports.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sequencer_player.h"

// What CSequencerPlayer forwards to: the same operations with the same contract.
class IPlayerEngine
{
public:
    using AudioSink = CSequencerPlayer::AudioSink;
    virtual ~IPlayerEngine() = default;

    virtual bool WaitForSoundFont() = 0;
    virtual const std::string& SoundFontPath() const = 0;
    virtual bool CheckAudioOutput() = 0;
    // `song`: the song's bytes as the song reader found them (the module reads no file); `name`
    // is what messages call it.
    virtual bool Open(const std::uint8_t* song, std::size_t size, const std::string& name) = 0;
    virtual bool Play() = 0;
    virtual bool Seek(double seconds) = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool IsPaused() const = 0;
    virtual bool IsFinished() const = 0;
    virtual int CurrentTick() const = 0;
    virtual int TotalTicks() const = 0;
    virtual double ElapsedSeconds() const = 0;
    virtual double TotalSeconds() const = 0;
    virtual void Render(std::int16_t* stereo, std::size_t frames) = 0;
    virtual bool RenderSong(std::vector<std::int16_t>& stereo) = 0;
    virtual bool RenderSongTo(const AudioSink& sink) = 0;
    virtual double RenderSecondsLimit() const = 0;
    virtual int ActiveVoices() const = 0;
    virtual std::uint64_t RenderedFrames() const = 0;
    virtual const std::string& AudioDriverName() const = 0;
    virtual const std::string& ErrorText() const = 0;
};

// What CAudioFileWriter forwards to.
class IAudioFileWriterEngine
{
public:
    virtual ~IAudioFileWriterEngine() = default;
    virtual bool Open(const std::string& path, int kind, int sampleRate, std::string& error) = 0;
    virtual bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error) = 0;
    virtual bool Commit(std::string& error) = 0;
    virtual void Abandon() = 0;
};

// The module's one exported symbol gives this table. The version changes with any of the
// interfaces above, so that a module of another build is refused rather than misused.
constexpr int kPlayerModuleVersion = 2;
struct PlayerModuleApi
{
    int nVersion;
    IPlayerEngine* (*CreatePlayer)(const PlayerOptions& options);
    std::vector<std::string> (*ListMidiPorts)(std::string& error);
    IAudioFileWriterEngine* (*CreateAudioFileWriter)();
};

extern "C" const PlayerModuleApi* tarvel1_player_module();
constexpr const char* kPlayerModuleEntry = "tarvel1_player_module";
constexpr const char* kPlayerModuleFile = "tarvel1_player.so";
// Names the module to use instead of looking for it.
constexpr const char* kPlayerModuleVariable = "TARVEL1_PLAYER_MODULE";

// The module's table, loaded once for the whole process on first use (from any thread); null
// with `error` set when the module is missing or does not fit.
const PlayerModuleApi* LoadPlayerModule(std::string& error);
