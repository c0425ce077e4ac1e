#pragma once
// The converter's player: the terminal's START and STOP/CONTINUE, and rendering into a file.
// Both report a failure through AfxMessageBox and return false.

#include <string>

struct PlaybackRequest
{
    std::string soundFont;   // empty: the player's own search
    std::string audioDriver; // empty: the player's default order
};

// Plays `path` to its end, or until q or Ctrl+C, with a progress line on a terminal.
bool PlayConvertedSong(const PlaybackRequest& request, const std::string& path);
// Renders `path` into the audio file `outPath` as fast as the machine allows.
bool RenderConvertedSong(const PlaybackRequest& request, const std::string& path,
                         const std::string& outPath);
// Checks, before anything is written, what playing or rendering will need: the SoundFont now.
// Reports what is missing through AfxMessageBox and returns false.
bool CheckPlaybackReady(const PlaybackRequest& request, bool render);
