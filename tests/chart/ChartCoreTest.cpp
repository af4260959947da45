#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "ChartTestSupport.h"
#include "chart/BarSeries.h"
#include "chart/LineSeries.h"
#include "chart/PixelMath.h"
#include "chart/compose/FrameContext.h"
#include "chart/compose/ValueRanges.h"

namespace zyn::chart {
namespace {

using test::TPlainSeries;
using test::TRecordedChart;

TEST(PixelMath, RoundsTiesToEvenAndMulDivAwayFromZero) {
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(1e300), 2147483647);
    EXPECT_EQ(Round(std::nan("")), 0);
    EXPECT_EQ(MulDiv(3, 673, 100), 20);
    EXPECT_EQ(MulDiv(4, 378, 100), 15);
    EXPECT_EQ(MulDiv(1, 5, 2), 3);    // 2.5 away from zero
    EXPECT_EQ(MulDiv(-1, 5, 2), -3);
    EXPECT_EQ(Div2(-3), -1);
}

TEST(ChartPanel, PlotRectAtDesignedSizeAndTitleShare) {
    TRecordedChart t;
    t.chart.SetBorderWidth(2);
    t.chart.SetAxisVisible(false);  // only panel margins and titles
    t.chart.Title.SetText({});
    t.Frame(673, 378);
    EXPECT_EQ(t.chart.PlotRect, (TRect{22, 17, 651, 361}));  // an empty title takes nothing

    t.chart.Title.SetText({"DAX"});
    t.Frame(673, 378);
    EXPECT_EQ(t.chart.PlotRect.Top, 17 + 14 + 5);
    EXPECT_EQ(t.chart.Title.TitleBox, (TRect{22, 17, 651, 31}));

    t.chart.Title.SetText({""});  // one empty line still takes a line and the gap
    t.Frame(673, 378);
    EXPECT_EQ(t.chart.PlotRect.Top, 17 + 14 + 5);

    t.chart.Title.SetText({});
    t.chart.Foot.SetText({"a", "b"});
    t.Frame(673, 378);
    EXPECT_EQ(t.chart.PlotRect.Bottom, 361 - 2 * 14 - 5);
}

TEST(ChartPanel, ZeroWidthPlotTakesTheControlWidth) {
    TRecordedChart t;
    t.chart.SetAxisVisible(false);
    t.chart.SetMargins(50, 4, 50, 4);
    t.Frame(100, 100);
    EXPECT_EQ(t.chart.PlotRect.Left, 50);
    EXPECT_EQ(t.chart.PlotRect.Right, 150);  // left + Width, not a width of 0
    EXPECT_EQ(t.chart.PlotWidth, 100);
}

TEST(ChartPanel, FrameDrawsInOrder) {
    TRecordedChart t;
    t.chart.SetColor(clWhite);
    t.chart.SetBevelInner(TPanelBevel::bvLowered);
    t.chart.SetBorderWidth(2);
    t.chart.Title.SetText({"T"});
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.AddPoint(0, 1);
    s.AddPoint(1, 2);
    t.Frame(300, 200);
    const auto& calls = t.Rec().Calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].Op, TCanvasOp::BeginFrame);
    EXPECT_EQ(calls[1].ToString(), "FillRect(0,0,300,200)");
    EXPECT_EQ(calls[1].Brush.Color, clWhite);
    // raised outer ring, two rings in the panel colour, lowered inner ring: 4 rings of 2 polylines
    for (int i = 0; i < 8; ++i) EXPECT_EQ(calls[static_cast<size_t>(2 + i)].Op, TCanvasOp::Polyline) << i;
    EXPECT_EQ(calls[2].Pen.Color, clBtnHighlight);
    EXPECT_EQ(calls[3].Pen.Color, clBtnShadow);
    EXPECT_EQ(calls[4].Pen.Color, clWhite);
    EXPECT_EQ(calls[8].Pen.Color, clBtnShadow);
    EXPECT_EQ(calls[9].Pen.Color, clBtnHighlight);
    EXPECT_EQ(calls[2].ToString(), "Polyline((0,199),(0,0),(299,0))");
    EXPECT_EQ(calls[8].ToString(), "Polyline((3,196),(3,3),(296,3))");
    // then the title text, the back wall, the axes, the series clip
    size_t title = 0, wall = 0, clip = 0, end = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Op == TCanvasOp::TextOut && calls[i].Text == "T" && !title) title = i;
        if (calls[i].Op == TCanvasOp::Rectangle && !wall) wall = i;
        if (calls[i].Op == TCanvasOp::SetClip) clip = i;
        if (calls[i].Op == TCanvasOp::EndFrame) end = i;
    }
    EXPECT_LT(title, wall);
    EXPECT_LT(wall, clip);
    EXPECT_LT(clip, end);
    const TRect& p = t.chart.PlotRect;
    EXPECT_EQ(calls[wall].Rect, (TRect{p.Left, p.Top, p.Right + 1, p.Bottom}));
    EXPECT_EQ(calls[wall].Brush.Style, TBrushStyle::bsClear);
    EXPECT_EQ(calls[clip].Rect, (TRect{p.Left + 1, p.Top + 1, p.Right, p.Bottom - 1}));
}

