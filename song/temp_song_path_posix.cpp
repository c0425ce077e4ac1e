// Where temp.mid goes on POSIX systems: beside the executable unless that folder is read-only or
// one of the search path's, otherwise in the user's cache folder.

#include "conversion.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "file.h"
#include "safe_writer.h"
#include "system.h"
#include "user_folders.h"

namespace
{

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

// temp.mid beside the executable when that folder may hold it, or an empty text.
std::string TempSongBesideExecutable(const std::string& exePath, const char* searchPath)
{
    if (exePath.empty())
        return "";
    const std::string folder = FolderOfPath(exePath);
    if (access(folder.c_str(), W_OK) != 0 || IsOnSearchPath(folder, searchPath))
        return "";
    return (folder == "/" ? "" : folder) + "/" + kTempSongName;
}

} // namespace

std::string TempSongPathFor(const std::string& exePath, const char* xdgCacheHome, const char* home,
                            const char* searchPath)
{
    const std::string beside = TempSongBesideExecutable(exePath, searchPath);
    return !beside.empty() ? beside
                           : UserFolderPathFor(UserFolder::cache, xdgCacheHome, home) +
                                 "/tarvel1/" + kTempSongName;
}

std::string TempSongPath()
{
    std::string path = TempSongBesideExecutable(ExecutablePath(), std::getenv("PATH"));
    if (path.empty())
        path = UserFolderPath(UserFolder::cache) + "/tarvel1/" + kTempSongName;
    MakeFolders(FolderOfPath(path), 0700);
    return path;
}
