#include "chart/qt/VectorCanvas.h"

#include <QList>
#include <QPainter>
#include <QPainterPathStroker>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/qt/PenRules.h"

namespace zyn::chart {

namespace {

// The box of pixels x0 .. x1 by y0 .. y1 (inclusive) as a shape.
QRectF PixelBox(int x0, int y0, int x1, int y1) { return QRectF(QPointF(x0, y0), QPointF(x1 + 1.0, y1 + 1.0)); }

QPainterPath RectPath(const QRectF& r) {
    QPainterPath path;
    path.addRect(r);
    return path;
}

// The area between two nested shapes, as one path (alternate rule).
QPainterPath Ring(const QPainterPath& outer, const QPainterPath& inner) {
    QPainterPath ring = outer;
    ring.addPath(inner);
    ring.setFillRule(Qt::OddEvenFill);
    return ring;
}

QPainterPath EllipsePath(const QRectF& box) {
    QPainterPath path;
    path.addEllipse(box);
    return path;
}

}  // namespace

TVectorCanvas::TVectorCanvas(QPainter& painter, const QRectF& target) : FPainter(painter), FTarget(target) {}

TVectorCanvas::~TVectorCanvas() {
    // A frame that an error left open gives the painter its state back.
    if (FInFrame && FPainter.isActive()) FPainter.restore();
}

// --- state ---------------------------------------------------------------------------------

TVectorCanvas::TPenInk TVectorCanvas::PenInk() const {
    TPenInk ink;
    ink.Visible = Pen.Style != TPenStyle::psClear && TQtCanvas::ResolveColor(Pen.Color, ink.Color);
    ink.Width = std::max(1, Pen.Width);
    ink.Runs = StyleRuns(Pen);
    return ink;
}

TVectorCanvas::TBrushLayers TVectorCanvas::BrushLayers() const {
    TBrushLayers layers;
    QColor color;
    if (Brush.Style == TBrushStyle::bsClear || !TQtCanvas::ResolveColor(Brush.Color, color)) return layers;
    if (Brush.Style == TBrushStyle::bsSolid) {
        layers.Brushes[layers.Count++] = color;
        return layers;
    }
    QColor back;
    if (FBackMode == TBackMode::Opaque && TQtCanvas::ResolveColor(FBackColor, back)) layers.Brushes[layers.Count++] = back;
    layers.Brushes[layers.Count++] = QBrush(color, QtBrushStyle(Brush.Style));
    return layers;
}

TQtCanvas& TVectorCanvas::Shadow() {
    if (!(FShadow.Pen == Pen)) FShadow.Pen = Pen;
    if (!(FShadow.Brush == Brush)) FShadow.Brush = Brush;
    if (!(FShadow.Font == Font)) FShadow.Font = Font;
    FShadow.SetBackgroundMode(FBackMode);
    FShadow.SetBackgroundColor(FBackColor);
    FShadow.SetTextAlign(FTextAlign);
    return FShadow;
}

void TVectorCanvas::SetClip(const TRect& r) {
    FlushChain();
    FShadow.SetClip(r);
    const QRectF frame(0, 0, FWidth, FHeight);
    FVisible = r.IsEmpty() ? QRectF() : frame.intersected(QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom)));
}

void TVectorCanvas::ClearClip() {
    FlushChain();
    FShadow.ClearClip();
    FVisible = QRectF(0, 0, FWidth, FHeight);
}

// --- frames --------------------------------------------------------------------------------

void TVectorCanvas::BeginFrame(int width, int height) {
    if (FInFrame) EndFrame();
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    FPainter.save();
    FInFrame = true;
    if (FWidth > 0 && FHeight > 0) {
        QTransform map;
        map.translate(FTarget.x(), FTarget.y());
        map.scale(FTarget.width() / FWidth, FTarget.height() / FHeight);
        FPainter.setWorldTransform(map, true);
    }
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    FShadow.BeginFrame(FWidth, FHeight);
    FCapturing = false;
    FChain.Open = false;
    FPenPos = {};
    FDashPos = 0;
    ClearClip();
}

void TVectorCanvas::EndFrame() {
    FlushChain();
    if (FCapturing) FShadow.EndCapture();
    FCapturing = false;
    FShadow.EndFrame();
    if (FInFrame) FPainter.restore();
    FInFrame = false;
    TChartCanvas3D::EndFrame();
}

