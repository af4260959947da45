#pragma once
// One value of the pixel mapping: the plain reference maps every value so, the wider variants
// the values their lanes leave over. The function is static, so that each file built for an
// instruction set keeps a copy of its own and no build of it reaches a processor without that
// set.
#include <cmath>
#include <cstdint>

#include "chart/PixelMath.h"
#include "chart/kernels/Kernels.h"

namespace zyn::chart::kernels {

// Beyond 2^30 pixels a pixel sum may leave int; such values are left to the exact mapping.
constexpr double kNearPixels = 1073741824.0;
// How far from a half the product's fraction must lie to round as the quotient's would:
// relative to its size, and at least a little.
constexpr double kHalfSlackRelative = 0x1p-48, kHalfSlackLeast = 0x1p-40;

// out := the pixel of `value` and true, where the product gives the quotient's pixel; false,
// with out untouched, where it may not.
static inline bool MapOne(const TPixelScale& s, double value, int& out) {
    const double a = (value - s.Min) * s.Scale;
    const double r = (a + kRoundShift) - kRoundShift;
    const double size = std::fabs(a);
    if (!(size < kNearPixels && std::fabs(std::fabs(a - r) - 0.5) > size * kHalfSlackRelative + kHalfSlackLeast))
        return false;
    const std::int64_t p = s.Base + s.Sign * static_cast<std::int64_t>(r);
    out = p < INT32_MIN ? INT32_MIN : p > INT32_MAX ? INT32_MAX : static_cast<int>(p);
    return true;
}

}  // namespace zyn::chart::kernels
