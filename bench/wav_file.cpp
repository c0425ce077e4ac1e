#include "wav_file.h"

#include "file.h"

namespace
{

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

constexpr std::uint32_t kChannels = 2;
constexpr std::uint32_t kBytesPerSample = 2;

} // namespace

std::vector<std::uint8_t> WavHeader(std::uint32_t frames, std::uint32_t sampleRate)
{
    const std::uint32_t dataBytes = frames * kChannels * kBytesPerSample;
    std::vector<std::uint8_t> header;
    header.reserve(44);
    PutTag(header, "RIFF");
    PutLe(header, 36 + dataBytes, 4);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    PutLe(header, 16, 4);
    PutLe(header, 1, 2); // PCM
    PutLe(header, kChannels, 2);
    PutLe(header, sampleRate, 4);
    PutLe(header, sampleRate * kChannels * kBytesPerSample, 4);
    PutLe(header, kChannels * kBytesPerSample, 2);
    PutLe(header, 8 * kBytesPerSample, 2);
    PutTag(header, "data");
    PutLe(header, dataBytes, 4);
    return header;
}

void WriteWavFile(const std::string& path, const std::vector<std::int16_t>& stereo,
                  std::uint32_t sampleRate)
{
    const auto frames = static_cast<std::uint32_t>(stereo.size() / kChannels);
    const std::vector<std::uint8_t> header = WavHeader(frames, sampleRate);
    const std::size_t samples = static_cast<std::size_t>(frames) * kChannels;
    std::vector<std::uint8_t> body(samples * kBytesPerSample);
    // Little-endian whatever the machine's order.
    for (std::size_t i = 0; i < samples; ++i)
    {
        const auto sample = static_cast<std::uint16_t>(stereo[i]);
        body[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
        body[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
    }
    CFile file(path, CFile::modeCreate | CFile::modeWrite);
    file.Write(header.data(), header.size());
    file.Write(body.data(), body.size());
    file.Close();
}
