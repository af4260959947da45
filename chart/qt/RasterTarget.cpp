#include "chart/qt/RasterTarget.h"

#include <algorithm>
#include <cmath>

namespace zyn::chart {

namespace {

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
    // The image is ceil(size × ratio) device pixels, so this floor is the logical size.
    FWidth = int(std::floor(FDeviceWidth / ratio + 1e-9));
    FHeight = int(std::floor(FDeviceHeight / ratio + 1e-9));
    if (ratio == std::floor(ratio))
        FScale = int(ratio);
    else
        FFraction = ratio;
}

void TRasterTarget::Capture(int x0, int y0, int x1, int y1, bool inverting, bool pen) {
    if (inverting || FScale <= 0)
        FCaptureLost = true;
    else
        FCapture->Box(TRect{x0, y0, x1 + 1, y1 + 1}, pen);
}

void TRasterTarget::FillFractional(int x0, int y0, int x1, int y1, QRgb rgb, bool inverting) {
    const qreal r = FFraction;
    auto edge = [r](int v) { return int(std::floor(v * r + 0.5)); };
    // Where the scaled grid ends within the image's last device pixel, that pixel belongs to the
    // last logical one, or no fill would reach it and text blended onto it would darken it
    // frame by frame.
    auto far = [&](int v, int size, int device) { return v == size ? device : std::min(edge(v), device); };
    int dx0, dx1, dy0, dy1;
    FractionalSpan(x0, x1, r, edge(FVisible.left()), far(FVisible.right() + 1, FWidth, FDeviceWidth), dx0, dx1);
    FractionalSpan(y0, y1, r, edge(FVisible.top()), far(FVisible.bottom() + 1, FHeight, FDeviceHeight), dy0, dy1);
    if (dx1 <= dx0 || dy1 <= dy0) return;
    WriteBox(dx0, dx1, dy0, dy1, rgb, inverting);
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
