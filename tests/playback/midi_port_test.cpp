// The player on a MIDI port: a real JACK server with its dummy backend (no sound card, no root)
// and a client of the test's own that captures what arrives, with the frame it arrived on.

#include <chrono>
#include <thread>

#include "jack_capture.h"
#include "playback_test_support.h"
#include "smf_builder.h"

namespace
{

// Program 5, then eight notes 250 ms apart (240 ticks at 480 a quarter, 120 beats a minute),
// each 125 ms long but the last, which the song leaves on; the song ends 250 ms after it.
Bytes EightNotes()
{
    Bytes body = {0x00, 0xC0, 5};
    for (std::uint8_t i = 0; i < 8; ++i)
    {
        const std::uint8_t note = static_cast<std::uint8_t>(60 + i);
        body.insert(body.end(), {static_cast<std::uint8_t>(i == 0 ? 0x00 : 0x78), 0x90, note, 100});
        if (i < 7)
            body.insert(body.end(), {0x78, 0x80, note, 0});
    }
    body.insert(body.end(), {0x81, 0x70, 0xFF, 0x2F, 0x00});
    return MakeSmf({body}, -1, 0);
}

bool Is(const Captured& c, std::uint8_t status, std::uint8_t data1)
{
    return c.bytes.size() >= 2 && c.bytes[0] == status && c.bytes[1] == data1;
}

TEST(MidiPortOutput, NotesArriveOnTimeTheLastIsLetGoAndAPauseSilences)
{
    ScratchFolder folder;
    CJackServer server(folder.Path());
    ASSERT_TRUE(server.Started()) << "jackd is not installed (scripts/deps.sh test)";
    CCaptureClient capture;
    ASSERT_TRUE(capture.Ready()) << ReadBytes(folder.File("jackd.log")).size();

    std::string error;
    const std::vector<std::string> ports = ListMidiPorts(error);
    EXPECT_NE(std::find(ports.begin(), ports.end(), "capture:in"), ports.end()) << error;

    const std::string song = folder.File("eight.mid");
    WriteBytes(song, EightNotes());
    PlayerOptions options;
    options.strMidiPort = "capture:";
    CSequencerPlayer player(options);
    ASSERT_TRUE(player.Open(song)) << player.ErrorText();
    EXPECT_EQ(player.AudioDriverName(), "capture:in");
    // The connection is made by the server's thread; give it a cycle or two.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    capture.Take();
    ASSERT_TRUE(player.Play());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!player.IsFinished() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(player.IsFinished());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<Captured> played = capture.Take();

    std::vector<std::uint64_t> onsets;
    for (const Captured& c : played)
        if (c.bytes.size() == 3 && c.bytes[0] == 0x90 && c.bytes[2] > 0)
            onsets.push_back(c.nFrame);
    ASSERT_EQ(onsets.size(), 8u);
    for (std::size_t i = 1; i < onsets.size(); ++i)
    {
        const double ms = double(onsets[i] - onsets[i - 1]) * 1000.0 / kJackRate;
        EXPECT_NEAR(ms, 250.0, 3.0) << "between notes " << i << " and " << i + 1;
    }
    // The last note gets its note-off at the end of the song, 250 ms after it began.
    const auto lastOff = std::find_if(played.begin(), played.end(),
                                      [](const Captured& c) { return Is(c, 0x80, 67); });
    ASSERT_NE(lastOff, played.end()) << "the last note drones on";
    EXPECT_NEAR(double(lastOff->nFrame - onsets.back()) * 1000.0 / kJackRate, 250.0, 3.0);

    // A pause 300 ms in, while the second note sounds: every channel is silenced. A resume
    // gives the program back and strikes the second note again.
    ASSERT_TRUE(player.Play());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.Take();
    ASSERT_TRUE(player.Pause());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<Captured> paused = capture.Take();
    for (std::uint8_t channel = 0; channel < 16; ++channel)
    {
        const std::uint8_t control = 0xB0 | channel;
        for (std::uint8_t controller : {64, 66, 120, 123})
            EXPECT_NE(std::find_if(paused.begin(), paused.end(),
                                   [&](const Captured& c)
                                   { return Is(c, control, controller) && c.bytes[2] == 0; }),
                      paused.end())
                << "channel " << int(channel) << " controller " << int(controller);
    }
    EXPECT_NE(std::find_if(paused.begin(), paused.end(),
                           [](const Captured& c) { return Is(c, 0x80, 61); }),
              paused.end());
    ASSERT_TRUE(player.Resume());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::vector<Captured> resumed = capture.Take();
    ASSERT_FALSE(resumed.empty());
    const auto program = std::find_if(resumed.begin(), resumed.end(),
                                      [](const Captured& c) { return Is(c, 0xC0, 5); });
    const auto again =
        std::find_if(resumed.begin(), resumed.end(),
                     [](const Captured& c) { return Is(c, 0x90, 61) && c.bytes[2] == 100; });
    EXPECT_NE(program, resumed.end());
    EXPECT_NE(again, resumed.end());
    EXPECT_LT(program - resumed.begin(), again - resumed.begin());
    player.Close();
}

} // namespace
