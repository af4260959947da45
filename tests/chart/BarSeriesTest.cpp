#include <gtest/gtest.h>

#include <algorithm>

#include "chart/BarSeries.h"
#include "chart/LineSeries.h"
#include "SeriesTestSupport.h"

namespace zyn::chart::test {
namespace {

bool Has(const Calls& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Two bar series side by side on a 600-pixel bottom axis; the left axis shows −200 … 200, so
// the origin 0 lies on row 200 and a value v on row 200 − v.
struct TBarChart : TSeriesChart {
    TBarSeries& a = Add<TBarSeries>();
    TBarSeries& b = Add<TBarSeries>();
    TBarChart() { chart.LeftAxis().SetRange(-200, 200); }
    void Fill(int points, double value = 100) {
        for (int i = 0; i < points; ++i) {
            a.AddPoint(i, value, "", clGreen);
            b.AddPoint(i, value, "", clBlue);
        }
    }
};

TEST(BarSeriesTest, WidthFollowsThePointCountOnA600PixelAxis) {
    const std::pair<int, int> table[] = {{10, 20}, {20, 10}, {50, 4}, {100, 2}, {300, 0}};
    for (auto [days, width] : table) {
        TBarChart t;
        t.Fill(days);
        t.Draw();
        EXPECT_EQ(t.a.BarPixelWidth, width) << days << " days";
        EXPECT_EQ(t.b.BarPixelWidth, width) << days << " days";
    }
}

TEST(BarSeriesTest, HalfPixelSharesRoundToEven) {
    // One series: 119 points give slots of 5 pixels (70 % = 3.5 → 4), 39 points slots of 15
    // (70 % = 10.5 → 10).
    for (auto [points, width] : {std::pair{119, 4}, std::pair{39, 10}}) {
        TSeriesChart t;
        auto& s = t.Add<TBarSeries>();
        for (int i = 0; i < points; ++i) s.AddPoint(i, 1);
        t.Draw();
        EXPECT_EQ(s.BarPixelWidth, width) << points;
    }
}

TEST(BarSeriesTest, SideBySideBarsShareTheDaysPixel) {
    TBarChart t;
    t.Fill(100);
    t.chart.BottomAxis().SetRange(-250, 350);  // day 50 at pixel 300
    t.Draw();
    EXPECT_EQ(t.a.SideBySideCount(), 2);
    EXPECT_EQ(t.a.SidePosition(), 1);
    EXPECT_EQ(t.b.SidePosition(), 2);
    ASSERT_EQ(t.a.BarPixelWidth, 2);
    EXPECT_EQ(t.a.XPixel(50), 298);
    EXPECT_EQ(t.b.XPixel(50), 300);
    EXPECT_TRUE(Has(t.SeriesCalls(0), "Rectangle(298,100,300,200)"));
    EXPECT_TRUE(Has(t.SeriesCalls(1), "Rectangle(300,100,302,200)"));
    int left = 0, right = 0;
    t.a.HorizontalMargins(left, right);
    EXPECT_EQ(left, 4);
    EXPECT_EQ(right, 4);

    TBarChart few;
    few.Fill(10);
    few.Draw();
    few.b.HorizontalMargins(left, right);
    EXPECT_EQ(few.b.BarPixelWidth, 20);
    EXPECT_EQ(left, 40);
    EXPECT_EQ(right, 40);
}

TEST(BarSeriesTest, OneBarIsOneRectangleFilledInThePointColour) {
    TBarChart t;
    t.b.SetActive(false);
    t.a.AddPoint(300, 100, "", clGreen);
    t.Draw();
    ASSERT_EQ(t.a.BarPixelWidth, 210);  // one point in two slots of 300 pixels, one active series
    EXPECT_EQ(t.SeriesCalls(), (Calls{"SetBackgroundMode(Transparent)", "Rectangle(195,100,405,200)"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[1].Pen, (TCanvasPen{clBlack, 1, TPenStyle::psSolid}));
    EXPECT_EQ(rec[1].Brush, (TCanvasBrush{clGreen, TBrushStyle::bsSolid}));
}

TEST(BarSeriesTest, SingleActiveSeriesIsCentredAndTakesTheWholeGroupWidth) {
    TBarChart t;
    t.Fill(100);
    t.chart.BottomAxis().SetRange(-250, 350);
    t.b.SetActive(false);
    t.Draw();
    EXPECT_EQ(t.a.SideBySideCount(), 1);
    EXPECT_EQ(t.a.SidePosition(), 1);
    EXPECT_EQ(t.a.BarPixelWidth, 4);
    EXPECT_EQ(t.a.XPixel(50), 298);

    t.a.SetMultiBar(TMultiBar::mbNone);
    t.Draw();
    EXPECT_EQ(t.a.XPixel(50), 300 - t.a.BarPixelWidth / 2);
}

TEST(BarSeriesTest, CustomWidthIsUsedUnchangedAlsoForTheSideOffsets) {
    TBarChart t;
    t.Fill(100);
    t.chart.BottomAxis().SetRange(-250, 350);
    t.a.SetCustomBarWidth(7);
    t.b.SetCustomBarWidth(7);
    t.Draw();
    EXPECT_EQ(t.a.BarPixelWidth, 7);
    EXPECT_TRUE(Has(t.SeriesCalls(0), "Rectangle(293,100,300,200)"));
    EXPECT_TRUE(Has(t.SeriesCalls(1), "Rectangle(300,100,307,200)"));
}

TEST(BarSeriesTest, BarsRunFromTheOriginRowToTheValueRow) {
    TSeriesChart t;
    t.chart.LeftAxis().SetRange(-200, 200);
    auto& s = t.Add<TBarSeries>();
    s.SetCustomBarWidth(10);
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, -100, "", clRed);
    s.AddPoint(300, 0, "", clMaroon);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"SetBackgroundMode(Transparent)", "Rectangle(95,100,105,200)",
                                      "SetBackgroundMode(Transparent)", "Rectangle(195,300,205,200)",
                                      "SetBackgroundMode(Transparent)", "MoveTo(295,200)", "LineTo(305,200)",
                                      "Rectangle(295,200,305,200)"}));
    // The zero bar is a line in its own colour.
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[6].Pen.Color, clMaroon);

