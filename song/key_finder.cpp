#include "key_finder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "conversion.h"
#include "piano_roll_model.h"

const KeyProfile kKrumhanslKesslerProfile = {
    {6.35, 2.23, 3.48, 2.33, 4.38, 4.09, 2.52, 5.19, 2.39, 3.66, 2.29, 2.88},
    {6.33, 2.68, 3.52, 5.38, 2.60, 3.53, 2.54, 4.75, 3.98, 2.69, 3.34, 3.17},
};

const KeyProfile kTemperleyProfile = {
    {5.0, 2.0, 3.5, 2.0, 4.5, 4.0, 2.0, 4.5, 2.0, 3.5, 1.5, 4.0},
    {5.0, 2.0, 3.5, 4.5, 2.0, 4.0, 2.0, 4.5, 3.5, 2.0, 1.5, 4.0},
};

namespace
{

// A note left sounding (a lost note-off, an organ pad) counts for at most one bar of 4/4, and a
// staccato note or one ended at once for at least a sixty-fourth: every note says something.
constexpr double kLongestNote = 4.0;
constexpr double kShortestNote = 1.0 / 16;
// The first and the final bass: the lowest notes of the first and the last beat.
constexpr double kBeatQuarters = 1.0;
// The bass: the lowest notes that together sound for this share of the song's note time.
constexpr double kBassShare = 0.2;
// How much each piece of evidence weighs beside the whole song's correlation (at most 1). A
// song that begins and ends on the same bass note is nearly always on its tonic; the final bass
// alone is not (loops, fades and demos stop anywhere), nor is the first (a pick-up).
constexpr double kBassWeight = 0.5;
constexpr double kFramedBonus = 0.4;
// A score lead of this much over the runner-up is full confidence.
constexpr double kConfidentLead = 0.4;

constexpr int kPitches = 128;
constexpr int kSlots = 16 * kPitches;
constexpr std::uint64_t kClosed = ~std::uint64_t{0};

// Ticks per quarter note from the header's division. SMPTE time (frames per second, then ticks
// per frame) has no quarter note: half a second, the common 120 per minute, stands in.
double TicksPerQuarter(const std::uint8_t* data, std::size_t size)
{
    if (size < 14)
        return 96;
    const std::uint8_t high = data[12];
    const std::uint8_t low = data[13];
    if (high & 0x80)
        return -static_cast<std::int8_t>(high) * double(low == 0 ? 1 : low) / 2;
    const int division = (high << 8) | low;
    return division == 0 ? 96 : division;
}

// Calls `onNote(pitch, startQuarters, endQuarters)` for every sounding note outside the drum
// channel, from its note-on to the note-off or note-on that ends it or its track's end, held
// for at most kLongestNote. Returns the number of notes.
template <typename OnNote>
std::size_t ForEachPitchedNote(const std::uint8_t* data, std::size_t size, int trackCount,
                               OnNote onNote)
{
    const double ticksPerQuarter = TicksPerQuarter(data, size);
    std::vector<std::uint64_t> starts(kSlots, kClosed);
    std::vector<int> open; // slots with a note since the track began (some may have ended)
    std::vector<bool> listed(kSlots, false);
    std::size_t count = 0;
    const auto close = [&](int slot, std::uint64_t tick)
    {
        const double start = double(starts[slot]) / ticksPerQuarter;
        const double length = double(tick - starts[slot]) / ticksPerQuarter;
        starts[slot] = kClosed;
        onNote(slot % kPitches, start, start + std::clamp(length, kShortestNote, kLongestNote));
    };
    ForEachNoteEvent(
        data, size, trackCount,
        [&](std::size_t notePos, std::uint64_t tick, std::uint8_t status, std::uint8_t velocity)
        {
            const int channel = status & 0x0F;
            const std::uint8_t pitch = data[notePos];
            // A data byte above 127 belongs to a damaged file: no pitch at all.
            if (channel == kDrumChannel || pitch >= kPitches)
                return;
            const int slot = channel * kPitches + pitch;
            if (starts[slot] != kClosed)
                close(slot, tick);
            // A note-on with velocity 0 is a note-off.
            if ((status >> 4) == 0x9 && velocity > 0)
            {
                starts[slot] = tick;
                if (!listed[slot])
                {
                    listed[slot] = true;
                    open.push_back(slot);
                }
                ++count;
            }
        },
        [&](std::uint64_t tick)
        {
            for (int slot : open)
            {
                if (starts[slot] != kClosed)
                    close(slot, std::max(tick, starts[slot]));
                listed[slot] = false;
            }
            open.clear();
        });
    // The walk stopped inside a damaged song: what was sounding ends where it stood.
    for (int slot : open)
        if (starts[slot] != kClosed)
            close(slot, starts[slot]);
    return count;
}

// Pearson's correlation of `weights` with `profile` turned to `tonic`; 0 when either is flat.
double Correlation(const PitchClassWeights& weights, const PitchClassWeights& profile, int tonic)
{
    double meanW = 0, meanP = 0;
    for (int i = 0; i < 12; ++i)
    {
        meanW += weights[i];
        meanP += profile[i];
    }
    meanW /= 12;
    meanP /= 12;
    double cross = 0, varW = 0, varP = 0;
    for (int pc = 0; pc < 12; ++pc)
    {
        const double w = weights[pc] - meanW;
        const double p = profile[(pc - tonic + 12) % 12] - meanP;
        cross += w * p;
        varW += w * w;
        varP += p * p;
    }
    return varW > 0 && varP > 0 ? cross / std::sqrt(varW * varP) : 0;
}

// Key k (0..23): tonic k % 12, minor from 12 on.
MusicalKey KeyOfIndex(int k)
{
    return MusicalKey{k % 12, k >= 12};
}

KeyEstimate BestOf(const std::array<double, 24>& scores, std::size_t notes)
{
    KeyEstimate estimate;
    estimate.nNotes = notes;
    if (notes == 0)
        return estimate;
    int best = 0;
    for (int k = 1; k < 24; ++k)
        if (scores[k] > scores[best])
            best = k;
    int second = best == 0 ? 1 : 0;
    for (int k = 0; k < 24; ++k)
        if (k != best && scores[k] > scores[second])
            second = k;
    estimate.key = KeyOfIndex(best);
    estimate.runnerUp = KeyOfIndex(second);
    estimate.dConfidence = std::clamp((scores[best] - scores[second]) / kConfidentLead, 0.0, 1.0);
    return estimate;
}

} // namespace

