// tarvel1-convert: the conversion without the window. Reads each song exactly as File Open does,
// converts it as the convert button does with the texts given for the two boxes, and writes it.
// With the player built in, it can then play the converted song in the terminal, as START and
// STOP/CONTINUE do, or render it into a WAV file.
//
// A run is planned whole before the first byte is written: every input is opened, every output
// is checked, and a run that would overwrite an input or write two songs into one file writes
// nothing at all.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <getopt.h>
#include <unistd.h>

#include "conversion.h"
#include "event_walker.h"
#include "file.h"
#include "key_finder.h"
#include "message_box.h"
#include "piano_roll_model.h"
#include "piano_roll_picture.h"
#include "string_table.h"
#include "system.h"

#ifdef TARVEL1_WITH_PLAYBACK
#include "audio_file_writer.h"
#include "convert_playback.h"
#endif

namespace
{

constexpr const char* kProgram = "tarvel1-convert";
constexpr const char* kStandardStream = "-";
// The --key that converts each song from its own estimated tonic.
constexpr const char* kAutoKey = "auto";
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

struct Options
{
    std::string key = "C";
    std::string mode = "Non convert";
    std::string output; // empty: temp.mid; "-": standard output
    bool outputGiven = false;
    bool noClobber = false; // outputs that exist already are left as they are
    std::vector<std::string> inputs;
    bool recursive = false;
    bool play = false;
    std::string renderPath;
    std::string sampleRateText;   // --sample-rate as given; empty: the player's rate
    std::string sampleFormatText; // --sample-format as given; empty: 16-bit
    int sampleRate = 44100;
    int sampleFormat = 0; // an AudioSampleFormat, 16-bit
    std::string soundFont;
    std::string audioDriver;
    std::string midiPort;
    bool listMidiPorts = false;
    bool report = false;     // a count of the moved notes instead of the file written
    std::string picturePath; // the piano roll of the conversion
    bool picturePathGiven = false;
    // An output is standard output itself (-o -, or a name that leads there): the paths written
    // are not printed into it.
    bool stdoutTaken = false;
    bool printKey = false; // each input's estimated key on standard output

    // --print-key without -o only reads: nothing is converted or written.
    bool PrintKeyOnly() const { return printKey && output.empty(); }
};

// One song of the run: where it is read from and where it goes.
struct Job
{
    std::string input;  // "-" is standard input
    std::string target; // empty: temp.mid; "-": standard output
    bool makeFolders;   // the target's folders are made when missing (-r)
    bool found = false; // found by -r in a folder: a bad one is skipped, not the whole run
    bool skip = false;  // unreadable (found by -r), or its output exists with -n
};

// What a file is, to find two names of one file.
using FileId = std::pair<std::uint64_t, std::uint64_t>;

FileId IdOf(const SPathInfo& info)
{
    return FileId(info.nDevice, info.nFile);
}

// A name as it can be shown on one line: bytes that are not UTF-8 and control characters become
// \xNN, so a file name with a line feed in it never splits a message.
std::string PrintableName(const std::string& name)
{
    std::string out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t size = name.size();
    for (std::size_t i = 0; i < size;)
    {
        const unsigned char lead = bytes[i];
        std::size_t length = lead < 0x80                      ? 1
                             : (lead >= 0xC2 && lead <= 0xDF) ? 2
                             : (lead >= 0xE0 && lead <= 0xEF) ? 3
                             : (lead >= 0xF0 && lead <= 0xF4) ? 4
                                                              : 0;
        for (std::size_t k = 1; length > 1 && k < length; ++k)
            if (i + k >= size || (bytes[i + k] & 0xC0) != 0x80)
                length = 0;
        // Overlong three- and four-byte forms, surrogates and values past U+10FFFF.
        if (length == 3 &&
            ((lead == 0xE0 && bytes[i + 1] < 0xA0) || (lead == 0xED && bytes[i + 1] >= 0xA0)))
            length = 0;
        if (length == 4 &&
            ((lead == 0xF0 && bytes[i + 1] < 0x90) || (lead == 0xF4 && bytes[i + 1] >= 0x90)))
            length = 0;
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F)))
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", lead);
            out += escaped;
            ++i;
            continue;
        }
        out.append(name, i, length);
        i += length;
    }
    return out;
}

