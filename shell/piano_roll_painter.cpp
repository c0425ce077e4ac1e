#include "piano_roll_painter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "piano_roll_picture.h"
#include "safe_writer.h"

namespace
{

struct Rgb
{
    double r, g, b;
};

// One colour per channel, far enough apart to tell neighbouring voices apart; channel 10 (the
// drums) gets grey.
constexpr Rgb kChannelColours[16] = {
    {0.12, 0.47, 0.71}, {0.85, 0.37, 0.01}, {0.17, 0.63, 0.17}, {0.84, 0.15, 0.16},
    {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.50, 0.50, 0.10},
    {0.09, 0.75, 0.81}, {0.40, 0.40, 0.40}, {0.00, 0.30, 0.55}, {0.70, 0.55, 0.00},
    {0.00, 0.50, 0.35}, {0.60, 0.10, 0.35}, {0.35, 0.20, 0.60}, {0.45, 0.60, 0.20},
};

// A label is at most this many pixels from the next on the ruler.
constexpr double kMinTickSpacing = 70;
constexpr const char* kFontFamily = "IPAPGothic";

bool IsBlackKey(int note)
{
    switch (note % 12)
    {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

void SetColour(cairo_t* cr, const Rgb& c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

std::string TimeText(double seconds)
{
    if (seconds < 0)
        seconds = 0;
    const long whole = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// The rows, in pixels, of the note area and the drum lane.
struct Layout
{
    double left, right, top, bottom; // the pitched notes
    double rowHeight;
    double drumTop, drumBottom; // equal when the song has no drums
};

Layout MakeLayout(int width, int height, const CPianoRollModel& model, const CRollViewport& view)
{
    Layout layout;
    layout.left = CPianoRollPainter::kKeyboardWidth;
    layout.right = std::max<double>(layout.left + 1, width);
    layout.top = CPianoRollPainter::kRulerHeight;
    layout.drumBottom = height;
    layout.drumTop = model.HasDrums() ? height - CPianoRollPainter::kDrumLaneHeight : height;
    layout.bottom = std::max(layout.top + 1, layout.drumTop);
    const int rows = std::max(1, view.nHighNote - view.nLowNote + 1);
    layout.rowHeight = (layout.bottom - layout.top) / rows;
    return layout;
}

double RowTop(const Layout& layout, const CRollViewport& view, int note)
{
    return layout.top + (view.nHighNote - note) * layout.rowHeight;
}

double TickStep(double pixelsPerSecond)
{
    static const double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800};
    for (double step : kSteps)
        if (step * pixelsPerSecond >= kMinTickSpacing)
            return step;
    return 3600;
}

void PaintRows(cairo_t* cr, const Layout& layout, const CPianoRollModel& model,
               const CRollViewport& view)
{
    cairo_set_source_rgb(cr, 0.98, 0.98, 0.97);
    cairo_rectangle(cr, layout.left, layout.top, layout.right - layout.left,
                    layout.bottom - layout.top);
    cairo_fill(cr);
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        const double y = RowTop(layout, view, note);
        if (model.HasScale() && model.IsScaleNote(note))
            cairo_set_source_rgb(cr, 0.88, 0.93, 0.85);
        else if (IsBlackKey(note))
            cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
        else
            continue;
        cairo_rectangle(cr, layout.left, y, layout.right - layout.left, layout.rowHeight);
        cairo_fill(cr);
    }
    // A line under every C marks the octaves.
    cairo_set_source_rgb(cr, 0.80, 0.80, 0.80);
    cairo_set_line_width(cr, 1);
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        if (note % 12 != 0)
            continue;
        const double y = std::floor(RowTop(layout, view, note) + layout.rowHeight) + 0.5;
        cairo_move_to(cr, layout.left, y);
        cairo_line_to(cr, layout.right, y);
    }
    cairo_stroke(cr);
    if (layout.drumBottom > layout.drumTop)
    {
        cairo_set_source_rgb(cr, 0.92, 0.91, 0.89);
        cairo_rectangle(cr, layout.left, layout.drumTop, layout.right - layout.left,
                        layout.drumBottom - layout.drumTop);
        cairo_fill(cr);
    }
}

void PaintGrid(cairo_t* cr, const Layout& layout, const CRollViewport& view, double from, double to)
{
    const double step = TickStep(view.dPixelsPerSecond);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.08);
    cairo_set_line_width(cr, 1);
    for (double t = std::floor(from / step) * step; t <= to; t += step)
    {
        const double x = std::floor(CPianoRollPainter::XAtSeconds(view, t)) + 0.5;
        if (x < layout.left)
            continue;
        cairo_move_to(cr, x, layout.top);
        cairo_line_to(cr, x, layout.drumBottom);
    }
    cairo_stroke(cr);
}

// A note's rows, whole pixels: boxes on whole pixels take cairo's quick way, and they are
// what the eye sees anyway.
void RowSpan(const Layout& layout, const CRollViewport& view, int note, double& y, double& h)
{
    y = std::round(RowTop(layout, view, note));
    const double next = std::round(RowTop(layout, view, note - 1));
    h = std::max(1.0, next - y - (next - y > 4 ? 1 : 0));
}

// A note's columns, whole pixels and at least one: notes that share their pixels are recognised
// as hidden behind the one painted first.
void PixelSpan(const CRollViewport& view, const CRollNote& note, double& x0, double& x1)
{
    x0 = std::floor(CPianoRollPainter::XAtSeconds(view, note.dStart));
    x1 = std::max(x0 + 1, std::ceil(CPianoRollPainter::XAtSeconds(view, note.dEnd)));
}

void PaintNotes(cairo_t* cr, const Layout& layout, const CPianoRollModel& model,
                const CRollViewport& view, double from, double to)
{
    const auto [first, last] = model.VisibleRange(from, to);
    const auto& notes = model.Notes();
    // Zoomed out, many notes fall on the same pixels of a row: each row remembers how far right
    // it is already painted, and a note hidden there is skipped. Starts only grow along the
    // list, so this keeps a long song's overview to about one rectangle per pixel.
    std::vector<double> paintedTo(128, -1e300);
    std::vector<double> markedTo(128, -1e300);

    // Shapes are gathered by channel and kind and filled in a few strokes: one cairo call per
    // note would cost more than the notes themselves.
    struct Box
    {
        double x, y, w, h;
    };
    struct Shapes
    {
        std::vector<Box> marks;   // where a moved note was
        std::vector<Box> links;   // from there to where it is, as a thin box
        std::vector<Box> bars[2]; // unmoved, moved
    };
    Shapes shapes[16];
    std::vector<Box> edges; // the dark edge of a moved note that is large enough to show it

    for (std::size_t i = first; i < last; ++i)
    {
        const CRollNote& note = notes[i];
        if (note.IsDrum())
            continue;
        double x0 = 0, x1 = 0;
        PixelSpan(view, note, x0, x1);
        if (x1 < layout.left)
            continue;
        Shapes& out = shapes[note.nChannel];
        const bool moved = note.IsMoved();
        if (moved && note.nOriginal >= view.nLowNote && note.nOriginal <= view.nHighNote &&
            x1 > markedTo[note.nOriginal])
        {
            const double y0 = RowTop(layout, view, note.nOriginal) + layout.rowHeight / 2;
            const double y1 = RowTop(layout, view, note.nNote) + layout.rowHeight / 2;
            out.links.push_back(
                {x0, std::round(std::min(y0, y1)), 1, std::round(std::abs(y1 - y0))});
            const double from0 = std::max(x0, markedTo[note.nOriginal]);
            markedTo[note.nOriginal] = x1;
            double y = 0, h = 0;
            RowSpan(layout, view, note.nOriginal, y, h);
            out.marks.push_back({from0, y, x1 - from0, h});
        }
        if (note.nNote < view.nLowNote || note.nNote > view.nHighNote ||
            x1 <= paintedTo[note.nNote])
            continue;
        x0 = std::max(x0, paintedTo[note.nNote]);
        paintedTo[note.nNote] = x1;
        double y = 0, h = 0;
        RowSpan(layout, view, note.nNote, y, h);
        out.bars[moved ? 1 : 0].push_back({x0, y, x1 - x0, h});
        // A dark edge tells a moved note from an unmoved one of the same channel.
        if (moved && x1 - x0 >= 4 && h >= 4)
            edges.push_back({x0 + 0.5, y + 0.5, x1 - x0 - 1, h - 1});
    }

    auto fill = [cr](const std::vector<Box>& boxes)
    {
        if (boxes.empty())
            return;
        for (const Box& box : boxes)
            cairo_rectangle(cr, box.x, box.y, box.w, box.h);
        cairo_fill(cr);
    };
    // The faint marks and the lines go under every bar.
    for (int channel = 0; channel < 16; ++channel)
    {
        SetColour(cr, kChannelColours[channel], 0.22);
        fill(shapes[channel].marks);
        SetColour(cr, kChannelColours[channel], 0.6);
        fill(shapes[channel].links);
    }
    for (int channel = 0; channel < 16; ++channel)
    {
        SetColour(cr, kChannelColours[channel], 0.85);
        fill(shapes[channel].bars[0]);
        SetColour(cr, kChannelColours[channel], 1.0);
        fill(shapes[channel].bars[1]);
    }
    if (!edges.empty())
    {
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_set_line_width(cr, 1);
        for (const Box& box : edges)
            cairo_rectangle(cr, box.x, box.y, box.w, box.h);
        cairo_stroke(cr);
    }

    if (layout.drumBottom <= layout.drumTop)
        return;
    // Drums: one tick per hit, the pitch (which instrument) as the height in the lane.
    // A hit on a pixel where the same instrument was already drawn adds nothing.
    std::vector<double> drumTo(128, -1e300);
    const double laneHeight = layout.drumBottom - layout.drumTop - 4;
    SetColour(cr, kChannelColours[kDrumChannel]);
    for (std::size_t i = first; i < last; ++i)
    {
        const CRollNote& note = notes[i];
        if (!note.IsDrum())
            continue;
        const double x = std::floor(CPianoRollPainter::XAtSeconds(view, note.dStart));
        if (x < layout.left || x <= drumTo[note.nNote])
            continue;
        drumTo[note.nNote] = x + 1;
        const double y = layout.drumTop + 2 + laneHeight * (1.0 - note.nNote / 127.0);
        cairo_rectangle(cr, x, y - 2, 2, 4);
    }
    cairo_fill(cr);
}

void PaintKeyboard(cairo_t* cr, const Layout& layout, const CRollViewport& view)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, layout.top, layout.left, layout.drumBottom - layout.top);
    cairo_fill(cr);
    cairo_set_font_size(cr, std::clamp(layout.rowHeight * 1.1, 7.0, 11.0));
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        const double y = RowTop(layout, view, note);
        if (IsBlackKey(note))
        {
            cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
            cairo_rectangle(cr, 0, y, layout.left * 0.6, layout.rowHeight);
            cairo_fill(cr);
        }
        if (note % 12 == 0)
        {
            char label[16];
            std::snprintf(label, sizeof label, "C%d", note / 12 - 1);
            cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
            cairo_move_to(cr, layout.left * 0.62, y + layout.rowHeight);
            cairo_show_text(cr, label);
            cairo_move_to(cr, 0, std::floor(y + layout.rowHeight) + 0.5);
            cairo_line_to(cr, layout.left, std::floor(y + layout.rowHeight) + 0.5);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
        }
    }
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_move_to(cr, layout.left - 0.5, layout.top);
    cairo_line_to(cr, layout.left - 0.5, layout.drumBottom);
    cairo_stroke(cr);
}

