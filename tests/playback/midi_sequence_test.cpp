#include "midi_sequence.h"

#include <gtest/gtest.h>

#include "piano_roll_model.h"

#include "smf_builder.h"
#include "string_table.h"
#include "test_files.h"

namespace
{

// MakeSmf with another division word and format in the header.
Bytes WithHeader(Bytes song, std::uint16_t division, int format)
{
    song[9] = static_cast<std::uint8_t>(format);
    song[12] = static_cast<std::uint8_t>(division >> 8);
    song[13] = static_cast<std::uint8_t>(division);
    return song;
}

CMidiSequence MustRead(const Bytes& song)
{
    CMidiSequence seq;
    std::string reason;
    EXPECT_TRUE(seq.Read(song.data(), song.size(), reason)) << reason;
    return seq;
}

std::string Refusal(const Bytes& song)
{
    CMidiSequence seq;
    std::string reason;
    EXPECT_FALSE(seq.Read(song.data(), song.size(), reason));
    EXPECT_TRUE(seq.Events().empty());
    return reason;
}

std::string Track1(UINT id)
{
    return FormatResString(id, "1");
}

// Note on and off a quarter apart at division 480, as the bytes of a track.
const Bytes kQuarterC = {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0};

TEST(MidiSequence, FormatsAndDivisionsGiveTheirTimes)
{
    // Format 1: tracks merged by tick, at the same tick in the order of the tracks.
    {
        const Bytes song =
            MakeSmf({Concat({kQuarterC, kEndOfTrack}),
                     Concat({{0x00, 0x91, 64, 90, 0x83, 0x60, 0x81, 64, 0}, kEndOfTrack})});
        const CMidiSequence seq = MustRead(song);
        ASSERT_EQ(seq.Events().size(), 4u);
        EXPECT_EQ(seq.Events()[0].status, 0x90);
        EXPECT_EQ(seq.Events()[1].status, 0x91);
        EXPECT_EQ(seq.Events()[2].status, 0x80);
        EXPECT_EQ(seq.Events()[2].nMicros, 500000);
        EXPECT_EQ(seq.TotalTicks(), 480u);
        EXPECT_EQ(seq.TotalMicros(), 500000);
    }
    // Format 2: each pattern starts where the one before ended, its end-of-track delta included.
    {
        const Bytes pattern = Concat({kQuarterC, {0x83, 0x60, 0xFF, 0x2F, 0x00}});
        const CMidiSequence seq = MustRead(MakeSmf({pattern, pattern, pattern}, -1, 2));
        ASSERT_EQ(seq.Events().size(), 6u);
        EXPECT_EQ(seq.Events()[2].nTick, 960u);
        EXPECT_EQ(seq.Events()[2].nMicros, 1000000);
        EXPECT_EQ(seq.Events()[5].nMicros, 2500000);
        EXPECT_EQ(seq.TotalTicks(), 2880u);
        EXPECT_EQ(seq.TotalMicros(), 3000000);
    }
    // SMPTE: frames per second in the high byte (negative), ticks per frame in the low byte.
    // 600 ticks of each rate; tempo events change nothing.
    const Bytes body = Concat(
        {{0x00, 0xFF, 0x51, 0x03, 0x01, 0x00, 0x00}, {0x84, 0x58, 0x90, 60, 100}, kEndOfTrack});
    const std::pair<std::uint16_t, std::int64_t> rates[] = {
        {0xE80A, 2500000},  // 24 fps, 10 ticks per frame
        {0xE728, 600000},   // 25 fps, 40
        {0xE302, 10010000}, // 29.97 fps, 2: 300 frames of 1001/30000 s
        {0xE264, 200000},   // 30 fps, 100
    };
    for (const auto& [division, micros] : rates)
    {
        const CMidiSequence seq = MustRead(WithHeader(MakeSmf({body}), division, 0));
        ASSERT_EQ(seq.Events().size(), 1u);
        EXPECT_EQ(seq.Events()[0].nMicros, micros) << std::hex << division;
        EXPECT_EQ(seq.Division(), division);
    }
    // Real songs: lengths checked against an independent reading of their tempo maps.
    const std::pair<const char*, std::int64_t> songs[] = {
        {"round.mid", 12379}, {"drum.mid", 8341}, {"bossa.mid", 74326}, {"fanfare.mid", 2100}};
    for (const auto& [name, millis] : songs)
    {
        const CMidiSequence seq = MustRead(ReadBytes(DataPath(name)));
        EXPECT_EQ(seq.TotalMicros() / 1000, millis) << name;
        for (std::size_t i = 1; i < seq.Events().size(); ++i)
            ASSERT_LE(seq.Events()[i - 1].nMicros, seq.Events()[i].nMicros) << name;
    }
    // A song of a few bytes announcing years of silence is read; refusing to render it is the
    // player's business, not the reader's.
    {
        const Bytes song = WithHeader(
            MakeSmf({{0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}}), 0x0001, 0);
        ASSERT_EQ(song.size(), 33u);
        const CMidiSequence seq = MustRead(song);
        EXPECT_EQ(seq.TotalMicros(), std::int64_t{0x0FFFFFFF} * 500000);
    }
}

TEST(MidiSequence, TempoChangesApplyFromTheirTickWithoutDrift)
{
    // Division 3 at one second per quarter: a tick is 333333.3 microseconds. Three thousand
    // one-tick steps must land on exactly 1000 seconds, not on a sum of rounded steps.
    Bytes steps = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40};
    for (int i = 0; i < 3000; ++i)
        steps.insert(steps.end(), {0x01, 0xA0, 60, 1});
    steps.insert(steps.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    const CMidiSequence drift = MustRead(WithHeader(MakeSmf({steps}), 3, 0));
    EXPECT_EQ(drift.Events()[0].nMicros, 333333);
    EXPECT_EQ(drift.Events().back().nMicros, 1000000000);

    // A tempo in the first track rules the events of every track; 500000 until the first.
    const Bytes conductor = {0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, // 250000 at 480
                             0x00, 0xFF, 0x2F, 0x00};
    const Bytes notes = Concat({{0x83, 0x60, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0}, kEndOfTrack});
    const CMidiSequence seq = MustRead(MakeSmf({conductor, notes}));
    ASSERT_EQ(seq.Events().size(), 2u);
    EXPECT_EQ(seq.Events()[0].nMicros, 500000);
    EXPECT_EQ(seq.Events()[1].nMicros, 750000);
    EXPECT_EQ(seq.TotalMicros(), 750000);

    // Format 2: a pattern's tempo holds from that pattern on.
    const Bytes fast = Concat({{0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, kQuarterC, kEndOfTrack});
    const CMidiSequence patterns = MustRead(
        MakeSmf({Concat({kQuarterC, kEndOfTrack}), fast, Concat({kQuarterC, kEndOfTrack})}, -1, 2));
    ASSERT_EQ(patterns.Events().size(), 6u);
    EXPECT_EQ(patterns.Events()[2].nMicros, 500000);
    EXPECT_EQ(patterns.Events()[4].nMicros, 750000);
    EXPECT_EQ(patterns.TotalMicros(), 1000000);
}

TEST(MidiSequence, RunningStatusStaysWithinItsTrackAndEndsAtSysExAndMeta)
{
    // Channel status carries over data bytes, one or two of them according to the status.
    const CMidiSequence seq = MustRead(MakeSmf(
        {Concat({{0x00, 0x90, 60, 100, 0x00, 62, 100, 0x00, 0xC1, 5, 0x00, 6}, kEndOfTrack})}));
    ASSERT_EQ(seq.Events().size(), 4u);
    EXPECT_EQ(seq.Events()[1].status, 0x90);
    EXPECT_EQ(seq.Events()[1].data1, 62);
    EXPECT_EQ(seq.Events()[3].status, 0xC1);
    EXPECT_EQ(seq.Events()[3].data1, 6);

    // After a meta or sysex event, or at the start of a track, data bytes have no status.
    const Bytes afterMeta = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x01, 'x', 0x00, 62, 100};
    const Bytes afterSysEx = {0x00, 0x90, 60, 100, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 62, 100};
    EXPECT_EQ(Refusal(MakeSmf({Concat({afterMeta, kEndOfTrack})})), Track1(IDS_SMF_BAD_EVENT));
    EXPECT_EQ(Refusal(MakeSmf({Concat({afterSysEx, kEndOfTrack})})), Track1(IDS_SMF_BAD_EVENT));
    EXPECT_EQ(Refusal(MakeSmf({Concat({{0x00, 0x90, 60, 100}, kEndOfTrack}),
                               Concat({{0x00, 62, 100}, kEndOfTrack})})),
              FormatResString(IDS_SMF_BAD_EVENT, "2"));
}

TEST(MidiSequence, SysExPacketsAreJoinedIntoOneMessage)
{
    // One piece; then F0 and two continuations with a note between them; then an escape.
    const Bytes body = Concat({{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7},
                               {0x10, 0xF0, 0x02, 0x43, 0x10},
                               {0x05, 0x90, 60, 100},
                               {0x05, 0xF7, 0x02, 0x4C, 0x00},
                               {0x05, 0xF7, 0x03, 0x00, 0x01, 0xF7},
                               {0x05, 0xF7, 0x02, 0xF3, 0x01},
                               kEndOfTrack});
    const CMidiSequence seq = MustRead(MakeSmf({body}));
    ASSERT_EQ(seq.Events().size(), 4u);
    auto bytesOf = [&](const CMidiEvent& ev) {
        return Bytes(seq.Bytes().begin() + ev.nOffset,
                     seq.Bytes().begin() + ev.nOffset + ev.nLength);
    };
    EXPECT_EQ(seq.Events()[0].kind, CMidiEvent::Kind::SysEx);
    EXPECT_EQ(bytesOf(seq.Events()[0]), (Bytes{0xF0, 0x7E, 0x7F, 0xF7}));
    EXPECT_EQ(seq.Events()[1].kind, CMidiEvent::Kind::SysEx);
    EXPECT_EQ(seq.Events()[1].nTick, 0x10u);
    EXPECT_EQ(bytesOf(seq.Events()[1]), (Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x01, 0xF7}));
    EXPECT_EQ(seq.Events()[2].kind, CMidiEvent::Kind::Channel);
    EXPECT_EQ(seq.Events()[3].kind, CMidiEvent::Kind::Escape);
    EXPECT_EQ(bytesOf(seq.Events()[3]), (Bytes{0xF3, 0x01}));

