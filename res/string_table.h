#pragma once
// Every text the program shows lives in this one table, keyed by its resource id, so that the
// window, the command line and the tests all show exactly the same words.

#include <string>
#include <string_view>

using UINT = unsigned int;

// Texts of the song document and the player.
constexpr UINT IDS_NOT_MIDI_FILE = 1;   // a file that does not start with "MThd"
constexpr UINT IDS_LOAD_MIDI_FILE = 2;  // play or save with no song read

// The framework's own messages. %1 is the file's path, %2 the system's reason.
constexpr UINT AFX_IDP_FAILED_TO_OPEN_DOC = 0xF000;
constexpr UINT AFX_IDP_FAILED_TO_SAVE_DOC = 0xF001;
constexpr UINT AFX_IDP_FILE_ENDS_EARLY = 0xF002;
constexpr UINT AFX_IDP_SONG_TOO_LARGE = 0xF003;
constexpr UINT AFX_IDP_FAILED_TO_WRITE = 0xF004;
constexpr UINT AFX_IDP_FAILED_TO_READ = 0xF005;
constexpr UINT AFX_IDP_FILE_NOT_FOUND = 0xF006;

// Application strings.
constexpr UINT AFX_IDS_APP_TITLE = 57344;
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;

// The window framework's own texts. A command's prompt is stored under the command's id
// (afxres.h): the status-bar prompt, then a line feed and the tooltip.
constexpr UINT AFX_IDS_OPENFILE = 0xEF60;  // title of the open dialog
constexpr UINT AFX_IDS_SAVEFILE = 0xEF61;  // title of the save dialog
constexpr UINT AFX_IDS_ALLFILTER = 0xEF62; // the "all files" choice of the file dialogs

// The text stored under `id`; an unknown id is a programmer error and yields an empty text.
const std::string& LoadResString(UINT id);

// Replaces %1, %2, ... in `pattern` by the given arguments, in order.
std::string FormatResString(UINT id, std::string_view arg1, std::string_view arg2 = {});
