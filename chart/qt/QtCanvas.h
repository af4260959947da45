#pragma once
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chart/Canvas.h"
#include "chart/qt/RasterTarget.h"

class QPaintDevice;

namespace zyn::chart {

// The chart canvas on an off-screen QImage, drawn with QPainter without antialiasing
// (text keeps its antialiasing) and with the desktop pixel rules:
// - one-pixel lines (LineTo, Polyline, outlines) leave out their end pixel and are
//   rasterised here pixel by pixel, so every pixel is owned exactly once; a zero-length line
//   paints nothing; dotted and dashed styles step per pixel (dash 18/6, dot 3/3, dash-dot
//   9/6/3/6, dash-dot-dot 9/3/3/3/3/3, SmallDots 1/1) and their gaps take the background
//   colour in opaque background mode;
// - pens wider than one pixel are solid, cover the whole segment including both end points
//   and spread Width / 2 pixels to the left/top of the centre line and the rest to the
//   right/bottom (slanted segments get round ends);
// - ellipse outlines are solid whatever the pen style;
// - Rectangle, FillRect, Ellipse and the clip rectangle exclude their right and bottom edge;
// - pmNotXor inverts with the pen (and brush) colour and is self-erasing;
// - system colours come from the application palette and clAutoColor paints nothing.
// All coordinates are logical pixels; the image is rendered at DevicePixelRatio(). At a
// fractional ratio a span of n logical pixels starts on the scaled grid and is ceil(n × ratio)
// device pixels long, so a line has one thickness wherever it lies.
//
// On its own frame image the canvas writes most shapes as spans of pixels straight into the
// image's rows (TRasterTarget); on any other device, and for what spans cannot paint (text,
// slanted wide lines, polygons, hatches), it draws with the painter.
//
// A QGuiApplication must exist. The painter is open only between BeginFrame and EndFrame.
// Drawing calls outside a frame open a painter on demand on the current image (or on the
// device given to BeginPaintOn); Image(), RedrawFromBuffer, Release and the next BeginFrame
// close it again, so the image is never read while a painter is active on it.
class TQtCanvas : public TChartCanvas3D {
public:
    TQtCanvas();
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

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
    // For printable ASCII: the sum of the characters' advances and of each adjacent pair's
    // kerning, less a margin for what the shaper may do beyond pairs.
    bool TextWidthAtLeast(std::string_view text, int& width) override;
    void SetTextAlign(int flags) override { FTextAlign = flags; }
    int TextAlign() const override { return FTextAlign; }

    void SetBackgroundMode(TBackMode mode) override { FBackMode = mode; }
    void SetBackgroundColor(TColor color) override { FBackColor = color; }
    TBackMode BackgroundMode() const { return FBackMode; }
    TColor BackgroundColor() const { return FBackColor; }

    // Solid copy-mode pens wider than one pixel paint axis-aligned lines as boxes; solid
    // copy-mode pens paint box polygons as a ring with the brush inside.
    bool PenBoxes(TPenBoxes& boxes) override;
    // Column bits and captures at whole pixel ratios of the frame image only.
    TCapabilities Capabilities() override;
    // At whole pixel ratios only; shapes that go through the painter are lost to a capture.
    bool BeginCapture(TPixelSink& sink) override;
    bool FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) override;
    bool EndCapture() override;
    // Whether the canvas writes its pixels with the plain kernels, as on any processor, instead
    // of the fastest this processor runs (the default); both give the very same pixels.
    void UsePlainKernels(bool plain) { FRaster.UsePlainKernels(plain); }

    void SetClip(const TRect& r) override;
    void ClearClip() override;

    // Makes an image of width x height logical pixels current (kept while size and pixel
    // ratio stay the same, otherwise replaced by a white one), lifts the clip and opens the
    // painter on it.
    void BeginFrame(int width, int height) override;
    // Closes the painter and marks the buffer valid.
    void EndFrame() override;
    // The window copies Image() itself; this only makes sure the image can be read.
    void RedrawFromBuffer() override;

    // Device pixels per logical pixel; takes effect at the next BeginFrame.
    void SetDevicePixelRatio(qreal ratio);
    qreal DevicePixelRatio() const { return FRatio; }

    // The last frame; closes a painter opened on demand.
    const QImage& Image() const;

    // Draws on another device (a widget in its paint event, a copy of the image) until
    // EndPaintOn; the clip and the current position carry over. Ends a frame in progress.
    void BeginPaintOn(QPaintDevice* device);
    void EndPaintOn();
    // Closes a painter opened on demand.
    void Release() const;

    // The colour a TColor paints with; false for clAutoColor (nothing is painted).
    static bool ResolveColor(TColor c, QColor& out);
    // The pixel size of a font of the given points at 96 pixels per inch.
    static int FontPixelSize(int points);

