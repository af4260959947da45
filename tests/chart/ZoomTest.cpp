#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include "ChartTestSupport.h"

namespace zyn::chart {
namespace {

using test::TPlainSeries;

// A series that answers its hit test inside one rectangle, so a press can land on a point.
class TSpotSeries : public TPlainSeries {
public:
    TRect Spot{-10, -10, -10, -10};
    int SpotIndex = 0;
    int Clicked(int x, int y) override { return Spot.Contains(x, y) ? SpotIndex : -1; }
};

// A series that keeps pixel margins free at the ends of its horizontal axis.
class TMarginSeries : public TPlainSeries {
public:
    int Margin = 0;
    void HorizontalMargins(int& left, int& right) override { left = right = Margin; }
};

struct TAxisState {
    bool Automatic, AutomaticMinimum, AutomaticMaximum;
    double Minimum, Maximum;
    friend bool operator==(const TAxisState&, const TAxisState&) = default;
    friend std::ostream& operator<<(std::ostream& os, const TAxisState& s) {
        return os << "{auto " << s.Automatic << s.AutomaticMinimum << s.AutomaticMaximum << ", " << s.Minimum << " .. "
                  << s.Maximum << "}";
    }
};

TAxisState StateOf(const TCustomChartAxis& a) {
    return {a.Automatic(), a.AutomaticMinimum(), a.AutomaticMaximum(), a.Minimum(), a.Maximum()};
}

// The chart laid out like the viewer's: white panel, lowered inner bevel, border 2, a title,
// prices on the right axis over the upper 85 %, signals on the fixed left axis −6 … 6 over the
// lower 15 %, both along the bottom axis.
struct TZoomChart {
    TChart chart{std::make_unique<TRecordingCanvas>()};
    TSpotSeries* Prices = nullptr;
    TSpotSeries* Signals = nullptr;
    int Invalidations = 0, BandsPresented = 0, Zooms = 0, Undos = 0, Scrolls = 0;
    std::vector<TCursor> Cursors;

    TZoomChart() {
        chart.SetBounds(600, 400);
        chart.SetColor(clWhite);
        chart.SetBorderWidth(2);
        chart.SetBevelInner(TPanelBevel::bvLowered);
        chart.SetView3D(false);
        chart.Legend.Visible = false;
        chart.Title.SetText({"DAX"});
        chart.RightAxis().SetEndPosition(85);
        TChartAxis& left = chart.LeftAxis();
        left.SetStartPosition(85);
        left.SetAutomatic(false);
        left.SetMaximum(6);
        left.SetMinimum(-6);
        left.SetIncrement(2);
        Prices = &chart.Add(std::make_unique<TSpotSeries>());
        Prices->SetVertAxis(TVertAxis::aRightAxis);
        Signals = &chart.Add(std::make_unique<TSpotSeries>());
        for (int i = 0; i < 40; ++i) {
            Prices->AddPoint(i, 5000 + 13 * i - (i % 7) * 20);
            Signals->AddPoint(i, i % 13 - 6);
        }
        chart.OnInvalidate = [this] { ++Invalidations; };
        chart.OnRubberBandChanged = [this] { ++BandsPresented; };
        chart.OnZoom = [this](TCustomChartPanel&) { ++Zooms; };
        chart.OnUndoZoom = [this](TCustomChartPanel&) { ++Undos; };
        chart.OnScroll = [this](TCustomChartPanel&) { ++Scrolls; };
        chart.OnCursorChange = [this](TCursor c) { Cursors.push_back(c); };
        Paint();
    }

    TRecordingCanvas& Rec() { return static_cast<TRecordingCanvas&>(chart.Canvas()); }
    const TRect& Plot() const { return chart.PlotRect; }
    // The window's paint: a full frame only when something asked for one.
    void Paint() { chart.PaintChart(); }

    void Down(TMouseButton b, int x, int y, TShiftState shift = 0) { chart.MouseDown(b, shift, x, y); }
    void Move(int x, int y) { chart.MouseMove(0, x, y); }
    void Up(TMouseButton b, int x, int y) { chart.MouseUp(b, 0, x, y); }
    void Drag(TMouseButton b, int x0, int y0, int x1, int y1) {
        Down(b, x0, y0);
        Move(x1, y1);
        Up(b, x1, y1);
    }

    std::vector<TAxisState> Axes() {
        return {StateOf(chart.TopAxis()), StateOf(chart.LeftAxis()), StateOf(chart.RightAxis()),
                StateOf(chart.BottomAxis())};
    }

    // The inverting rectangles drawn since the last Rec().Clear().
    std::vector<TRect> Bands() {
        std::vector<TRect> out;
        for (const TCanvasCall& c : Rec().Calls)
            if (c.Op == TCanvasOp::Rectangle && c.Pen.Mode == TPenMode::pmNotXor) out.push_back(c.Rect);
        return out;
    }
};

constexpr auto Left = TMouseButton::mbLeft;
constexpr auto Right = TMouseButton::mbRight;

// ---- hit test and press dispatch ----

TEST(ZoomHitTest, FindsSeriesAxesTitleAndPlotInOrder) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect& p = t.Plot();
    const int x = p.Left + 100, y = p.Top + 50;
    EXPECT_EQ(c.HitTest(x, y).Part, TChartClickedPartStyle::cpChartRect);

