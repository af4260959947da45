// The reference of the column bits writer: each marked pixel on its own, on any processor.
#include <algorithm>
#include <bit>

#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels::plain {

void WriteColumnBits(const TPixelRows& rows, const TColumnBitsJob& job) {
    // Copied, since a pixel written might otherwise be the job's int read next.
    const int x = job.X, from = job.From, to = job.To, words = job.Words;
    const std::int64_t top = job.Top, firstRow = job.FirstRow, lastRow = job.LastRow;
    unsigned char* const bits = rows.Bits;
    const std::ptrdiff_t stride = rows.Stride;
    // 16 columns by 64 rows of all layers at a time, so that the rows written stay in the cache.
    constexpr int kStrip = 16;
    for (int strip = from; strip < to; strip += kStrip)
        for (int w = 0; w < words; ++w) {
            // The word's rows that lie within the rows written.
            const std::int64_t base = top + 64 * w;
            const std::int64_t lo = std::max<std::int64_t>(firstRow - base, 0), hi = std::min<std::int64_t>(lastRow - base, 63);
            if (lo > hi) continue;
            const std::uint64_t visible = (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
            for (std::size_t l = 0; l < job.Count; ++l) {
                const std::uint64_t* const layer = job.Layers[l] + w;
                const std::uint32_t color = job.Colors[l];
                for (int c = strip; c < std::min(to, strip + kStrip); ++c) {
                    unsigned char* pixels = bits + std::ptrdiff_t(x + c) * 4;
                    for (std::uint64_t set = layer[std::size_t(c) * std::size_t(words)] & visible; set; set &= set - 1)
                        *reinterpret_cast<std::uint32_t*>(pixels + std::ptrdiff_t(base + std::countr_zero(set)) * stride) = color;
                }
            }
        }
}

}  // namespace zyn::chart::kernels::plain