TEST(ChartPanel, RepaintRequestsCoalesceIntoOneFrame) {
    TRecordedChart t;
    int requests = 0;
    t.chart.OnInvalidate = [&] { ++requests; };
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    t.chart.SetBounds(200, 100);
    t.chart.PaintChart();
    EXPECT_EQ(t.chart.FramesDrawn, 1);
    for (int i = 0; i < 5000; ++i) s.AddPoint(i, i % 7);
    EXPECT_EQ(requests, 1);
    t.chart.PaintChart();
    EXPECT_EQ(t.chart.FramesDrawn, 2);
    int afterDraw = 0;
    t.chart.OnAfterDraw = [&](TCustomChartPanel&) { ++afterDraw; };
    t.Rec().Clear();
    t.chart.PaintChart();  // nothing changed: only the buffer is presented
    EXPECT_EQ(t.chart.FramesDrawn, 2);
    EXPECT_EQ(afterDraw, 0);
    ASSERT_EQ(t.Rec().Calls.size(), 1u);
    EXPECT_EQ(t.Rec().Calls[0].Op, TCanvasOp::RedrawFromBuffer);
    t.chart.SetBounds(300, 100);  // a resize redraws everything at the new size
    t.chart.PaintChart();
    EXPECT_EQ(t.chart.FramesDrawn, 3);
    EXPECT_EQ(t.Rec().FrameWidth(), 300);
}

TEST(ChartPanel, EverySettingOfTheChartAndItsPartsRepaintsOnlyWhenItChanges) {
    TRecordedChart t;
    TChart& c = t.chart;
    c.SetView3D(false);
    c.Title.SetText({"Title"});
    auto& line = c.Add(std::make_unique<TLineSeries>());
    line.Pointer.SetVisible(true);
    auto& bars = c.Add(std::make_unique<TBarSeries>());
    for (int i = 0; i < 5; ++i) {
        line.AddPoint(i, i % 3);
        bars.AddPoint(i, i % 2 ? 1 : -1, "", clGreen);
    }
    TChartAxis& left = c.LeftAxis();
    TChartAxis& bottom = c.BottomAxis();
    struct TCase {
        const char* name;
        std::function<void()> change;
        bool drawn;  // the frame shows it
    };
    const TCase cases[] = {
        {"ClipPoints", [&] { c.ClipPoints = false; }, true},
        {"View3DWalls", [&] { c.View3DWalls = false; }, false},
        {"AllowZoom", [&] { c.AllowZoom = false; }, false},
        {"Legend.Visible", [&] { c.Legend.Visible = false; }, false},
        {"Title.Alignment", [&] { c.Title.Alignment = TAlignment::taLeftJustify; }, true},
        {"Title.Color", [&] { c.Title.Color = clRed; }, true},
        {"Title.Font.Name", [&] { c.Title.Font.Name = "Courier"; }, true},
        {"Title.Font.Size", [&] { c.Title.Font.Size = 12; }, true},
        {"Title.Brush.Style", [&] { c.Title.Brush.Style = TBrushStyle::bsCross; }, true},
        {"Title.Frame.Visible", [&] { c.Title.Frame.Visible = true; }, true},
        {"Foot.Font.Color", [&] { c.Foot.Font.Color = clRed; }, false},
        {"BackWall.Pen.Color", [&] { c.BackWall.Pen.Color = clRed; }, true},
        {"BackWall.Brush.Style", [&] { c.BackWall.Brush.Style = TBrushStyle::bsSolid; }, false},
        {"BackWall.Color", [&] { c.BackWall.Color = clRed; }, true},
        {"LeftWall.Size", [&] { c.LeftWall.Size = 3; }, false},
        {"Axis.Width", [&] { left.Axis.Width = 3; }, true},
        {"Ticks.Color", [&] { left.Ticks.Color = clRed; }, true},
        {"Grid.Style", [&] { bottom.Grid.Style = TPenStyle::psSolid; }, true},
        {"Grid.Visible", [&] { bottom.Grid.Visible = false; }, true},
        {"MinorTicks.Width", [&] { left.MinorTicks.Width = 2; }, true},
        {"TicksInner.Color", [&] { left.TicksInner.Color = clRed; }, false},
        {"TickLength", [&] { left.TickLength = 7; }, true},
        {"TickInnerLength", [&] { left.TickInnerLength = 3; }, true},
        {"MinorTickCount", [&] { left.MinorTickCount = 1; }, true},
        {"GridCentered", [&] { left.GridCentered = true; }, true},
        {"LabelsSize", [&] { left.LabelsSize = 40; }, true},
        {"LabelsOnAxis", [&] { bottom.LabelsOnAxis = false; }, false},
        {"LabelStyle", [&] { left.LabelStyle = TAxisLabelStyle::talNone; }, true},
        {"TickOnLabelsOnly", [&] { left.TickOnLabelsOnly = false; }, false},
        {"LabelsFont.Size", [&] { bottom.LabelsFont.Size = 10; }, true},
        {"Title.Caption", [&] { left.Title.Caption = "Axis"; }, true},
        {"Title.SetAngle", [&] { left.Title.SetAngle(0); }, false},
        {"TitleSize", [&] { left.TitleSize = 20; }, false},
        {"LinePen.Width", [&] { line.LinePen.Width = 3; }, true},
        {"Pointer.Pen.Color", [&] { line.Pointer.Pen.Color = clRed; }, true},
        {"Pointer.Brush.Color", [&] { line.Pointer.Brush.Color = clFuchsia; }, true},
        {"LineBrush", [&] { line.LineBrush = TBrushStyle::bsClear; }, false},
        {"DrawBetweenPoints", [&] { line.DrawBetweenPoints = false; }, false},
        {"BarPen.Color", [&] { bars.BarPen.Color = clRed; }, true},
        {"BarPen.Visible", [&] { bars.BarPen.Visible = false; }, true},
        {"BarBrush.Style", [&] { bars.BarBrush.Style = TBrushStyle::bsClear; }, true},
        {"MarksVisible", [&] { bars.MarksVisible = false; }, false},
        {"whole pen", [&] { bars.BarPen = TChartPen(clBlue, 2, TPenStyle::psSolid, true); }, true},
    };
    t.Frame(400, 300);
    std::string before = t.Rec().Dump(true);
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.name);
        k.change();
        EXPECT_FALSE(t.Rec().BufferValid);
        t.Rec().Clear();
        c.PaintChart();
        const std::string after = t.Rec().Dump(true);
        if (k.drawn) {
            EXPECT_TRUE(after != before) << "the frame did not change";
        }
        before = after;
        k.change();  // the same value again changes nothing
        EXPECT_TRUE(t.Rec().BufferValid);
    }
    // A copy is a value of its own: changing it leaves the chart alone until it is assigned.
    TChartPen grid = bottom.Grid;
    TChartFont font = left.LabelsFont;
    grid.Color = clRed;
    font.Size = 20;
    EXPECT_TRUE(t.Rec().BufferValid);
    bottom.Grid = grid;
    EXPECT_FALSE(t.Rec().BufferValid);
    EXPECT_EQ(bottom.Grid.Color, clRed);
}