    // Packets that never end are closed where the track ends, so no port waits for the rest.
    const CMidiSequence open = MustRead(
        MakeSmf({Concat({{0x00, 0xF0, 0x01, 0x41, 0x00, 0xF7, 0x01, 0x42}, kEndOfTrack})}));
    ASSERT_EQ(open.Events().size(), 1u);
    EXPECT_EQ(Bytes(open.Bytes().begin(), open.Bytes().end()), (Bytes{0xF0, 0x41, 0x42, 0xF7}));
}

TEST(MidiSequence, HeaderOfAnyLengthAndUnknownChunksAreSkipped)
{
    const Bytes track = Concat({kQuarterC, kEndOfTrack});
    Bytes song = MakeSmf({track, track});
    song[7] = 8; // header of 8 bytes
    song.insert(song.begin() + 14, {0xAB, 0xCD});
    const Bytes unknown = {'X', 'F', 'I', 'H', 0, 0, 0, 3, 1, 2, 3};
    song.insert(song.begin() + 16, unknown.begin(), unknown.end());
    song.insert(song.end(), {'j', 'u', 'n', 'k'}); // trailing bytes after the last track
    const CMidiSequence seq = MustRead(song);
    EXPECT_EQ(seq.Events().size(), 4u);
    EXPECT_EQ(seq.Tracks(), 2);

    // More than 127 tracks; a last track whose length runs past the end of the file but whose
    // events end cleanly; a track chunk with no end-of-track event.
    std::vector<Bytes> many(300, track);
    many.back() = kQuarterC;
    Bytes big = MakeSmf(many);
    big.insert(big.end(), {'M', 'T', 'r', 'k', 0, 0, 0x10, 0});
    big.insert(big.end(), track.begin(), track.end());
    big[11] = 0x2D; // 301 tracks
    const CMidiSequence wide = MustRead(big);
    EXPECT_EQ(wide.Tracks(), 301);
    EXPECT_EQ(wide.Events().size(), 602u);
}

