#include "midi_sequence.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "string_table.h"

namespace
{

constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaTimeSignature = 0x58;

std::uint32_t ReadBe32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// One event of a track as the file has it, before packets are joined and ticks become times.
struct CRawEvent
{
    enum class Type : std::uint8_t
    {
        Channel,
        SysEx,  // F0: the bytes that follow F0 in the message
        Escape, // F7: an escape, or a continuation of an open sysex packet
        Tempo,
        Meter, // a time signature: nothing to send, but the map keeps it
        Meta,  // any other meta event: nothing to send
        End,   // end of track, or the end of a track chunk that has no end-of-track event
    };
    Type type = Type::Meta;
    std::uint64_t nTick = 0; // from the start of the track
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t nTempo = 0; // Tempo: microseconds per quarter; Meter: numerator, power of two
    std::size_t nData = 0;    // SysEx and Escape: where the payload starts in the file
    std::uint32_t nSize = 0;  // SysEx and Escape: payload length
};

enum class Step
{
    Event,
    End,
    Truncated,
    Bad,
};

// Walks one track chunk event by event. Every read is checked against the chunk's last byte (or
// the file's, for a chunk whose length runs past it), so a lying length or delta ends the walk
// with Truncated instead of reading past the song.
class CTrackCursor
{
public:
    CTrackCursor(const std::uint8_t* data, std::size_t begin, std::size_t end, bool openEnded)
        : m_pData(data), m_nPos(begin), m_nEnd(end), m_bOpenEnded(openEnded)
    {
    }

    Step Next(CRawEvent& ev)
    {
        if (m_bEnded)
            return Step::End;
        if (m_nPos == m_nEnd && !m_bOpenEnded)
        {
            // Files seen in the wild end a track chunk without an end-of-track event. The chunk's
            // length is inside the file and its last event is whole, so the track ends here.
            m_bEnded = true;
            ev.type = CRawEvent::Type::End;
            ev.nTick = m_nTick;
            return Step::End;
        }
        std::uint32_t delta = 0;
        Step step = ReadVarLen(delta);
        if (step != Step::Event)
            return step;
        m_nTick += delta;
        ev.nTick = m_nTick;
        if (m_nPos >= m_nEnd)
            return Step::Truncated;

        std::uint8_t status = m_pData[m_nPos];
        if (status < 0x80)
        {
            // Not a status byte: running status applies and this is the first data byte.
            if (m_nRunningStatus == 0)
                return Step::Bad;
            status = m_nRunningStatus;
        }
        else
        {
            ++m_nPos;
        }

        if (status < 0xF0)
        {
            m_nRunningStatus = status;
            ev.type = CRawEvent::Type::Channel;
            ev.status = status;
            const bool oneByte = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
            if ((step = ReadData(ev.data1)) != Step::Event)
                return step;
            ev.data2 = 0;
            if (!oneByte && (step = ReadData(ev.data2)) != Step::Event)
                return step;
            return Step::Event;
        }

        // Sysex and meta events cancel running status: a data byte right after them has no
        // status to lean on and the event cannot be read.
        m_nRunningStatus = 0;
        if (status == 0xF0 || status == 0xF7)
        {
            std::uint32_t length = 0;
            if ((step = ReadLength(length)) != Step::Event)
                return step;
            ev.type = status == 0xF0 ? CRawEvent::Type::SysEx : CRawEvent::Type::Escape;
            ev.nData = m_nPos;
            ev.nSize = length;
            m_nPos += length;
            return Step::Event;
        }
        if (status != 0xFF)
            return Step::Bad; // system common and real-time messages have no place in a file

        if (m_nPos >= m_nEnd)
            return Step::Truncated;
        const std::uint8_t type = m_pData[m_nPos++];
        std::uint32_t length = 0;
        if ((step = ReadLength(length)) != Step::Event)
            return step;
        const std::size_t payload = m_nPos;
        m_nPos += length;
        if (type == kMetaEndOfTrack)
        {
            m_bEnded = true;
            ev.type = CRawEvent::Type::End;
            return Step::End;
        }
        if (type == kMetaTempo && length >= 3)
        {
            ev.type = CRawEvent::Type::Tempo;
            ev.nTempo = (std::uint32_t{m_pData[payload]} << 16) |
                        (std::uint32_t{m_pData[payload + 1]} << 8) | m_pData[payload + 2];
            return Step::Event;
        }
        if (type == kMetaTimeSignature && length >= 2)
        {
            ev.type = CRawEvent::Type::Meter;
            ev.nTempo = (std::uint32_t{m_pData[payload]} << 8) | m_pData[payload + 1];
            return Step::Event;
        }
        ev.type = CRawEvent::Type::Meta;
        return Step::Event;
    }

