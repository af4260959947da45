#include <gtest/gtest.h>

#include "chart/LineSeries.h"
#include "SeriesTestSupport.h"

namespace zyn::chart::test {
namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ChartException& e) {
        return e.what();
    }
    return "(no exception)";
}

TEST(LineSeriesTest, StraightSegmentsTakeTheColourOfThePointTheyEndAt) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 150, "", clRed);
    s.AddPoint(300, 120, "", clBlue);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(200,250)", "MoveTo(200,250)", "LineTo(300,280)"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[1].Pen.Color, clRed);
    EXPECT_EQ(rec[3].Pen.Color, clBlue);
    EXPECT_EQ(rec[3].Pen.Width, 1);
    EXPECT_EQ(rec[3].Brush.Style, TBrushStyle::bsClear);
}

TEST(LineSeriesTest, LinePenGivesWidthAndStyleButNotColour) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.LinePen = TChartPen(clBlack, 2, TPenStyle::psDash, true);
    s.AddPoint(100, 100, "", clMaroon);
    s.AddPoint(200, 100, "", clMaroon);
    t.Draw();
    const auto rec = t.SeriesCallRecords();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[1].Pen, (TCanvasPen{clMaroon, 2, TPenStyle::psDash}));

    s.LinePen.Visible = false;
    t.Draw();
    ASSERT_EQ(t.SeriesCallRecords().size(), 2u);
    EXPECT_EQ(t.SeriesCallRecords()[1].Pen.Style, TPenStyle::psClear);
}

TEST(LineSeriesTest, StairsRunAlongThePreviousLevelThenStep) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.SetStairs(true);
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 200, "", clRed);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(200,300)", "LineTo(200,200)"}));
    for (const auto& c : t.SeriesCallRecords()) {
        if (c.Op == TCanvasOp::LineTo) {
            EXPECT_EQ(c.Pen.Color, clRed) << c.ToString(true);
        }
    }

    s.SetInvertedStairs(true);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(100,200)", "LineTo(200,200)"}));
}

TEST(LineSeriesTest, LastStairLevelEndsAtItsOwnPoint) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.SetStairs(true);
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 200, "", clGreen);
    s.AddPoint(300, 150, "", clGreen);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(200,300)", "LineTo(200,200)", "MoveTo(200,200)",
                                      "LineTo(300,200)", "LineTo(300,250)"}));
}

// Points x = 0, 10, … 90 with y = 100 + 20 i; the axis shows 45 … 645, so points 0 … 4 lie left
// of the plot and point 5 (column 5) is the first visible one.
struct TScrolledLine : TSeriesChart {
    TLineSeries& s = Add<TLineSeries>();
    TScrolledLine() {
        for (int i = 0; i < 10; ++i) s.AddPoint(10 * i, 100 + 20 * i, "", i == 5 ? clBlue : clGreen);
        chart.BottomAxis().SetRange(45, 645);
    }
};

TEST(LineSeriesTest, StraightLineEntersAtThePlotEdgeOnTheLineThroughTheHiddenPoint) {
    TScrolledLine t;
    t.Draw();
    EXPECT_EQ(t.s.FirstVisibleIndex, 5);
    const Calls calls = t.SeriesCalls();
    ASSERT_GE(calls.size(), 4u);
    // At value 45 the line from (40, 180) to (50, 200) is at 190, row 210.
    EXPECT_EQ(calls[0], "MoveTo(0,210)");
    EXPECT_EQ(calls[1], "LineTo(5,200)");
    EXPECT_EQ(calls[2], "MoveTo(5,200)");
    EXPECT_EQ(calls[3], "LineTo(15,180)");
    EXPECT_EQ(t.SeriesCallRecords()[1].Pen.Color, clBlue);
}

TEST(LineSeriesTest, StairLineEntersAtThePlotEdgeOnTheHiddenPointsLevel) {
    TScrolledLine t;
    t.s.SetStairs(true);
    t.Draw();
    const Calls calls = t.SeriesCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "MoveTo(0,220)");
    EXPECT_EQ(calls[1], "LineTo(5,220)");
    EXPECT_EQ(calls[2], "LineTo(5,200)");
}

TEST(LineSeriesTest, NoEntryFromANullPointBeyondTheEdge) {
    TScrolledLine t;
    t.s.SetPointColor(4, clNone);
    t.Draw();
    const Calls calls = t.SeriesCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "MoveTo(5,200)");
    EXPECT_EQ(calls[1], "LineTo(15,180)");
}