    // Series first, the last one in the list winning; inactive ones are skipped.
    t.Prices->Spot = TRect{x - 3, y - 3, x + 4, y + 4};
    t.Prices->SpotIndex = 7;
    t.Signals->Spot = TRect{x, y, x + 1, y + 1};
    t.Signals->SpotIndex = 2;
    TChartClickedPart part = c.HitTest(x, y);
    EXPECT_EQ(part.Part, TChartClickedPartStyle::cpSeries);
    EXPECT_EQ(part.ASeries, t.Signals);
    EXPECT_EQ(part.PointIndex, 2);
    t.Signals->SetActive(false);
    part = c.HitTest(x, y);
    EXPECT_EQ(part.ASeries, t.Prices);
    EXPECT_EQ(part.PointIndex, 7);
    t.Signals->SetActive(true);
    t.Paint();

    // The bottom axis band: from the axis line (less 3 pixels) down to the labels position.
    TChartAxis& bottom = c.BottomAxis();
    part = c.HitTest(p.Left + 10, bottom.LinePosition + 2);
    EXPECT_EQ(part.Part, TChartClickedPartStyle::cpAxis);
    EXPECT_EQ(part.AAxis, &bottom);
    // The left axis band lies left of the plot, in the lower 15 % only.
    TChartAxis& left = c.LeftAxis();
    part = c.HitTest(left.LinePosition - 5, (left.StartPixel + left.EndPixel) / 2);
    EXPECT_EQ(part.AAxis, &left);
    EXPECT_EQ(c.HitTest(left.LinePosition - 5, p.Top + 5).Part, TChartClickedPartStyle::cpNone);

    const TRect& box = c.Title.TitleBox;
    EXPECT_EQ(c.HitTest((box.Left + box.Right) / 2, box.Top + 1).Part, TChartClickedPartStyle::cpTitle);
    EXPECT_EQ(c.HitTest(1, 1).Part, TChartClickedPartStyle::cpNone);  // the panel border