void PrintMessage(const std::string& name, const std::string& text)
{
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, PrintableName(name).c_str(),
                 PrintableName(text).c_str());
}

int UsageError(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n%s\n", kProgram, text.c_str(),
                 FormatResString(IDS_CLI_TRY_HELP, kProgram).c_str());
    return kExitUsage;
}

// The texts of a box's entries, as the usage message lists them.
std::string ListOfEntries(UINT first, UINT count, bool quoted)
{
    std::string list;
    for (UINT i = 0; i < count; ++i)
    {
        const std::string& entry = LoadResString(first + i);
        list += (i == 0 ? "" : ", ") + (quoted ? "\"" + entry + "\"" : entry);
    }
    return list;
}

bool IsEntry(const std::string& text, UINT first, UINT count)
{
    for (UINT i = 0; i < count; ++i)
        if (text == LoadResString(first + i))
            return true;
    return false;
}

bool IsFolder(const std::string& path)
{
    return QueryPath(path).kind == SPathInfo::folder;
}

std::string BaseName(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsSongName(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == "mid" || extension == "midi" || extension == "kar" || extension == "smf";
}

// Every song below `folder`, in name order, with its path relative to where the walk began.
// Links to folders are not followed (they could loop). A folder that cannot be read, and an
// entry that cannot be looked at, is found too, so that opening it reports why.
void FindSongs(const std::string& folder, const std::string& relative,
               std::vector<std::pair<std::string, std::string>>& found)
{
    std::vector<std::string> names;
    if (!ListFolder(folder, names))
    {
        found.emplace_back(folder, relative);
        return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
    {
        const std::string path = JoinPath(folder, name);
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const SPathInfo info = QueryPath(path, false);
        if (info.kind == SPathInfo::missing)
            found.emplace_back(path, rel);
        else if (info.kind == SPathInfo::folder)
            FindSongs(path, rel, found);
        else if (IsSongName(name) &&
                 (info.kind == SPathInfo::regular || info.kind == SPathInfo::link))
            found.emplace_back(path, rel);
    }
}

// The nearest folder of `path` that exists: where a new file or new folders would be made.
std::string ExistingFolderOf(const std::string& path)
{
    std::string folder = FolderOfPath(path);
    while (!IsFolder(folder) && folder != "." && folder != "/")
        folder = FolderOfPath(folder);
    return folder;
}

// A name for a file that may not exist yet, the same for every way of writing it: the real
// path of its nearest existing folder and the rest as given.
std::string CanonicalName(const std::string& path)
{
    const std::string existing = ExistingFolderOf(path);
    const std::string out = RealPath(existing);
    if (out.empty())
        return path;
    const std::string rest = existing == "." && path.compare(0, 2, "./") != 0
                                 ? path
                                 : path.substr(std::min(path.size(), existing.size() + 1));
    return JoinPath(out, rest);
}

int ParseOptions(int argc, char** argv, Options& options)
{
    enum LongOnly
    {
        kPlay = 0x100,
        kRender,
        kSampleRate,
        kSampleFormat,
        kSoundFont,
        kAudioDriver,
        kMidiPort,
        kListMidiPorts,
        kReport,
        kPicture,
        kPrintKey,
        kVersion,
    };
    static const option kLongOptions[] = {
        {"key", required_argument, nullptr, 'k'},
        {"mode", required_argument, nullptr, 'm'},
        {"output", required_argument, nullptr, 'o'},
        {"recursive", no_argument, nullptr, 'r'},
        {"no-clobber", no_argument, nullptr, 'n'},
        {"play", no_argument, nullptr, kPlay},
        {"render", required_argument, nullptr, kRender},
        {"sample-rate", required_argument, nullptr, kSampleRate},
        {"sample-format", required_argument, nullptr, kSampleFormat},
        {"soundfont", required_argument, nullptr, kSoundFont},
        {"audio-driver", required_argument, nullptr, kAudioDriver},
        {"midi-port", required_argument, nullptr, kMidiPort},
        {"list-midi-ports", no_argument, nullptr, kListMidiPorts},
        {"report", no_argument, nullptr, kReport},
        {"picture", required_argument, nullptr, kPicture},
        {"print-key", no_argument, nullptr, kPrintKey},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0; // our own messages, from the string table
    for (;;)
    {
        const int c = getopt_long(argc, argv, ":k:m:o:rnh", kLongOptions, nullptr);
        if (c == -1)
            break;
        // A short option is named by its letter; a long one as it was written.
        const std::string given = optopt > 0 && optopt < 0x100
                                      ? std::string("-") + static_cast<char>(optopt)
                                      : std::string(argv[optind - 1]);
        switch (c)
        {
        case 'k':
            options.key = optarg;
            break;
        case 'm':
            options.mode = optarg;
            break;
        case 'o':
            options.output = optarg;
            options.outputGiven = true;
            break;
        case 'r':
            options.recursive = true;
            break;
        case 'n':
            options.noClobber = true;
            break;
        case kPlay:
            options.play = true;
            break;
        case kRender:
            options.renderPath = optarg;
            break;
        case kSampleRate:
            options.sampleRateText = optarg;
            break;
        case kSampleFormat:
            options.sampleFormatText = optarg;
            break;
        case kSoundFont:
            options.soundFont = optarg;
            break;
        case kAudioDriver:
            options.audioDriver = optarg;
            break;
        case kMidiPort:
            options.midiPort = optarg;
            break;
        case kListMidiPorts:
            options.listMidiPorts = true;
            break;
        case kReport:
            options.report = true;
            break;
        case kPicture:
            options.picturePath = optarg;
            options.picturePathGiven = true;
            break;
        case kPrintKey:
            options.printKey = true;
            break;
        case 'h':
            std::fputs(FormatResString(IDS_CLI_USAGE, kProgram).c_str(), stdout);
            return 0;
        case kVersion:
            std::printf("%s (%s) %s\n%s\n", kProgram,
                        LoadResString(IDS_VERSION_PRODUCT_NAME).c_str(),
                        LoadResString(IDS_VERSION_NUMBER).c_str(),
                        LoadResString(IDS_VERSION_FILE_DESCRIPTION).c_str());
            return 0;
        case ':':
            return UsageError(FormatResString(IDS_CLI_MISSING_VALUE, PrintableName(given)));
        default:
            return UsageError(FormatResString(IDS_CLI_BAD_OPTION, PrintableName(given)));
        }
    }
    for (int i = optind; i < argc; ++i)
        options.inputs.emplace_back(argv[i]);
    return -1;
}

#ifdef TARVEL1_WITH_PLAYBACK
// --sample-rate and --sample-format read into `options`; the usage message, or an empty text.
std::string CheckRenderSettings(Options& options)
{
    if (!options.sampleRateText.empty())
    {
        // Digits only: "48k" or "4.8e4" must not quietly mean something else.
        const std::string& text = options.sampleRateText;
        long rate = 0;
        const bool digits =
            text.size() <= 6 && text.find_first_not_of("0123456789") == std::string::npos;
        if (digits)
            rate = std::stol(text);
        if (!digits || rate < kMinRenderSampleRate || rate > kMaxRenderSampleRate)
            return FormatResString(IDS_CLI_BAD_SAMPLE_RATE, PrintableName(text),
                                   std::to_string(kMinRenderSampleRate),
                                   std::to_string(kMaxRenderSampleRate));
        options.sampleRate = static_cast<int>(rate);
    }
    if (!options.sampleFormatText.empty() &&
        !AudioSampleFormatFor(options.sampleFormatText, options.sampleFormat))
        return FormatResString(IDS_CLI_BAD_SAMPLE_FORMAT, PrintableName(options.sampleFormatText),
                               "s16, s24, f32");
    AudioFileType type;
    if (AudioFileTypeFor(options.renderPath, type, options.sampleRate, options.sampleFormat) &&
        !AudioFileTakesFormat(type.nKind, options.sampleFormat))
    {
        std::string held;
        for (const char* name : {"s16", "s24", "f32"})
        {
            int format = 0;
            AudioSampleFormatFor(name, format);
            if (AudioFileTakesFormat(type.nKind, format))
                held += std::string(held.empty() ? "" : ", ") + name;
        }
        return FormatResString(IDS_CLI_FORMAT_NOT_IN_FILE, type.pszName, options.sampleFormatText,
                               held);
    }
    return "";
}
#endif

// The checks of the command line alone; returns the usage message, or an empty text.
std::string CheckUsage(Options& options)
{
    if (!IsEntry(options.key, IDS_KEY_FIRST, IDS_KEY_COUNT) && options.key != kAutoKey)
        return FormatResString(IDS_CLI_BAD_KEY, PrintableName(options.key),
                               ListOfEntries(IDS_KEY_FIRST, IDS_KEY_COUNT, false) + ", " +
                                   kAutoKey);
    if (!IsEntry(options.mode, IDS_MODE_FIRST, IDS_MODE_COUNT))
        return FormatResString(IDS_CLI_BAD_MODE, PrintableName(options.mode),
                               ListOfEntries(IDS_MODE_FIRST, IDS_MODE_COUNT, true));
    if (options.inputs.empty())
        return LoadResString(IDS_CLI_NO_INPUT);
    // An unset variable in a script ("-o $OUT") must not quietly mean temp.mid.
    if (options.outputGiven && options.output.empty())
        return LoadResString(IDS_CLI_EMPTY_OUTPUT);
    if (std::count(options.inputs.begin(), options.inputs.end(), "") > 0)
        return LoadResString(IDS_CLI_EMPTY_INPUT);
    bool svg = false;
    if (options.picturePathGiven && !IsPictureFileName(options.picturePath, svg))
        return FormatResString(IDS_CLI_BAD_PICTURE, PrintableName(options.picturePath));
    if (std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) > 1)
        return LoadResString(IDS_CLI_STDIN_TWICE);
    const bool playback = options.play || !options.renderPath.empty();
#ifndef TARVEL1_WITH_PLAYBACK
    if (playback)
        return LoadResString(IDS_CLI_NO_PLAYER);
#endif
    if (options.play && !options.renderPath.empty())
        return LoadResString(IDS_CLI_PLAY_AND_RENDER);
    const bool renderSettings =
        !options.sampleRateText.empty() || !options.sampleFormatText.empty();
    if (renderSettings && options.renderPath.empty())
        return LoadResString(IDS_CLI_RENDER_SETTING_ALONE);
#ifdef TARVEL1_WITH_PLAYBACK
    if (renderSettings)
    {
        const std::string settings = CheckRenderSettings(options);
        if (!settings.empty())
            return settings;
    }
#endif
    if (playback && options.inputs.size() > 1)
        return LoadResString(IDS_CLI_PLAY_ONE_INPUT);
    if (!options.picturePath.empty() && options.inputs.size() > 1)
        return LoadResString(IDS_CLI_PICTURE_ONE_INPUT);
    if (!options.picturePath.empty() && !CanDrawPianoRollPicture())
        return LoadResString(IDS_CLI_NO_PICTURE);
    // The report's lines would be mixed into the song.
    if (options.report && options.output == kStandardStream)
        return LoadResString(IDS_CLI_REPORT_TO_STDOUT);
    if (options.printKey && options.output == kStandardStream)
        return LoadResString(IDS_CLI_PRINT_KEY_TO_STDOUT);
    if (options.PrintKeyOnly())
        return playback || !options.picturePath.empty() || options.report
                   ? LoadResString(IDS_CLI_PRINT_KEY_ONLY)
                   : "";
    if (options.recursive && (options.output.empty() || options.output == kStandardStream ||
                              (CanAccess(options.output, false) && !IsFolder(options.output))))
        return LoadResString(IDS_CLI_RECURSIVE_FOLDER);
    return "";
}

// The real path of a folder, or of the nearest existing folder above it and the rest as given.
std::string CanonicalFolderName(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::string real = RealPath(path);
    return !real.empty() ? real : CanonicalName(path);
}

// True when `inner` is `outer` or lies below it; both are canonical names.
bool IsSameOrBelow(const std::string& inner, const std::string& outer)
{
    return inner == outer ||
           (inner.compare(0, outer.size(), outer) == 0 &&
            (outer == "/" || (inner.size() > outer.size() && inner[outer.size()] == '/')));
}

// As cp -r refuses to copy a folder into itself: the results would be found again as songs, and
// could overwrite the songs they came from. Returns 0, or the exit status.
int CheckOutputOutsideInputs(const Options& options)
{
    if (!options.recursive)
        return 0;
    const std::string output = CanonicalFolderName(options.output);
    for (const std::string& input : options.inputs)
    {
        if (input == kStandardStream || !IsFolder(input) ||
            !IsSameOrBelow(output, CanonicalFolderName(input)))
            continue;
        PrintMessage(options.output,
                     FormatResString(IDS_CLI_OUTPUT_INSIDE_INPUT, PrintableName(options.output),
                                     PrintableName(input)));
        return kExitUsage;
    }
    return 0;
}

// Where each input goes. Returns the usage message, or an empty text.
std::string PlanJobs(const Options& options, std::vector<Job>& jobs)
{
    const bool toFolder =
        options.recursive ||
        (!options.output.empty() && options.output != kStandardStream && IsFolder(options.output));
    for (const std::string& input : options.inputs)
    {
        if (options.recursive && input != kStandardStream && IsFolder(input))
        {
            std::vector<std::pair<std::string, std::string>> found;
            FindSongs(input, "", found);
            for (const auto& [path, relative] : found)
            {
                jobs.push_back({path, JoinPath(options.output, relative), true});
                jobs.back().found = true;
            }
            continue;
        }
        if (toFolder && input == kStandardStream)
            return LoadResString(IDS_CLI_STDIN_NO_NAME);
        jobs.push_back({input,
                        toFolder ? JoinPath(options.output, BaseName(input)) : options.output,
                        options.recursive});
    }
    if (options.output == kStandardStream && jobs.size() > 1)
        return LoadResString(IDS_CLI_STDOUT_ONE_INPUT);
    if (jobs.size() > 1 && !toFolder && !options.PrintKeyOnly())
        return LoadResString(IDS_CLI_SEVERAL_INPUTS);
    return "";
}

// Opens every input and looks at every output before anything is written. Reports each
// problem; returns 0, or the exit status. A song found by -r that cannot be read is skipped and
// the run goes on; `skipped` tells that the run cannot end in success.
int CheckFiles(Options& options, std::vector<Job>& jobs, bool& skipped)
{
    int status = 0;
    std::map<FileId, std::string> inputs; // each input file, by what it is
    for (Job& job : jobs)
    {
        try
        {
            CFile file;
            if (job.input == kStandardStream)
                file.Attach(STDIN_FILENO, job.input, CFile::modeRead);
            else
                file.Open(job.input, CFile::modeRead);
            const SPathInfo info =
                job.input == kStandardStream ? QueryDescriptor(STDIN_FILENO) : QueryPath(job.input);
            if (info.kind == SPathInfo::regular)
                inputs.emplace(IdOf(info), job.input);
        }
        catch (const CFileException& error)
        {
            const UINT prompt =
                error.m_lOsError == ENOENT ? AFX_IDP_FILE_NOT_FOUND : AFX_IDP_FAILED_TO_OPEN_DOC;
            PrintMessage(job.input, FormatResString(prompt, job.input, error.GetReason()));
            if (job.found)
            {
                job.skip = true;
                skipped = true;
            }
            else
                status = kExitRefused;
        }
    }
    if (status != 0)
        return status;

    // Standard output as the song's file: it must not be one of the inputs either.
    const SPathInfo out = QueryDescriptor(STDOUT_FILENO);
    const bool haveStdout = out.kind != SPathInfo::missing;
    options.stdoutTaken = options.output == kStandardStream;
    if (options.output == kStandardStream && haveStdout)
    {
        const auto input = inputs.find(IdOf(out));
        if (input != inputs.end())
        {
            PrintMessage(kStandardStream,
                         FormatResString(IDS_CLI_OVERWRITES_INPUT, PrintableName(input->second)));
            return kExitUsage;
        }
    }

    // Every file the run writes, with who writes it and whether its folders will be made.
    struct Output
    {
        std::string path;
        std::string writer;
        bool makeFolders;
        Job* job; // the song's job, or none for the render and the picture
    };
    std::vector<Output> outputs;
    for (Job& job : jobs)
    {
        if (job.skip)
            continue;
        if (job.target.empty())
        {
            try
            {
                job.target = TempSongPath();
            }
            catch (const CFileException& error)
            {
                PrintMessage(job.input, FormatResString(AFX_IDP_FAILED_TO_WRITE,
                                                        error.GetFileName(), error.GetReason()));
                return kExitRefused;
            }
        }
        if (job.target != kStandardStream)
            outputs.push_back({job.target, job.input, job.makeFolders, &job});
    }
    if (!options.renderPath.empty())
        outputs.push_back({options.renderPath, "--render", false, nullptr});
    if (!options.picturePath.empty())
        outputs.push_back({options.picturePath, "--picture", false, nullptr});

    std::map<std::string, std::string> written; // a name for each output, and its writer
    for (const auto& [output, writer, makeFolders, job] : outputs)
    {
        SWriteTarget target;
        try
        {
            target = InspectWriteTarget(output, makeFolders);
        }
        catch (const CFileException& error)
        {
            // A song's output that exists is left alone with -n, whatever it is.
            if (options.noClobber && job != nullptr && error.m_lOsError != ENOENT)
            {
                if (QueryPath(output).kind != SPathInfo::missing)
                {
                    job->skip = true;
                    continue;
                }
            }
            PrintMessage(output,
                         FormatResString(AFX_IDP_FAILED_TO_WRITE, output, error.GetReason()));
            status = kExitRefused;
            continue;
        }
        if (haveStdout && target.bIdentified && target.nDevice == out.nDevice &&
            target.nInode == out.nFile)
            options.stdoutTaken = true;
        if (options.noClobber && job != nullptr && target.bIdentified)
        {
            job->skip = true;
            continue;
        }
        if (target.bIdentified)
        {
            const auto input = inputs.find(FileId(target.nDevice, target.nInode));
            if (input != inputs.end())
            {
                PrintMessage(output, FormatResString(IDS_CLI_OVERWRITES_INPUT,
                                                     PrintableName(input->second)));
                return kExitUsage;
            }
        }
        // Pipes and devices take what is written into them; they are never replaced, so two
        // writers of /dev/null lose nothing.
        if (target.kind == SWriteTarget::stream)
            continue;
        const auto [clash, fresh] = written.emplace(CanonicalName(target.path), writer);
        if (!fresh)
        {
            PrintMessage(output, FormatResString(IDS_CLI_SAME_OUTPUT, PrintableName(clash->second),
                                                 PrintableName(writer)));
            return kExitUsage;
        }
    }
    return status;
}

// The roll is drawn at this size: enough for a whole song's notes to stay apart.
constexpr int kPictureWidth = 1600;
constexpr int kPictureHeight = 800;
// Songs written and not yet in place: committed together, so that a collection that replaces
// its earlier results syncs the disk once rather than once a song. Bounded by the descriptors
// a process may hold.
constexpr std::size_t kCommitBatch = 64;

// Each file written is named on standard output, one line each, unless an output goes there.
void PrintWrittenPath(const Options& options, const std::string& path)
{
    if (!options.stdoutTaken && !options.report)
        std::printf("%s\n", PrintableName(path).c_str());
}

bool DrawPicture(const Options& options, const CTarvel1Doc& doc, int keyOffset)
{
    const MovedNoteCount counts = CountMovedNotes(doc);
    const std::string caption = FormatResString(IDS_NOTES_MOVED, std::to_string(counts.nMoved),
                                                std::to_string(counts.nNotes));
    std::string error;
    const PictureSong song{doc.m_original.data(), doc.m_converted.data(),
                           static_cast<std::size_t>(doc.m_nLastIndex) + 1, doc.m_nTracks};
    if (!DrawPianoRollPicture(song, options.mode, keyOffset, caption, options.picturePath,
                              kPictureWidth, kPictureHeight, error))
    {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_WRITE, options.picturePath, error));
        return false;
    }
    PrintWrittenPath(options, options.picturePath);
    return true;
}

