#pragma once
#include <QImage>
#include <QRect>

#include <cwchar>

#include <algorithm>
#include <cstdint>
#include <span>

#include "chart/Canvas.h"
#include "chart/kernels/Kernels.h"

namespace zyn::chart {

// Where a canvas's spans of logical pixels go when it draws on its own frame image: straight
// into the image's rows, at a whole or a fractional device pixel ratio, or, during a capture, to
// the capture's sink as boxes. Most of a chart is such spans, and a painter's per-call cost
// would dominate them. At a fractional ratio r a span of n logical pixels starts where its
// first pixel lies on the scaled grid and is ceil(n × r) device pixels long, so that a line has
// one thickness wherever it lies.
class TRasterTarget {
public:
    // Writes into the rows of `image` from now on where its pixel ratio lies within 1 .. 8, and
    // nothing otherwise. The image must not be shared (as while a painter is active on it).
    void Attach(QImage& image);
    // Writes nothing from now on.
    void Detach() { FScale = 0, FFraction = 0; }
    bool Writes() const { return FScale > 0 || FFraction > 0; }
    // The whole pixel ratio written at; 0 at a fractional one, or where nothing is written.
    int WholeRatio() const { return FScale; }
    // The logical pixels that may be painted: the image within the clip.
    void SetVisible(const QRect& visible) { FVisible = visible; }

    // Paints the visible ones of logical pixels x0 .. x1 by y0 .. y1 in rgb or, inverting, with
    // not (rgb xor pixel), which a second painting undoes. A capture takes the box instead, as
    // the pen's or the brush's. Only while Writes(). Inline: most of a frame's pixels come
    // through here, span by span.
    void Fill(int x0, int y0, int x1, int y1, QRgb rgb, bool inverting, bool pen) {
        x0 = std::max(x0, FVisible.left());
        y0 = std::max(y0, FVisible.top());
        x1 = std::min(x1, FVisible.right());
        y1 = std::min(y1, FVisible.bottom());
        if (x1 < x0 || y1 < y0) return;
        if (FCapture) {
            Capture(x0, y0, x1, y1, inverting, pen);
            return;
        }
        if (FScale > 0)
            WriteBox(x0 * FScale, (x1 + 1) * FScale, y0 * FScale, (y1 + 1) * FScale, rgb, inverting);
        else
            FillFractional(x0, y0, x1, y1, rgb, inverting);
    }

    // Column bits as TChartCanvas3D::FillColumnBits paints them, at a whole pixel ratio: layer l
    // in colors[l].
    void FillColumnBits(int x, int top, int words, int columns, std::span<const std::uint64_t* const> layers,
                        std::span<const QRgb> colors);
    // The plain kernels instead of the processor's fastest; both give the very same pixels.
    void UsePlainKernels(bool plain) { FKernels = plain ? &kernels::PlainKernels() : &kernels::Kernels(); }

    // From BeginCapture to EndCapture boxes go to the sink and nothing is written; at whole pixel
    // ratios only, where every logical pixel has the same device pixels whatever paints it.
    bool BeginCapture(TChartCanvas3D::TPixelSink& sink);
    // Whether every shape since BeginCapture reached the sink.
    bool EndCapture();
    bool Capturing() const { return FCapture != nullptr; }
    // True during a capture, which then lacks the shape about to be painted some other way.
    bool LoseCapture() {
        if (!FCapture) return false;
        FCaptureLost = true;
        return true;
    }

private:
    void Capture(int x0, int y0, int x1, int y1, bool inverting, bool pen);
    // Visible logical pixels at a fractional ratio.
    void FillFractional(int x0, int y0, int x1, int y1, QRgb rgb, bool inverting);
    // Device pixels x0 .. x1 - 1 by y0 .. y1 - 1.
    void WriteBox(int x0, int x1, int y0, int y1, QRgb rgb, bool inverting) {
        const int n = x1 - x0;
        for (int y = y0; y < y1; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(FBits + qsizetype(y) * FStride) + x0;
            if (inverting) {
                // Written in place: painting it twice restores the pixels.
                for (int i = 0; i < n; ++i) row[i] = ~(rgb ^ row[i]) | 0xFF000000u;
            } else {
                FillPixels(row, n, rgb);
            }
        }
    }
    // Long runs go through the C library's vectorised wide-character fill (wchar_t is a 32-bit
    // pixel here); short ones are cheaper as a plain loop.
    static void FillPixels(QRgb* row, int n, QRgb rgb) {
        static_assert(sizeof(wchar_t) == sizeof(QRgb));
        if (n >= 16) {
            std::wmemset(reinterpret_cast<wchar_t*>(row), static_cast<wchar_t>(rgb), static_cast<size_t>(n));
            return;
        }
        for (int i = 0; i < n; ++i) row[i] = rgb;
    }

    int FScale = 0;       // whole pixel ratio written at; 0: none
    qreal FFraction = 0;  // fractional pixel ratio written at; 0: none
    uchar* FBits = nullptr;
    qsizetype FStride = 0;
    int FDeviceWidth = 0, FDeviceHeight = 0;
    int FWidth = 0, FHeight = 0;  // logical
    QRect FVisible;
    const kernels::TKernels* FKernels = &kernels::Kernels();

    TChartCanvas3D::TPixelSink* FCapture = nullptr;
    bool FCaptureLost = false;
};

}  // namespace zyn::chart
