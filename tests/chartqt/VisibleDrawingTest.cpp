// The viewer's chart at real window sizes: drawn two ways, point by point and leaving out what
// later points cover, it must give the same pixels; at the maximised size its signal bars keep
// their colours.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include <unistd.h>

#include "TestApplication.h"
#include "app/ChartSetup.h"
#include "app/LocaleSettings.h"
#include "chart/BarSeries.h"
#include "chart/CandleSeries.h"
#include "chart/Chart.h"
#include "chart/Format.h"
#include "chart/qt/QtCanvas.h"
#include "data/DataFile.h"
#include "tools/SampleData.h"

namespace zyn::chart {
namespace {

// Records of a long DAX history, read from a written data file like the viewer's own.
const RecordList& Records(int days) {
    static std::map<int, RecordList> cache;
    auto it = cache.find(days);
    if (it != cache.end()) return it->second;
    char path[] = "/tmp/zyn-visible-drawing-XXXXXX";
    const int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    if (fd >= 0) ::close(fd);
    sample::Options options;
    options.rows = days;
    EXPECT_TRUE(sample::WriteSampleFile(path, *sample::FindInstrument("DAX"), options));
    RecordList& records = cache[days];
    ReadDataFile(path, records);
    std::remove(path);
    EXPECT_EQ(records.size(), static_cast<size_t>(days));
    return records;
}

struct TViewerChart {
    TChart chart{std::make_unique<TQtCanvas>()};
    app::TChart1Series series;
    int width, height;

    TViewerChart(int w, int h) : width(w), height(h) {
        test::EnsureApplication();
        chart.FormatSettings = app::SystemFormatSettings();
        series = app::SetupChart1(chart);
        chart.SetBounds(w, h);
    }

    QImage Draw(bool everyPoint) {
        chart.DrawEveryPoint = everyPoint;
        chart.InvalidateChart();
        chart.DrawChart(TRect{0, 0, width, height});
        return static_cast<const TQtCanvas&>(chart.Canvas()).Image().copy();
    }

    // The first differing pixel, or an empty text when both drawings agree everywhere.
    std::string Difference() {
        const QImage fast = Draw(false);
        const QImage exact = Draw(true);
        if (fast.size() != exact.size()) return "sizes differ";
        for (int y = 0; y < exact.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(fast.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(exact.constScanLine(y));
            if (std::memcmp(a, b, static_cast<size_t>(exact.width()) * sizeof(QRgb)) == 0) continue;
            for (int x = 0; x < exact.width(); ++x) {
                if (a[x] == b[x]) continue;
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d, %d): %06X instead of %06X", x, y, a[x] & 0xFFFFFFu,
                              b[x] & 0xFFFFFFu);
                return text;
            }
        }
        return {};
    }