    std::size_t Position() const { return m_nPos; }
    std::uint64_t Tick() const { return m_nTick; }

    // The next `count` F7 events continue a sysex packet already joined into one message.
    void ExpectContinuations(std::uint32_t count) { m_nContinuations = count; }
    // Whether this F7 event is one of them, counting it off.
    bool TakeContinuation()
    {
        if (m_nContinuations == 0)
            return false;
        --m_nContinuations;
        return true;
    }

private:
    // At most four bytes, as the format allows; a longer one is damage, not a bigger number.
    Step ReadVarLen(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i)
        {
            if (m_nPos >= m_nEnd)
                return Step::Truncated;
            const std::uint8_t b = m_pData[m_nPos++];
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return Step::Event;
        }
        return Step::Bad;
    }

    Step ReadLength(std::uint32_t& length)
    {
        const Step step = ReadVarLen(length);
        if (step != Step::Event)
            return step;
        return length <= m_nEnd - m_nPos ? Step::Event : Step::Truncated;
    }

    Step ReadData(std::uint8_t& value)
    {
        if (m_nPos >= m_nEnd)
            return Step::Truncated;
        value = m_pData[m_nPos++];
        return value < 0x80 ? Step::Event : Step::Bad;
    }

    const std::uint8_t* m_pData;
    std::size_t m_nPos;
    std::size_t m_nEnd;
    bool m_bOpenEnded;
    bool m_bEnded = false;
    std::uint64_t m_nTick = 0;
    std::uint8_t m_nRunningStatus = 0; // never crosses tracks: each track has its own cursor
    std::uint32_t m_nContinuations = 0;
};

bool EndsWithF7(const std::uint8_t* data, const CRawEvent& ev)
{
    return ev.nSize > 0 && data[ev.nData + ev.nSize - 1] == 0xF7;
}

// A sysex sent in packets: F0 with its first bytes and no closing F7, then F7 events carrying the
// rest until one ends in F7. Events of other kinds may stand between the packets. The packets are
// found ahead of the cursor so that the whole message goes out at the time of its F0.
struct CPacketPlan
{
    std::uint32_t nContinuations = 0;
    std::uint64_t nBytes = 0; // the joined message: F0, every payload, and F7 if none closed it
    bool bClosed = false;
};

CPacketPlan PlanPacket(const std::uint8_t* data, const CTrackCursor& cursor, const CRawEvent& first,
                       std::vector<std::pair<std::size_t, std::uint32_t>>* parts = nullptr)
{
    CPacketPlan plan;
    plan.nBytes = 1 + std::uint64_t{first.nSize};
    CTrackCursor ahead = cursor;
    CRawEvent ev;
    while (ahead.Next(ev) == Step::Event)
    {
        if (ev.type == CRawEvent::Type::SysEx)
            break; // a new message starts: the open one never got its end
        if (ev.type != CRawEvent::Type::Escape)
            continue;
        ++plan.nContinuations;
        plan.nBytes += ev.nSize;
        if (parts)
            parts->emplace_back(ev.nData, ev.nSize);
        if (EndsWithF7(data, ev))
        {
            plan.bClosed = true;
            break;
        }
    }
    // A message whose packets stop coming (the track ends, or a new F0 comes first) is closed
    // here, so that a MIDI port is never left waiting in the middle of a sysex.
    if (!plan.bClosed)
        ++plan.nBytes;
    return plan;
}

// The tracks waiting to give their next event, smallest (tick, track) on top: a binary heap
// whose top can be looked past, so that a track keeps giving events without touching the heap
// for as long as they come first.
class CMergeQueue
{
public:
    using Entry = std::pair<std::uint64_t, std::uint32_t>; // tick, track

