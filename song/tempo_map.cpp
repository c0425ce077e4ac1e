#include "tempo_map.h"

#include <algorithm>
#include <limits>

namespace
{

constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;
// A header whose division is 0 would make every tick endless; the common 96 stands in.
constexpr std::uint32_t kFallbackTicksPerQuarter = 96;
constexpr std::int64_t kMaxMicros = std::numeric_limits<std::int64_t>::max();
constexpr std::uint64_t kMaxTicks = std::numeric_limits<std::uint64_t>::max();
// Beats shorter than a 128th note are damage, not music.
constexpr std::uint8_t kLargestDenominatorPower = 7;

// floor(count * num / den) without overflow for den below 2^32, saturating at kMaxTicks.
std::uint64_t ScaleDown(std::uint64_t count, std::uint64_t num, std::uint64_t den)
{
    const std::uint64_t q = count / den;
    const std::uint64_t r = count % den;
    if (num != 0 && q > kMaxTicks / num)
        return kMaxTicks;
    const std::uint64_t whole = q * num;
    const std::uint64_t part = r * num / den;
    return part > kMaxTicks - whole ? kMaxTicks : whole + part;
}

// ceil(count * num / den), the same way.
std::uint64_t ScaleUp(std::uint64_t count, std::uint64_t num, std::uint64_t den)
{
    const std::uint64_t q = count / den;
    const std::uint64_t r = count % den;
    if (num != 0 && q > kMaxTicks / num)
        return kMaxTicks;
    const std::uint64_t whole = q * num;
    const std::uint64_t part = (r * num + den - 1) / den;
    return part > kMaxTicks - whole ? kMaxTicks : whole + part;
}

template <typename Change> void SortKeepingLastOfEachTick(std::vector<Change>& changes)
{
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.nTick < b.nTick; });
    // Of changes at the same tick the last one given holds.
    std::vector<Change> kept;
    kept.reserve(changes.size());
    for (const Change& change : changes)
    {
        if (!kept.empty() && kept.back().nTick == change.nTick)
            kept.back() = change;
        else
            kept.push_back(change);
    }
    changes.swap(kept);
}

} // namespace

CTempoMap::CTempoMap(std::uint16_t division, std::vector<CTempoChange> tempi,
                     std::vector<CMeterChange> meters)
{
    Stretch first{0, 0, kDefaultMicrosPerQuarter, 1};
    if (division & 0x8000)
    {
        m_bSmpte = true;
        // The high byte is minus the frames per second; -29 stands for 29.97 drop-frame, that
        // is 30000/1001 frames per second. A frame of 0 ticks counts as one tick.
        const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const std::uint64_t ticksPerFrame = std::max(division & 0xFF, 1);
        if (fps == 29)
        {
            // A frame lasts 1001/30000 s, that is 100100/3 microseconds.
            first.nNum = 100100;
            first.nDen = 3 * ticksPerFrame;
        }
        else
        {
            first.nNum = 1000000;
            first.nDen = static_cast<std::uint64_t>(std::max(fps, 1)) * ticksPerFrame;
        }
        m_stretches.push_back(first);
        m_meters.push_back({0, 1, 4, 1, 1});
        return;
    }

    m_nTicksPerQuarter = division == 0 ? kFallbackTicksPerQuarter : division;
    first.nDen = m_nTicksPerQuarter;
    m_stretches.push_back(first);
    SortKeepingLastOfEachTick(tempi);
    for (const CTempoChange& change : tempi)
    {
        if (change.nTick == 0)
        {
            m_stretches.front().nNum = change.nMicrosPerQuarter;
            continue;
        }
        const std::int64_t micros = Advance(m_stretches.back(), change.nTick);
        m_stretches.push_back({change.nTick, micros, change.nMicrosPerQuarter, m_nTicksPerQuarter});
    }

    // A beat of a 2^-dd note lasts 4 * ticksPerQuarter / 2^dd ticks.
    const auto meterOf = [this](const CMeterChange& change, std::uint64_t tick, std::uint32_t bar)
    {
        const std::uint8_t power = std::min(change.nDenominatorPower, kLargestDenominatorPower);
        return Meter{tick, bar, std::max<std::uint32_t>(change.nNumerator, 1),
                     std::uint64_t{4} * m_nTicksPerQuarter, std::uint64_t{1} << power};
    };
    m_meters.push_back(meterOf(CMeterChange{}, 0, 1));
    SortKeepingLastOfEachTick(meters);
    for (const CMeterChange& change : meters)
    {
        const Meter& last = m_meters.back();
        if (change.nTick == 0)
        {
            m_meters.back() = meterOf(change, 0, 1);
            continue;
        }
        // Beats of the old meter that begin before the change; a bar cut short by the change
        // still counts as a bar, and the new meter starts a bar of its own.
        const std::uint64_t beats =
            ScaleUp(change.nTick - last.nTick, last.nBeatDen, last.nBeatNum);
        const std::uint64_t bars = (beats + last.nBeats - 1) / last.nBeats;
        const std::uint64_t bar = std::min<std::uint64_t>(
            last.nFirstBar + bars, std::numeric_limits<std::uint32_t>::max());
        m_meters.push_back(meterOf(change, change.nTick, static_cast<std::uint32_t>(bar)));
    }
}

