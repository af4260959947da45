#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "chart/Colors.h"
#include "chart/PixelMath.h"
#include "chart/Setting.h"

namespace zyn::chart {

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum class TPenMode { pmCopy, pmNotXor };
enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum class TBackMode { Transparent, Opaque };

// Text alignment flags as the platform takes them.
constexpr int TA_LEFT = 0;
constexpr int TA_RIGHT = 2;
constexpr int TA_CENTER = 6;
constexpr int TA_TOP = 0;
constexpr int TA_BOTTOM = 8;

// The state of the canvas pen; a plain value so a canvas can tell cheaply whether it changed.
struct TCanvasPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    TPenMode Mode = TPenMode::pmCopy;
    bool SmallDots = false;  // one-pixel alternating dots
    friend bool operator==(const TCanvasPen&, const TCanvasPen&) = default;
};

struct TCanvasBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
    friend bool operator==(const TCanvasBrush&, const TCanvasBrush&) = default;
};

struct TCanvasFont {
    std::string Name = "Arial";
    int Size = 10;  // points, at 96 pixels per inch
    TColor Color = clBlack;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    friend bool operator==(const TCanvasFont&, const TCanvasFont&) = default;
};

// A chart pen: a platform pen with a visibility flag. A pen made with an owner tells it of
// every change; a copy tells no one.
class TChartPen {
public:
    TChartPen() = default;
    TChartPen(TColor color, int width, TPenStyle style, bool visible)
        : Color(color), Width(width), Style(style), Visible(visible) {}
    explicit TChartPen(TChangeSink* owner, TColor color = clBlack, int width = 1,
                       TPenStyle style = TPenStyle::psSolid, bool visible = true)
        : Color(owner, color), Width(owner, width), Style(owner, style), Mode(owner, TPenMode::pmCopy),
          Visible(owner, visible), SmallDots(owner, false) {}
    TSetting<TColor> Color{clBlack};
    TSetting<int> Width{1};
    TSetting<TPenStyle> Style{TPenStyle::psSolid};
    TSetting<TPenMode> Mode{TPenMode::pmCopy};
    TSetting<bool> Visible{true};
    TSetting<bool> SmallDots{false};
    friend bool operator==(const TChartPen&, const TChartPen&) = default;
};

class TChartHiddenPen : public TChartPen {
public:
    TChartHiddenPen() { Visible = false; }
    explicit TChartHiddenPen(TChangeSink* owner) : TChartPen(owner, clBlack, 1, TPenStyle::psSolid, false) {}
};

class TChartBrush {
public:
    TChartBrush() = default;
    explicit TChartBrush(TChangeSink* owner, TColor color = clAutoColor, TBrushStyle style = TBrushStyle::bsSolid)
        : Color(owner, color), Style(owner, style) {}
    TSetting<TColor> Color{clAutoColor};
    TSetting<TBrushStyle> Style{TBrushStyle::bsSolid};
    friend bool operator==(const TChartBrush&, const TChartBrush&) = default;
};

// The drawing surface of the chart. Coordinates are logical pixels. Pixel rules: a one-pixel
// LineTo does not paint its end pixel, a wider pen covers the whole segment with both ends;
// Rectangle/Ellipse right and bottom edges are exclusive; the clip rectangle is right/bottom
// exclusive. Implementations draw with the current Pen, Brush and
// Font and apply a changed one only when it differs from what they last applied.
class TChartCanvas3D {
public:
    virtual ~TChartCanvas3D() = default;

    TCanvasPen Pen;
    TCanvasBrush Brush;
    TCanvasFont Font;

    // Current-position lines.
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    void Line(int x0, int y0, int x1, int y1) { MoveTo(x0, y0); LineTo(x1, y1); }
    void HorizontalLine(int x0, int x1, int y) { MoveTo(x0, y); LineTo(x1, y); }
    void VerticalLine(int x, int y0, int y1) { MoveTo(x, y0); LineTo(x, y1); }

    virtual void Rectangle(int x0, int y0, int x1, int y1) = 0;
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    virtual void FillRect(const TRect& r) = 0;
    virtual void Polyline(std::span<const TPoint> points) = 0;
    virtual void Polygon(std::span<const TPoint> points) = 0;
    virtual void Ellipse(int x0, int y0, int x1, int y1) = 0;

    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual int TextWidth(std::string_view text) = 0;
    virtual int TextHeight(std::string_view text) = 0;
    int FontLineHeight() { return TextHeight("W"); }
    // A width that TextWidth(text) is sure to reach in the current font, for a canvas that can
    // tell it far more cheaply than it measures; false when it cannot tell.
    virtual bool TextWidthAtLeast(std::string_view /*text*/, int& /*width*/) { return false; }
    virtual void SetTextAlign(int flags) = 0;
    virtual int TextAlign() const = 0;

