#pragma once
// A rendered song streamed into an audio file chosen by its extension (WAV, FLAC, Ogg Vorbis),
// 16-bit stereo. The file that was there stays until the new one is complete: a regular file is
// written anonymously in the same folder and put in place only by Commit(); a FIFO or a device
// is written into directly.

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

struct AudioFileType
{
    int nKind = kAudioWav;    // an AudioFileKind
    const char* pszName = ""; // "WAV", "FLAC", "Ogg Vorbis"
    double dMaxSeconds = 0.0; // the longest song the file can hold at the player's rate
};

// The type for `path`'s extension (any case); false when it names none we write.
bool AudioFileTypeFor(const std::string& path, AudioFileType& type);

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
    bool Open(const std::string& path, const AudioFileType& type, int sampleRate,
              std::string& error);
    bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error);
    bool Commit(std::string& error);
    void Abandon();

private:
    std::unique_ptr<IAudioFileWriterEngine> m_engine; // in the player module
};