TEST(MidiSequence, BrokenFilesAreRefusedWithTheirReason)
{
    const Bytes good = MakeSmf({Concat({kQuarterC, kEndOfTrack})});
    EXPECT_EQ(Refusal({'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}),
              LoadResString(IDS_NOT_MIDI_FILE));
    Bytes shortHeader = good;
    shortHeader[7] = 5;
    EXPECT_EQ(Refusal(shortHeader), LoadResString(IDS_SMF_SHORT_HEADER));
    EXPECT_EQ(Refusal(WithHeader(good, 480, 3)), FormatResString(IDS_SMF_BAD_FORMAT, "3"));
    EXPECT_EQ(Refusal(WithHeader(good, 0, 1)), LoadResString(IDS_SMF_ZERO_DIVISION));
    EXPECT_EQ(Refusal(WithHeader(good, 0xE700, 1)), LoadResString(IDS_SMF_ZERO_DIVISION));
    EXPECT_EQ(Refusal(MakeSmf({}, 0)), LoadResString(IDS_SMF_NO_TRACKS));
    EXPECT_EQ(Refusal(MakeSmf({Concat({kQuarterC, kEndOfTrack})}, 2)),
              FormatResString(IDS_SMF_TRUNCATED, "2"));
    // Unreadable events: a status that has no place in a file, a data byte with its top bit
    // set, a delta of five bytes.
    for (const Bytes& events : {Bytes{0x00, 0xF1, 0x00}, Bytes{0x00, 0x90, 60, 0x80},
                                Bytes{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}})
        EXPECT_EQ(Refusal(MakeSmf({Concat({events, kEndOfTrack})})), Track1(IDS_SMF_BAD_EVENT));
    Bytes badName = Concat({good, {0x01, 'T', 'r', 'k', 0, 0, 0, 0}});
    badName[11] = 2;
    EXPECT_EQ(Refusal(badName), FormatResString(IDS_SMF_BAD_CHUNK, "2"));
    // Lengths that lie: a sysex or meta event longer than the track, a track of 4 GiB.
    for (const Bytes& events : {Bytes{0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0xF7},
                                Bytes{0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F}})
        EXPECT_EQ(Refusal(MakeSmf({Concat({events, kEndOfTrack})})), Track1(IDS_SMF_TRUNCATED));
    Bytes huge = good;
    huge[18] = huge[19] = huge[20] = huge[21] = 0xFF;
    huge.resize(huge.size() - 4); // no end of track: the file was cut
    EXPECT_EQ(Refusal(huge), Track1(IDS_SMF_TRUNCATED));

    // Every prefix of a real song is refused, and a refusal leaves nothing of the song before.
    // The short songs are cut at every byte; the one long song at every fifth byte and at every
    // byte of its last kilobyte, to keep the time under the sanitizers in seconds.
    for (const std::string& name : kRealSongs)
    {
        const Bytes song = ReadBytes(DataPath(name));
        CMidiSequence seq;
        std::string reason;
        for (std::size_t n = 0; n < song.size(); ++n)
        {
            if (song.size() > 4096 && n % 5 != 0 && n + 1024 < song.size())
                continue;
            if (n % 64 == 0)
            {
                ASSERT_TRUE(seq.Read(song.data(), song.size(), reason)) << name;
            }
            const Bytes prefix(song.begin(), song.begin() + static_cast<std::ptrdiff_t>(n));
            ASSERT_FALSE(seq.Read(prefix.data(), prefix.size(), reason)) << name << " " << n;
            ASSERT_FALSE(reason.empty());
            ASSERT_TRUE(seq.Events().empty() && seq.Bytes().empty() && seq.TotalMicros() == 0);
        }
    }
}

TEST(MidiSequence, StateAtChasesWhatTheSongSetBeforeThatTime)
{
    const Bytes body = {
        0x00, 0xB2, 0,    1,   0x00, 0xB2, 32,   2,    0x00, 0xC2, 40, // bank 1/2, program 40
        0x00, 0xB2, 7,    90,  0x00, 0xB2, 64,   127,  0x00, 0xB2, 101, 0,
        0x00, 0xB2, 6,    12,  0x00, 0xE2, 0x00, 0x50, 0x00, 0xD2, 33,      // bend, pressure
        0x00, 0x92, 60,   100, 0x00, 0x92, 64,   80,   0x00, 0x92, 67,  70, // a chord
        0x00, 0x99, 36,   127,                                              // drum on channel 10
        0x83, 0x60, 0x92, 64,  0,                                           // 0.5 s: E let go
        0x00, 0x82, 67,   0,                                                // and G
        0x83, 0x60, 0xB9, 123, 0,                                           // 1 s: all notes off
        0x00, 0xB2, 121,  0,                                                // reset controllers
        0x00, 0xFF, 0x2F, 0x00};
    const CMidiSequence seq = MustRead(MakeSmf({body}));

    const auto start = seq.StateAt(0);
    EXPECT_EQ(start[2].nProgram, -1);
    EXPECT_TRUE(start[2].heldNotes.empty());

    const auto early = seq.StateAt(1);
    const CChannelState& ch = early[2];
    EXPECT_EQ(ch.nProgram, 40);
    EXPECT_EQ(ch.controllers[0], 1);
    EXPECT_EQ(ch.controllers[32], 2);
    EXPECT_EQ(ch.controllers[7], 90);
    EXPECT_EQ(ch.controllers[64], 127);
    EXPECT_EQ(ch.controllers[101], 0);
    EXPECT_EQ(ch.controllers[6], 12);
    EXPECT_EQ(ch.controllers[10], -1);
    EXPECT_EQ(ch.nPitchBend, 0x50 << 7);
    EXPECT_EQ(ch.nChannelPressure, 33);
    using Held = std::vector<std::pair<std::uint8_t, std::uint8_t>>;
    EXPECT_EQ(ch.heldNotes, (Held{{60, 100}, {64, 80}, {67, 70}}));
    EXPECT_EQ(early[9].heldNotes, (Held{{36, 127}}));
    EXPECT_EQ(early[0].nProgram, -1);

    // Between the two let-go events of the same time: E is let go, G still held.
    const auto between = seq.StateAfter(14);
    EXPECT_EQ(between[2].heldNotes, (Held{{60, 100}, {67, 70}}));

    const auto middle = seq.StateAt(500001);
    EXPECT_EQ(middle[2].heldNotes, (Held{{60, 100}}));
    EXPECT_EQ(middle[9].heldNotes, (Held{{36, 127}}));

    const auto end = seq.StateAt(seq.TotalMicros() + 1);
    EXPECT_TRUE(end[9].heldNotes.empty());
    EXPECT_EQ(end[2].heldNotes, (Held{{60, 100}}));
    EXPECT_EQ(end[2].controllers[64], 0);
    EXPECT_EQ(end[2].controllers[7], 90);
    EXPECT_EQ(end[2].nPitchBend, 8192);
    EXPECT_EQ(end[2].controllers[121], -1); // a reset is an action, not a value to send again
    EXPECT_EQ(seq.IndexAt(500000), 13u);
    EXPECT_EQ(seq.IndexAt(seq.TotalMicros() + 1), seq.Events().size());
}

} // namespace

// The piano roll and the player time a song with one clock: a format 2 song's patterns are drawn
// one after the other, where the player plays them, through a tempo change in the first pattern.
TEST(MidiSequence, PianoRollDrawsEveryNoteWhenThePlayerPlaysIt)
{
    const Bytes first = Concat({{0x00, 0x90, 60, 100},
                                {0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, // 1 quarter: x2
                                {0x00, 0x80, 60, 0},
                                {0x83, 0x60, 0x90, 62, 100},
                                {0x81, 0x70, 0x80, 62, 0},
                                kEndOfTrack});
    const Bytes second = Concat({{0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08}, // 3/4
                                 {0x10, 0x91, 64, 100},
                                 {0x83, 0x60, 0x81, 64, 0},
                                 kEndOfTrack});
    for (const int format : {1, 2})
    {
        SCOPED_TRACE(format);
        const Bytes song = WithHeader(MakeSmf({first, second}), 480, format);
        const CMidiSequence seq = MustRead(song);
        CPianoRollModel roll;
        roll.Build(song.data(), song.data(), song.size(), 2, ConversionMode::None, 0);
        std::vector<double> played;
        for (const CMidiEvent& ev : seq.Events())
            if ((ev.status & 0xF0) == 0x90)
                played.push_back(double(ev.nMicros) / 1e6);
        ASSERT_EQ(roll.Notes().size(), played.size());
        for (std::size_t i = 0; i < played.size(); ++i)
            EXPECT_NEAR(roll.Notes()[i].dStart, played[i], 1e-6) << i;
        EXPECT_NEAR(roll.TotalSeconds(), double(seq.TotalMicros()) / 1e6, 1e-6);
        // The second pattern's note comes after the first's in format 2, at once in format 1.
        EXPECT_EQ(roll.Notes().back().nNote, format == 2 ? 64 : 62);
        EXPECT_EQ(roll.TempoMap().BeatAt(seq.TotalTicks()).nBar,
                  seq.TempoMap().BeatAt(seq.TotalTicks()).nBar);
    }
}
