#pragma once
// Draws the piano roll of a conversion with cairo: time across, pitch up, a keyboard at the left
// edge, a time ruler on top, the drum channel in a lane of its own at the bottom. The window and
// the converter's --picture share this one painter, so a picture shows what the window shows.

#include <string>

#include "piano_roll_model.h"

typedef struct _cairo cairo_t;

// Which part of the song a roll of a given size in pixels shows.
struct CRollViewport
{
    double dFirstSecond = 0;       // the time at the left edge of the notes
    double dPixelsPerSecond = 100; // the horizontal zoom
    int nLowNote = 21;             // the lowest and highest pitch rows shown
    int nHighNote = 108;
    double dPlayhead = -1;  // seconds; below 0 no playhead is drawn
    double dTotal = 0;      // the song's length, shown beside the playhead's time
    std::string strCaption; // UTF-8, drawn in the ruler (the moved-note count)
};

class CPianoRollPainter
{
public:
    static constexpr int kKeyboardWidth = 44;
    static constexpr int kRulerHeight = 22;
    static constexpr int kDrumLaneHeight = 28;
    static constexpr double kMinPixelsPerSecond = 0.5;
    static constexpr double kMaxPixelsPerSecond = 4000;

    // The view that shows the whole song and every pitch it uses in `width` x `height` pixels.
    static CRollViewport FitAll(const CPianoRollModel& model, int width, int height);

    // Paints the whole `width` x `height` area; notes outside the view are never visited.
    static void Paint(cairo_t* cr, int width, int height, const CPianoRollModel& model,
                      const CRollViewport& view);

    // The time under the horizontal pixel `x`, and the pixel of a time.
    static double SecondsAtX(const CRollViewport& view, double x);
    static double XAtSeconds(const CRollViewport& view, double seconds);
    static bool IsInRuler(double x, double y) { return y < kRulerHeight && x >= kKeyboardWidth; }

    // Zooms by `factor` around the time under pixel `x`, within the zoom limits.
    static void ZoomAround(CRollViewport& view, double factor, double x);
    // Keeps the view's left edge between the song's start and its end.
    static void ClampScroll(CRollViewport& view, const CPianoRollModel& model, int width);
};

// For a program that draws once and ends: lets go of the font caches that cairo and fontconfig
// keep for the life of the process, so that a leak checker sees only the program's own memory.
// Nothing may be drawn afterwards.
void ReleaseDrawingCaches();

// Writes the roll as a PNG or, for a name ending in ".svg", an SVG picture, through the
// program's file writer. False, with `error` set, when the file could not be written.
bool WritePianoRollPicture(const CPianoRollModel& model, const CRollViewport& view,
                           const std::string& path, int width, int height, std::string& error);
