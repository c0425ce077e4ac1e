#include "conversion.h"

#include <array>

#include "archive.h"
#include "file.h"

namespace
{

constexpr std::array<const char*, 11> kKeyNames = {"C",  "C#", "D",  "D#", "E", "F",
                                                   "F#", "G",  "G#", "A",  "A#"};
constexpr int kLastKeyOffset = -11;

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
