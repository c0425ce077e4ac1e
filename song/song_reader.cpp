#include "song_reader.h"

#include <cstring>

#include "archive.h"
#include "file.h"
#include "string_table.h"

namespace
{

constexpr std::uint8_t kSignature[4] = {'M', 'T', 'h', 'd'};
constexpr std::size_t kHeaderSize = 12;

} // namespace

bool HasSongSignature(const std::uint8_t* bytes)
{
    return std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

int SongHeaderTracks(const std::uint8_t* bytes)
{
    return bytes[10] * 256 + bytes[11];
}

SongScan ScanSong(const std::uint8_t* data, std::size_t size)
{
    SongScan scan;
    // Too short to say: File Open reports these as a file that ends early, not as "not MIDI".
    scan.result = SongScanResult::EndsEarly;
    if (size < sizeof kSignature)
        return scan;
    if (!HasSongSignature(data))
    {
        scan.result = SongScanResult::NotMidi;
        return scan;
    }
    if (size < kHeaderSize)
        return scan;
    CSongEndScan ends(SongHeaderTracks(data));
    scan.nTracks = ends.Tracks();
    const std::size_t limit = size < kSongLimit ? size : kSongLimit;
    for (std::size_t i = kHeaderSize; i < limit; ++i)
    {
        if (ends.EndsAt(data, i))
        {
            scan.result = SongScanResult::Song;
            scan.nLastIndex = i;
            scan.nTracksSeen = ends.Seen();
            return scan;
        }
    }
    scan.nTracksSeen = ends.Seen();
    if (size > kSongLimit)
        scan.result = SongScanResult::TooLarge;
    return scan;
}

std::string SongScanMessage(const SongScan& scan, const std::string& name)
{
    switch (scan.result)
    {
    case SongScanResult::NotMidi:
        return LoadResString(IDS_NOT_MIDI_FILE);
    case SongScanResult::EndsEarly:
        if (scan.nTracks == 0)
            return FormatResString(AFX_IDP_FILE_ENDS_EARLY, name);
        return FormatResString(IDS_SONG_ENDS_EARLY, name, std::to_string(scan.nTracks),
                               std::to_string(scan.nTracksSeen));
    case SongScanResult::TooLarge:
        return FormatResString(AFX_IDP_SONG_TOO_LARGE, name);
    case SongScanResult::Song:
        break;
    }
    return {};
}

bool ReadSongBytes(const std::uint8_t* data, std::size_t size, const std::string& name,
                   SongBytes& song, std::string& message)
{
    const SongScan scan = ScanSong(data, size);
    if (scan.result != SongScanResult::Song)
    {
        message = SongScanMessage(scan, name);
        return false;
    }
    song.bytes.assign(data, data + scan.nLastIndex + 1);
    song.nTracks = scan.nTracks;
    return true;
}

bool ReadSongFile(const std::string& path, SongBytes& song, std::string& message)
{
    std::vector<std::uint8_t> bytes;
    try
    {
        CFile file(path, CFile::modeRead);
        // Only as much as the longest song and one byte more is needed to tell it is too long.
        const std::size_t length = file.GetLength();
        bytes.resize(length < kSongLimit ? length : kSongLimit + 1);
        std::size_t filled = 0;
        while (filled < bytes.size())
        {
            const std::size_t read = file.Read(bytes.data() + filled, bytes.size() - filled);
            if (read == 0)
                break;
            filled += read;
        }
        bytes.resize(filled);
    }
    catch (const CException& error)
    {
        message = AfxOpenFailureMessage(error, path);
        return false;
    }
    return ReadSongBytes(bytes.data(), bytes.size(), path, song, message);
}
