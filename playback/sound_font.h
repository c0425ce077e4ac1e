#pragma once
// Where the General MIDI SoundFont is found: an explicit choice first, then the system's default,
// then the files of Debian's GM SoundFont packages. Nothing here loads the file.

#include <string>
#include <vector>

// The environment variable that names a SoundFont when the command line does not.
constexpr const char* kSoundFontVariable = "TARVEL1_SOUNDFONT";

// The places to look, best first: `explicitPath` (from --soundfont) when not empty, otherwise
// `environmentPath` (TARVEL1_SOUNDFONT) when not empty; then the system's default GM SoundFont
// (sf3, then sf2); then the Debian packages' own files.
std::vector<std::string> SoundFontCandidates(const std::string& explicitPath,
                                             const std::string& environmentPath);

// The first candidate that is a readable file, or an empty text when there is none. An explicit
// choice that does not exist is not passed over for a system file: it is returned as it is, so
// that loading it fails and the user learns that the choice was wrong.
std::string FindSoundFont(const std::vector<std::string>& candidates, bool firstIsExplicit);

// The same search with the program's environment.
std::string FindSoundFont(const std::string& explicitPath, std::string* searched = nullptr);
