// Player speed on a real song from the corpus: offline rendering as a multiple of real time,
// beside the synthesizer's own command-line program rendering the same song with the same
// SoundFont; and the time from START (open and play) to the first audio block, and to the first
// sounding voice, once the SoundFont is loaded. Reads ../shared/corpus.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include "conversion.h"
#include "sequencer_player.h"
#include "song_document.h"
#include "wav_file.h"

namespace
{

// 141 s, 9 tracks with drums; its first note comes after a half-second count-in.
constexpr const char* kSong = "mma/examples/aria/when-or-where.mid";
// A piano lesson whose first note is on tick 0.
constexpr const char* kSongStartingAtOnce =
    "pianobooster/BoosterMusicBooks4/Beginner Course/01-StartWithMiddleC.mid";

// A corpus song converted as the convert button does ("minor" from "D"), in a folder of its
// own that lives as long as the program.
std::string ConvertSong(const char* name)
{
    std::string folder = "/tmp/tarvel1-bench-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return std::string();
    auto doc = std::make_unique<CTarvel1Doc>();
    if (!doc->OnOpenDocument(std::string(TARVEL1_CORPUS_DIR) + "/" + name))
        return std::string();
    doc->Convert("minor", KeyOffsetFromName("D"));
    const std::string song = folder + "/" + kTempSongName;
    WriteConvertedSong(*doc, song);
    return song;
}

const std::string& ConvertedSong()
{
    static const std::string path = ConvertSong(kSong);
    return path;
}

const std::string& ConvertedSongStartingAtOnce()
{
    static const std::string path = ConvertSong(kSongStartingAtOnce);
    return path;
}

PlayerOptions Output(AudioOutput output)
{
    PlayerOptions options;
    options.output = output;
    return options;
}

void ReportRealTime(benchmark::State& state, double audioSeconds)
{
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["audio_s"] = audioSeconds;
}

// Open and render the whole song into memory, the SoundFont already loaded.
void BM_RenderSong(benchmark::State& state)
{
    CSequencerPlayer player(Output(AudioOutput::Manual));
    if (ConvertedSong().empty() || !player.WaitForSoundFont())
    {
        state.SkipWithError(("no song or no SoundFont: " + player.ErrorText()).c_str());
        return;
    }
    std::vector<std::int16_t> audio;
    for (auto _ : state)
    {
        audio.clear();
        if (!player.Open(ConvertedSong()) || !player.RenderSong(audio))
        {
            state.SkipWithError(player.ErrorText().c_str());
            return;
        }
        benchmark::DoNotOptimize(audio.data());
    }
    ReportRealTime(state, audio.size() / 2.0 / kPlayerSampleRate);
}
BENCHMARK(BM_RenderSong)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// What --render does: start a player (loading the SoundFont), render, write the WAV file.
void BM_RenderSongToWavFile(benchmark::State& state)
{
    const std::string wav = ConvertedSong() + ".wav";
    double audioSeconds = 0.0;
    for (auto _ : state)
    {
        CSequencerPlayer player(Output(AudioOutput::Manual));
        std::vector<std::int16_t> audio;
        if (!player.Open(ConvertedSong()) || !player.RenderSong(audio))
        {
            state.SkipWithError(player.ErrorText().c_str());
            return;
        }
        WriteWavFile(wav, audio, kPlayerSampleRate);
        audioSeconds = audio.size() / 2.0 / kPlayerSampleRate;
    }
    ReportRealTime(state, audioSeconds);
}
BENCHMARK(BM_RenderSongToWavFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The synthesizer's own program on the same song and SoundFont:
// fluidsynth -ni -F out.wav -r 44100 SOUNDFONT song.mid
void BM_FluidsynthProgram(benchmark::State& state)
{
    CSequencerPlayer probe(Output(AudioOutput::Manual));
    if (std::system("command -v fluidsynth >/dev/null 2>&1") != 0 || !probe.WaitForSoundFont())
    {
        state.SkipWithError("the fluidsynth program or the SoundFont is missing");
        return;
    }
    const std::string wav = ConvertedSong() + ".fluidsynth.wav";
    const std::string command = "fluidsynth -ni -F '" + wav + "' -r 44100 '" +
                                probe.SoundFontPath() + "' '" + ConvertedSong() +
                                "' >/dev/null 2>&1";
    for (auto _ : state)
    {
        if (std::system(command.c_str()) != 0)
        {
            state.SkipWithError("fluidsynth failed");
            return;
        }
    }
    std::ifstream in(wav, std::ios::binary | std::ios::ate);
    const auto bytes = static_cast<double>(in.tellg());
    ReportRealTime(state, (bytes - 44) / 4.0 / kPlayerSampleRate);
}
BENCHMARK(BM_FluidsynthProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// START on the silent output, which renders blocks at the pace of real time as a sound card's
// driver does: the time from open-and-play to the first block rendered after it.
void BM_StartToFirstBlock(benchmark::State& state)
{
    CSequencerPlayer player(Output(AudioOutput::Silent));
    if (!player.WaitForSoundFont())
    {
        state.SkipWithError(player.ErrorText().c_str());
        return;
    }
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!player.Open(ConvertedSong()) || !player.Play())
        {
            state.SkipWithError(player.ErrorText().c_str());
            return;
        }
        const std::uint64_t frames = player.RenderedFrames();
        while (player.RenderedFrames() == frames)
            std::this_thread::yield();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        player.Close();
    }
}
BENCHMARK(BM_StartToFirstBlock)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(50);

// The same output, a song whose first note is on tick 0: the time from Play() to the first
// voice sounding. The voices the previous play left are cut first, so that they are not counted.
void BM_PlayToFirstSound(benchmark::State& state)
{
    CSequencerPlayer player(Output(AudioOutput::Silent));
    if (!player.WaitForSoundFont() || !player.Open(ConvertedSongStartingAtOnce()))
    {
        state.SkipWithError(player.ErrorText().c_str());
        return;
    }
    for (auto _ : state)
    {
        player.Pause();
        while (player.ActiveVoices() != 0)
            std::this_thread::yield();
        const auto start = std::chrono::steady_clock::now();
        if (!player.Play())
        {
            state.SkipWithError(player.ErrorText().c_str());
            return;
        }
        while (player.ActiveVoices() == 0)
            std::this_thread::yield();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_PlayToFirstSound)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(50);

// The same with the caller rendering: open, play and render one 64-frame block.
void BM_StartToFirstBlockManual(benchmark::State& state)
{
    CSequencerPlayer player(Output(AudioOutput::Manual));
    if (!player.WaitForSoundFont())
    {
        state.SkipWithError(player.ErrorText().c_str());
        return;
    }
    std::int16_t block[2 * 64];
    for (auto _ : state)
    {
        if (!player.Open(ConvertedSong()) || !player.Play())
        {
            state.SkipWithError(player.ErrorText().c_str());
            return;
        }
        player.Render(block, 64);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_StartToFirstBlockManual)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