    // The Qt font the current Font maps to, and its ascent in pixels.
    const QFont& QtFont() { return CurrentFont().QtFont; }
    int FontAscent() { return CurrentFont().Ascent; }

private:
    struct TStringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    // Advances of printable ASCII in 1/64 pixels, learnt per character and per adjacent pair
    // on first use; kUnknown where not measured yet.
    struct TAdvanceTable {
        static constexpr std::int64_t kUnknown = INT64_MIN;
        static constexpr int kFirst = 0x20, kCount = 0x7F - 0x20;
        explicit TAdvanceTable(const QFont& font) : Metrics(font) {}
        std::int64_t Char(unsigned char c) {
            const std::int64_t a = Chars[c - kFirst];
            return a != kUnknown ? a : LearnChar(c);
        }
        std::int64_t Pair(unsigned char a, unsigned char b) {
            const std::int64_t k = Pairs[(a - kFirst) * kCount + (b - kFirst)];
            return k != kUnknown ? k : LearnPair(a, b);
        }
        std::int64_t LearnChar(unsigned char c);
        std::int64_t LearnPair(unsigned char a, unsigned char b);
        QFontMetricsF Metrics;
        std::vector<std::int64_t> Chars = std::vector<std::int64_t>(kCount, kUnknown);
        std::vector<std::int64_t> Pairs = std::vector<std::int64_t>(kCount * kCount, kUnknown);
    };
    struct TFontEntry {
        TCanvasFont Key;
        QFont QtFont;
        QFontMetrics Metrics;
        int Height = 0;
        int Ascent = 0;
        std::unordered_map<std::string, int, TStringHash, std::equal_to<>> Widths;
        std::unique_ptr<TAdvanceTable> Advances;  // made when a bound is first asked for
    };

    bool Ready();
    bool BeginBox(int& x0, int& y0, int& x1, int& y1);
    void ResetPainterState();
    void ApplyPen();
    void ApplyBrush();
    TFontEntry& CurrentFont();
    void SetComposition(QPainter::CompositionMode mode);
    void ApplyClip();

    // Pixel-level helpers in logical coordinates; rectangles are inclusive pixel ranges. Fill
    // paints a span as the pen's (pen) or the brush's.
    void Fill(int x0, int y0, int x1, int y1, QRgb rgb, const QColor& color, bool pen);
    void PenSpan(int x0, int y0, int x1, int y1, bool on);
    void SolidBox(int L, int T, int R, int B);
    void FillSpan(int x0, int y0, int x1, int y1);
    void ThinLine(int x0, int y0, int x1, int y1);
    void WideSegment(int x0, int y0, int x1, int y1);
    void Segment(int x0, int y0, int x1, int y1);
    void FillPolygonArea(std::span<const TPoint> points);

    QImage FImage;
    int FWidth = 0, FHeight = 0;
    mutable QPainter FPainter;
    TRasterTarget FRaster;  // writes into FImage while the painter is open on it
    QPaintDevice* FExternal = nullptr;
    qreal FRatio = 1.0;
    bool FInFrame = false;

    TPoint FPenPos;
    int FTextAlign = TA_LEFT | TA_TOP;
    TBackMode FBackMode = TBackMode::Opaque;
    TColor FBackColor = clWhite;
    bool FClipped = false;
    TRect FClip;
    bool FClipEmpty = false;
    QRect FVisible;  // logical pixels that can be painted: the device bounds and the clip

    // What was last applied, so unchanged state costs one comparison.
    TCanvasPen FAppliedPen;
    bool FPenValid = false;
    bool FPenVisible = false;
    bool FPenThin = true;
    QColor FPenColor;
    QRgb FPenRgb = 0;
    QPainter::CompositionMode FPenComposition = QPainter::CompositionMode_SourceOver;
    const bool* FDash = nullptr;  // one entry per pixel of the style period; null for solid
    int FDashPeriod = 0;
    int FDashPos = 0;              // where the style continues along the current line
    bool FGapVisible = false;      // the gaps of a styled pen are painted (opaque mode)
    QColor FGapColor;
    QPen FWidePen;

    TCanvasBrush FAppliedBrush;
    bool FBrushValid = false;
    bool FBrushVisible = false;
    bool FBrushSolid = true;
    QColor FBrushColor;
    QRgb FBrushRgb = 0;
    // Made only when the painter needs it: a bare colour change stays cheap.
    QBrush FQtBrush;
    Qt::BrushStyle FQtBrushStyle = Qt::SolidPattern;
    bool FQtBrushStale = true;
    const QBrush& QtBrush();

    // Painter state, so that setPen/setBrush/setCompositionMode run only on change.
    enum class TPainterPen { Unknown, None, Wide, Text };
    TPainterPen FPainterPen = TPainterPen::Unknown;
    QRgb FPainterTextColor = 0;
    const TFontEntry* FPainterFont = nullptr;
    bool FPainterBrushSet = false;
    QPainter::CompositionMode FComposition = QPainter::CompositionMode_SourceOver;

    // True when capturing; the painter call that follows is then lost to the capture.
    bool CaptureLost() { return FRaster.LoseCapture(); }

    std::vector<int> FRowLeft, FRowRight;  // ellipse rows, kept to spare allocations
    std::vector<char> FRowHas;
    std::vector<const std::uint64_t*> FLayerBits;  // column bits' shown layers, likewise
    std::vector<QRgb> FLayerRgb;

    std::vector<std::unique_ptr<TFontEntry>> FFonts;
    TFontEntry* FFont = nullptr;
};

}  // namespace zyn::chart
