// tarvel1-convert: the conversion without the window. Reads each song exactly as File Open does,
// converts it as the convert button does with the texts given for the two boxes, and writes it.
// With the player built in, it can then play the converted song in the terminal, as START and
// STOP/CONTINUE do, or render it into a WAV file.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#ifdef TARVEL1_WITH_PLAYBACK
#include <atomic>
#include <csignal>

#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "conversion.h"
#include "message_box.h"
#include "string_table.h"

#ifdef TARVEL1_WITH_PLAYBACK
#include "player_control.h"
#include "sequencer_player.h"
#include "wav_file.h"
#endif

namespace
{

constexpr const char* kProgram = "tarvel1-convert";
constexpr const char* kVersion = "1.0.0.1";
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

struct Options
{
    std::string key = "C";
    std::string mode = "Non convert";
    std::string output;
    std::vector<std::string> inputs;
    bool play = false;
    std::string renderPath;
    std::string soundFont;
    std::string audioDriver;
};

void PrintUsage(std::FILE* out)
{
    std::fprintf(
        out,
        "Usage: %s [--key KEY] [--mode MODE] [-o OUT] IN.mid\n"
        "       %s [--key KEY] [--mode MODE] -o FOLDER IN.mid...\n"
        "\n"
        "Converts a Standard MIDI File: every note off the scale of MODE, counted from\n"
        "KEY, drops a semitone; \"invert\" mirrors each note in the octave. Drums on\n"
        "channel 10 are never touched.\n"
        "\n"
        "  --key KEY     C C# D D# E F F# G G# A A# B (default C; other text counts as B)\n"
        "  --mode MODE   Non convert, major, minor, aug, dim, invert (default Non convert;\n"
        "                other text converts nothing)\n"
        "  -o OUT        the file to write, or a folder for one or more inputs\n"
        "                (default: temp.mid where the program keeps it)\n"
        "  --play        play the converted song (Space pauses and resumes, q quits)\n"
        "  --render WAV  render the converted song into a 16-bit stereo 44.1 kHz WAV file\n"
        "  --soundfont FILE   the General MIDI SoundFont (default: $TARVEL1_SOUNDFONT, then\n"
        "                the system's default GM SoundFont)\n"
        "  --audio-driver NAME   pulseaudio, alsa, jack, sdl2, ... or none (default:\n"
        "                $TARVEL1_AUDIO_DRIVER, then pulseaudio, alsa, jack, sdl2 in turn)\n"
        "  --help        show this help\n"
        "  --version     show the version\n",
        kProgram, kProgram);
}

int UsageError(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, what.c_str(), kProgram);
    return kExitUsage;
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Takes the value of an option given as "--key VALUE" or "--key=VALUE".
bool TakeValue(const std::string& arg, const char* name, int& i, int argc, char** argv,
               std::string& value, bool& missing)
{
    const std::size_t length = std::strlen(name);
    if (arg.compare(0, length, name) != 0)
        return false;
    if (arg.size() == length)
    {
        if (i + 1 >= argc)
        {
            missing = true;
            return true;
        }
        value = argv[++i];
        return true;
    }
    if (arg[length] != '=')
        return false;
    value = arg.substr(length + 1);
    return true;
}

// Converts one input; returns false when it was refused. Messages name the input. `written` is
// the file written.
bool ConvertOne(const Options& options, const std::string& input, const std::string& target,
                std::string& written)
{
    AfxSetMessagePresenter(
        [&input](const std::string& text)
        { std::fprintf(stderr, "%s: %s: %s\n", kProgram, input.c_str(), text.c_str()); });
    auto doc = std::make_unique<CTarvel1Doc>();
    // A file without the signature opens "successfully" with no song: the document has already
    // said why, and there is nothing to write.
    if (!doc->OnOpenDocument(input) || doc->m_bLoaded != 1)
        return false;
    doc->Convert(options.mode, KeyOffsetFromName(options.key));
    std::string path = target;
    try
    {
        if (path.empty())
            path = TempSongPath();
        WriteConvertedSong(*doc, path);
    }
    catch (const CException& error)
    {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE,
                                      error.GetFileName().empty() ? path : error.GetFileName(),
                                      error.GetReason()));
        return false;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    written = path;
    return true;
}

#ifdef TARVEL1_WITH_PLAYBACK

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

PlayerOptions MakePlayerOptions(const Options& options, AudioOutput output)
{
    PlayerOptions playerOptions;
    playerOptions.strSoundFont = options.soundFont;
    playerOptions.strAudioDriver = options.audioDriver;
    playerOptions.output = output;
    return playerOptions;
}

// Plays `path` to its end, or until q or Ctrl+C, with a progress line on a terminal.
bool PlaySong(const Options& options, const std::string& path)
{
    CSequencerPlayer player(MakePlayerOptions(options, AudioOutput::Device));
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

// Renders `path` into the WAV file `wavPath` as fast as the machine allows.
bool RenderSong(const Options& options, const std::string& path, const std::string& wavPath)
{
    CSequencerPlayer player(MakePlayerOptions(options, AudioOutput::Manual));
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

#endif

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        bool missing = false;
        if (optionsDone || arg.empty() || arg[0] != '-' || arg == "-")
        {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--")
            optionsDone = true;
        else if (arg == "--help" || arg == "-h")
        {
            PrintUsage(stdout);
            return 0;
        }
        else if (arg == "--play")
            options.play = true;
        else if (arg == "--version")
        {
            std::printf("%s %s\n", kProgram, kVersion);
            return 0;
        }
        else if (TakeValue(arg, "--key", i, argc, argv, options.key, missing) ||
                 TakeValue(arg, "--mode", i, argc, argv, options.mode, missing) ||
                 TakeValue(arg, "-o", i, argc, argv, options.output, missing) ||
                 TakeValue(arg, "--output", i, argc, argv, options.output, missing) ||
                 TakeValue(arg, "--render", i, argc, argv, options.renderPath, missing) ||
                 TakeValue(arg, "--soundfont", i, argc, argv, options.soundFont, missing) ||
                 TakeValue(arg, "--audio-driver", i, argc, argv, options.audioDriver, missing))
        {
            if (missing)
                return UsageError("option '" + arg + "' needs a value");
        }
        else
            return UsageError("unknown option '" + arg + "'");
    }
    if (options.inputs.empty())
        return UsageError("no input file");
    const bool toFolder = !options.output.empty() && IsFolder(options.output);
    if (options.inputs.size() > 1 && !toFolder)
        return UsageError("several inputs need -o naming an existing folder");
    const bool playback = options.play || !options.renderPath.empty();
#ifndef TARVEL1_WITH_PLAYBACK
    if (playback)
        return UsageError("this build has no player: --play and --render are not available");
#endif
    if (playback && options.inputs.size() > 1)
        return UsageError("--play and --render take one input");
    if (options.play && !options.renderPath.empty())
        return UsageError("--play and --render cannot be used together");

    bool allWritten = true;
    for (const std::string& input : options.inputs)
    {
        std::string target = options.output;
        if (toFolder)
            target = options.output + "/" + BaseName(input);
        std::string written;
        allWritten = ConvertOne(options, input, target, written) && allWritten;
#ifdef TARVEL1_WITH_PLAYBACK
        if (allWritten && options.play)
            allWritten = PlaySong(options, written);
        if (allWritten && !options.renderPath.empty())
            allWritten = RenderSong(options, written, options.renderPath);
#endif
    }
    return allWritten ? 0 : kExitRefused;
}
