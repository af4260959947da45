#include <gtest/gtest.h>

#include "chart/CandleSeries.h"
#include "SeriesTestSupport.h"

namespace zyn::chart::test {
namespace {

// The viewer's candle settings; the series colour is blue here so that the tie colour is told
// apart from the down colour.
struct TCandleChart : TSeriesChart {
    TCandleSeries& s = Add<TCandleSeries>();
    TCandleChart() {
        s.SetUpCloseColor(clGreen);
        s.SetCandleWidth(8);
        s.Pen().Width = 3;
        s.SetSeriesColor(clBlue);
    }
    // The calls drawing the candle at x = 300 (after any earlier candles).
    Calls LastCandle() {
        const Calls all = SeriesCalls();
        Calls out;
        bool found = false;
        for (const auto& c : all) {
            if (c == "MoveTo(300,310)") found = true;
            if (found) out.push_back(c);
        }
        return out;
    }
    TCanvasCall LastRecord() { return SeriesCallRecords().back(); }
};

TEST(CandleSeriesTest, RisingCandleHasAnUpBodyOverABlackWick) {
    TCandleChart t;
    t.s.AddCandlePoint(300, 100, 130, 90, 120);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "Polygon((296,300),(304,300),(304,280),(296,280))"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[1].Pen, (TCanvasPen{clBlack, 3, TPenStyle::psSolid}));
    EXPECT_EQ(rec[2].Pen, (TCanvasPen{clBlack, 3, TPenStyle::psSolid}));
    EXPECT_EQ(rec[2].Brush, (TCanvasBrush{clGreen, TBrushStyle::bsSolid}));
}

TEST(CandleSeriesTest, FallingCandleHasADownBody) {
    TCandleChart t;
    t.s.AddCandlePoint(300, 120, 130, 90, 100);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "Polygon((296,280),(304,280),(304,300),(296,300))"}));
    EXPECT_EQ(t.LastRecord().Brush.Color, clRed);
}

TEST(CandleSeriesTest, FlatCandleIsALineColouredByTheCloseAgainstThePreviousClose) {
    struct Case {
        double previousClose;
        TColor expected;
    };
    for (const Case& c : {Case{130, clRed}, Case{110, clBlue}, Case{100, clGreen}}) {
        TCandleChart t;
        t.s.AddCandlePoint(200, 100, 140, 90, c.previousClose);
        t.s.AddCandlePoint(300, 110, 130, 90, 110);
        t.Draw();
        EXPECT_EQ(t.LastCandle(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "MoveTo(296,290)", "LineTo(304,290)"}))
            << c.previousClose;
        EXPECT_EQ(t.LastRecord().Pen, (TCanvasPen{c.expected, 3, TPenStyle::psSolid})) << c.previousClose;
    }
}

TEST(CandleSeriesTest, TieTakesThePreviousPointsOwnColourNeverTheCandlesOwn) {
    TCandleChart t;
    t.s.AddCandlePoint(200, 100, 140, 90, 110);
    t.s.AddCandlePoint(300, 110, 130, 90, 110);
    t.s.AddCandlePoint(400, 100, 130, 90, 120);
    t.s.SetPointColor(0, clFuchsia);
    t.s.SetPointColor(2, clMaroon);
    t.Draw();
    const auto rec = t.SeriesCallRecords();
    ASSERT_EQ(rec.size(), 10u);
    EXPECT_EQ(rec[6].ToString(), "LineTo(304,290)");
    EXPECT_EQ(rec[6].Pen.Color, clFuchsia);  // flat candle 1: the tie colour is point 0's
    EXPECT_EQ(rec[9].Brush.Color, clGreen);  // rising candle 2 ignores its own colour
}

TEST(CandleSeriesTest, FirstPointFlatIsUp) {
    TCandleChart t;
    t.s.AddCandlePoint(300, 110, 130, 90, 110);
    t.Draw();
    EXPECT_EQ(t.LastRecord().Pen.Color, clGreen);
}

