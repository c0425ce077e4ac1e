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

#include "conversion.h"
#include "message_box.h"
#include "piano_roll_painter.h"
#include "string_table.h"

#ifdef TARVEL1_WITH_PLAYBACK
#include "convert_playback.h"
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
    bool report = false;
    std::string picturePath;
    std::string midiPort;
    bool listMidiPorts = false;
};

// The roll is drawn at this size: enough for a whole song's notes to stay apart.
constexpr int kPictureWidth = 1600;
constexpr int kPictureHeight = 800;

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
        "  --report      print \"IN: N of M notes moved\" for each input instead of the\n"
        "                file written (M: note-ons outside channel 10, N: those moved)\n"
        "  --picture FILE  draw the piano roll of the conversion into FILE (.png or .svg)\n"
        "  --play        play the converted song (Space pauses and resumes, q quits)\n"
        "  --render WAV  render the converted song into a 16-bit stereo 44.1 kHz WAV file\n"
        "  --soundfont FILE   the General MIDI SoundFont (default: $TARVEL1_SOUNDFONT, then\n"
        "                the system's default GM SoundFont)\n"
        "  --midi-port NAME   play through the first MIDI port whose name contains NAME\n"
        "  --list-midi-ports  list the MIDI output ports, one per line\n"
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

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool DrawPicture(const Options& options, const CTarvel1Doc& doc, const std::string& input)
{
    if (SameFile(options.picturePath, input))
    {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, options.picturePath,
                                      LoadResString(IDS_OUTPUT_IS_INPUT)));
        return false;
    }
    CPianoRollModel model;
    model.Build(doc, true, options.mode, KeyOffsetFromName(options.key));
    CRollViewport view = CPianoRollPainter::FitAll(model, kPictureWidth, kPictureHeight);
    const MovedNoteCount counts = model.Counts();
    view.strCaption = FormatResString(IDS_NOTES_MOVED, std::to_string(counts.nMoved),
                                      std::to_string(counts.nNotes));
    std::string error;
    const bool written = WritePianoRollPicture(model, view, options.picturePath, kPictureWidth,
                                               kPictureHeight, error);
    // --picture takes one input, so this is the only drawing of the run.
    ReleaseDrawingCaches();
    if (!written)
    {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, options.picturePath, error));
        return false;
    }
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
    if (options.report)
    {
        const MovedNoteCount counts = CountMovedNotes(*doc);
        std::printf("%s: %zu of %zu notes moved\n", input.c_str(), counts.nMoved, counts.nNotes);
    }
    else
        std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    if (!options.picturePath.empty() && !DrawPicture(options, *doc, input))
        return false;
    written = path;
    return true;
}

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
        else if (arg == "--report")
            options.report = true;
        else if (arg == "--list-midi-ports")
            options.listMidiPorts = true;
        else if (arg == "--version")
        {
            std::printf("%s %s\n", kProgram, kVersion);
            return 0;
        }
        else if (TakeValue(arg, "--key", i, argc, argv, options.key, missing) ||
                 TakeValue(arg, "--mode", i, argc, argv, options.mode, missing) ||
                 TakeValue(arg, "-o", i, argc, argv, options.output, missing) ||
                 TakeValue(arg, "--output", i, argc, argv, options.output, missing) ||
                 TakeValue(arg, "--picture", i, argc, argv, options.picturePath, missing) ||
                 TakeValue(arg, "--render", i, argc, argv, options.renderPath, missing) ||
                 TakeValue(arg, "--soundfont", i, argc, argv, options.soundFont, missing) ||
                 TakeValue(arg, "--audio-driver", i, argc, argv, options.audioDriver, missing) ||
                 TakeValue(arg, "--midi-port", i, argc, argv, options.midiPort, missing))
        {
            if (missing)
                return UsageError("option '" + arg + "' needs a value");
        }
        else
            return UsageError("unknown option '" + arg + "'");
    }
#ifdef TARVEL1_WITH_PLAYBACK
    if (options.listMidiPorts)
        return ListMidiPortsToStdout() ? 0 : kExitRefused;
#endif
    if (options.inputs.empty())
        return UsageError("no input file");
    const bool toFolder = !options.output.empty() && IsFolder(options.output);
    if (options.inputs.size() > 1 && !toFolder)
        return UsageError("several inputs need -o naming an existing folder");
    if (!options.picturePath.empty() && options.inputs.size() > 1)
        return UsageError("--picture takes one input");
    const bool playback = options.play || !options.renderPath.empty();
#ifndef TARVEL1_WITH_PLAYBACK
    if (playback)
        return UsageError("this build has no player: --play and --render are not available");
#endif
    if (playback && options.inputs.size() > 1)
        return UsageError("--play and --render take one input");
    if (options.play && !options.renderPath.empty())
        return UsageError("--play and --render cannot be used together");

#ifdef TARVEL1_WITH_PLAYBACK
    // What playing needs is checked before anything is written.
    const std::string& first = options.inputs.front();
    AfxSetMessagePresenter(
        [&first](const std::string& text)
        { std::fprintf(stderr, "%s: %s: %s\n", kProgram, first.c_str(), text.c_str()); });
    if (playback && !CheckPlaybackReady({options.soundFont, options.audioDriver, options.midiPort,
                                         options.renderPath},
                                        !options.renderPath.empty()))
        return kExitRefused;
#endif
    bool allWritten = true;
    for (const std::string& input : options.inputs)
    {
        std::string target = options.output;
        if (toFolder)
            target = options.output + "/" + BaseName(input);
        std::string written;
        allWritten = ConvertOne(options, input, target, written) && allWritten;
#ifdef TARVEL1_WITH_PLAYBACK
        const PlaybackRequest request{options.soundFont, options.audioDriver, options.midiPort,
                                      options.renderPath};
        if (allWritten && options.play)
            allWritten = PlayConvertedSong(request, written);
        if (allWritten && !options.renderPath.empty())
            allWritten = RenderConvertedSong(request, written, options.renderPath);
#endif
    }
    return allWritten ? 0 : kExitRefused;
}
