#include "chart/qt/QtCanvas.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPolygon>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "chart/qt/FrameImage.h"
#include "chart/qt/PenRules.h"

namespace zyn::chart {

namespace {

// The styles of one-pixel pens (PenRules.h) as tables stepped per pixel along the line.
struct TDashTable {
    std::array<bool, 24> Bits{};
    int Period = 0;
    constexpr explicit TDashTable(std::span<const int> runs) {
        bool on = true;
        for (int run : runs) {
            for (int i = 0; i < run; ++i) Bits[Period++] = on;
            on = !on;
        }
    }
};

constexpr TDashTable DashStyle{kDashRuns};
constexpr TDashTable DotStyle{kDotRuns};
constexpr TDashTable DashDotStyle{kDashDotRuns};
constexpr TDashTable DashDotDotStyle{kDashDotDotRuns};
constexpr TDashTable SmallDotStyle{kSmallDotRuns};

QRect Span(int x0, int y0, int x1, int y1) { return QRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1); }

}  // namespace

TQtCanvas::TQtCanvas() = default;

TQtCanvas::~TQtCanvas() {
    if (FPainter.isActive()) FPainter.end();
}

int TQtCanvas::FontPixelSize(int points) { return Round(points * 96.0 / 72.0); }

bool TQtCanvas::ResolveColor(TColor c, QColor& out) {
    if (!IsSystemColor(c)) {
        out = QColor(RedOf(c), GreenOf(c), BlueOf(c));
        return true;
    }
    if (c == clAutoColor) return false;
    const QPalette pal = QGuiApplication::palette();
    QPalette::ColorRole role;
    QPalette::ColorGroup group = QPalette::Active;
    switch (c & 0xFF) {
        case 5: role = QPalette::Base; break;                 // window background
        case 8: role = QPalette::WindowText; break;           // window text
        case 13: role = QPalette::Highlight; break;
        case 14: role = QPalette::HighlightedText; break;
        case 15: role = QPalette::Button; break;              // button face
        case 16: role = QPalette::Dark; break;                // button shadow
        case 17: role = QPalette::Text; group = QPalette::Disabled; break;  // grey text
        case 18: role = QPalette::ButtonText; break;
        case 20: role = QPalette::Light; break;               // button highlight
        case 21: role = QPalette::Shadow; break;              // dark 3D shadow
        case 22: role = QPalette::Midlight; break;            // 3D light
        case 23: role = QPalette::ToolTipText; break;
        case 24: role = QPalette::ToolTipBase; break;
        case 7: role = QPalette::WindowText; break;           // menu text
        default: role = QPalette::Window; break;              // faces, borders, workspace
    }
    out = pal.color(group, role);
    return true;
}

// --- state ------------------------------------------------------------------------------

void TQtCanvas::ResetPainterState() {
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    FPainterPen = TPainterPen::Unknown;
    FPainterBrushSet = false;
    FPainterFont = nullptr;
    FComposition = QPainter::CompositionMode_SourceOver;
}

bool TQtCanvas::Ready() {
    if (!FPainter.isActive()) {
        QPaintDevice* device = FExternal;
        if (!device && !FImage.isNull()) device = &FImage;
        if (!device || !FPainter.begin(device)) return false;
        ResetPainterState();
        // After begin() the image is unshared, so writing its rows does not copy it.
        if (FExternal)
            FRaster.Detach();
        else
            FRaster.Attach(FImage);
        ApplyClip();
    }
    return !FClipEmpty;
}

void TQtCanvas::ApplyClip() {
    // Lines are only walked over the part that can show; beyond the image Qt clips anyway.
    const QRect bounds = FExternal ? QRect(-32768, -32768, 65536, 65536) : QRect(0, 0, FWidth, FHeight);
    FClipEmpty = false;
    if (FClipped) {
        FClipEmpty = FClip.IsEmpty();
        const QRect clip = FClipEmpty ? QRect() : QRect(FClip.Left, FClip.Top, FClip.Width(), FClip.Height());
        FVisible = bounds & clip;
        if (FPainter.isActive() && !FClipEmpty) FPainter.setClipRect(clip);
    } else {
        FVisible = bounds;
        if (FPainter.isActive()) FPainter.setClipping(false);
    }
    FRaster.SetVisible(FVisible);
}

void TQtCanvas::SetClip(const TRect& r) {
    FClipped = true;
    FClip = r;
    if (FPainter.isActive()) ApplyClip();
}