TEST(ChartPanel, AxisShownFollowsActiveSeries) {
    TRecordedChart t;
    TChart& c = t.chart;
    for (auto* a : {&c.BottomAxis(), &c.TopAxis(), &c.LeftAxis(), &c.RightAxis()}) EXPECT_TRUE(c.AxisShown(*a));
    auto& s = c.Add(std::make_unique<TPlainSeries>());
    s.SetVertAxis(TVertAxis::aRightAxis);
    EXPECT_TRUE(c.AxisShown(c.BottomAxis()));
    EXPECT_FALSE(c.AxisShown(c.TopAxis()));
    EXPECT_FALSE(c.AxisShown(c.LeftAxis()));
    EXPECT_TRUE(c.AxisShown(c.RightAxis()));
    s.SetActive(false);
    EXPECT_TRUE(c.AxisShown(c.TopAxis()));
    c.SetAxisVisible(false);
    EXPECT_FALSE(c.AxisShown(c.BottomAxis()));
    EXPECT_FALSE(c.AxisShown(c.DepthAxis()));
}

TEST(ChartPanel, SeriesExtentsAndRemoval) {
    TRecordedChart t;
    TChart& c = t.chart;
    auto& a = c.Add(std::make_unique<TPlainSeries>());
    auto& b = c.Add(std::make_unique<TPlainSeries>());
    EXPECT_EQ(c.LowestY(c.LeftAxis()), 0);  // no points: 0
    a.AddPoint(1, 5);
    a.AddPoint(2, -1);
    b.AddPoint(-3, 9);
    b.SetVertAxis(TVertAxis::aRightAxis);
    EXPECT_EQ(c.LowestX(c.BottomAxis()), -3);
    EXPECT_EQ(c.HighestX(c.BottomAxis()), 2);
    EXPECT_EQ(c.LowestY(c.LeftAxis()), -1);
    EXPECT_EQ(c.HighestY(c.RightAxis()), 9);
    auto removed = c.RemoveSeries(b);
    ASSERT_TRUE(removed);
    EXPECT_EQ(c.SeriesCount(), 1);
    EXPECT_EQ(removed->ParentChart(), nullptr);
    EXPECT_EQ(c.LowestX(c.BottomAxis()), 1);
}

TEST(ChartPanel, ChartErrorsLeaveValues) {
    TRecordedChart t;
    EXPECT_THROW(t.chart.SetChart3DPercent(0), ChartException);
    EXPECT_EQ(t.chart.Chart3DPercent(), 15);
    try {
        t.chart.SetChart3DPercent(101);
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "3D effect percent must be between 1 and 100");
    }
    try {
        t.chart.SetMaxPointsPerPage(-1);
        FAIL();
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "MaxPointsPerPage must be >= 0");
    }
}

// ---- value lists and series storage ----

TEST(ValueList, OrderingAndInsertionFollowsX) {
    TPlainSeries s;
    EXPECT_EQ(s.AddPoint(0, 10, "a", 1), 0);
    EXPECT_EQ(s.AddPoint(1, 11, "b", 2), 1);
    EXPECT_EQ(s.AddPoint(2, 12, "c", 3), 2);
    EXPECT_EQ(s.AddPoint(1.5, 99, "", 4), 2);
    EXPECT_EQ(s.XValue(3), 2);
    EXPECT_EQ(s.YValue(3), 12);
    EXPECT_EQ(s.PointColor(3), 3u);
    EXPECT_EQ(s.XLabel(3), "c");
    EXPECT_EQ(s.XLabel(2), "");

    TPlainSeries d;
    for (double x : {0.0, 1.0, 1.0, 2.0}) d.AddPoint(x, 0);
    EXPECT_EQ(d.AddPoint(1, 0), 3);
    EXPECT_EQ(d.AddPoint(-5, 0), 0);

    TPlainSeries u;
    u.XValues().Order = TChartListOrder::loNone;
    EXPECT_EQ(u.AddPoint(5, 0), 0);
    EXPECT_EQ(u.AddPoint(3, 0), 1);

    TPlainSeries desc;
    desc.XValues().Order = TChartListOrder::loDescending;
    desc.AddPoint(5, 0);
    desc.AddPoint(3, 0);
    EXPECT_EQ(desc.AddPoint(4, 0), 1);
    EXPECT_EQ(desc.AddPoint(9, 0), 0);
}

