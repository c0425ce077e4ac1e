#pragma once
// Draws the piano roll of a conversion with cairo: time across, pitch up, a keyboard at the left
// edge, a time ruler on top, the drum channel in a lane of its own at the bottom. The window and
// the converter's --picture share this one painter, so a picture shows what the window shows.

#include <cstdint>
#include <string>
#include <vector>

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
    std::string strCaption; // UTF-8, drawn at the right of the header (the moved-note count)
    std::string strPrompt;  // UTF-8, drawn over an empty roll ("open a MIDI file")
    std::string strDrums;   // UTF-8, the drum lane's name beside the keyboard
    double dFontSize = 13;  // pixels: the labels' size, the menus' font size in the window
    // The ruler counts bars (from the song's tempo map and time signatures) rather than time;
    // a song in SMPTE time, or a view too far out for its beats, is counted in time anyway.
    bool bBars = true;
    // UTF-8, drawn above the keyboard: what the ruler counts, bars or time.
    std::string strBarsUnit;
    std::string strTimeUnit;
};

// One tick of the ruler and its grid line: its place and time, and the text drawn there (a bar
// number or a time; empty where no text fits).
struct CRulerLabel
{
    double dX = 0;       // the tick's pixel; the text starts a little to its right
    double dSeconds = 0; // the tick's time
    double dWidth = 0;   // the text's width in pixels
    bool bStrong = true; // a bar or a time step; false for a beat inside a bar
    bool bBar = false;   // a tick of the bar ruler: the text is a bar number
    std::string strText;
};

// An sRGB colour, each part 0..1.
struct CRollColour
{
    double r, g, b;
};

// The note area as last painted, kept by a window that paints the same view again and again
// (every step of the playhead, every expose): when neither the song, its key nor the view has
// changed, the notes are not walked again. Zoomed out on a long song they are millions.
class CRollLayerCache
{
public:
    CRollLayerCache() = default;
    ~CRollLayerCache();
    CRollLayerCache(const CRollLayerCache&) = delete;
    CRollLayerCache& operator=(const CRollLayerCache&) = delete;

private:
    friend class CPianoRollPainter;
    struct Key
    {
        const CPianoRollModel* pModel = nullptr;
        std::uint64_t nRevision = 0;
        int nWidth = 0, nHeight = 0, nLow = 0, nHigh = 0;
        double dFirst = 0, dPixelsPerSecond = 0, dFontSize = 0;
        bool bBars = false;
        std::string strPrompt;
        bool operator==(const Key& other) const;
    };
    Key m_key;
    struct _cairo_surface* m_pSurface = nullptr;
};

class CPianoRollPainter
{
public:
    static constexpr int kKeyboardWidth = 56;
    static constexpr int kDrumLaneHeight = 28;
    // A whole day fits in a few hundred pixels; a single tick of a fast song at 960 ticks a
    // quarter (about 0.2 ms) is several pixels wide.
    static constexpr double kMinPixelsPerSecond = 1e-4;
    static constexpr double kMaxPixelsPerSecond = 1e5;

    // The header (time, key, moved-note count) and the ruler below it, in pixels, for the
    // view's font size.
    static int HeaderHeight(const CRollViewport& view);
    static int RulerTop(const CRollViewport& view) { return HeaderHeight(view); }
    static int RulerBottom(const CRollViewport& view);

    // The view that shows the whole song and every pitch it uses in `width` x `height` pixels.
    static CRollViewport FitAll(const CPianoRollModel& model, int width, int height);

    // Paints the whole `width` x `height` area; notes outside the view are never visited.
    static void Paint(cairo_t* cr, int width, int height, const CPianoRollModel& model,
                      const CRollViewport& view, CRollLayerCache* cache = nullptr);

    // The time under the horizontal pixel `x`, and the pixel of a time.
    static double SecondsAtX(const CRollViewport& view, double x);
    static double XAtSeconds(const CRollViewport& view, double seconds);
    static bool IsInRuler(const CRollViewport& view, double x, double y)
    {
        return y >= RulerTop(view) && y < RulerBottom(view) && x >= kKeyboardWidth;
    }
    // The corner above the keyboard, which names what the ruler counts.
    static bool IsInRulerCorner(const CRollViewport& view, double x, double y)
    {
        return y >= RulerTop(view) && y < RulerBottom(view) && x < kKeyboardWidth;
    }

    // The ruler's ticks for a roll `width` pixels wide, labels measured with `cr`'s font
    // machinery: each label names its tick's bar or time, and none overlaps another or runs
    // past the roll's edge.
    static std::vector<CRulerLabel>
    RulerLabels(cairo_t* cr, int width, const CPianoRollModel& model, const CRollViewport& view);
    // A time as the ruler writes it: m:ss, or h:mm:ss for a song of an hour or more, with
    // `decimals` digits of the second.
    static std::string TimeText(double seconds, int decimals, bool hours);

    // The colours of the notes of each channel, and of the rows they lie on (plain, black key,
    // the last conversion's scale, the drum lane).
    static CRollColour ChannelColour(int channel);
    static std::vector<CRollColour> RowColours();

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
