#pragma once
// The converter's player: the terminal's START and STOP/CONTINUE, rendering into a file, and the
// list of MIDI ports. Each reports a failure through AfxMessageBox and returns false. Ctrl+C or
// SIGTERM while playing or rendering silences the sound, removes a half-written file and ends the
// process by that signal, so that a shell loop over songs stops.

#include <cstdint>
#include <string>
#include <vector>

struct PlaybackRequest
{
    std::string soundFont;   // empty: the player's own search
    std::string audioDriver; // empty: the player's default order
    std::string midiPort;    // empty: the built-in synthesizer; else part of a port's name
    std::string renderPath;  // the file --render writes, for CheckPlaybackReady()
    std::string songPath;    // the song as given, for CheckPlaybackReady(); empty or "-": unread
};

// Plays the converted `song` (its bytes, named `name` in messages) to its end, or until q or
// Ctrl+C, with a progress line on a terminal. Space pauses and resumes, Left and Right seek 5
// seconds back and forth.
bool PlayConvertedSong(const PlaybackRequest& request, const std::vector<std::uint8_t>& song,
                       const std::string& name);
// Renders the converted `song` into the audio file `outPath` (WAV, FLAC or Ogg Vorbis by its
// extension) as fast as the machine allows, streaming to the disk.
bool RenderConvertedSong(const PlaybackRequest& request, const std::vector<std::uint8_t>& song,
                         const std::string& name, const std::string& outPath);
// Checks, before anything is written, what playing or rendering will need: the SoundFont (not
// for a MIDI port), the audio driver for playing, the MIDI port, and for rendering a known
// extension, a folder that can be written and a song short enough for the format.
bool CheckPlaybackReady(const PlaybackRequest& request, bool render);
// Prints the MIDI output ports one per line on stdout.
bool ListMidiPortsToStdout();
