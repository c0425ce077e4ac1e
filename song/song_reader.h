#pragma once
// Where a song ends in a Standard MIDI File's bytes: the scan that counts end-of-track events.
// File Open, the player and the picture all find the song with it, so that they agree on what
// the song is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A song occupies at most this many bytes (64 MiB); a longer one is refused before it is read
// whole.
constexpr std::size_t kSongLimit = 0x4000000;

// True when the first four bytes are "MThd".
bool HasSongSignature(const std::uint8_t* bytes);
// The track count the header announces: bytes 10 and 11, big-endian.
int SongHeaderTracks(const std::uint8_t* bytes);

// The end-of-track count, fed one byte index at a time from index 12 on. Any FF 2F 00 counts,
// wherever it stands (inside a sysex or a text too), and the count is checked after every byte,
// so a header announcing no tracks ends the song at byte 12.
class CSongEndScan
{
public:
    explicit CSongEndScan(int tracks) : m_nTracks(tracks) {}
    // `song[i]` has just been read (i >= 12); true when it is the song's last byte.
    bool EndsAt(const std::uint8_t* song, std::size_t i)
    {
        if (song[i - 2] == 0xFF && song[i - 1] == 0x2F && song[i] == 0x00)
            ++m_nSeen;
        return m_nSeen == m_nTracks;
    }
    int Tracks() const { return m_nTracks; }
    int Seen() const { return m_nSeen; }

private:
    int m_nTracks;
    int m_nSeen = 0;
};

enum class SongScanResult
{
    Song,      // the song is bytes 0 to the last index
    NotMidi,   // no "MThd" signature (or fewer than four bytes)
    EndsEarly, // the bytes end before the header's end-of-track events were all seen
    TooLarge,  // the last end-of-track lies beyond kSongLimit
};

struct SongScan
{
    SongScanResult result = SongScanResult::NotMidi;
    std::size_t nLastIndex = 0; // Song: the index of the song's last byte
    int nTracks = 0;            // the header's track count, once 12 bytes were there
    int nTracksSeen = 0;        // end-of-track events found before the bytes ran out
};

// Finds the song in `size` bytes from `data`, reading nothing past them. Bytes after the song
// (further chunks, trailing garbage) are not part of it.
SongScan ScanSong(const std::uint8_t* data, std::size_t size);

// The user's text for a scan that found no song, naming `name` (a file name, or what the
// caller calls the bytes): the same texts File Open shows, saying what is missing.
std::string SongScanMessage(const SongScan& scan, const std::string& name);

// A song's bytes as the player and the picture take them across a module boundary: the file
// exactly as read, bytes 0 to the last end-of-track.
struct SongBytes
{
    std::vector<std::uint8_t> bytes;
    int nTracks = 0;
};

// Takes the song out of `size` bytes: true with `song` filled, or false with `message` (for the
// user, naming `name`) and `song` untouched.
bool ReadSongBytes(const std::uint8_t* data, std::size_t size, const std::string& name,
                   SongBytes& song, std::string& message);
// Reads the song of the file `path` as File Open does (a regular file, or "-" is not special
// here); false with `message` for the user and `song` untouched.
bool ReadSongFile(const std::string& path, SongBytes& song, std::string& message);
