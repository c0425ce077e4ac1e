#include "conversion.h"

#include <cerrno>
#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file.h"
#include "system.h"

namespace
{

// A HOME that is unset, empty or relative says nothing trustworthy about where the user's files
// are; the password database does.
std::string HomeFolder(const char* home)
{
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return "";
}

std::string CacheFolderFor(const char* xdgCacheHome, const char* home)
{
    // The XDG rules ignore a relative XDG_CACHE_HOME.
    if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/')
        return std::string(xdgCacheHome) + "/tarvel1";
    // Never a shared folder such as /tmp, where another user could have prepared the path.
    if (home == nullptr || home[0] != '/')
        AfxThrowFileException("~/.cache/tarvel1", ENOENT);
    return std::string(home) + "/.cache/tarvel1";
}

// A folder of the search path holds programs, not songs: an installed copy must not write
// temp.mid into ~/.local/bin or /usr/bin.
bool IsOnSearchPath(const std::string& folder, const char* searchPath)
{
    struct stat self;
    if (searchPath == nullptr || stat(folder.c_str(), &self) != 0)
        return false;
    const std::string entries = searchPath;
    for (std::size_t start = 0;;)
    {
        const std::size_t colon = entries.find(':', start);
        std::string entry = entries.substr(start, colon - start);
        if (entry.empty())
            entry = "."; // an empty entry is the current folder
        struct stat st;
        if (stat(entry.c_str(), &st) == 0 && st.st_dev == self.st_dev && st.st_ino == self.st_ino)
            return true;
        if (colon == std::string::npos)
            return false;
        start = colon + 1;
    }
}

} // namespace

std::string TempSongPathFor(const std::string& exePath, const char* xdgCacheHome, const char* home,
                            const char* searchPath)
{
    if (!exePath.empty())
    {
        const std::string folder = FolderOfPath(exePath);
        if (access(folder.c_str(), W_OK) == 0 && !IsOnSearchPath(folder, searchPath))
            return (folder == "/" ? "" : folder) + "/" + kTempSongName;
    }
    return CacheFolderFor(xdgCacheHome, home) + "/" + kTempSongName;
}

std::string TempSongPath()
{
    const std::string home = HomeFolder(std::getenv("HOME"));
    const std::string path = TempSongPathFor(ExecutablePath(), std::getenv("XDG_CACHE_HOME"),
                                             home.c_str(), std::getenv("PATH"));
    MakeFolders(FolderOfPath(path), 0700);
    return path;
}
