#include "conversion.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "archive.h"
#include "file.h"
#include "user_folders.h"

namespace
{

constexpr std::array<const char*, 11> kKeyNames = {"C",  "C#", "D",  "D#", "E", "F",
                                                   "F#", "G",  "G#", "A",  "A#"};
constexpr int kLastKeyOffset = -11;

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

int KeyOffsetFromName(const std::string& key)
{
    for (std::size_t i = 0; i < kKeyNames.size(); ++i)
        if (key == kKeyNames[i])
            return -static_cast<int>(i);
    return kLastKeyOffset;
}

std::string KeyNameFromTonic(int pitchClass)
{
    const int degree = (pitchClass % 12 + 12) % 12;
    return degree < static_cast<int>(kKeyNames.size()) ? kKeyNames[degree] : "B";
}

std::string ExecutablePath()
{
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : "";
}

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

void WriteConvertedSong(const CTarvel1Doc& doc, const std::string& path, bool scratch)
{
    CFile file(path, CFile::modeCreate | CFile::modeWrite | (scratch ? CFile::modeScratch : 0u));
    WriteConvertedSong(doc, file);
}

void WriteConvertedSong(const CTarvel1Doc& doc, CFile& file)
{
    CArchive ar(file, CArchive::store);
    for (std::int32_t i = 0; i <= doc.m_nLastIndex; ++i)
        ar << doc.m_converted[static_cast<std::size_t>(i)];
    ar.Close();
    file.Close();
}

void WriteConvertedSong(const CTarvel1Doc& doc, CSafeWriter& writer)
{
    writer.Write(doc.m_converted.data(), static_cast<std::size_t>(doc.m_nLastIndex) + 1);
}

void ConvertAndWrite(CTarvel1Doc& doc, const std::string& modeText, const std::string& keyText,
                     int& keyOffset, std::string& tempPath)
{
    keyOffset = KeyOffsetFromName(keyText);
    doc.Convert(modeText, keyOffset);
    tempPath = TempSongPath();
    // temp.mid is made again by every conversion: nothing is lost if it never reaches the disk.
    WriteConvertedSong(doc, tempPath, true);
}