    explicit CMergeQueue(std::size_t tracks) { m_heap.reserve(tracks); }

    bool Empty() const { return m_heap.empty(); }
    std::uint32_t TopTrack() const { return m_heap[0].second; }

    void Push(const Entry& entry)
    {
        std::size_t i = m_heap.size();
        m_heap.push_back(entry);
        while (i > 0 && entry < m_heap[(i - 1) / 2])
        {
            m_heap[i] = m_heap[(i - 1) / 2];
            i = (i - 1) / 2;
        }
        m_heap[i] = entry;
    }

    // Whether the top track's next entry still comes before every other track.
    bool StaysFirst(const Entry& next) const
    {
        return (m_heap.size() < 2 || next < m_heap[1]) && (m_heap.size() < 3 || next < m_heap[2]);
    }

    void ReplaceTop(const Entry& entry)
    {
        const std::size_t n = m_heap.size();
        std::size_t i = 0;
        for (;;)
        {
            std::size_t child = 2 * i + 1;
            if (child >= n)
                break;
            if (child + 1 < n && m_heap[child + 1] < m_heap[child])
                ++child;
            if (!(m_heap[child] < entry))
                break;
            m_heap[i] = m_heap[child];
            i = child;
        }
        m_heap[i] = entry;
    }

    void PopTop()
    {
        const Entry last = m_heap.back();
        m_heap.pop_back();
        if (!m_heap.empty())
            ReplaceTop(last);
    }

private:
    std::vector<Entry> m_heap;
};

struct CTrackSpan
{
    std::size_t nBegin = 0;
    std::size_t nEnd = 0;
    bool bOpenEnded = false;
    std::uint64_t nTickBase = 0; // format 2: where the pattern starts in the song
};

// Turns raw events into the sequence's events. The same steps run twice: once to check every
// track, count what it yields and gather the song's tempo map, so that nothing is allocated for
// a file that is refused and the lists are allocated once at their final size; then to fill
// them.
class CEventSink
{
public:
    CEventSink(const std::uint8_t* data, std::vector<CMidiEvent>* events,
               std::vector<std::uint8_t>* bytes, const CTempoMap* tempo)
        : m_pData(data), m_pEvents(events), m_pBytes(bytes), m_pTempo(tempo)
    {
    }

    std::vector<CTempoChange>& Tempi() { return m_tempi; }
    std::vector<CMeterChange>& Meters() { return m_meters; }

    void Take(CTrackCursor& cursor, const CRawEvent& ev, std::uint64_t tickBase)
    {
        const std::uint64_t tick = tickBase + ev.nTick;
        switch (ev.type)
        {
        case CRawEvent::Type::Channel:
            if (Counting())
            {
                ++m_nEvents;
                return;
            }
            {
                CMidiEvent& out = m_pEvents->emplace_back();
                out.nMicros = MicrosAt(tick);
                out.nTick = tick;
                out.kind = CMidiEvent::Kind::Channel;
                out.status = ev.status;
                out.data1 = ev.data1;
                out.data2 = ev.data2;
            }
            return;
        case CRawEvent::Type::Tempo:
            if (Counting())
                m_tempi.push_back({tick, ev.nTempo});
            return;
        case CRawEvent::Type::Meter:
            if (Counting())
                m_meters.push_back({tick, static_cast<std::uint8_t>(ev.nTempo >> 8),
                                    static_cast<std::uint8_t>(ev.nTempo & 0xFF)});
            return;
        case CRawEvent::Type::SysEx:
            TakeSysEx(cursor, ev, tick);
            return;
        case CRawEvent::Type::Escape:
            if (cursor.TakeContinuation())
                return; // already part of the message its F0 began
            if (ev.nSize == 0)
                return;
            if (Counting())
            {
                ++m_nEvents;
                m_nBytes += ev.nSize;
                return;
            }
            Push(CMidiEvent::Kind::Escape, tick, m_pBytes->size(), ev.nSize);
            m_pBytes->insert(m_pBytes->end(), m_pData + ev.nData, m_pData + ev.nData + ev.nSize);
            return;
        case CRawEvent::Type::Meta:
        case CRawEvent::Type::End:
            return;
        }
    }

