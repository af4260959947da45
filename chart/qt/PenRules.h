#pragma once
#include <QBrush>
#include <QRect>

#include <algorithm>
#include <span>

#include "chart/Canvas.h"

namespace zyn::chart {

// The pixel rules the raster and the vector canvases share, so that a page or a file shows the
// shapes of the pixels the screen paints.

// The styles of one-pixel pens, stepped per pixel along the major axis of a line: runs of
// pixels on, off, on, ... Wider pens draw solid.
inline constexpr int kDashRuns[] = {18, 6};
inline constexpr int kDotRuns[] = {3, 3};
inline constexpr int kDashDotRuns[] = {9, 6, 3, 6};
inline constexpr int kDashDotDotRuns[] = {9, 3, 3, 3, 3, 3};
inline constexpr int kSmallDotRuns[] = {1, 1};

// The runs of a pen's style; empty for a solid line.
inline std::span<const int> StyleRuns(const TCanvasPen& pen) {
    if (std::max(1, pen.Width) > 1) return {};
    if (pen.SmallDots) return kSmallDotRuns;
    switch (pen.Style) {
        case TPenStyle::psDash: return kDashRuns;
        case TPenStyle::psDot: return kDotRuns;
        case TPenStyle::psDashDot: return kDashDotRuns;
        case TPenStyle::psDashDotDot: return kDashDotDotRuns;
        default: return {};
    }
}

// The top left of the box of text drawn at (x, y) under the canvas's alignment flags: x is its
// left, centre or right, y its top, bottom or baseline.
inline QPoint TextTopLeft(int align, int x, int y, int width, int height, int ascent) {
    int left = x, top = y;
    switch (align & 6) {
        case TA_CENTER: left = x - width / 2; break;
        case TA_RIGHT: left = x - width; break;
        default: break;
    }
    if ((align & 24) == TA_BOTTOM)
        top = y - height;
    else if ((align & 24) == 24)  // baseline
        top = y - ascent;
    return {left, top};
}

// The pattern of a hatched brush; solid for the others.
inline Qt::BrushStyle QtBrushStyle(TBrushStyle style) {
    switch (style) {
        case TBrushStyle::bsHorizontal: return Qt::HorPattern;
        case TBrushStyle::bsVertical: return Qt::VerPattern;
        case TBrushStyle::bsFDiagonal: return Qt::FDiagPattern;
        case TBrushStyle::bsBDiagonal: return Qt::BDiagPattern;
        case TBrushStyle::bsCross: return Qt::CrossPattern;
        case TBrushStyle::bsDiagCross: return Qt::DiagCrossPattern;
        default: return Qt::SolidPattern;
    }
}

// Pixels a pen of the given width paints to the left of or above its centre pixel; the rest
// of its width lies to the right or below.
constexpr int SpreadBefore(int width) { return std::max(1, width) / 2; }
constexpr int SpreadAfter(int width) { return std::max(1, width) - 1 - std::max(1, width) / 2; }

// Four corners of an axis-aligned rectangle in either winding.
inline bool IsBoxPolygon(std::span<const TPoint> p) {
    if (p.size() != 4) return false;
    const bool a = p[0].Y == p[1].Y && p[1].X == p[2].X && p[2].Y == p[3].Y && p[3].X == p[0].X;
    const bool b = p[0].X == p[1].X && p[1].Y == p[2].Y && p[2].X == p[3].X && p[3].Y == p[0].Y;
    return a || b;
}

// The outline through the pixel columns L..R and rows T..B as a ring of `width` pixels centred
// on them (inclusive bounds), and the inside left for the brush; false when the ring leaves no
// inside.
inline bool RingBounds(int width, int L, int T, int R, int B, QRect& outer, QRect& inside) {
    const int w = std::max(1, width);
    const int oL = L - SpreadBefore(w), oT = T - SpreadBefore(w), oR = R + SpreadAfter(w), oB = B + SpreadAfter(w);
    outer = QRect(QPoint(oL, oT), QPoint(oR, oB));
    if (oR - oL + 1 <= 2 * w || oB - oT + 1 <= 2 * w) {
        inside = QRect();
        return false;
    }
    inside = QRect(QPoint(oL + w, oT + w), QPoint(oR - w, oB - w));
    return true;
}

}  // namespace zyn::chart