void PaintRuler(cairo_t* cr, const Layout& layout, const CRollViewport& view, double from,
                double to)
{
    cairo_set_source_rgb(cr, 0.90, 0.90, 0.92);
    cairo_rectangle(cr, 0, 0, layout.right, layout.top);
    cairo_fill(cr);
    cairo_set_font_size(cr, 11);
    const double step = TickStep(view.dPixelsPerSecond);
    cairo_set_source_rgb(cr, 0.25, 0.25, 0.3);
    cairo_set_line_width(cr, 1);
    for (double t = std::floor(from / step) * step; t <= to; t += step)
    {
        const double x = std::floor(CPianoRollPainter::XAtSeconds(view, t)) + 0.5;
        if (x < layout.left)
            continue;
        cairo_move_to(cr, x, layout.top - 6);
        cairo_line_to(cr, x, layout.top);
        cairo_stroke(cr);
        char label[32];
        if (step < 1)
            std::snprintf(label, sizeof label, "%s.%d", TimeText(t).c_str(),
                          static_cast<int>(std::lround(t * 10)) % 10);
        else
            std::snprintf(label, sizeof label, "%s", TimeText(t).c_str());
        cairo_move_to(cr, x + 3, layout.top - 8);
        cairo_show_text(cr, label);
    }
    if (!view.strCaption.empty())
    {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, view.strCaption.c_str(), &extents);
        const double x = layout.right - extents.x_advance - 8;
        cairo_set_source_rgba(cr, 0.90, 0.90, 0.92, 0.9);
        cairo_rectangle(cr, x - 4, 0, extents.x_advance + 12, layout.top - 1);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, x, layout.top - 7);
        cairo_show_text(cr, view.strCaption.c_str());
    }
    // The corner above the keyboard: where the song is, of how long.
    cairo_set_source_rgb(cr, 0.82, 0.82, 0.86);
    cairo_rectangle(cr, 0, 0, layout.left, layout.top);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_font_size(cr, 9);
    const std::string now = TimeText(std::max(0.0, view.dPlayhead));
    cairo_move_to(cr, 2, 10);
    cairo_show_text(cr, now.c_str());
    const std::string total = "/" + TimeText(view.dTotal);
    cairo_move_to(cr, 2, 20);
    cairo_show_text(cr, total.c_str());
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_move_to(cr, 0, layout.top - 0.5);
    cairo_line_to(cr, layout.right, layout.top - 0.5);
    cairo_stroke(cr);
}

} // namespace

