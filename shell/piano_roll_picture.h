#pragma once
// The converter's --picture: the piano roll of one conversion drawn into a PNG or SVG file. The
// drawing needs cairo and its fonts, which take longer to load than a conversion takes to run,
// so they live in a module of their own that is opened only when a picture is asked for.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr const char* kPictureModuleFile = "tarvel1_picture.so";
constexpr const char* kPictureModuleEntry = "Tarvel1DrawPianoRollPicture";

// A song and its conversion as plain bytes: `original` as read and `converted`, both `size`
// bytes (the song up to its last end-of-track), with the header's track count.
struct PictureSong
{
    const std::uint8_t* pOriginal;
    const std::uint8_t* pConverted;
    std::size_t nSize;
    int nTracks;
};

// The module's one entry: draws the roll of `song` as converted with `mode` and `keyOffset`,
// with `caption` in its corner, into `path`. On failure fills `error` (at most `errorSize`
// bytes, a terminated text) and returns false.
using PictureModuleEntry = bool (*)(const PictureSong& song, const char* mode, int keyOffset,
                                    const char* caption, const char* path, int width, int height,
                                    char* error, std::size_t errorSize);

// True when `path` ends in ".png" or ".svg" (any case); `svg` tells which.
inline bool IsPictureFileName(const std::string& path, bool& svg)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    svg = extension == "svg";
    return svg || extension == "png";
}

// Whether this build draws pictures at all (the Windows build has no cairo).
bool CanDrawPianoRollPicture();

// Opens the module once and draws; false with `error` set when it cannot be opened or drawing
// fails.
bool DrawPianoRollPicture(const PictureSong& song, const std::string& mode, int keyOffset,
                          const std::string& caption, const std::string& path, int width,
                          int height, std::string& error);