// --- the shadow's answers ------------------------------------------------------------------

bool TVectorCanvas::PenBoxes(TPenBoxes& boxes) { return Shadow().PenBoxes(boxes); }

bool TVectorCanvas::BeginCapture(TPixelSink& sink) {
    if (FCapturing || !FInFrame) return false;
    TQtCanvas& shadow = Shadow();
    shadow.MoveTo(FPenPos.X, FPenPos.Y);
    FCapturing = shadow.BeginCapture(sink);
    return FCapturing;
}

bool TVectorCanvas::EndCapture() {
    if (!FCapturing) return false;
    FCapturing = false;
    return FShadow.EndCapture();
}

int TVectorCanvas::TextWidth(std::string_view text) { return Shadow().TextWidth(text); }

int TVectorCanvas::TextHeight(std::string_view text) { return Shadow().TextHeight(text); }

bool TVectorCanvas::TextWidthAtLeast(std::string_view text, int& width) {
    return Shadow().TextWidthAtLeast(text, width);
}

// --- shapes in chart pixels ----------------------------------------------------------------

// Shapes that cross the edge of what can be painted are cut there: a file format may ignore
// the painter's clip.
// The painter's pen and brush change only when a shape needs others: each change costs a
// file a new set of attributes.
void TVectorCanvas::UseFill(const QBrush& brush) {
    FlushChain();
    if (FPainter.pen().style() != Qt::NoPen) FPainter.setPen(Qt::NoPen);
    if (!(FPainter.brush() == brush)) FPainter.setBrush(brush);
}

void TVectorCanvas::UseStroke(const QPen& pen) {
    FlushChain();
    if (!(FPainter.pen() == pen)) FPainter.setPen(pen);
    if (FPainter.brush().style() != Qt::NoBrush) FPainter.setBrush(Qt::NoBrush);
}

void TVectorCanvas::FillShape(const QPainterPath& path, const QBrush& brush) {
    const QRectF bounds = path.boundingRect();
    if (!FVisible.intersects(bounds)) return;
    UseFill(brush);
    if (FVisible.contains(bounds))
        FPainter.drawPath(path);
    else
        FPainter.drawPath(path.intersected(RectPath(FVisible)));
}

void TVectorCanvas::FillBox(const QRectF& box, const QBrush& brush) {
    if (box.width() <= 0 || box.height() <= 0) return;
    const QRectF r = box.intersected(FVisible);
    if (r.isEmpty()) return;
    UseFill(brush);
    FPainter.drawRect(r);
}

void TVectorCanvas::FillBoxes(std::span<const QRectF> boxes, const QBrush& brush) {
    FBoxes.clear();
    for (const QRectF& box : boxes) {
        if (box.width() <= 0 || box.height() <= 0) continue;
        const QRectF r = box.intersected(FVisible);
        if (!r.isEmpty()) FBoxes.push_back(r);
    }
    if (FBoxes.empty()) return;
    UseFill(brush);
    FPainter.drawRects(FBoxes.data(), int(FBoxes.size()));
}

void TVectorCanvas::Stroke(const QPointF& a, const QPointF& b, const QPen& pen) {
    const qreal half = pen.widthF() / 2;
    const QRectF bounds = QRectF(a, b).normalized().adjusted(-half, -half, half, half);
    if (!FVisible.intersects(bounds)) return;
    if (FVisible.contains(bounds)) {
        UseStroke(pen);
        FPainter.drawLine(a, b);
        return;
    }
    QPainterPath line(a);
    line.lineTo(b);
    UseFill(pen.color());
    FPainter.drawPath(QPainterPathStroker(pen).createStroke(line).intersected(RectPath(FVisible)));
}

void TVectorCanvas::FillBrushBox(const QRectF& box) {
    for (const QBrush& brush : BrushLayers()) FillBox(box, brush);
}

void TVectorCanvas::FillBrushShape(const QPainterPath& path) {
    for (const QBrush& brush : BrushLayers()) FillShape(path, brush);
}