    s.SetUseYOrigin(false);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls()[1], "Rectangle(95,100,105,400)");
    EXPECT_EQ(t.SeriesCalls()[3], "Rectangle(195,300,205,400)");
}

TEST(BarSeriesTest, ZeroWidthBarsAreVerticalLinesInThePointColour) {
    TBarChart t;
    t.Fill(300, 50);
    t.chart.BottomAxis().SetRange(0, 600);
    t.Draw();
    ASSERT_EQ(t.a.BarPixelWidth, 0);
    const Calls calls = t.SeriesCalls(1);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1], "MoveTo(0,150)");
    EXPECT_EQ(calls[2], "LineTo(0,200)");
    EXPECT_EQ(calls[3], "Rectangle(0,150,0,200)");
    const auto rec = t.SeriesCallRecords(1);
    EXPECT_EQ(rec[2].Pen, (TCanvasPen{clBlue, 1, TPenStyle::psSolid}));
}

TEST(BarSeriesTest, BarThinnerThanItsOutlineIsAnOutlineInTheBarColour) {
    TSeriesChart t;
    t.chart.LeftAxis().SetRange(-200, 200);
    auto& s = t.Add<TBarSeries>();
    s.SetCustomBarWidth(2);
    s.BarPen.Width = 3;
    s.AddPoint(100, 100, "", clGreen);
    t.Draw();
    const auto rec = t.SeriesCallRecords();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[1].Pen, (TCanvasPen{clGreen, 3, TPenStyle::psSolid}));
    EXPECT_EQ(rec[1].Brush.Style, TBrushStyle::bsClear);
}