TEST(ValueList, StatisticsAreCachedAndFollowTheMultiplier) {
    TPlainSeries s;
    for (double y : {3.0, -2.0, 5.0}) s.Append(y);
    const TChartValueList& ys = s.YValues();
    EXPECT_EQ(ys.Min(), -2);
    EXPECT_EQ(ys.Max(), 5);
    EXPECT_EQ(ys.Sum(), 6);
    EXPECT_EQ(ys.AbsSum(), 10);
    EXPECT_FALSE(ys.StatsDirty());
    s.YValues().SetMultiplier(2);
    EXPECT_TRUE(ys.StatsDirty());
    EXPECT_EQ(ys.Min(), -4);
    EXPECT_EQ(ys.Max(), 10);
    EXPECT_EQ(ys.Sum(), 12);
    EXPECT_EQ(ys.AbsSum(), 20);
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(ys.Min(), 0);
    EXPECT_EQ(ys.Max(), 0);
    EXPECT_EQ(s.XLabel(0), "");
    EXPECT_EQ(s.AddPoint(7, 7), 0);
}

// Ranges and the last value beyond bounds are answered from block summaries; every start and
// end against its own scan, the summaries following changes, a negative multiplier and a NaN
// that no order holds.
TEST(ValueList, RangesMatchAScanAndFollowChanges) {
    TPlainSeries s;
    for (int i = 0; i < 600; ++i) s.Append(std::sin(i * 0.37) * 100 + (i % 7) * 3);
    TValueRanges ranges;
    auto check = [&](double multiplier) {
        const TChartValueList& ys = s.YValues();
        ASSERT_TRUE(ranges.Of(ys));
        for (int a = 0; a < ys.Count(); a += 13)
            for (int b = a; b < ys.Count(); b += 11) {
                double lo = 0, hi = 0;
                ASSERT_TRUE(ranges.RangeMinMax(a, b, lo, hi));
                double mn = ys.Value(a), mx = mn;
                for (int i = a; i <= b; ++i) mn = std::min(mn, ys.Value(i)), mx = std::max(mx, ys.Value(i));
                ASSERT_EQ(lo, mn) << a << ".." << b << " multiplier " << multiplier;
                ASSERT_EQ(hi, mx) << a << ".." << b << " multiplier " << multiplier;
                // Bounds just inside the range's own, so that one value or none reaches out.
                const double inLo = mn + (mx - mn) * 0.4, inHi = mx - (mx - mn) * (a % 2 ? 0.0 : 0.3);
                int found = -2, scanned = a - 1;
                ASSERT_TRUE(ranges.LastOutside(a, b, inLo, inHi, found));
                for (int i = b; i >= a && scanned < a; --i)
                    if (ys.Value(i) < inLo || ys.Value(i) > inHi) scanned = i;
                ASSERT_EQ(found, scanned) << a << ".." << b << " multiplier " << multiplier;
            }
    };
    check(1);
    s.YValues().SetValueAt(300, 1e6);
    s.DeletePoint(5);
    check(1);
    s.YValues().SetMultiplier(-2);
    check(-2);
    double lo = 0, hi = 0;
    EXPECT_FALSE(ranges.RangeMinMax(10, 5, lo, hi));
    s.YValues().SetValueAt(400, std::nan(""));
    EXPECT_FALSE(ranges.Of(s.YValues()));
    EXPECT_FALSE(ranges.RangeMinMax(0, 10, lo, hi));
    int found = 0;
    EXPECT_FALSE(ranges.LastOutside(0, 10, lo, hi, found));
}

TEST(ValueList, PointColoursAndMarkers) {
    TPlainSeries s;
    s.SetSeriesColor(clGray);
    s.AddPoint(0, 0, "", clAutoColor);
    s.AddPoint(1, 0, "", clFuchsia);
    s.AddPoint(2, 0, "", clNone);
    EXPECT_EQ(s.PointColor(0), clGray);
    s.SetSeriesColor(clRed);
    EXPECT_EQ(s.PointColor(0), clRed);
    EXPECT_EQ(s.PointColor(1), clFuchsia);
    EXPECT_EQ(s.PointColor(2), clNone);
    EXPECT_EQ(s.PointColor(99), clRed);  // beyond the list: the series colour
    s.SetColorEachPoint(false);          // even unchanged, it resets every stored colour
    EXPECT_EQ(s.PointColor(1), clRed);
}

