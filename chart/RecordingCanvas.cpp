#include "chart/RecordingCanvas.h"

#include <cstdio>

namespace zyn::chart {

namespace {

bool IsDrawingOp(TCanvasOp op) {
    switch (op) {
        case TCanvasOp::LineTo:
        case TCanvasOp::Rectangle:
        case TCanvasOp::FillRect:
        case TCanvasOp::Polyline:
        case TCanvasOp::Polygon:
        case TCanvasOp::Ellipse:
        case TCanvasOp::TextOut:
            return true;
        default:
            return false;
    }
}

const char* PenStyleName(TPenStyle s) {
    switch (s) {
        case TPenStyle::psSolid: return "psSolid";
        case TPenStyle::psDash: return "psDash";
        case TPenStyle::psDot: return "psDot";
        case TPenStyle::psDashDot: return "psDashDot";
        case TPenStyle::psDashDotDot: return "psDashDotDot";
        case TPenStyle::psClear: return "psClear";
    }
    return "?";
}

const char* BrushStyleName(TBrushStyle s) {
    switch (s) {
        case TBrushStyle::bsSolid: return "bsSolid";
        case TBrushStyle::bsClear: return "bsClear";
        case TBrushStyle::bsHorizontal: return "bsHorizontal";
        case TBrushStyle::bsVertical: return "bsVertical";
        case TBrushStyle::bsFDiagonal: return "bsFDiagonal";
        case TBrushStyle::bsBDiagonal: return "bsBDiagonal";
        case TBrushStyle::bsCross: return "bsCross";
        case TBrushStyle::bsDiagCross: return "bsDiagCross";
    }
    return "?";
}

std::string RectArgs(const TRect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
}

std::string PointList(const std::vector<TPoint>& pts) {
    std::string s;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (i) s += ",";
        s += "(" + std::to_string(pts[i].X) + "," + std::to_string(pts[i].Y) + ")";
    }
    return s;
}

}  // namespace

const char* CanvasOpName(TCanvasOp op) {
    switch (op) {
        case TCanvasOp::MoveTo: return "MoveTo";
        case TCanvasOp::LineTo: return "LineTo";
        case TCanvasOp::Rectangle: return "Rectangle";
        case TCanvasOp::FillRect: return "FillRect";
        case TCanvasOp::Polyline: return "Polyline";
        case TCanvasOp::Polygon: return "Polygon";
        case TCanvasOp::Ellipse: return "Ellipse";
        case TCanvasOp::TextOut: return "TextOut";
        case TCanvasOp::SetTextAlign: return "SetTextAlign";
        case TCanvasOp::SetBackgroundMode: return "SetBackgroundMode";
        case TCanvasOp::SetBackgroundColor: return "SetBackgroundColor";
        case TCanvasOp::SetClip: return "SetClip";
        case TCanvasOp::ClearClip: return "ClearClip";
        case TCanvasOp::BeginFrame: return "BeginFrame";
        case TCanvasOp::EndFrame: return "EndFrame";
        case TCanvasOp::RedrawFromBuffer: return "RedrawFromBuffer";
    }
    return "?";
}

std::string ColorToString(TColor c) {
    char buf[16];
    if (c & 0xFF000000u)
        std::snprintf(buf, sizeof buf, "0x%08X", unsigned(c));
    else
        std::snprintf(buf, sizeof buf, "0x%06X", unsigned(c));
    return buf;
}

std::string PenToString(const TCanvasPen& pen) {
    std::string s = "Pen(" + ColorToString(pen.Color) + "," + std::to_string(pen.Width) + "," + PenStyleName(pen.Style);
    if (pen.Mode == TPenMode::pmNotXor) s += ",pmNotXor";
    if (pen.SmallDots) s += ",SmallDots";
    return s + ")";
}

std::string BrushToString(const TCanvasBrush& brush) {
    return "Brush(" + ColorToString(brush.Color) + "," + BrushStyleName(brush.Style) + ")";
}

std::string FontToString(const TCanvasFont& font) {
    std::string s = "Font(" + font.Name + "," + std::to_string(font.Size) + "," + ColorToString(font.Color);
    if (font.Bold) s += ",Bold";
    if (font.Italic) s += ",Italic";
    if (font.Underline) s += ",Underline";
    if (font.StrikeOut) s += ",StrikeOut";
    return s + ")";
}

std::string TCanvasCall::ToString(bool withState) const {
    std::string s = CanvasOpName(Op);
    s += "(";
    switch (Op) {
        case TCanvasOp::MoveTo:
        case TCanvasOp::LineTo:
            s += std::to_string(P.X) + "," + std::to_string(P.Y);
            break;
        case TCanvasOp::Rectangle:
        case TCanvasOp::FillRect:
        case TCanvasOp::Ellipse:
        case TCanvasOp::SetClip:
            s += RectArgs(Rect);
            break;
        case TCanvasOp::Polyline:
        case TCanvasOp::Polygon:
            s += PointList(Points);
            break;
        case TCanvasOp::TextOut:
            s += std::to_string(P.X) + "," + std::to_string(P.Y) + ",\"" + Text + "\"";
            break;
        case TCanvasOp::SetTextAlign:
            s += std::to_string(TextAlign);
            break;
        case TCanvasOp::SetBackgroundMode:
            s += BackMode == TBackMode::Opaque ? "Opaque" : "Transparent";
            break;
        case TCanvasOp::SetBackgroundColor:
            s += ColorToString(BackColor);
            break;
        case TCanvasOp::BeginFrame:
            s += std::to_string(Rect.Width()) + "," + std::to_string(Rect.Height());
            break;
        case TCanvasOp::ClearClip:
        case TCanvasOp::EndFrame:
        case TCanvasOp::RedrawFromBuffer:
            break;
    }
    s += ")";
    if (withState && IsDrawingOp(Op)) {
        if (Op == TCanvasOp::TextOut) {
            s += " " + FontToString(Font) + " align=" + std::to_string(TextAlign) +
                 (BackMode == TBackMode::Opaque ? " opaque=" + ColorToString(BackColor) : " transparent");
        } else {
            if (Op != TCanvasOp::FillRect) s += " " + PenToString(Pen);
            if (Op != TCanvasOp::LineTo && Op != TCanvasOp::Polyline) s += " " + BrushToString(Brush);
        }
        if (Clipped) s += " clip=" + RectArgs(Clip);
    }
    return s;
}

