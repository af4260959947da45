#pragma once
#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "chart/Canvas.h"
#include "chart/qt/QtCanvas.h"

class QPainter;

namespace zyn::chart {

// The chart canvas on any paint device (a PDF or SVG file, a printer) through an open QPainter:
// every operation is drawn as the geometric shape of the pixels the screen canvas (TQtCanvas)
// paints for it, in chart pixels that the painter's transform maps onto a target rectangle, so
// a page shows the screen's frame at any resolution:
// - a one-pixel line, which leaves out its end pixel, is a stroke one chart pixel wide through
//   the pixel centres with flat ends, from the near edge of its first pixel to the near edge
//   of its end pixel along the major axis; solid ones that follow each other are one stroke
//   through the pixels where they meet; styled pens keep the screen's per-pixel periods and
//   paint their gaps in the background colour in opaque mode;
// - a wider pen spreads as on the screen and covers both ends: along a row or column as a box,
//   slanted with round ends; rectangles and box polygons are the screen's ring and inside;
// - other polygons are filled with the alternate rule, ellipses fill their box as the screen's;
// - text is text, in the screen's fonts and measured as the screen measures it, so the layout
//   is the very same as the screen's at the chart's size;
// - inverting pens paint as copying ones (a page cannot invert what lies below);
// - the clip rectangle is applied to the shapes themselves, as not every device clips.
// Dense series compose their pixels at the chart's own resolution, as on a screen of pixel
// ratio 1: captures, pen boxes and text measurements are answered by a screen canvas of the
// chart's size held as a shadow, and column bits are painted as rectangles, one per run of
// pixels and per stretch of columns that show the same runs.
class TVectorCanvas : public TChartCanvas3D {
public:
    // Frames are drawn with `painter`, which must be active on its device whenever a frame is
    // drawn; the frame's width x height pixels are mapped onto `target` (painter coordinates).
    TVectorCanvas(QPainter& painter, const QRectF& target);
    ~TVectorCanvas() override;
    TVectorCanvas(const TVectorCanvas&) = delete;
    TVectorCanvas& operator=(const TVectorCanvas&) = delete;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    using TChartCanvas3D::Rectangle;
    void Rectangle(int x0, int y0, int x1, int y1) override;
    void FillRect(const TRect& r) override;
    void Polyline(std::span<const TPoint> points) override;
    void Polygon(std::span<const TPoint> points) override;
    void Ellipse(int x0, int y0, int x1, int y1) override;

    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;
    bool TextWidthAtLeast(std::string_view text, int& width) override;
    void SetTextAlign(int flags) override { FTextAlign = flags; }
    int TextAlign() const override { return FTextAlign; }

    void SetBackgroundMode(TBackMode mode) override { FBackMode = mode; }
    void SetBackgroundColor(TColor color) override { FBackColor = color; }

    bool PenBoxes(TPenBoxes& boxes) override;
    TCapabilities Capabilities() override { return {true, true}; }
    bool BeginCapture(TPixelSink& sink) override;
    bool EndCapture() override;
    bool FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) override;

    void SetClip(const TRect& r) override;
    void ClearClip() override;

    // Maps the frame onto the target and saves the painter's state, which EndFrame restores.
    void BeginFrame(int width, int height) override;
    void EndFrame() override;

private:
    struct TPenInk {
        bool Visible = false;
        int Width = 1;
        QColor Color;
        std::span<const int> Runs;  // the style's, empty for solid
    };
    TPenInk PenInk() const;
    // What the brush paints, in order: its colour, or its hatch over the background colour
    // where the background is opaque; nothing for a clear or colourless brush.
    struct TBrushLayers {
        std::array<QBrush, 2> Brushes;
        int Count = 0;
        const QBrush* begin() const { return Brushes.data(); }
        const QBrush* end() const { return Brushes.data() + Count; }
    };
    TBrushLayers BrushLayers() const;
    // The shadow with the state a shape needs, for a capture or a question.
    TQtCanvas& Shadow();

    void UseFill(const QBrush& brush);
    void UseStroke(const QPen& pen);
    // Shapes in chart pixels, clipped to what can be painted.
    void FillBox(const QRectF& box, const QBrush& brush);
    void FillBoxes(std::span<const QRectF> boxes, const QBrush& brush);
    void FillShape(const QPainterPath& path, const QBrush& brush);
    void Stroke(const QPointF& a, const QPointF& b, const QPen& pen);
    void FillBrushBox(const QRectF& box);
    void FillBrushShape(const QPainterPath& path);

    void ChainLine(const TPenInk& ink, int x0, int y0, int x1, int y1);
    void FlushChain();
    void ThinLine(const TPenInk& ink, int x0, int y0, int x1, int y1);
    void WideSegment(const TPenInk& ink, int x0, int y0, int x1, int y1);
    void Segment(const TPenInk& ink, int x0, int y0, int x1, int y1);
    void SolidRing(const TPenInk& ink, int L, int T, int R, int B);
    void PaintColumnRuns(int x, int top, int words, int columns, const std::uint64_t* bits, const QColor& color);

    QPainter& FPainter;
    QRectF FTarget;
    TQtCanvas FShadow;
    bool FCapturing = false;
    bool FInFrame = false;

    int FWidth = 0, FHeight = 0;
    TPoint FPenPos;
    int FDashPos = 0;
    int FTextAlign = TA_LEFT | TA_TOP;
    TBackMode FBackMode = TBackMode::Opaque;
    TColor FBackColor = clWhite;
    QRectF FVisible;  // what can be painted: the frame within the clip

    // Solid one-pixel lines waiting to be painted as one: the points of the stroke and the end
    // pixel the last line left out.
    struct TChain {
        bool Open = false;
        QColor Color;
        QPolygonF Points;
        TPoint End;
    } FChain;
    // Kept to spare allocations: column runs, boxes.
    std::vector<std::pair<int, int>> FRuns, FPrevious;
    std::vector<QRectF> FBoxes;
};

}  // namespace zyn::chart