// Colours are answered without reading the points where none or all have one colour of their
// own; through adds, edits, deletes and clears they stay those of a plain list.
TEST(ValueList, PointColoursFollowEveryEditOfTheColours) {
    TPlainSeries s;
    s.SetSeriesColor(clGray);
    std::vector<TColor> own;  // the model: each point's own colour
    const TColor choices[] = {clAutoColor, clBlue, clBlue, clBlue, clRed, clNone};
    unsigned seed = 7;
    double x = 0;  // ascending, so each point is added at the end
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int step = 0; step < 400; ++step) {
        const unsigned op = next(10);
        const TColor c = choices[next(std::size(choices))];
        if (op < 5 || own.empty()) {
            s.AddPoint(x++, 0, "", c);
            own.push_back(c);
        } else if (op < 8) {
            const unsigned i = next(static_cast<unsigned>(own.size()));
            s.SetPointColor(static_cast<int>(i), c);
            own[i] = c;
        } else if (op < 9) {
            const unsigned i = next(static_cast<unsigned>(own.size()));
            s.DeletePoint(static_cast<int>(i));
            own.erase(own.begin() + i);
        } else if (next(4) == 0) {
            s.Clear();
            own.clear();
        }
        const int n = static_cast<int>(own.size());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(s.PointColor(i), own[static_cast<size_t>(i)] == clAutoColor ? clGray : own[static_cast<size_t>(i)])
                << "step " << step << " point " << i;
        if (n == 0) continue;
        const int a = static_cast<int>(next(static_cast<unsigned>(n))), b = a + static_cast<int>(next(static_cast<unsigned>(n - a)));
        for (TColor asked : {clGray, clBlue, clRed}) {
            bool all = true;
            for (int i = a; i <= b; ++i) all = all && s.PointColor(i) == asked;
            ASSERT_EQ(s.PointColorsAre(a, b, asked), all) << "step " << step;
        }
    }
}

TEST(ValueList, IndexErrorsChangeNothing) {
    TPlainSeries s;
    s.AddPoint(0, 1);
    EXPECT_THROW(s.SetXLabel(1, "x"), TListIndexError);
    EXPECT_THROW(s.SetPointColor(-1, clRed), TListIndexError);
    EXPECT_THROW(s.YValues().SetValueAt(5, 1), TListIndexError);
    EXPECT_THROW((void)s.YValues().ValueAt(1), TListIndexError);
    try {
        (void)s.YValues().ValueAt(3);
    } catch (const TListIndexError& e) {
        EXPECT_STREQ(e.what(), "Listenindex überschreitet das Maximum (3)");
    }
    EXPECT_EQ(s.YValue(0), 1);
}

TEST(ValueList, BeforeAddCanRefuseAndDeleteSwapKeepListsParallel) {
    TPlainSeries s;
    s.OnBeforeAdd = [](TChartSeries&) { return false; };
    EXPECT_EQ(s.AddPoint(0, 0), -1);
    EXPECT_EQ(s.Count(), 0);
    s.OnBeforeAdd = nullptr;
    s.AddPoint(0, 10, "a", clRed);
    s.AddPoint(1, 11, "b", clBlue);
    s.AddPoint(2, 12, "c", clGreen);
    s.SwapPoints(0, 2);
    EXPECT_EQ(s.YValue(0), 12);
    EXPECT_EQ(s.XLabel(0), "c");
    EXPECT_EQ(s.PointColor(0), clGreen);
    s.DeletePoint(1);
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.XLabel(1), "a");
    EXPECT_EQ(s.PointColor(1), clRed);
}

// Visible ranges: x = 0 .. 9 on a bottom axis showing a given range.
std::pair<int, int> Visible(bool drawBetween, double lo, double hi) {
    TRecordedChart t;
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    s.DrawBetweenPoints = drawBetween;
    for (int i = 0; i < 10; ++i) s.AddPoint(i, i);
    t.chart.BottomAxis().SetRange(lo, hi);
    t.Frame(400, 300);
    s.UpdateVisibleRange();
    return {s.FirstVisibleIndex, s.LastVisibleIndex};
}

TEST(Series, VisibleRangeOfValuesOutOfOrderIsScannedAsTheyStand) {
    // x = 0 .. 9 on an axis showing 2.5 .. 6.5, then values overwritten or exchanged so that
    // the list no longer ascends: the first index at or above 2.5 and the first at or above
    // 6.5 counted upward from there, as for any list.
    TRecordedChart t;
    auto& s = t.chart.Add(std::make_unique<TPlainSeries>());
    for (int i = 0; i < 10; ++i) s.AddPoint(i, i);
    t.chart.BottomAxis().SetRange(2.5, 6.5);
    t.Frame(400, 300);
    auto range = [&] {
        s.UpdateVisibleRange();
        return std::make_pair(s.FirstVisibleIndex, s.LastVisibleIndex);
    };
    EXPECT_EQ(range(), std::make_pair(3, 6));
    s.XValues().SetValueAt(1, 7);  // 0 7 2 3 4 5 6 7 8 9
    EXPECT_EQ(range(), std::make_pair(1, 0));
    s.XValues().SetValueAt(1, 1);
    s.SwapPoints(0, 8);  // 8 1 2 3 4 5 6 7 0 9
    EXPECT_EQ(range(), std::make_pair(0, -1));
    s.Clear();  // a fresh list ascends again
    for (int i = 0; i < 10; ++i) s.AddPoint(i, i);
    EXPECT_EQ(range(), std::make_pair(3, 6));
    s.XValues().SetMultiplier(-1);  // read as 0, -1 .. -9: descending
    t.chart.BottomAxis().SetRange(-4.5, -2.5);
    t.Frame(400, 300);
    EXPECT_EQ(range(), std::make_pair(0, 9));
}

