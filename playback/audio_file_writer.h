#pragma once
// A rendered song streamed into an audio file chosen by its extension (WAV, FLAC, Ogg Vorbis),
// 16-bit stereo. The file that was there stays until the new one is complete: a regular file is
// written anonymously in the same folder and put in place only by Commit(); a FIFO or a device
// is written into directly.

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

struct AudioFileType
{
    int nFormat = 0;          // libsndfile's format word
    const char* pszName = ""; // "WAV", "FLAC", "Ogg Vorbis"
    double dMaxSeconds = 0.0; // the longest song the file can hold at the player's rate
};

// The type for `path`'s extension (any case); false when it names none we write.
bool AudioFileTypeFor(const std::string& path, AudioFileType& type);

class CAudioFileWriter
{
public:
    CAudioFileWriter() = default;
    // An uncommitted file is abandoned: nothing of it stays on the disk.
    ~CAudioFileWriter();
    CAudioFileWriter(const CAudioFileWriter&) = delete;
    CAudioFileWriter& operator=(const CAudioFileWriter&) = delete;

    // Each returns false with `error` set (the system's or the library's reason).
    bool Open(const std::string& path, const AudioFileType& type, int sampleRate,
              std::string& error);
    bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error);
    bool Commit(std::string& error);
    void Abandon();

private:
    std::string m_strPath; // where the file goes (a link's target when the path is a link)
    std::string m_strTemp; // a named temporary, when the folder cannot hold anonymous files
    int m_fd = -1;
    SNDFILE* m_file = nullptr;
    bool m_bDirect = false;   // writing into a FIFO or device
    bool m_bReplaces = false; // a regular file is there already
};