void TQtCanvas::ClearClip() {
    FClipped = false;
    FClip = TRect{};
    if (FPainter.isActive()) ApplyClip();
}

void TQtCanvas::SetComposition(QPainter::CompositionMode mode) {
    if (FComposition != mode) {
        FComposition = mode;
        FPainter.setCompositionMode(mode);
    }
}

void TQtCanvas::ApplyPen() {
    if (FPenValid && Pen == FAppliedPen) return;
    FAppliedPen = Pen;
    FPenValid = true;
    const int width = std::max(1, Pen.Width);
    FPenVisible = Pen.Style != TPenStyle::psClear && ResolveColor(Pen.Color, FPenColor);
    FPenRgb = FPenColor.rgb();
    FPenThin = width == 1;
    FPenComposition = Pen.Mode == TPenMode::pmNotXor ? QPainter::RasterOp_NotSourceXorDestination
                                                      : QPainter::CompositionMode_SourceOver;
    // Styles exist for one-pixel pens only; wider ones draw solid.
    const TDashTable* dash = nullptr;
    if (FPenThin) {
        if (Pen.SmallDots) {
            dash = &SmallDotStyle;
        } else {
            switch (Pen.Style) {
                case TPenStyle::psDash: dash = &DashStyle; break;
                case TPenStyle::psDot: dash = &DotStyle; break;
                case TPenStyle::psDashDot: dash = &DashDotStyle; break;
                case TPenStyle::psDashDotDot: dash = &DashDotDotStyle; break;
                default: break;
            }
        }
    }
    FDash = dash ? dash->Bits.data() : nullptr;
    FDashPeriod = dash ? dash->Period : 0;
    if (!FPenThin) {
        FWidePen = QPen(FPenColor, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        if (FPainterPen == TPainterPen::Wide) FPainterPen = TPainterPen::Unknown;
    }
}

void TQtCanvas::ApplyBrush() {
    if (FBrushValid && Brush == FAppliedBrush) return;
    FAppliedBrush = Brush;
    FBrushValid = true;
    FBrushVisible = Brush.Style != TBrushStyle::bsClear && ResolveColor(Brush.Color, FBrushColor);
    FBrushRgb = FBrushColor.rgb();
    FBrushSolid = Brush.Style == TBrushStyle::bsSolid;
    FQtBrushStyle = QtBrushStyle(Brush.Style);
    FQtBrushStale = true;
    FPainterBrushSet = false;
}

const QBrush& TQtCanvas::QtBrush() {
    if (FQtBrushStale) {
        FQtBrush = QBrush(FBrushColor, FQtBrushStyle);
        FQtBrushStale = false;
    }
    return FQtBrush;
}

TQtCanvas::TFontEntry& TQtCanvas::CurrentFont() {
    if (FFont && FFont->Key == Font) return *FFont;
    for (auto& entry : FFonts) {
        if (entry->Key == Font) {
            FFont = entry.get();
            return *FFont;
        }
    }
    // A chart uses a handful of fonts; keep the recent ones with their measured widths.
    if (FFonts.size() >= 16) {
        if (FPainterFont == FFonts.front().get()) FPainterFont = nullptr;
        FFonts.erase(FFonts.begin());
    }
    QFont qf(QString::fromStdString(Font.Name));
    qf.setPixelSize(std::max(1, FontPixelSize(Font.Size)));
    qf.setBold(Font.Bold);
    qf.setItalic(Font.Italic);
    qf.setUnderline(Font.Underline);
    qf.setStrikeOut(Font.StrikeOut);
    auto entry = std::unique_ptr<TFontEntry>(new TFontEntry{Font, qf, QFontMetrics(qf), 0, 0, {}, {}});
    entry->Height = entry->Metrics.height();
    entry->Ascent = entry->Metrics.ascent();
    FFont = entry.get();
    FFonts.push_back(std::move(entry));
    return *FFont;
}

// --- pixel helpers ----------------------------------------------------------------------

// Solid spans of logical pixels: on the frame image, in copy or inverting mode, written straight
// into its rows; elsewhere painted.
void TQtCanvas::Fill(int x0, int y0, int x1, int y1, QRgb rgb, const QColor& color, bool pen) {
    const bool inverting = FComposition == QPainter::RasterOp_NotSourceXorDestination;
    if (FRaster.Writes() && (inverting || FComposition == QPainter::CompositionMode_SourceOver)) {
        FRaster.Fill(x0, y0, x1, y1, rgb, inverting, pen);
        return;
    }
    if (CaptureLost()) return;
    FPainter.fillRect(Span(x0, y0, x1, y1), color);
}

void TQtCanvas::PenSpan(int x0, int y0, int x1, int y1, bool on) {
    if (on)
        Fill(x0, y0, x1, y1, FPenRgb, FPenColor, true);
    else if (FGapVisible && !CaptureLost())
        Fill(x0, y0, x1, y1, FGapColor.rgb(), FGapColor, true);
}

void TQtCanvas::FillSpan(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0) return;
    if (FBrushSolid) {
        Fill(x0, y0, x1, y1, FBrushRgb, FBrushColor, false);
        return;
    }
    if (CaptureLost()) return;
    const QRect r = Span(x0, y0, x1, y1);
    QColor back;
    if (FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back)) FPainter.fillRect(r, back);
    FPainter.fillRect(r, QtBrush());
}

