// The user's folders on Windows: the roaming application data for the settings, the local one
// for files that can be made again.

#include "user_folders.h"

#include <cerrno>

#include <shlobj.h>
#include <windows.h>

#include "exceptions.h"
#include "win32_support.h"

std::string UserFolderPath(UserFolder kind)
{
    const KNOWNFOLDERID& id =
        kind == UserFolder::config ? FOLDERID_RoamingAppData : FOLDERID_LocalAppData;
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &folder)))
        path = Utf8FromWide(folder);
    CoTaskMemFree(folder);
    if (path.empty())
        AfxThrowFileException(kind == UserFolder::config ? "%APPDATA%" : "%LOCALAPPDATA%", ENOENT);
    return path;
}
