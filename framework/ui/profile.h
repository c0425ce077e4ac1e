#pragma once
// The settings file: read whole into a wxFileConfig, changed, and written back through the
// program's file writer, so that it follows the same rules as every other file the program
// writes (a link stays a link, a failed save leaves the old settings).

#include <memory>
#include <string>

class wxFileConfig;

// The settings at `path`, or empty settings when the file is missing or unreadable. Nothing is
// written when the object goes away: only SaveProfile() writes.
std::unique_ptr<wxFileConfig> OpenProfile(const std::string& path);
// Writes `config` to `path`, making its folder when missing. False on failure.
bool SaveProfile(wxFileConfig& config, const std::string& path);
