#pragma once
// A rendered song as a WAV file: 16-bit little-endian PCM, interleaved stereo.

#include <cstdint>
#include <string>
#include <vector>

// The 44-byte RIFF/WAVE header for `frames` stereo 16-bit frames at `sampleRate`.
std::vector<std::uint8_t> WavHeader(std::uint32_t frames, std::uint32_t sampleRate);

// Writes the header and the samples to `path`, replacing the file there only once all of it is
// on the disk. Throws CFileException.
void WriteWavFile(const std::string& path, const std::vector<std::int16_t>& stereo,
                  std::uint32_t sampleRate);
