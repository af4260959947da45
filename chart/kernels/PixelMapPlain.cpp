// The reference of the pixel mapping: one value at a time, on any processor.
#include "chart/kernels/PixelMapStep.h"
#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels::plain {

std::size_t MapSure(const TPixelScale& scale, const double* values, double multiplier, std::size_t n, int* out) {
    std::size_t k = 0;
    while (k < n && MapOne(scale, values[k] * multiplier, out[k])) ++k;
    return k;
}

}  // namespace zyn::chart::kernels::plain