// A song written and waiting to be put in place, with the line that tells about it.
struct PendingSong
{
    std::unique_ptr<CSafeWriter> writer;
    const Job* job;
    std::string line;
};

// Puts the waiting songs in place; returns false when any could not be.
bool CommitSongs(std::vector<PendingSong>& pending)
{
    std::vector<std::unique_ptr<CSafeWriter>> writers;
    for (PendingSong& song : pending)
        writers.push_back(std::move(song.writer));
    const std::vector<CFileException> errors = CSafeWriter::CommitAll(writers);
    for (std::size_t i = 0; i < pending.size(); ++i)
    {
        const Job& job = *pending[i].job;
        const auto failed = std::find_if(errors.begin(), errors.end(),
                                         [&job](const CFileException& error)
                                         { return error.GetFileName() == job.target; });
        if (failed == errors.end())
            std::fputs(pending[i].line.c_str(), stdout);
        else
            PrintMessage(job.input,
                         FormatResString(AFX_IDP_FAILED_TO_WRITE, job.target, failed->GetReason()));
    }
    pending.clear();
    return errors.empty();
}

// Converts one song and writes it, into `pending` when it goes to a file, and keeps its bytes in
// `converted` when asked; returns false when it was refused. Messages name the input.
bool ConvertOne(const Options& options, const Job& job, std::vector<PendingSong>& pending,
                std::vector<std::uint8_t>* converted)
{
    CMessagePresenterScope presenter([&job](const std::string& text)
                                     { PrintMessage(job.input, text); });
    auto doc = std::make_unique<CTarvel1Doc>();
    bool opened;
    if (job.input == kStandardStream)
    {
        CFile in;
        in.Attach(STDIN_FILENO, job.input, CFile::modeRead);
        // Nothing at all is not a song cut short: say what happened.
        if (in.IsAtEnd())
        {
            AfxMessageBox(LoadResString(IDS_CLI_EMPTY_STDIN));
            return false;
        }
        opened = doc->OpenFromFile(in, job.input);
    }
    else
    {
        opened = doc->OnOpenDocument(job.input);
    }
    // A file without the signature opens "successfully" with no song: the document has already
    // said why, and there is nothing to write.
    if (!opened || doc->m_bLoaded != 1)
        return false;
    int keyOffset = KeyOffsetFromName(options.key);
    std::string keyLine; // goes out with the song's own line, so a batch keeps the inputs' order
    if (options.printKey || options.key == kAutoKey)
    {
        const KeyEstimate estimate = EstimateKey(*doc);
        // A note, never an error: the run goes on with the estimate.
        if (estimate.nNotes == 0)
            PrintMessage(job.input, LoadResString(IDS_CLI_KEY_NO_NOTES));
        else if (estimate.IsLowConfidence())
            PrintMessage(job.input, FormatResString(IDS_CLI_KEY_UNCERTAIN, KeyText(estimate.key),
                                                    KeyText(estimate.runnerUp)));
        // The input exactly as given and the key in the box's words: a line for scripts.
        if (options.printKey)
            keyLine = PrintableName(job.input) + ": " + KeyText(estimate.key) + "\n";
        if (options.key == kAutoKey)
            keyOffset = -estimate.key.nTonic;
    }
    if (options.PrintKeyOnly())
    {
        std::fputs(keyLine.c_str(), stdout);
        return true;
    }
    // Each song converts as if it were the only one: none inherits the running status that the
    // song before it left.
    ResetRunningStatus();
    doc->Convert(options.mode, keyOffset);
    // The player takes the song from here, not from the file written: that may be a pipe, a
    // device or standard output.
    if (converted != nullptr)
        converted->assign(doc->m_converted.begin(),
                          doc->m_converted.begin() + doc->m_nLastIndex + 1);
    try
    {
        if (job.target == kStandardStream)
        {
            CFile out;
            out.Attach(STDOUT_FILENO, job.target, CFile::modeWrite);
            WriteConvertedSong(*doc, out);
            return options.picturePath.empty() || DrawPicture(options, *doc, keyOffset);
        }
        if (job.makeFolders)
            MakeFolders(FolderOfPath(job.target), 0777);
        auto writer = std::make_unique<CSafeWriter>(
            job.target, options.output.empty() ? unsigned(CSafeWriter::scratch) : 0u);
        WriteConvertedSong(*doc, *writer);
        // Nothing but the song goes to standard output when the song does.
        std::string line = options.stdoutTaken ? std::string() : keyLine;
        if (options.report)
        {
            const MovedNoteCount counts = CountMovedNotes(*doc);
            line += PrintableName(job.input) + ": " + std::to_string(counts.nMoved) + " of " +
                    std::to_string(counts.nNotes) + " notes moved\n";
        }
        else if (!options.stdoutTaken)
        {
            line += PrintableName(job.target) + "\n";
        }
        pending.push_back({std::move(writer), &job, line});
    }
    catch (const CException& error)
    {
        AfxMessageBox(FormatResString(
            AFX_IDP_FAILED_TO_WRITE, error.GetFileName().empty() ? job.target : error.GetFileName(),
            error.GetReason()));
        return false;
    }
    if (options.picturePath.empty())
        return true;
    // The picture follows its song.
    return CommitSongs(pending) && DrawPicture(options, *doc, keyOffset);
}

