#pragma once
// Small Standard MIDI Files made in the test itself, for the cases where a single event says
// more than a real song would.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A 14-byte header chunk announcing `tracks`, then each body wrapped as an "MTrk" chunk. The
// bodies are taken as given: they must end with their own end-of-track event when one is wanted.
inline Bytes MakeSmf(const std::vector<Bytes>& bodies, int tracks = -1, int format = 1)
{
    if (tracks < 0)
        tracks = static_cast<int>(bodies.size());
    Bytes out = {'M',
                 'T',
                 'h',
                 'd',
                 0,
                 0,
                 0,
                 6,
                 0,
                 static_cast<std::uint8_t>(format),
                 static_cast<std::uint8_t>(tracks >> 8),
                 static_cast<std::uint8_t>(tracks),
                 0x01,
                 0xE0};
    for (const Bytes& body : bodies)
    {
        const std::size_t n = body.size();
        const Bytes chunk = {'M',
                             'T',
                             'r',
                             'k',
                             static_cast<std::uint8_t>(n >> 24),
                             static_cast<std::uint8_t>(n >> 16),
                             static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n)};
        out.insert(out.end(), chunk.begin(), chunk.end());
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};
