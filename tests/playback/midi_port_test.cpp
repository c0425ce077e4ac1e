// The player on a MIDI port: a real JACK server with its dummy backend (no sound card, no root)
// and a client of the test's own that captures what arrives, with the frame it arrived on.

#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "playback_test_support.h"
#include "smf_builder.h"

namespace
{

constexpr int kJackRate = 48000;

struct Captured
{
    std::uint64_t nFrame;
    Bytes bytes;
};

// jackd started for one test under a name of its own, in a scratch folder, stopped by its pid.
class CJackServer
{
public:
    explicit CJackServer(const ScratchFolder& folder)
        : m_strName("tarvel1-test-" + std::to_string(getpid()))
    {
        setenv("JACK_DEFAULT_SERVER", m_strName.c_str(), 1);
        std::vector<std::string> args = {
            "jackd", "--no-realtime",           "-n", m_strName, "-d", "dummy",
            "-r",    std::to_string(kJackRate), "-p", "128"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = folder.File("jackd.log");
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addchdir_np(&actions, folder.Path().c_str());
        if (posix_spawnp(&m_pid, "jackd", &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CJackServer()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        unsetenv("JACK_DEFAULT_SERVER");
    }
    CJackServer(const CJackServer&) = delete;
    CJackServer& operator=(const CJackServer&) = delete;

    bool Started() const { return m_pid > 0; }

private:
    std::string m_strName;
    pid_t m_pid = -1;
};

// A JACK client with one MIDI input, "capture:in", that keeps every message with its frame.
class CCaptureClient
{
public:
    CCaptureClient()
    {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        // The server needs a moment to come up.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_client == nullptr && std::chrono::steady_clock::now() < end)
        {
            m_client = jack_client_open("capture", JackNoStartServer, nullptr);
            if (m_client == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (m_client == nullptr)
            return;
        m_port = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, Process, this);
        jack_activate(m_client);
    }
    ~CCaptureClient()
    {
        if (m_client != nullptr)
            jack_client_close(m_client);
    }
    CCaptureClient(const CCaptureClient&) = delete;
    CCaptureClient& operator=(const CCaptureClient&) = delete;

    bool Ready() const { return m_client != nullptr && m_port != nullptr; }
    std::vector<Captured> Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::move(m_captured);
    }

private:
    static int Process(jack_nframes_t frames, void* data)
    {
        auto* self = static_cast<CCaptureClient*>(data);
        void* buffer = jack_port_get_buffer(self->m_port, frames);
        const jack_nframes_t start = jack_last_frame_time(self->m_client);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0)
                self->m_captured.push_back({std::uint64_t{start} + event.time,
                                            Bytes(event.buffer, event.buffer + event.size)});
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::mutex m_mutex;
    std::vector<Captured> m_captured;
};

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
    CJackServer server(folder);
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
