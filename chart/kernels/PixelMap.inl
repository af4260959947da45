// The pixel mapping, lanes at a time: built once per instruction set by a file that names the
// set's namespace (ZYN_KERNEL_NS) and its lanes. Every lane takes the operations of the plain
// reference in the same order (no fused multiply-add), so it gives the very same pixels.
#include "chart/kernels/PixelMapStep.h"
#include "chart/kernels/Lanes.h"
#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels::ZYN_KERNEL_NS {

namespace {

// Whole lanes of sure values from k on; returns where it stopped: at a lane group holding a
// value that is not sure, or where fewer values than lanes are left.
std::size_t MapLanes(const TPixelScale& s, const double* values, double multiplier, std::size_t n, std::size_t k,
                     int* out) {
    constexpr std::size_t kLanes = TDoubles::kCount;
    const TDoubles mul = Splat(multiplier), min = Splat(s.Min), scale = Splat(s.Scale);
    const TDoubles shift = Splat(kRoundShift), half = Splat(0.5), nearPixels = Splat(kNearPixels);
    const TDoubles relative = Splat(kHalfSlackRelative), least = Splat(kHalfSlackLeast);
    const TDoubles base = Splat(double(s.Base)), sign = Splat(double(s.Sign));
    for (; k + kLanes <= n; k += kLanes) {
        const TDoubles a = (Load(values + k) * mul - min) * scale;
        const TDoubles r = (a + shift) - shift;
        const TDoubles size = Abs(a);
        const TDoubles slack = Abs(Abs(a - r) - half);
        if ((Less(size, nearPixels) & Greater(slack, size * relative + least)) != kAllLanes) break;
        StoreInts(out + k, base + sign * r);
    }
    return k;
}

}  // namespace

std::size_t MapSure(const TPixelScale& scale, const double* values, double multiplier, std::size_t n, int* out) {
    std::size_t k = 0;
    // Within 2^30 pixels of the axis' end a sure pixel needs no clamp, which the lanes leave out.
    if (scale.Base > -kNearPixels && scale.Base < kNearPixels) k = MapLanes(scale, values, multiplier, n, k, out);
    while (k < n && MapOne(scale, values[k] * multiplier, out[k])) ++k;
    return k;
}

}  // namespace zyn::chart::kernels::ZYN_KERNEL_NS
