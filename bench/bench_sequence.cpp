// The sequencer's reader on large songs: megabytes read per second, the memory the read song
// takes, and the time of a seek (chasing every channel's state) at the end of the song. The
// songs are made here: sixteen tracks of notes, controllers and pitch bends with running status,
// a tempo change every bar, and a real song from the corpus repeated to the same size.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "midi_sequence.h"

namespace
{

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t value)
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

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A format 1 song of about `bytes` bytes: a conductor track with a tempo change every bar, then
// fifteen tracks of dense playing, each on its own channel.
std::vector<std::uint8_t> MakeSong(std::size_t bytes)
{
    constexpr int kTracks = 16;
    const std::size_t perTrack = bytes / kTracks;
    std::vector<std::uint8_t> song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
    std::vector<std::uint8_t> track;
    for (int t = 0; t < kTracks; ++t)
    {
        track.clear();
        std::uint32_t seed = 12345u + static_cast<std::uint32_t>(t);
        const auto channel = static_cast<std::uint8_t>(t);
        while (track.size() < perTrack)
        {
            seed = seed * 1103515245u + 12345u;
            if (t == 0)
            {
                PutVarLen(track, 1920);
                const std::uint32_t tempo = 400000 + (seed >> 16) % 200000;
                track.insert(track.end(), {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(tempo >> 16),
                                           static_cast<std::uint8_t>(tempo >> 8),
                                           static_cast<std::uint8_t>(tempo)});
                continue;
            }
            const auto note = static_cast<std::uint8_t>(36 + (seed >> 16) % 48);
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(0xB0 | channel), 11,
                                       static_cast<std::uint8_t>((seed >> 8) & 0x7F)});
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(0xE0 | channel),
                                       static_cast<std::uint8_t>(seed & 0x7F), 0x40});
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(0x90 | channel), note, 100});
            PutVarLen(track, 60);
            track.insert(track.end(), {static_cast<std::uint8_t>(note + 4), 90}); // running status
            PutVarLen(track, 60);
            track.insert(track.end(), {note, 0});
            PutVarLen(track, 0);
            track.insert(track.end(), {static_cast<std::uint8_t>(note + 4), 0});
        }
        track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
        song.insert(song.end(), {'M', 'T', 'r', 'k'});
        PutBe32(song, static_cast<std::uint32_t>(track.size()));
        song.insert(song.end(), track.begin(), track.end());
    }
    return song;
}

// A real song as one track (format 0), repeated until the file is about `bytes` long; once for
// a `bytes` of 0.
std::vector<std::uint8_t> RepeatCorpusSong(std::size_t bytes)
{
    std::ifstream in(std::string(TARVEL1_CORPUS_DIR) + "/mma/examples/aria/when-or-where.mid",
                     std::ios::binary);
    const std::vector<std::uint8_t> real{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    CMidiSequence check;
    std::string reason;
    if (real.size() < 14 || !check.Read(real.data(), real.size(), reason))
        return {};
    // Each repetition is the whole song as one track: its tracks' bodies laid end to end, each
    // end of track turned into an empty text event so that its delta still counts.
    std::vector<std::uint8_t> body;
    std::size_t pos = 14;
    while (pos + 8 <= real.size())
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
    std::vector<std::uint8_t> track;
    do
        track.insert(track.end(), body.begin(), body.end());
    while (track.size() + body.size() < bytes);
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> song(real.begin(), real.begin() + 14);
    song[9] = 0;
    song[10] = 0;
    song[11] = 1;
    song.insert(song.end(), {'M', 'T', 'r', 'k'});
    PutBe32(song, static_cast<std::uint32_t>(track.size()));
    song.insert(song.end(), track.begin(), track.end());
    return song;
}

void ReadSong(benchmark::State& state, const std::vector<std::uint8_t>& song)
{
    if (song.empty())
    {
        state.SkipWithError("no song");
        return;
    }
    std::size_t events = 0;
    std::size_t memory = 0;
    for (auto _ : state)
    {
        CMidiSequence seq;
        std::string reason;
        if (!seq.Read(song.data(), song.size(), reason))
        {
            state.SkipWithError(reason.c_str());
            return;
        }
        events = seq.Events().size();
        memory = seq.Events().capacity() * sizeof(CMidiEvent) + seq.Bytes().capacity();
        benchmark::DoNotOptimize(seq.TotalMicros());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
    state.counters["events"] = static_cast<double>(events);
    state.counters["MiB_held"] = static_cast<double>(memory) / (1 << 20);
}

void BM_ReadMadeSong(benchmark::State& state)
{
    static const auto song = MakeSong(static_cast<std::size_t>(state.range(0)) << 20);
    ReadSong(state, song);
}

void BM_ReadCorpusSongRepeated(benchmark::State& state)
{
    static const auto song = RepeatCorpusSong(static_cast<std::size_t>(state.range(0)) << 20);
    ReadSong(state, song);
}

void BM_ReadCorpusSong(benchmark::State& state)
{
    static const auto song = RepeatCorpusSong(0);
    ReadSong(state, song);
}

void BM_StateAtEnd(benchmark::State& state)
{
    static const auto song = MakeSong(static_cast<std::size_t>(state.range(0)) << 20);
    CMidiSequence seq;
    std::string reason;
    if (!seq.Read(song.data(), song.size(), reason))
    {
        state.SkipWithError(reason.c_str());
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(seq.StateAt(seq.TotalMicros()));
    state.counters["events"] = static_cast<double>(seq.Events().size());
}

} // namespace

BENCHMARK(BM_ReadMadeSong)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCorpusSongRepeated)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCorpusSong)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StateAtEnd)->Arg(64)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
