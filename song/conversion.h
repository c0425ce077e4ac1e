#pragma once
// The conversion pass: the form's two texts become a mode and a key offset, the song is converted
// afresh from the song as read, and the result is written to temp.mid, the file the player opens.

#include <string>

#include "song_document.h"

constexpr const char* kTempSongName = "temp.mid";

// "C" is 0, "C#" -1, ... "A#" -10; any other text, "B" included, is -11.
int KeyOffsetFromName(const std::string& key);

// Where temp.mid lives: beside the executable when that folder is writable, otherwise in the
// user's cache folder ($XDG_CACHE_HOME/tarvel1, or ~/.cache/tarvel1), which is created when
// missing. Throws CFileException when the cache folder cannot be created.
std::string TempSongPath();
// The same choice for a given executable path and environment, creating nothing.
std::string TempSongPathFor(const std::string& exePath, const char* xdgCacheHome, const char* home);
// The running program's own path.
std::string ExecutablePath();

// Writes the converted copy, bytes 0 to m_nLastIndex, to `path`, replacing the file there only
// once every byte is on the disk. Throws CFileException.
void WriteConvertedSong(const CTarvel1Doc& doc, const std::string& path);

// The whole pass with the texts of the mode and key boxes. Sets `keyOffset`, converts, sets
// `tempPath` and writes the file, in that order; a write failure throws after the song has been
// converted. temp.mid is written even when no song is loaded.
void ConvertAndWrite(CTarvel1Doc& doc, const std::string& modeText, const std::string& keyText,
                     int& keyOffset, std::string& tempPath);
