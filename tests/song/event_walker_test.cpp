#include "event_walker.h"

#include <random>

#include <gtest/gtest.h>

#include "smf_builder.h"

namespace
{

// Walks `song` as the conversion does, with the song ending at its last byte. The bytes live in
// a buffer of exactly that size, so that AddressSanitizer catches any read past the song.
Bytes Walk(Bytes song, int tracks, const std::string& mode = "major", int keyOffset = 0)
{
    auto buffer = std::make_unique<std::uint8_t[]>(song.size());
    std::copy(song.begin(), song.end(), buffer.get());
    WalkTrackEvents(SongSpan{buffer.get(), song.size()}, tracks, mode, keyOffset);
    return Bytes(buffer.get(), buffer.get() + song.size());
}

// Leaves the walker's running status at `status` by walking a song whose last channel event
// carries it.
void PrimeRunningStatus(std::uint8_t status)
{
    Walk(MakeSmf({Concat({{0x00, status, 0x00, 0x00}, kEndOfTrack})}), 1, "Non convert");
}

constexpr std::size_t kBody = 22; // the first event of the first track

} // namespace

TEST(EventWalker, TransformsNoteOnAndNoteOff)
{
    const Bytes song =
        MakeSmf({Concat({{0x00, 0x90, 61, 0x40, 0x10, 0x80, 61, 0x00}, kEndOfTrack})});
    const Bytes out = Walk(song, 1);
    EXPECT_EQ(out[kBody + 2], 60);
    EXPECT_EQ(out[kBody + 6], 60);
}

TEST(EventWalker, RunningStatusTransformsEveryNote)
{
    // A note-on, the delta time 00, then a second note-on without its status byte.
    const Bytes song = MakeSmf({Concat({{0x00, 0x90, 0x3D, 0x40, 0x00, 0x3F, 0x40}, kEndOfTrack})});
    const Bytes out = Walk(song, 1);
    EXPECT_EQ(out[kBody + 2], 0x3C);
    EXPECT_EQ(out[kBody + 3], 0x40); // velocity untouched
    EXPECT_EQ(out[kBody + 5], 0x3E);
    EXPECT_EQ(out[kBody + 6], 0x40);
}

TEST(EventWalker, LongMetaEventIsSteppedOverWhole)
{
    // A text event of 200 bytes (length 81 48) full of note-on look-alikes.
    Bytes meta = {0x00, 0xFF, 0x01, 0x81, 0x48};
    for (int i = 0; i < 200; ++i)
        meta.push_back(i % 2 == 0 ? 0x90 : 61);
    const Bytes song = MakeSmf({Concat({meta, {0x00, 0x90, 61, 0x40}, kEndOfTrack})});
    const Bytes out = Walk(song, 1);
    EXPECT_TRUE(
        std::equal(song.begin() + kBody, song.begin() + kBody + meta.size(), out.begin() + kBody));
    EXPECT_EQ(out[kBody + meta.size() + 2], 60);
}