    // Without an active series the plot is no longer background.
    t.Prices->SetActive(false);
    t.Signals->SetActive(false);
    t.Paint();
    EXPECT_NE(c.HitTest(x, y).Part, TChartClickedPartStyle::cpChartRect);
}

TEST(ZoomPress, ClickHandlersDecideWhetherTheDragStarts) {
    TZoomChart t;
    TChart& c = t.chart;
    const int x = t.Plot().Left + 100, y = t.Plot().Top + 50;

    // Background: a handler that leaves ClickHandled set consumes the press.
    int background = 0;
    c.OnClickBackground = [&](TCustomChart& chart, TMouseButton, TShiftState, int, int) { ++background; (void)chart; };
    t.Down(Left, x, y);
    EXPECT_EQ(background, 1);
    EXPECT_FALSE(c.ZoomDrag.Active);
    EXPECT_FALSE(c.ClickHandled);
    c.OnClickBackground = [&](TCustomChart& chart, TMouseButton, TShiftState, int, int) {
        ++background;
        chart.ClickHandled = false;
    };
    t.Down(Left, x, y);
    EXPECT_EQ(background, 2);
    EXPECT_TRUE(c.ZoomDrag.Active);
    t.Up(Left, x, y);
    // A middle press on the background starts nothing and reports the click once.
    t.Down(TMouseButton::mbMiddle, x, y);
    EXPECT_EQ(background, 3);
    EXPECT_FALSE(c.ZoomDrag.Active || c.PanDrag.Active);
    c.OnClickBackground = nullptr;

    // Series: its own OnClick (or OnDblClick for a double click), then OnClickSeries.
    t.Prices->Spot = TRect{x - 2, y - 2, x + 3, y + 3};
    t.Prices->SpotIndex = 4;
    std::vector<int> clicks, doubleClicks;
    t.Prices->OnClick = [&](TChartSeries&, int i) { clicks.push_back(i); };
    t.Prices->OnDblClick = [&](TChartSeries&, int i) { doubleClicks.push_back(i); };
    t.Down(Left, x, y);
    EXPECT_EQ(clicks, std::vector<int>{4});
    EXPECT_FALSE(c.ZoomDrag.Active);  // OnClick left the press consumed
    t.Down(Left, x, y, ssDouble);
    EXPECT_EQ(doubleClicks, std::vector<int>{4});
    EXPECT_EQ(clicks.size(), 1u);
    t.Prices->OnClick = [&](TChartSeries& s, int i) {
        clicks.push_back(i);
        static_cast<TCustomChart*>(s.ParentChart())->ClickHandled = false;
    };
    int seriesClicks = 0;
    c.OnClickSeries = [&](TCustomChart&, TChartSeries& s, int i, TMouseButton, TShiftState, int, int) {
        EXPECT_EQ(&s, t.Prices);
        EXPECT_EQ(i, 4);
        ++seriesClicks;
    };
    t.Down(Right, x, y);
    EXPECT_EQ(seriesClicks, 1);
    EXPECT_FALSE(c.PanDrag.Active);  // OnClickSeries consumed it
    c.OnClickSeries = nullptr;
    t.Down(Right, x, y);
    EXPECT_TRUE(c.PanDrag.Active);  // OnClick let it through
    t.Up(Right, x, y);

    // Axis: OnClickAxis decides likewise; unhandled, a press on the band starts the drag.
    TChartAxis& bottom = c.BottomAxis();
    const int ax = t.Plot().Left + 40, ay = bottom.LinePosition + 2;
    TCustomChartAxis* clickedAxis = nullptr;
    c.OnClickAxis = [&](TCustomChart&, TCustomChartAxis& a, TMouseButton, TShiftState, int, int) { clickedAxis = &a; };
    t.Down(Left, ax, ay);
    EXPECT_EQ(clickedAxis, &bottom);
    EXPECT_FALSE(c.ZoomDrag.Active);
    c.OnClickAxis = nullptr;
    t.Down(Left, ax, ay);
    EXPECT_TRUE(c.ZoomDrag.Active);
    t.Up(Left, ax, ay);

    // A press with ClickHandled already set only clears it.
    c.ClickHandled = true;
    t.Down(Left, x + 50, y);
    EXPECT_FALSE(c.ClickHandled);
    EXPECT_FALSE(c.ZoomDrag.Active);
}

TEST(ZoomPress, ModifierKeysDoNotMatterAndSettingsCanSwitchDragsOff) {
    TZoomChart t;
    TChart& c = t.chart;
    const int x = t.Plot().Left + 100, y = t.Plot().Top + 50;
    t.Down(Left, x, y, ssShift | ssCtrl | ssAlt);
    EXPECT_TRUE(c.ZoomDrag.Active);
    t.Up(Left, x, y);
    c.AllowZoom = false;
    t.Down(Left, x, y);
    EXPECT_FALSE(c.ZoomDrag.Active);
    c.AllowPanning = TPanningMode::pmNone;
    t.Down(Right, x, y);
    EXPECT_FALSE(c.PanDrag.Active);
}

TEST(ZoomPress, PressesOnTitleAndPanelMarginStartNothing) {
    TZoomChart t;
    TChart& c = t.chart;
    const auto before = t.Axes();
    const TRect& box = c.Title.TitleBox;
    const int tx = (box.Left + box.Right) / 2, ty = box.Top + 2;
    for (TMouseButton b : {Right, Left}) {
        for (auto [x, y] : {std::pair{tx, ty}, std::pair{1, 1}, std::pair{3, 200}}) {
            t.Rec().Clear();
            t.Down(b, x, y);
            EXPECT_FALSE(c.ZoomDrag.Active || c.PanDrag.Active) << x << "," << y;
            t.Move(t.Plot().Left + 150, t.Plot().Top + 120);
            t.Up(b, t.Plot().Left + 150, t.Plot().Top + 120);
            EXPECT_TRUE(t.Bands().empty());
        }
    }
    EXPECT_EQ(t.Axes(), before);
    EXPECT_EQ(t.Invalidations, 0);
    EXPECT_EQ(t.Scrolls + t.Zooms + t.Undos, 0);
}

TEST(ZoomPress, SeriesCountAsHitOnlyWhereTheyAreDrawn) {
    // After a zoom, lines and candles continue beyond the plot, clipped: their hit tests answer
    // everywhere, but only the clip rectangle shows them.
    TZoomChart t;
    TChart& c = t.chart;
    t.Prices->Spot = TRect{-1000, -1000, 5000, 5000};
    const TRect clip = c.PlotClipRect();
    EXPECT_EQ(clip, (TRect{t.Plot().Left + 1, t.Plot().Top + 1, t.Plot().Right, t.Plot().Bottom - 1}));
    const TRect& box = c.Title.TitleBox;
    const TChartAxis& bottom = c.BottomAxis();
    const int below = bottom.LabelsPosition + 3;  // on the date labels, past the axis band
    for (auto [x, y] : {std::pair{(box.Left + box.Right) / 2, box.Top + 2}, std::pair{1, 1},
                        std::pair{3, 200}, std::pair{t.Plot().Left + 50, below}}) {
        EXPECT_NE(c.HitTest(x, y).Part, TChartClickedPartStyle::cpSeries) << x << "," << y;
        for (TMouseButton b : {Left, Right}) {
            t.Down(b, x, y);
            EXPECT_FALSE(c.ZoomDrag.Active || c.PanDrag.Active) << x << "," << y;
            t.Up(b, x, y);
        }
    }
    // The clip rectangle's edges: its left column and top row show series, the frame does not.
    EXPECT_EQ(c.HitTest(clip.Left, clip.Top).Part, TChartClickedPartStyle::cpSeries);
    EXPECT_EQ(c.HitTest(clip.Right - 1, clip.Bottom - 1).Part, TChartClickedPartStyle::cpSeries);
    EXPECT_NE(c.HitTest(clip.Right, clip.Top).Part, TChartClickedPartStyle::cpSeries);
    EXPECT_NE(c.HitTest(clip.Left, clip.Bottom).Part, TChartClickedPartStyle::cpSeries);
    // The axis bands keep their own hit test.
    EXPECT_EQ(c.HitTest(t.Plot().Left + 50, bottom.LinePosition + 2).Part, TChartClickedPartStyle::cpAxis);
    // Unclipped series are drawn everywhere, so they are hit everywhere.
    c.ClipPoints = false;
    EXPECT_EQ(c.HitTest(1, 1).Part, TChartClickedPartStyle::cpSeries);
}

TEST(ZoomPress, PressDuringEitherDragIsIgnored) {
    TZoomChart t;
    TChart& c = t.chart;
    const int x = t.Plot().Left + 100, y = t.Plot().Top + 50;
    t.Down(Left, x, y);
    t.Move(x + 30, y + 30);
    t.Down(Left, x + 200, y + 100);
    t.Down(Right, x + 200, y + 100);
    EXPECT_EQ(c.ZoomDrag.X0, x);
    EXPECT_EQ(c.ZoomDrag.Y0, y);
    EXPECT_FALSE(c.PanDrag.Active);
    t.Up(Left, x + 30, y + 30);

    t.Down(Right, x, y);
    t.Down(Left, x + 10, y + 10);
    EXPECT_FALSE(c.ZoomDrag.Active);
    EXPECT_EQ(c.PanDrag.X0, x);
}

// ---- zoom and undo ----

TEST(Zoom, DragOfSixteenPixelsDoesNothing) {
    TZoomChart t;
    TChart& c = t.chart;
    const int x = t.Plot().Left + 100, y = t.Plot().Top + 50;
    const auto before = t.Axes();
    const long frames = c.FramesDrawn;
    for (auto [dx, dy] : {std::pair{16, 17}, std::pair{17, 16}, std::pair{-16, -40}, std::pair{40, -16},
                          std::pair{16, 16}, std::pair{0, 0}}) {
        t.Drag(Left, x, y, x + dx, y + dy);
        EXPECT_FALSE(c.ZoomDrag.Active);
        EXPECT_EQ(t.Axes(), before) << dx << "," << dy;
    }
    EXPECT_EQ(t.Invalidations, 0);  // not even a repaint request
    t.Paint();
    EXPECT_EQ(c.FramesDrawn, frames);
    EXPECT_EQ(t.Zooms + t.Undos, 0);
    EXPECT_FALSE(c.IsZoomed);
    EXPECT_FALSE(c.HasSavedScales);
}

TEST(Zoom, SeventeenRightAndDownZoomsAllFourAxesThroughTheirOwnMapping) {
    TZoomChart t;
    TChart& c = t.chart;
    const int x0 = t.Plot().Left + 100, y0 = t.Plot().Top + 50;
    const int x1 = x0 + 17, y1 = y0 + 17;
    const double bottomMin = c.BottomAxis().PixelToValue(x0), bottomMax = c.BottomAxis().PixelToValue(x1);
    const double topMin = c.TopAxis().PixelToValue(x0), topMax = c.TopAxis().PixelToValue(x1);
    const double rightMin = c.RightAxis().PixelToValue(y1), rightMax = c.RightAxis().PixelToValue(y0);
    const double leftMin = c.LeftAxis().PixelToValue(y1), leftMax = c.LeftAxis().PixelToValue(y0);
    ASSERT_LT(bottomMin, bottomMax);
    ASSERT_LT(rightMin, rightMax);

    // The rectangle comes from the release point, not from the last move.
    t.Down(Left, x0, y0);
    t.Move(x0 + 60, y0 + 3);
    t.Up(Left, x1, y1);

    EXPECT_EQ(StateOf(c.BottomAxis()), (TAxisState{false, false, false, bottomMin, bottomMax}));
    EXPECT_EQ(StateOf(c.RightAxis()), (TAxisState{false, false, false, rightMin, rightMax}));
    EXPECT_EQ(StateOf(c.LeftAxis()), (TAxisState{false, false, false, leftMin, leftMax}));
    // The top axis has no series (range 0 … 0): every pixel maps to 0, widened by SetRange.
    EXPECT_EQ(topMin, 0);
    EXPECT_EQ(topMax, 0);
    EXPECT_EQ(StateOf(c.TopAxis()), (TAxisState{false, false, false, 0, 1e-10}));
    // A rectangle over the price band moves the signal axis above its former maximum.
    EXPECT_GT(c.LeftAxis().Minimum(), 6);
    EXPECT_TRUE(c.IsZoomed);
    EXPECT_TRUE(c.HasSavedScales);
    EXPECT_EQ(t.Zooms, 1);
    EXPECT_EQ(t.Undos, 0);
    EXPECT_GE(t.Invalidations, 1);

    // The next frame shows exactly the zoomed ranges: fixed axes get no series margins.
    const long frames = c.FramesDrawn;
    t.Paint();
    EXPECT_EQ(c.FramesDrawn, frames + 1);
    EXPECT_EQ(c.BottomAxis().RangeMin, bottomMin);
    EXPECT_DOUBLE_EQ(c.BottomAxis().RangeMax, bottomMax);
}

TEST(Zoom, ZoomOnARectangleInTheSignalBandMovesThePriceAxisBelowItsMinimum) {
    TZoomChart t;
    TChart& c = t.chart;
    const double priceMin = c.RightAxis().Minimum();
    TChartAxis& left = c.LeftAxis();
    const int y0 = left.StartPixel + 5;
    t.Drag(Left, t.Plot().Left + 20, y0, t.Plot().Left + 300, y0 + 30);
    EXPECT_LT(c.RightAxis().Maximum(), priceMin);
    EXPECT_GE(c.LeftAxis().Minimum(), -6);
    EXPECT_LE(c.LeftAxis().Maximum(), 6);
}

TEST(Zoom, TheOtherThreeDirectionsUndo) {
    for (auto [dx, dy] : {std::pair{-17, -17}, std::pair{17, -17}, std::pair{-17, 17}}) {
        // With nothing saved: only OnUndoZoom and a repaint.
        TZoomChart t;
        TChart& c = t.chart;
        const int x = t.Plot().Left + 200, y = t.Plot().Top + 100;
        const auto before = t.Axes();
        const long frames = c.FramesDrawn;
        t.Drag(Left, x, y, x + dx, y + dy);
        EXPECT_EQ(t.Axes(), before);
        EXPECT_EQ(t.Undos, 1);
        EXPECT_EQ(t.Zooms, 0);
        EXPECT_EQ(t.Invalidations, 1);
        t.Paint();
        EXPECT_EQ(c.FramesDrawn, frames + 1);
        EXPECT_EQ(t.Axes(), before);

        // After a zoom: the ranges from before it return.
        t.Drag(Left, x - 100, y - 50, x - 40, y);
        t.Paint();
        EXPECT_NE(t.Axes(), before);
        t.Drag(Left, x, y, x + dx, y + dy);
        EXPECT_EQ(t.Undos, 2);
        EXPECT_FALSE(c.IsZoomed);
        EXPECT_FALSE(c.HasSavedScales);
        t.Paint();
        EXPECT_EQ(t.Axes(), before) << dx << "," << dy;
    }
}

TEST(Zoom, OneUndoAfterZoomsAndPansRestoresTheFirstRanges) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const auto first = t.Axes();
    ASSERT_TRUE(first[2].Automatic);                                        // right: automatic
    ASSERT_EQ(first[1], (TAxisState{false, false, false, -6, 6}));  // left: fixed
    t.Drag(Left, p.Left + 50, p.Top + 20, p.Left + 400, p.Top + 250);
    t.Paint();
    t.Drag(Left, p.Left + 100, p.Top + 40, p.Left + 300, p.Top + 150);
    t.Paint();
    t.Drag(Right, p.Left + 200, p.Top + 100, p.Left + 230, p.Top + 90);
    t.Paint();
    EXPECT_EQ(t.Zooms, 2);
    EXPECT_EQ(t.Scrolls, 1);
    t.Drag(Left, p.Left + 300, p.Top + 200, p.Left + 100, p.Top + 50);
    EXPECT_EQ(t.Undos, 1);
    // Right and bottom axes are automatic again, the left axis is back at −6 … 6.
    EXPECT_TRUE(c.RightAxis().Automatic());
    EXPECT_TRUE(c.BottomAxis().Automatic());
    EXPECT_TRUE(c.TopAxis().Automatic());
    EXPECT_EQ(StateOf(c.LeftAxis()), (TAxisState{false, false, false, -6, 6}));
    t.Paint();
    EXPECT_EQ(t.Axes(), first);
    // A second undo has nothing left to restore.
    t.Drag(Left, p.Left + 300, p.Top + 200, p.Left + 100, p.Top + 50);
    t.Paint();
    EXPECT_EQ(t.Axes(), first);
    EXPECT_EQ(t.Undos, 2);
}

