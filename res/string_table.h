#pragma once
// Every text the program shows lives in this one table, keyed by its resource id, so that the
// window, the command line and the tests all show exactly the same words.

#include <string>
#include <string_view>
#include <vector>

using UINT = unsigned int;

// Texts of the song document and the player.
constexpr UINT IDS_NOT_MIDI_FILE = 1;   // a file that does not start with "MThd"
constexpr UINT IDS_LOAD_MIDI_FILE = 2;  // play or save with no song read
constexpr UINT IDS_SONG_ENDS_EARLY = 3; // %1: the file, %2: tracks announced, %3: ends found

// Texts of the player. %1 is a path or a driver's name, %2 the reason.
constexpr UINT IDS_PLAYER_NO_SOUNDFONT = 0x4001;    // %1: the places searched
constexpr UINT IDS_PLAYER_BAD_SOUNDFONT = 0x4002;   // %1: the SoundFont, %2: why
constexpr UINT IDS_PLAYER_NOT_A_SOUNDFONT = 0x4003; // the reason when the header is wrong
constexpr UINT IDS_PLAYER_NO_AUDIO_DEVICE = 0x4004; // %1: each driver tried and its error
constexpr UINT IDS_PLAYER_UNKNOWN_DRIVER = 0x4005;  // %1: the name given, %2: the known ones
constexpr UINT IDS_PLAYER_DEVICE_NOT_OPEN = 0x4006; // pause or resume with nothing open
constexpr UINT IDS_PLAYER_CANNOT_PLAY = 0x4007;     // %1: the song, %2: one of IDS_SMF_*
constexpr UINT IDS_PLAYER_NO_SONG_PATH = 0x4008;    // START before any conversion
constexpr UINT IDS_PLAYER_SYNTH_FAILED = 0x4009;    // %1: the synthesizer's own words
constexpr UINT IDS_PLAYER_NO_MIDI_PORT = 0x4020;    // %1: the name asked for, %2: why
constexpr UINT IDS_PLAYER_RENDER_TOO_LONG = 0x4021; // %1: the song's length, %2: the most (format)
constexpr UINT IDS_PLAYER_UNKNOWN_AUDIO_FORMAT = 0x4022; // %1: the file to render into
constexpr UINT IDS_PLAYER_NO_MIDI_PORTS = 0x4023;        // %1: why the ports cannot be listed
constexpr UINT IDS_PLAYER_NO_MODULE = 0x4024;            // %1: the module, %2: why or where
constexpr UINT IDS_PLAYER_NO_SUCH_PORT = 0x4025; // %1: the name asked for, %2: the ports there are
constexpr UINT IDS_PLAYER_NO_PORTS_AT_ALL = 0x4026; // %2 of IDS_PLAYER_NO_SUCH_PORT: none
// Why a song cannot be played: %1 is the track's number, counted from 1.
constexpr UINT IDS_SMF_BAD_HEADER = 0x4010;
constexpr UINT IDS_SMF_SMPTE = 0x4011;
constexpr UINT IDS_SMF_TOO_MANY_TRACKS = 0x4013;
constexpr UINT IDS_SMF_TRUNCATED = 0x4014;
constexpr UINT IDS_SMF_BAD_CHUNK = 0x4015;
constexpr UINT IDS_SMF_BAD_EVENT = 0x4016;
// Why the sequencer's reader refuses a song (the texts above serve it too).
constexpr UINT IDS_SMF_SHORT_HEADER = 0x4100;
constexpr UINT IDS_SMF_BAD_FORMAT = 0x4101; // %1: the format number found
constexpr UINT IDS_SMF_ZERO_DIVISION = 0x4102;
constexpr UINT IDS_SMF_NO_TRACKS = 0x4103;

// The framework's own messages. %1 is the file's path, %2 the system's reason.
constexpr UINT AFX_IDP_FAILED_TO_OPEN_DOC = 0xF000;
constexpr UINT AFX_IDP_FAILED_TO_SAVE_DOC = 0xF001;
constexpr UINT AFX_IDP_FILE_ENDS_EARLY = 0xF002;
constexpr UINT AFX_IDP_SONG_TOO_LARGE = 0xF003;
constexpr UINT AFX_IDP_FAILED_TO_WRITE = 0xF004;
constexpr UINT AFX_IDP_FAILED_TO_READ = 0xF005;
constexpr UINT AFX_IDP_FILE_NOT_FOUND = 0xF006;
constexpr UINT AFX_IDP_NOT_REGULAR_FILE = 0xF007; // the reason when a song is a pipe or a device