TEST(Series, VisibleRangeForBarsAndLines) {
    EXPECT_EQ(Visible(false, 2.5, 6.5), std::make_pair(3, 6));
    EXPECT_EQ(Visible(true, 2.5, 6.5), std::make_pair(3, 7));
    EXPECT_EQ(Visible(false, 2, 6), std::make_pair(2, 6));
    EXPECT_EQ(Visible(true, 2, 6), std::make_pair(2, 6));
    EXPECT_EQ(Visible(true, 10.5, 12), std::make_pair(-1, -1));
    EXPECT_EQ(Visible(false, -3, 20), std::make_pair(0, 9));
}

// ---- axes ----

TEST(Axis, BandsOfTheViewerSplitAtEightyFivePercent) {
    TRecordedChart t;
    TChart& c = t.chart;
    c.PlotRect = TRect{10, 50, 410, 350};
    c.PanelBounds = TRect{0, 0, 500, 400};
    c.UpdatePlotSize();
    c.RightAxis().SetEndPosition(85);
    c.LeftAxis().SetStartPosition(85);
    c.RightAxis().PlaceOnChart();
    c.LeftAxis().PlaceOnChart();
    EXPECT_EQ(c.RightAxis().StartPixel, 50);
    EXPECT_EQ(c.RightAxis().EndPixel, 305);
    EXPECT_EQ(c.LeftAxis().StartPixel, 305);
    EXPECT_EQ(c.LeftAxis().EndPixel, 350);
    EXPECT_EQ(c.LeftAxis().CenterPixel, 327);
}

TEST(Axis, ValuesMappedInBulkTakeTheirOwnPixels) {
    // Awkward scales, values on and beside half pixels (where a product and a quotient may
    // round apart), far and undefined values: the bulk mapping of a drawing loop gives each
    // value the pixel it maps to alone.
    TRecordedChart t;
    TCustomChartAxis& a = t.chart.RightAxis();
    std::vector<double> values;
    std::vector<int> bulk;
    for (const auto& [length, min, size] : {std::tuple{1847, 12345.6, 36523.7}, std::tuple{3, 0.0, 10.0},
                                            std::tuple{917, -0.013, 0.0271}, std::tuple{1079, 1.0e9, 7.0}}) {
        a.StartPixel = 40;
        a.EndPixel = 40 + length;
        a.PixelLength = length;
        a.CenterPixel = 40 + length / 2;
        a.RangeMin = min;
        a.RangeSize = size;
        a.RangeMax = min + size;
        values.clear();
        for (int k = -5; k < 2 * length + 5; ++k) {
            const double v = min + (k * 0.5) * size / length;
            for (double d : {v, std::nextafter(v, -1e308), std::nextafter(v, 1e308)}) values.push_back(d);
        }
        for (double far : {1e12, -1e12, 1e300, -1e300, std::nan("")}) values.push_back(far);
        for (const bool inverted : {false, true}) {
            a.SetInverted(inverted);
            bulk.assign(values.size(), 0);
            a.PixelMap().Map(values.data(), 1.0, values.size(), bulk.data());
            for (size_t k = 0; k < values.size(); ++k)
                ASSERT_EQ(bulk[k], a.ValueToPixel(values[k])) << length << " " << values[k];
        }
    }
}

// Lists that hold the same values from an offset on (levels a day after the candles) share
// one mapping in either order of asking; other values, or changed ones, are mapped anew.
TEST(Axis, MappedValuesSharedAtAnOffsetAreEachListsOwn) {
    TRecordedChart t;
    TCustomChartAxis& axis = t.chart.BottomAxis();
    axis.StartPixel = 10;
    axis.EndPixel = axis.PixelLength = 300;
    axis.RangeMin = 0;
    axis.RangeSize = axis.RangeMax = 97.3;
    TComposeCache cache;
    TFrameContext frame(t.chart, cache);
    TPlainSeries candles, levels, halves;
    for (int i = 0; i < 80; ++i) candles.AddPoint(i, 0);
    for (int i = 10; i < 95; ++i) levels.AddPoint(i, 0);
    for (int i = 10; i < 95; ++i) halves.AddPoint(i + 0.5, 0);
    auto check = [&](const TChartSeries& s, int first, int last) {
        std::vector<int> own(static_cast<size_t>(last - first + 1));
        axis.PixelMap().Map(s.XValues().Data() + first, 1.0, own.size(), own.data());
        const int* shared = frame.MappedValues(s.XValues(), axis, first, last);
        for (int k = first; k <= last; ++k) ASSERT_EQ(shared[k - first], own[static_cast<size_t>(k - first)]) << k;
    };
    check(levels, 0, 84);
    check(candles, 12, 70);  // within what the levels mapped: at offset -10
    check(candles, 0, 79);   // reaches beyond it: mapped anew
    check(levels, 12, 60);   // at offset 10
    check(halves, 3, 60);
    check(candles, 5, 70);
    candles.XValues().SetValueAt(30, 30.25);
    check(candles, 5, 70);
    check(levels, 0, 60);
}