    virtual void SetBackgroundMode(TBackMode mode) = 0;
    virtual void SetBackgroundColor(TColor color) = 0;

    // Rings of one-pixel 3D frame drawn inward; top/left in topColor, bottom/right in
    // bottomColor; rect shrinks by width on every side.
    void Frame3D(TRect& rect, TColor topColor, TColor bottomColor, int width);

    // An invisible pen gives a clear pen; otherwise colour, width, style and mode are copied.
    void AssignChartPen(const TChartPen& pen);
    void PrepareFillBrush(TColor color, TBrushStyle style, TColor backColor);

    // How this canvas paints shapes of the current pen where it paints them as boxes of pixels,
    // so that a series can work out what later shapes cover. Lines: a line along a row or
    // column is the box through its centre pixels, both ends included, widened by Before
    // pixels to the left and above and After pixels to the right and below. Outlines: the
    // four-corner polygon of an axis-aligned rectangle paints the box through its corner
    // pixels widened alike, and a visible brush fills that box shrunk by Width on every side
    // (nothing when none is left). False where the canvas paints neither so, or where a
    // logical pixel's device pixels depend on the shape that paints it, so that joining or
    // splitting shapes of one colour would change the picture.
    struct TPenBoxes {
        bool Lines = false, Outlines = false;
        int Before = 0, After = 0, Width = 1;
    };
    virtual bool PenBoxes(TPenBoxes& /*boxes*/) { return false; }
    // The box a line from (x0, y0) to (x1, y1) along a row or column paints (right and bottom
    // exclusive, empty when nothing is painted); false as PenBoxes.
    bool LineBox(int x0, int y0, int x1, int y1, TRect& box);
    // For the polygon of the rectangle with corners (x0, y0) and (x1, y1): the box its outline
    // and fill cover and the inside a visible brush fills over the outline.
    bool BoxPolygonBoxes(int x0, int y0, int x1, int y1, TRect& outline, TRect& inside);

    // What series that compose their pixels may ask of this canvas in the frame being drawn
    // (it may depend on the frame's pixel ratio): FillColumnBits paints column bits, and
    // BeginCapture hands out the pixels of shapes. Asked once a frame, not probed per call.
    struct TCapabilities {
        bool ColumnBits = false, Capture = false;
        friend bool operator==(const TCapabilities&, const TCapabilities&) = default;
    };
    virtual TCapabilities Capabilities() { return {}; }

    // Where the pixels of captured shapes go: boxes (right and bottom exclusive, within the
    // clip), each painted with the pen's colour or with the brush's, in painting order.
    class TPixelSink {
    public:
        virtual void Box(const TRect& box, bool pen) = 0;

    protected:
        ~TPixelSink() = default;
    };
    // Between BeginCapture and EndCapture shapes are not painted: the pixels they would paint
    // go to the sink, so that a series can compose what stays visible of many shapes and
    // paint only that. BeginCapture is false, and nothing is captured, where the canvas cannot
    // hand out its pixels exactly (as for PenBoxes); EndCapture is false when a shape since
    // would have been painted in a way that cannot be handed out, whose pixels are missing.
    virtual bool BeginCapture(TPixelSink& /*sink*/) { return false; }
    virtual bool EndCapture() { return false; }
    // One colour's pixels of columns x .. x + columns - 1 for FillColumnBits: bit k of
    // Bits[c·words + w] is row top + 64·w + k of column x + c.
    struct TColumnBits {
        const std::uint64_t* Bits;
        TColor Color;
    };
    // Fills each layer's pixels in its colour, as FillRect of each run of them with a solid
    // brush would, for series that composed their pixels; no two layers share a pixel. False,
    // with nothing painted, where the canvas paints a run differently once neighbouring columns
    // join it. The brush is left as it is.
    virtual bool FillColumnBits(int /*x*/, int /*top*/, int /*words*/, int /*columns*/,
                                std::span<const TColumnBits> /*layers*/) {
        return false;
    }

    virtual void SetClip(const TRect& r) = 0;
    virtual void ClearClip() = 0;

    // Pen black, width 1, solid; brush white, solid; font black, 10 points; background
    // white and transparent.
    void ResetCanvas();

    // The off-screen buffer: BeginFrame makes a bitmap of the given size current (replacing
    // one of another size); EndFrame marks it valid. RedrawFromBuffer presents the last frame
    // unchanged.
    virtual void BeginFrame(int width, int height) = 0;
    virtual void EndFrame() { BufferValid = true; }
    virtual void RedrawFromBuffer() {}
    void InvalidateBuffer() { BufferValid = false; }
    bool BufferValid = false;
    bool OffscreenDraw = true;
};

}  // namespace zyn::chart
