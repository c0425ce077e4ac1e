// Conversion speed: Convert() on a song of 128 KiB of dense notes, and on real
// songs; loading speed for the same files. Reported as bytes of song per second.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "conversion.h"
#include "message_box.h"

namespace
{

using Bytes = std::vector<std::uint8_t>;

// The size the dense song fills: the largest song of the old fixed arrays.
constexpr std::size_t kDenseSize = 0x20000;

// A single track of notes under running status, as dense as a song can be, that ends exactly
// on its last byte.
Bytes DenseSong()
{
    Bytes song = {'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
                  1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, 0};
    song.insert(song.end(), {0x00, 0x90, 0x3C, 0x40});
    std::uint8_t note = 0x3C;
    while (song.size() + 3 + 4 <= kDenseSize)
    {
        note = static_cast<std::uint8_t>(24 + (note * 7 + 5) % 84);
        song.insert(song.end(),
                    {0x00, note, static_cast<std::uint8_t>(song.size() % 2 ? 0x40 : 0x00)});
    }
    while (song.size() + 4 < kDenseSize)
        song.insert(song.end(), {0x00, 0xB0, 0x07, 0x64});
    song.resize(kDenseSize - 4, 0x00);
    song.insert(song.end(), {0x00, 0xFF, 0x2F, 0x00});
    const std::size_t length = song.size() - 22;
    song[18] = static_cast<std::uint8_t>(length >> 24);
    song[19] = static_cast<std::uint8_t>(length >> 16);
    song[20] = static_cast<std::uint8_t>(length >> 8);
    song[21] = static_cast<std::uint8_t>(length);
    return song;
}

std::string WriteTemp(const Bytes& bytes)
{
    char path[] = "/tmp/tarvel1-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    close(fd);
    return path;
}

std::unique_ptr<CTarvel1Doc> Load(const std::string& path)
{
    AfxSetMessagePresenter([](const std::string& text)
                           { std::fprintf(stderr, "%s\n", text.c_str()); });
    auto doc = std::make_unique<CTarvel1Doc>();
    if (!doc->OnOpenDocument(path) || doc->m_bLoaded != 1)
        return nullptr;
    return doc;
}

void ConvertBench(benchmark::State& state, const std::string& path, const char* mode)
{
    auto doc = Load(path);
    if (!doc)
    {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    for (auto _ : state)
    {
        doc->Convert(mode, -2);
        benchmark::DoNotOptimize(doc->m_converted.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            (doc->m_nLastIndex + 1));
}

void LoadBench(benchmark::State& state, const std::string& path)
{
    auto doc = std::make_unique<CTarvel1Doc>();
    std::size_t bytes = 0;
    for (auto _ : state)
    {
        if (!doc->OnOpenDocument(path))
        {
            state.SkipWithError(("cannot load " + path).c_str());
            return;
        }
        bytes += static_cast<std::size_t>(doc->m_nLastIndex) + 1;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string dense = WriteTemp(DenseSong());
    for (const char* mode : {"major", "invert", "Non convert"})
        benchmark::RegisterBenchmark((std::string("Convert/dense-128KiB/") + mode).c_str(),
                                     ConvertBench, dense, mode);
    benchmark::RegisterBenchmark("Load/dense-128KiB", LoadBench, dense);

    // Real songs, when the shared corpus is beside the repository.
    const std::string corpus = TARVEL1_CORPUS_DIR;
    for (const char* name : {"mma/examples/midi-inc/mid2seq/countme.mid",
                             "mma/examples/aria/bossa.mid", "solfege/fanfare.midi"})
    {
        const std::string path = corpus + "/" + name;
        if (std::ifstream(path).good())
        {
            benchmark::RegisterBenchmark(("Convert/" + std::string(name)).c_str(), ConvertBench,
                                         path, "major");
            benchmark::RegisterBenchmark(("Load/" + std::string(name)).c_str(), LoadBench, path);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(dense.c_str());
    return 0;
}
