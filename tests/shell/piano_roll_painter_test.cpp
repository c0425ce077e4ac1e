// The piano roll's painter without a window: the ruler's labels against their ticks' times, the
// zoom range for short and very long songs, and the legibility of the channel colours.

#include "piano_roll_painter.h"

#include <cmath>
#include <cstdio>

#include <cairo.h>
#include <gtest/gtest.h>

#include "smf_builder.h"

namespace
{

// "h:mm:ss.ddd" or "m:ss.ddd" back to seconds; -1 when the text is neither.
double ParseTime(const std::string& text, bool hours)
{
    long long a = 0, b = 0, c = 0;
    double fraction = 0;
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    if (dot != std::string::npos)
        fraction = std::stod("0" + text.substr(dot));
    char end = 0;
    if (hours)
    {
        if (std::sscanf(whole.c_str(), "%lld:%2lld:%2lld%c", &a, &b, &c, &end) != 3 || b > 59 ||
            c > 59)
            return -1;
        return double(a * 3600 + b * 60 + c) + fraction;
    }
    if (std::sscanf(whole.c_str(), "%lld:%2lld%c", &a, &b, &end) != 2 || b > 59)
        return -1;
    return double(a * 60 + b) + fraction;
}

// One quarter note at the start and one at `lastTick` (480 ticks a quarter, 120 a minute).
CPianoRollModel SongEndingAt(std::uint32_t lastTick)
{
    Bytes body = {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0};
    std::uint32_t delta = lastTick - 480;
    Bytes var;
    do
    {
        var.insert(var.begin(),
                   static_cast<std::uint8_t>((delta & 0x7F) | (var.empty() ? 0 : 0x80)));
        delta >>= 7;
    } while (delta != 0);
    body.insert(body.end(), var.begin(), var.end());
    body.insert(body.end(), {0x90, 72, 100, 0x83, 0x60, 0x80, 72, 0});
    body.insert(body.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    const Bytes song = MakeSmf({body});
    CPianoRollModel model;
    model.Build(song.data(), song.data(), song.size(), 1, ConversionMode::None, 0);
    return model;
}

double Luminance(const CRollColour& c)
{
    const auto linear = [](double v)
    { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

} // namespace

// A tenth of a second once read "0:00.0" after "0:00.9"; labels ran into each other and past the
// edge; long songs read "220:17". Every label must name its own tick, at every zoom.
TEST(PianoRollPainter, RulerLabelsNameTheirTicksFitAndNeverOverlap)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 4);
    cairo_t* cr = cairo_create(surface);
    constexpr int kWidth = 900;
    for (double total : {2.5, 75.0, 13217.0, 360000.0})
    {
        const bool hours = total >= 3600;
        for (double pps = CPianoRollPainter::kMinPixelsPerSecond;
             pps <= CPianoRollPainter::kMaxPixelsPerSecond; pps *= 2.7)
        {
            for (double start : {0.0, total / 3, total * 0.97})
            {
                CRollViewport view;
                view.dTotal = total;
                view.dPixelsPerSecond = pps;
                view.dFirstSecond = start;
                view.bBars = false;
                const auto labels =
                    CPianoRollPainter::RulerLabels(cr, kWidth, CPianoRollModel(), view);
                double freeFrom = CPianoRollPainter::kKeyboardWidth;
                int named = 0;
                for (const CRulerLabel& label : labels)
                {
                    EXPECT_NEAR(label.dX, CPianoRollPainter::XAtSeconds(view, label.dSeconds),
                                1e-6);
                    if (label.strText.empty())
                        continue;
                    ++named;
                    const double read = ParseTime(label.strText, hours);
                    EXPECT_NEAR(read, label.dSeconds, 5e-4)
                        << label.strText << " at " << pps << " px/s, total " << total;
                    EXPECT_GE(label.dX, freeFrom) << label.strText;
                    EXPECT_LE(label.dX + 3 + label.dWidth, kWidth) << label.strText;
                    freeFrom = label.dX + 3 + label.dWidth;
                }
                // A view that shows more than a few ticks names at least one of them.
                if (pps * total > 400)
                {
                    EXPECT_GT(named, 0) << pps << " px/s, total " << total;
                }
            }
        }
    }
    // Bars of real songs, from their tempo maps and time signatures: each number is the bar that
    // starts at its tick.
    for (const char* name : {"bossa.mid", "fanfare.mid", "round.mid"})
    {
        CTarvel1Doc doc;
        ASSERT_TRUE(doc.OnOpenDocument(std::string(TARVEL1_TEST_DATA_DIR) + "/" + name));
        CPianoRollModel model;
        model.Build(doc, false, "", 0);
        const CTempoMap& tempo = model.TempoMap();
        const CRollViewport fitted = CPianoRollPainter::FitAll(model, kWidth, 500);
        int barsNamed = 0;
        for (double pps = fitted.dPixelsPerSecond / 20;
             pps <= CPianoRollPainter::kMaxPixelsPerSecond; pps *= 3.1)
        {
            CRollViewport view = fitted;
            view.dPixelsPerSecond = pps;
            view.dFirstSecond = model.TotalSeconds() / 3;
            double freeFrom = CPianoRollPainter::kKeyboardWidth;
            for (const CRulerLabel& label : CPianoRollPainter::RulerLabels(cr, kWidth, model, view))
            {
                if (label.strText.empty() || !label.bBar)
                    continue;
                const CMeterBeat beat =
                    tempo.BeatAt(tempo.TickAt(std::llround(label.dSeconds * 1e6)));
                EXPECT_TRUE(beat.IsBarStart()) << name << " " << label.strText;
                EXPECT_EQ(label.strText, std::to_string(beat.nBar)) << name << " at " << pps;
                ++barsNamed;
                EXPECT_GE(label.dX, freeFrom);
                EXPECT_LE(label.dX + 3 + label.dWidth, kWidth);
                freeFrom = label.dX + 3 + label.dWidth;
            }
        }
        EXPECT_GT(barsNamed, 10) << name;
    }
    EXPECT_EQ(CPianoRollPainter::TimeText(0.99, 1, false), "0:01.0");
    EXPECT_EQ(CPianoRollPainter::TimeText(13217, 0, true), "3:40:17");
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// A song of 3 h 40 min once showed 26 minutes when fitted: every length fits, and zooming in
// goes down to single ticks.
TEST(PianoRollPainter, FitsAnyLengthAndZoomsToSingleTicks)
{
    constexpr int kWidth = 900;
    for (std::uint32_t lastTick : {960u, 1584000u /* 3 h 40 min */, 0x0FFFFFF0u /* about 77 h */})
    {
        const CPianoRollModel model = SongEndingAt(lastTick);
        CRollViewport view = CPianoRollPainter::FitAll(model, kWidth, 500);
        const double end = CPianoRollPainter::XAtSeconds(view, model.TotalSeconds());
        EXPECT_LE(end, kWidth) << lastTick;
        EXPECT_GT(end, kWidth * 0.9) << lastTick;
        for (int i = 0; i < 200; ++i)
            CPianoRollPainter::ZoomAround(view, 1.5, 400);
        const double tick = 0.5 / 480; // seconds
        EXPECT_GE(view.dPixelsPerSecond * tick, 20) << lastTick;
    }
}

// WCAG 2 contrast: (lighter + 0.05) / (darker + 0.05), at least 3:1 for graphics.
TEST(PianoRollPainter, EveryChannelColourStandsOutFromEveryRow)
{
    for (int channel = 0; channel < 16; ++channel)
        for (const CRollColour& row : CPianoRollPainter::RowColours())
        {
            const double a = Luminance(CPianoRollPainter::ChannelColour(channel));
            const double b = Luminance(row);
            EXPECT_GE((std::max(a, b) + 0.05) / (std::min(a, b) + 0.05), 3.0) << channel;
        }
}