TEST(Axis, ValueToPixelAndBack) {
    TRecordedChart t;
    TCustomChartAxis& b = t.chart.BottomAxis();
    b.StartPixel = 100;
    b.EndPixel = 600;
    b.PixelLength = 500;
    b.CenterPixel = 350;
    b.RangeMin = 0;
    b.RangeMax = 100;
    b.RangeSize = 100;
    EXPECT_EQ(b.ValueToPixel(0), 100);
    EXPECT_EQ(b.ValueToPixel(50), 350);
    EXPECT_EQ(b.ValueToPixel(100.1), 600);  // 500.5 rounds to even
    for (int p : {100, 137, 350, 599}) EXPECT_EQ(b.ValueToPixel(b.PixelToValue(p)), p);
    // An offset beyond 32 bits leaves the span on the value's own side, far out; just below
    // the limit the offset is kept as it is.
    EXPECT_EQ(b.ValueToPixel(1e12), 100 + (1 << 30));
    EXPECT_EQ(b.ValueToPixel(-1e12), 100 - (1 << 30));
    EXPECT_EQ(b.ValueToPixel(1e300), 100 + (1 << 30));
    EXPECT_EQ(b.ValueToPixel(-429496600.0), 100 - 2147483000);
    EXPECT_EQ(b.ValueToPixel(std::nan("")), 350);
    b.SetInverted(true);
    EXPECT_EQ(b.ValueToPixel(0), 600);
    EXPECT_EQ(b.ValueToPixel(1e12), 600 - (1 << 30));
    EXPECT_DOUBLE_EQ(b.PixelToValue(600), 0);
    EXPECT_DOUBLE_EQ(b.PixelToValue(100), 100);

    TCustomChartAxis& l = t.chart.LeftAxis();
    l.StartPixel = 0;
    l.EndPixel = 200;
    l.PixelLength = 200;
    l.RangeMin = -6;
    l.RangeMax = 6;
    l.RangeSize = 12;
    EXPECT_EQ(l.ValueToPixel(6), 0);
    EXPECT_EQ(l.ValueToPixel(-6), 200);
    EXPECT_DOUBLE_EQ(l.PixelToValue(100), 0);
    EXPECT_EQ(l.ValueToPixel(1e15), 200 - (1 << 30));  // above the top
    EXPECT_EQ(l.ValueToPixel(-1e15), 200 + (1 << 30));
    l.SetInverted(true);
    EXPECT_EQ(l.ValueToPixel(6), 200);
    l.RangeSize = 0;
    l.CenterPixel = 100;
    EXPECT_EQ(l.ValueToPixel(123), 100);
    l.PixelLength = 0;
    EXPECT_EQ(l.PixelToValue(50), 0);
}

TEST(Axis, SetRangeOrdersAndWidens) {
    TRecordedChart t;
    TCustomChartAxis& a = t.chart.BottomAxis();
    a.SetRange(8, 2);
    EXPECT_EQ(a.Minimum(), 2);
    EXPECT_EQ(a.Maximum(), 8);
    EXPECT_FALSE(a.Automatic());
    EXPECT_FALSE(a.AutomaticMinimum());
    EXPECT_FALSE(a.AutomaticMaximum());
    a.SetRange(5, 5);
    EXPECT_EQ(a.Minimum(), 5);
    EXPECT_EQ(a.Maximum(), 5 + 1e-10);
}

TEST(Axis, SettersValidateAndAutomaticFlagsInteract) {
    TRecordedChart t;
    TCustomChartAxis& l = t.chart.LeftAxis();
    l.SetAutomatic(false);
    l.SetMaximum(6);
    l.SetMinimum(-6);
    try {
        l.SetMinimum(7);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis Minimum Value must be <= Maximum");
    }
    EXPECT_EQ(l.Minimum(), -6);
    try {
        l.SetMaximum(-7);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis Maximum Value must be >= Minimum");
    }
    try {
        l.SetIncrement(-1);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis increment must be >= 0");
    }
    try {
        l.SetLabelsSeparation(-1);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Labels Separation % must be greater than 0");
    }
    try {
        l.SetLabelsAngle(360);
        FAIL();
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "Axis Labels Angle must be between 0 and 359 degrees");
    }
    EXPECT_THROW(l.Title.SetAngle(-1), ChartException);

    TCustomChartAxis& r = t.chart.RightAxis();
    r.SetAutomatic(false);
    r.SetAutomaticMinimum(true);  // maximum still fixed
    EXPECT_FALSE(r.Automatic());
    t.Frame(200, 100);
    r.SetAutomatic(false);  // unchanged: the ends keep their own flags, no repaint
    EXPECT_TRUE(r.AutomaticMinimum());
    EXPECT_TRUE(t.Rec().BufferValid);
    r.SetAutomaticMaximum(true);
    EXPECT_TRUE(r.Automatic());

    t.chart.Loading = true;  // a stored description may hold the ends in any order
    l.SetMinimum(10);
    t.chart.Loading = false;
    l.ComputeRange();
    l.StartPixel = 0;
    l.EndPixel = 100;
    l.PixelLength = 100;
    l.ApplyMargins(0, 0);
    EXPECT_EQ(l.RangeMin, 6);
    EXPECT_EQ(l.RangeMax, 10);
}

