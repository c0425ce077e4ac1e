// MIDI port timing: a song of notes every 100 ms (3 minutes unless a length in seconds is given)
// (with TARVEL1_JACK_THROUGH_RTMIDI set, through the ALSA sequencer's path: RtMidi, our thread)
// played through a JACK server with its dummy backend to a capturing client; each note's arrival
// frame is compared with its time in the song, counted from the first note. Beside it, the
// lateness of absolute-time sleeps (clock_nanosleep), the mechanism of the ALSA sequencer path,
// over the same minutes. Prints median and worst of both, in milliseconds.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

#include "jack_capture.h"
#include "midi_port.h"
#include "sequencer_player.h"

namespace
{

constexpr int kStepTicks = 96; // 100 ms at 480 ticks a quarter and 120 beats a minute

std::vector<std::uint8_t> VarLen(std::uint32_t value)
{
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return bytes;
}

std::vector<std::uint8_t> Song(int notes)
{
    std::vector<std::uint8_t> body;
    for (int i = 0; i < notes; ++i)
    {
        const auto note = static_cast<std::uint8_t>(48 + i % 36);
        const auto delta = VarLen(i == 0 ? 0 : kStepTicks / 2);
        body.insert(body.end(), delta.begin(), delta.end());
        body.insert(body.end(), {0x90, note, 100, 0x30, 0x80, note, 0});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    const auto n = static_cast<std::uint32_t>(body.size());
    std::vector<std::uint8_t> smf = {'M',
                                     'T',
                                     'h',
                                     'd',
                                     0,
                                     0,
                                     0,
                                     6,
                                     0,
                                     0,
                                     0,
                                     1,
                                     0x01,
                                     0xE0,
                                     'M',
                                     'T',
                                     'r',
                                     'k',
                                     static_cast<std::uint8_t>(n >> 24),
                                     static_cast<std::uint8_t>(n >> 16),
                                     static_cast<std::uint8_t>(n >> 8),
                                     static_cast<std::uint8_t>(n)};
    smf.insert(smf.end(), body.begin(), body.end());
    return smf;
}

void Report(const char* what, std::vector<double> errors)
{
    if (errors.empty())
    {
        std::printf("%s: nothing measured\n", what);
        return;
    }
    std::sort(errors.begin(), errors.end());
    std::printf("%s: %zu samples, median %.3f ms, worst %.3f ms\n", what, errors.size(),
                errors[errors.size() / 2], errors.back());
}

std::int64_t Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    char folder[] = "/tmp/tarvel1-bench-jack-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    CJackServer server(folder);
    CCaptureClient capture;
    if (!server.Started() || !capture.Ready())
    {
        std::fprintf(stderr, "no JACK server (install jackd1)\n");
        return 1;
    }
    const std::string song = std::string(folder) + "/song.mid";
    const auto bytes = Song(seconds * 10);
    if (FILE* file = std::fopen(song.c_str(), "wb"))
    {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    PlayerOptions options;
    options.strMidiPort = "capture:in";
    CSequencerPlayer player(options);
    if (!player.Open(song))
    {
        std::fprintf(stderr, "%s\n", player.ErrorText().c_str());
        return 1;
    }
    // The connection to the capturing port is made by the server's thread: a moment for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!player.Play())
    {
        std::fprintf(stderr, "%s\n", player.ErrorText().c_str());
        return 1;
    }

    // The sleeps wake every 37 ms, off the beat of the notes.
    std::vector<double> lateness;
    const std::int64_t start = Now();
    std::int64_t due = start;
    while (!player.IsFinished())
    {
        due += 37000000;
        timespec until = {static_cast<time_t>(due / 1000000000),
                          static_cast<long>(due % 1000000000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        lateness.push_back(double(Now() - due) / 1e6);
    }
    player.Close();

    // Through RtMidi and our thread the messages reach JACK by the wall clock: measured by the
    // server's clock then, not by its frames.
    const bool thread = std::getenv(kJackThroughRtMidiVariable) != nullptr;
    std::vector<std::uint64_t> onsets;
    for (const Captured& c : capture.Take())
        if (c.bytes.size() == 3 && (c.bytes[0] & 0xF0) == 0x90 && c.bytes[2] > 0)
            onsets.push_back(thread ? c.nMicros * kJackRate / 1000000 : c.nFrame);
    // The error of each note against the song's time, after the one latency that all share
    // (the median of their offsets).
    std::vector<double> offsets;
    for (std::size_t i = 0; i < onsets.size(); ++i)
        offsets.push_back(double(onsets[i] - onsets[0]) - double(i) * 0.1 * kJackRate);
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    const double latency = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    std::vector<double> errors;
    for (double offset : offsets)
        errors.push_back(std::abs(offset - latency) * 1000.0 / kJackRate);
    std::printf("notes sent %d, arrived %zu\n", seconds * 10, onsets.size());
    Report("JACK port, arrival against the song's time", errors);
    Report("clock_nanosleep lateness", lateness);
    if (std::system((std::string("rm -rf ") + folder).c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", folder);
    return onsets.size() == static_cast<std::size_t>(seconds * 10) ? 0 : 1;
}
