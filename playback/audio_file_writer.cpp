// The program's side of the audio file writer: the file types by extension here, the writing in
// the player module.

#include "audio_file_writer.h"

#include <cstring>
#include <strings.h>

#include "player_engine.h"

namespace
{

// The player renders 16-bit stereo at this rate.
constexpr double kBytesPerSecond = kPlayerSampleRate * 2 * 2;
// A RIFF chunk counts its bytes in 32 bits: the header's 36 bytes and the samples must fit.
constexpr double kWavMaxSeconds = (4294967295.0 - 36.0) / kBytesPerSecond;
// FLAC and Ogg hold far more; a day of audio is the most we render, so that a song that merely
// announces a long silence cannot fill the disk.
constexpr double kLongestRenderSeconds = 24 * 3600.0;

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

} // namespace

bool AudioFileTypeFor(const std::string& path, AudioFileType& type)
{
    if (EndsWith(path, ".wav"))
        type = {kAudioWav, "WAV", kWavMaxSeconds};
    else if (EndsWith(path, ".flac"))
        type = {kAudioFlac, "FLAC", kLongestRenderSeconds};
    else if (EndsWith(path, ".ogg") || EndsWith(path, ".oga"))
        type = {kAudioOggVorbis, "Ogg Vorbis", kLongestRenderSeconds};
    else
        return false;
    return true;
}

CAudioFileWriter::CAudioFileWriter() = default;

CAudioFileWriter::~CAudioFileWriter() = default;

bool CAudioFileWriter::Open(const std::string& path, const AudioFileType& type, int sampleRate,
                            std::string& error)
{
    if (!m_engine)
    {
        const PlayerModuleApi* api = LoadPlayerModule(error);
        if (api == nullptr)
            return false;
        m_engine.reset(api->CreateAudioFileWriter());
    }
    return m_engine->Open(path, type.nKind, sampleRate, error);
}

bool CAudioFileWriter::Write(const std::int16_t* stereo, std::size_t frames, std::string& error)
{
    return m_engine && m_engine->Write(stereo, frames, error);
}

bool CAudioFileWriter::Commit(std::string& error)
{
    return m_engine && m_engine->Commit(error);
}

void CAudioFileWriter::Abandon()
{
    if (m_engine)
        m_engine->Abandon();
}