    // A left drag over the middle of the plot, then a right drag to the left and up.
    void Zoom() {
        const TRect p = chart.PlotRect;
        const int x0 = p.Left + p.Width() * 3 / 10, x1 = p.Left + p.Width() * 7 / 10;
        const int y0 = p.Top + p.Height() / 10, y1 = p.Bottom - p.Height() / 10;
        chart.MouseDown(TMouseButton::mbLeft, ssLeft, x0, y0);
        chart.MouseMove(ssLeft, x1, y1);
        chart.MouseUp(TMouseButton::mbLeft, 0, x1, y1);
    }
    void Pan() {
        const TRect p = chart.PlotRect;
        const int x = p.Left + p.Width() / 2, y = p.Top + p.Height() / 2;
        chart.MouseDown(TMouseButton::mbRight, ssRight, x, y);
        chart.MouseMove(ssRight, x - p.Width() / 3, y - p.Height() / 8);
        chart.MouseUp(TMouseButton::mbRight, 0, x - p.Width() / 3, y - p.Height() / 8);
    }
};

TEST(VisibleDrawing, SamePixelsAsPointByPoint) {
    const int sizes[][2] = {{1920, 1080}, {673, 378}, {1280, 500}};
    for (int days : {260, 2600, 30000}) {
        const RecordList& records = Records(days);
        for (const auto& size : sizes) {
            for (bool projection : {true, false}) {
                SCOPED_TRACE(std::to_string(days) + " days, " + std::to_string(size[0]) + " x " +
                             std::to_string(size[1]) + (projection ? ", projection" : ", no projection"));
                TViewerChart t(size[0], size[1]);
                app::FillChart1(t.chart, t.series, records, "DAX", projection);
                EXPECT_EQ(t.Difference(), "") << "whole history";
                t.Zoom();
                EXPECT_EQ(t.Difference(), "") << "zoomed";
                t.Pan();
                EXPECT_EQ(t.Difference(), "") << "zoomed and panned";
            }
        }
    }
}

// The plain kernels that processors without the faster ones use must give the same frame.
TEST(VisibleDrawing, SamePixelsWrittenPixelByPixel) {
    TViewerChart t(1920, 1080);
    static_cast<TQtCanvas&>(t.chart.Canvas()).UsePlainKernels(true);
    app::FillChart1(t.chart, t.series, Records(30000), "DAX", true);
    EXPECT_EQ(t.Difference(), "") << "whole history";
    t.Zoom();
    EXPECT_EQ(t.Difference(), "") << "zoomed";
}

// On a high-density screen a logical pixel is several device pixels; at a fractional ratio
// the device pixels of a logical one depend on the box that paints it, so joined or split
// boxes must not stand in for the shapes there.
TEST(VisibleDrawing, SamePixelsAtWholeAndFractionalPixelRatios) {
    const RecordList& records = Records(30000);
    for (double ratio : {1.5, 2.0}) {
        SCOPED_TRACE("pixel ratio " + std::to_string(ratio));
        TViewerChart t(673, 378);
        static_cast<TQtCanvas&>(t.chart.Canvas()).SetDevicePixelRatio(ratio);
        app::FillChart1(t.chart, t.series, records, "DAX", true);
        EXPECT_EQ(t.Difference(), "") << "whole history";
        t.Zoom();
        EXPECT_EQ(t.Difference(), "") << "zoomed";
    }
}

// After a load no label width is known, and labels that cannot fit are passed over on a width
// the canvas is sure of instead of their measured one, and runs of candidates within a drawn
// label's reach as a whole. That must draw the very frame that measuring every candidate
// draws, and the bound must never exceed a real width.
TEST(VisibleDrawing, LabelsPassedOverUnmeasuredLeaveTheFrameAsMeasured) {
    struct TMeasuringCanvas : TQtCanvas {
        bool TextWidthAtLeast(std::string_view, int&) override { return false; }
    };
    test::EnsureApplication();
    const RecordList& records = Records(30000);
    // With the x order forgotten, every candidate is tested one by one instead of runs of them
    // being passed over at once.
    auto frame = [&](std::unique_ptr<TQtCanvas> canvas, bool projection, std::vector<std::string>& drawn,
                     bool forgetOrder = false) {
        TChart chart(std::move(canvas));
        chart.FormatSettings = app::SystemFormatSettings();
        const app::TChart1Series series = app::SetupChart1(chart);
        chart.SetBounds(1280, 500);
        auto fill = [&](const RecordList& list) {
            app::FillChart1(chart, series, list, "DAX", projection);
            if (forgetOrder)
                for (TChartSeries* s : chart.SeriesList()) s->XValues().SetValueAt(0, s->XValues().Value(0));
        };
        fill(records);
        chart.DrawChart(TRect{0, 0, 1280, 500});
        // A second load of other labels must not reuse what the first frame learnt.
        fill(RecordList(records.begin() + 7, records.end()));
        chart.DrawChart(TRect{0, 0, 1280, 500});
        for (const auto& label : chart.BottomAxis().DrawnLabels) drawn.push_back(label.Text);
        return static_cast<const TQtCanvas&>(chart.Canvas()).Image().copy();
    };
    for (bool projection : {true, false}) {
        std::vector<std::string> bounded, measured;
        const QImage a = frame(std::make_unique<TQtCanvas>(), projection, bounded);
        const QImage b = frame(std::make_unique<TMeasuringCanvas>(), projection, measured);
        std::vector<std::string> each;
        const QImage c = frame(std::make_unique<TQtCanvas>(), projection, each, true);
        EXPECT_GT(measured.size(), 10u);
        EXPECT_EQ(bounded, measured);
        EXPECT_EQ(bounded, each);
        EXPECT_TRUE(a == b) << (projection ? "projection" : "no projection");
        EXPECT_TRUE(a == c) << (projection ? "projection" : "no projection");
    }

    TQtCanvas canvas;
    canvas.Font.Size = 8;
    std::vector<std::string> texts = {"AVAWAY To.", "office ffi fl", "Tj Yo 7.1.1111", "LT'A\"V", "11.11.1111",
                                      "r.,y.", "f(j) Wo", "P.A.T", " ", "~|}{", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"};
    for (size_t i = 0; i < records.size(); i += 13)
        texts.push_back(FormatDateTime("dd.MM.yyyy", records[i].Date, TFormatSettings{}));
    for (const char* name : {"Arial", "Times New Roman", "Courier New"}) {
        canvas.Font.Name = name;
        for (const std::string& text : texts) {
            int least = 0;
            ASSERT_TRUE(canvas.TextWidthAtLeast(text, least)) << text;
            EXPECT_LE(least, canvas.TextWidth(text)) << name << ": " << text;
        }
    }
    int least = 0;
    EXPECT_FALSE(canvas.TextWidthAtLeast("M\xC3\xA4rz", least)) << "beyond ASCII the canvas measures";
}

// A chart narrower than its price labels leaves the plot a column or none: four candles then
// outnumber its columns, and the composition must not write rows of a plot without pixels.
// Each way is drawn as the first frame of a chart of its own, where the layout is the same.
TEST(VisibleDrawing, CandlesOnAPlotWithoutColumns) {
    test::EnsureApplication();
    for (const auto& size : {std::pair{69, 276}, std::pair{63, 200}}) {
        QImage frames[2];
        for (bool everyPoint : {false, true}) {
            TChart chart(std::make_unique<TQtCanvas>());
            auto& candles = chart.Add(std::make_unique<TCandleSeries>());
            candles.Pen().Width = 4;
            for (int i = 0; i < 4; ++i)
                candles.AddCandlePoint(i, 1e7 + 1e6 * i, 1.2e7 + 1e6 * i, 9e6 + 1e6 * i, 1.1e7 - 1e6 * i);
            chart.SetBounds(size.first, size.second);
            chart.DrawEveryPoint = everyPoint;
            chart.DrawChart(TRect{0, 0, size.first, size.second});
            EXPECT_LE(chart.PlotWidth, 7) << size.first << " x " << size.second;
            frames[everyPoint] = static_cast<const TQtCanvas&>(chart.Canvas()).Image().copy();
        }
        EXPECT_TRUE(frames[0] == frames[1]) << size.first << " x " << size.second;
    }
}

// The viewer opens maximised: on a 1920-pixel screen the chart is about 1,700 pixels wide and a
// year of days gives bars two pixels wide, as wide as their outline. Every trend and sum bar
// must still show its own colour over its whole width.
TEST(VisibleDrawing, SignalBarsKeepTheirColoursAtTheMaximisedSize) {
    TViewerChart t(1700, 900);
    app::FillChart1(t.chart, t.series, Records(260), "DAX", true);
    const QImage image = t.Draw(false);
    const TBarSeries& trend = *t.series.SeriesZYN_Trend;
    const TBarSeries& sum = *t.series.SeriesZYN_Summe;
    ASSERT_EQ(trend.BarPixelWidth, 2);
    const TChartAxis& bottom = t.chart.BottomAxis();
    const TChartAxis& left = t.chart.LeftAxis();
    auto rgb = [](TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); };
    int checked = 0;
    for (int i = 0; i < trend.Count(); ++i) {
        const int x = bottom.ValueToPixel(trend.XValue(i));
        const int origin = left.ValueToPixel(0);
        for (const TBarSeries* s : {&trend, &sum}) {
            const int first = s == &trend ? x - 2 : x;  // trend left of the day, sum right of it
            const int top = left.ValueToPixel(s->YValue(i));
            const int row = top == origin ? origin : (top + origin) / 2;
            for (int column = first; column < first + 2; ++column) {
                EXPECT_EQ(image.pixel(column, row) & 0xFFFFFFu, rgb(s->PointColor(i)) & 0xFFFFFFu)
                    << "day " << i << (s == &trend ? " trend" : " sum") << " column " << column;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 260 * 4);
}

}  // namespace
}  // namespace zyn::chart