TEST(Axis, SpansShorterThanTheirMarginsKeepTheirRange) {
    // A series that wants 8 pixels free above and below its values.
    class TTallSeries : public TPlainSeries {
    public:
        void VerticalMargins(int& top, int& bottom) override { top = bottom = 8; }
    };
    TRecordedChart t;
    TChart& c = t.chart;
    c.RightAxis().SetEndPosition(85);
    c.LeftAxis().SetStartPosition(85);
    c.LeftAxis().SetAutomatic(false);
    c.LeftAxis().SetMaximum(6);
    c.LeftAxis().SetMinimum(-6);
    auto& prices = c.Add(std::make_unique<TTallSeries>());
    prices.SetVertAxis(TVertAxis::aRightAxis);
    prices.AddPoint(0, 5000);
    prices.AddPoint(1, 5600);
    c.Add(std::make_unique<TPlainSeries>()).AddPoint(0, 1);

    t.Frame(600, 400);  // room enough: the margins widen the automatic range
    EXPECT_LT(c.RightAxis().RangeMin, 5000);
    EXPECT_GT(c.RightAxis().RangeMax, 5600);
    int shortSpans = 0;
    for (auto [w, h] : {std::pair{300, 55}, std::pair{300, 40}, std::pair{30, 20}, std::pair{1, 1}}) {
        t.Frame(w, h);
        const TChartAxis& r = c.RightAxis();
        if (r.PixelLength - 16 < 1) {
            ++shortSpans;
            EXPECT_EQ(r.RangeMin, 5000) << w << "x" << h;
            EXPECT_EQ(r.RangeMax, 5600) << w << "x" << h;
        }
        EXPECT_EQ(c.LeftAxis().RangeMin, -6) << w << "x" << h;
        EXPECT_EQ(c.LeftAxis().RangeMax, 6) << w << "x" << h;
    }
    EXPECT_GE(shortSpans, 2);
}

TEST(Axis, NiceAndDateSteps) {
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(1), 2);
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(2), 5);
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(5), 10);
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(3), 5);
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(7), 10);
    EXPECT_EQ(TCustomChartAxis::NextNiceStep(20), 50);
    EXPECT_NEAR(TCustomChartAxis::NextNiceStep(0.02), 0.05, 1e-15);
    EXPECT_EQ(TCustomChartAxis::NextDateStep(1.0 / 86400), 5.0 / 86400);
    EXPECT_EQ(TCustomChartAxis::NextDateStep(1), 2);
    EXPECT_EQ(TCustomChartAxis::NextDateStep(2.5), 3);
    EXPECT_EQ(TCustomChartAxis::NextDateStep(182), 365);
}

struct TStepCase {
    double lo, hi, increment;
    int labels;
    double step;
};

TEST(Axis, StepForLabelCountExamples) {
    TRecordedChart t;
    TCustomChartAxis& a = t.chart.RightAxis();
    const TStepCase cases[] = {
        {-6, 6, 2, 3, 5},       // the left axis in a 45-pixel band
        {-6, 6, 2, 6, 2},       // in a 90-pixel band
        {1.2, 1.4, 0, 20, 0.01}, // forex
        {5000, 5600, 0, 12, 50}, // index
        {0, 12, 3, 4, 3},       // a desired increment that fits stays
        {0, 12, 3, 2, 5},       // one that must grow jumps into the 1-2-5 series
        {0, 12, 7, 1, 10},
    };
    for (const auto& c : cases) {
        a.RangeMin = c.lo;
        a.RangeMax = c.hi;
        a.RangeSize = c.hi - c.lo;
        a.SetIncrement(c.increment);
        EXPECT_NEAR(a.StepForLabelCount(c.labels), c.step, c.step * 1e-9) << c.lo << ".." << c.hi;
    }
    a.SetIncrement(0);
    a.SetLabelsSeparation(0);  // no label limit: the bare start step
    a.RangeSize = 600;
    EXPECT_EQ(a.StepForLabelCount(2), 1);
    a.RangeSize = std::numeric_limits<double>::infinity();  // must not loop
    EXPECT_GT(a.StepForLabelCount(3), 0);
}

TEST(Axis, LabelStepMeasuresTheLeftBand) {
    TRecordedChart t;
    TCustomChartAxis& l = t.chart.LeftAxis();
    l.SetAutomatic(false);
    l.SetMaximum(6);
    l.SetMinimum(-6);
    l.SetIncrement(2);
    l.ComputeRange();
    l.StartPixel = 305;
    l.EndPixel = 350;
    l.PixelLength = 45;  // font height 14 + Round(1.4) = 15 → 3 labels
    EXPECT_EQ(l.LabelStep(), 5);
    l.EndPixel = 395;
    l.PixelLength = 90;
    EXPECT_EQ(l.LabelStep(), 2);
    l.PixelLength = 0;
    EXPECT_EQ(l.LabelStep(), 1e-12);
    // 72 px: lying flat a label takes its height (15 → 5 labels, step 5), at any other angle
    // its width ("-6": 12 + 1 = 13 → 6 labels, step 2)
    l.PixelLength = 72;
    for (const auto& [angle, step] : {std::pair{0, 5.0}, {180, 5.0}, {90, 2.0}, {270, 2.0}, {45, 2.0}, {300, 2.0}}) {
        l.SetLabelsAngle(angle);
        EXPECT_EQ(l.LabelStep(), step) << angle;
    }
}

}  // namespace
}  // namespace zyn::chart

namespace zyn::chart {
namespace {

TEST(ChartPanel, SeriesMovesBetweenCharts) {
    test::TRecordedChart a, b;
    auto& s = a.chart.Add(std::make_unique<test::TPlainSeries>());
    s.SetVertAxis(TVertAxis::aRightAxis);
    s.AddPoint(1, 2);
    s.SetParentChart(b.chart);
    EXPECT_EQ(a.chart.SeriesCount(), 0);
    ASSERT_EQ(b.chart.SeriesCount(), 1);
    EXPECT_EQ(s.ParentChart(), &b.chart);
    EXPECT_EQ(s.GetVertAxis(), &b.chart.RightAxis());  // axes resolved against the new chart
    EXPECT_EQ(b.chart.HighestY(b.chart.RightAxis()), 2);
}

}  // namespace
}  // namespace zyn::chart
