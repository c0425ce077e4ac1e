#include "key_finder.h"

#include <gtest/gtest.h>

#include "conversion.h"
#include "key_songs.h"
#include "piano_roll_model.h"
#include "test_files.h"

namespace
{

KeyEstimate Estimate(const Bytes& song)
{
    return EstimateKey(song.data(), song.size(), (song[10] << 8) | song[11]);
}

// Every note outside the drum channel moved by `semitones`, nothing else.
Bytes Transposed(Bytes song, int semitones)
{
    const Bytes original = song;
    ForEachNoteEvent(
        original.data(), original.size(), (song[10] << 8) | song[11],
        [&](std::size_t notePos, std::uint64_t, std::uint8_t status, std::uint8_t)
        {
            if ((status & 0x0F) != kDrumChannel)
                song[notePos] = static_cast<std::uint8_t>(song[notePos] + semitones);
        },
        [](std::uint64_t) {});
    return song;
}

} // namespace

TEST(KeyFinder, NamesTheKeyOfSongsMadeInEachOfTheTwentyFourKeys)
{
    for (KeySongKind kind : {KeySongKind::ScaleAndCadence, KeySongKind::CountInCadence,
                             KeySongKind::PopProgression, KeySongKind::Blues})
        for (int k = 0; k < 24; ++k)
        {
            const MusicalKey key{k % 12, k >= 12};
            const KeyEstimate estimate = Estimate(MakeKeySong(key.nTonic, key.bMinor, kind));
            EXPECT_EQ(KeyText(estimate.key), KeyText(key)) << "kind " << static_cast<int>(kind);
            EXPECT_NE(estimate.runnerUp, estimate.key);
            EXPECT_GT(estimate.nNotes, 0u);
        }
}

// Nothing to go on: C major with no confidence, whatever the drums play.
TEST(KeyFinder, DrumsOnlyEmptyAndUnloadedSongsHaveNoKey)
{
    Bytes drums;
    for (int i = 0; i < 16; ++i)
        drums.insert(drums.end(), {0x00, 0x99, static_cast<std::uint8_t>(36 + i % 5), 100, 0x60,
                                   0x89, static_cast<std::uint8_t>(36 + i % 5), 0});
    drums.insert(drums.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    const Bytes songs[] = {MakeSmf({drums}), MakeSmf({kEndOfTrack}), MakeSmf({}, 0)};
    for (const Bytes& song : songs)
    {
        const KeyEstimate estimate = Estimate(song);
        EXPECT_EQ(estimate.nNotes, 0u);
        EXPECT_EQ(KeyText(estimate.key), "C major");
        EXPECT_DOUBLE_EQ(estimate.dConfidence, 0);
        EXPECT_TRUE(estimate.IsLowConfidence());
    }
    EXPECT_EQ(EstimateKey(CTarvel1Doc()).nNotes, 0u);
}

// A song moved by k semitones is in the key moved by k, for real songs and made ones alike; the
// drums, which never move, change nothing.
TEST(KeyFinder, TransposingASongTransposesItsKey)
{
    std::vector<Bytes> songs = {ReadBytes(DataPath("bossa.mid")), ReadBytes(DataPath("round.mid")),
                                MakeKeySong(9, true, KeySongKind::PopProgression),
                                MakeKeySong(2, false, KeySongKind::CountInCadence)};
    for (const Bytes& song : songs)
    {
        ASSERT_GT(song.size(), 22u);
        const KeyEstimate home = Estimate(song);
        for (int k = -6; k <= 6; ++k)
        {
            const KeyEstimate moved = Estimate(Transposed(song, k));
            EXPECT_EQ(moved.key.nTonic, (home.key.nTonic + k + 12) % 12) << "by " << k;
            EXPECT_EQ(moved.key.bMinor, home.key.bMinor) << "by " << k;
            EXPECT_NEAR(moved.dConfidence, home.dConfidence, 1e-9) << "by " << k;
        }
    }
}

TEST(KeyFinder, WritesTheTonicAsTheKeyBoxDoes)
{
    EXPECT_EQ(KeyText({1, false}), "C# major");
    EXPECT_EQ(KeyText({10, true}), "A# minor");
    EXPECT_EQ(KeyText({11, true}), "B minor");
    for (int tonic = 0; tonic < 12; ++tonic)
        EXPECT_EQ(KeyOffsetFromName(KeyNameFromTonic(tonic)), -tonic);
}
