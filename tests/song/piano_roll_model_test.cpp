#include "piano_roll_model.h"

#include <gtest/gtest.h>

#include "smf_builder.h"
#include "test_files.h"

namespace
{

std::unique_ptr<CTarvel1Doc> OpenSong(const ScratchFolder& folder, const Bytes& smf)
{
    WriteBytes(folder.File("song.mid"), smf);
    auto doc = std::make_unique<CTarvel1Doc>();
    EXPECT_TRUE(doc->OnOpenDocument(folder.File("song.mid")));
    return doc;
}

} // namespace

// 480 ticks a quarter; the tempo track doubles the pace after the first quarter, so later
// ticks are worth half as many seconds.
TEST(PianoRollModel, PlacesPairsAndCountsNotesOfAConversion)
{
    ScratchFolder folder;
    const Bytes tempo = Concat({{0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, kEndOfTrack});
    const Bytes notes = Concat({
        {0x00, 0x91, 61, 100}, // C#4, moved to C4 by C major
        {0x00, 0x99, 38, 100}, // a drum, never moved nor counted
        {0x0A, 0x89, 38, 0},
        {0x83, 0x56, 0x81, 61, 0},      // tick 480: C#4 ends (0.5 s)
        {0x83, 0x60, 0x91, 64, 90},     // tick 960 (0.75 s): E4, on the scale
        {0x83, 0x60, 64, 0},            // tick 1440 (1.0 s): running status, velocity 0 ends it
        {0x00, 67, 80},                 // G4, left sounding to its track's end
        {0x83, 0x60, 0xFF, 0x2F, 0x00}, // tick 1920 (1.25 s)
    });
    auto doc = OpenSong(folder, MakeSmf({tempo, notes}));
    doc->Convert("major", 0);

    CPianoRollModel model;
    model.Build(*doc, true, "major", 0);
    const MovedNoteCount counts = CountMovedNotes(*doc);
    EXPECT_EQ(counts.nNotes, 3u);
    EXPECT_EQ(counts.nMoved, 1u);
    EXPECT_EQ(model.Counts().nNotes, 3u);
    EXPECT_EQ(model.Counts().nMoved, 1u);

    const auto& all = model.Notes();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].nOriginal, 61);
    EXPECT_EQ(all[0].nNote, 60);
    EXPECT_DOUBLE_EQ(all[0].dEnd, 0.5);
    EXPECT_TRUE(all[1].IsDrum());
    EXPECT_FALSE(all[1].IsMoved());
    EXPECT_EQ(all[2].nNote, 64);
    EXPECT_DOUBLE_EQ(all[2].dStart, 0.75);
    EXPECT_DOUBLE_EQ(all[2].dEnd, 1.0);
    EXPECT_DOUBLE_EQ(all[3].dEnd, 1.25);
    EXPECT_DOUBLE_EQ(model.TotalSeconds(), 1.25);
    EXPECT_EQ(model.LowestNote(), 60);
    EXPECT_EQ(model.HighestNote(), 67);
    EXPECT_TRUE(model.HasDrums());
    EXPECT_TRUE(model.IsScaleNote(60));
    EXPECT_FALSE(model.IsScaleNote(61));

    // Between 0.8 and 0.9 s only E4 sounds.
    EXPECT_EQ(model.VisibleRange(0.8, 0.9), (std::pair<std::size_t, std::size_t>(2, 3)));
    EXPECT_EQ(model.VisibleRange(2.0, 3.0).first, model.VisibleRange(2.0, 3.0).second);

    // Before any conversion the song is shown as read; "invert" has no scale to shade.
    model.Build(*doc, false, "major", 0);
    EXPECT_EQ(model.Counts().nMoved, 0u);
    EXPECT_FALSE(model.HasScale());
    doc->Convert("invert", 0);
    model.Build(*doc, true, "invert", 0);
    EXPECT_FALSE(model.HasScale());
    EXPECT_EQ(model.Counts().nMoved, CountMovedNotes(*doc).nMoved);
}

TEST(PianoRollModel, RealSongsAgreeWithTheCountAndStayInsideTheSong)
{
    for (const std::string& name : kRealSongs)
    {
        auto doc = std::make_unique<CTarvel1Doc>();
        ASSERT_TRUE(doc->OnOpenDocument(DataPath(name)));
        doc->Convert("minor", -2);
        CPianoRollModel model;
        model.Build(*doc, true, "minor", -2);
        const MovedNoteCount counts = CountMovedNotes(*doc);
        EXPECT_EQ(model.Counts().nNotes, counts.nNotes) << name;
        EXPECT_EQ(model.Counts().nMoved, counts.nMoved) << name;
        EXPECT_GT(model.TotalSeconds(), 1.0) << name;
        double previousStart = 0;
        for (const CRollNote& note : model.Notes())
        {
            ASSERT_LE(previousStart, note.dStart) << name;
            previousStart = note.dStart;
            ASSERT_LE(note.dStart, note.dEnd) << name;
            ASSERT_LE(note.dEnd, model.TotalSeconds() + 1e-9) << name;
        }
    }
    // Every truncated prefix of a song is walked without reading past it.
    const Bytes song = ReadBytes(DataPath("bossa.mid"));
    CPianoRollModel model;
    for (std::size_t size = 0; size <= song.size(); size += 7)
    {
        Bytes prefix(song.begin(), song.begin() + static_cast<std::ptrdiff_t>(size));
        model.Build(prefix.data(), prefix.data(), prefix.size(), 2, ConversionMode::Major, 0);
    }
}
