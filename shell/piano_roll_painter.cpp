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

using Rgb = CRollColour;

// One colour per channel, far enough apart to tell neighbouring voices apart and dark enough to
// stand out at 3:1 or more (the WCAG ratio) from every row colour below; channel 10 (the drums)
// gets grey.
constexpr Rgb kChannelColours[16] = {
    {0.12, 0.47, 0.71}, {0.80, 0.33, 0.00}, {0.10, 0.52, 0.10}, {0.84, 0.15, 0.16},
    {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.78, 0.26, 0.60}, {0.50, 0.50, 0.10},
    {0.00, 0.50, 0.58}, {0.40, 0.40, 0.40}, {0.00, 0.30, 0.55}, {0.60, 0.45, 0.00},
    {0.00, 0.50, 0.35}, {0.60, 0.10, 0.35}, {0.35, 0.20, 0.60}, {0.33, 0.48, 0.10},
};
constexpr Rgb kPlainRow = {0.98, 0.98, 0.97};
constexpr Rgb kBlackKeyRow = {0.93, 0.93, 0.93};
constexpr Rgb kScaleRow = {0.88, 0.93, 0.85};
constexpr Rgb kDrumLane = {0.92, 0.91, 0.89};

// The least room between two ruler ticks, and between a label's end and the next tick.
constexpr double kMinTickSpacing = 60;
constexpr double kLabelGap = 10;
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

double TextWidth(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
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
    layout.top = CPianoRollPainter::RulerBottom(view);
    layout.drumBottom = std::max<double>(layout.top + 1, height);
    layout.drumTop =
        model.HasDrums()
            ? std::max(layout.top, layout.drumBottom - CPianoRollPainter::kDrumLaneHeight)
            : layout.drumBottom;
    layout.bottom = std::max(layout.top + 1, layout.drumTop);
    const int rows = std::max(1, view.nHighNote - view.nLowNote + 1);
    layout.rowHeight = (layout.bottom - layout.top) / rows;
    return layout;
}

double RowTop(const Layout& layout, const CRollViewport& view, int note)
{
    return layout.top + (view.nHighNote - note) * layout.rowHeight;
}

// Steps of the time ruler, in seconds, from a millisecond (single ticks) to a day.
constexpr double kTimeSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,   0.5,
                                 1,     2,     5,     10,   15,   30,    60,    120,   300,
                                 600,   900,   1800,  3600, 7200, 10800, 21600, 43200, 86400};

int DecimalsFor(double step)
{
    return step < 0.01 ? 3 : step < 0.1 ? 2 : step < 1 ? 1 : 0;
}

// The ruler's step and the decimals its labels need: the smallest step whose labels, at their
// widest (the song's end), leave room between them.
double TimeStep(cairo_t* cr, const CRollViewport& view, int& decimals)
{
    const bool hours = view.dTotal >= 3600;
    for (double step : kTimeSteps)
    {
        const int digits = DecimalsFor(step);
        const double room = step * view.dPixelsPerSecond;
        if (room < kMinTickSpacing)
            continue;
        const double widest =
            TextWidth(cr, CPianoRollPainter::TimeText(std::max(view.dTotal, 59.0), digits, hours));
        if (room >= widest + kLabelGap)
        {
            decimals = digits;
            return step;
        }
    }
    decimals = 0;
    return kTimeSteps[std::size(kTimeSteps) - 1];
}

// The index range of the multiples of `step` between `from` and `to` seconds (the grid never
// accumulates a step, so the hundredth tick is at exactly 100 steps).
std::pair<long long, long long> StepRange(double from, double to, double step)
{
    return {static_cast<long long>(std::floor(std::max(0.0, from) / step)),
            static_cast<long long>(std::ceil(std::max(0.0, to) / step))};
}

void PaintRows(cairo_t* cr, const Layout& layout, const CPianoRollModel& model,
               const CRollViewport& view)
{
    SetColour(cr, kPlainRow);
    cairo_rectangle(cr, layout.left, layout.top, layout.right - layout.left,
                    layout.bottom - layout.top);
    cairo_fill(cr);
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        const double y = RowTop(layout, view, note);
        if (model.HasScale() && model.IsScaleNote(note))
            SetColour(cr, kScaleRow);
        else if (IsBlackKey(note))
            SetColour(cr, kBlackKeyRow);
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
        SetColour(cr, kDrumLane);
        cairo_rectangle(cr, layout.left, layout.drumTop, layout.right - layout.left,
                        layout.drumBottom - layout.drumTop);
        cairo_fill(cr);
    }
}

