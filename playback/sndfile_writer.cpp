// The audio file writer inside the player module, on libsndfile.

#include "audio_file_writer.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <sndfile.h>

#include "player_engine.h"
#include "safe_writer.h"

namespace
{

void WriteStreamingWavHeader(CSafeWriter& file, int sampleRate)
{
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    const std::uint32_t fields[] = {0xFFFFFFFFu,
                                    16,
                                    0x00020001u /* PCM, 2 channels */,
                                    rate,
                                    rate * 4,
                                    0x00100004u /* 4 bytes a frame, 16 bits */,
                                    0xFFFFFFFFu - 36};
    std::uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    std::memcpy(header + 36, "data", 4);
    const std::size_t at[] = {4, 16, 20, 24, 28, 32, 40};
    for (std::size_t i = 0; i < 7; ++i)
        for (std::size_t b = 0; b < 4; ++b)
            header[at[i] + b] = static_cast<std::uint8_t>(fields[i] >> (8 * b));
    file.Write(header, sizeof header);
}

// libsndfile's own texts are for its own faults (a format it cannot write); a failure of the
// file underneath is told in the system's words, as every other file the program writes.
std::string LibraryError(SNDFILE* file, int systemError)
{
    if (systemError != 0)
        return SystemErrorText(systemError);
    return sf_strerror(file);
}

} // namespace

// The file itself is the program's one writer's (links, pipes, permissions, replacing a file
// whole); libsndfile only encodes into its descriptor, seeking and reading back as it needs.
class CSndFileWriter final : public IAudioFileWriterEngine
{
public:
    CSndFileWriter() = default;
    ~CSndFileWriter() override;
    CSndFileWriter(const CSndFileWriter&) = delete;
    CSndFileWriter& operator=(const CSndFileWriter&) = delete;

    bool Open(const std::string& path, int kind, int sampleRate, std::string& error) override;
    bool Write(const std::int16_t* stereo, std::size_t frames, std::string& error) override;
    bool Commit(std::string& error) override;
    void Abandon() override;

private:
    CSafeWriter m_target;
    SNDFILE* m_file = nullptr;
};

CSndFileWriter::~CSndFileWriter()
{
    Abandon();
}

bool CSndFileWriter::Open(const std::string& path, int kind, int sampleRate, std::string& error)
{
    Abandon();
    SF_INFO format = {};
    format.samplerate = sampleRate;
    format.channels = 2;
    format.format = kind == kAudioFlac        ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                    : kind == kAudioOggVorbis ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                                              : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    try
    {
        m_target.Open(path);
        if (kind == kAudioWav && m_target.IsStream() &&
            lseek(m_target.GetDescriptor(), 0, SEEK_CUR) < 0)
        {
            // A WAV into a pipe cannot have its lengths filled in at the end: the header says
            // "as long as it gets", as streaming tools do, and the samples follow as they stand.
            WriteStreamingWavHeader(m_target, sampleRate);
            format.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
        }
    }
    catch (const CFileException& failure)
    {
        error = failure.GetReason();
        Abandon();
        return false;
    }
    errno = 0;
    m_file = sf_open_fd(m_target.GetDescriptor(), SFM_WRITE, &format, 0);
    if (m_file == nullptr)
    {
        error = LibraryError(nullptr, errno);
        Abandon();
        return false;
    }
    return true;
}

bool CSndFileWriter::Write(const std::int16_t* stereo, std::size_t frames, std::string& error)
{
    if (m_file == nullptr)
        return false;
    errno = 0;
    const sf_count_t written = sf_writef_short(m_file, stereo, static_cast<sf_count_t>(frames));
    if (written != static_cast<sf_count_t>(frames))
    {
        const int code = errno;
        error = sf_error(m_file) != 0 && code == 0 ? sf_strerror(m_file)
                                                   : SystemErrorText(code ? code : ENOSPC);
        return false;
    }
    return true;
}

bool CSndFileWriter::Commit(std::string& error)
{
    if (m_file == nullptr)
        return false;
    // Closing writes the header's final lengths and the encoders' last blocks.
    errno = 0;
    const int closed = sf_close(m_file);
    m_file = nullptr;
    if (closed != 0)
    {
        error = errno != 0 ? SystemErrorText(errno) : sf_error_number(closed);
        Abandon();
        return false;
    }
    try
    {
        m_target.Commit();
    }
    catch (const CFileException& failure)
    {
        error = failure.GetReason();
        return false;
    }
    return true;
}

void CSndFileWriter::Abandon()
{
    if (m_file != nullptr)
    {
        sf_close(m_file);
        m_file = nullptr;
    }
    m_target.Abandon();
}

IAudioFileWriterEngine* CreateSndFileWriter()
{
    return new CSndFileWriter;
}
