// The converter's player: plays a converted song in the terminal as START and STOP/CONTINUE do,
// or renders it into an audio file.

#include "convert_playback.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "audio_file_writer.h"
#include "message_box.h"
#include "midi_sequence.h"
#include "player_control.h"
#include "sequencer_player.h"
#include "song_document.h"
#include "string_table.h"

namespace
{

constexpr double kSeekStepSeconds = 5.0;

std::atomic<int> g_nSignal{0};

void OnSignal(int signal)
{
    g_nSignal = signal;
}

// Ends the process by the signal that stopped the work, with its default action, so that the
// shell sees 130 or 143 and a loop over songs stops. Everything is silenced and cleaned up first.
void EndBySignalIfAny()
{
    const int signal = g_nSignal.load();
    if (signal == 0)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Ctrl+C and SIGTERM only set a flag while one lives: the work stops at the next block and
// cleans up. No SA_RESTART, so that a wait for a key ends at once.
class CSignalWatch
{
public:
    CSignalWatch()
    {
        g_nSignal = 0;
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_savedInt);
        sigaction(SIGTERM, &action, &m_savedTerm);
    }
    ~CSignalWatch()
    {
        sigaction(SIGINT, &m_savedInt, nullptr);
        sigaction(SIGTERM, &m_savedTerm, nullptr);
    }
    CSignalWatch(const CSignalWatch&) = delete;
    CSignalWatch& operator=(const CSignalWatch&) = delete;

    bool Caught() const { return g_nSignal.load() != 0; }

private:
    struct sigaction m_savedInt = {};
    struct sigaction m_savedTerm = {};
};

enum class Key
{
    Space,
    Quit,
    Left,
    Right,
};

// Single keys without Enter and without echo while a song plays; the terminal is given back as
// it was however the loop ends, Ctrl+C included.
class CTerminalKeys
{
public:
    CTerminalKeys()
    {
        m_bTerminal = isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (m_bTerminal)
        {
            termios raw = m_saved;
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            raw.c_cc[VMIN] = 0;
            raw.c_cc[VTIME] = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        }
    }
    ~CTerminalKeys()
    {
        if (m_bTerminal)
            tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
    CTerminalKeys(const CTerminalKeys&) = delete;
    CTerminalKeys& operator=(const CTerminalKeys&) = delete;

    // Waits up to `milliseconds` for keys, and gives every key typed meanwhile (a held key
    // repeats faster than we wait). Without a terminal it only waits.
    std::vector<Key> Wait(int milliseconds)
    {
        std::vector<Key> typed;
        if (!m_bTerminal)
        {
            poll(nullptr, 0, milliseconds);
            return typed;
        }
        pollfd in = {STDIN_FILENO, POLLIN, 0};
        char keys[64];
        if (poll(&in, 1, milliseconds) != 1)
            return typed;
        const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
        if (count > 0)
            m_strTyped.append(keys, static_cast<std::size_t>(count));
        std::size_t i = 0;
        for (; i < m_strTyped.size(); ++i)
        {
            const char key = m_strTyped[i];
            // The arrow keys arrive as ESC [ C and ESC [ D (or ESC O C in application mode),
            // possibly split between two reads: an unfinished one waits for the rest.
            if (key == '\x1b')
            {
                if (i + 2 >= m_strTyped.size())
                    break;
                if (m_strTyped[i + 1] == '[' || m_strTyped[i + 1] == 'O')
                {
                    if (m_strTyped[i + 2] == 'C')
                        typed.push_back(Key::Right);
                    else if (m_strTyped[i + 2] == 'D')
                        typed.push_back(Key::Left);
                    i += 2;
                }
            }
            else if (key == ' ')
                typed.push_back(Key::Space);
            else if (key == 'q' || key == 'Q')
                typed.push_back(Key::Quit);
        }
        m_strTyped.erase(0, i);
        return typed;
    }

private:
    bool m_bTerminal = false;
    termios m_saved = {};
    std::string m_strTyped; // read and not yet understood
};

std::string Clock(double seconds)
{
    const long whole = static_cast<long>(seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

PlayerOptions MakePlayerOptions(const PlaybackRequest& request, AudioOutput output)
{
    PlayerOptions playerOptions;
    playerOptions.strSoundFont = request.soundFont;
    playerOptions.strAudioDriver = request.audioDriver;
    playerOptions.strMidiPort = output == AudioOutput::Manual ? std::string() : request.midiPort;
    playerOptions.output = output;
    return playerOptions;
}

bool CheckRenderTarget(const std::string& outPath)
{
    // Where the file may go is the file writer's question, asked with every other output.
    AudioFileType type;
    if (!AudioFileTypeFor(outPath, type))
    {
        AfxMessageBox(FormatResString(IDS_PLAYER_UNKNOWN_AUDIO_FORMAT, outPath));
        return false;
    }
    return true;
}

} // namespace

bool PlayConvertedSong(const PlaybackRequest& request, const std::vector<std::uint8_t>& song,
                       const std::string& name)
{
    CSignalWatch signals;
    {
        CSequencerPlayer player(MakePlayerOptions(request, AudioOutput::Device));
        CPlayerControl control(player);
        // START, with the song from memory rather than from temp.mid.
        if (!player.OpenSong(song.data(), song.size(), name))
        {
            AfxMessageBox(player.ErrorText());
            return false;
        }
        control.m_bDeviceOpen = 1;
        if (!player.Play())
        {
            AfxMessageBox(player.ErrorText());
            return false;
        }

        const bool progress = isatty(STDERR_FILENO) == 1;
        CTerminalKeys keys;
        while (!signals.Caught() && !(control.m_bPaused == 0 && player.IsFinished()))
        {
            if (progress)
                std::fprintf(stderr, "\r%s / %s   Space: %-8s  <- ->: 5 s  q: quit ",
                             Clock(player.ElapsedSeconds()).c_str(),
                             Clock(player.TotalSeconds()).c_str(), control.PauseCaption().c_str());
            bool quit = false;
            for (const Key key : keys.Wait(100))
            {
                if (key == Key::Space)
                    control.OnPause(true);
                else if (key == Key::Left || key == Key::Right)
                    player.Seek(player.ElapsedSeconds() +
                                (key == Key::Left ? -kSeekStepSeconds : kSeekStepSeconds));
                else if (key == Key::Quit)
                    quit = true;
            }
            if (quit)
                break;
        }
        // Silence first, the line afterwards: a signal is answered at once.
        control.CloseDevice();
        if (progress)
            std::fprintf(stderr, "\n");
    }
    EndBySignalIfAny();
    return true;
}

bool RenderConvertedSong(const PlaybackRequest& request, const std::vector<std::uint8_t>& song,
                         const std::string& name, const std::string& outPath)
{
    AudioFileType type;
    if (!AudioFileTypeFor(outPath, type))
    {
        AfxMessageBox(FormatResString(IDS_PLAYER_UNKNOWN_AUDIO_FORMAT, outPath));
        return false;
    }
    CSignalWatch signals;
    bool done = false;
    {
        CSequencerPlayer player(MakePlayerOptions(request, AudioOutput::Manual));
        if (!player.OpenSong(song.data(), song.size(), name))
        {
            AfxMessageBox(player.ErrorText());
            return false;
        }
        // Refused before a byte is written: a song that would not fit, or that only announces
        // a silence longer than anyone would render.
        const double seconds = player.TotalSeconds();
        if (seconds > type.dMaxSeconds)
        {
            AfxMessageBox(FormatResString(IDS_PLAYER_RENDER_TOO_LONG, Clock(seconds),
                                          Clock(type.dMaxSeconds) + " (" + type.pszName + ")"));
            return false;
        }
        CAudioFileWriter writer;
        std::string error;
        if (!writer.Open(outPath, type, kPlayerSampleRate, error))
        {
            AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, outPath, error));
            return false;
        }

        const bool terminal = isatty(STDERR_FILENO) == 1;
        const auto start = std::chrono::steady_clock::now();
        auto shown = start;
        bool progress = false;
        const auto maxFrames = static_cast<std::uint64_t>(type.dMaxSeconds * kPlayerSampleRate);
        std::uint64_t frames = 0;
        const bool rendered = player.RenderSongTo(
            [&](const std::int16_t* stereo, std::size_t count)
            {
                if (signals.Caught())
                    return false;
                // The voices' release is cut where the file is full.
                count =
                    static_cast<std::size_t>(std::min<std::uint64_t>(count, maxFrames - frames));
                if (count == 0)
                    return true;
                frames += count;
                if (!writer.Write(stereo, count, error))
                    return false;
                const auto now = std::chrono::steady_clock::now();
                if (terminal && now - start > std::chrono::seconds(1) &&
                    now - shown > std::chrono::milliseconds(100))
                {
                    shown = now;
                    progress = true;
                    std::fprintf(stderr, "\r%s / %s ",
                                 Clock(double(frames) / kPlayerSampleRate).c_str(),
                                 Clock(seconds).c_str());
                }
                return true;
            });
        if (progress)
            std::fprintf(stderr, "\n");
        if (signals.Caught())
            writer.Abandon();
        else if (!rendered)
        {
            writer.Abandon();
            AfxMessageBox(error.empty() ? player.ErrorText()
                                        : FormatResString(AFX_IDP_FAILED_TO_WRITE, outPath, error));
        }
        else if (!writer.Commit(error))
            AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, outPath, error));
        else
            done = true;
    }
    EndBySignalIfAny();
    return done;
}