double CPianoRollPainter::SecondsAtX(const CRollViewport& view, double x)
{
    return view.dFirstSecond + (x - kKeyboardWidth) / view.dPixelsPerSecond;
}

double CPianoRollPainter::XAtSeconds(const CRollViewport& view, double seconds)
{
    return kKeyboardWidth + (seconds - view.dFirstSecond) * view.dPixelsPerSecond;
}

CRollViewport CPianoRollPainter::FitAll(const CPianoRollModel& model, int width, int)
{
    CRollViewport view;
    const double span = std::max(1.0, model.TotalSeconds());
    view.dPixelsPerSecond =
        std::clamp((width - kKeyboardWidth - 8) / span, kMinPixelsPerSecond, kMaxPixelsPerSecond);
    view.dTotal = model.TotalSeconds();
    if (model.LowestNote() >= 0)
    {
        // A little room above and below, and never fewer than two octaves of rows.
        view.nLowNote = std::max(0, model.LowestNote() - 2);
        view.nHighNote = std::min(127, model.HighestNote() + 2);
        while (view.nHighNote - view.nLowNote < 24)
        {
            view.nLowNote = std::max(0, view.nLowNote - 1);
            view.nHighNote = std::min(127, view.nHighNote + 1);
        }
    }
    return view;
}