KeyEvidence GatherKeyEvidence(const std::uint8_t* data, std::size_t size, int trackCount)
{
    KeyEvidence evidence;
    // By pitch: how long it sounds, its earliest start and its latest end. The song's first and
    // last moment are known only once the whole song was walked (a format 1 song's tracks come
    // one after the other), and these are all the bass notes of those moments need.
    std::array<double, kPitches> byPitch{};
    std::array<double, kPitches> firstStart;
    std::array<double, kPitches> lastStop;
    firstStart.fill(std::numeric_limits<double>::infinity());
    lastStop.fill(-std::numeric_limits<double>::infinity());
    evidence.nNotes = ForEachPitchedNote(data, size, trackCount,
                                         [&](int pitch, double start, double stop)
                                         {
                                             byPitch[pitch] += stop - start;
                                             firstStart[pitch] = std::min(firstStart[pitch], start);
                                             lastStop[pitch] = std::max(lastStop[pitch], stop);
                                         });
    if (evidence.nNotes == 0)
        return evidence;

    double total = 0;
    for (int pitch = 0; pitch < kPitches; ++pitch)
    {
        evidence.all[pitch % 12] += byPitch[pitch];
        total += byPitch[pitch];
    }
    // From the lowest pitch up until the bass's share is reached; the pitch that crosses it
    // counts in part.
    double left = total * kBassShare;
    for (int pitch = 0; pitch < kPitches && left > 0; ++pitch)
    {
        const double taken = std::min(left, byPitch[pitch]);
        evidence.bass[pitch % 12] += taken;
        left -= taken;
    }

    const double first = *std::min_element(firstStart.begin(), firstStart.end());
    const double end = *std::max_element(lastStop.begin(), lastStop.end());
    for (int pitch = kPitches - 1; pitch >= 0; --pitch)
    {
        if (firstStart[pitch] < first + kBeatQuarters)
            evidence.nFirstBass = pitch % 12;
        if (lastStop[pitch] > end - kBeatQuarters)
            evidence.nFinalBass = pitch % 12;
    }
    return evidence;
}

KeyEstimate EstimateKey(const KeyEvidence& evidence)
{
    std::array<double, 24> scores{};
    for (int k = 0; k < 24; ++k)
    {
        const MusicalKey key = KeyOfIndex(k);
        const PitchClassWeights& profile =
            key.bMinor ? kTemperleyProfile.minor : kTemperleyProfile.major;
        const bool framed = evidence.nFirstBass == key.nTonic && evidence.nFinalBass == key.nTonic;
        scores[k] = Correlation(evidence.all, profile, key.nTonic) +
                    kBassWeight * Correlation(evidence.bass, profile, key.nTonic) +
                    (framed ? kFramedBonus : 0);
    }
    return BestOf(scores, evidence.nNotes);
}

KeyEstimate EstimateKey(const std::uint8_t* data, std::size_t size, int trackCount)
{
    return EstimateKey(GatherKeyEvidence(data, size, trackCount));
}

KeyEstimate EstimateKey(const CTarvel1Doc& doc)
{
    if (doc.m_bLoaded != 1)
        return KeyEstimate();
    return EstimateKey(doc.m_original.data(), static_cast<std::size_t>(doc.m_nLastIndex) + 1,
                       doc.m_nTracks);
}

KeyEstimate CorrelateWithProfile(const KeyEvidence& evidence, const KeyProfile& profile)
{
    std::array<double, 24> scores{};
    for (int k = 0; k < 24; ++k)
    {
        const MusicalKey key = KeyOfIndex(k);
        scores[k] =
            Correlation(evidence.all, key.bMinor ? profile.minor : profile.major, key.nTonic);
    }
    return BestOf(scores, evidence.nNotes);
}

std::string KeyText(const MusicalKey& key)
{
    return KeyNameFromTonic(key.nTonic) + (key.bMinor ? " minor" : " major");
}
