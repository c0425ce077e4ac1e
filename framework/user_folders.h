#pragma once
// Where the user's own files go: the settings and the cache, as the desktop's rules place them.
// One interface, one file per platform (user_folders_posix.cpp, ...).

#include <string>

enum class UserFolder
{
    config, // the settings file
    cache,  // files that can be made again at any time (temp.mid)
};

// The folder for `kind`, not created. On POSIX systems $XDG_CONFIG_HOME or $XDG_CACHE_HOME when
// absolute, otherwise ~/.config or ~/.cache, with the home folder from the password database when
// HOME is unset, empty or relative; never a shared folder such as /tmp. On Windows %APPDATA% or
// %LOCALAPPDATA%. Throws CFileException when no such folder can be found.
std::string UserFolderPath(UserFolder kind);

// On POSIX systems, the same for a given environment: `xdgHome` as the kind's XDG variable,
// `home` as HOME (the password database is not asked).
std::string UserFolderPathFor(UserFolder kind, const char* xdgHome, const char* home);