int TRecordingCanvas::FontPixelSize(int points) { return Round(points * 96.0 / 72.0); }

TCanvasCall& TRecordingCanvas::Record(TCanvasOp op) {
    TCanvasCall& c = Calls.emplace_back();
    c.Op = op;
    c.Pen = Pen;
    c.Brush = Brush;
    c.Font = Font;
    c.TextAlign = FTextAlign;
    c.BackMode = FBackMode;
    c.BackColor = FBackColor;
    c.Clipped = FClipped;
    c.Clip = FClip;
    return c;
}

void TRecordingCanvas::MoveTo(int x, int y) {
    Record(TCanvasOp::MoveTo).P = {x, y};
    FPenPos = {x, y};
}

void TRecordingCanvas::LineTo(int x, int y) {
    TCanvasCall& c = Record(TCanvasOp::LineTo);
    c.P = {x, y};
    c.From = FPenPos;
    FPenPos = {x, y};
}

void TRecordingCanvas::Rectangle(int x0, int y0, int x1, int y1) { Record(TCanvasOp::Rectangle).Rect = {x0, y0, x1, y1}; }

void TRecordingCanvas::FillRect(const TRect& r) { Record(TCanvasOp::FillRect).Rect = r; }

void TRecordingCanvas::Polyline(std::span<const TPoint> points) {
    Record(TCanvasOp::Polyline).Points.assign(points.begin(), points.end());
    // As on the platform, a polyline neither uses nor moves the current position.
}

void TRecordingCanvas::Polygon(std::span<const TPoint> points) {
    Record(TCanvasOp::Polygon).Points.assign(points.begin(), points.end());
}

void TRecordingCanvas::Ellipse(int x0, int y0, int x1, int y1) { Record(TCanvasOp::Ellipse).Rect = {x0, y0, x1, y1}; }

void TRecordingCanvas::TextOut(int x, int y, std::string_view text) {
    TCanvasCall& c = Record(TCanvasOp::TextOut);
    c.P = {x, y};
    c.Text.assign(text);
}

int TRecordingCanvas::TextWidth(std::string_view text) {
    MeasuredTexts.emplace_back(text);
    int n = 0;
    for (unsigned char ch : text)
        if ((ch & 0xC0) != 0x80) ++n;  // continuation bytes belong to the previous code point
    return n * CharWidth;
}

int TRecordingCanvas::TextHeight(std::string_view text) {
    MeasuredTexts.emplace_back(text);
    return FontPixelSize(Font.Size) + LineExtra;
}

void TRecordingCanvas::SetTextAlign(int flags) {
    FTextAlign = flags;
    Record(TCanvasOp::SetTextAlign);
}

void TRecordingCanvas::SetBackgroundMode(TBackMode mode) {
    FBackMode = mode;
    Record(TCanvasOp::SetBackgroundMode);
}

void TRecordingCanvas::SetBackgroundColor(TColor color) {
    FBackColor = color;
    Record(TCanvasOp::SetBackgroundColor);
}

void TRecordingCanvas::SetClip(const TRect& r) {
    FClipped = true;
    FClip = r;
    Record(TCanvasOp::SetClip).Rect = r;
}

void TRecordingCanvas::ClearClip() {
    FClipped = false;
    FClip = TRect{};
    Record(TCanvasOp::ClearClip);
}

void TRecordingCanvas::BeginFrame(int width, int height) {
    FFrameWidth = width;
    FFrameHeight = height;
    Record(TCanvasOp::BeginFrame).Rect = {0, 0, width, height};
}

void TRecordingCanvas::EndFrame() {
    Record(TCanvasOp::EndFrame);
    TChartCanvas3D::EndFrame();
}

void TRecordingCanvas::RedrawFromBuffer() { Record(TCanvasOp::RedrawFromBuffer); }

void TRecordingCanvas::Clear() {
    Calls.clear();
    MeasuredTexts.clear();
}

std::vector<const TCanvasCall*> TRecordingCanvas::Of(TCanvasOp op) const {
    std::vector<const TCanvasCall*> out;
    for (const TCanvasCall& c : Calls)
        if (c.Op == op) out.push_back(&c);
    return out;
}

std::size_t TRecordingCanvas::Count(TCanvasOp op) const {
    std::size_t n = 0;
    for (const TCanvasCall& c : Calls)
        if (c.Op == op) ++n;
    return n;
}

std::string TRecordingCanvas::Dump(bool withState) const {
    std::string s;
    for (const TCanvasCall& c : Calls) s += c.ToString(withState) + "\n";
    return s;
}

std::string TRecordingCanvas::Dump(TCanvasOp op, bool withState) const {
    std::string s;
    for (const TCanvasCall& c : Calls)
        if (c.Op == op) s += c.ToString(withState) + "\n";
    return s;
}

}  // namespace zyn::chart
