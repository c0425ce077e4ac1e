#include "song_timing.h"

#include <algorithm>
#include <string>

#include "string_table.h"

namespace
{

// The synthesizer keeps 127 tracks: from 128 on it drops tracks without a word, and from 256 on
// it misreads the count.
constexpr int kMaxTracks = 127;
constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;
// With a division of 0 the synthesizer keeps its starting pace of one tick every 4 ms.
constexpr double kSecondsPerTickWithoutDivision = 0.004;

// Reads the bytes of one file the way the synthesizer's reader does. Its quirks are kept on
// purpose, because the point is to predict what it will do: running status is taken over by
// meta and system-exclusive events too, and a track ends at its end-of-track event or at its
// announced length, whichever comes first.
class CReader
{
public:
    CReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_nSize(size) {}

    bool AtEnd() const { return m_nPos >= m_nSize; }
    std::size_t Pos() const { return m_nPos; }
    void Seek(std::size_t pos) { m_nPos = pos; }

    bool Byte(std::uint8_t& value)
    {
        if (m_nPos >= m_nSize)
            return false;
        value = m_data[m_nPos++];
        return true;
    }
    bool Skip(std::size_t count)
    {
        if (count > m_nSize - m_nPos)
        {
            m_nPos = m_nSize;
            return false;
        }
        m_nPos += count;
        return true;
    }
    bool Be32(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i)
        {
            std::uint8_t b;
            if (!Byte(b))
                return false;
            value = (value << 8) | b;
        }
        return true;
    }
    // A variable-length quantity of at most four bytes, as the synthesizer accepts.
    bool VarLen(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i)
        {
            std::uint8_t b;
            if (!Byte(b))
                return false;
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_nSize;
    std::size_t m_nPos = 0;
};

std::string TrackReason(UINT id, int trackIndex)
{
    return FormatResString(id, std::to_string(trackIndex + 1));
}

} // namespace

