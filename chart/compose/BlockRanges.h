#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>
#include <vector>

namespace zyn::chart {

// The least and greatest pixel rows of items over aligned blocks of 2, 4, .. 2^kLevels
// items, so that a drawing loop running from the last item back can judge a whole run of
// earlier items at once: where later shapes have already painted every row a block reaches,
// the block would paint nothing and is passed over.
class TBlockRanges {
public:
    static constexpr int kLevels = 6;

    // extent(k) gives item k's least and greatest row; items may reach beyond them nowhere.
    template <class Extent>
    void Build(size_t n, Extent&& extent) {
        size_t total = 0;
        for (int level = 1; level <= kLevels; ++level) {
            start_[level] = total;
            total += n >> level;
        }
        low_.resize(total);
        high_.resize(total);
        int *low = low_.data(), *high = high_.data();
        for (size_t b = 0; b < (n >> 1); ++b) {
            const auto [lo0, hi0] = extent(2 * b);
            const auto [lo1, hi1] = extent(2 * b + 1);
            low[b] = Least(lo0, lo1);
            high[b] = Greatest(hi0, hi1);
        }
        for (int level = 2; level <= kLevels; ++level) {
            const int *fromLow = low + start_[level - 1], *fromHigh = high + start_[level - 1];
            int *toLow = low + start_[level], *toHigh = high + start_[level];
            for (size_t b = 0; b < (n >> level); ++b) {
                toLow[b] = Least(fromLow[2 * b], fromLow[2 * b + 1]);
                toHigh[b] = Greatest(fromHigh[2 * b], fromHigh[2 * b + 1]);
            }
        }
    }
    // The rows of the block of 2^level items from item start, a multiple of 2^level.
    std::pair<int, int> Range(int level, int start) const {
        const size_t at = start_[level] + static_cast<size_t>(start >> level);
        return {low_[at], high_[at]};
    }
    // Where items before `next` remain: passes back over the largest aligned block that ends
    // there while hidden(level, start) holds for one, and returns the first item not passed
    // over. A block holds the smaller ones that end where it ends, so hidden must hold for them
    // wherever it holds for the block: blocks are tried from the smallest up, and most items,
    // whose smallest block shows, cost one try.
    template <class Hidden>
    static int PassOver(int next, Hidden&& hidden) {
        auto largest = [](int at) { return at > 0 ? std::min(std::countr_zero(static_cast<unsigned>(at)), kLevels) : 0; };
        for (;;) {
            const int most = largest(next);
            int level = 0;
            while (level < most && hidden(level + 1, next - (2 << level))) ++level;
            if (level == 0) return next;
            next -= 1 << level;
        }
    }
    // Whether the values run one way, as pixel columns of ascending x values do; a block that
    // begins on an item's column then lies on it up to that item.
    static bool Monotone(const int* values, size_t n) {
        bool rising = true, falling = true;
        for (size_t k = 1; k < n; ++k) {
            rising &= values[k] >= values[k - 1];
            falling &= values[k] <= values[k - 1];
        }
        return rising || falling;
    }

    // By value, so that the compiler picks without a branch on rows it cannot predict.
    static int Least(int a, int b) { return a < b ? a : b; }
    static int Greatest(int a, int b) { return a < b ? b : a; }

private:
    std::vector<int> low_, high_;  // per level its blocks, level after level
    size_t start_[kLevels + 1] = {};
};

}  // namespace zyn::chart