// What was printed must have arrived: a full disk or a closed pipe is a failure, not a success.
int FlushStandardOutput(int status)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    std::fprintf(
        stderr, "%s: %s\n", kProgram,
        FormatResString(IDS_CLI_STDOUT_FAILED, SystemErrorText(errno != 0 ? errno : EIO)).c_str());
    return kExitRefused;
}

} // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();
    std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    Options options;
    const int parsed = ParseOptions(static_cast<int>(arguments.size()), pointers.data(), options);
    if (parsed >= 0)
        return parsed == 0 ? FlushStandardOutput(0) : parsed;
    if (options.listMidiPorts)
    {
#ifdef TARVEL1_WITH_PLAYBACK
        CMessagePresenterScope presenter(
            [](const std::string& text)
            { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); });
        return FlushStandardOutput(ListMidiPortsToStdout() ? 0 : kExitRefused);
#else
        return UsageError(LoadResString(IDS_CLI_NO_PLAYER));
#endif
    }
    std::string usage = CheckUsage(options);
    if (!usage.empty())
        return UsageError(usage);
    if (const int refused = CheckOutputOutsideInputs(options); refused != 0)
        return refused;
    std::vector<Job> jobs;
    usage = PlanJobs(options, jobs);
    if (!usage.empty())
        return UsageError(usage);

    if (jobs.empty())
    {
        std::fprintf(stderr, "%s: %s\n", kProgram, LoadResString(IDS_CLI_NO_SONGS).c_str());
        return kExitRefused;
    }
    bool skipped = false;
    const int checked = options.PrintKeyOnly() ? 0 : CheckFiles(options, jobs, skipped);
    if (checked != 0)
        return checked;
