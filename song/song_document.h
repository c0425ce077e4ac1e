#pragma once
// The song document: one Standard MIDI File as raw bytes, as read and as last converted. It finds
// the song's end by counting end-of-track events and never parses chunks; the walker does that.

#include <cstdint>
#include <string>
#include <vector>

#include "document.h"
#include "song_reader.h"

class CTarvel1Doc : public CDocument
{
public:
    CTarvel1Doc() = default;

    // Keeps the song and its flags: a new document is still the song that was read.
    bool OnNewDocument() override;
    // Loading reads the song up to its last end-of-track; a file that cannot be read whole leaves
    // the document exactly as it was. Storing writes the converted copy.
    void Serialize(CArchive& ar) override;
    // Refuses, and tells the user, while no song is loaded.
    bool CanSaveDocument() override;

    // Rebuilds the converted copy from the song as read and moves its notes; does nothing while
    // no song is loaded. `keyOffset` is 0 for "C" down to -11 for "B".
    void Convert(const std::string& mode, int keyOffset);

    // 1 once a song was read whole, 0 after a file without the "MThd" signature.
    std::int32_t m_bLoaded = 0;
    // The track count from the header, bytes 10 and 11, big-endian.
    std::int32_t m_nTracks = 0;
    // Both hold at least bytes 0 to m_nLastIndex; they fit the song rather than the largest one.
    std::vector<std::uint8_t> m_original = std::vector<std::uint8_t>(1);
    std::vector<std::uint8_t> m_converted = std::vector<std::uint8_t>(1);
    // The song is bytes 0 to m_nLastIndex inclusive of both arrays.
    std::int32_t m_nLastIndex = 0;

private:
    void LoadSong(CArchive& ar);
};
