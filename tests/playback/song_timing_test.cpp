#include "song_timing.h"

#include <fluidsynth.h>

#include "log_capture.h"
#include "smf_builder.h"
#include "string_table.h"
#include "test_files.h"

namespace
{

// What the synthesizer itself makes of the bytes. It reads them on its first render block and
// gives up, telling only its log, or it goes on; some songs it takes and then never advances
// (division 0), or plays with tracks missing (128 tracks or more). Playing means here: the song
// has ticks, and a tenth of a second later the player's tick has moved.
bool SynthesizerPlays(const Bytes& song)
{
    InstallLogCapture();
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_add_mem(player, song.data(), song.size());
    fluid_player_play(player);
    std::vector<float> block(2 * 4410);
    fluid_synth_write_float(synth, 4410, block.data(), 0, 2, block.data(), 1, 2);
    const bool plays = fluid_player_get_status(player) == FLUID_PLAYER_PLAYING &&
                       fluid_player_get_total_ticks(player) > 0 &&
                       fluid_player_get_current_tick(player) > 0;
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return plays;
}

bool Reads(const Bytes& song, std::string& reason)
{
    CSongTiming timing;
    return timing.Read(song.data(), song.size(), reason);
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};
// A quarter note of middle C at division 480.
const Bytes kNote = {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0};

Bytes Track(Bytes events)
{
    events.insert(events.end(), kEnd.begin(), kEnd.end());
    return events;
}

TEST(SongTiming, RealSongsReadAsTheSynthesizerPlaysThem)
{
    for (const std::string& name : kRealSongs)
    {
        SCOPED_TRACE(name);
        const Bytes song = ReadBytes(DataPath(name));
        CSongTiming timing;
        std::string reason;
        EXPECT_TRUE(timing.Read(song.data(), song.size(), reason)) << reason;
        EXPECT_GT(timing.LastTick(), 0u);
        EXPECT_GT(timing.TotalSeconds(), 1.0);
        EXPECT_TRUE(SynthesizerPlays(song));
    }
}

TEST(SongTiming, EveryTruncatedPrefixIsRefused)
{
    const Bytes song = ReadBytes(DataPath("round.mid"));
    for (std::size_t size = 0; size < song.size(); ++size)
    {
        std::string reason;
        const Bytes prefix(song.begin(), song.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(Reads(prefix, reason)) << "prefix of " << size << " bytes";
        EXPECT_FALSE(reason.empty());
    }
}

TEST(SongTiming, TempoChangesFromAnyTrackShapeTheClock)
{
    // Division 480; a tempo of 250000 us per quarter from tick 480 on, set in the second track.
    const Bytes song = MakeSmf({Track({0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0}),
                                Track({0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90})});
    CSongTiming timing;
    std::string reason;
    ASSERT_TRUE(timing.Read(song.data(), song.size(), reason)) << reason;
    EXPECT_EQ(timing.Division(), 480);
    EXPECT_EQ(timing.LastTick(), 960u);
    EXPECT_DOUBLE_EQ(timing.SecondsAt(0), 0.0);
    EXPECT_DOUBLE_EQ(timing.SecondsAt(240), 0.25);
    EXPECT_DOUBLE_EQ(timing.SecondsAt(480), 0.5);
    EXPECT_DOUBLE_EQ(timing.SecondsAt(960), 0.75);
    EXPECT_DOUBLE_EQ(timing.TotalSeconds(), 0.75);

    // With no division the synthesizer goes at one tick every 4 ms, and so does the clock here.
    Bytes noDivision = song;
    noDivision[12] = 0;
    noDivision[13] = 0;
    ASSERT_TRUE(timing.Read(noDivision.data(), noDivision.size(), reason)) << reason;
    EXPECT_DOUBLE_EQ(timing.SecondsAt(250), 1.0);
}

TEST(SongTiming, RefusesWhatTheSynthesizerRefusesAndSaysWhy)
{
    struct Case
    {
        const char* what;
        Bytes song;
        std::string reason;
    };
    Bytes smpte = MakeSmf({Track(kNote)});
    smpte[12] = 0xE7; // -25 frames per second
    smpte[13] = 40;
    Bytes longHeader = MakeSmf({Track(kNote)});
    longHeader[7] = 8;
    Bytes badChunk = MakeSmf({Track(kNote)});
    badChunk[14] = 0xC3;
    const std::vector<Case> cases = {
        {"SMPTE time", smpte, LoadResString(IDS_SMF_SMPTE)},
        {"header of 8 bytes", longHeader, LoadResString(IDS_SMF_BAD_HEADER)},
        {"format 3", MakeSmf({Track(kNote)}, -1, 3), LoadResString(IDS_SMF_BAD_HEADER)},
        {"chunk name not ASCII", badChunk, FormatResString(IDS_SMF_BAD_CHUNK, "1")},
        {"status F1", MakeSmf({Track(kNote), Track({0x00, 0xF1, 0x00})}),
         FormatResString(IDS_SMF_BAD_EVENT, "2")},
        {"data byte with no status", MakeSmf({Track({0x00, 0x40, 0x40})}),
         FormatResString(IDS_SMF_BAD_EVENT, "1")},
        {"tempo of 2 bytes", MakeSmf({Track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})}),
         FormatResString(IDS_SMF_BAD_EVENT, "1")},
        {"end of track with data", MakeSmf({{0x00, 0xFF, 0x2F, 0x01, 0x00}}),
         FormatResString(IDS_SMF_BAD_EVENT, "1")},
        {"delta time of 5 bytes", MakeSmf({Track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})}),
         FormatResString(IDS_SMF_BAD_EVENT, "1")},
        {"fewer tracks than announced", MakeSmf({Track(kNote)}, 2),
         FormatResString(IDS_SMF_TRUNCATED, "2")},
        {"128 tracks", MakeSmf(std::vector<Bytes>(128, Track(kNote))),
         LoadResString(IDS_SMF_TOO_MANY_TRACKS)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string reason;
        EXPECT_FALSE(Reads(c.song, reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_FALSE(SynthesizerPlays(c.song)) << "refused a song the synthesizer plays";
    }
}

TEST(SongTiming, ToleratesWhatTheSynthesizerTolerates)
{
    struct Case
    {
        const char* what;
        Bytes song;
    };
    Bytes junkAfterEnd = Track({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0});
    junkAfterEnd.insert(junkAfterEnd.end(), {0x12, 0x34, 0x56});
    Bytes zeroDivision = MakeSmf({Track(kNote)});
    zeroDivision[12] = 0;
    zeroDivision[13] = 0;
    const std::vector<Case> cases = {
        {"division 0", zeroDivision},
        {"running status",
         MakeSmf({Track({0x00, 0x90, 60, 100, 0x60, 62, 100, 0x60, 0x80, 60, 0, 0x00, 62, 0})})},
        {"system exclusive", MakeSmf({Track({0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0x90, 60,
                                             100, 0x60, 0x80, 60, 0})})},
        {"bytes after the end of track", MakeSmf({junkAfterEnd})},
        {"a track with no end-of-track event", MakeSmf({{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}})},
        {"format 0 with one track",
         MakeSmf({Track({0x00, 0xC0, 5, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0})}, -1, 0)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string reason;
        EXPECT_TRUE(Reads(c.song, reason)) << reason;
        EXPECT_TRUE(SynthesizerPlays(c.song));
    }
}

} // namespace
