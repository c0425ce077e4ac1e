#pragma once
// Which of the 24 major and minor keys a song is in, from its notes alone (key signatures in
// files are often missing or left at C major). Notes on the drum channel never count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "song_document.h"

// A key: its tonic as a pitch class (0 is C, 1 C#, ... 11 B) and its mode.
struct MusicalKey
{
    int nTonic = 0;
    bool bMinor = false;

    bool operator==(const MusicalKey& other) const
    {
        return nTonic == other.nTonic && bMinor == other.bMinor;
    }
    bool operator!=(const MusicalKey& other) const { return !(*this == other); }
};

// Below this confidence the estimate is a guess between close keys: worth checking by ear.
constexpr double kLowKeyConfidence = 0.25;

struct KeyEstimate
{
    MusicalKey key;         // C major when there was nothing to go on
    MusicalKey runnerUp;    // the next best key
    double dConfidence = 0; // 0 to 1: how far the key's score stands above the runner-up's
    std::size_t nNotes = 0; // pitched notes that counted; 0 for an empty or drums-only song

    bool IsLowConfidence() const { return dConfidence < kLowKeyConfidence; }
};

using PitchClassWeights = std::array<double, 12>;

// Published key profiles: the weight of each degree above the tonic, for major and minor.
struct KeyProfile
{
    PitchClassWeights major;
    PitchClassWeights minor;
};
// Krumhansl and Kessler's probe-tone ratings (1982).
extern const KeyProfile kKrumhanslKesslerProfile;
// Temperley's revision of them (1999), which rates the leading tone and the minor's raised
// seventh higher and the chromatic degrees lower.
extern const KeyProfile kTemperleyProfile;

// What the estimate rests on, gathered in one walk of the song.
struct KeyEvidence
{
    PitchClassWeights all{};  // how long each pitch class sounds, in quarter notes
    PitchClassWeights bass{}; // the same for the lowest fifth of the sounding time, by pitch
    int nFirstBass = -1;      // pitch class of the lowest note of the first beat; -1: none
    int nFinalBass = -1;      // pitch class of the lowest note of the last beat; -1: none
    std::size_t nNotes = 0;   // note-ons with a velocity above 0 outside the drum channel
};

// Walks `size` bytes of a song laid out as the walker expects, announcing `trackCount` tracks.
KeyEvidence GatherKeyEvidence(const std::uint8_t* data, std::size_t size, int trackCount);

// The key whose profile best fits the whole song and its bass, with a bonus for the key whose
// tonic is both the first and the final bass note.
KeyEstimate EstimateKey(const KeyEvidence& evidence);
KeyEstimate EstimateKey(const std::uint8_t* data, std::size_t size, int trackCount);
// The song as read; C major with no notes while no song is loaded.
KeyEstimate EstimateKey(const CTarvel1Doc& doc);

// The classic method alone: the key whose profile correlates best with how long each pitch
// class sounds in the whole song.
KeyEstimate CorrelateWithProfile(const KeyEvidence& evidence, const KeyProfile& profile);

// "D minor", "C# major": the tonic as the key box writes it, then the mode.
std::string KeyText(const MusicalKey& key);
