// Delivery on a JACK port: each song given (or every song under the folders given) is played on
// a JACK server with its dummy backend (128 frames a cycle) to a capturing client, from its
// start and after seeks to 25, 50 and 75 % of it, for a short while each, then paused. What
// arrives must be exactly the preamble (or the chase), then the song's own messages from that
// point in the song's order with none missing, then the pause's silence. Prints per song what
// did not hold, the totals, and the median and worst timing error of the song's messages at the
// start (each against the song's time, counted from the first frame of the cycle that took the
// preamble; a message that waited for room in a later cycle counts with its wait).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "jack_capture.h"
#include "midi_sequence.h"
#include "sequencer_player.h"

namespace
{

using Message = std::vector<std::uint8_t>;

Message EventBytes(const CMidiSequence& seq, const CMidiEvent& ev)
{
    if (ev.kind == CMidiEvent::Kind::Channel)
    {
        const std::uint8_t kind = ev.status & 0xF0;
        if (kind == 0xC0 || kind == 0xD0)
            return {ev.status, ev.data1};
        return {ev.status, ev.data1, ev.data2};
    }
    return Message(seq.Bytes().begin() + ev.nOffset, seq.Bytes().begin() + ev.nOffset + ev.nLength);
}

Message Bytes(const CMidiMessage& m)
{
    return Message(m.bytes, m.bytes + m.nSize);
}

// The pause's silence: per channel the two pedals, a note-off per held note, all notes off and
// all sound off; after the song's end, its release first (a note-off per held note and the two
// pedals per channel). `ended`: every event of the song has gone out.
bool IsSilence(const std::vector<Captured>& got, std::size_t from, bool ended)
{
    std::size_t controls = 0;
    for (std::size_t i = from; i < got.size(); ++i)
    {
        const Message& m = got[i].bytes;
        if (m.size() == 3 && (m[0] & 0xF0) == 0xB0 &&
            (m[1] == 64 || m[1] == 66 || m[1] == 120 || m[1] == 123) && m[2] == 0)
            ++controls;
        else if (!(m.size() == 3 && (m[0] & 0xF0) == 0x80))
            return false;
    }
    // Once every event went out, the song may or may not have reached its end in the window.
    return controls == 64 || (ended && controls == 96);
}

struct Phase
{
    bool bOk = true;
    std::size_t nSongMessages = 0;
    std::vector<double> errors;      // ms
    std::vector<double> laterErrors; // ms, of the messages 50 ms or more into the song
};

// Checks one phase: `lead` (preamble or chase) first, then song events from `first` on.
Phase Check(const CMidiSequence& seq, const std::vector<Message>& lead, std::size_t first,
            const std::vector<Captured>& got, bool time)
{
    Phase phase;
    std::size_t at = 0;
    for (const Message& m : lead)
    {
        if (at >= got.size() || got[at].bytes != m)
        {
            std::printf("  the lead differs at message %zu of %zu\n", at, lead.size());
            phase.bOk = false;
            return phase;
        }
        ++at;
    }
    const auto& events = seq.Events();
    std::size_t i = first;
    while (at < got.size() && i < events.size() && got[at].bytes == EventBytes(seq, events[i]))
    {
        if (time)
        {
            // The song's time 0 is the first frame of the cycle that took the preamble.
            const double expected = double(events[i].nMicros) / 1000.0;
            const double arrived = double(got[at].nFrame - got[0].nFrame) * 1000.0 / kJackRate;
            phase.errors.push_back(std::abs(arrived - expected));
            if (expected >= 50.0)
                phase.laterErrors.push_back(std::abs(arrived - expected));
        }
        ++at;
        ++i;
    }
    phase.nSongMessages = i - first;
    phase.bOk = IsSilence(got, at, i == events.size());
    if (!phase.bOk)
    {
        std::printf("  after %zu song messages from event %zu, message %zu of %zu:", i - first,
                    first, at, got.size());
        for (std::uint8_t b : got[at].bytes)
            std::printf(" %02X", b);
        if (i < events.size())
        {
            std::printf("; the song's next:");
            for (std::uint8_t b : EventBytes(seq, events[i]))
                std::printf(" %02X", b);
        }
        std::printf("\n");
    }
    return phase;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> songs;
    for (int i = 1; i < argc; ++i)
    {
        if (std::filesystem::is_directory(argv[i]))
        {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i]))
            {
                std::string ext = entry.path().extension().string();
                std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
                if (entry.is_regular_file() && (ext == ".mid" || ext == ".midi" || ext == ".kar"))
                    songs.push_back(entry.path().string());
            }
        }
        else
            songs.push_back(argv[i]);
    }
    std::sort(songs.begin(), songs.end());
    char folder[] = "/tmp/tarvel1-bench-delivery-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    CJackServer server(folder);
    CCaptureClient capture;
    if (!server.Started() || !capture.Ready())
    {
        std::fprintf(stderr, "no JACK server (install jackd1)\n");
        return 1;
    }
    PlayerOptions options;
    options.strMidiPort = "capture:in";
    CSequencerPlayer player(options);
    const auto wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };

    std::vector<Message> preamble;
    for (std::uint8_t channel = 0; channel < 16; ++channel)
        for (std::uint8_t c : {64, 66, 123, 120})
            preamble.push_back({static_cast<std::uint8_t>(0xB0 | channel), c, 0});
    std::vector<CMidiMessage> defaults;
    AppendChannelDefaults(defaults);
    for (const CMidiMessage& m : defaults)
        preamble.push_back(Bytes(m));

    std::size_t phases = 0, failed = 0, skipped = 0, delivered = 0;
    std::vector<double> errors, laterErrors;
    for (const std::string& path : songs)
    {
        CMidiSequence seq;
        std::string reason;
        std::vector<std::uint8_t> bytes;
        if (FILE* file = std::fopen(path.c_str(), "rb"))
        {
            std::uint8_t buffer[65536];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                bytes.insert(bytes.end(), buffer, buffer + n);
            std::fclose(file);
        }
        if (!player.OpenSong(bytes.data(), bytes.size(), path) ||
            !seq.Read(bytes.data(), bytes.size(), reason))
        {
            std::printf("%s: not played (%s)\n", path.c_str(), player.ErrorText().c_str());
            ++skipped;
            continue;
        }
        wait(150); // the connection to the capturing port
        capture.Take();
        // The silence of a pause names the pedals first; a song paused on the song's own
        // identical messages would read ambiguously, which the check accepts as a failure.
        player.Play();
        wait(1000);
        player.Pause();
        wait(60);
        Phase start = Check(seq, preamble, 0, capture.Take(), true);
        errors.insert(errors.end(), start.errors.begin(), start.errors.end());
        laterErrors.insert(laterErrors.end(), start.laterErrors.begin(), start.laterErrors.end());
        bool ok = start.bOk;
        delivered += start.nSongMessages;
        ++phases;
        for (const double part : {0.25, 0.5, 0.75})
        {
            const double seconds = part * player.TotalSeconds();
            player.Seek(seconds);
            const std::size_t first = seq.IndexAt(static_cast<std::int64_t>(seconds * 1e6));
            std::vector<Message> chase;
            for (const CMidiMessage& m : ChaseMessages(seq.StateAfter(first)))
                chase.push_back(Bytes(m));
            player.Resume();
            wait(300);
            player.Pause();
            wait(60);
            const Phase after = Check(seq, chase, first, capture.Take(), false);
            ok = ok && after.bOk;
            delivered += after.nSongMessages;
            ++phases;
        }
        if (!ok)
        {
            ++failed;
            std::printf("%s: not exact\n", path.c_str());
        }
        player.Close();
    }
    std::sort(errors.begin(), errors.end());
    std::sort(laterErrors.begin(), laterErrors.end());
    std::printf("%zu songs (%zu not played), %zu phases, %zu songs not exact, %zu song messages "
                "checked\n",
                songs.size(), skipped, phases, failed, delivered);
    if (!errors.empty())
        std::printf("timing error at the start: %zu messages, median %.4f ms, worst %.3f ms\n",
                    errors.size(), errors[errors.size() / 2], errors.back());
    // The start's burst (preamble and the song's first tick) takes more than one cycle: what
    // comes 50 ms or more into the song shows the clock itself.
    if (!laterErrors.empty())
        std::printf("timing error from 50 ms on: %zu messages, median %.4f ms, worst %.3f ms\n",
                    laterErrors.size(), laterErrors[laterErrors.size() / 2], laterErrors.back());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return failed == 0 ? 0 : 1;
}