void PaintGrid(cairo_t* cr, const Layout& layout, const std::vector<CRulerLabel>& ticks)
{
    // Bars (or time steps) stronger than the beats between them.
    cairo_set_line_width(cr, 1);
    for (bool strong : {false, true})
    {
        cairo_set_source_rgba(cr, 0, 0, 0, strong ? 0.16 : 0.06);
        for (const CRulerLabel& tick : ticks)
        {
            if (tick.bStrong != strong)
                continue;
            const double x = std::floor(tick.dX) + 0.5;
            cairo_move_to(cr, x, layout.top);
            cairo_line_to(cr, x, layout.drumBottom);
        }
        cairo_stroke(cr);
    }
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
// as hidden behind the one painted first. Cut to a little beyond the note area: zoomed in to
// single ticks, a long note's far end lies further out than cairo's coordinates reach.
void PixelSpan(const Layout& layout, const CRollViewport& view, const CRollNote& note, double& x0,
               double& x1)
{
    x0 = std::floor(CPianoRollPainter::XAtSeconds(view, note.dStart));
    x1 = std::max(x0 + 1, std::ceil(CPianoRollPainter::XAtSeconds(view, note.dEnd)));
    x0 = std::max(x0, layout.left - 2);
    x1 = std::min(x1, layout.right + 2);
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
        PixelSpan(layout, view, note, x0, x1);
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
    // Where a moved note was is an outline (a hollow box, where notes are solid), with the line
    // to where it went, under every bar.
    cairo_set_line_width(cr, 1);
    for (int channel = 0; channel < 16; ++channel)
    {
        const auto& marks = shapes[channel].marks;
        if (!marks.empty())
        {
            SetColour(cr, kChannelColours[channel], 0.12);
            fill(marks);
            SetColour(cr, kChannelColours[channel], 0.9);
            for (const Box& box : marks)
            {
                if (box.w >= 3 && box.h >= 3)
                    cairo_rectangle(cr, box.x + 0.5, box.y + 0.5, box.w - 1, box.h - 1);
                else
                    cairo_rectangle(cr, box.x, box.y + box.h / 2 - 0.5, box.w, 1);
            }
            cairo_stroke(cr);
        }
        SetColour(cr, kChannelColours[channel], 0.6);
        fill(shapes[channel].links);
    }
    for (int channel = 0; channel < 16; ++channel)
    {
        SetColour(cr, kChannelColours[channel]);
        fill(shapes[channel].bars[0]);
        fill(shapes[channel].bars[1]);
    }
    if (!edges.empty())
    {
        cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
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
        if (x < layout.left || x > layout.right || x <= drumTo[note.nNote])
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
    const double blackWidth = std::round(layout.left * 0.5);
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        if (!IsBlackKey(note))
            continue;
        cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
        cairo_rectangle(cr, 0, RowTop(layout, view, note), blackWidth, layout.rowHeight);
        cairo_fill(cr);
    }
    // Every C is named, at the menus' size whatever the rows' height: an octave is twelve rows,
    // room enough for one label even when a row is a pixel high.
    cairo_set_font_size(cr, view.dFontSize);
    cairo_set_line_width(cr, 1);
    for (int note = view.nLowNote; note <= view.nHighNote; ++note)
    {
        if (note % 12 != 0)
            continue;
        const double y = RowTop(layout, view, note);
        const double line = std::floor(y + layout.rowHeight) + 0.5;
        cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
        cairo_move_to(cr, 0, line);
        cairo_line_to(cr, layout.left, line);
        cairo_stroke(cr);
        char label[16];
        std::snprintf(label, sizeof label, "C%d", note / 12 - 1);
        const double baseline =
            std::clamp(line - 2, layout.top + view.dFontSize, std::max(layout.top, layout.bottom));
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, layout.left - 3 - TextWidth(cr, label), baseline);
        cairo_show_text(cr, label);
    }
    if (layout.drumBottom > layout.drumTop && !view.strDrums.empty())
    {
        SetColour(cr, kDrumLane);
        cairo_rectangle(cr, 0, layout.drumTop, layout.left, layout.drumBottom - layout.drumTop);
        cairo_fill(cr);
        // The lane's name at the menus' size where it fits the keyboard's width, smaller
        // otherwise.
        double size = view.dFontSize;
        cairo_set_font_size(cr, size);
        const double width = TextWidth(cr, view.strDrums);
        if (width > layout.left - 4)
        {
            size = size * (layout.left - 4) / width;
            cairo_set_font_size(cr, size);
        }
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, 2, (layout.drumTop + layout.drumBottom) / 2 + size * 0.35);
        cairo_show_text(cr, view.strDrums.c_str());
    }
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_move_to(cr, layout.left - 0.5, layout.top);
    cairo_line_to(cr, layout.left - 0.5, layout.drumBottom);
    cairo_stroke(cr);
}