// The converter on the command line. %1 and %2 as each comment says.
constexpr UINT IDS_CLI_USAGE = 0x5000;         // the help; %1: the program's name
constexpr UINT IDS_CLI_TRY_HELP = 0x5001;      // %1: the program's name
constexpr UINT IDS_CLI_BAD_OPTION = 0x5002;    // %1: the option as given
constexpr UINT IDS_CLI_MISSING_VALUE = 0x5003; // %1: the option as given
constexpr UINT IDS_CLI_NO_INPUT = 0x5004;
constexpr UINT IDS_CLI_BAD_KEY = 0x5005;          // %1: the text given, %2: the keys
constexpr UINT IDS_CLI_BAD_MODE = 0x5006;         // %1: the text given, %2: the modes
constexpr UINT IDS_CLI_SEVERAL_INPUTS = 0x5007;   // several inputs without -o FOLDER
constexpr UINT IDS_CLI_RECURSIVE_FOLDER = 0x5008; // -r without -o FOLDER
constexpr UINT IDS_CLI_NO_PLAYER = 0x5009;
constexpr UINT IDS_CLI_PLAY_ONE_INPUT = 0x500A;
constexpr UINT IDS_CLI_PLAY_AND_RENDER = 0x500B;
constexpr UINT IDS_CLI_STDIN_TWICE = 0x500C;
constexpr UINT IDS_CLI_STDIN_NO_NAME = 0x500D;    // standard input into a folder
constexpr UINT IDS_CLI_STDOUT_ONE_INPUT = 0x500E; // -o - with several inputs
constexpr UINT IDS_CLI_OVERWRITES_INPUT = 0x500F; // the output named first is an input
constexpr UINT IDS_CLI_SAME_OUTPUT = 0x5010;      // %1, %2: the two that would write one file
constexpr UINT IDS_CLI_STDOUT_FAILED = 0x5011;    // %1: the system's reason
constexpr UINT IDS_CLI_PICTURE_ONE_INPUT = 0x5012;
constexpr UINT IDS_CLI_REPORT_TO_STDOUT = 0x5013;    // --report with -o -
constexpr UINT IDS_CLI_OUTPUT_INSIDE_INPUT = 0x5014; // %1: the output folder, %2: the input folder
constexpr UINT IDS_CLI_NO_SONGS = 0x5015;            // -r found nothing to convert
constexpr UINT IDS_CLI_EMPTY_OUTPUT = 0x5016;        // -o ''
constexpr UINT IDS_CLI_EMPTY_INPUT = 0x5017;         // an input named ''
constexpr UINT IDS_CLI_BAD_PICTURE = 0x5018;         // %1: the --picture name
constexpr UINT IDS_CLI_EMPTY_STDIN = 0x5019;         // nothing came on standard input
// The estimated key: --print-key with -o -, --print-key without -o and a conversion, an
// uncertain key (%1: the key, %2: the runner-up), a song without notes outside the drums.
constexpr UINT IDS_CLI_PRINT_KEY_TO_STDOUT = 0x501A;
constexpr UINT IDS_CLI_PRINT_KEY_ONLY = 0x501B;
constexpr UINT IDS_CLI_KEY_UNCERTAIN = 0x501C;
constexpr UINT IDS_CLI_KEY_NO_NOTES = 0x501D;
constexpr UINT IDS_CLI_NO_PICTURE = 0x501F;          // a build that cannot draw the roll
// A render's rate and sample format: a bad rate (%1: as given, %2: the lowest, %3: the highest),
// a bad format (%1: as given, %2: the formats), a format the file cannot hold (%1: the file
// type, %2: the format, %3: the formats it holds), either without --render.
constexpr UINT IDS_CLI_BAD_SAMPLE_RATE = 0x501E;
constexpr UINT IDS_CLI_BAD_SAMPLE_FORMAT = 0x5025;
constexpr UINT IDS_CLI_FORMAT_NOT_IN_FILE = 0x5023;
constexpr UINT IDS_CLI_RENDER_SETTING_ALONE = 0x5024;
// The version resource.
constexpr UINT IDS_VERSION_PRODUCT_NAME = 0x5020;
constexpr UINT IDS_VERSION_FILE_DESCRIPTION = 0x5021;
constexpr UINT IDS_VERSION_NUMBER = 0x5022;