TEST(Zoom, UndoRestoresAnAxisWithOneAutomaticEnd) {
    TZoomChart t;
    TChart& c = t.chart;
    TChartAxis& right = c.RightAxis();
    right.SetAutomaticMaximum(false);
    right.SetMaximum(6000);
    t.Paint();
    const TAxisState before = StateOf(right);
    ASSERT_EQ(before.AutomaticMinimum, true);
    ASSERT_EQ(before.Automatic, false);
    const TRect p = t.Plot();
    t.Drag(Left, p.Left + 50, p.Top + 20, p.Left + 400, p.Top + 250);
    t.Paint();
    t.Drag(Left, p.Left + 300, p.Top + 200, p.Left + 100, p.Top + 50);
    EXPECT_EQ(StateOf(right), before);
    // The automatic end follows the data again.
    t.Prices->AddPoint(40, 4000);
    t.Paint();
    EXPECT_EQ(right.Minimum(), 4000);
    EXPECT_EQ(right.Maximum(), 6000);
}

TEST(Zoom, ZoomedRangesSurviveRefillingTheSeries) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    t.Drag(Left, p.Left + 50, p.Top + 20, p.Left + 300, p.Top + 200);
    const auto zoomed = t.Axes();
    t.Paint();
    t.Prices->Clear();
    t.Signals->Clear();
    for (int i = 0; i < 300; ++i) {
        t.Prices->AddPoint(i, 1.2 + i * 0.001);
        t.Signals->AddPoint(i, 5);
    }
    t.Paint();
    EXPECT_EQ(t.Axes(), zoomed);
    EXPECT_EQ(c.BottomAxis().RangeMin, zoomed[3].Minimum);
    EXPECT_EQ(c.RightAxis().RangeMax, zoomed[2].Maximum);
    EXPECT_TRUE(c.IsZoomed);
}