#ifdef TARVEL1_WITH_PLAYBACK
    const bool playback = options.play || !options.renderPath.empty();
    const PlaybackRequest request{options.soundFont,   options.audioDriver, options.midiPort,
                                  options.renderPath,  jobs.front().input,  options.sampleRate,
                                  options.sampleFormat};
    if (playback)
    {
        CMessagePresenterScope presenter([&jobs](const std::string& text)
                                         { PrintMessage(jobs.front().input, text); });
        if (!CheckPlaybackReady(request, !options.renderPath.empty()))
            return kExitRefused;
    }
#endif

    bool allWritten = !skipped;
    std::vector<PendingSong> pending;
    std::vector<std::uint8_t> converted; // the song to play or render
    for (const Job& job : jobs)
    {
        if (job.skip)
            continue;
        const bool keep = (options.play || !options.renderPath.empty()) && &job == &jobs.front();
        allWritten = ConvertOne(options, job, pending, keep ? &converted : nullptr) && allWritten;
        if (pending.size() >= kCommitBatch)
            allWritten = CommitSongs(pending) && allWritten;
    }
    allWritten = CommitSongs(pending) && allWritten;
#ifdef TARVEL1_WITH_PLAYBACK
    if (allWritten && playback)
    {
        CMessagePresenterScope presenter([&jobs](const std::string& text)
                                         { PrintMessage(jobs.front().input, text); });
        const std::string& name = jobs.front().input;
        allWritten = options.play
                         ? PlayConvertedSong(request, converted, name)
                         : RenderConvertedSong(request, converted, name, options.renderPath);
        if (allWritten && !options.play)
            PrintWrittenPath(options, options.renderPath);
    }
#endif
    return FlushStandardOutput(allWritten ? 0 : kExitRefused);
}