TEST(CandleSeriesTest, OpenAndCloseOnOnePixelRowAreALineNotABody) {
    for (double previous : {110.3, 110.5}) {
        TCandleChart t;
        t.s.AddCandlePoint(200, 100, 140, 90, previous);
        t.s.AddCandlePoint(300, 110.2, 130, 90, 110.4);
        t.Draw();
        EXPECT_EQ(t.LastCandle(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "MoveTo(296,290)", "LineTo(304,290)"}));
        EXPECT_EQ(t.LastRecord().Pen.Color, previous < 110.4 ? clGreen : clRed);
    }
}

TEST(CandleSeriesTest, DefaultWidthPutsTheOddPixelOnTheRight) {
    TSeriesChart t;
    auto& s = t.Add<TCandleSeries>();
    EXPECT_EQ(s.CandleWidth(), 5);
    EXPECT_EQ(s.UpCloseColor(), clWhite);
    EXPECT_EQ(s.DownCloseColor(), clRed);
    EXPECT_FALSE(s.Pointer.Draw3D);
    EXPECT_TRUE(s.DrawBetweenPoints);
    s.AddCandlePoint(300, 100, 130, 90, 120);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls().back(), "Polygon((298,300),(303,300),(303,280),(298,280))");
    EXPECT_EQ(t.SeriesCallRecords().back().Pen, (TCanvasPen{clBlack, 1, TPenStyle::psSolid}));
}

TEST(CandleSeriesTest, BarStyleDrawsTicksOutwardsInTheCandleColour) {
    TCandleChart t;
    t.s.SetCandleStyle(TCandleStyle::csCandleBar);
    t.s.AddCandlePoint(300, 100, 130, 90, 120);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "MoveTo(300,300)", "LineTo(296,300)",
                                      "MoveTo(300,280)", "LineTo(304,280)"}));
    for (const auto& c : t.SeriesCallRecords()) EXPECT_EQ(c.Pen, (TCanvasPen{clGreen, 3, TPenStyle::psSolid}));

    t.s.SetShowOpenTick(false);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(300,310)", "LineTo(300,270)", "MoveTo(300,280)", "LineTo(304,280)"}));
}

TEST(CandleSeriesTest, InvisiblePenDrawsNoOutline) {
    TCandleChart t;
    t.s.Pen().Visible = false;
    t.s.AddCandlePoint(300, 100, 130, 90, 120);
    t.Draw();
    for (const auto& c : t.SeriesCallRecords()) EXPECT_EQ(c.Pen.Style, TPenStyle::psClear);
}

TEST(CandleSeriesTest, NullCandleIsNotDrawn) {
    TCandleChart t;
    t.s.AddCandlePoint(200, 100, 130, 90, 120);
    t.s.AddCandlePoint(300, 100, 130, 90, 120);
    t.s.SetPointColor(0, clNone);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls().front(), "MoveTo(300,310)");
    EXPECT_EQ(t.SeriesCalls().size(), 3u);
}

TEST(CandleSeriesTest, FiveListsFilledTogetherAndClearedTogether) {
    TCandleSeries s;
    ASSERT_EQ(s.ValuesLists().size(), 5u);
    EXPECT_EQ(s.DateValues().Name, "Date");
    EXPECT_TRUE(s.DateValues().DateTime());
    EXPECT_EQ(s.DateValues().Order, TChartListOrder::loAscending);
    EXPECT_EQ(s.OpenValues().Name, "Open");
    EXPECT_EQ(s.HighValues().Name, "High");
    EXPECT_EQ(s.LowValues().Name, "Low");
    EXPECT_EQ(s.CloseValues().Name, "Close");

    EXPECT_EQ(s.AddCandlePoint(0, 10, 13, 9, 12), 0);
    EXPECT_EQ(s.AddCandlePoint(2, 20, 23, 19, 22), 1);
    EXPECT_EQ(s.AddCandlePoint(1, 30, 33, 29, 32), 1);  // between the two: all lists follow the date
    EXPECT_EQ(s.OpenValues().ValueAt(1), 30);
    EXPECT_EQ(s.HighValues().ValueAt(1), 33);
    EXPECT_EQ(s.LowValues().ValueAt(2), 19);
    EXPECT_EQ(s.CloseValues().ValueAt(2), 22);
    EXPECT_EQ(s.PointColor(0), s.SeriesColor());
    EXPECT_EQ(s.XLabel(0), "");

    s.DeletePoint(0);
    EXPECT_EQ(s.CloseValues().Count(), 2);
    EXPECT_EQ(s.CloseValues().ValueAt(0), 32);
    s.Clear();
    for (const auto& list : s.ValuesLists()) EXPECT_EQ(list->Count(), 0) << list->Name;

    s.OnBeforeAdd = [](TChartSeries&) { return false; };
    EXPECT_EQ(s.AddCandlePoint(0, 1, 2, 0, 1), -1);
    for (const auto& list : s.ValuesLists()) EXPECT_EQ(list->Count(), 0) << list->Name;
}