void PaintRuler(cairo_t* cr, const Layout& layout, const CRollViewport& view,
                const std::vector<CRulerLabel>& labels)
{
    const double top = CPianoRollPainter::RulerTop(view);
    cairo_set_source_rgb(cr, 0.90, 0.90, 0.92);
    cairo_rectangle(cr, 0, top, layout.right, layout.top - top);
    cairo_fill(cr);
    cairo_set_font_size(cr, view.dFontSize);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.2);
    cairo_set_line_width(cr, 1);
    for (const CRulerLabel& label : labels)
    {
        const double x = std::floor(label.dX) + 0.5;
        cairo_move_to(cr, x, layout.top - (label.bStrong ? 6 : 3));
        cairo_line_to(cr, x, layout.top);
        cairo_stroke(cr);
        if (label.strText.empty())
            continue;
        cairo_move_to(cr, x + 3, layout.top - 6);
        cairo_show_text(cr, label.strText.c_str());
    }
    const std::string& unit =
        !labels.empty() && labels.front().bBar ? view.strBarsUnit : view.strTimeUnit;
    if (!unit.empty())
    {
        cairo_set_source_rgb(cr, 0.82, 0.82, 0.86);
        cairo_rectangle(cr, 0, top, layout.left, layout.top - top);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, 3, layout.top - 6);
        cairo_show_text(cr, unit.c_str());
    }
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_move_to(cr, 0, layout.top - 0.5);
    cairo_line_to(cr, layout.right, layout.top - 0.5);
    cairo_stroke(cr);
}

// The header above the ruler: where the song is and how long it is, the key and mode of the
// scale shown, and the moved-note count at the right. Each has its own place; what does not
// fit a narrow roll is left out rather than drawn over another.
void PaintHeader(cairo_t* cr, const Layout& layout, const CPianoRollModel& model,
                 const CRollViewport& view)
{
    const double height = CPianoRollPainter::HeaderHeight(view);
    cairo_set_source_rgb(cr, 0.82, 0.82, 0.86);
    cairo_rectangle(cr, 0, 0, layout.right, height);
    cairo_fill(cr);
    cairo_set_font_size(cr, view.dFontSize);
    const double baseline = std::round(height / 2 + view.dFontSize * 0.35);
    const bool hours = view.dTotal >= 3600;
    const std::string time = CPianoRollPainter::TimeText(std::max(0.0, view.dPlayhead), 0, hours) +
                             " / " + CPianoRollPainter::TimeText(view.dTotal, 0, hours);
    const double gap = 16;
    double right = layout.right - 6;
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    if (!view.strCaption.empty())
    {
        const double width = TextWidth(cr, view.strCaption);
        if (right - width >= 4)
        {
            cairo_move_to(cr, right - width, baseline);
            cairo_show_text(cr, view.strCaption.c_str());
            right -= width + gap;
        }
    }
    double x = 4;
    for (const std::string& text : {time, model.KeyCaption()})
    {
        if (text.empty())
            continue;
        const double width = TextWidth(cr, text);
        if (x + width > right)
            break;
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, text.c_str());
        x += width + gap;
    }
}

void PaintPrompt(cairo_t* cr, const Layout& layout, const CRollViewport& view)
{
    if (view.strPrompt.empty())
        return;
    cairo_set_font_size(cr, view.dFontSize * 1.2);
    const double width = TextWidth(cr, view.strPrompt);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_move_to(cr, std::max(layout.left + 4, (layout.left + layout.right - width) / 2),
                  (layout.top + layout.drumBottom) / 2);
    cairo_show_text(cr, view.strPrompt.c_str());
}

} // namespace

int CPianoRollPainter::HeaderHeight(const CRollViewport& view)
{
    return static_cast<int>(std::ceil(view.dFontSize * 1.6));
}

int CPianoRollPainter::RulerBottom(const CRollViewport& view)
{
    return HeaderHeight(view) + static_cast<int>(std::ceil(view.dFontSize + 10));
}