TEST(Zoom, AnimatedZoomDrawsStepsCoveringAThirdOfTheRemainingDistance) {
    TZoomChart t;
    TChart& c = t.chart;
    c.AnimatedZoom = true;
    const TRect p = t.Plot();
    const int x0 = p.Left + 60, x1 = p.Left + 260;
    const double target = c.BottomAxis().PixelToValue(x0);
    const double targetMax = c.BottomAxis().PixelToValue(x1);
    double m = c.BottomAxis().Minimum(), mx = c.BottomAxis().Maximum();
    std::vector<double> shownMin, shownMax;
    c.OnAfterDraw = [&](TCustomChartPanel&) {
        shownMin.push_back(c.BottomAxis().Minimum());
        shownMax.push_back(c.BottomAxis().Maximum());
    };
    const long frames = c.FramesDrawn;
    t.Drag(Left, x0, p.Top + 30, x1, p.Top + 200);
    EXPECT_EQ(c.FramesDrawn - frames, 7);  // AnimatedZoomSteps − 1, before the release returns
    ASSERT_EQ(shownMin.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        m = m + (target - m) / 3.0;
        mx = mx - (mx - targetMax) / 3.0;
        EXPECT_DOUBLE_EQ(shownMin[i], m) << i;
        EXPECT_DOUBLE_EQ(shownMax[i], mx) << i;
    }
    EXPECT_EQ(c.BottomAxis().Minimum(), target);
    EXPECT_EQ(t.Zooms, 1);

    // One step: no intermediate frame.
    t.Drag(Left, p.Left + 300, p.Top + 200, p.Left + 100, p.Top + 50);
    t.Paint();
    c.AnimatedZoomSteps = 1;
    const long frames2 = c.FramesDrawn;
    t.Drag(Left, x0, p.Top + 30, x1, p.Top + 200);
    EXPECT_EQ(c.FramesDrawn, frames2);
}

