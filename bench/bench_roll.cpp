// The piano roll on a 4 MiB song: building the model (what every open, File New and conversion
// costs the roll), the first paint of the whole song, and one frame of scrolling when zoomed in.
// And on the largest song the program reads, 64 MiB: from the open of its file to the fitted roll
// painted, and one screen painted again at the fitted zoom and at 100 pixels a second.
// Painted into an image surface of the window's usual size, as the window paints.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "event_walker.h"
#include "piano_roll_painter.h"
#include "song_document.h"

namespace
{

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSongBytes = 4u << 20;
// The largest song File Open takes, less a little for the header and the chunk headers.
constexpr std::size_t kLargestSongBytes = (64u << 20) - 1024;
constexpr int kTracks = 16;
constexpr int kWidth = 1200;
constexpr int kHeight = 600;

void PutVarLen(Bytes& out, std::uint32_t value)
{
    std::uint8_t bytes[5];
    int n = 0;
    do
    {
        bytes[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n-- > 0)
        out.push_back(static_cast<std::uint8_t>(bytes[n] | (n > 0 ? 0x80 : 0)));
}

// Sixteen tracks of chords and runs, one channel each (drums on the tenth), a note-on and a
// note-off under running status every few ticks: about 4 MiB and 350,000 notes, some hours.
Bytes BigSong(std::size_t songBytes = kSongBytes)
{
    Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
    const std::size_t perTrack = songBytes / kTracks - 8;
    std::uint32_t seed = 12345;
    for (int track = 0; track < kTracks; ++track)
    {
        Bytes body;
        if (track == 0)
            body.insert(body.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
        body.insert(body.end(), {0x00, static_cast<std::uint8_t>(0x90 | track), 60, 80});
        body.insert(body.end(), {0x60, 60, 0});
        while (body.size() + 12 < perTrack)
        {
            seed = seed * 1103515245u + 12345u;
            const std::uint8_t note = static_cast<std::uint8_t>(36 + (seed >> 16) % 60);
            PutVarLen(body, 20 + (seed >> 8) % 100);
            body.insert(body.end(), {note, 90});
            PutVarLen(body, 60 + (seed >> 4) % 200);
            body.insert(body.end(), {note, 0});
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        const std::size_t n = body.size();
        song.insert(song.end(), {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24),
                                 static_cast<std::uint8_t>(n >> 16),
                                 static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        song.insert(song.end(), body.begin(), body.end());
    }
    return song;
}

struct Songs
{
    Bytes original = BigSong();
    Bytes converted = Converted(original);

    static Bytes Converted(Bytes song)
    {
        WalkTrackEvents(SongSpan{song.data(), song.size()}, kTracks, "minor", -2);
        return song;
    }
};

const Songs& TheSongs()
{
    static const Songs songs;
    return songs;
}

void Build(CPianoRollModel& model)
{
    const Songs& songs = TheSongs();
    model.Build(songs.original.data(), songs.converted.data(), songs.original.size(), kTracks,
                ConversionMode::Minor, -2);
}

void BM_RollBuild(benchmark::State& state)
{
    CPianoRollModel model;
    for (auto _ : state)
    {
        Build(model);
        benchmark::DoNotOptimize(model.Notes().data());
    }
    state.counters["notes"] = double(model.Notes().size());
    state.counters["seconds_of_song"] = model.TotalSeconds();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kSongBytes));
}
BENCHMARK(BM_RollBuild)->Unit(benchmark::kMillisecond);

// What opening the song with the roll shown costs the roll: the model and a fitted first paint.
void BM_RollOpenAndFirstPaint(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    CPianoRollModel model;
    for (auto _ : state)
    {
        Build(model);
        const CRollViewport view = CPianoRollPainter::FitAll(model, kWidth, kHeight);
        CPianoRollPainter::Paint(cr, kWidth, kHeight, model, view);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_RollOpenAndFirstPaint)->Unit(benchmark::kMillisecond);

// One frame of scrolling: the view moved along and painted again, at the zoom given in pixels
// per second.
void BM_RollScrollFrame(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    CPianoRollModel model;
    Build(model);
    CRollViewport view = CPianoRollPainter::FitAll(model, kWidth, kHeight);
    view.dPixelsPerSecond = double(state.range(0));
    view.dFirstSecond = model.TotalSeconds() / 2;
    for (auto _ : state)
    {
        view.dFirstSecond += 0.5;
        CPianoRollPainter::Paint(cr, kWidth, kHeight, model, view);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_RollScrollFrame)->Arg(2)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

// The 64 MiB song as a file, written once for the run and removed at its end.
struct LargestSongFile
{
    std::string strPath;
    LargestSongFile()
    {
        char path[] = "/tmp/bench_roll_XXXXXX";
        const int fd = mkstemp(path);
        const Bytes song = BigSong(kLargestSongBytes);
        if (fd >= 0 && write(fd, song.data(), song.size()) == ssize_t(song.size()))
            strPath = path;
        if (fd >= 0)
            close(fd);
    }
    ~LargestSongFile()
    {
        if (!strPath.empty())
            unlink(strPath.c_str());
    }
};

const std::string& LargestSongPath()
{
    static const LargestSongFile file;
    return file.strPath;
}

// What the user waits for after choosing the 64 MiB song with the roll shown: the file read into
// the document, converted, the roll's model built from both copies, fitted and painted.
void BM_Roll64MiBOpenToFittedPaint(benchmark::State& state)
{
    const std::string& path = LargestSongPath();
    if (path.empty())
    {
        state.SkipWithError("could not write the 64 MiB song");
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    CPianoRollModel model;
    for (auto _ : state)
    {
        CTarvel1Doc doc;
        if (!doc.OnOpenDocument(path))
        {
            state.SkipWithError("the 64 MiB song did not open");
            break;
        }
        doc.Convert("minor", -2);
        model.Build(doc, true, "minor", -2);
        const CRollViewport view = CPianoRollPainter::FitAll(model, kWidth, kHeight);
        CPianoRollPainter::Paint(cr, kWidth, kHeight, model, view);
        cairo_surface_flush(surface);
    }
    state.counters["notes"] = double(model.Notes().size());
    state.counters["hours_of_song"] = model.TotalSeconds() / 3600;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_Roll64MiBOpenToFittedPaint)->Unit(benchmark::kMillisecond)->Iterations(3);

// One screen of the 64 MiB song painted again (a playhead step, an expose): at the fitted zoom
// (argument 0) or at the given pixels per second, from the middle of the song.
void BM_Roll64MiBRedraw(benchmark::State& state)
{
    static const Bytes original = BigSong(kLargestSongBytes);
    static const Bytes converted = Songs::Converted(original);
    static CPianoRollModel model;
    if (model.Notes().empty())
        model.Build(original.data(), converted.data(), original.size(), kTracks,
                    ConversionMode::Minor, -2);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    CRollViewport view = CPianoRollPainter::FitAll(model, kWidth, kHeight);
    if (state.range(0) > 0)
    {
        view.dPixelsPerSecond = double(state.range(0));
        view.dFirstSecond = model.TotalSeconds() / 2;
    }
    // As the window repaints: the same view again with the playhead moved on, the note area
    // kept from the paint before.
    CRollLayerCache cache;
    CPianoRollPainter::Paint(cr, kWidth, kHeight, model, view, &cache);
    for (auto _ : state)
    {
        view.dPlayhead += 0.01;
        CPianoRollPainter::Paint(cr, kWidth, kHeight, model, view, &cache);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_Roll64MiBRedraw)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