    std::uint64_t Events() const { return m_nEvents; }
    std::uint64_t Bytes() const { return m_nBytes; }

private:
    bool Counting() const { return m_pEvents == nullptr; }

    // Events come in tick order, many at the same tick: the last answer is kept.
    std::int64_t MicrosAt(std::uint64_t tick)
    {
        if (tick != m_nLastTick)
        {
            m_nLastTick = tick;
            m_nLastMicros = m_pTempo->MicrosAt(tick);
        }
        return m_nLastMicros;
    }

    void TakeSysEx(CTrackCursor& cursor, const CRawEvent& ev, std::uint64_t tick)
    {
        if (EndsWithF7(m_pData, ev))
        {
            if (Counting())
            {
                ++m_nEvents;
                m_nBytes += 1 + std::uint64_t{ev.nSize};
                return;
            }
            Push(CMidiEvent::Kind::SysEx, tick, m_pBytes->size(), 1 + ev.nSize);
            m_pBytes->push_back(0xF0);
            m_pBytes->insert(m_pBytes->end(), m_pData + ev.nData, m_pData + ev.nData + ev.nSize);
            return;
        }
        m_parts.clear();
        const CPacketPlan plan = PlanPacket(m_pData, cursor, ev, Counting() ? nullptr : &m_parts);
        cursor.ExpectContinuations(plan.nContinuations);
        if (Counting())
        {
            ++m_nEvents;
            m_nBytes += plan.nBytes;
            return;
        }
        Push(CMidiEvent::Kind::SysEx, tick, m_pBytes->size(),
             static_cast<std::uint32_t>(plan.nBytes));
        m_pBytes->push_back(0xF0);
        m_pBytes->insert(m_pBytes->end(), m_pData + ev.nData, m_pData + ev.nData + ev.nSize);
        for (const auto& [offset, size] : m_parts)
            m_pBytes->insert(m_pBytes->end(), m_pData + offset, m_pData + offset + size);
        if (!plan.bClosed)
            m_pBytes->push_back(0xF7);
    }

    void Push(CMidiEvent::Kind kind, std::uint64_t tick, std::size_t offset, std::uint32_t length)
    {
        CMidiEvent& out = m_pEvents->emplace_back();
        out.nMicros = MicrosAt(tick);
        out.nTick = tick;
        out.kind = kind;
        out.nOffset = static_cast<std::uint32_t>(offset);
        out.nLength = length;
    }

    const std::uint8_t* m_pData;
    std::vector<CMidiEvent>* m_pEvents; // null while counting
    std::vector<std::uint8_t>* m_pBytes;
    const CTempoMap* m_pTempo;
    std::vector<CTempoChange> m_tempi; // gathered while counting
    std::vector<CMeterChange> m_meters;
    std::uint64_t m_nLastTick = 0;
    std::int64_t m_nLastMicros = 0;
    std::uint64_t m_nEvents = 0;
    std::uint64_t m_nBytes = 0;
    std::vector<std::pair<std::size_t, std::uint32_t>> m_parts;
};

