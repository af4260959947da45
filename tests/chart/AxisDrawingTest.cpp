#include <gtest/gtest.h>

#include <algorithm>

#include "ChartTestSupport.h"

namespace zyn::chart {
namespace {

using test::TPlainSeries;
using test::TRecordedChart;

std::vector<std::string> LabelTexts(const TCustomChartAxis& axis) {
    std::vector<std::string> out;
    for (const auto& l : axis.DrawnLabels) out.push_back(l.Text);
    return out;
}

// The viewer's fixed left axis on a chart with one series bound to it.
struct TLeftAxisChart : TRecordedChart {
    TLeftAxisChart() {
        TChartAxis& l = chart.LeftAxis();
        l.SetAutomatic(false);
        l.SetIncrement(2);
        l.SetMaximum(6);
        l.SetMinimum(-6);
        chart.FormatSettings.DecimalSeparator = ".";
        chart.FormatSettings.ThousandSeparator = ",";
        chart.SetAxisVisible(true);
        chart.Title.SetText({});
        auto& s = chart.Add(std::make_unique<TPlainSeries>());
        s.AddPoint(0, 0);
        s.AddPoint(1, 1);
    }
};

TEST(AxisLabels, FixedLeftAxisWithStepTwoAndFive) {
    TLeftAxisChart t;
    t.Frame(400, 300);  // tall enough for step 2
    TCustomChartAxis& l = t.chart.LeftAxis();
    t.Frame(400, 300);  // the step uses the axis length of the previous frame
    EXPECT_EQ(l.LastLabelStep, 2);
    EXPECT_EQ(LabelTexts(l), (std::vector<std::string>{"6", "4", "2", "0", "-2", "-4", "-6"}));
    EXPECT_EQ(l.DrawnLabels.front().Pixel, l.StartPixel);
    EXPECT_EQ(l.DrawnLabels.back().Pixel, l.EndPixel);

    l.SetStartPosition(85);  // a short band: 15 % of the plot
    t.Frame(400, 300);
    t.Frame(400, 300);
    EXPECT_EQ(l.LastLabelStep, 5);
    EXPECT_EQ(LabelTexts(l), (std::vector<std::string>{"5", "0", "-5"}));
}

TEST(AxisLabels, ForexRangeLabelsInsideTheRangeOnly) {
    TRecordedChart t;
    TChartAxis& r = t.chart.RightAxis();
    t.chart.FormatSettings.DecimalSeparator = ".";
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.SetVertAxis(TVertAxis::aRightAxis);
    s.AddPoint(0, 1.2031);
    s.AddPoint(1, 1.3987);
    r.SetAxisValuesFormat("0.###0");
    r.SetIncrement(0.05);
    t.Frame(300, 140);
    t.Frame(300, 140);
    EXPECT_DOUBLE_EQ(r.RangeMin, 1.2031);
    EXPECT_DOUBLE_EQ(r.RangeMax, 1.3987);
    EXPECT_EQ(r.LastLabelStep, 0.05);
    EXPECT_EQ(LabelTexts(r), (std::vector<std::string>{"1.3500", "1.3000", "1.2500"}));
}

TEST(AxisLabels, LabelsOnAxisAtTheMaximum) {
    TLeftAxisChart t;
    TCustomChartAxis& l = t.chart.LeftAxis();
    t.Frame(400, 300);
    t.Frame(400, 300);
    EXPECT_EQ(LabelTexts(l).front(), "6");
    l.LabelsOnAxis = false;
    t.chart.InvalidateChart();
    t.Frame(400, 300);
    EXPECT_EQ(LabelTexts(l), (std::vector<std::string>{"4", "2", "0", "-2", "-4"}));
}

TEST(AxisLabels, EmptyChartShowsOneLabelAtTheCentre) {
    TRecordedChart t;
    t.chart.BottomAxis().SetDateTimeFormat("dd.MM.yyyy");
    // a series without points makes the bottom axis a date-time axis
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.XValues().SetDateTime(true);
    s.SetVertAxis(TVertAxis::aRightAxis);
    t.chart.FormatSettings.DecimalSeparator = ",";
    t.chart.RightAxis().SetAxisValuesFormat("0.#0");
    t.Frame(400, 300);
    TCustomChartAxis& b = t.chart.BottomAxis();
    EXPECT_TRUE(b.IsDateTimeAxis);
    ASSERT_EQ(b.DrawnLabels.size(), 1u);
    EXPECT_EQ(b.DrawnLabels[0].Text, "30.12.1899");
    EXPECT_EQ(b.DrawnLabels[0].Pixel, b.CenterPixel);
    ASSERT_EQ(t.chart.RightAxis().DrawnLabels.size(), 1u);
    EXPECT_EQ(t.chart.RightAxis().DrawnLabels[0].Text, "0,00");
}

TEST(AxisLayout, ReservedSpaceForLabelsLineAndTicks) {
    TLeftAxisChart t;
    t.chart.SetBorderWidth(0);
    t.Frame(400, 300);
    TCustomChartAxis& l = t.chart.LeftAxis();
    TCustomChartAxis& b = t.chart.BottomAxis();
    // widest of "-6"/"6" plus a space (fake metrics 6 px per char) then 2 + 4 for line and ticks
    const int left = MulDiv(3, 400, 100);
    EXPECT_EQ(l.LabelsPosition, left + 18);
    EXPECT_EQ(t.chart.PlotRect.Left, left + 18 + 6);
    EXPECT_EQ(l.LinePosition, t.chart.PlotRect.Left);
    const int bottom = 300 - MulDiv(4, 300, 100);
    EXPECT_EQ(b.LabelsPosition, bottom - 14);
    EXPECT_EQ(t.chart.PlotRect.Bottom, bottom - 14 - 6);
    EXPECT_EQ(b.LinePosition, t.chart.PlotRect.Bottom);

    // the label text sits 6 px outside the line, vertically centred on its pixel
    t.Rec().Clear();
    t.chart.InvalidateChart();
    t.chart.PaintChart();
    bool found = false;
    for (const auto& c : t.Rec().Calls)
        if (c.Op == TCanvasOp::TextOut && c.Text == "0" && c.TextAlign == (TA_RIGHT | TA_TOP) && c.P.X == l.LabelsPosition) {
            found = true;
            EXPECT_EQ(c.P.Y, l.ValueToPixel(0) - 7);
        }
    EXPECT_TRUE(found);
}

TEST(AxisLayout, HitTestBand) {
    TLeftAxisChart t;
    t.Frame(400, 300);
    TCustomChartAxis& l = t.chart.LeftAxis();
    const int mid = (l.StartPixel + l.EndPixel) / 2;
    EXPECT_TRUE(l.AxisHitTest(l.LabelsPosition, mid));
    EXPECT_TRUE(l.AxisHitTest(l.LinePosition + 2, mid));
    EXPECT_FALSE(l.AxisHitTest(l.LinePosition + 3, mid));
    EXPECT_FALSE(l.AxisHitTest(l.LabelsPosition - 1, mid));
    EXPECT_FALSE(l.AxisHitTest(l.LinePosition, l.EndPixel));
    TCustomChartAxis& b = t.chart.BottomAxis();
    EXPECT_TRUE(b.AxisHitTest(b.StartPixel, b.LinePosition - 3));
    EXPECT_FALSE(b.AxisHitTest(b.StartPixel, b.LinePosition - 4));
    EXPECT_FALSE(b.AxisHitTest(b.StartPixel, b.LabelsPosition));
    EXPECT_FALSE(t.chart.TopAxis().AxisHitTest(b.StartPixel, 10));  // not shown
}

std::vector<const TCanvasCall*> GridLines(TRecordingCanvas& rec, bool vertical) {
    std::vector<const TCanvasCall*> out;
    for (const auto& c : rec.Calls)
        if (c.Op == TCanvasOp::LineTo && c.Pen.Style == TPenStyle::psDot && ((c.From.X == c.P.X) == vertical))
            out.push_back(&c);
    return out;
}

TEST(AxisLayout, GridLinesCenteredAndMinorTicks) {
    TLeftAxisChart t;
    TCustomChartAxis& l = t.chart.LeftAxis();
    t.Frame(400, 300);
    t.Frame(400, 300);
    auto grid = GridLines(t.Rec(), false);
    ASSERT_EQ(grid.size(), 7u);  // one per label, dotted, across the whole plot
    EXPECT_EQ(grid[0]->From.X, t.chart.PlotRect.Left);
    EXPECT_EQ(grid[0]->P.X, t.chart.PlotRect.Right);
    EXPECT_EQ(grid[0]->Pen.Color, clDarkGray);
    EXPECT_EQ(grid[0]->BackMode, TBackMode::Transparent);

    l.GridCentered = true;
    l.MinorTicks.Visible = true;
    l.MinorTickCount = 3;
    t.chart.InvalidateChart();
    t.Frame(400, 300);
    grid = GridLines(t.Rec(), false);
    ASSERT_EQ(grid.size(), 6u);  // none at the first label, then halfway between labels
    const auto& labels = l.DrawnLabels;
    EXPECT_EQ(grid[0]->P.Y, Round((labels[0].Pixel + labels[1].Pixel) * 0.5));
    // minor ticks: 2 px long at the left axis, between labels only, from the later label back
    std::vector<int> minor;
    for (const auto& c : t.Rec().Calls)
        if (c.Op == TCanvasOp::LineTo && c.From.Y == c.P.Y && c.From.X == l.LinePosition - 1 && c.P.X == l.LinePosition - 3)
            minor.push_back(c.P.Y);
    ASSERT_EQ(minor.size(), 18u);
    const double d = (labels[1].Pixel - labels[0].Pixel) / 4.0;
    EXPECT_EQ(minor[0], labels[1].Pixel - Round(d));
    EXPECT_EQ(minor[2], labels[1].Pixel - Round(3 * d));
}

// Text labels on the bottom axis: 50-pixel labels thinned so that they do not overlap.
TEST(AxisLabels, TextLabelsAreThinnedOut) {
    TRecordedChart t;
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.DrawBetweenPoints = true;
    for (int i = 0; i < 200; ++i) s.AddPoint(i, 0, "123456789");  // 9 chars × 6 = 54 px
    t.Frame(600, 300);
    TCustomChartAxis& b = t.chart.BottomAxis();
    EXPECT_EQ(b.ResolvedLabelStyle(), TAxisLabelStyle::talText);
    const auto& labels = b.DrawnLabels;
    ASSERT_GE(labels.size(), 3u);
    // half sizes: first 27, then (54 + 10) / 2 = 32
    EXPECT_GE(labels[1].Pixel - labels[0].Pixel, 27 + 32);
    for (size_t i = 2; i < labels.size(); ++i) EXPECT_GE(labels[i].Pixel - labels[i - 1].Pixel, 64);
    // every label is the first index that fits: the one before it would not have
    for (size_t i = 1; i < labels.size(); ++i) {
        const int need = i == 1 ? 27 + 32 : 64;
        const int prev = b.ValueToPixel(labels[i].Value - 1);
        EXPECT_LT(prev - labels[i - 1].Pixel, need);
    }
    // an empty first label falls back to value labels
    s.SetXLabel(0, "");
    t.Frame(600, 300);
    EXPECT_EQ(b.ResolvedLabelStyle(), TAxisLabelStyle::talValue);
}

}  // namespace
}  // namespace zyn::chart