void TQtCanvas::SolidBox(int L, int T, int R, int B) {
    const int w = std::max(1, FAppliedPen.Width);
    QRect outer, inside;
    if (!RingBounds(w, L, T, R, B, outer, inside)) {
        PenSpan(outer.left(), outer.top(), outer.right(), outer.bottom(), true);
        return;
    }
    // The fill first: at a fractional pixel ratio it may reach one device pixel into the
    // ring, which must keep its thickness.
    if (FBrushVisible) FillSpan(inside.left(), inside.top(), inside.right(), inside.bottom());
    const int oL = outer.left(), oT = outer.top(), oR = outer.right(), oB = outer.bottom();
    PenSpan(oL, oT, oR, oT + w - 1, true);
    PenSpan(oL, oB - w + 1, oR, oB, true);
    PenSpan(oL, oT + w, oL + w - 1, oB - w, true);
    PenSpan(oR - w + 1, oT + w, oR, oB - w, true);
}

bool TQtCanvas::PenBoxes(TPenBoxes& boxes) {
    // Only whole pixel ratios written directly give every logical pixel the same device
    // pixels whatever paints it.
    QColor color;
    if (FRaster.WholeRatio() <= 0 || Pen.Style == TPenStyle::psClear || Pen.Mode != TPenMode::pmCopy || !ResolveColor(Pen.Color, color))
        return false;
    // As WideSegment paints a row or column and SolidBox an axis-aligned polygon: spread about
    // the centre line, both ends included.
    const int w = std::max(1, Pen.Width);
    boxes.Lines = w > 1;
    boxes.Outlines = w > 1 || (!Pen.SmallDots && Pen.Style == TPenStyle::psSolid);
    boxes.Width = w;
    boxes.Before = w / 2;
    boxes.After = w - 1 - w / 2;
    return true;
}

TQtCanvas::TCapabilities TQtCanvas::Capabilities() {
    Ready();
    const bool whole = FRaster.WholeRatio() > 0;
    return {whole, whole};
}

bool TQtCanvas::BeginCapture(TPixelSink& sink) { return FRaster.BeginCapture(sink); }

bool TQtCanvas::EndCapture() { return FRaster.EndCapture(); }

