#include "conversion.h"

#include <cerrno>

#include <shlobj.h>
#include <windows.h>

#include "file.h"
#include "system.h"
#include "win32_support.h"

namespace
{

// %LOCALAPPDATA%: the user's own folder for files that stay on this machine.
std::string LocalAppDataFolder()
{
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder)))
        path = Utf8FromWide(folder);
    CoTaskMemFree(folder);
    return path;
}

} // namespace

std::string TempSongPath()
{
    // A copy run from a folder of its own (a portable copy) keeps temp.mid beside it; an installed
    // one, whose folder the user may not write, in the user's local application data.
    const std::string folder = ExecutableFolder();
    if (!folder.empty())
    {
        if (CanAccess(folder, true))
            return folder + "\\" + kTempSongName;
    }
    const std::string appData = LocalAppDataFolder();
    if (appData.empty())
        AfxThrowFileException("%LOCALAPPDATA%\\tarvel1", ENOENT);
    const std::string cache = appData + "\\tarvel1";
    MakeFolders(cache, 0700);
    return cache + "\\" + kTempSongName;
}