namespace zyn::chart {
namespace {

TEST(AxisLayout, PositionPercentMovesLineAndLabelsByOneShift) {
    TLeftAxisChart t;
    TCustomChartAxis& l = t.chart.LeftAxis();
    TCustomChartAxis& b = t.chart.BottomAxis();
    l.SetPositionPercent(10);
    b.SetPositionPercent(20);
    t.Frame(400, 300);
    const TRect& plot = t.chart.PlotRect;
    EXPECT_EQ(l.LinePosition, plot.Left + Round(0.1 * plot.Width()));
    EXPECT_EQ(l.LabelsPosition, l.LinePosition - 6);
    EXPECT_EQ(b.LinePosition, plot.Bottom - Round(0.2 * plot.Height()));
    EXPECT_EQ(b.LabelsPosition, b.LinePosition + 6);
    int leftLabels = 0;
    for (const auto& c : t.Rec().Calls)
        if (c.Op == TCanvasOp::TextOut && c.TextAlign == (TA_RIGHT | TA_TOP)) {
            ++leftLabels;
            EXPECT_EQ(c.P.X, l.LabelsPosition) << c.Text;
        }
    EXPECT_GT(leftLabels, 0);
    // the layout of every frame starts afresh: a second frame puts everything at the same places
    const int line = l.LinePosition, labels = l.LabelsPosition;
    t.Frame(400, 300);
    EXPECT_EQ(l.LinePosition, line);
    EXPECT_EQ(l.LabelsPosition, labels);
}

TEST(AxisLabels, ALabelIsOneLineUnlessMultiLine) {
    TRecordedChart t;
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.AddPoint(0, 0, "ab cd");
    s.AddPoint(10, 0, "x\ny");
    TCustomChartAxis& b = t.chart.BottomAxis();
    auto bottomTexts = [&] {
        std::vector<std::pair<std::string, int>> out;  // text and row
        for (const auto& c : t.Rec().Calls)
            if (c.Op == TCanvasOp::TextOut && c.TextAlign == (TA_CENTER | TA_TOP)) out.emplace_back(c.Text, c.P.Y);
        return out;
    };
    t.Frame(600, 300);
    const int y = b.LabelsPosition;
    using Texts = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(bottomTexts(), (Texts{{"ab cd", y}, {"x\ny", y}}));
    b.LabelsMultiLine = true;  // broken at spaces and line feeds, one font height apart
    t.Frame(600, 300);
    EXPECT_EQ(bottomTexts(), (Texts{{"ab", y}, {"cd", y + 14}, {"x", y}, {"y", y + 14}}));

    // Thinning measures the widest line: broken up, close labels fit more often.
    TRecordedChart dense;
    auto& d = dense.chart.Add(std::make_unique<TPlainSeries>());
    d.DrawBetweenPoints = true;
    for (int i = 0; i < 100; ++i) d.AddPoint(i, 0, "ab cd ef");
    TCustomChartAxis& db = dense.chart.BottomAxis();
    dense.Frame(600, 300);
    const size_t oneLine = db.DrawnLabels.size();
    db.LabelsMultiLine = true;
    dense.Frame(600, 300);
    EXPECT_GT(db.DrawnLabels.size(), 2 * oneLine);
}

}  // namespace
}  // namespace zyn::chart
