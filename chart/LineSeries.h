#pragma once
#include <functional>
#include <vector>

#include "chart/Coverage.h"
#include "chart/Series.h"

namespace zyn::chart {

class TCustomSeries;

enum class TSeriesPointerStyle { psRectangle, psCircle, psTriangle, psDownTriangle, psCross, psDiagCross, psStar, psDiamond, psSmallDot };

// The marker a line-type series draws at its points.
class TSeriesPointer {
public:
    explicit TSeriesPointer(TCustomSeries* owner);

    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    TSeriesPointerStyle Style() const { return style_; }
    void SetStyle(TSeriesPointerStyle value);
    int HorizSize() const { return horizSize_; }
    void SetHorizSize(int value);  // >= 1, else ChartException
    int VertSize() const { return vertSize_; }
    void SetVertSize(int value);   // >= 1, else ChartException
    bool InflateMargins() const { return inflateMargins_; }
    void SetInflateMargins(bool value);
    TChartPen Pen;
    TChartBrush Brush;
    TSetting<bool> Draw3D;
    TSetting<bool> Dark3D;

    // The pointer's pen and brush on the canvas, clAutoColor replaced by color.
    void ApplyToCanvas(TChartCanvas3D& canvas, TColor color) const;
    void DrawShape(TChartCanvas3D& canvas, int x, int y, TColor color, TSeriesPointerStyle style) const;

private:
    void Changed();
    TCustomSeries* owner_;
    bool visible_ = true;
    TSeriesPointerStyle style_ = TSeriesPointerStyle::psRectangle;
    int horizSize_ = 4, vertSize_ = 4;
    bool inflateMargins_ = true;
};

// Common base of line-type series: pointer, line pen, stairs, drawing state and margins.
class TCustomSeries : public TChartSeries {
public:
    TCustomSeries();

    TSeriesPointer Pointer{this};
    TChartPen LinePen{this};
    bool Stairs() const { return stairs_; }
    void SetStairs(bool value);
    bool InvertedStairs() const { return invertedStairs_; }
    void SetInvertedStairs(bool value);
    int LineHeight() const { return lineHeight_; }
    void SetLineHeight(int value);
    TSetting<TBrushStyle> LineBrush{this, TBrushStyle::bsSolid};
    TSetting<bool> Dark3D{this, true};
    std::function<TSeriesPointerStyle(TCustomSeries&, int)> OnGetPointerStyle;

    // Drawing state carried from point to point and from paint to paint.
    int PrevX = 0, PrevY = 0;
    TColor PrevColor = 0;

    void DrawPoint(int index) override;
    void DrawPoints() override;
    // DrawPoints paints the waiting ink before anything it paints straight onto the canvas.
    bool MayDeferInk() const override { return true; }
    virtual void PaintPointer(int x, int y, TColor color, int index);
    void HorizontalMargins(int& left, int& right) override;
    void VerticalMargins(int& top, int& bottom) override;
    int Clicked(int x, int y) override;

protected:
    // The visible range of the last paint, limited to the points that still exist.
    bool HitRange(int& first, int& last) const;

    bool drawLine_ = false;  // line-drawing switch: True for line series
    bool drawArea_ = false;

private:
    void DrawSegment(int x, int y, TColor color, int index, bool withPointers, bool isLast);
    // Draws a one-colour solid line without pointers as the union of its segments' pixels,
    // runs along one row or column joined; false, with nothing drawn, for any other.
    bool DrawMergedLine();
    // Marks the pointers that a later pointer on the same pixel paints over wholly, when
    // every visible point draws its pointer with one opaque shape; false otherwise.
    bool MarkCoveredPointers();
    // Whether every visible point draws its pointer with one opaque filled shape, whatever
    // the point; the first step of both ways of leaving out what later points cover.
    bool PointersOpaque() const;
    // Maps the visible points into pixelX_ and pixelY_ when every one of them paints its
    // opaque pointer, on a pixel that can be handed to the canvas; false otherwise.
    bool MapPointedPoints();
    bool mapped_ = false;  // MapPointedPoints succeeded in the current DrawPoints
    // Draws a line with pointers composed from the last point to the first, so that only what
    // stays visible is painted, once; false, with nothing drawn, where the canvas cannot hand
    // out the shapes' pixels or a point would be drawn in any other way.
    bool DrawComposedPointers();
    // The pointer's boxes relative to its point, painted in order; false unless the canvas
    // hands them out alike wherever the point lies.
    bool PointerTemplate();
    bool PointerCovered(int index) const {
        return coveredFirst_ >= 0 && index >= coveredFirst_ && covered_[static_cast<size_t>(index - coveredFirst_)];
    }
    // Row where the straight line from point index - 1 to point index crosses column edgeX.
    int EntryRow(int index, int edgeX) const;
    bool stairs_ = false, invertedStairs_ = false;
    bool drawnInPaint_ = false;  // a point of the current paint has been drawn
    int lineHeight_ = 0;
    std::vector<int> pixelX_, pixelY_;  // scratch of DrawMergedLine and MarkCoveredPointers
    std::vector<char> covered_;         // per visible point: its pointer is painted over
    int coveredFirst_ = -1;             // index of covered_[0]; -1: no pointer is left out
    // The pointer as runs of one column, relative to its point, and each column's extent.
    struct TPointerRun {
        int Dx, Top, Bottom;
        bool Pen;
    };
    std::vector<TPointerRun> pointerRuns_;
    std::vector<TPointerRun> pointerColumns_;
    // The pointer's columns as rows from pointerTop_ (relative to its point), when it spans
    // at most 64 of them.
    std::vector<TPixelComposer::TShapeColumn> pointerBits_;
    int pointerTop_ = 0, pointerHeight_ = 0;
    TPixelComposer composer_;
};

class TLineSeries : public TCustomSeries {
public:
    TLineSeries();
};

}  // namespace zyn::chart