// The screen paints pixel k of the n = max(|dx|, |dy|) steps of a one-pixel line k pixels along
// the major axis, on the line through the pixel centres: the stroke through the centres from
// the near edge of the first pixel to the near edge of the end pixel along that axis. A style
// steps per pixel, so its pattern is stretched by the length of one step.
void TVectorCanvas::ThinLine(const TPenInk& ink, int x0, int y0, int x1, int y1) {
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    const double n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) return;
    const int startDash = FDashPos;
    const int period = [&] {
        int sum = 0;
        for (int run : ink.Runs) sum += run;
        return sum;
    }();
    if (period > 0) FDashPos = int((FDashPos + std::int64_t(n)) % period);

    const QPointF back(dx / (2 * n), dy / (2 * n));
    const QPointF a = QPointF(x0 + 0.5, y0 + 0.5) - back;
    const QPointF b = QPointF(x1 + 0.5, y1 + 0.5) - back;
    QPen pen(ink.Color, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (period == 0) {
        Stroke(a, b, pen);
        return;
    }
    QColor gap;
    if (FBackMode == TBackMode::Opaque && TQtCanvas::ResolveColor(FBackColor, gap)) {
        pen.setColor(gap);
        Stroke(a, b, pen);
        pen.setColor(ink.Color);
    }
    const double step = std::hypot(dx, dy) / n;
    QList<qreal> pattern;
    for (int run : ink.Runs) pattern.append(run * step);
    pen.setDashPattern(pattern);
    pen.setDashOffset(startDash * step);
    Stroke(a, b, pen);
}

// Solid one-pixel lines that follow each other, as a series draws its points, make one chain
// through the pixel centres where they meet: the union of their pixels, in a fraction of the
// file. The chain is painted before anything else is.
void TVectorCanvas::ChainLine(const TPenInk& ink, int x0, int y0, int x1, int y1) {
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    const double n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) return;
    const QPointF back(dx / (2 * n), dy / (2 * n));
    const QPointF start(x0 + 0.5, y0 + 0.5), end = QPointF(x1 + 0.5, y1 + 0.5) - back;
    if (FChain.Open && FChain.Color == ink.Color && FChain.End.X == x0 && FChain.End.Y == y0) {
        // The end pixel the chain left out is the first one of this line.
        FChain.Points.back() = start;
    } else {
        FlushChain();
        FChain.Open = true;
        FChain.Color = ink.Color;
        FChain.Points.clear();
        FChain.Points.append(start - back);
    }
    FChain.Points.append(end);
    FChain.End = {x1, y1};
}

