#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/Axis.h"
#include "chart/Canvas.h"
#include "chart/ChartErrors.h"
#include "chart/compose/FrameContext.h"
#include "chart/Format.h"
#include "chart/Series.h"

namespace zyn::chart {

enum class TPanelBevel { bvNone, bvLowered, bvRaised };
enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TBackImageMode { pbmStretch, pbmTile, pbmCenter };

// Modifier and button state of a mouse event.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64;

class TZoomPanningRecord {
public:
    bool Active = false;
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    void StartDrag(int x, int y) { X0 = X1 = x; Y0 = Y1 = y; Active = true; }
    void Normalize() {
        if (X1 < X0) std::swap(X0, X1);
        if (Y1 < Y0) std::swap(Y0, Y1);
    }
};

class TCustomChartPanel;

// Title or foot of a chart.
class TChartTitle {
public:
    explicit TChartTitle(TCustomChartPanel* chart);
    const std::vector<std::string>& Text() const { return text_; }
    void SetText(std::vector<std::string> lines);  // always repaints
    TChartFont Font;
    TSetting<TAlignment> Alignment;
    TSetting<bool> AdjustFrame;
    TChartBrush Brush;
    TSetting<TColor> Color;
    TChartHiddenPen Frame;
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    TRect TitleBox;

private:
    TCustomChartPanel* chart_;
    std::vector<std::string> text_;
    bool visible_ = true;
};

class TChartWall {
public:
    TChartWall(TChangeSink* chart, TColor color, TBrushStyle brushStyle)
        : Brush(chart, clAutoColor, brushStyle), Color(chart, color), Dark3D(chart, true), Pen(chart), Size(chart, 0) {}
    TChartBrush Brush;
    TSetting<TColor> Color;
    TSetting<bool> Dark3D;
    TChartPen Pen;
    TSetting<int> Size;
};

class TChartLegend {
public:
    explicit TChartLegend(TChangeSink* chart) : Visible(chart, true) {}
    TSetting<bool> Visible;
};

// The panel part: bevels, margins, plot rectangle, invalidation and the paint cycle with
// the off-screen buffer.
class TCustomChartPanel : public TChangeSink {
public:
    explicit TCustomChartPanel(std::unique_ptr<TChartCanvas3D> canvas);
    virtual ~TCustomChartPanel();
    // Every setting, pen, brush and font of the chart and its parts invalidates it.
    void SettingChanged() override { InvalidateChart(); }
    TCustomChartPanel(const TCustomChartPanel&) = delete;
    TCustomChartPanel& operator=(const TCustomChartPanel&) = delete;

    // From the platform panel.
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel value);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // A change of size invalidates the whole control.
    void SetBounds(int width, int height);
    TCursor Cursor = crDefault;

    int MarginLeft() const { return marginLeft_; }
    int MarginTop() const { return marginTop_; }
    int MarginRight() const { return marginRight_; }
    int MarginBottom() const { return marginBottom_; }
    void SetMargins(int left, int top, int right, int bottom);

    TRect PanelBounds;
    TRect PlotRect;
    int PlotWidth = 0, PlotHeight = 0, PlotCenterX = 0, PlotCenterY = 0;

    bool View3D() const { return view3D_; }
    void SetView3D(bool value);
    int Chart3DPercent() const { return chart3DPercent_; }
    void SetChart3DPercent(int value);

    // The canvas being drawn on: the chart's own, or the one DrawChartOn was given.
    TChartCanvas3D& Canvas() const { return *drawing_; }
    TCursor SavedCursor = crDefault;
    TZoomPanningRecord ZoomDrag;
    TZoomPanningRecord PanDrag;
    bool ChartConstructed() const { return chartConstructed_; }
    // Set while a stored description is applied: range checks are skipped.
    bool Loading = false;

    // Marks the buffer invalid and asks the host for one later paint.
    void InvalidateChart();
    // The window paint: copies the buffer when valid, otherwise draws a full frame.
    void PaintChart();
    // One complete frame into the canvas at the given size.
    void DrawChart(const TRect& rect);
    // One complete frame into another canvas (a page, a file) at the given size, laid out and
    // drawn as into the chart's own; the chart's canvas and its buffer stay as they are.
    void DrawChartOn(TChartCanvas3D& canvas, const TRect& rect);
    void UpdatePlotSize();

    // The host's whole-control invalidation (a widget's update()): asked once per frame, with
    // the buffer already invalid, and served by a later paint.
    std::function<void()> OnInvalidate;
    // The host shows the frame just drawn into the buffer at once (a widget's repaint()); each
    // step of an animated zoom asks for it before the release returns.
    std::function<void()> OnPresentFrame;
    // The host's cursor change, called when the chart's cursor changes.
    std::function<void(TCursor)> OnCursorChange;
    void SetCursor(TCursor value);
    // Counts full frames drawn (layout and notifications ran).
    long FramesDrawn = 0;

protected:
    virtual void DrawChartContents(const TRect& bounds) = 0;
    void PaintPanel(const TRect& bounds);