// A one-pixel line from (x0, y0) that stops one pixel short of (x1, y1): the pixel at step k
// of the n = max(|dx|, |dy|) steps lies k pixels along the major axis and rounds the minor
// axis to the nearest pixel (halves away from the start).
void TQtCanvas::ThinLine(int x0, int y0, int x1, int y1) {
    const std::int64_t dx = std::int64_t(x1) - x0, dy = std::int64_t(y1) - y0;
    const std::int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const std::int64_t n = std::max(adx, ady);
    if (n == 0) return;
    const int startDash = FDashPos;
    if (FDash) FDashPos = int((FDashPos + n) % FDashPeriod);

    if (!FDash && (dx == 0 || dy == 0)) {
        if (dy == 0)
            PenSpan(dx > 0 ? x0 : x1 + 1, y0, dx > 0 ? x1 - 1 : x0, y0, true);
        else
            PenSpan(x0, dy > 0 ? y0 : y1 + 1, x0, dy > 0 ? y1 - 1 : y0, true);
        return;
    }

    const bool xMajor = adx >= ady;
    const int m0 = xMajor ? x0 : y0;                   // major axis start
    const int n0 = xMajor ? y0 : x0;                   // minor axis start
    const int ms = (xMajor ? dx : dy) > 0 ? 1 : -1;    // major step
    const int ns = (xMajor ? dy : dx) >= 0 ? 1 : -1;   // minor step
    const std::int64_t ad = xMajor ? ady : adx;        // minor extent

    // Only the steps whose major coordinate can be seen are walked.
    const int vmin = xMajor ? FVisible.left() - 1 : FVisible.top() - 1;
    const int vmax = xMajor ? FVisible.right() + 1 : FVisible.bottom() + 1;
    std::int64_t kLo = 0, kHi = n - 1;
    if (ms > 0) {
        kLo = std::max<std::int64_t>(kLo, std::int64_t(vmin) - m0);
        kHi = std::min<std::int64_t>(kHi, std::int64_t(vmax) - m0);
    } else {
        kLo = std::max<std::int64_t>(kLo, std::int64_t(m0) - vmax);
        kHi = std::min<std::int64_t>(kHi, std::int64_t(m0) - vmin);
    }
    if (kLo > kHi) return;

    // Far outside the image the minor coordinate is only clipped, so keep it in range.
    auto minorAt = [&](std::int64_t k) {
        const std::int64_t v = n0 + ns * ((2 * k * ad + n) / (2 * n));
        return int(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30));
    };
    // The style position and, on straight lines, the minor coordinate advance without a
    // division per pixel: dotted grid lines are walked thousands of pixels a frame.
    int dashIndex = FDash ? int((startDash + kLo) % FDashPeriod) : 0;
    auto nextOn = [&] {
        if (!FDash) return true;
        const bool on = FDash[dashIndex];
        if (++dashIndex == FDashPeriod) dashIndex = 0;
        return on;
    };
    const bool straight = ad == 0;
    auto flush = [&](std::int64_t kFirst, std::int64_t kLast, int minor, bool on) {
        const int a = m0 + ms * int(kFirst), b = m0 + ms * int(kLast);
        if (xMajor)
            PenSpan(std::min(a, b), minor, std::max(a, b), minor, on);
        else
            PenSpan(minor, std::min(a, b), minor, std::max(a, b), on);
    };

    std::int64_t runStart = kLo;
    int runMinor = minorAt(kLo);
    bool runOn = nextOn();
    for (std::int64_t k = kLo + 1; k <= kHi; ++k) {
        const int minor = straight ? runMinor : minorAt(k);
        const bool on = nextOn();
        if (minor != runMinor || on != runOn) {
            flush(runStart, k - 1, runMinor, runOn);
            runStart = k;
            runMinor = minor;
            runOn = on;
        }
    }
    flush(runStart, kHi, runMinor, runOn);
}

// A pen wider than one pixel covers the whole segment, both ends included.
void TQtCanvas::WideSegment(int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    const int w = std::max(1, FAppliedPen.Width);
    const int lo = w / 2, hi = w - 1 - w / 2;
    if (x0 == x1 || y0 == y1) {
        PenSpan(std::min(x0, x1) - lo, std::min(y0, y1) - lo, std::max(x0, x1) + hi, std::max(y0, y1) + hi, true);
        return;
    }
    if (CaptureLost()) return;
    if (FPainterPen != TPainterPen::Wide) {
        FPainter.setPen(FWidePen);
        FPainterPen = TPainterPen::Wide;
    }
    // The centre line of a pen spreading lo pixels up/left and hi pixels down/right.
    const qreal c = (hi + 1 - lo) / 2.0;
    FPainter.drawLine(QPointF(x0 + c, y0 + c), QPointF(x1 + c, y1 + c));
}

void TQtCanvas::Segment(int x0, int y0, int x1, int y1) {
    if (FPenThin)
        ThinLine(x0, y0, x1, y1);
    else
        WideSegment(x0, y0, x1, y1);
}

// Pixels whose centres lie inside the polygon (alternate rule).
void TQtCanvas::FillPolygonArea(std::span<const TPoint> points) {
    if (CaptureLost()) return;
    QPolygon poly(int(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) poly.setPoint(int(i), points[i].X, points[i].Y);
    if (FPainterPen != TPainterPen::None) {
        FPainter.setPen(Qt::NoPen);
        FPainterPen = TPainterPen::None;
    }
    QColor back;
    if (!FBrushSolid && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back)) {
        FPainter.setBrush(back);
        FPainter.drawPolygon(poly, Qt::OddEvenFill);
        FPainterBrushSet = false;
    }
    if (!FPainterBrushSet) {
        FPainter.setBrush(QtBrush());
        FPainterBrushSet = true;
    }
    FPainter.drawPolygon(poly, Qt::OddEvenFill);
}