TEST(CandleSeriesTest, VerticalExtentRunsOverAllFourPrices) {
    TCandleSeries s;
    s.AddCandlePoint(0, 10, 13, 9, 12);
    s.AddCandlePoint(1, 12, 15, 11, 11);
    EXPECT_EQ(s.MaxY(), 15);  // the high above every close
    EXPECT_EQ(s.MinY(), 9);
    s.AddCandlePoint(2, 11, 12, 10, 18);  // a close above its own high counts
    EXPECT_EQ(s.MaxY(), 18);
    s.AddCandlePoint(3, 5, 12, 10, 11);  // so does an open below the low
    EXPECT_EQ(s.MinY(), 5);
}

TEST(CandleSeriesTest, MarginsKeepOutermostCandlesFivePixelsInside) {
    TCandleSeries s;
    int l = 0, r = 0, top = 0, bottom = 0;
    s.HorizontalMargins(l, r);
    s.VerticalMargins(top, bottom);
    EXPECT_EQ((std::vector<int>{l, r, top, bottom}), (std::vector<int>{5, 5, 5, 5}));

    TCandleChart t;
    for (int i = 0; i < 10; ++i) t.s.AddCandlePoint(i, 100 + i, 120 + i, 90 - i, 105);
    t.chart.BottomAxis().SetAutomatic(true);
    t.chart.LeftAxis().SetAutomatic(true);
    t.Draw();
    EXPECT_EQ(t.s.XPixel(0), t.chart.PlotRect.Left + 5);
    EXPECT_EQ(t.s.XPixel(9), t.chart.PlotRect.Right - 5);
    EXPECT_EQ(t.chart.LeftAxis().ValueToPixel(129), t.chart.PlotRect.Top + 5);
    EXPECT_EQ(t.chart.LeftAxis().ValueToPixel(81), t.chart.PlotRect.Bottom - 5);
}

TEST(CandleSeriesTest, SettersRepaintOnlyOnChange) {
    TCandleChart t;
    t.Draw();
    t.s.SetCandleWidth(8);
    t.s.SetUpCloseColor(clGreen);
    EXPECT_TRUE(t.Rec().BufferValid);
    t.s.SetCandleWidth(9);
    EXPECT_FALSE(t.Rec().BufferValid);
    t.Draw();
    t.s.SetDownCloseColor(clMaroon);
    EXPECT_FALSE(t.Rec().BufferValid);
}

TEST(CandleSeriesTest, ClickedHitsBodyAndWickWithinThePen) {
    TCandleChart t;
    t.s.AddCandlePoint(300, 100, 130, 90, 120);  // body 296 … 304 × 280 … 300, wick 270 … 310
    t.Draw();
    EXPECT_EQ(t.s.Clicked(302, 290), 0);
    EXPECT_EQ(t.s.Clicked(300, 308), 0);
    EXPECT_EQ(t.s.Clicked(301, 272), 0);  // a 3-pixel wick covers x − 1 … x + 1
    EXPECT_EQ(t.s.Clicked(303, 308), -1);
    EXPECT_EQ(t.s.Clicked(300, 315), -1);
    EXPECT_EQ(t.s.Clicked(320, 290), -1);
}

}  // namespace
}  // namespace zyn::chart::test
