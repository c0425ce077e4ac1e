#pragma once
// A real JACK server with its dummy backend (no sound card, no root) started for one test or
// measurement under a name of its own, and a client that captures what arrives on its MIDI
// input, "capture:in", with the frame it arrived on.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

constexpr int kJackRate = 48000;

struct Captured
{
    std::uint64_t nFrame;
    std::vector<std::uint8_t> bytes;
};

// jackd started for one test under a name of its own, in a scratch folder, stopped by its pid.
class CJackServer
{
public:
    explicit CJackServer(const std::string& folder)
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
        const std::string log = folder + "/jackd.log";
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
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
                self->m_captured.push_back(
                    {std::uint64_t{start} + event.time,
                     std::vector<std::uint8_t>(event.buffer, event.buffer + event.size)});
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::mutex m_mutex;
    std::vector<Captured> m_captured;
};