std::int64_t CTempoMap::Advance(const Stretch& from, std::uint64_t tick)
{
    const std::uint64_t span = ScaleDown(tick - from.nTick, from.nNum, from.nDen);
    const auto start = static_cast<std::uint64_t>(from.nMicros);
    if (span > static_cast<std::uint64_t>(kMaxMicros) - start)
        return kMaxMicros;
    return static_cast<std::int64_t>(start + span);
}

std::int64_t CTempoMap::MicrosAt(std::uint64_t tick) const
{
    const auto after =
        std::upper_bound(m_stretches.begin() + 1, m_stretches.end(), tick,
                         [](std::uint64_t t, const Stretch& s) { return t < s.nTick; });
    return Advance(*(after - 1), tick);
}

std::uint64_t CTempoMap::TickAt(std::int64_t micros) const
{
    if (micros <= 0)
        return 0;
    // The last stretch that starts at or before `micros` (stretches of tempo 0 take no time).
    const auto after =
        std::upper_bound(m_stretches.begin() + 1, m_stretches.end(), micros,
                         [](std::int64_t t, const Stretch& s) { return t < s.nMicros; });
    const Stretch& stretch = *(after - 1);
    if (stretch.nNum == 0)
        return after == m_stretches.end() ? kMaxTicks : after->nTick;
    const std::uint64_t ticks =
        ScaleUp(static_cast<std::uint64_t>(micros - stretch.nMicros), stretch.nDen, stretch.nNum);
    return ticks > kMaxTicks - stretch.nTick ? kMaxTicks : stretch.nTick + ticks;
}

const CTempoMap::Meter& CTempoMap::MeterAt(std::uint64_t tick) const
{
    const auto after =
        std::upper_bound(m_meters.begin() + 1, m_meters.end(), tick,
                         [](std::uint64_t t, const Meter& m) { return t < m.nTick; });
    return *(after - 1);
}

CMeterBeat CTempoMap::BeatOf(const Meter& meter, std::uint64_t index) const
{
    CMeterBeat beat;
    const std::uint64_t offset = ScaleDown(index, meter.nBeatNum, meter.nBeatDen);
    beat.nTick = offset > kMaxTicks - meter.nTick ? kMaxTicks : meter.nTick + offset;
    beat.nMicros = MicrosAt(beat.nTick);
    const std::uint64_t bar = meter.nFirstBar + index / meter.nBeats;
    beat.nBar = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bar, std::numeric_limits<std::uint32_t>::max()));
    beat.nBeat = static_cast<std::uint32_t>(index % meter.nBeats) + 1;
    return beat;
}

CMeterBeat CTempoMap::BeatAt(std::uint64_t tick) const
{
    const Meter& meter = MeterAt(tick);
    // The last beat that starts at or before `tick`.
    const std::uint64_t index = ScaleDown(tick - meter.nTick, meter.nBeatDen, meter.nBeatNum);
    CMeterBeat beat = BeatOf(meter, index);
    if (beat.nTick > tick && index > 0)
        beat = BeatOf(meter, index - 1);
    return beat;
}

std::vector<CMeterBeat> CTempoMap::BeatsBetween(std::int64_t fromMicros, std::int64_t toMicros,
                                                std::size_t limit) const
{
    std::vector<CMeterBeat> beats;
    if (m_bSmpte || toMicros < fromMicros)
        return beats;
    const std::uint64_t fromTick = TickAt(fromMicros);
    const std::uint64_t toTick = TickAt(toMicros);
    auto meter = m_meters.begin() + (&MeterAt(fromTick) - m_meters.data());
    std::uint64_t index = ScaleDown(fromTick - meter->nTick, meter->nBeatDen, meter->nBeatNum);
    CMeterBeat beat = BeatOf(*meter, index);
    if (beat.nTick > fromTick && index > 0)
        beat = BeatOf(*meter, --index);
    while (beats.size() < limit && beat.nTick <= toTick)
    {
        beats.push_back(beat);
        if (beat.nTick == kMaxTicks)
            break;
        beat = BeatOf(*meter, ++index);
        const auto next = meter + 1;
        if (next != m_meters.end() && beat.nTick >= next->nTick)
        {
            meter = next;
            index = 0;
            beat = BeatOf(*meter, 0);
        }
    }
    return beats;
}
