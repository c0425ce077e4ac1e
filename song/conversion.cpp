#include "conversion.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "archive.h"
#include "file.h"

namespace
{

constexpr std::array<const char*, 11> kKeyNames = {"C",  "C#", "D",  "D#", "E", "F",
                                                   "F#", "G",  "G#", "A",  "A#"};
constexpr int kLastKeyOffset = -11;

std::string CacheFolderFor(const char* xdgCacheHome, const char* home)
{
    // The XDG rules ignore a relative XDG_CACHE_HOME.
    if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/')
        return std::string(xdgCacheHome) + "/tarvel1";
    return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.cache/tarvel1";
}

void MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            AfxThrowFileException(part, errno);
        if (slash == std::string::npos)
            return;
    }
}

} // namespace

int KeyOffsetFromName(const std::string& key)
{
    for (std::size_t i = 0; i < kKeyNames.size(); ++i)
        if (key == kKeyNames[i])
            return -static_cast<int>(i);
    return kLastKeyOffset;
}

std::string ExecutablePath()
{
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : "";
}

std::string TempSongPathFor(const std::string& exePath, const char* xdgCacheHome, const char* home)
{
    if (!exePath.empty())
    {
        const std::string folder = FolderOfPath(exePath);
        if (access(folder.c_str(), W_OK) == 0)
            return (folder == "/" ? "" : folder) + "/" + kTempSongName;
    }
    return CacheFolderFor(xdgCacheHome, home) + "/" + kTempSongName;
}

std::string TempSongPath()
{
    const std::string path =
        TempSongPathFor(ExecutablePath(), std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    MakeFolders(FolderOfPath(path));
    return path;
}

void WriteConvertedSong(const CTarvel1Doc& doc, const std::string& path)
{
    CFile file(path, CFile::modeCreate | CFile::modeWrite);
    CArchive ar(file, CArchive::store);
    for (std::int32_t i = 0; i <= doc.m_nLastIndex; ++i)
        ar << doc.m_converted[static_cast<std::size_t>(i)];
    ar.Close();
    file.Close();
}

void ConvertAndWrite(CTarvel1Doc& doc, const std::string& modeText, const std::string& keyText,
                     int& keyOffset, std::string& tempPath)
{
    keyOffset = KeyOffsetFromName(keyText);
    doc.Convert(modeText, keyOffset);
    tempPath = TempSongPath();
    WriteConvertedSong(doc, tempPath);
}