bool CSongTiming::Read(const std::uint8_t* data, std::size_t size, std::string& reason)
{
    m_tempi.clear();
    m_nLastTick = 0;
    if (size < 14 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd')
    {
        reason = LoadResString(IDS_NOT_MIDI_FILE);
        return false;
    }
    // Only the low byte of the header length is looked at, as the synthesizer does.
    if (data[7] != 6 || data[9] > 2)
    {
        reason = LoadResString(IDS_SMF_BAD_HEADER);
        return false;
    }
    if (data[12] & 0x80)
    {
        reason = LoadResString(IDS_SMF_SMPTE);
        return false;
    }
    m_nTracks = data[10] * 256 + data[11];
    m_nDivision = data[12] * 256 + data[13];
    if (m_nTracks > kMaxTracks)
    {
        reason = LoadResString(IDS_SMF_TOO_MANY_TRACKS);
        return false;
    }

    struct Found
    {
        std::uint32_t tick;
        int track;
        std::uint32_t tempo;
    };
    std::vector<Found> tempi;
    CReader in(data, size);
    in.Seek(14);
    for (int track = 0; track < m_nTracks; ++track)
    {
        // Chunks other than "MTrk" are skipped by their length.
        std::uint32_t length = 0;
        for (;;)
        {
            std::uint8_t id[4];
            for (std::uint8_t& b : id)
                if (!in.Byte(b))
                {
                    reason = TrackReason(IDS_SMF_TRUNCATED, track);
                    return false;
                }
            if (std::any_of(std::begin(id), std::end(id), [](std::uint8_t b) { return b & 0x80; }))
            {
                reason = TrackReason(IDS_SMF_BAD_CHUNK, track);
                return false;
            }
            if (!in.Be32(length))
            {
                reason = TrackReason(IDS_SMF_TRUNCATED, track);
                return false;
            }
            if (id[0] == 'M' && id[1] == 'T' && id[2] == 'r' && id[3] == 'k')
                break;
            if (!in.Skip(length))
            {
                reason = TrackReason(IDS_SMF_TRUNCATED, track);
                return false;
            }
        }

        const std::size_t start = in.Pos();
        std::uint32_t tick = 0;
        int runningStatus = -1;
        bool endOfTrack = false;
        while (!endOfTrack && in.Pos() - start < length)
        {
            std::uint32_t delta;
            std::uint8_t status;
            if (!in.VarLen(delta) || !in.Byte(status))
            {
                // A number longer than four bytes is as fatal as the file's end.
                reason = TrackReason(in.AtEnd() ? IDS_SMF_TRUNCATED : IDS_SMF_BAD_EVENT, track);
                return false;
            }
            tick += delta;
            if ((status & 0x80) == 0)
            {
                // Not a status byte: running status applies, and this byte is its first datum.
                if (runningStatus < 0)
                {
                    reason = TrackReason(IDS_SMF_BAD_EVENT, track);
                    return false;
                }
                in.Seek(in.Pos() - 1);
                status = static_cast<std::uint8_t>(runningStatus);
            }
            runningStatus = status;

            bool ok = true;
            if (status == 0xF0)
            {
                std::uint32_t count;
                ok = in.VarLen(count) && in.Skip(count);
            }
            else if (status == 0xFF)
            {
                std::uint8_t type;
                std::uint32_t count;
                ok = in.Byte(type) && in.VarLen(count);
                const std::size_t body = in.Pos();
                ok = ok && in.Skip(count);
                if (ok)
                {
                    // The synthesizer insists on the lengths of the meta events it knows.
                    const bool badLength =
                        (type == 0x2F && count != 0) || (type == 0x51 && count != 3) ||
                        (type == 0x54 && count != 5) || (type == 0x58 && count != 4) ||
                        (type == 0x59 && count != 2);
                    if (badLength)
                    {
                        reason = TrackReason(IDS_SMF_BAD_EVENT, track);
                        return false;
                    }
                    if (type == 0x2F)
                        endOfTrack = true;
                    if (type == 0x51)
                    {
                        const std::uint32_t tempo =
                            (data[body] << 16) | (data[body + 1] << 8) | data[body + 2];
                        tempi.push_back(Found{tick, track, tempo});
                    }
                }
            }
            else if ((status & 0xF0) == 0xF0)
            {
                // F1 to FE, F7 included, are not file events to the synthesizer.
                reason = TrackReason(IDS_SMF_BAD_EVENT, track);
                return false;
            }
            else
            {
                const int type = status & 0xF0;
                ok = in.Skip(type == 0xC0 || type == 0xD0 ? 1 : 2);
            }
            if (!ok)
            {
                reason = TrackReason(in.AtEnd() ? IDS_SMF_TRUNCATED : IDS_SMF_BAD_EVENT, track);
                return false;
            }
        }
        // What is left of the chunk after its end of track is skipped; a chunk that claims more
        // bytes than the file has is an early end.
        const std::size_t used = in.Pos() - start;
        if (used < length && !in.Skip(length - used))
        {
            reason = TrackReason(IDS_SMF_TRUNCATED, track);
            return false;
        }
        m_nLastTick = std::max(m_nLastTick, tick);
    }

    std::stable_sort(tempi.begin(), tempi.end(),
                     [](const Found& a, const Found& b) { return a.tick < b.tick; });
    for (const Found& change : tempi)
        m_tempi.push_back(TempoChange{change.tick, change.tempo});
    return true;
}

double CSongTiming::SecondsAt(std::uint32_t tick) const
{
    if (m_nDivision <= 0)
        return tick * kSecondsPerTickWithoutDivision;
    double micros = 0.0;
    std::uint32_t from = 0;
    std::uint32_t tempo = kDefaultMicrosPerQuarter;
    for (const TempoChange& change : m_tempi)
    {
        if (change.nTick >= tick)
            break;
        micros += static_cast<double>(change.nTick - from) * tempo / m_nDivision;
        from = change.nTick;
        tempo = change.nMicrosPerQuarter;
    }
    micros += static_cast<double>(tick - from) * tempo / m_nDivision;
    return micros / 1e6;
}