// ---- panning ----

// A bottom axis showing 0 … 100 over 500 pixels: plot = panel, no margins, no axes drawn.
struct TPanChart {
    TChart chart{std::make_unique<TRecordingCanvas>()};
    TMarginSeries* Series = nullptr;
    explicit TPanChart(int margin = 0) {
        chart.SetBounds(500, 400);
        chart.SetMargins(0, 0, 0, 0);
        chart.SetBevelOuter(TPanelBevel::bvNone);
        chart.SetAxisVisible(false);
        chart.SetView3D(false);
        chart.Title.SetText({});
        Series = &chart.Add(std::make_unique<TMarginSeries>());
        Series->Margin = margin;
        Series->AddPoint(0, 0);
        Series->AddPoint(100, 50);
        chart.PaintChart();
    }
    double Min() { return chart.BottomAxis().Minimum(); }
    double Max() { return chart.BottomAxis().Maximum(); }
};

TEST(Panning, EachMoveShiftsTheRangeByItsOwnDistance) {
    {
        TPanChart t;
        ASSERT_EQ(t.chart.BottomAxis().PixelLength, 500);
        t.chart.MouseDown(Right, 0, 250, 200);
        t.chart.MouseMove(0, 260, 200);
        EXPECT_DOUBLE_EQ(t.Min(), -2);
        EXPECT_DOUBLE_EQ(t.Max(), 98);
        t.chart.MouseUp(Right, 0, 260, 200);
    }
    TPanChart t;
    int scrolls = 0;
    t.chart.OnScroll = [&](TCustomChartPanel&) { ++scrolls; };
    t.chart.MouseDown(Right, 0, 250, 200);
    t.chart.MouseMove(0, 240, 200);
    EXPECT_DOUBLE_EQ(t.Min(), 2);
    EXPECT_DOUBLE_EQ(t.Max(), 102);
    t.chart.PaintChart();
    t.chart.MouseMove(0, 235, 200);
    EXPECT_DOUBLE_EQ(t.Min(), 3);
    t.chart.MouseMove(0, 225, 200);  // no paint in between: the step is the same
    EXPECT_DOUBLE_EQ(t.Min(), 5);
    EXPECT_DOUBLE_EQ(t.Max(), 105);
    t.chart.MouseMove(0, 235, 200);  // back to the right
    EXPECT_DOUBLE_EQ(t.Min(), 3);
    t.chart.MouseMove(0, 235, 200);  // no movement, no step
    EXPECT_EQ(scrolls, 4);
    // Dragging down moves the vertical range toward larger values: 50 over 400 pixels.
    const double leftMin = t.chart.LeftAxis().Minimum();
    t.chart.MouseMove(0, 235, 208);
    EXPECT_DOUBLE_EQ(t.chart.LeftAxis().Minimum(), leftMin + 1);
    EXPECT_DOUBLE_EQ(t.Min(), 3);  // horizontal untouched
    t.chart.MouseUp(TMouseButton::mbMiddle, 0, 235, 208);  // any release ends panning
    EXPECT_FALSE(t.chart.PanDrag.Active);
    EXPECT_TRUE(t.chart.HasSavedScales);
}

TEST(Panning, FirstStepDropsTheSeriesMargins) {
    TPanChart t(25);
    TChartAxis& bottom = t.chart.BottomAxis();
    ASSERT_LT(bottom.RangeMin, 0);  // margins widened what is shown
    const double perPixel = bottom.RangeSize / bottom.PixelLength;
    t.chart.MouseDown(Right, 0, 250, 200);
    t.chart.MouseMove(0, 260, 200);
    EXPECT_DOUBLE_EQ(t.Min(), 0 - 10 * perPixel);
    EXPECT_DOUBLE_EQ(t.Max(), 100 - 10 * perPixel);
}