TEST(EventWalker, SysExIsSteppedOverAndKeepsRunningStatus)
{
    const Bytes song = MakeSmf({Concat({{0x00, 0x90, 61, 0x40},
                                        {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                                        {0x00, 61, 0x00},
                                        kEndOfTrack})});
    const Bytes out = Walk(song, 1);
    EXPECT_EQ(out[kBody + 2], 60);
    EXPECT_TRUE(
        std::equal(song.begin() + kBody + 4, song.begin() + kBody + 12, out.begin() + kBody + 4));
    EXPECT_EQ(out[kBody + 13], 60); // running status from before the sysex still applies
}

TEST(EventWalker, OneDataByteEventsUnderRunningStatus)
{
    // Program change C5 10, then two more program changes with one data byte each, then a
    // note-on that must be found at the right place.
    const Bytes song = MakeSmf({Concat(
        {{0x00, 0xC5, 0x10, 0x00, 0x11, 0x00, 0x3D}, {0x00, 0x95, 61, 0x40}, kEndOfTrack})});
    const Bytes out = Walk(song, 1);
    EXPECT_EQ(out[kBody + 6], 0x3D); // a program number, not a note
    EXPECT_EQ(out[kBody + 9], 60);
}

TEST(EventWalker, StatusBytesDecideTheLengthAndTheRunningStatus)
{
    // Channel pressure carries one data byte with its status byte too: the note-on after it is
    // found where it is.
    Bytes out = Walk(MakeSmf({Concat({{0x00, 0xD0, 0x40, 0x00, 0x90, 61, 0x40}, kEndOfTrack})}), 1);
    EXPECT_EQ(out[kBody + 5], 60);

    // Every system status byte but F0 and FF steps over two data bytes and takes over the
    // running status, so the data bytes after it are no note.
    for (int status = 0xF1; status <= 0xFE; ++status)
    {
        SCOPED_TRACE(status);
        const Bytes song =
            MakeSmf({Concat({{0x00, 0x90, 61, 0x40, 0x00, static_cast<std::uint8_t>(status), 0x00,
                              0x00, 0x00, 61, 0x40},
                             kEndOfTrack})});
        out = Walk(song, 1);
        EXPECT_EQ(out[kBody + 2], 60);
        EXPECT_EQ(out[kBody + 9], 61);
    }
}

TEST(EventWalker, SecondTrackIsFoundPastTheChunkHeader)
{
    const Bytes first = Concat({{0x00, 0x90, 61, 0x40}, kEndOfTrack});
    const Bytes second = Concat({{0x00, 0x91, 63, 0x40}, kEndOfTrack});
    const Bytes song = MakeSmf({first, second});
    const Bytes out = Walk(song, 2);
    EXPECT_EQ(out[kBody + 2], 60);
    EXPECT_EQ(out[kBody + first.size() + 8 + 2], 62);
    // A one-track walk stops at the first end of track.
    EXPECT_EQ(Walk(song, 1)[kBody + first.size() + 8 + 2], 63);
}

TEST(EventWalker, DrumChannelIsLeftAlone)
{
    const Bytes song = MakeSmf({Concat(
        {{0x00, 0x99, 61, 0x40, 0x00, 0x89, 61, 0x00, 0x00, 0x98, 61, 0x40}, kEndOfTrack})});
    const Bytes out = Walk(song, 1, "invert");
    EXPECT_EQ(out[kBody + 2], 61);
    EXPECT_EQ(out[kBody + 6], 61);
    EXPECT_EQ(out[kBody + 10], 58);
}

TEST(EventWalker, RunningStatusIsKeptBetweenWalks)
{
    // A track whose first event has no status byte takes the status that the last walk left.
    const Bytes song = MakeSmf({Concat({{0x00, 61, 0x40, 0x00, 61, 0x40}, kEndOfTrack})});
    PrimeRunningStatus(0x90);
    Bytes out = Walk(song, 1);
    EXPECT_EQ(out[kBody + 1], 60);
    EXPECT_EQ(out[kBody + 4], 60);

    // After a program change the same bytes read as one-byte events: 61 40 00 61 is a program
    // change, a delta time 40, and so on; no note moves.
    PrimeRunningStatus(0xC0);
    out = Walk(song, 1);
    EXPECT_EQ(out, song);

    // A reset puts back the start value, under which no note moves either.
    PrimeRunningStatus(0x90);
    ResetRunningStatus();
    EXPECT_EQ(Walk(song, 1), song);
}

TEST(EventWalker, NeverLeavesTheSong)
{
    const std::vector<std::pair<const char*, Bytes>> damaged = {
        {"no tracks announced, no end", MakeSmf({{0x00, 0x90, 61, 0x40, 0x00, 0x90, 61}}, 0)},
        {"meta length past the end", MakeSmf({{0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 0x41}})},
        {"sysex length past the end", MakeSmf({{0x00, 0xF0, 0x7F, 0x01, 0x02}})},
        {"endless variable-length number",
         MakeSmf({{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}})},
        {"note cut off by the end", MakeSmf({{0x00, 0x90}})},
        {"more tracks announced than present",
         MakeSmf({Concat({{0x00, 0x90, 61, 0x40}, kEndOfTrack})}, 5)},
        {"song shorter than the header", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0}},
    };
    for (const auto& [what, song] : damaged)
    {
        SCOPED_TRACE(what);
        for (const char* mode : {"major", "invert"})
            Walk(song, song.size() > 11 ? song[10] * 256 + song[11] : 1, mode);
    }
    // The note before the damage is still converted, and the bytes after it are as they were.
    const Bytes cut =
        MakeSmf({Concat({{0x00, 0x90, 61, 0x40}, {0x00, 0xFF, 0x01, 0x8F, 0x7F}})}, 1);
    const Bytes out = Walk(cut, 1);
    EXPECT_EQ(out[kBody + 2], 60);
    EXPECT_TRUE(std::equal(cut.begin() + kBody + 3, cut.end(), out.begin() + kBody + 3));
}

TEST(EventWalker, RandomBytesStayInside)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 2000; ++round)
    {
        Bytes song = MakeSmf({}, 1 + static_cast<int>(random() % 4));
        const std::size_t length = random() % 300;
        for (std::size_t i = 0; i < length; ++i)
            song.push_back(static_cast<std::uint8_t>(random() % 3 == 0 ? 0xFF : random()));
        const Bytes out =
            Walk(song, song[11], round % 2 ? "invert" : "aug", -static_cast<int>(round % 12));
        // Whatever is walked, the header is never touched and no note byte leaves 0..127
        // unless it was there already.
        const std::size_t header = std::min(kBody, song.size());
        ASSERT_TRUE(std::equal(song.begin(), song.begin() + header, out.begin()));
        for (std::size_t i = 0; i < song.size(); ++i)
        {
            if (out[i] != song[i])
            {
                ASSERT_LE(out[i], 127) << "round " << round << " byte " << i;
            }
        }
    }
}

TEST(EventWalker, ReadVarLenBoundaries)
{
    const struct
    {
        Bytes bytes;
        std::uint32_t value;
        std::size_t length;
    } rows[] = {
        {{0x00}, 0, 1},
        {{0x7F}, 0x7F, 1},
        {{0x81, 0x00}, 0x80, 2},
        {{0x81, 0x48}, 200, 2},
        {{0xFF, 0x7F}, 0x3FFF, 2},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
        {{0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, 0xFFFFFFFF, 5},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, 0xFFFFFFFF, 6}, // saturates
    };
    for (const auto& row : rows)
    {
        Bytes copy = row.bytes;
        std::size_t pos = 0;
        std::uint32_t value = 0;
        ASSERT_TRUE(ReadVarLen(SongSpan{copy.data(), copy.size()}, pos, value));
        EXPECT_EQ(value, row.value);
        EXPECT_EQ(pos, row.length);
        // Every shorter prefix ends inside the number.
        for (std::size_t cut = 0; cut < copy.size(); ++cut)
        {
            pos = 0;
            EXPECT_FALSE(ReadVarLen(SongSpan{copy.data(), cut}, pos, value));
        }
    }
}
