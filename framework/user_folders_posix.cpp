// The user's folders on POSIX desktops: the XDG base directory rules.

#include "user_folders.h"

#include <cerrno>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

#include "exceptions.h"

std::string UserFolderPathFor(UserFolder kind, const char* xdgHome, const char* home)
{
    // The XDG rules ignore a relative XDG_*_HOME.
    if (xdgHome != nullptr && xdgHome[0] == '/')
        return xdgHome;
    const char* below = kind == UserFolder::config ? "/.config" : "/.cache";
    // Never a shared folder such as /tmp, where another user could have prepared the path.
    if (home == nullptr || home[0] != '/')
        AfxThrowFileException(std::string("~") + below, ENOENT);
    return std::string(home) + below;
}

std::string UserFolderPath(UserFolder kind)
{
    // A HOME that is unset, empty or relative says nothing trustworthy about where the user's
    // files are; the password database does.
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/')
        home = variable;
    else if (const passwd* entry = getpwuid(getuid());
             entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/')
        home = entry->pw_dir;
    return UserFolderPathFor(kind,
                             std::getenv(kind == UserFolder::config ? "XDG_CONFIG_HOME"
                                                                    : "XDG_CACHE_HOME"),
                             home.empty() ? nullptr : home.c_str());
}
