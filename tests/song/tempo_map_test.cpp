#include "tempo_map.h"

#include <limits>

#include <gtest/gtest.h>

// 480 ticks a quarter: 4/4 at 120 for two bars, then 3/4 from the middle of bar 3 at double
// speed; the cut-short bar 3 still counts.
TEST(TempoMap, TicksBecomeTimesBarsAndBeats)
{
    const CTempoMap map(480, {{3840, 250000}, {3840, 250000}},
                        {{0, 3, 2}, {0, 4, 2}, {3840 + 960, 3, 2}});
    EXPECT_EQ(map.MicrosAt(480), 500000);
    EXPECT_EQ(map.MicrosAt(3840 + 480), 4000000 + 250000);
    EXPECT_EQ(map.TickAt(4000000 + 250000), 3840u + 480);
    EXPECT_EQ(map.TickAt(1), 1u); // the first tick at or after 1 microsecond
    EXPECT_EQ(map.TickAt(-5), 0u);

    const CMeterBeat inThird = map.BeatAt(3840 + 500);
    EXPECT_EQ(inThird.nBar, 3u);
    EXPECT_EQ(inThird.nBeat, 2u);
    EXPECT_EQ(inThird.nTick, 3840u + 480);
    const CMeterBeat afterChange = map.BeatAt(3840 + 960 + 3 * 480);
    EXPECT_EQ(afterChange.nBar, 5u);
    EXPECT_EQ(afterChange.nBeat, 1u);

    const std::vector<CMeterBeat> beats = map.BeatsBetween(3500000, 4600000);
    ASSERT_EQ(beats.size(), 4u);
    EXPECT_EQ(beats[0].nBar, 2u); // the beat that holds the first time
    EXPECT_EQ(beats[0].nBeat, 4u);
    EXPECT_TRUE(beats[1].IsBarStart());
    EXPECT_EQ(beats[1].nMicros, 4000000);
    EXPECT_EQ(beats[3].nBar, 4u); // the 3/4 bar begins at the change
    EXPECT_EQ(beats[3].nBeat, 1u);
    EXPECT_EQ(beats[3].nMicros, 4500000);
    EXPECT_EQ(map.BeatsBetween(0, std::numeric_limits<std::int64_t>::max(), 10).size(), 10u);
}

// Damaged headers and huge numbers saturate instead of wrapping; SMPTE time has no bars.
TEST(TempoMap, SmpteAndExtremesStayInRange)
{
    const CTempoMap smpte(0xE728, {{10, 1}}); // 25 frames of 40 ticks: a millisecond a tick
    EXPECT_EQ(smpte.MicrosAt(1000), 1000000);
    EXPECT_EQ(smpte.TickAt(1000000), 1000u);
    EXPECT_TRUE(smpte.BeatsBetween(0, 1000000).empty());
    EXPECT_EQ(CTempoMap(0xE300).MicrosAt(30), 1001000); // 29.97 frames of 0 ticks: one each

    const CTempoMap slow(1, {{0, 0xFFFFFF}}, {{5, 255, 255}});
    const auto max = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(slow.MicrosAt(max), std::numeric_limits<std::int64_t>::max());
    EXPECT_GE(slow.TickAt(std::numeric_limits<std::int64_t>::max()),
              std::uint64_t{std::numeric_limits<std::int64_t>::max()} / 0xFFFFFF);
    EXPECT_LE(slow.BeatsBetween(0, std::numeric_limits<std::int64_t>::max()).size(), 4096u);
    const CTempoMap frozen(96, {{96, 0}});
    EXPECT_EQ(frozen.MicrosAt(max), 500000);
    EXPECT_EQ(frozen.TickAt(500001), max);
}
