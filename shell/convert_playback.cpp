// The converter's player: plays a converted song in the terminal as START and STOP/CONTINUE do,
// or renders it into an audio file.

#include "convert_playback.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <vector>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "exceptions.h"
#include "message_box.h"
#include "player_control.h"
#include "sequencer_player.h"
#include "string_table.h"
#include "wav_file.h"

namespace
{

std::atomic<bool> g_bInterrupted{false};

void OnInterrupt(int)
{
    g_bInterrupted = true;
}

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
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_savedInt);
        sigaction(SIGTERM, &action, &m_savedTerm);
    }
    ~CTerminalKeys()
    {
        if (m_bTerminal)
            tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
        sigaction(SIGINT, &m_savedInt, nullptr);
        sigaction(SIGTERM, &m_savedTerm, nullptr);
    }
    CTerminalKeys(const CTerminalKeys&) = delete;
    CTerminalKeys& operator=(const CTerminalKeys&) = delete;

    // Waits up to `milliseconds` for a key; 0 when none came. Without a terminal it only waits.
    char Wait(int milliseconds)
    {
        if (!m_bTerminal)
        {
            poll(nullptr, 0, milliseconds);
            return 0;
        }
        pollfd in = {STDIN_FILENO, POLLIN, 0};
        char key = 0;
        if (poll(&in, 1, milliseconds) == 1 && read(STDIN_FILENO, &key, 1) == 1)
            return key;
        return 0;
    }

private:
    bool m_bTerminal = false;
    termios m_saved = {};
    struct sigaction m_savedInt = {};
    struct sigaction m_savedTerm = {};
};

std::string Clock(double seconds)
{
    const long whole = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

PlayerOptions MakePlayerOptions(const PlaybackRequest& request, AudioOutput output)
{
    PlayerOptions playerOptions;
    playerOptions.strSoundFont = request.soundFont;
    playerOptions.strAudioDriver = request.audioDriver;
    playerOptions.output = output;
    return playerOptions;
}

} // namespace

bool PlayConvertedSong(const PlaybackRequest& request, const std::string& path)
{
    CSequencerPlayer player(MakePlayerOptions(request, AudioOutput::Device));
    CPlayerControl control(player);
    control.OnStart(true, path);
    if (control.m_bDeviceOpen != 1)
        return false;

    const bool progress = isatty(STDERR_FILENO) == 1;
    CTerminalKeys keys;
    while (!g_bInterrupted && !(control.m_bPaused == 0 && player.IsFinished()))
    {
        if (progress)
            std::fprintf(stderr, "\r%s / %s   Space: %-8s  q: quit ",
                         Clock(player.ElapsedSeconds()).c_str(),
                         Clock(player.TotalSeconds()).c_str(), control.PauseCaption().c_str());
        const char key = keys.Wait(100);
        if (key == ' ')
            control.OnPause(true);
        else if (key == 'q' || key == 'Q')
            break;
    }
    if (progress)
        std::fprintf(stderr, "\n");
    control.CloseDevice();
    return true;
}

bool RenderConvertedSong(const PlaybackRequest& request, const std::string& path,
                         const std::string& wavPath)
{
    CSequencerPlayer player(MakePlayerOptions(request, AudioOutput::Manual));
    std::vector<std::int16_t> audio;
    if (!player.Open(path) || !player.RenderSong(audio))
    {
        AfxMessageBox(player.ErrorText());
        return false;
    }
    try
    {
        WriteWavFile(wavPath, audio, kPlayerSampleRate);
    }
    catch (const CException& error)
    {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, wavPath, error.GetReason()));
        return false;
    }
    std::printf("%s\n", wavPath.c_str());
    return true;
}

bool CheckPlaybackReady(const PlaybackRequest& request, bool render)
{
    CSequencerPlayer player(
        MakePlayerOptions(request, render ? AudioOutput::Manual : AudioOutput::Device));
    if (player.WaitForSoundFont())
        return true;
    AfxMessageBox(player.ErrorText());
    return false;
}
