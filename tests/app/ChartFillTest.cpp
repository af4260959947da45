#include <gtest/gtest.h>

#include <memory>

#include "app/ChartSetup.h"
#include "chart/RecordingCanvas.h"
#include "tests/app/DataFiles.h"

namespace zyn::app {
namespace {

using namespace zyn::chart;
using zyn::test::Day;

struct TFilledChart {
    TChart chart{std::make_unique<TRecordingCanvas>()};
    TChart1Series s;
    TFilledChart() {
        chart.FormatSettings.ShortDateFormat = "dd.MM.yyyy";
        s = SetupChart1(chart);
    }
    void Fill(const RecordList& records, const std::string& title = "DAX", bool projection = true) {
        FillChart1(chart, s, records, title, projection);
    }
};

TEST(ChartSetup, FourteenSeriesInOrderWithTheirSettings) {
    TFilledChart f;
    const auto& list = f.chart.SeriesList();
    const char* names[] = {"SeriesKurse", "SeriesMidPoint", "SeriesRangeHigh", "SeriesRangeLow", "SeriesR3",
                           "SeriesR2",    "SeriesR1",       "SeriesPiv",       "SeriesS1",       "SeriesS2",
                           "SeriesS3",    "SeriesZero",     "SeriesZYN_Trend", "SeriesZYN_Summe"};
    const char* titles[] = {"Kurse", "Midpoint", "RangeHigh", "RangeLow", "R3", "R2", "R1",
                            "Piv",   "S1",       "S2",        "S3",       "Zero", "ZYN_Trend", "ZYN_Summe"};
    const TColor colors[] = {clRed,   clMaroon, clGreen, clGreen, clGreen, clGreen, clGreen,
                             clMaroon, clGreen, clGreen, clGreen, clGray,  0x408000, clRed};
    ASSERT_EQ(list.size(), 14u);
    for (size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(list[i]->Name, names[i]);
        EXPECT_EQ(list[i]->Title(), titles[i]);
        EXPECT_EQ(list[i]->SeriesColor(), colors[i]) << names[i];
        EXPECT_EQ(list[i]->VertAxis(), i < 11 ? TVertAxis::aRightAxis : TVertAxis::aLeftAxis) << names[i];
        EXPECT_EQ(list[i]->HorizAxis(), THorizAxis::aBottomAxis);
        EXPECT_FALSE(list[i]->MarksVisible);
        EXPECT_EQ(list[i]->XValues().Order, TChartListOrder::loAscending);
        EXPECT_EQ(list[i]->YValues().Order, TChartListOrder::loNone);
    }
    const TCandleSeries& k = *f.s.SeriesKurse;
    EXPECT_EQ(k.CandleWidth(), 8);
    EXPECT_EQ(k.UpCloseColor(), clGreen);
    EXPECT_EQ(k.DownCloseColor(), clRed);
    EXPECT_EQ(f.s.SeriesKurse->Pen().Width, 3);
    EXPECT_EQ(k.XValues().Name, "Date");
    EXPECT_TRUE(k.XValues().DateTime());
    EXPECT_EQ(k.ValuesLists().size(), 5u);
    EXPECT_TRUE(f.s.SeriesMidPoint->Pointer.Visible());
    EXPECT_EQ(f.s.SeriesMidPoint->Pointer.Style(), TSeriesPointerStyle::psCircle);
    EXPECT_EQ(f.s.SeriesMidPoint->Pointer.HorizSize(), 2);
    EXPECT_FALSE(f.s.SeriesR3->Pointer.Visible());
    EXPECT_TRUE(f.s.SeriesR3->Stairs());
    EXPECT_FALSE(f.s.SeriesRangeHigh->Stairs());
    EXPECT_EQ(f.s.SeriesPiv->LinePen.Width, 2);
    EXPECT_EQ(f.s.SeriesPiv->Pointer.Pen.Width, 2);
    EXPECT_EQ(f.s.SeriesZYN_Trend->YValues().Name, "Bar");

    TChart& c = f.chart;
    EXPECT_EQ(c.Color(), clWhite);
    EXPECT_EQ(c.BevelInner(), TPanelBevel::bvLowered);
    EXPECT_EQ(c.BorderWidth(), 2);
    EXPECT_FALSE(c.View3D());
    EXPECT_FALSE(c.Legend.Visible);
    EXPECT_EQ(c.BackWall.Brush.Style, TBrushStyle::bsClear);
    EXPECT_EQ(c.Title.Text(), std::vector<std::string>{"TChart"});
    EXPECT_FALSE(c.LeftAxis().Automatic());
    EXPECT_EQ(c.LeftAxis().Minimum(), -6);
    EXPECT_EQ(c.LeftAxis().Maximum(), 6);
    EXPECT_EQ(c.LeftAxis().Increment(), 2);
    EXPECT_EQ(c.LeftAxis().StartPosition(), 85);
    EXPECT_EQ(c.RightAxis().EndPosition(), 85);
    EXPECT_TRUE(c.RightAxis().Automatic());
    EXPECT_EQ(c.BottomAxis().DateTimeFormat(), "dd.MM.yyyy");
}

TEST(ChartFill, NoRecordsStillSetsTitleAndFormat) {
    TFilledChart f;
    f.Fill({Day(1, 100)});
    f.Fill({}, "EURUSD");
    for (TChartSeries* s : f.chart.SeriesList()) EXPECT_EQ(s->Count(), 0) << s->Name;
    EXPECT_EQ(f.chart.Title.Text(), std::vector<std::string>{"EURUSD"});
    EXPECT_EQ(f.chart.RightAxis().AxisValuesFormat(), "0.###0");
}

TEST(ChartFill, NumberFormatPerInstrument) {
    TFilledChart f;
    f.Fill({}, "DAX");
    EXPECT_EQ(f.chart.RightAxis().AxisValuesFormat(), "0.#0");
    f.Fill({}, "USDJPY");
    EXPECT_EQ(f.chart.RightAxis().AxisValuesFormat(), "0.###0");
    f.Fill({}, "Indices (Cash)");
    EXPECT_EQ(f.chart.RightAxis().AxisValuesFormat(), "0.#0");
    f.Fill({}, "usdjpy");  // exact comparison
    EXPECT_EQ(f.chart.RightAxis().AxisValuesFormat(), "0.#0");
}

TEST(ChartFill, OneRecordWithAndWithoutProjection) {
    TFilledChart f;
    f.Fill({Day(5, 100)}, "DAX", true);
    EXPECT_EQ(f.s.SeriesKurse->Count(), 1);
    EXPECT_EQ(f.s.SeriesMidPoint->Count(), 1);
    EXPECT_EQ(f.s.SeriesZero->Count(), 1);
    EXPECT_EQ(f.s.SeriesZYN_Trend->Count(), 1);
    EXPECT_EQ(f.s.SeriesZYN_Summe->Count(), 1);
    for (TChartSeries* s : {(TChartSeries*)f.s.SeriesRangeHigh, (TChartSeries*)f.s.SeriesR3, (TChartSeries*)f.s.SeriesS3})
        EXPECT_EQ(s->Count(), 0);
    f.Fill({Day(5, 100)}, "DAX", false);
    EXPECT_EQ(f.s.SeriesPiv->Count(), 1);
    EXPECT_EQ(f.s.SeriesPiv->XValue(0), 0);
    EXPECT_EQ(f.s.SeriesPiv->YValue(0), 100.5);
}

TEST(ChartFill, NewestFirstFileIsDrawnOldestLeft) {
    TFilledChart f;
    f.Fill({Day(3, 300), Day(2, 200), Day(1, 100)});
    const TCandleSeries& k = *f.s.SeriesKurse;
    ASSERT_EQ(k.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(k.XValue(i), i);
    EXPECT_EQ(k.XLabel(0), "01.01.2024");
    EXPECT_EQ(k.XLabel(1), "02.01.2024");
    EXPECT_EQ(k.XLabel(2), "03.01.2024");
    EXPECT_EQ(k.YValue(0), 100);  // open of day 1
    EXPECT_EQ(const_cast<TCandleSeries&>(k).CloseValues().ValueAt(2), 301);
    EXPECT_EQ(const_cast<TCandleSeries&>(k).HighValues().ValueAt(1), 202);
    EXPECT_EQ(f.s.SeriesMidPoint->YValue(2), 300);
    // the other series carry no labels
    EXPECT_EQ(f.s.SeriesMidPoint->XLabel(0), "");
}

TEST(ChartFill, ProjectionShowsThePreviousDaysLevels) {
    TFilledChart f;
    const RecordList records{Day(3, 300), Day(2, 200), Day(1, 100)};
    f.Fill(records, "DAX", true);
    const TLineSeries& piv = *f.s.SeriesPiv;
    ASSERT_EQ(piv.Count(), 2);  // position 0 has no level, the newest levels are not shown
    EXPECT_EQ(piv.XValue(0), 1);
    EXPECT_EQ(piv.YValue(0), 100.5);  // L(day 1) beside the candle of day 2
    EXPECT_EQ(piv.XValue(1), 2);
    EXPECT_EQ(piv.YValue(1), 200.5);
    EXPECT_EQ(f.s.SeriesR3->YValue(0), 103.5);
    EXPECT_EQ(f.s.SeriesRangeLow->YValue(1), 190);

    f.Fill(records, "DAX", false);
    ASSERT_EQ(f.s.SeriesPiv->Count(), 3);
    EXPECT_EQ(f.s.SeriesPiv->YValue(0), 100.5);
    EXPECT_EQ(f.s.SeriesPiv->YValue(2), 300.5);
    // toggling twice gives the same points
    f.Fill(records, "DAX", true);
    f.Fill(records, "DAX", false);
    EXPECT_EQ(f.s.SeriesPiv->Count(), 3);
    EXPECT_EQ(f.s.SeriesS2->YValue(1), 197.5);
}

TEST(ChartFill, PointColours) {
    TFilledChart f;
    f.Fill({Day(2, 100, 0, 0), Day(1, 100, 1, 5)}, "DAX", false);
    // day 1 (x = 0): rising signals; day 2 (x = 1): zero signals take the falling colours
    EXPECT_EQ(f.s.SeriesZYN_Trend->PointColor(0), clGreen);
    EXPECT_EQ(f.s.SeriesZYN_Summe->PointColor(0), clBlue);
    EXPECT_EQ(f.s.SeriesZYN_Trend->PointColor(1), clRed);
    EXPECT_EQ(f.s.SeriesZYN_Summe->PointColor(1), clMaroon);
    EXPECT_EQ(f.s.SeriesZYN_Trend->YValue(1), 0);
    EXPECT_EQ(f.s.SeriesMidPoint->PointColor(0), clFuchsia);
    EXPECT_EQ(f.s.SeriesZero->PointColor(0), clGray);  // no colour of its own
    EXPECT_EQ(f.s.SeriesRangeHigh->PointColor(0), clBlue);
    EXPECT_EQ(f.s.SeriesR1->PointColor(0), clGreen);
    EXPECT_EQ(f.s.SeriesPiv->PointColor(0), clMaroon);
    EXPECT_EQ(f.s.SeriesS1->PointColor(0), clRed);
}

TEST(ChartFill, BandsSplitEightyFifteenAtAnySize) {
    TFilledChart f;
    f.Fill({Day(2, 100), Day(1, 90)});
    for (auto [w, h] : {std::pair{673, 378}, std::pair{1280, 800}, std::pair{300, 200}}) {
        f.chart.SetBounds(w, h);
        f.chart.DrawChart(TRect{0, 0, w, h});
        const int top = f.chart.PlotRect.Top;
        EXPECT_EQ(f.chart.RightAxis().StartPixel, top);
        EXPECT_EQ(f.chart.RightAxis().EndPixel, top + Round(f.chart.PlotHeight * 0.01 * 85));
        EXPECT_EQ(f.chart.LeftAxis().StartPixel, f.chart.RightAxis().EndPixel);
        EXPECT_EQ(f.chart.LeftAxis().EndPixel, f.chart.PlotRect.Bottom);
        EXPECT_FALSE(f.chart.AxisShown(f.chart.TopAxis()));
    }
}

}  // namespace
}  // namespace zyn::app