TEST(LineSeriesTest, EntryOnAnInvertedAxisIsAtTheRightEdge) {
    TScrolledLine t;
    t.chart.BottomAxis().SetInverted(true);
    t.Draw();
    const Calls calls = t.SeriesCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "MoveTo(600,210)");
    EXPECT_EQ(calls[1], "LineTo(595,200)");
}

TEST(LineSeriesTest, OnePointSeriesWithPointerDrawsOnlyThePointer) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.SetSeriesColor(clBlue);
    s.Pointer.SetVisible(true);
    s.AddPoint(300, 200);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"Rectangle(296,196,305,205)"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[0].Pen, (TCanvasPen{clBlack, 1, TPenStyle::psSolid}));
    EXPECT_EQ(rec[0].Brush, (TCanvasBrush{clBlue, TBrushStyle::bsSolid}));
}

TEST(LineSeriesTest, TwoPointsOnOnePixelDrawNoSegmentButBothPointers) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.Pointer.SetVisible(true);
    s.AddPoint(300, 200, "", clRed);
    s.AddPoint(300.2, 200.2, "", clBlue);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"Rectangle(296,196,305,205)", "Rectangle(296,196,305,205)"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[0].Brush.Color, clRed);
    EXPECT_EQ(rec[1].Brush.Color, clBlue);
}

TEST(LineSeriesTest, EachPointerIsDrawnAfterBothSegmentsMeetingAtItsPoint) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.Pointer.SetVisible(true);
    s.Pointer.SetStyle(TSeriesPointerStyle::psCircle);
    s.Pointer.SetHorizSize(2);
    s.Pointer.SetVertSize(2);
    s.AddPoint(100, 100, "", clFuchsia);
    s.AddPoint(200, 150, "", clFuchsia);
    s.AddPoint(300, 120, "", clFuchsia);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(200,250)", "Ellipse(98,298,102,302)",
                                      "MoveTo(200,250)", "LineTo(300,280)", "Ellipse(198,248,202,252)",
                                      "Ellipse(298,278,302,282)"}));
    const auto rec = t.SeriesCallRecords();
    EXPECT_EQ(rec[1].Pen.Color, clFuchsia);
    EXPECT_EQ(rec[2].Pen.Color, clBlack);
    EXPECT_EQ(rec[2].Brush, (TCanvasBrush{clFuchsia, TBrushStyle::bsSolid}));
    // The pointer's own colours win over the point colour when set.
    s.Pointer.Brush.Color = clWhite;
    s.Pointer.Pen.Color = clAutoColor;
    t.Draw();
    const auto again = t.SeriesCallRecords();
    EXPECT_EQ(again[2].Brush.Color, clWhite);
    EXPECT_EQ(again[2].Pen.Color, clFuchsia);
}

TEST(LineSeriesTest, NullPointsBreakTheLineAndGetNoPointer) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.Pointer.SetVisible(true);
    for (int i = 0; i < 5; ++i) s.AddPoint(100 * (i + 1), 100, "", i == 2 ? clNone : clGreen);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(),
              (Calls{"MoveTo(100,300)", "LineTo(200,300)", "Rectangle(96,296,105,305)", "Rectangle(196,296,205,305)",
                     "MoveTo(400,300)", "LineTo(500,300)", "Rectangle(396,296,405,305)", "Rectangle(496,296,505,305)"}));
}

TEST(LineSeriesTest, PointsBeyondThePixelLimitAreSkippedAndTheLineJoinsAcross) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 1e6, "", clGreen);
    s.AddPoint(300, 100, "", clGreen);
    t.Draw();
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(100,300)", "LineTo(300,300)"}));
}

TEST(LineSeriesTest, ASkippedFirstPointDoesNotJoinThePreviousPaint) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.AddPoint(100, 1e6, "", clGreen);
    s.AddPoint(200, 100, "", clGreen);
    s.AddPoint(300, 100, "", clGreen);
    t.Draw();
    t.Draw();  // the state of the first paint ends at (300, 300)
    EXPECT_EQ(t.SeriesCalls(), (Calls{"MoveTo(200,300)", "LineTo(300,300)"}));
}

TEST(LineSeriesTest, PointerShapeMayBeChosenPerPoint) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.Pointer.SetVisible(true);
    s.LinePen.Visible = false;
    s.OnGetPointerStyle = [](TCustomSeries&, int index) {
        return index == 1 ? TSeriesPointerStyle::psTriangle : TSeriesPointerStyle::psRectangle;
    };
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 100, "", clGreen);
    t.Draw();
    const Calls calls = t.SeriesCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2], "Rectangle(96,296,105,305)");
    EXPECT_EQ(calls[3], "Polygon((196,304),(204,304),(200,296))");
}