void CPianoRollPainter::ZoomAround(CRollViewport& view, double factor, double x)
{
    const double anchor = SecondsAtX(view, x);
    view.dPixelsPerSecond =
        std::clamp(view.dPixelsPerSecond * factor, kMinPixelsPerSecond, kMaxPixelsPerSecond);
    view.dFirstSecond = anchor - (x - kKeyboardWidth) / view.dPixelsPerSecond;
}

void CPianoRollPainter::ClampScroll(CRollViewport& view, const CPianoRollModel& model, int width)
{
    const double visible = (width - kKeyboardWidth) / view.dPixelsPerSecond;
    const double latest = std::max(0.0, model.TotalSeconds() - visible * 0.5);
    view.dFirstSecond = std::clamp(view.dFirstSecond, 0.0, latest);
}

void CPianoRollPainter::Paint(cairo_t* cr, int width, int height, const CPianoRollModel& model,
                              const CRollViewport& view)
{
    cairo_save(cr);
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const Layout layout = MakeLayout(width, height, model, view);
    const double from = SecondsAtX(view, layout.left);
    const double to = SecondsAtX(view, layout.right);

    cairo_save(cr);
    cairo_rectangle(cr, layout.left, layout.top, layout.right - layout.left,
                    layout.drumBottom - layout.top);
    cairo_clip(cr);
    PaintRows(cr, layout, model, view);
    PaintGrid(cr, layout, view, from, to);
    PaintNotes(cr, layout, model, view, from, to);
    cairo_restore(cr);

    PaintKeyboard(cr, layout, view);
    PaintRuler(cr, layout, view, from, to);

    if (view.dPlayhead >= 0)
    {
        const double x = std::floor(XAtSeconds(view, view.dPlayhead)) + 0.5;
        if (x >= layout.left && x <= layout.right)
        {
            cairo_set_source_rgb(cr, 0.85, 0.05, 0.05);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, x, 0);
            cairo_line_to(cr, x, layout.drumBottom);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

void ReleaseDrawingCaches()
{
    cairo_debug_reset_static_data();
    FcFini();
}

namespace
{

// Cairo hands the encoded picture over in pieces; the first failure of the file stops it.
struct SPictureSink
{
    CSafeWriter file;
    std::string strError;
};

cairo_status_t WritePicturePiece(void* closure, const unsigned char* data, unsigned int length)
{
    auto* sink = static_cast<SPictureSink*>(closure);
    try
    {
        sink->file.Write(data, length);
    }
    catch (const CFileException& error)
    {
        sink->strError = error.GetReason();
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

bool WritePianoRollPicture(const CPianoRollModel& model, const CRollViewport& view,
                           const std::string& path, int width, int height, std::string& error)
{
    bool svg = false;
    IsPictureFileName(path, svg);
    SPictureSink sink;
    try
    {
        sink.file.Open(path);
    }
    catch (const CFileException& failure)
    {
        error = failure.GetReason();
        return false;
    }
    // An SVG goes out as it is drawn; a PNG is drawn whole, then encoded into the file.
    cairo_surface_t* surface =
        svg ? cairo_svg_surface_create_for_stream(WritePicturePiece, &sink, width, height)
            : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    CPianoRollPainter::Paint(cr, width, height, model, view);
    cairo_destroy(cr);
    cairo_status_t status = CAIRO_STATUS_SUCCESS;
    if (svg)
    {
        cairo_surface_finish(surface);
        status = cairo_surface_status(surface);
    }
    else
        status = cairo_surface_write_to_png_stream(surface, WritePicturePiece, &sink);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
    {
        error = !sink.strError.empty() ? sink.strError : cairo_status_to_string(status);
        return false;
    }
    try
    {
        sink.file.Commit();
    }
    catch (const CFileException& failure)
    {
        error = failure.GetReason();
        return false;
    }
    return true;
}
