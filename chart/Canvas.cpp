#include "chart/Canvas.h"

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

}  // namespace zyn::chart
