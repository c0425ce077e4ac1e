#pragma once
// The conversion pass: the form's two texts become a mode and a key offset, the song is converted
// afresh from the song as read, and the result is written to temp.mid, the file the player opens.

#include <string>

#include "file.h"
#include "song_document.h"
#include "system.h"

constexpr const char* kTempSongName = "temp.mid";

// "C" is 0, "C#" -1, ... "A#" -10; any other text, "B" included, is -11.
int KeyOffsetFromName(const std::string& key);
// The key box's text for a pitch class: 0 is "C", 1 "C#", ... 11 "B".
std::string KeyNameFromTonic(int pitchClass);

// Where temp.mid lives: beside the executable when that folder is writable and not on the search
// path, otherwise in the user's cache folder, which is created when missing: on POSIX
// $XDG_CACHE_HOME/tarvel1, or ~/.cache/tarvel1 with the home folder from the password database
// when HOME is unset or relative; on Windows %LOCALAPPDATA%\tarvel1. Throws CFileException when
// the cache folder cannot be found or created.
std::string TempSongPath();
// On POSIX, the same choice for a given executable path and environment (`searchPath` as PATH),
// creating nothing. Throws CFileException when the cache folder is needed and neither
// XDG_CACHE_HOME nor `home` is an absolute path.
std::string TempSongPathFor(const std::string& exePath, const char* xdgCacheHome, const char* home,
                            const char* searchPath);

// Writes the converted copy, bytes 0 to m_nLastIndex, to `path`, replacing the file there only
// once every byte is written; a `scratch` file is never synced. Throws CFileException.
void WriteConvertedSong(const CTarvel1Doc& doc, const std::string& path, bool scratch = false);
// The same into a file opened for writing, which it closes.
void WriteConvertedSong(const CTarvel1Doc& doc, CFile& file);
// The same into a writer, which the caller commits (several files at once, say).
void WriteConvertedSong(const CTarvel1Doc& doc, CSafeWriter& writer);

// The whole pass with the texts of the mode and key boxes. Sets `keyOffset`, converts, sets
// `tempPath` and writes the file, in that order; a write failure throws after the song has been
// converted. temp.mid is written even when no song is loaded.
void ConvertAndWrite(CTarvel1Doc& doc, const std::string& modeText, const std::string& keyText,
                     int& keyOffset, std::string& tempPath);