// A conversion moves notes and never time, so the song as given tells whether its render fits
// the format. A song that cannot be read here is left for the player to refuse with its reason.
bool CheckRenderLength(const std::string& songPath, const std::string& outPath)
{
    AudioFileType type;
    struct stat info;
    if (songPath.empty() || songPath == "-" || !AudioFileTypeFor(outPath, type) ||
        stat(songPath.c_str(), &info) != 0 || static_cast<std::size_t>(info.st_size) > kSongLimit)
        return true;
    std::ifstream in(songPath, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    CMidiSequence sequence;
    std::string reason;
    if (!sequence.Read(bytes.data(), bytes.size(), reason))
        return true;
    const double seconds = static_cast<double>(sequence.TotalMicros()) / 1e6;
    if (seconds <= type.dMaxSeconds)
        return true;
    AfxMessageBox(FormatResString(IDS_PLAYER_RENDER_TOO_LONG, Clock(seconds),
                                  Clock(type.dMaxSeconds) + " (" + type.pszName + ")"));
    return false;
}

bool CheckPlaybackReady(const PlaybackRequest& request, bool render)
{
    if (render && !request.renderPath.empty() &&
        (!CheckRenderTarget(request.renderPath) ||
         !CheckRenderLength(request.songPath, request.renderPath)))
        return false;
    if (!render && !request.midiPort.empty())
    {
        std::string error;
        for (const std::string& name : ListMidiPorts(error))
        {
            if (name.find(request.midiPort) != std::string::npos)
                return true;
        }
        AfxMessageBox(FormatResString(IDS_PLAYER_NO_MIDI_PORT, request.midiPort, error));
        return false;
    }
    PlayerOptions options =
        MakePlayerOptions(request, render ? AudioOutput::Manual : AudioOutput::Device);
    options.bCheckOnly = true;
    CSequencerPlayer player(options);
    if (!player.WaitForSoundFont())
    {
        AfxMessageBox(player.ErrorText());
        return false;
    }
    if (!render && !player.CheckAudioOutput())
    {
        AfxMessageBox(player.ErrorText());
        return false;
    }
    return true;
}

bool ListMidiPortsToStdout()
{
    std::string error;
    const std::vector<std::string> ports = ListMidiPorts(error);
    if (ports.empty() && !error.empty())
    {
        std::fprintf(stderr, "tarvel1-convert: %s\n",
                     FormatResString(IDS_PLAYER_NO_MIDI_PORTS, error).c_str());
        return false;
    }
    for (const std::string& port : ports)
        std::printf("%s\n", port.c_str());
    return std::fflush(stdout) == 0;
}
