#pragma once
// The program's musical rule: one note number moved onto the scale that a conversion mode names,
// counted from a key, or mirrored within the octave by "invert". Drums are never moved.

#include <array>
#include <cstdint>
#include <string>

// The mode texts are compared whole and case-sensitively; any other text converts nothing.
enum class ConversionMode
{
    None,
    Major,
    Minor,
    Aug,
    Dim,
    Invert,
};

// MIDI channel 10, counted from 0.
constexpr int kDrumChannel = 9;

ConversionMode ModeFromText(const std::string& text);

// The semitones that `mode` adds to a note whose degree above the key is `degree` (-11 to 11;
// a negative degree only occurs for notes below the key's offset).
int NoteStep(ConversionMode mode, int degree);

// The new value of one note byte. A result outside 0..127 is folded by octaves into 0..127,
// keeping its pitch class; a note that does not move is returned as it was, whatever its value.
std::uint8_t TransformedNote(std::uint8_t note, ConversionMode mode, int keyOffset);

// Changes the note byte at `note` in place, unless `channel` is the drum channel.
void TransformNote(std::uint8_t* note, int channel, const std::string& mode, int keyOffset);

// The transform of every possible note byte for one mode and key, worked out once per walk so
// that the walk itself is a table look-up.
using NoteTable = std::array<std::uint8_t, 256>;
NoteTable MakeNoteTable(ConversionMode mode, int keyOffset);
