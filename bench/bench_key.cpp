// Key finding speed: a typical song of 50 KB (a real song from the corpus repeated to that
// size), and songs of the largest accepted size, 64 MiB: dense playing on fifteen channels, and
// the real song repeated.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "key_finder.h"
#include "song_document.h"

namespace
{

using Bytes = std::vector<std::uint8_t>;

void PutVarLen(Bytes& out, std::uint32_t value)
{
    std::uint8_t bytes[4];
    int n = 0;
    do
    {
        bytes[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.push_back(bytes[--n] | 0x80);
    out.push_back(bytes[0]);
}

void PutTrack(Bytes& song, const Bytes& track)
{
    const auto n = static_cast<std::uint32_t>(track.size());
    song.insert(song.end(), {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24),
                             static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n)});
    song.insert(song.end(), track.begin(), track.end());
}

// Format 1, up to `bytes`: fifteen tracks of chords under running status with a controller and
// a pitch bend before each, one channel each, and drums on channel 10 among them.
Bytes DenseSong(std::size_t bytes)
{
    constexpr int kTracks = 15;
    Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
    const std::size_t perTrack = (bytes - song.size()) / kTracks - 8;
    for (int t = 0; t < kTracks; ++t)
    {
        Bytes track;
        std::uint32_t seed = 12345u + static_cast<std::uint32_t>(t);
        const auto channel = static_cast<std::uint8_t>(t);
        while (track.size() + 22 < perTrack)
        {
            seed = seed * 1103515245u + 12345u;
            const auto note = static_cast<std::uint8_t>(36 + (seed >> 16) % 48);
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(0xB0 | channel), 11,
                                       static_cast<std::uint8_t>((seed >> 8) & 0x7F)});
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(0x90 | channel), note, 100});
            PutVarLen(track, 60);
            track.insert(track.end(), {static_cast<std::uint8_t>(note + 4), 90});
            PutVarLen(track, 60);
            track.insert(track.end(), {note, 0});
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(note + 4), 0});
        }
        track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
        PutTrack(song, track);
    }
    return song;
}

// A real song as one track (format 0), its tracks laid end to end and repeated until the song
// is about `bytes` long; each end of track becomes an empty text event so that its delta
// counts. Empty when the corpus is not there.
Bytes RepeatedCorpusSong(std::size_t bytes)
{
    std::ifstream in(std::string(TARVEL1_CORPUS_DIR) + "/mma/examples/aria/when-or-where.mid",
                     std::ios::binary);
    const Bytes real{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Bytes body;
    for (std::size_t pos = 14; pos + 8 <= real.size();)
    {
        const std::uint32_t length = (std::uint32_t{real[pos + 4]} << 24) |
                                     (std::uint32_t{real[pos + 5]} << 16) |
                                     (std::uint32_t{real[pos + 6]} << 8) | real[pos + 7];
        if (length < 3 || pos + 8 + length > real.size())
            break;
        const std::size_t end = pos + 8 + length;
        body.insert(body.end(), real.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                    real.begin() + static_cast<std::ptrdiff_t>(end));
        if (real[end - 3] == 0xFF && real[end - 2] == 0x2F)
            body[body.size() - 2] = 0x01;
        pos = end;
    }
    if (body.empty())
        return {};
    Bytes track;
    while (track.size() + body.size() + 4 + 22 <= bytes)
        track.insert(track.end(), body.begin(), body.end());
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes song(real.begin(), real.begin() + 14);
    song[9] = 0;
    song[10] = 0;
    song[11] = 1;
    PutTrack(song, track);
    return song;
}

void Estimate(benchmark::State& state, const Bytes& song)
{
    if (song.empty())
    {
        state.SkipWithError("the corpus is not there");
        return;
    }
    const int tracks = (song[10] << 8) | song[11];
    KeyEstimate estimate;
    for (auto _ : state)
    {
        estimate = EstimateKey(song.data(), song.size(), tracks);
        benchmark::DoNotOptimize(estimate);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
    state.SetLabel(std::to_string(song.size()) + " bytes, " + std::to_string(estimate.nNotes) +
                   " notes, " + KeyText(estimate.key));
}

void BM_EstimateKeyTypical50KB(benchmark::State& state)
{
    static const Bytes song = RepeatedCorpusSong(50 * 1000);
    Estimate(state, song);
}

void BM_EstimateKeyDense64MiB(benchmark::State& state)
{
    static const Bytes song = DenseSong(kSongLimit);
    Estimate(state, song);
}

void BM_EstimateKeyCorpusSong64MiB(benchmark::State& state)
{
    static const Bytes song = RepeatedCorpusSong(kSongLimit);
    Estimate(state, song);
}

} // namespace

BENCHMARK(BM_EstimateKeyTypical50KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EstimateKeyDense64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateKeyCorpusSong64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