    bool chartConstructed_ = false;

private:
    std::unique_ptr<TChartCanvas3D> canvas_;
    TChartCanvas3D* drawing_ = nullptr;
    TColor color_ = clBtnFace;
    TPanelBevel bevelOuter_ = TPanelBevel::bvRaised;
    TPanelBevel bevelInner_ = TPanelBevel::bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    int width_ = 400, height_ = 250;
    int marginLeft_ = 3, marginTop_ = 4, marginRight_ = 3, marginBottom_ = 4;
    bool view3D_ = true;
    int chart3DPercent_ = 15;
};

class TCustomChartPanelExtended : public TCustomChartPanel {
public:
    explicit TCustomChartPanelExtended(std::unique_ptr<TChartCanvas3D> canvas);
    TSetting<bool> AllowZoom{this, true};
    TSetting<TPanningMode> AllowPanning{this, TPanningMode::pmBoth};
    TSetting<bool> AnimatedZoom{this, false};
    TSetting<int> AnimatedZoomSteps{this, 8};
    bool IsZoomed = false;
    TSetting<bool> GradientVisible{this, false};
    TSetting<TBackImageMode> BackImageMode{this, TBackImageMode::pbmStretch};
    std::function<void(TCustomChartPanel&)> OnZoom, OnUndoZoom, OnScroll, OnAfterDraw;
};

// The series list, the axes and everything that lays out and draws them.
class TCustomAxisPanel : public TCustomChartPanelExtended {
public:
    explicit TCustomAxisPanel(std::unique_ptr<TChartCanvas3D> canvas);
    ~TCustomAxisPanel() override;

    const std::vector<TChartSeries*>& SeriesList() const { return seriesList_; }
    int SeriesCount() const { return static_cast<int>(seriesList_.size()); }
    TChartSeries& Series(int index) const { return *seriesList_.at(static_cast<size_t>(index)); }
    // Takes ownership; nothing if already in the list.
    TChartSeries& AddSeries(std::unique_ptr<TChartSeries> series);
    template <class S>
    S& Add(std::unique_ptr<S> series) { return static_cast<S&>(AddSeries(std::move(series))); }
    // Takes the series out of the list and hands it back.
    std::unique_ptr<TChartSeries> RemoveSeries(TChartSeries& series);
    void FreeAllSeries();

    TChartAxis& BottomAxis() { return *bottomAxis_; }
    TChartAxis& TopAxis() { return *topAxis_; }
    TChartAxis& LeftAxis() { return *leftAxis_; }
    TChartAxis& RightAxis() { return *rightAxis_; }
    TChartDepthAxis& DepthAxis() { return *depthAxis_; }
    // bottom, top, left, right, depth
    const std::vector<TCustomChartAxis*>& AxesList() const { return axes_; }

    bool AxisVisible() const { return axisVisible_; }
    void SetAxisVisible(bool value);
    TSetting<bool> ClipPoints{this, true};
    // Draw every visible point one by one. Otherwise a series that has more visible points than
    // the plot has pixel columns may leave out what its own later points cover again; the
    // pixels come out the same either way.
    bool DrawEveryPoint = false;
    TSetting<bool> View3DWalls{this, true};
    int MaxPointsPerPage() const { return maxPointsPerPage_; }
    void SetMaxPointsPerPage(int value);
    TSetting<int> Page{this, 1};
    TSetting<bool> ScaleLastPage{this, true};

    double LowestX(const TCustomChartAxis& axis) const;
    double HighestX(const TCustomChartAxis& axis) const;
    double LowestY(const TCustomChartAxis& axis) const;
    double HighestY(const TCustomChartAxis& axis) const;
    bool AxisShown(const TCustomChartAxis& axis) const;
    // Widest label text of all series (for text labels on a vertical axis).
    int MaxLabelsWidth();

    // Locale settings for label texts.
    TFormatSettings FormatSettings;

    std::function<void(TCustomAxisPanel&)> OnBeforeDrawAxes, OnBeforeDrawSeries;