// --- primitives ---------------------------------------------------------------------------

void TQtCanvas::MoveTo(int x, int y) {
    FPenPos = {x, y};
    FDashPos = 0;
}

void TQtCanvas::LineTo(int x, int y) {
    const TPoint from = FPenPos;
    FPenPos = {x, y};
    ApplyPen();
    if (!FPenVisible || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
    Segment(from.X, from.Y, x, y);
}

void TQtCanvas::Polyline(std::span<const TPoint> points) {
    if (points.size() < 2) return;
    ApplyPen();
    if (!FPenVisible || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
    FDashPos = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        Segment(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

// Orders a shape's bounding box and readies pen and brush; false when nothing would be drawn.
bool TQtCanvas::BeginBox(int& x0, int& y0, int& x1, int& y1) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1) return false;
    ApplyPen();
    ApplyBrush();
    if ((!FPenVisible && !FBrushVisible) || !Ready()) return false;
    SetComposition(FPenComposition);
    return true;
}

void TQtCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    if (!BeginBox(x0, y0, x1, y1)) return;
    const int L = x0, T = y0, R = x1 - 1, B = y1 - 1;
    if (!FPenVisible) {
        FillSpan(L, T, R, B);
        return;
    }
    if (FDash) {
        // A styled outline runs once around the box, the style continuing over the corners.
        if (FBrushVisible) FillSpan(L + 1, T + 1, R - 1, B - 1);
        FGapVisible = FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
        FDashPos = 0;
        const TPoint ring[] = {{L, T}, {R, T}, {R, B}, {L, B}, {L, T}};
        for (int i = 1; i < 5; ++i) ThinLine(ring[i - 1].X, ring[i - 1].Y, ring[i].X, ring[i].Y);
        return;
    }
    SolidBox(L, T, R, B);
}

void TQtCanvas::FillRect(const TRect& r) {
    if (r.IsEmpty()) return;
    ApplyBrush();
    if (!FBrushVisible || !Ready()) return;
    SetComposition(QPainter::CompositionMode_SourceOver);
    FillSpan(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
}

bool TQtCanvas::FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) {
    // At a fractional ratio a run's device pixels depend on the box that paints it.
    if (FRaster.Capturing() || FRaster.WholeRatio() <= 0) return false;
    if (!Ready()) return true;
    SetComposition(QPainter::CompositionMode_SourceOver);
    FLayerBits.clear();
    FLayerRgb.clear();
    for (const TColumnBits& layer : layers) {
        QColor color;
        if (!ResolveColor(layer.Color, color)) continue;
        FLayerBits.push_back(layer.Bits);
        FLayerRgb.push_back(color.rgb());
    }
    FRaster.FillColumnBits(x, top, words, columns, FLayerBits, FLayerRgb);
    return true;
}

void TQtCanvas::Polygon(std::span<const TPoint> points) {
    if (points.size() < 2) return;
    ApplyPen();
    ApplyBrush();
    if ((!FPenVisible && !FBrushVisible) || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);

    if (IsBoxPolygon(points) && !FDash) {
        // The common case of a candle body: an axis-aligned box through the corner pixels,
        // outlined as a ring and filled inside it.
        const int L = std::min(points[0].X, points[2].X), R = std::max(points[0].X, points[2].X);
        const int T = std::min(points[0].Y, points[2].Y), B = std::max(points[0].Y, points[2].Y);
        if (!FPenVisible) {
            FillSpan(L, T, R - 1, B - 1);
            return;
        }
        SolidBox(L, T, R, B);
        return;
    }

    if (FBrushVisible && points.size() >= 3) FillPolygonArea(points);
    if (FPenVisible) {
        FDashPos = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TPoint& a = points[i];
            const TPoint& b = points[(i + 1) % points.size()];
            Segment(a.X, a.Y, b.X, b.Y);
        }
    }
}