std::string CPianoRollPainter::TimeText(double seconds, int decimals, bool hours)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // Rounded once, in whole units of the last digit, so that 0.999 with one decimal reads
    // "0:01.0" and never "0:00.0".
    const long long units = std::llround(std::max(0.0, seconds) * double(scale));
    const long long whole = units / scale;
    char text[64];
    if (hours)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    std::string result = text;
    if (decimals > 0)
    {
        const std::string fraction = std::to_string(units % scale);
        result += '.' + std::string(std::size_t(decimals) - fraction.size(), '0') + fraction;
    }
    return result;
}

namespace
{

// Bars from the song's tempo map: a tick at every beat while beats are a few pixels apart, at
// every bar otherwise, a label at every bar, or every 2nd, 4th, ... as room allows. False when
// the view is too far out for the song's beats to be listed; the ruler then counts time.
bool BarTicks(cairo_t* cr, double left, double right, const CPianoRollModel& model,
              const CRollViewport& view, std::vector<CRulerLabel>& ticks)
{
    constexpr std::size_t kMaxBeats = 1 << 16;
    const CTempoMap& tempo = model.TempoMap();
    if (tempo.IsSmpte())
        return false;
    const double from = std::max(0.0, CPianoRollPainter::SecondsAtX(view, left));
    const double to = std::max(0.0, CPianoRollPainter::SecondsAtX(view, right));
    if (to * 1e6 > 9e18)
        return false;
    const std::vector<CMeterBeat> beats =
        tempo.BeatsBetween(std::int64_t(from * 1e6), std::int64_t(to * 1e6), kMaxBeats);
    if (beats.size() >= kMaxBeats || beats.empty())
        return false;
    std::size_t bars = 0;
    for (const CMeterBeat& beat : beats)
        bars += beat.IsBarStart() ? 1 : 0;
    const double span = std::max(1.0, right - left);
    const double beatSpacing = span / double(beats.size());
    const double barSpacing = span / double(std::max<std::size_t>(1, bars));
    if (barSpacing < 3)
        return false;
    const std::uint32_t last = beats.back().nBar;
    const double widest = TextWidth(cr, std::to_string(last)) + kLabelGap;
    std::uint32_t every = 1;
    while (barSpacing * every < widest && every < (1u << 30))
        every *= 2;
    double freeFrom = left;
    for (const CMeterBeat& beat : beats)
    {
        if (!beat.IsBarStart() && beatSpacing < 6)
            continue;
        CRulerLabel tick;
        tick.dSeconds = double(beat.nMicros) / 1e6;
        tick.dX = CPianoRollPainter::XAtSeconds(view, tick.dSeconds);
        tick.bStrong = beat.IsBarStart();
        tick.bBar = true;
        if (tick.dX < left || tick.dX > right)
            continue;
        if (tick.bStrong && (beat.nBar - 1) % every == 0)
        {
            const std::string text = std::to_string(beat.nBar);
            const double width = TextWidth(cr, text);
            if (tick.dX >= freeFrom && tick.dX + 3 + width <= right)
            {
                tick.strText = text;
                tick.dWidth = width;
                freeFrom = tick.dX + 3 + width + 2;
            }
        }
        ticks.push_back(std::move(tick));
    }
    return true;
}

} // namespace

std::vector<CRulerLabel> CPianoRollPainter::RulerLabels(cairo_t* cr, int width,
                                                        const CPianoRollModel& model,
                                                        const CRollViewport& view)
{
    cairo_save(cr);
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, view.dFontSize);
    const double left = kKeyboardWidth;
    const double right = std::max<double>(left + 1, width);
    std::vector<CRulerLabel> labels;
    if (view.bBars && BarTicks(cr, left, right, model, view, labels))
    {
        cairo_restore(cr);
        return labels;
    }
    int decimals = 0;
    const double step = TimeStep(cr, view, decimals);
    const bool hours = view.dTotal >= 3600;
    const auto [first, last] = StepRange(SecondsAtX(view, left), SecondsAtX(view, right), step);
    double freeFrom = left;
    for (long long i = first; i <= last; ++i)
    {
        CRulerLabel label;
        label.dSeconds = double(i) * step;
        label.dX = XAtSeconds(view, label.dSeconds);
        if (label.dX < left || label.dX > right)
            continue;
        const std::string text = TimeText(label.dSeconds, decimals, hours);
        const double textWidth = TextWidth(cr, text);
        // The text is drawn only where it fits whole, clear of the one before; the tick and
        // its grid line are drawn either way.
        if (label.dX >= freeFrom && label.dX + 3 + textWidth <= right)
        {
            label.strText = text;
            label.dWidth = textWidth;
            freeFrom = label.dX + 3 + textWidth + 2;
        }
        labels.push_back(std::move(label));
    }
    cairo_restore(cr);
    return labels;
}

