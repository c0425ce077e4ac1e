#pragma once
// A rendered song streamed into an audio file chosen by its extension (WAV, FLAC, Ogg Vorbis),
// stereo at the rate the song was rendered at, 16-bit unless asked otherwise (24-bit for WAV and
// FLAC, 32-bit float for WAV). The file that was there stays until the new one is complete: a
// regular file is written anonymously in the same folder and put in place only by Commit(); a FIFO
// or a device is written into directly.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class IAudioFileWriterEngine;

enum AudioFileKind
{
    kAudioWav,
    kAudioFlac,
    kAudioOggVorbis,
};

enum AudioSampleFormat
{
    kSampleS16, // 16-bit integer, the default
    kSampleS24, // 24-bit integer
    kSampleF32, // 32-bit float
};

// The rates a render may be made at, in Hz: the synthesizer's own range, since a render is never
// resampled after the fact.
constexpr int kMinRenderSampleRate = 8000;
constexpr int kMaxRenderSampleRate = 96000;

struct AudioFileType
{
    int nKind = kAudioWav;    // an AudioFileKind
    const char* pszName = ""; // "WAV", "FLAC", "Ogg Vorbis"
    double dMaxSeconds = 0.0; // the longest song the file can hold at the rate and format asked
};

// The type for `path`'s extension (any case) at `sampleRate` and `format` (an
// AudioSampleFormat); false when it names none we write.
bool AudioFileTypeFor(const std::string& path, AudioFileType& type, int sampleRate, int format);
// Whether a file of `kind` can hold samples of `format` (Ogg Vorbis is only ever encoded from
// 16-bit, FLAC holds no float).
bool AudioFileTakesFormat(int kind, int format);
// The format named "s16", "s24" or "f32"; false for any other name.
bool AudioSampleFormatFor(const std::string& name, int& format);

class CAudioFileWriter
{
public:
    CAudioFileWriter();
    // An uncommitted file is abandoned: nothing of it stays on the disk.
    ~CAudioFileWriter();
    CAudioFileWriter(const CAudioFileWriter&) = delete;
    CAudioFileWriter& operator=(const CAudioFileWriter&) = delete;

    // Each returns false with `error` set (the system's or the library's reason, or why the
    // player module is missing).
    // `format`: an AudioSampleFormat the type takes (AudioFileTakesFormat()).
    bool Open(const std::string& path, const AudioFileType& type, int sampleRate, int format,
              std::string& error);
    // 16-bit samples for kSampleS16, float samples (full scale at +-1) for the others; a float
    // beyond full scale is clipped there for a 24-bit file.
    bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error);
    bool Write(const float* stereo, std::size_t frames, std::string& error);
    bool Commit(std::string& error);
    void Abandon();

private:
    std::unique_ptr<IAudioFileWriterEngine> m_engine; // in the player module
};
