#include "chart/Canvas.h"

#include <algorithm>

namespace zyn::chart {

void TChartCanvas3D::Frame3D(TRect& rect, TColor topColor, TColor bottomColor, int width) {
    Pen.Width = 1;
    Pen.Style = TPenStyle::psSolid;
    Pen.Mode = TPenMode::pmCopy;
    --rect.Bottom;
    --rect.Right;
    for (int i = 0; i < width; ++i) {
        // Polylines do not paint their last point, so each colour owns exactly its two edges.
        Pen.Color = topColor;
        const TPoint top[] = {{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}};
        Polyline(top);
        Pen.Color = bottomColor;
        const TPoint bottom[] = {{rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}};
        Polyline(bottom);
        ++rect.Left;
        ++rect.Top;
        --rect.Right;
        --rect.Bottom;
    }
    ++rect.Bottom;
    ++rect.Right;
}

void TChartCanvas3D::AssignChartPen(const TChartPen& pen) {
    if (!pen.Visible) {
        Pen.Style = TPenStyle::psClear;
        return;
    }
    Pen.Color = pen.Color;
    Pen.Width = pen.Width;
    Pen.Style = pen.Style;
    Pen.Mode = pen.Mode;
    Pen.SmallDots = pen.SmallDots && pen.Width == 1;
}

void TChartCanvas3D::PrepareFillBrush(TColor color, TBrushStyle style, TColor backColor) {
    if (style != TBrushStyle::bsSolid && style != TBrushStyle::bsClear && color == backColor)
        color = backColor == clBlack ? clWhite : clBlack;
    Brush.Color = color;
    Brush.Style = style;
    if (style == TBrushStyle::bsSolid) {
        SetBackgroundMode(TBackMode::Transparent);
    } else {
        SetBackgroundMode(TBackMode::Opaque);
        SetBackgroundColor(backColor);
    }
}

void TChartCanvas3D::ResetCanvas() {
    Pen = TCanvasPen{};
    Brush = TCanvasBrush{};
    Font.Color = clBlack;
    Font.Size = 10;
    SetBackgroundColor(clWhite);
    SetBackgroundMode(TBackMode::Transparent);
}

bool TChartCanvas3D::LineBox(int x0, int y0, int x1, int y1, TRect& box) {
    TPenBoxes pen;
    if (!PenBoxes(pen) || !pen.Lines || (x0 != x1 && y0 != y1)) return false;
    box = x0 == x1 && y0 == y1 ? TRect{}
                               : TRect{std::min(x0, x1) - pen.Before, std::min(y0, y1) - pen.Before,
                                       std::max(x0, x1) + pen.After + 1, std::max(y0, y1) + pen.After + 1};
    return true;
}

bool TChartCanvas3D::BoxPolygonBoxes(int x0, int y0, int x1, int y1, TRect& outline, TRect& inside) {
    TPenBoxes pen;
    if (!PenBoxes(pen) || !pen.Outlines) return false;
    outline = TRect{std::min(x0, x1) - pen.Before, std::min(y0, y1) - pen.Before, std::max(x0, x1) + pen.After + 1,
                    std::max(y0, y1) + pen.After + 1};
    inside = TRect{outline.Left + pen.Width, outline.Top + pen.Width, outline.Right - pen.Width,
                   outline.Bottom - pen.Width};
    if (inside.IsEmpty()) inside = TRect{};
    return true;
}

}  // namespace zyn::chart
