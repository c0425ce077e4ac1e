// The program's side of the audio file writer: the file types by extension here, the writing in
// the player module.

#include "audio_file_writer.h"

#include <cstring>
#include <strings.h>

#include "player_engine.h"

namespace
{

// A RIFF chunk counts its bytes in 32 bits: the header's 36 bytes and the samples must fit.
constexpr double kWavMaxBytes = 4294967295.0 - 36.0;
// FLAC and Ogg hold far more; a day of audio is the most we render, so that a song that merely
// announces a long silence cannot fill the disk.
constexpr double kLongestRenderSeconds = 24 * 3600.0;

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

} // namespace

bool AudioFileTypeFor(const std::string& path, AudioFileType& type, int sampleRate, int format)
{
    const int bytesPerSample = format == kSampleS16 ? 2 : format == kSampleS24 ? 3 : 4;
    if (EndsWith(path, ".wav"))
        type = {kAudioWav, "WAV", kWavMaxBytes / (double(sampleRate) * 2 * bytesPerSample)};
    else if (EndsWith(path, ".flac"))
        type = {kAudioFlac, "FLAC", kLongestRenderSeconds};
    else if (EndsWith(path, ".ogg") || EndsWith(path, ".oga"))
        type = {kAudioOggVorbis, "Ogg Vorbis", kLongestRenderSeconds};
    else
        return false;
    return true;
}

bool AudioFileTakesFormat(int kind, int format)
{
    switch (kind)
    {
    case kAudioWav:
        return true;
    case kAudioFlac:
        return format != kSampleF32;
    default:
        return format == kSampleS16;
    }
}

bool AudioSampleFormatFor(const std::string& name, int& format)
{
    if (name == "s16")
        format = kSampleS16;
    else if (name == "s24")
        format = kSampleS24;
    else if (name == "f32")
        format = kSampleF32;
    else
        return false;
    return true;
}

CAudioFileWriter::CAudioFileWriter() = default;

CAudioFileWriter::~CAudioFileWriter() = default;

bool CAudioFileWriter::Open(const std::string& path, const AudioFileType& type, int sampleRate,
                            int format, std::string& error)
{
    if (!m_engine)
    {
        const PlayerModuleApi* api = LoadPlayerModule(error);
        if (api == nullptr)
            return false;
        m_engine.reset(api->CreateAudioFileWriter());
    }
    return m_engine->Open(path, type.nKind, sampleRate, format, error);
}

bool CAudioFileWriter::Write(const std::int16_t* stereo, std::size_t frames, std::string& error)
{
    return m_engine && m_engine->Write(stereo, frames, error);
}

bool CAudioFileWriter::Write(const float* stereo, std::size_t frames, std::string& error)
{
    return m_engine && m_engine->WriteFloat(stereo, frames, error);
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
