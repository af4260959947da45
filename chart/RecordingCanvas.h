#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "chart/Canvas.h"

namespace zyn::chart {

enum class TCanvasOp {
    MoveTo,
    LineTo,
    Rectangle,
    FillRect,
    Polyline,
    Polygon,
    Ellipse,
    TextOut,
    SetTextAlign,
    SetBackgroundMode,
    SetBackgroundColor,
    SetClip,
    ClearClip,
    BeginFrame,
    EndFrame,
    RedrawFromBuffer,
};

const char* CanvasOpName(TCanvasOp op);

// One recorded canvas call with its arguments and the canvas state at the time of the call.
// The state fields hold the values in force after the call, so for SetTextAlign,
// SetBackgroundMode, SetBackgroundColor and SetClip they carry the value just set.
struct TCanvasCall {
    TCanvasOp Op = TCanvasOp::MoveTo;
    TPoint P;                    // MoveTo, LineTo, TextOut
    TPoint From;                 // LineTo: the current position before the call
    TRect Rect;                  // Rectangle, FillRect, Ellipse, SetClip; BeginFrame: (0, 0, w, h)
    std::vector<TPoint> Points;  // Polyline, Polygon
    std::string Text;            // TextOut

    TCanvasPen Pen;
    TCanvasBrush Brush;
    TCanvasFont Font;
    int TextAlign = TA_LEFT | TA_TOP;
    TBackMode BackMode = TBackMode::Opaque;
    TColor BackColor = clWhite;
    bool Clipped = false;
    TRect Clip;

    // "LineTo(10,20)", "Rectangle(0,0,10,10)", "Polyline((1,2),(3,4))", "TextOut(5,6,"abc")",
    // "SetBackgroundColor(0xFFFFFF)"...; withState appends the pen, brush and font (drawing
    // calls only) and the clip.
    std::string ToString(bool withState = false) const;
};

std::string ColorToString(TColor c);
std::string PenToString(const TCanvasPen& pen);
std::string BrushToString(const TCanvasBrush& brush);
std::string FontToString(const TCanvasFont& font);

// A canvas that draws nothing and records every call, so that layout and drawing can be
// checked call by call without a window system.
//
// Text metrics are fixed and independent of any real font:
//   TextWidth(text)  = 6 pixels per character (per UTF-8 code point); 0 for the empty text.
//   TextHeight(text) = pixel size + 3 for any text, the empty one included, where
//                      pixel size = Round(Font.Size * 96 / 72); so "Arial" 8 points gives
//                      11 + 3 = 14 and 10 points gives 13 + 3 = 16.
// Measurements are not part of Calls; the measured texts are kept in MeasuredTexts.
class TRecordingCanvas : public TChartCanvas3D {
public:
    static constexpr int CharWidth = 6;
    static constexpr int LineExtra = 3;
    static int FontPixelSize(int points);

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
    void SetTextAlign(int flags) override;
    int TextAlign() const override { return FTextAlign; }

    void SetBackgroundMode(TBackMode mode) override;
    void SetBackgroundColor(TColor color) override;
    TBackMode BackgroundMode() const { return FBackMode; }
    TColor BackgroundColor() const { return FBackColor; }

    void SetClip(const TRect& r) override;
    void ClearClip() override;
    bool Clipped() const { return FClipped; }
    const TRect& ClipRect() const { return FClip; }

    void BeginFrame(int width, int height) override;
    void EndFrame() override;
    void RedrawFromBuffer() override;
    int FrameWidth() const { return FFrameWidth; }
    int FrameHeight() const { return FFrameHeight; }
    TPoint PenPos() const { return FPenPos; }

    // Forgets the recorded calls and measurements; the canvas state stays.
    void Clear();

    std::vector<TCanvasCall> Calls;
    std::vector<std::string> MeasuredTexts;

    // The recorded calls of one kind, in order.
    std::vector<const TCanvasCall*> Of(TCanvasOp op) const;
    std::size_t Count(TCanvasOp op) const;
    // One call per line ("\n" after each).
    std::string Dump(bool withState = false) const;
    std::string Dump(TCanvasOp op, bool withState = false) const;

private:
    TCanvasCall& Record(TCanvasOp op);

    TPoint FPenPos;
    int FTextAlign = TA_LEFT | TA_TOP;
    TBackMode FBackMode = TBackMode::Opaque;
    TColor FBackColor = clWhite;
    bool FClipped = false;
    TRect FClip;
    int FFrameWidth = 0, FFrameHeight = 0;
};

}  // namespace zyn::chart
