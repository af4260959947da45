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
        ranges_.clear();
        ranges_.reserve(n);
        start_[1] = 0;
        for (size_t b = 0; 2 * b + 1 < n; ++b) {
            const auto [lo0, hi0] = extent(2 * b);
            const auto [lo1, hi1] = extent(2 * b + 1);
            ranges_.emplace_back(std::min(lo0, lo1), std::max(hi0, hi1));
        }
        for (int level = 2; level <= kLevels; ++level) {
            const size_t from = start_[level - 1], count = ranges_.size() - from;
            start_[level] = ranges_.size();
            for (size_t b = 0; 2 * b + 1 < count; ++b) {
                const std::pair<int, int> l = ranges_[from + 2 * b], r = ranges_[from + 2 * b + 1];
                ranges_.emplace_back(std::min(l.first, r.first), std::max(l.second, r.second));
            }
        }
    }
    // The rows of the block of 2^level items from item start, a multiple of 2^level.
    const std::pair<int, int>& Range(int level, int start) const {
        return ranges_[start_[level] + static_cast<size_t>(start >> level)];
    }
    // Where items before `next` remain: passes back over the aligned blocks that end there
    // while hidden(level, start) holds for one, trying the largest first, and returns the
    // first item not passed over.
    template <class Hidden>
    static int PassOver(int next, Hidden&& hidden) {
        auto largest = [](int at) { return at > 0 ? std::min(std::countr_zero(static_cast<unsigned>(at)), kLevels) : 0; };
        for (int level = largest(next); level >= 1;) {
            const int start = next - (1 << level);
            if (hidden(level, start)) {
                next = start;
                level = largest(next);
            } else {
                --level;
            }
        }
        return next;
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

private:
    std::vector<std::pair<int, int>> ranges_;
    size_t start_[kLevels + 1] = {};
};

}  // namespace zyn::chart