bool IsChunkName(const std::uint8_t* p)
{
    return std::all_of(p, p + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

bool Refuse(std::string& reason, UINT id, int number = -1)
{
    reason = number < 0 ? LoadResString(id) : FormatResString(id, std::to_string(number));
    return false;
}

} // namespace

void CMidiSequence::Clear()
{
    // Swaps rather than clear(): a refused file must not keep the previous song's memory.
    std::vector<CMidiEvent>().swap(m_events);
    std::vector<std::uint8_t>().swap(m_bytes);
    m_nFormat = 0;
    m_nTracks = 0;
    m_nDivision = 0;
    m_nTotalMicros = 0;
    m_nTotalTicks = 0;
    m_tempo = CTempoMap();
}

bool CMidiSequence::Read(const std::uint8_t* data, std::size_t size, std::string& reason)
{
    Clear();
    if (size < 4 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd')
        return Refuse(reason, IDS_NOT_MIDI_FILE);
    // The header chunk may be longer than its six bytes; what follows them is skipped.
    if (size < 14 || ReadBe32(data + 4) < 6 || ReadBe32(data + 4) > size - 8)
        return Refuse(reason, IDS_SMF_SHORT_HEADER);
    const int format = (data[8] << 8) | data[9];
    const int tracks = (data[10] << 8) | data[11];
    const auto division = static_cast<std::uint16_t>((data[12] << 8) | data[13]);
    if (format > 2)
        return Refuse(reason, IDS_SMF_BAD_FORMAT, format);
    if (division == 0 || ((division & 0x8000) && (division & 0xFF) == 0))
        return Refuse(reason, IDS_SMF_ZERO_DIVISION);
    if (tracks == 0)
        return Refuse(reason, IDS_SMF_NO_TRACKS);

    // Find every announced track and check it through, counting what it holds. Whatever follows
    // the last announced track is not read: files seen in the wild carry trailing bytes there.
    std::vector<CTrackSpan> spans;
    spans.reserve(static_cast<std::size_t>(tracks));
    CEventSink counter(data, nullptr, nullptr, nullptr);
    std::size_t pos = 8 + std::size_t{ReadBe32(data + 4)};
    // Format 2: patterns play one after the other, each from its own start; the tempo a pattern
    // leaves stays for the next until that one sets its own.
    std::uint64_t patternStart = 0;
    for (int number = 1; number <= tracks; ++number)
    {
        std::uint32_t length = 0;
        for (;;)
        {
            if (size - pos < 8)
                return Refuse(reason, IDS_SMF_TRUNCATED, number);
            if (!IsChunkName(data + pos))
                return Refuse(reason, IDS_SMF_BAD_CHUNK, number);
            length = ReadBe32(data + pos + 4);
            if (std::equal(data + pos, data + pos + 4, "MTrk"))
                break;
            // A chunk of a kind this reader does not know: skipped whole, as the format asks.
            if (length > size - pos - 8)
                return Refuse(reason, IDS_SMF_TRUNCATED, number);
            pos += 8 + std::size_t{length};
        }
        CTrackSpan span;
        span.nBegin = pos + 8;
        // Files seen in the wild announce a track longer than the file. Such a track is read up
        // to its end-of-track event and the next chunk is looked for right after it; if the
        // event never comes, the file was cut short.
        span.bOpenEnded = length > size - span.nBegin;
        span.nEnd = span.bOpenEnded ? size : span.nBegin + length;
        span.nTickBase = format == 2 ? patternStart : 0;
        CTrackCursor cursor(data, span.nBegin, span.nEnd, span.bOpenEnded);
        CRawEvent ev;
        for (;;)
        {
            const Step step = cursor.Next(ev);
            if (step == Step::End)
                break;
            if (step == Step::Truncated)
                return Refuse(reason, IDS_SMF_TRUNCATED, number);
            if (step == Step::Bad)
                return Refuse(reason, IDS_SMF_BAD_EVENT, number);
            counter.Take(cursor, ev, span.nTickBase);
        }
        if (format == 2)
            patternStart += cursor.Tick();
        // Events address their bytes with 32 bits.
        if (counter.Bytes() > std::numeric_limits<std::uint32_t>::max())
            return Refuse(reason, IDS_SMF_BAD_EVENT, number);
        pos = span.bOpenEnded ? cursor.Position() : span.nEnd;
        spans.push_back(span);
    }

    m_events.reserve(counter.Events());
    m_bytes.reserve(counter.Bytes());
    CTempoMap tempo(division, std::move(counter.Tempi()), std::move(counter.Meters()));
    CEventSink sink(data, &m_events, &m_bytes, &tempo);
    std::uint64_t endTick = 0;
    if (format == 2)
    {
        for (const CTrackSpan& span : spans)
        {
            CTrackCursor cursor(data, span.nBegin, span.nEnd, span.bOpenEnded);
            CRawEvent ev;
            while (cursor.Next(ev) == Step::Event)
                sink.Take(cursor, ev, span.nTickBase);
        }
        endTick = patternStart;
    }
    else
    {
        // Tracks merged by tick; at the same tick the lower track goes first, and within a track
        // the file's order holds since each track has one pending event at a time.
        std::vector<CTrackCursor> cursors;
        std::vector<CRawEvent> pending(spans.size());
        cursors.reserve(spans.size());
        CMergeQueue queue(spans.size());
        for (std::size_t i = 0; i < spans.size(); ++i)
        {
            cursors.emplace_back(data, spans[i].nBegin, spans[i].nEnd, spans[i].bOpenEnded);
            if (cursors[i].Next(pending[i]) == Step::Event)
                queue.Push({pending[i].nTick, static_cast<std::uint32_t>(i)});
            else
                endTick = std::max(endTick, cursors[i].Tick());
        }
        while (!queue.Empty())
        {
            const std::uint32_t i = queue.TopTrack();
            for (;;)
            {
                sink.Take(cursors[i], pending[i], 0);
                if (cursors[i].Next(pending[i]) != Step::Event)
                {
                    endTick = std::max(endTick, cursors[i].Tick());
                    queue.PopTop();
                    break;
                }
                const CMergeQueue::Entry next{pending[i].nTick, i};
                if (!queue.StaysFirst(next))
                {
                    queue.ReplaceTop(next);
                    break;
                }
            }
        }
    }

    m_nFormat = format;
    m_nTracks = tracks;
    m_nDivision = division;
    m_nTotalTicks = endTick;
    m_nTotalMicros = tempo.MicrosAt(endTick);
    m_tempo = std::move(tempo);
    return true;
}

std::size_t CMidiSequence::IndexAt(std::int64_t micros) const
{
    const auto it =
        std::lower_bound(m_events.begin(), m_events.end(), micros,
                         [](const CMidiEvent& ev, std::int64_t t) { return ev.nMicros < t; });
    return static_cast<std::size_t>(it - m_events.begin());
}

std::array<CChannelState, 16> CMidiSequence::StateAt(std::int64_t micros) const
{
    return StateAfter(IndexAt(micros));
}

std::array<CChannelState, 16> CMidiSequence::StateAfter(std::size_t count) const
{
    std::array<CChannelState, 16> state;
    // Velocity of each held note, 0 when not held: a note struck twice is held once.
    std::array<std::array<std::uint8_t, 128>, 16> held{};
    const std::size_t end = std::min(count, m_events.size());
    for (std::size_t i = 0; i < end; ++i)
    {
        const CMidiEvent& ev = m_events[i];
        if (ev.kind != CMidiEvent::Kind::Channel)
            continue;
        const int channel = ev.status & 0x0F;
        CChannelState& ch = state[channel];
        switch (ev.status & 0xF0)
        {
        case 0x80:
            held[channel][ev.data1] = 0;
            break;
        case 0x90:
            held[channel][ev.data1] = ev.data2; // velocity 0 is a note-off
            break;
        case 0xB0:
            if (ev.data1 == 120 || ev.data1 >= 123)
            {
                // All sound off, all notes off, and the mode messages, which imply all notes
                // off: actions, not values to send again.
                held[channel].fill(0);
            }
            else if (ev.data1 == 121)
            {
                // Reset all controllers puts back what the MIDI recommended practice lists.
                ch.controllers[1] = 0;
                ch.controllers[11] = 127;
                for (int c = 64; c <= 67; ++c)
                    ch.controllers[c] = 0;
                for (int c = 98; c <= 101; ++c)
                    ch.controllers[c] = 127;
                ch.nPitchBend = 8192;
                ch.nChannelPressure = 0;
            }
            else if (ev.data1 < 120)
            {
                ch.controllers[ev.data1] = ev.data2;
            }
            break; // local control (122) is the instrument's business, not the song's state
        case 0xC0:
            ch.nProgram = ev.data1;
            break;
        case 0xD0:
            ch.nChannelPressure = ev.data1;
            break;
        case 0xE0:
            ch.nPitchBend = ev.data1 | (ev.data2 << 7);
            break;
        default:
            break; // polyphonic pressure is not chased
        }
    }
    for (int channel = 0; channel < 16; ++channel)
    {
        for (int note = 0; note < 128; ++note)
        {
            if (held[channel][note] != 0)
                state[channel].heldNotes.emplace_back(static_cast<std::uint8_t>(note),
                                                      held[channel][note]);
        }
    }
    return state;
}