// The ellipse inscribed in the box: a pixel belongs to it when its centre lies inside.
// The outline is the band of Width pixels along its border (centred on it), the rest is
// filled with the brush; band and fill never overlap. Styled pens outline solid.
void TQtCanvas::Ellipse(int x0, int y0, int x1, int y1) {
    if (!BeginBox(x0, y0, x1, y1)) return;

    const int w = FPenVisible ? std::max(1, FAppliedPen.Width) : 0;
    const int lo = w / 2, hi = w > 0 ? w - 1 - w / 2 : 0;
    const int L = x0 - lo, T = y0 - lo, R = x1 - 1 + hi, B = y1 - 1 + hi;
    const int rows = B - T + 1;
    // Only the visible rows are computed (with room for the outline band).
    const int rFirst = std::max(T, FVisible.top() - w - 1);
    const int rLast = std::min(B, FVisible.bottom() + w + 1);
    if (rFirst > rLast) return;

    const double cx = (L + R + 1) / 2.0, cy = (T + B + 1) / 2.0;
    const double rx = (R - L + 1) / 2.0, ry = rows / 2.0;
    auto spanOf = [&](int row, int& left, int& right) {
        if (row < T || row > B) return false;
        const double ty = (row + 0.5 - cy) / ry;
        const double q = 1.0 - ty * ty;
        if (q < 0) return false;
        const double half = rx * std::sqrt(q) + 1e-9;
        left = int(std::ceil(cx - half - 0.5));
        right = int(std::floor(cx + half - 0.5));
        return left <= right;
    };

    const int first = rFirst - w, count = rLast - rFirst + 1 + 2 * w;
    std::vector<int>& ls = FRowLeft;
    std::vector<int>& rs = FRowRight;
    std::vector<char>& has = FRowHas;
    ls.resize(std::size_t(count));
    rs.resize(std::size_t(count));
    has.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) has[std::size_t(i)] = spanOf(first + i, ls[std::size_t(i)], rs[std::size_t(i)]);

    for (int row = rFirst; row <= rLast; ++row) {
        const std::size_t i = std::size_t(row - first);
        if (!has[i]) continue;
        const int left = ls[i], right = rs[i];
        if (w == 0) {
            FillSpan(left, row, right, row);
            continue;
        }
        // Inside the band: every pixel within w steps (city-block distance) is in the shape.
        int il = left + w, ir = right - w;
        for (int d = 1; d <= w && il <= ir; ++d) {
            for (const int j : {int(i) - d, int(i) + d}) {
                if (!has[std::size_t(j)]) {
                    il = 1;
                    ir = 0;
                    break;
                }
                il = std::max(il, ls[std::size_t(j)] + w - d);
                ir = std::min(ir, rs[std::size_t(j)] - w + d);
            }
        }
        if (il > ir) {
            PenSpan(left, row, right, row, true);
        } else {
            PenSpan(left, row, il - 1, row, true);
            PenSpan(ir + 1, row, right, row, true);
            if (FBrushVisible) FillSpan(il, row, ir, row);
        }
    }
}

void TQtCanvas::TextOut(int x, int y, std::string_view text) {
    if (text.empty() || !Ready()) return;
    TFontEntry& font = CurrentFont();
    const QString qs = QString::fromUtf8(text.data(), qsizetype(text.size()));
    int width;
    if (auto it = font.Widths.find(text); it != font.Widths.end()) {
        width = it->second;
    } else {
        width = font.Metrics.horizontalAdvance(qs);
    }
    const QPoint at = TextTopLeft(FTextAlign, x, y, width, font.Height, font.Ascent);
    const int left = at.x(), top = at.y();

    if (CaptureLost()) return;
    SetComposition(QPainter::CompositionMode_SourceOver);
    QColor back;
    if (FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back))
        FPainter.fillRect(QRect(left, top, width, font.Height), back);
    QColor color;
    if (!ResolveColor(Font.Color, color)) return;
    if (FPainterPen != TPainterPen::Text || FPainterTextColor != color.rgb()) {
        FPainter.setPen(color);
        FPainterPen = TPainterPen::Text;
        FPainterTextColor = color.rgb();
    }
    if (FPainterFont != &font) {
        FPainter.setFont(font.QtFont);
        FPainterFont = &font;
    }
    FPainter.drawText(QPoint(left, top + font.Ascent), qs);
}