    // Parts of the frame, in drawing order.
    void LayoutAxes();
    void ApplySeriesMargins();
    void PaintAxes();
    // Every active series in list order, in one frame's drawing.
    void PaintSeriesList();
    void PaintSeries(TChartSeries& series, TFrameContext& frame);
    void ClipToPlot();
    // Where series are drawn: the inside of the back wall's frame (right and bottom exclusive).
    TRect PlotClipRect() const;
    // Index of the point of the series drawn under the pixel, or -1: with ClipPoints only
    // pixels inside the clip rectangle can show a series.
    int SeriesPointAt(TChartSeries& series, int x, int y) const;
    // The drawing of the frame being painted; none outside a paint.
    TFrameContext* Frame() const { return frame_; }

protected:
    // The back-wall colour a new series' automatic colour must differ from.
    virtual TColor BackColorForPalette() const { return clNone; }
    std::vector<TChartSeries*> seriesList_;
    std::vector<std::unique_ptr<TChartSeries>> ownedSeries_;

private:
    TComposeCache composeCache_;
    TFrameContext* frame_ = nullptr;
    std::vector<TCustomChartAxis*> axes_;
    std::unique_ptr<TChartAxis> bottomAxis_, topAxis_, leftAxis_, rightAxis_;
    std::unique_ptr<TChartDepthAxis> depthAxis_;
    bool axisVisible_ = true;
    int maxPointsPerPage_ = 0;
};

// What a mouse press landed on.
enum class TChartClickedPartStyle { cpNone, cpLegend, cpAxis, cpSeries, cpTitle, cpFoot, cpChartRect };
struct TChartClickedPart {
    TChartClickedPartStyle Part = TChartClickedPartStyle::cpNone;
    int PointIndex = -1;
    TChartSeries* ASeries = nullptr;
    TCustomChartAxis* AAxis = nullptr;
};

struct TSavedAxisScale {
    bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
    double Minimum = 0, Maximum = 0;
};

class TCustomChart : public TCustomAxisPanel {
public:
    explicit TCustomChart(std::unique_ptr<TChartCanvas3D> canvas);
    ~TCustomChart() override;

    TChartTitle Title;
    TChartTitle Foot;
    TChartWall BackWall{this, clAutoColor, TBrushStyle::bsClear};
    TChartWall LeftWall{this, 0x80FFFF, TBrushStyle::bsSolid};
    TChartWall BottomWall{this, 0xFFFFFF, TBrushStyle::bsSolid};
    TChartLegend Legend{this};
    TSetting<bool> BackImageInside{this, false};
    TColor BackColor() const { return BackWall.Color; }

    // Zoom and scrolling.
    bool ClickHandled = false;
    std::array<TSavedAxisScale, 4> SavedScales{};  // top, left, right, bottom
    bool HasSavedScales = false;
    TChartClickedPart HitTest(int x, int y);
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void MouseMove(TShiftState shift, int x, int y);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void MouseLeave();
    void ZoomToRectangle();
    struct TZoomTargets { double BottomMin, BottomMax, TopMin, TopMax, LeftMin, LeftMax, RightMin, RightMax; };
    void ApplyZoom(const TZoomTargets& targets);
    void RevertZoom();
    void PanAxes(bool horizontal, int from, int to);
    void PanAxis(TCustomChartAxis& axis, int from, int to);
    void DrawRubberBand();
    // Stepwise zoom and scroll of the horizontal axes (wheel and keys), on the mapping of the
    // last paint: the right axis is fitted to its series' points in view, the left axis keeps
    // its range. Both save the ranges before the first change as a
    // dragged zoom does, so RevertZoom undoes them. False when nothing changed.
    // factor > 1 zooms in around the value `centre` of the bottom axis, down to a span of two
    // units; zooming out stops once every point is in view.
    bool ZoomHorizontal(double factor, double centre);
    // Shifts the view by a fraction of its width (negative: toward smaller values); stops
    // once the first or last point is in view in that direction.
    bool ScrollHorizontal(double fraction);
    // Fits the right axis to its series' points in the bottom axis's shown range, as the two
    // steps above do (for new series in a kept view); false when no point lies there.
    bool FitRightAxisToView();
    // The range of the bottom axis the last paint showed, margins included.
    void VisibleHorizontalRange(double& lo, double& hi);
    // The host draws the band over the buffer when it presents a frame during a zoom drag.
    std::function<void()> OnRubberBandChanged;

    std::function<void(TCustomChartAxis&, double&, double&, bool&)> OnAllowScroll;
    std::function<void(TCustomChart&, TCustomChartAxis&, TMouseButton, TShiftState, int, int)> OnClickAxis;
    std::function<void(TCustomChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClickSeries;
    std::function<void(TCustomChart&, TMouseButton, TShiftState, int, int)> OnClickLegend, OnClickBackground;

    void PaintTitle(TChartTitle& title, bool isTop);
    void PaintWalls();

protected:
    void DrawChartContents(const TRect& bounds) override;
    TColor BackColorForPalette() const override { return BackWall.Color; }

private:
    void SaveScales();
    void DrawRubberBandInFrame();
    // The right axis's range that fits the points of its series with x in lo … hi, widened
    // by the series' pixel margins; false when no point lies there.
    bool FitRightAxis(double lo, double hi, double& min, double& max);
    bool panMoved_ = false;
};

class TChart : public TCustomChart {
public:
    explicit TChart(std::unique_ptr<TChartCanvas3D> canvas) : TCustomChart(std::move(canvas)) {}
};

}  // namespace zyn::chart