TEST(Panning, LeavingThePlotEndsPanningForThePress) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    t.Down(Right, p.Left + 100, p.Top + 100);
    t.Move(p.Left + 120, p.Top + 100);
    t.Paint();
    const auto moved = t.Axes();
    EXPECT_EQ(t.Scrolls, 1);
    t.Move(p.Right, p.Top + 100);  // the right edge is outside
    EXPECT_FALSE(c.PanDrag.Active);
    t.Move(p.Left + 150, p.Top + 120);
    t.Move(p.Left + 50, p.Top + 20);
    EXPECT_EQ(t.Axes(), moved);
    EXPECT_EQ(t.Scrolls, 1);
    t.Up(Right, p.Left + 50, p.Top + 20);
    // Leaving the control ends panning too.
    t.Down(Right, p.Left + 100, p.Top + 100);
    c.MouseLeave();
    t.Move(p.Left + 150, p.Top + 120);
    EXPECT_EQ(t.Axes(), moved);
}

TEST(Panning, OneRepaintPerStepAndOnlyAllowedDirections) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const long frames = c.FramesDrawn;
    t.Down(Right, p.Left + 100, p.Top + 100);
    t.Move(p.Left + 130, p.Top + 140);  // four axes move
    EXPECT_EQ(t.Invalidations, 1);
    t.Paint();
    t.Paint();
    EXPECT_EQ(c.FramesDrawn, frames + 1);
    t.Up(Right, p.Left + 130, p.Top + 140);

    c.AllowPanning = TPanningMode::pmVertical;
    auto before = t.Axes();
    t.Drag(Right, p.Left + 100, p.Top + 100, p.Left + 150, p.Top + 100);  // horizontal only
    EXPECT_EQ(t.Axes(), before);
    EXPECT_EQ(t.Scrolls, 1);
    t.Drag(Right, p.Left + 100, p.Top + 100, p.Left + 150, p.Top + 130);
    EXPECT_EQ(StateOf(c.BottomAxis()), before[3]);
    EXPECT_NE(StateOf(c.RightAxis()), before[2]);
    EXPECT_EQ(t.Scrolls, 2);
}

TEST(Panning, AllowScrollCanRefuseOrChangeTheNewRange) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const auto before = t.Axes();
    std::vector<TCustomChartAxis*> asked;
    c.OnAllowScroll = [&](TCustomChartAxis& axis, double& aMin, double& aMax, bool& allow) {
        EXPECT_TRUE(allow);
        asked.push_back(&axis);
        if (&axis == &c.BottomAxis()) allow = false;
        if (&axis == &c.LeftAxis()) {
            aMin = -100;
            aMax = 100;
        }
    };
    t.Drag(Right, p.Left + 100, p.Top + 100, p.Left + 130, p.Top + 140);
    // Horizontal axes in list order, then vertical ones; never the depth axis.
    const std::vector<TCustomChartAxis*> order = {&c.BottomAxis(), &c.TopAxis(), &c.LeftAxis(), &c.RightAxis()};
    EXPECT_EQ(asked, order);
    EXPECT_EQ(StateOf(c.BottomAxis()), before[3]);
    EXPECT_EQ(StateOf(c.LeftAxis()), (TAxisState{false, false, false, -100, 100}));
    EXPECT_FALSE(c.RightAxis().Automatic());
    EXPECT_EQ(t.Scrolls, 1);
}

// ---- drags of both buttons ----

TEST(ZoomDrag, ReleasingTheRightButtonKeepsTheZoomDrag) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const int x0 = p.Left + 50, y0 = p.Top + 30;
    t.Down(Left, x0, y0);
    t.Move(x0 + 40, y0 + 40);
    t.Down(Right, x0 + 40, y0 + 40);
    t.Up(Right, x0 + 40, y0 + 40);
    EXPECT_TRUE(c.ZoomDrag.Active);
    EXPECT_FALSE(c.PanDrag.Active);
    t.Move(x0 + 100, y0 + 80);
    const double expected = c.BottomAxis().PixelToValue(x0 + 100);
    t.Up(Left, x0 + 100, y0 + 80);
    EXPECT_EQ(t.Zooms, 1);
    EXPECT_EQ(c.BottomAxis().Maximum(), expected);
}

// ---- the rubber band ----

TEST(RubberBand, MovingRedrawsOnlyTheBandOnThePresentedFrame) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const int x0 = p.Left + 50, y0 = p.Top + 30;
    const long frames = c.FramesDrawn;
    t.Rec().Clear();
    t.Down(Left, x0, y0);
    EXPECT_EQ(t.Bands(), std::vector<TRect>{(TRect{x0, y0, x0, y0})});  // zero size at the press
    EXPECT_EQ(t.BandsPresented, 1);

    t.Rec().Clear();
    t.Move(x0 + 30, y0 + 20);
    EXPECT_EQ(t.Bands(), (std::vector<TRect>{{x0, y0, x0, y0}, {x0, y0, x0 + 30, y0 + 20}}));
    t.Rec().Clear();
    t.Move(x0 - 10, y0 + 60);  // the band follows the pointer in any direction
    EXPECT_EQ(t.Bands(), (std::vector<TRect>{{x0, y0, x0 + 30, y0 + 20}, {x0, y0, x0 - 10, y0 + 60}}));
    ASSERT_EQ(t.Rec().Calls.size(), 2u);  // nothing but the two outlines
    const TCanvasCall& call = t.Rec().Calls[1];
    EXPECT_EQ(call.Pen.Color, clBlack);  // a white panel gives a black band
    EXPECT_EQ(call.Pen.Width, 1);
    EXPECT_EQ(call.Pen.Style, TPenStyle::psSolid);
    EXPECT_EQ(call.Brush.Style, TBrushStyle::bsClear);
    EXPECT_EQ(c.Canvas().Pen.Mode, TPenMode::pmCopy);
    t.Rec().Clear();
    t.Move(x0 - 10, y0 + 60);  // same point: nothing
    t.Move(p.Right + 40, p.Bottom + 30);  // outside the plot and the control too
    EXPECT_EQ(t.Bands().size(), 2u);
    EXPECT_EQ(t.BandsPresented, 1 + 2 + 2 + 2);

    t.Paint();
    EXPECT_EQ(c.FramesDrawn, frames);  // no full frame during the whole drag
    EXPECT_EQ(t.Invalidations, 0);

    // The release erases the band where it was drawn last, then zooms from the release point.
    t.Rec().Clear();
    t.Up(Left, p.Left + 250, p.Top + 150);
    EXPECT_EQ(t.Bands(), std::vector<TRect>{(TRect{x0, y0, p.Right + 40, p.Bottom + 30})});
    EXPECT_EQ(c.Canvas().Pen.Mode, TPenMode::pmCopy);
    EXPECT_EQ(t.Zooms, 1);
}

