#include "song_document.h"

#include <algorithm>
#include <cstring>

#include "event_walker.h"
#include "message_box.h"
#include "string_table.h"

namespace
{

// Bytes 0 to 4: what a file without the signature leaves as the song.
constexpr std::size_t kRejectedSize = 5;
// A song read from a pipe grows from here, doubling.
constexpr std::size_t kFirstChunkOfUnknownSize = 0x10000;

} // namespace

bool CTarvel1Doc::OnNewDocument()
{
    return CDocument::OnNewDocument();
}

void CTarvel1Doc::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        for (std::int32_t i = 0; i <= m_nLastIndex; ++i)
            ar << m_converted[static_cast<std::size_t>(i)];
        return;
    }
    LoadSong(ar);
}

void CTarvel1Doc::LoadSong(CArchive& ar)
{
    // The song is read aside and taken over only once it is whole, so that a file that ends too
    // early never leaves half of it mixed into the song that was loaded before. The file's size,
    // when it has one, is the song's size but for trailing bytes.
    const std::size_t fileLength = ar.GetFile()->GetLength();
    std::vector<std::uint8_t> incoming(
        std::min(std::max(fileLength, kFirstChunkOfUnknownSize), kSongLimit));
    std::uint8_t* song = incoming.data();

    for (std::size_t i = 0; i < 4; ++i)
        song[i] = ar.ReadByte();
    if (!HasSongSignature(song))
    {
        // The rejected file's name bytes are kept and the song ends at byte 4, as the scan left
        // them; both copies hold at least those five bytes.
        if (m_original.size() < kRejectedSize)
            m_original.resize(kRejectedSize);
        if (m_converted.size() < kRejectedSize)
            m_converted.resize(kRejectedSize);
        std::memcpy(m_original.data(), song, 4);
        AfxMessageBox(IDS_NOT_MIDI_FILE);
        m_bLoaded = 0;
        m_nLastIndex = 4;
        return;
    }

    // The header length and the format are not needed: only the track count says where the
    // song ends.
    for (std::size_t i = 4; i < 12; ++i)
        song[i] = ar.ReadByte();
    CSongEndScan ends(SongHeaderTracks(song));
    const int tracks = ends.Tracks();

    std::size_t i = 12;
    try
    {
        for (;; ++i)
        {
            if (i == incoming.size())
            {
                if (i == kSongLimit)
                {
                    std::uint8_t more;
                    if (!ar.TryReadByte(more))
                        AfxThrowArchiveException(CArchiveException::endOfFile,
                                                 ar.GetFile()->GetFilePath());
                    AfxThrowArchiveException(CArchiveException::badIndex,
                                             ar.GetFile()->GetFilePath(), AFX_IDP_SONG_TOO_LARGE);
                }
                incoming.resize(std::min(incoming.size() * 2, kSongLimit));
                song = incoming.data();
            }
            song[i] = ar.ReadByte();
            if (ends.EndsAt(song, i))
                break;
        }
    }
    catch (const CArchiveException& error)
    {
        if (error.m_cause != CArchiveException::endOfFile)
            throw;
        // The user learns how many ends of track were missing, which tells a cut file from a
        // header that announces tracks the file never had.
        AfxThrowArchiveException(CArchiveException::endOfFile, error.GetFileName(),
                                 IDS_SONG_ENDS_EARLY, std::to_string(tracks),
                                 std::to_string(ends.Seen()));
    }

    incoming.resize(i + 1);
    incoming.shrink_to_fit();
    // Until the first conversion the converted copy is the song as read, so that a save before
    // any conversion writes this song and not what an earlier one left behind.
    m_converted = incoming;
    m_original = std::move(incoming);
    m_nTracks = tracks;
    m_bLoaded = 1;
    m_nLastIndex = static_cast<std::int32_t>(i);
}

bool CTarvel1Doc::CanSaveDocument()
{
    if (m_bLoaded == 1)
        return true;
    AfxMessageBox(IDS_LOAD_MIDI_FILE);
    return false;
}

void CTarvel1Doc::Convert(const std::string& mode, int keyOffset)
{
    if (m_bLoaded != 1)
        return;
    const std::size_t size = static_cast<std::size_t>(m_nLastIndex) + 1;
    std::memcpy(m_converted.data(), m_original.data(), size);
    WalkTrackEvents(SongSpan{m_converted.data(), size}, m_nTracks, mode, keyOffset);
}
