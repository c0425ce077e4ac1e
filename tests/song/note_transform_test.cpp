#include "note_transform.h"

#include <gtest/gtest.h>

namespace
{

std::uint8_t Transform(int note, const std::string& mode, int keyOffset, int channel = 0)
{
    std::uint8_t byte = static_cast<std::uint8_t>(note);
    TransformNote(&byte, channel, mode, keyOffset);
    return byte;
}

} // namespace

TEST(NoteTransform, WorkedExamples)
{
    EXPECT_EQ(Transform(61, "major", 0), 60);
    EXPECT_EQ(Transform(64, "minor", 0), 63);
    EXPECT_EQ(Transform(64, "invert", 0), 67);
    EXPECT_EQ(Transform(65, "invert", 0), 66);
    EXPECT_EQ(Transform(63, "major", -2), 62);
    // Below the key's offset the degree is negative: scale modes keep it, invert raises it.
    EXPECT_EQ(Transform(1, "major", -2), 1);
    EXPECT_EQ(Transform(1, "invert", -2), 2);
}

TEST(NoteTransform, ScaleModesLowerExactlyTheirDegrees)
{
    const struct
    {
        const char* mode;
        std::array<int, 12> step;
    } rows[] = {
        {"major", {0, -1, 0, -1, 0, 0, -1, 0, -1, 0, -1, 0}},
        {"minor", {0, -1, 0, 0, -1, 0, -1, 0, 0, -1, -1, 0}},
        {"aug", {0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1}},
        {"dim", {0, 0, -1, 0, -1, 0, 0, 0, -1, 0, 0, -1}},
        {"invert", {-1, -3, -5, -7, 3, 1, -1, -3, -5, -7, 3, 1}},
    };
    for (const auto& row : rows)
        for (int key = 0; key >= -11; --key)
            for (int note = 24; note < 100; ++note)
            {
                const int degree = (note + key) % 12;
                EXPECT_EQ(Transform(note, row.mode, key), note + row.step[degree])
                    << row.mode << " key " << key << " note " << note;
            }
}

TEST(NoteTransform, DrumChannelNeverMoves)
{
    for (const char* mode : {"major", "minor", "aug", "dim", "invert"})
        for (int note = 0; note < 256; ++note)
            EXPECT_EQ(Transform(note, mode, -3, kDrumChannel), note) << mode << " " << note;
    // Channels 8 and 10 are ordinary instruments.
    EXPECT_EQ(Transform(61, "major", 0, 8), 60);
    EXPECT_EQ(Transform(61, "major", 0, 10), 60);
}

TEST(NoteTransform, OnlyTheExactModeNamesConvert)
{
    for (const char* mode : {"Non convert", "", "Major", "major ", " minor", "INVERT", "inv"})
        for (int note = 0; note < 256; ++note)
            EXPECT_EQ(Transform(note, mode, -5), note) << "'" << mode << "' " << note;
}

TEST(NoteTransform, ResultsOutsideTheMidiRangeFoldByOctaves)
{
    EXPECT_EQ(Transform(0, "invert", 0), 11);
    EXPECT_EQ(Transform(1, "invert", 0), 10);
    EXPECT_EQ(Transform(125, "invert", -1), 116);
    for (const char* mode : {"major", "minor", "aug", "dim", "invert"})
        for (int key = 0; key >= -11; --key)
            for (int note = 0; note < 128; ++note)
            {
                const int moved = Transform(note, mode, key);
                ASSERT_LE(moved, 127) << mode << " key " << key << " note " << note;
                const int expected = note + NoteStep(ModeFromText(mode), (note + key) % 12);
                EXPECT_EQ((moved - expected) % 12, 0) << "pitch class lost for " << note;
            }
}

TEST(NoteTransform, InvertTwiceKeepsThePitchClass)
{
    for (int key = 0; key >= -11; --key)
        for (int note = 15; note <= 124; ++note)
        {
            const int twice = Transform(Transform(note, "invert", key), "invert", key);
            const int degree = (note + key) % 12;
            const bool comesBackLower = degree == 2 || degree == 3 || degree == 8 || degree == 9;
            EXPECT_EQ(twice, comesBackLower ? note - 12 : note)
                << "key " << key << " note " << note;
        }
}

TEST(NoteTransform, TableMatchesTheSingleNoteRule)
{
    for (const char* mode : {"Non convert", "major", "minor", "aug", "dim", "invert"})
        for (int key : {0, -1, -6, -11})
        {
            const NoteTable table = MakeNoteTable(ModeFromText(mode), key);
            for (int note = 0; note < 256; ++note)
                EXPECT_EQ(table[note], Transform(note, mode, key)) << mode << " " << note;
        }
}