void TVectorCanvas::FlushChain() {
    if (!FChain.Open) return;
    FChain.Open = false;
    const QPen pen(FChain.Color, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    // A mitred corner reaches at most one pen width beyond the points.
    const QRectF bounds = FChain.Points.boundingRect().adjusted(-1, -1, 1, 1);
    if (!FVisible.intersects(bounds)) return;
    if (FVisible.contains(bounds)) {
        UseStroke(pen);
        FPainter.drawPolyline(FChain.Points);
        return;
    }
    QPainterPath line;
    line.addPolygon(FChain.Points);
    UseFill(pen.color());
    FPainter.drawPath(QPainterPathStroker(pen).createStroke(line).intersected(RectPath(FVisible)));
}

// A wider pen covers the whole segment with both ends, spread about its centre line as the
// screen spreads it: along a row or column a box, slanted with round ends.
void TVectorCanvas::WideSegment(const TPenInk& ink, int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    const int lo = SpreadBefore(ink.Width), hi = SpreadAfter(ink.Width);
    if (x0 == x1 || y0 == y1) {
        FillBox(PixelBox(std::min(x0, x1) - lo, std::min(y0, y1) - lo, std::max(x0, x1) + hi, std::max(y0, y1) + hi),
                ink.Color);
        return;
    }
    const qreal c = (hi + 1 - lo) / 2.0;
    Stroke(QPointF(x0 + c, y0 + c), QPointF(x1 + c, y1 + c),
           QPen(ink.Color, ink.Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void TVectorCanvas::Segment(const TPenInk& ink, int x0, int y0, int x1, int y1) {
    if (ink.Width == 1 && ink.Runs.empty())
        ChainLine(ink, x0, y0, x1, y1);
    else if (ink.Width == 1)
        ThinLine(ink, x0, y0, x1, y1);
    else
        WideSegment(ink, x0, y0, x1, y1);
}

// The screen's outline through the pixels L..R by T..B: a ring of the pen's width centred on
// them with the brush inside, or the pen's box where the ring leaves no inside.
void TVectorCanvas::SolidRing(const TPenInk& ink, int L, int T, int R, int B) {
    QRect outer, inside;
    if (!RingBounds(ink.Width, L, T, R, B, outer, inside)) {
        FillBox(PixelBox(outer.left(), outer.top(), outer.right(), outer.bottom()), ink.Color);
        return;
    }
    FillBrushBox(PixelBox(inside.left(), inside.top(), inside.right(), inside.bottom()));
    // Four sides that share no pixel, as the screen paints them, as rectangles: a rasteriser
    // meets their edges exactly, where it may widen a general shape's.
    const int w = ink.Width, oL = outer.left(), oT = outer.top(), oR = outer.right(), oB = outer.bottom();
    const QRectF sides[] = {PixelBox(oL, oT, oR, oT + w - 1), PixelBox(oL, oB - w + 1, oR, oB),
                            PixelBox(oL, oT + w, oL + w - 1, oB - w), PixelBox(oR - w + 1, oT + w, oR, oB - w)};
    FillBoxes(sides, ink.Color);
}

// --- primitives ----------------------------------------------------------------------------

void TVectorCanvas::MoveTo(int x, int y) {
    FPenPos = {x, y};
    FDashPos = 0;
    if (FCapturing) Shadow().MoveTo(x, y);
}

void TVectorCanvas::LineTo(int x, int y) {
    const TPoint from = FPenPos;
    FPenPos = {x, y};
    if (FCapturing) {
        Shadow().LineTo(x, y);
        return;
    }
    const TPenInk ink = PenInk();
    if (!ink.Visible || !FInFrame) return;
    Segment(ink, from.X, from.Y, x, y);
}

void TVectorCanvas::Polyline(std::span<const TPoint> points) {
    if (FCapturing) {
        Shadow().Polyline(points);
        return;
    }
    const TPenInk ink = PenInk();
    if (points.size() < 2 || !ink.Visible || !FInFrame) return;
    FDashPos = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        Segment(ink, points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

void TVectorCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    if (FCapturing) {
        Shadow().Rectangle(x0, y0, x1, y1);
        return;
    }
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1 || !FInFrame) return;
    const TPenInk ink = PenInk();
    const int L = x0, T = y0, R = x1 - 1, B = y1 - 1;
    if (!ink.Visible) {
        FillBrushBox(PixelBox(L, T, R, B));
        return;
    }
    if (!ink.Runs.empty()) {
        // A styled outline runs once around the box, the style continuing over the corners.
        FillBrushBox(PixelBox(L + 1, T + 1, R - 1, B - 1));
        FDashPos = 0;
        const TPoint ring[] = {{L, T}, {R, T}, {R, B}, {L, B}, {L, T}};
        for (int i = 1; i < 5; ++i) ThinLine(ink, ring[i - 1].X, ring[i - 1].Y, ring[i].X, ring[i].Y);
        return;
    }
    SolidRing(ink, L, T, R, B);
}

void TVectorCanvas::FillRect(const TRect& r) {
    if (FCapturing) {
        Shadow().FillRect(r);
        return;
    }
    if (r.IsEmpty() || !FInFrame) return;
    FillBrushBox(PixelBox(r.Left, r.Top, r.Right - 1, r.Bottom - 1));
}

void TVectorCanvas::Polygon(std::span<const TPoint> points) {
    if (FCapturing) {
        Shadow().Polygon(points);
        return;
    }
    if (points.size() < 2 || !FInFrame) return;
    const TPenInk ink = PenInk();
    if (IsBoxPolygon(points) && ink.Runs.empty()) {
        // An axis-aligned box through its corner pixels, as a candle body: ring and inside.
        const int L = std::min(points[0].X, points[2].X), R = std::max(points[0].X, points[2].X);
        const int T = std::min(points[0].Y, points[2].Y), B = std::max(points[0].Y, points[2].Y);
        if (!ink.Visible) {
            if (L < R && T < B) FillBrushBox(PixelBox(L, T, R - 1, B - 1));
            return;
        }
        SolidRing(ink, L, T, R, B);
        return;
    }
    if (points.size() >= 3) {
        // Pixels whose centres lie inside the polygon, alternate rule: the polygon itself.
        QPainterPath area;
        area.setFillRule(Qt::OddEvenFill);
        area.moveTo(points[0].X, points[0].Y);
        for (std::size_t i = 1; i < points.size(); ++i) area.lineTo(points[i].X, points[i].Y);
        area.closeSubpath();
        FillBrushShape(area);
    }
    if (!ink.Visible) return;
    FDashPos = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TPoint& a = points[i];
        const TPoint& b = points[(i + 1) % points.size()];
        Segment(ink, a.X, a.Y, b.X, b.Y);
    }
}

// The ellipse inscribed in the box, widened by the pen's spread; the outline is the band of the
// pen's width inside that border, the brush fills the rest.
void TVectorCanvas::Ellipse(int x0, int y0, int x1, int y1) {
    if (FCapturing) {
        Shadow().Ellipse(x0, y0, x1, y1);
        return;
    }
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1 || !FInFrame) return;
    const TPenInk ink = PenInk();
    const int w = ink.Visible ? ink.Width : 0;
    const int lo = w > 0 ? SpreadBefore(w) : 0, hi = w > 0 ? SpreadAfter(w) : 0;
    const QRectF outer = PixelBox(x0 - lo, y0 - lo, x1 - 1 + hi, y1 - 1 + hi);
    if (w == 0) {
        FillBrushShape(EllipsePath(outer));
        return;
    }
    const QRectF inner = outer.adjusted(w, w, -w, -w);
    if (inner.isEmpty()) {
        FillShape(EllipsePath(outer), ink.Color);
        return;
    }
    FillBrushShape(EllipsePath(inner));
    FillShape(Ring(EllipsePath(outer), EllipsePath(inner)), ink.Color);
}

void TVectorCanvas::TextOut(int x, int y, std::string_view text) {
    if (FCapturing) {
        Shadow().TextOut(x, y, text);
        return;
    }
    if (text.empty() || !FInFrame) return;
    // Placed and measured as the screen places and measures it.
    TQtCanvas& metrics = Shadow();
    const int width = metrics.TextWidth(text), height = metrics.TextHeight(text), ascent = metrics.FontAscent();
    const QPoint at = TextTopLeft(FTextAlign, x, y, width, height, ascent);
    const int left = at.x(), top = at.y();
    const QRectF box(left, top, width, height);
    if (!FVisible.intersects(box)) return;
    QColor back;
    if (FBackMode == TBackMode::Opaque && TQtCanvas::ResolveColor(FBackColor, back)) FillBox(box, back);
    QColor color;
    if (!TQtCanvas::ResolveColor(Font.Color, color)) return;
    // Text is not cut into pieces: where it crosses the clip's edge, the devices that clip do.
    const bool cut = !FVisible.contains(box);
    if (cut) FPainter.setClipRect(FVisible);
    if (!(FPainter.font() == metrics.QtFont())) FPainter.setFont(metrics.QtFont());
    UseStroke(QPen(color));
    FPainter.drawText(QPointF(left, top + ascent), QString::fromUtf8(text.data(), qsizetype(text.size())));
    if (cut) FPainter.setClipping(false);
}

// --- composed pixels -----------------------------------------------------------------------

bool TVectorCanvas::FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) {
    if (FCapturing) return false;
    if (!FInFrame) return true;
    for (const TColumnBits& layer : layers) {
        QColor color;
        if (TQtCanvas::ResolveColor(layer.Color, color)) PaintColumnRuns(x, top, words, columns, layer.Bits, color);
    }
    return true;
}

// Each run of pixels as a rectangle, stretched over the neighbouring columns that show the
// same runs; one path per colour.
void TVectorCanvas::PaintColumnRuns(int x, int top, int words, int columns, const std::uint64_t* bits,
                                    const QColor& color) {
    std::vector<QRectF> boxes;
    FPrevious.clear();
    int from = x;
    auto paint = [&](int right) {
        for (const auto& [t, b] : FPrevious) boxes.emplace_back(QPointF(from, t), QPointF(right, b + 1.0));
    };
    for (int c = 0; c < columns; ++c) {
        FRuns.clear();
        const std::uint64_t* column = bits + std::size_t(c) * std::size_t(words);
        for (int w = 0; w < words; ++w) {
            ForEachRunOfBits(column[w], [&](int s, int len) {
                const int row = top + 64 * w + s;
                if (!FRuns.empty() && FRuns.back().second + 1 == row)
                    FRuns.back().second = row + len - 1;
                else
                    FRuns.emplace_back(row, row + len - 1);
            });
        }
        if (FRuns == FPrevious) continue;
        paint(x + c);
        FPrevious.swap(FRuns);
        from = x + c;
    }
    paint(x + columns);
    FillBoxes(boxes, color);
}

}  // namespace zyn::chart
