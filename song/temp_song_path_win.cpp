// Where temp.mid goes on Windows: beside the executable when that folder takes new files (a
// portable copy), otherwise in the user's local application data.

#include "conversion.h"

#include "safe_writer.h"
#include "system.h"
#include "user_folders.h"

std::string TempSongPath()
{
    const std::string folder = ExecutableFolder();
    if (!folder.empty() && CanAccess(folder, true))
        return folder + "\\" + kTempSongName;
    const std::string cache = UserFolderPath(UserFolder::cache) + "\\tarvel1";
    MakeFolders(cache, 0700);
    return cache + "\\" + kTempSongName;
}
