#include "chart/qt/RasterTarget.h"

#include <cwchar>

#include <algorithm>
#include <cmath>

namespace zyn::chart {

namespace {

// Long runs go through the C library's vectorised wide-character fill (wchar_t is a 32-bit
// pixel here); short ones are cheaper as a plain loop.
void FillPixels(QRgb* row, int n, QRgb rgb) {
    static_assert(sizeof(wchar_t) == sizeof(QRgb));
    if (n >= 16) {
        std::wmemset(reinterpret_cast<wchar_t*>(row), static_cast<wchar_t>(rgb), static_cast<size_t>(n));
        return;
    }
    for (int i = 0; i < n; ++i) row[i] = rgb;
}

// The device pixels [d0, d1) of the logical pixels a..b at a fractional ratio r: the span starts
// where pixel a lies on the scaled grid and is ceil(n·r) device pixels long wherever it lies, so
// a line keeps one thickness and neighbouring spans leave no gap (they may overlap by one device
// pixel). lo..hi are the device pixels that may be painted.
void FractionalSpan(int a, int b, qreal r, int lo, int hi, int& d0, int& d1) {
    d0 = int(std::floor(a * r + 0.5));
    d1 = std::min(d0 + int(std::ceil((b - a + 1) * r - 1e-9)), hi);
    d0 = std::max(d0, lo);
}

}  // namespace

void TRasterTarget::Attach(QImage& image) {
    Detach();
    const qreal ratio = image.devicePixelRatio();
    if (ratio < 1 || ratio > 8) return;
    FBits = image.bits();
    FStride = image.bytesPerLine();
    FDeviceWidth = image.width();
    FDeviceHeight = image.height();
    if (ratio == std::floor(ratio))
        FScale = int(ratio);
    else
        FFraction = ratio;
}

bool TRasterTarget::DeviceBox(int x0, int y0, int x1, int y1, int& d0, int& d1, int& e0, int& e1) const {
    if (FScale > 0) {
        d0 = x0 * FScale, d1 = (x1 + 1) * FScale;
        e0 = y0 * FScale, e1 = (y1 + 1) * FScale;
        return true;
    }
    const qreal r = FFraction;
    auto edge = [r](int v) { return int(std::floor(v * r + 0.5)); };
    FractionalSpan(x0, x1, r, edge(FVisible.left()), std::min(edge(FVisible.right() + 1), FDeviceWidth), d0, d1);
    FractionalSpan(y0, y1, r, edge(FVisible.top()), std::min(edge(FVisible.bottom() + 1), FDeviceHeight), e0, e1);
    return d1 > d0 && e1 > e0;
}

void TRasterTarget::Fill(int x0, int y0, int x1, int y1, QRgb rgb, bool inverting, bool pen) {
    x0 = std::max(x0, FVisible.left());
    y0 = std::max(y0, FVisible.top());
    x1 = std::min(x1, FVisible.right());
    y1 = std::min(y1, FVisible.bottom());
    if (x1 < x0 || y1 < y0) return;
    if (FCapture) {
        if (inverting || FScale <= 0)
            FCaptureLost = true;
        else
            FCapture->Box(TRect{x0, y0, x1 + 1, y1 + 1}, pen);
        return;
    }
    int dx0, dx1, dy0, dy1;
    if (!DeviceBox(x0, y0, x1, y1, dx0, dx1, dy0, dy1)) return;
    const int n = dx1 - dx0;
    for (int y = dy0; y < dy1; ++y) {
        QRgb* row = Row(y) + dx0;
        if (inverting) {
            // Written in place: painting it twice restores the pixels.
            for (int i = 0; i < n; ++i) row[i] = ~(rgb ^ row[i]) | 0xFF000000u;
        } else {
            FillPixels(row, n, rgb);
        }
    }
}

void TRasterTarget::FillColumnBits(int x, int top, int words, int columns, std::span<const std::uint64_t* const> layers,
                                   std::span<const QRgb> colors) {
    if (FScale != 1) {
        for (size_t l = 0; l < layers.size(); ++l)
            for (int c = 0; c < columns; ++c)
                for (int w = 0; w < words; ++w)
                    ForEachRunOfBits(layers[l][static_cast<size_t>(c) * static_cast<size_t>(words) + static_cast<size_t>(w)],
                                     [&](int s, int len) {
                                         const int row = top + 64 * w + s;
                                         Fill(x + c, row, x + c, row + len - 1, colors[l], false, false);
                                     });
        return;
    }
    // One device pixel per bit, written in place.
    const kernels::TColumnBitsJob job{x, top, words,
                                      std::max(0, FVisible.left() - x), std::min(columns, FVisible.right() - x + 1),
                                      FVisible.top(), FVisible.bottom(),
                                      layers.data(), colors.data(), layers.size()};
    FKernels->WriteColumnBits(kernels::TPixelRows{FBits, FStride}, job);
}

bool TRasterTarget::BeginCapture(TChartCanvas3D::TPixelSink& sink) {
    if (FScale <= 0 || FCapture) return false;
    FCapture = &sink;
    FCaptureLost = false;
    return true;
}

bool TRasterTarget::EndCapture() {
    const bool whole = FCapture && !FCaptureLost;
    FCapture = nullptr;
    FCaptureLost = false;
    return whole;
}

}  // namespace zyn::chart
