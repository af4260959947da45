#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zyn::chart {

class TChartValueList;

// Summaries of a value list's stored values in blocks and groups of blocks, so that a drawing
// loop asking per pixel column for the least and greatest value of a range, or for the last
// value beyond bounds, reads a few summaries instead of every value. Built for the values as
// they stand and kept until they change (the list's stamp names them).
class TValueRanges {
public:
    // Makes these the summaries of the list's values; false where the list holds a NaN, which
    // no order holds. The list must outlive every query until the next call.
    bool Of(const TChartValueList& list);

    // The least and greatest value of the indices a .. b (multiplied); false for an empty or
    // invalid range.
    bool RangeMinMax(int a, int b, double& lo, double& hi) const;
    // The greatest index of a .. b whose value (multiplied) lies below lo or above hi, or
    // a - 1 where none does, passing over blocks whose values all lie within.
    bool LastOutside(int a, int b, double lo, double hi, int& found) const;
    // Fetches ahead what RangeMinMax reads for a range from or to index (a valid one), for a
    // loop that knows its coming ranges: read per pixel column, the values of a long list are
    // too far apart for the processor to foresee. Inlined before the compiler judges it free
    // of effects, which would drop its calls.
    [[gnu::always_inline]] void Prefetch(int index) const {
        const auto i = static_cast<size_t>(index);
        // Index's block of values, which may straddle two cache lines.
        constexpr size_t block = kBlock;
        __builtin_prefetch(values_ + i / block * block);
        __builtin_prefetch(values_ + std::min(i / block * block + block - 1, n_ - 1));
        if (i < inBlock_.size()) {
            __builtin_prefetch(inBlock_.data() + i);
            __builtin_prefetch(blockMin_.data() + i / block);
            __builtin_prefetch(blockMax_.data() + i / block);
            __builtin_prefetch(spanArg_.data() + i / block);
        }
    }

private:
    // Values per block, and blocks per group.
    static constexpr int kBlock = 8;
    void Build();

    const TChartValueList* list_ = nullptr;
    std::uint64_t stamp_ = 0;  // of the values summarised; 0: none
    const double* values_ = nullptr;
    size_t n_ = 0;
    bool nan_ = false;
    // Least and greatest stored value of each block of kBlock values, and of each group of
    // kBlock blocks.
    std::vector<double> blockMin_, blockMax_, groupMin_, groupMax_;
    // Per value, where in its block the least and greatest value lie from it to the block's
    // end (bits 0-2, 3-5) and from the block's start to it (bits 6-8, 9-11); per block, where
    // among the 2, 4 and 8 blocks from it the least (entries 0-2) and greatest (3-5) block lies.
    // Short ranges, as drawing loops ask per pixel column, are answered from these without
    // a loop.
    std::vector<std::uint16_t> inBlock_;
    std::vector<std::array<std::uint8_t, 6>> spanArg_;
};

}  // namespace zyn::chart