TEST(RubberBand, PenTakesThePanelColourUnlessWhite) {
    for (TColor panel : {clBtnFace, clRed}) {
        TZoomChart t;
        t.chart.SetColor(panel);
        t.Paint();
        t.Down(Left, t.Plot().Left + 10, t.Plot().Top + 10);
        t.Rec().Clear();
        t.Move(t.Plot().Left + 40, t.Plot().Top + 40);
        ASSERT_EQ(t.Rec().Calls.size(), 2u);
        EXPECT_EQ(t.Rec().Calls[1].Pen.Color, panel);
    }
}

TEST(RubberBand, AFullFrameDuringTheDragDrawsTheBandAgain) {
    TZoomChart t;
    TChart& c = t.chart;
    const TRect p = t.Plot();
    const int x0 = p.Left + 50, y0 = p.Top + 30;
    t.Down(Left, x0, y0);
    t.Move(x0 + 80, y0 + 60);

    // The frame becomes invalid (a series changes): the band is not drawn on it any more ...
    t.Prices->AddPoint(40, 5500);
    t.Rec().Clear();
    const int presented = t.BandsPresented;
    t.Move(x0 + 90, y0 + 70);
    EXPECT_TRUE(t.Bands().empty());
    EXPECT_EQ(t.BandsPresented, presented);

    // ... because the next full frame draws it, at its latest corner, over the series.
    t.Rec().Clear();
    const long frames = c.FramesDrawn;
    t.Paint();
    EXPECT_EQ(c.FramesDrawn, frames + 1);
    EXPECT_EQ(t.Bands(), std::vector<TRect>{(TRect{x0, y0, x0 + 90, y0 + 70})});
    size_t band = 0, lastClip = 0;
    const auto& calls = t.Rec().Calls;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Op == TCanvasOp::Rectangle && calls[i].Pen.Mode == TPenMode::pmNotXor) band = i;
        if (calls[i].Op == TCanvasOp::ClearClip) lastClip = i;
    }
    EXPECT_GT(band, lastClip);

    // On the valid frame the next move erases that band and draws the new one.
    t.Rec().Clear();
    t.Move(x0 + 100, y0 + 75);
    EXPECT_EQ(t.Bands(), (std::vector<TRect>{{x0, y0, x0 + 90, y0 + 70}, {x0, y0, x0 + 100, y0 + 75}}));

    // After the release no frame draws a band.
    t.Up(Left, x0 + 5, y0 + 5);
    c.InvalidateChart();
    t.Rec().Clear();
    t.Paint();
    EXPECT_TRUE(t.Bands().empty());
}

// ---- cursors ----

TEST(ZoomCursor, SeriesCursorOnHoverDefaultWhileDraggingSavedOnLeave) {
    TZoomChart t;
    TChart& c = t.chart;
    c.SavedCursor = crCross;
    c.SetCursor(crCross);
    const TRect p = t.Plot();
    const int x = p.Left + 100, y = p.Top + 60;
    t.Signals->Spot = TRect{x - 2, y - 2, x + 3, y + 3};
    t.Signals->Cursor = crHandPoint;
    t.Cursors.clear();

    t.Move(x, y);
    EXPECT_EQ(c.Cursor, crHandPoint);
    t.Move(x + 30, y);
    EXPECT_EQ(c.Cursor, crCross);
    t.Signals->SetActive(false);  // an inactive series gives no cursor
    t.Move(x, y);
    EXPECT_EQ(c.Cursor, crCross);
    t.Signals->SetActive(true);
    t.Paint();

    t.Down(Left, x, y);  // on the series point: the drag starts with the default cursor
    EXPECT_EQ(c.Cursor, crDefault);
    t.Move(x + 40, y + 40);
    EXPECT_EQ(c.Cursor, crDefault);
    c.MouseLeave();  // the saved cursor returns, the zoom drag goes on
    EXPECT_EQ(c.Cursor, crCross);
    EXPECT_TRUE(c.ZoomDrag.Active);
    t.Up(Left, x + 40, y + 40);
    EXPECT_EQ(t.Cursors, (std::vector<TCursor>{crHandPoint, crCross, crDefault, crCross}));
}

}  // namespace
}  // namespace zyn::chart