int TQtCanvas::TextWidth(std::string_view text) {
    if (text.empty()) return 0;
    TFontEntry& font = CurrentFont();
    if (auto it = font.Widths.find(text); it != font.Widths.end()) return it->second;
    const int width = font.Metrics.horizontalAdvance(QString::fromUtf8(text.data(), qsizetype(text.size())));
    if (font.Widths.size() >= 4096) font.Widths.clear();
    font.Widths.emplace(std::string(text), width);
    return width;
}

int TQtCanvas::TextHeight(std::string_view) { return CurrentFont().Height; }

namespace {
std::int64_t Fixed64(qreal pixels) { return std::llround(pixels * 64); }
constexpr std::int64_t kMaxBound = 1 << 20;
}  // namespace

std::int64_t TQtCanvas::TAdvanceTable::LearnChar(unsigned char c) {
    return Chars[c - kFirst] = Fixed64(Metrics.horizontalAdvance(QString(QChar(c))));
}

std::int64_t TQtCanvas::TAdvanceTable::LearnPair(unsigned char a, unsigned char b) {
    const QChar pair[] = {QChar(a), QChar(b)};
    return Pairs[(a - kFirst) * kCount + (b - kFirst)] =
               Fixed64(Metrics.horizontalAdvance(QString(pair, 2))) - Char(a) - Char(b);
}

bool TQtCanvas::TextWidthAtLeast(std::string_view text, int& width) {
    // Outside printable ASCII, shaping joins, reorders and drops glyphs: no cheap bound there.
    for (char c : text)
        if (c < TAdvanceTable::kFirst || c >= TAdvanceTable::kFirst + TAdvanceTable::kCount) return false;
    if (text.empty()) {
        width = 0;
        return true;
    }
    TFontEntry& font = CurrentFont();
    if (!font.Advances) font.Advances = std::make_unique<TAdvanceTable>(font.QtFont);
    TAdvanceTable& table = *font.Advances;
    const auto* u = reinterpret_cast<const unsigned char*>(text.data());
    std::int64_t sum = table.Char(u[0]);
    for (size_t i = 1; i < text.size(); ++i) sum += table.Char(u[i]) + table.Pair(u[i - 1], u[i]);
    // Characters and kerned pairs give the shaped width of Latin text; the margin leaves room
    // for ligatures and rules over longer runs, which narrow it by far less.
    const std::int64_t margin = 2 + static_cast<std::int64_t>(text.size()) / 8;
    const std::int64_t least = ((sum + 32) >> 6) - margin;
    // Far beyond any label the caller's size arithmetic would overflow; measure instead.
    if (least < -kMaxBound || least > kMaxBound) return false;
    width = static_cast<int>(least);
    return true;
}

// --- frames -------------------------------------------------------------------------------

void TQtCanvas::SetDevicePixelRatio(qreal ratio) {
    if (ratio > 0) FRatio = ratio;
}

void TQtCanvas::BeginFrame(int width, int height) {
    if (FPainter.isActive()) FPainter.end();
    FExternal = nullptr;
    width = std::max(0, width);
    height = std::max(0, height);
    if (width != FWidth || height != FHeight || FImage.devicePixelRatio() != FRatio || FImage.isNull() != (width * height == 0)) {
        FWidth = width;
        FHeight = height;
        if (width > 0 && height > 0) {
            FImage = NewFrameImage(int(std::ceil(width * FRatio)), int(std::ceil(height * FRatio)));
            FImage.setDevicePixelRatio(FRatio);
            FImage.fill(Qt::white);
        } else {
            FImage = QImage();
        }
    }
    FClipped = false;
    FClip = TRect{};
    FDashPos = 0;
    // Colours are looked up again each frame, so a changed desktop palette shows.
    FPenValid = false;
    FBrushValid = false;
    FInFrame = true;
    Ready();
}

void TQtCanvas::EndFrame() {
    if (FPainter.isActive()) FPainter.end();
    FInFrame = false;
    TChartCanvas3D::EndFrame();
}

void TQtCanvas::RedrawFromBuffer() { Release(); }

void TQtCanvas::Release() const {
    if (FPainter.isActive()) FPainter.end();
}

const QImage& TQtCanvas::Image() const {
    Release();
    return FImage;
}

void TQtCanvas::BeginPaintOn(QPaintDevice* device) {
    if (FPainter.isActive()) FPainter.end();
    FInFrame = false;
    FExternal = device;
}

void TQtCanvas::EndPaintOn() {
    if (FPainter.isActive()) FPainter.end();
    FExternal = nullptr;
}

}  // namespace zyn::chart