TEST(BarSeriesTest, BarWhoseOutlineLeavesNoInsideIsAnOutlineInTheBarColour) {
    // A one-pixel outline covers a bar two pixels wide (or high) completely: the bar must show
    // its own colour. From three pixels on an inside is left and the bar is filled as usual.
    struct TCase {
        int width;
        double value;  // rows from the origin
        bool outlineOnly;
    };
    for (const TCase k : {TCase{2, 100, true}, TCase{3, 100, false}, TCase{4, 2, true}, TCase{4, -2, true},
                          TCase{4, 3, false}, TCase{1, 100, true}}) {
        TSeriesChart t;
        t.chart.LeftAxis().SetRange(-200, 200);
        auto& s = t.Add<TBarSeries>();
        s.SetCustomBarWidth(k.width);
        s.AddPoint(100, k.value, "", clGreen);
        t.Draw();
        const auto rec = t.SeriesCallRecords();
        ASSERT_EQ(rec.size(), 2u);
        EXPECT_EQ(rec[1].Op, TCanvasOp::Rectangle);
        EXPECT_EQ(rec[1].Pen, (TCanvasPen{k.outlineOnly ? clGreen : clBlack, 1, TPenStyle::psSolid}))
            << k.width << " " << k.value;
        EXPECT_EQ(rec[1].Brush.Style, k.outlineOnly ? TBrushStyle::bsClear : TBrushStyle::bsSolid)
            << k.width << " " << k.value;
    }
}

TEST(BarSeriesTest, AutoColourPointsTakeTheSeriesColourAndNullPointsLeaveAGap) {
    TSeriesChart t;
    auto& s = t.Add<TBarSeries>();
    s.SetSeriesColor(0x408000);
    s.SetCustomBarWidth(4);
    s.AddPoint(100, 100);
    s.AddPoint(200, 100, "", clNone);
    s.AddPoint(300, 100, "", clRed);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"SetBackgroundMode(Transparent)", "Rectangle(98,300,102,400)",
                                      "SetBackgroundMode(Transparent)", "Rectangle(298,300,302,400)"}));
    EXPECT_EQ(t.SeriesCallRecords()[1].Brush.Color, 0x408000u);
}

TEST(BarSeriesTest, VerticalExtentIncludesTheOrigin) {
    TBarSeries s;
    for (double v : {2.0, 3.0, 5.0}) s.AddPoint(s.Count(), v);
    EXPECT_EQ(s.MinY(), 0);
    EXPECT_EQ(s.MaxY(), 5);
    s.SetUseYOrigin(false);
    EXPECT_EQ(s.MinY(), 2);

    TBarSeries n;
    for (double v : {-4.0, -1.0}) n.AddPoint(n.Count(), v);
    EXPECT_EQ(n.MinY(), -4);
    EXPECT_EQ(n.MaxY(), 0);
}

TEST(BarSeriesTest, OutOfRangePercentsAreRefusedAndLeaveTheValue) {
    TBarSeries s;
    for (int bad : {0, 101}) {
        try {
            s.SetBarWidthPercent(bad);
            ADD_FAILURE() << bad;
        } catch (const BarException& e) {
            EXPECT_STREQ(e.what(), "Bar Width Percent must be between 1 and 100");
        }
    }
    EXPECT_EQ(s.BarWidthPercent(), 70);
    s.SetBarWidthPercent(1);
    EXPECT_EQ(s.BarWidthPercent(), 1);
    s.SetBarWidthPercent(100);
    EXPECT_EQ(s.BarWidthPercent(), 100);

    for (int bad : {-101, 101}) {
        try {
            s.SetOffsetPercent(bad);
            ADD_FAILURE() << bad;
        } catch (const BarException& e) {
            EXPECT_STREQ(e.what(), "Bar Offset Percent must be between -100% and 100%");
        }
    }
    EXPECT_EQ(s.OffsetPercent(), 0);
    s.SetOffsetPercent(-100);
    EXPECT_EQ(s.OffsetPercent(), -100);
}

TEST(BarSeriesTest, MultiBarAndSideMarginsApplyToEverySeriesOfTheSameKind) {
    TBarChart t;
    auto& line = t.Add<TLineSeries>();
    (void)line;
    t.a.SetMultiBar(TMultiBar::mbNone);
    EXPECT_EQ(t.b.MultiBar(), TMultiBar::mbNone);
    t.b.SetSideMargins(false);
    EXPECT_FALSE(t.a.SideMargins());
    EXPECT_EQ(t.a.SideBySideCount(), 1);

    // Without side margins the slot count is the point count and the margin is half a group.
    t.a.SetMultiBar(TMultiBar::mbSide);
    t.Fill(100);
    t.Draw();
    EXPECT_EQ(t.a.BarPixelWidth, 2);  // slots of 6: 4.2 → 4, two series
    int left = 0, right = 0;
    t.a.HorizontalMargins(left, right);
    EXPECT_EQ(left, 2);
}

