#include "note_transform.h"

namespace
{

// Degrees 0..11 that each scale mode lowers by a semitone.
constexpr std::array<bool, 12> kMajorLowered = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
constexpr std::array<bool, 12> kMinorLowered = {0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0};
constexpr std::array<bool, 12> kAugLowered = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
constexpr std::array<bool, 12> kDimLowered = {0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 1};

// "invert" maps degree d onto 11 - d.
constexpr std::array<int, 12> kInvertStep = {-1, -3, -5, -7, 3, 1, -1, -3, -5, -7, 3, 1};

int LoweredStep(const std::array<bool, 12>& lowered, int degree)
{
    return degree >= 0 && lowered[static_cast<std::size_t>(degree)] ? -1 : 0;
}

} // namespace

ConversionMode ModeFromText(const std::string& text)
{
    if (text == "major")
        return ConversionMode::Major;
    if (text == "minor")
        return ConversionMode::Minor;
    if (text == "aug")
        return ConversionMode::Aug;
    if (text == "dim")
        return ConversionMode::Dim;
    if (text == "invert")
        return ConversionMode::Invert;
    return ConversionMode::None;
}

int NoteStep(ConversionMode mode, int degree)
{
    switch (mode)
    {
    case ConversionMode::Major:
        return LoweredStep(kMajorLowered, degree);
    case ConversionMode::Minor:
        return LoweredStep(kMinorLowered, degree);
    case ConversionMode::Aug:
        return LoweredStep(kAugLowered, degree);
    case ConversionMode::Dim:
        return LoweredStep(kDimLowered, degree);
    case ConversionMode::Invert:
        return degree < 0 ? 1 : kInvertStep[static_cast<std::size_t>(degree)];
    case ConversionMode::None:
        break;
    }
    return 0;
}

std::uint8_t TransformedNote(std::uint8_t note, ConversionMode mode, int keyOffset)
{
    // C++ division truncates, so the degree takes the sign of note + keyOffset.
    const int degree = (note + keyOffset) % 12;
    const int step = NoteStep(mode, degree);
    if (step == 0)
        return note;
    int result = note + step;
    while (result > 127)
        result -= 12;
    while (result < 0)
        result += 12;
    return static_cast<std::uint8_t>(result);
}

void TransformNote(std::uint8_t* note, int channel, const std::string& mode, int keyOffset)
{
    if (channel == kDrumChannel)
        return;
    *note = TransformedNote(*note, ModeFromText(mode), keyOffset);
}

NoteTable MakeNoteTable(ConversionMode mode, int keyOffset)
{
    NoteTable table{};
    for (int note = 0; note < 256; ++note)
        table[static_cast<std::size_t>(note)] =
            TransformedNote(static_cast<std::uint8_t>(note), mode, keyOffset);
    return table;
}