TEST(LineSeriesTest, MarginsFollowPointerStairsAndLineHeight) {
    TLineSeries plain;
    int l = -1, r = -1, top = -1, bottom = -1;
    plain.HorizontalMargins(l, r);
    plain.VerticalMargins(top, bottom);
    EXPECT_EQ((std::vector<int>{l, r, top, bottom}), (std::vector<int>{0, 0, 0, 0}));

    TLineSeries mid;
    mid.Pointer.SetVisible(true);
    mid.Pointer.SetHorizSize(2);
    mid.Pointer.SetVertSize(2);
    mid.HorizontalMargins(l, r);
    mid.VerticalMargins(top, bottom);
    EXPECT_EQ((std::vector<int>{l, r, top, bottom}), (std::vector<int>{3, 3, 3, 3}));
    mid.Pointer.SetInflateMargins(false);
    mid.HorizontalMargins(l, r);
    EXPECT_EQ(l, 0);

    TLineSeries level;
    level.SetStairs(true);
    level.HorizontalMargins(l, r);
    level.VerticalMargins(top, bottom);
    EXPECT_EQ((std::vector<int>{l, r, top, bottom}), (std::vector<int>{1, 1, 1, 2}));
    level.LinePen.Width = 2;
    level.HorizontalMargins(l, r);
    level.VerticalMargins(top, bottom);
    EXPECT_EQ((std::vector<int>{l, r, top, bottom}), (std::vector<int>{2, 2, 2, 3}));
    level.SetLineHeight(7);
    level.VerticalMargins(top, bottom);
    EXPECT_EQ(bottom, 7);
}

TEST(LineSeriesTest, PointerSizeBelowOneIsRefusedAndSettersRepaintOnlyOnChange) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    EXPECT_EQ(MessageOf([&] { s.Pointer.SetHorizSize(0); }), "Pointer size must be greater than zero");
    EXPECT_EQ(MessageOf([&] { s.Pointer.SetVertSize(-3); }), "Pointer size must be greater than zero");
    EXPECT_EQ(s.Pointer.HorizSize(), 4);
    EXPECT_EQ(s.Pointer.VertSize(), 4);

    t.Draw();
    ASSERT_TRUE(t.Rec().BufferValid);
    s.Pointer.SetHorizSize(4);
    s.SetStairs(false);
    EXPECT_TRUE(t.Rec().BufferValid);
    s.Pointer.SetHorizSize(3);
    EXPECT_FALSE(t.Rec().BufferValid);
    t.Draw();
    s.SetStairs(true);
    EXPECT_FALSE(t.Rec().BufferValid);
}

TEST(LineSeriesTest, DefaultsOfLineSeries) {
    TLineSeries s;
    EXPECT_TRUE(s.DrawBetweenPoints);
    EXPECT_FALSE(s.Pointer.Visible());
    EXPECT_EQ(s.Pointer.Style(), TSeriesPointerStyle::psRectangle);
    EXPECT_TRUE(s.Pointer.InflateMargins());
    EXPECT_EQ(s.Pointer.Brush.Color, clAutoColor);
    EXPECT_EQ(s.LinePen, TChartPen());
    EXPECT_FALSE(s.Stairs());
}

TEST(LineSeriesTest, ClickedFindsSegmentsAndPointersOfTheVisibleRange) {
    TSeriesChart t;
    auto& s = t.Add<TLineSeries>();
    s.AddPoint(100, 100, "", clGreen);
    s.AddPoint(200, 200, "", clGreen);
    s.AddPoint(300, 100, "", clGreen);
    t.Draw();
    EXPECT_EQ(s.Clicked(120, 280), 0);  // on the first segment, nearer its start
    EXPECT_EQ(s.Clicked(190, 212), 1);  // within 3 pixels, nearer its end
    EXPECT_EQ(s.Clicked(150, 240), -1);
    EXPECT_EQ(s.Clicked(280, 281), 2);
    EXPECT_EQ(s.Clicked(500, 300), -1);

    s.Pointer.SetVisible(true);
    s.LinePen.Visible = false;
    t.Draw();
    EXPECT_EQ(s.Clicked(104, 296), 0);
    EXPECT_EQ(s.Clicked(150, 250), -1);

    s.Pointer.SetVisible(false);
    s.LinePen.Visible = true;
    s.SetStairs(true);
    t.Draw();
    EXPECT_EQ(s.Clicked(150, 301), 0);  // the level of point 0 runs to x = 200
    EXPECT_EQ(s.Clicked(201, 260), 1);  // the step at x = 200
    EXPECT_EQ(s.Clicked(150, 250), -1);
}

}  // namespace
}  // namespace zyn::chart::test
