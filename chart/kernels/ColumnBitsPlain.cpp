// The reference of the column bits writer: each marked pixel on its own, on any processor.
#include <algorithm>
#include <bit>

#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels::plain {

void WriteColumnBits(const TPixelRows& rows, const TColumnBitsJob& job) {
    // 16 columns by 64 rows of all layers at a time, so that the rows written stay in the cache.
    constexpr int kStrip = 16;
    const std::size_t words = static_cast<std::size_t>(job.Words);
    for (int strip = job.From; strip < job.To; strip += kStrip)
        for (int w = 0; w < job.Words; ++w) {
            // The word's rows that lie within the rows written.
            const std::int64_t base = std::int64_t(job.Top) + 64 * w;
            const std::int64_t lo = std::max<std::int64_t>(job.FirstRow - base, 0);
            const std::int64_t hi = std::min<std::int64_t>(job.LastRow - base, 63);
            if (lo > hi) continue;
            const std::uint64_t visible = (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
            for (std::size_t l = 0; l < job.Count; ++l)
                for (int c = strip; c < std::min(job.To, strip + kStrip); ++c) {
                    unsigned char* pixels = rows.Bits + std::ptrdiff_t(job.X + c) * 4;
                    const std::uint64_t bits = job.Layers[l][static_cast<std::size_t>(c) * words + static_cast<std::size_t>(w)];
                    for (std::uint64_t set = bits & visible; set; set &= set - 1)
                        *reinterpret_cast<std::uint32_t*>(pixels + std::ptrdiff_t(base + std::countr_zero(set)) * rows.Stride) =
                            job.Colors[l];
                }
        }
}

}  // namespace zyn::chart::kernels::plain