TEST(BarSeriesTest, OffsetAndAutoBarSize) {
    TBarChart t;
    t.Fill(10);
    t.chart.BottomAxis().SetRange(-250, 350);
    t.a.SetOffsetPercent(50);
    t.Draw();
    EXPECT_EQ(t.a.XPixel(5), 255 - 20 + 10);

    t.a.SetAutoBarSize(true);
    t.b.SetAutoBarSize(true);
    t.chart.BottomAxis().SetRange(0, 98);  // slots of 600 / 100 = 6 whatever the count
    t.Draw();
    EXPECT_EQ(t.a.BarPixelWidth, 2);
}

TEST(BarSeriesTest, InvertedAxisDrawsFromTheLastPoint) {
    TSeriesChart t;
    auto& s = t.Add<TBarSeries>();
    s.SetCustomBarWidth(4);
    for (int i = 1; i <= 3; ++i) s.AddPoint(100 * i, 50);
    EXPECT_TRUE(s.DrawsForward());
    t.chart.BottomAxis().SetInverted(true);
    t.Draw();
    EXPECT_FALSE(s.DrawsForward());
    const Calls calls = t.SeriesCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[1], "Rectangle(298,350,302,400)");  // x = 300 at pixel 300
    EXPECT_EQ(calls[5], "Rectangle(498,350,502,400)");  // x = 100 at pixel 500
}

TEST(BarSeriesTest, OtherBarStylesComeFromTheEvent) {
    TSeriesChart t;
    auto& s = t.Add<TBarSeries>();
    s.SetCustomBarWidth(10);
    s.OnGetBarStyle = [](TCustomBarSeries&, int) { return TBarStyle::bsPyramid; };
    s.AddPoint(100, 100);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls().back(), "Polygon((95,400),(100,300),(105,400))");
}

TEST(BarSeriesTest, DefaultsOfBarSeries) {
    TBarSeries s;
    EXPECT_EQ(s.YValues().Name, "Bar");
    EXPECT_EQ(s.YValues().Order, TChartListOrder::loNone);
    EXPECT_EQ(s.XValues().Name, "X");
    EXPECT_EQ(s.XValues().Order, TChartListOrder::loAscending);
    EXPECT_FALSE(s.DrawBetweenPoints);
    EXPECT_EQ(s.BarWidthPercent(), 70);
    EXPECT_EQ(s.MultiBar(), TMultiBar::mbSide);
    EXPECT_TRUE(s.SideMargins());
    EXPECT_TRUE(s.UseYOrigin());
    EXPECT_EQ(s.BarPixelWidth, 0);
    EXPECT_EQ(s.BarBrush.Color, clAutoColor);
    int top = -1, bottom = -1;
    s.VerticalMargins(top, bottom);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(bottom, 0);
    // Without points there is no width and no margin.
    int left = -1, right = -1;
    s.HorizontalMargins(left, right);
    EXPECT_EQ(left, 0);
}

TEST(BarSeriesTest, ClickedHitsTheBarUnderThePixel) {
    TBarChart t;
    t.Fill(10);
    t.chart.BottomAxis().SetRange(-0.5, 9.5);  // day 5 at pixel 330; bars 310 … 330 and 330 … 350
    t.Draw();
    EXPECT_EQ(t.a.Clicked(315, 150), 5);
    EXPECT_EQ(t.a.Clicked(331, 150), -1);
    EXPECT_EQ(t.b.Clicked(331, 150), 5);
    EXPECT_EQ(t.a.Clicked(315, 99), -1);
    EXPECT_EQ(t.a.Clicked(315, 200), -1);

    // Where bars overlap, the one drawn later is on top.
    TBarChart dense;
    dense.Fill(100);
    dense.chart.BottomAxis().SetRange(-250, 350);  // one pixel per day, bars 2 pixels wide
    dense.Draw();
    EXPECT_EQ(dense.a.Clicked(299, 150), 51);
}

}  // namespace
}  // namespace zyn::chart::test