// Application strings.
constexpr UINT AFX_IDS_APP_TITLE = 57344;
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;

// The window framework's own texts. A command's prompt is stored under the command's id
// (afxres.h): the status-bar prompt, then a line feed and the tooltip.
constexpr UINT AFX_IDS_OPENFILE = 0xEF60;  // title of the open dialog
constexpr UINT AFX_IDS_SAVEFILE = 0xEF61;  // title of the save dialog
constexpr UINT AFX_IDS_ALLFILTER = 0xEF62; // the "all files" choice of the file dialogs

// The converter form.
constexpr UINT IDS_MAIN_WINDOW_TITLE = 0x0200; // the title the form keeps on the main window
constexpr UINT IDS_MODE_FIRST = 0x0210;        // the mode box's entries, in order
constexpr UINT IDS_MODE_COUNT = 6;
constexpr UINT IDS_KEY_FIRST = 0x0220; // the key box's entries, in order
constexpr UINT IDS_KEY_COUNT = 12;

// The window program's command line, and the names screen readers give the boxes.
constexpr UINT IDS_CMDLINE_SONG = 0x6002;    // --help: the song argument
constexpr UINT IDS_CMDLINE_HELP = 0x6003;    // --help: the --help option
constexpr UINT IDS_CMDLINE_VERSION = 0x6004; // --help: the --version option
constexpr UINT IDS_ACCNAME_KEY = 0x6010;     // the key box
constexpr UINT IDS_ACCNAME_MODE = 0x6011;    // the mode box

// What a conversion moved, the piano roll and the playback settings.
constexpr UINT IDS_NOTES_MOVED = 0x7000;      // %1: notes moved, %2: notes counted
constexpr UINT IDS_PIANO_ROLL_TITLE = 0x7010; // the piano roll window's title
constexpr UINT IDS_OUTPUT_IS_INPUT = 0x7011;  // why an output would not replace its input
constexpr UINT IDS_ESTIMATED_KEY = 0x7012;    // %1: the song's estimated key ("D minor")
constexpr UINT IDS_NO_ESTIMATED_KEY = 0x7013; // a song with no notes outside the drums
constexpr UINT IDS_PLAYBACK_TITLE = 0x7020;   // the playback settings dialog
constexpr UINT IDS_PLAYBACK_OUTPUT = 0x7021;
constexpr UINT IDS_PLAYBACK_BUILTIN = 0x7022;
constexpr UINT IDS_PLAYBACK_SOUNDFONT = 0x7023;
constexpr UINT IDS_PLAYBACK_SOUNDFONT_DEFAULT = 0x7024; // %1: the SoundFont found by itself
constexpr UINT IDS_PLAYBACK_SOUNDFONT_FILTER = 0x7025;
constexpr UINT IDS_PLAYBACK_DRIVER = 0x7026;
constexpr UINT IDS_PLAYBACK_DRIVER_AUTO = 0x7027;
constexpr UINT IDS_PLAYBACK_NO_PORTS = 0x7028;       // %1: why
constexpr UINT IDS_PLAYBACK_PORT_GONE = 0x7029;      // %1: the port's name
constexpr UINT IDS_PLAYBACK_SOUNDFONT_GONE = 0x702A; // %1: the SoundFont
constexpr UINT IDS_ROLL_KEY = 0x7040;                // the roll's header: %1 key, %2 mode
constexpr UINT IDS_ROLL_DRUMS = 0x7041;              // the roll's drum lane
constexpr UINT IDS_ROLL_DESCRIPTION = 0x7042; // screen readers: %1 length, %2 moved-note count
constexpr UINT IDS_ROLL_BARS = 0x7045;        // the roll's ruler counts bars
constexpr UINT IDS_ROLL_TIME = 0x7046;        // the roll's ruler counts time
constexpr UINT IDS_NO_SOUND_OUTPUT = 0x7043;  // START without a sound output that opens
constexpr UINT IDS_PLAYBACK_NO_PORTS_SHORT = 0x7044; // the settings' line when ports are unknown

// The text stored under `id`, in the user's language (message_catalog.h); an unknown id is a
// programmer error and yields an empty text.
const std::string& LoadResString(UINT id);

// Every text of the table as written in it, the source of the translations.
std::vector<std::string> StringTableSourceTexts();

// Replaces %1, %2, ... in `pattern` by the given arguments, in order.
std::string FormatResString(UINT id, std::string_view arg1, std::string_view arg2 = {},
                            std::string_view arg3 = {});
