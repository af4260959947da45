#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "chart/Series.h"
#include "chart/compose/SeriesComposer.h"

namespace zyn::chart {

class TCustomSeries;
class TLineComposer;

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
    ~TCustomSeries() override;

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
    virtual void PaintPointer(int x, int y, TColor color, int index);
    void HorizontalMargins(int& left, int& right) override;
    void VerticalMargins(int& top, int& bottom) override;
    int Clicked(int x, int y) override;

    // Whether the series joins its points with lines.
    bool DrawsLines() const { return drawLine_; }
    // The lines of the segment from (x0, y0) to (x1, y1) as the series draws it, as the
    // corners of a polyline: a straight line, or with stairs a horizontal and a vertical step
    // (the vertical first when inverted).
    struct TSegmentPath {
        int Count;
        TPoint P[3];
    };
    TSegmentPath SegmentPath(int x0, int y0, int x1, int y1) const;
    // Where the line enters the plot's edge toward point first, the first visible one, when
    // earlier points lie beyond that edge; false where no line enters (first is the first
    // point, or the one before it has no colour).
    bool EntryPoint(int first, TPoint& at) const;
    // Beyond this a pixel position is not handed to the canvas (far zoom).
    static bool OutOfPixelRange(int x, int y) {
        constexpr int kPixelLimit = 32766;
        return x < -kPixelLimit || x > kPixelLimit || y < -kPixelLimit || y > kPixelLimit;
    }

protected:
    // The visible range of the last paint, limited to the points that still exist.
    bool HitRange(int& first, int& last) const;
    TSeriesComposer* Composer() override;
    void ComposedTo(const TComposedEnd& end) override;
    // The canvas as drawing the point of `end` last leaves it: its segment's pen, at the
    // point, and its pointer's pen and brush.
    void LeaveCanvasAfter(const TComposedEnd& end) const;

    bool drawLine_ = false;  // line-drawing switch: True for line series
    bool drawArea_ = false;

private:
    TLineComposer& LineComposer();
    void DrawSegment(int x, int y, TColor color, int index, bool withPointers, bool isLast);
    // Row where the straight line from point index - 1 to point index crosses column edgeX.
    int EntryRow(int index, int edgeX) const;
    bool PointerCovered(int index) const {
        return covered_ && index >= coveredFirst_ && (*covered_)[static_cast<size_t>(index - coveredFirst_)];
    }
    bool stairs_ = false, invertedStairs_ = false;
    bool drawnInPaint_ = false;  // a point of the current paint has been drawn
    int lineHeight_ = 0;
    // While DrawPoints runs: per visible point from coveredFirst_ on, whether its pointer is
    // painted over wholly by a later one; none where no pointer is left out.
    const std::vector<char>* covered_ = nullptr;
    int coveredFirst_ = 0;
    std::unique_ptr<TLineComposer> composer_;
};

class TLineSeries : public TCustomSeries {
public:
    TLineSeries();
};

}  // namespace zyn::chart