CRollColour CPianoRollPainter::ChannelColour(int channel)
{
    return kChannelColours[channel & 15];
}

std::vector<CRollColour> CPianoRollPainter::RowColours()
{
    return {kPlainRow, kBlackKeyRow, kScaleRow, kDrumLane};
}

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
    view.dPixelsPerSecond = std::clamp(std::max(1, width - kKeyboardWidth - 8) / span,
                                       kMinPixelsPerSecond, kMaxPixelsPerSecond);
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

CRollLayerCache::~CRollLayerCache()
{
    if (m_pSurface != nullptr)
        cairo_surface_destroy(m_pSurface);
}

bool CRollLayerCache::Key::operator==(const Key& o) const
{
    return pModel == o.pModel && nRevision == o.nRevision && nWidth == o.nWidth &&
           nHeight == o.nHeight && nLow == o.nLow && nHigh == o.nHigh && dFirst == o.dFirst &&
           dPixelsPerSecond == o.dPixelsPerSecond && dFontSize == o.dFontSize && bBars == o.bBars &&
           strPrompt == o.strPrompt;
}

void CPianoRollPainter::Paint(cairo_t* cr, int width, int height, const CPianoRollModel& model,
                              const CRollViewport& view, CRollLayerCache* cache)
{
    cairo_save(cr);
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const Layout layout = MakeLayout(width, height, model, view);
    const double from = SecondsAtX(view, layout.left);
    const double to = SecondsAtX(view, layout.right);
    const std::vector<CRulerLabel> labels = RulerLabels(cr, width, model, view);

    const auto paintNoteArea = [&](cairo_t* target)
    {
        cairo_save(target);
        cairo_rectangle(target, layout.left, layout.top, layout.right - layout.left,
                        layout.drumBottom - layout.top);
        cairo_clip(target);
        PaintRows(target, layout, model, view);
        PaintGrid(target, layout, labels);
        PaintNotes(target, layout, model, view, from, to);
        PaintPrompt(target, layout, view);
        cairo_restore(target);
    };
    if (cache == nullptr)
        paintNoteArea(cr);
    else
    {
        CRollLayerCache::Key key;
        key.pModel = &model;
        key.nRevision = model.Revision();
        key.nWidth = width;
        key.nHeight = height;
        key.nLow = view.nLowNote;
        key.nHigh = view.nHighNote;
        key.dFirst = view.dFirstSecond;
        key.dPixelsPerSecond = view.dPixelsPerSecond;
        key.dFontSize = view.dFontSize;
        key.bBars = view.bBars;
        key.strPrompt = view.strPrompt;
        if (cache->m_pSurface == nullptr || !(cache->m_key == key))
        {
            if (cache->m_pSurface != nullptr)
                cairo_surface_destroy(cache->m_pSurface);
            // Like the target, so that a scaled screen keeps its sharpness.
            cache->m_pSurface = cairo_surface_create_similar(cairo_get_target(cr),
                                                             CAIRO_CONTENT_COLOR, width, height);
            cairo_t* layer = cairo_create(cache->m_pSurface);
            cairo_select_font_face(layer, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                                   CAIRO_FONT_WEIGHT_NORMAL);
            paintNoteArea(layer);
            cairo_destroy(layer);
            cache->m_key = key;
        }
        cairo_save(cr);
        cairo_rectangle(cr, layout.left, layout.top, layout.right - layout.left,
                        layout.drumBottom - layout.top);
        cairo_clip(cr);
        cairo_set_source_surface(cr, cache->m_pSurface, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    PaintKeyboard(cr, layout, view);
    PaintRuler(cr, layout, view, labels);
    PaintHeader(cr, layout, model, view);

    if (view.dPlayhead >= 0)
    {
        const double x = std::floor(XAtSeconds(view, view.dPlayhead)) + 0.5;
        if (x >= layout.left && x <= layout.right)
        {
            cairo_set_source_rgb(cr, 0.85, 0.05, 0.05);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, x, RulerTop(view));
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
