#include "chart/compose/ValueRanges.h"

#include <bit>
#include <cmath>

#include "chart/Series.h"

namespace zyn::chart {

bool TValueRanges::Of(const TChartValueList& list) {
    if (&list != list_ || list.Stamp() != stamp_) {
        list_ = &list;
        stamp_ = list.Stamp();
        values_ = list.Data();
        n_ = static_cast<size_t>(list.Count());
        Build();
    }
    return !nan_;
}

void TValueRanges::Build() {
    nan_ = false;
    const size_t n = n_, b = kBlock;
    blockMin_.assign((n + b - 1) / b, 0);
    blockMax_.assign(blockMin_.size(), 0);
    for (size_t k = 0; k < blockMin_.size(); ++k) {
        double lo = values_[k * b], hi = lo;
        for (size_t i = k * b; i < std::min(n, k * b + b); ++i) {
            const double v = values_[i];
            if (std::isnan(v)) nan_ = true;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        blockMin_[k] = lo;
        blockMax_[k] = hi;
    }
    const size_t blocks = blockMin_.size();
    groupMin_.assign((blocks + b - 1) / b, 0);
    groupMax_.assign(groupMin_.size(), 0);
    for (size_t g = 0; g < groupMin_.size(); ++g) {
        groupMin_[g] = *std::min_element(blockMin_.begin() + g * b, blockMin_.begin() + std::min(blocks, g * b + b));
        groupMax_[g] = *std::max_element(blockMax_.begin() + g * b, blockMax_.begin() + std::min(blocks, g * b + b));
    }
    // Ties go to the earlier value, as a loop from the start finds them. Chosen without
    // branching, which the values' order would mispredict half the time.
    static_assert(kBlock == 8, "offsets within a block and a span are kept in three bits");
    inBlock_.assign(n, 0);
    for (size_t k = 0; k < blocks; ++k) {
        const size_t start = k * b, len = std::min(n, start + b) - start;
        const double* v = values_ + start;
        unsigned lo = 0, hi = 0;
        for (unsigned t = 0; t < len; ++t) {
            lo = v[t] < v[lo] ? t : lo;
            hi = v[t] > v[hi] ? t : hi;
            inBlock_[start + t] = static_cast<std::uint16_t>(lo << 6 | hi << 9);
        }
        lo = hi = static_cast<unsigned>(len - 1);
        for (unsigned t = static_cast<unsigned>(len); t-- > 0;) {
            lo = v[lo] < v[t] ? lo : t;
            hi = v[hi] > v[t] ? hi : t;
            inBlock_[start + t] = static_cast<std::uint16_t>(inBlock_[start + t] | lo | hi << 3);
        }
    }
    // A span of 2^level blocks is two of half the length; one past the last block stays whole.
    spanArg_.assign(blocks, {});
    for (size_t level = 1; level <= 3; ++level) {
        const size_t half = size_t{1} << (level - 1);
        // The least and greatest block of the half-length span from block j.
        auto halfSpan = [&](size_t j, size_t& lo, size_t& hi) {
            lo = j + (level > 1 ? spanArg_[j][level - 2] : 0);
            hi = j + (level > 1 ? spanArg_[j][level + 1] : 0);
        };
        for (size_t k = 0; k < blocks; ++k) {
            size_t lo = 0, hi = 0;
            halfSpan(k, lo, hi);
            if (k + half < blocks) {
                size_t lo2 = 0, hi2 = 0;
                halfSpan(k + half, lo2, hi2);
                lo = blockMin_[lo2] < blockMin_[lo] ? lo2 : lo;
                hi = blockMax_[hi2] > blockMax_[hi] ? hi2 : hi;
            }
            spanArg_[k][level - 1] = static_cast<std::uint8_t>(lo - k);
            spanArg_[k][level + 2] = static_cast<std::uint8_t>(hi - k);
        }
    }
}

bool TValueRanges::RangeMinMax(int a, int b, double& lo, double& hi) const {
    if (a < 0 || b >= static_cast<int>(n_) || b < a || nan_) return false;
    const double multiplier = list_->Multiplier();
    constexpr int B = kBlock, G = kBlock * kBlock;
    const int ba = a / B, bb = b / B, between = bb - ba - 1;
    if (between >= 0 && between < 16) {
        // From a to its block's end, from b's block start to b, and the blocks between as two
        // spans of 2^level blocks that together cover them.
        const double* v = values_;
        const unsigned head = inBlock_[static_cast<size_t>(a)], tail = inBlock_[static_cast<size_t>(b)];
        const size_t headAt = static_cast<size_t>(ba) * B, tailAt = static_cast<size_t>(bb) * B;
        double mn = std::min(v[headAt + (head & 7)], v[tailAt + (tail >> 6 & 7)]);
        double mx = std::max(v[headAt + (head >> 3 & 7)], v[tailAt + (tail >> 9 & 7)]);
        if (between > 0) {
            const int level = std::bit_width(static_cast<unsigned>(between)) - 1;
            const auto from = static_cast<size_t>(ba + 1), to = static_cast<size_t>(bb - (1 << level));
            size_t loA = from, loB = to, hiA = from, hiB = to;
            if (level > 0) {
                loA += spanArg_[from][static_cast<size_t>(level - 1)];
                loB += spanArg_[to][static_cast<size_t>(level - 1)];
                hiA += spanArg_[from][static_cast<size_t>(level + 2)];
                hiB += spanArg_[to][static_cast<size_t>(level + 2)];
            }
            mn = std::min({mn, blockMin_[loA], blockMin_[loB]});
            mx = std::max({mx, blockMax_[hiA], blockMax_[hiB]});
        }
        lo = mn * multiplier;
        hi = mx * multiplier;
        if (lo > hi) std::swap(lo, hi);
        return !std::isnan(lo) && !std::isnan(hi);
    }
    double mn = values_[static_cast<size_t>(a)], mx = mn;
    auto take = [&](double l, double h) {
        mn = std::min(mn, l);
        mx = std::max(mx, h);
    };
    int i = a;
    const int end = b + 1;
    // Single values up to a block boundary, blocks up to a group boundary, then groups, and
    // back down at the far end.
    auto value = [&](int k) {
        const double v = values_[static_cast<size_t>(k)];
        take(v, v);
    };
    auto block = [&](int k) { take(blockMin_[static_cast<size_t>(k / B)], blockMax_[static_cast<size_t>(k / B)]); };
    for (; i < end && i % B != 0; ++i) value(i);
    for (; i + B <= end && i % G != 0; i += B) block(i);
    for (; i + G <= end; i += G) take(groupMin_[static_cast<size_t>(i / G)], groupMax_[static_cast<size_t>(i / G)]);
    for (; i + B <= end; i += B) block(i);
    for (; i < end; ++i) value(i);
    lo = mn * multiplier;
    hi = mx * multiplier;
    if (lo > hi) std::swap(lo, hi);
    return !std::isnan(lo) && !std::isnan(hi);
}

bool TValueRanges::LastOutside(int a, int b, double lo, double hi, int& found) const {
    if (a < 0 || b >= static_cast<int>(n_) || nan_) return false;
    constexpr int B = kBlock, G = kBlock * kBlock;
    const double m = list_->Multiplier();
    // Multiplying keeps the order of values or reverses it: the extremes of a block stay its
    // extremes.
    auto reaches = [&](double mn, double mx) {
        double l = mn * m, h = mx * m;
        if (l > h) std::swap(l, h);
        return l < lo || h > hi;
    };
    for (int i = b; i >= a;) {
        // A whole group or block ending at i is passed over where no value of it reaches out.
        if ((i + 1) % G == 0 && i + 1 - G >= a &&
            !reaches(groupMin_[static_cast<size_t>(i / G)], groupMax_[static_cast<size_t>(i / G)])) {
            i -= G;
            continue;
        }
        if ((i + 1) % B == 0 && i + 1 - B >= a &&
            !reaches(blockMin_[static_cast<size_t>(i / B)], blockMax_[static_cast<size_t>(i / B)])) {
            i -= B;
            continue;
        }
        const double v = values_[static_cast<size_t>(i)] * m;
        if (v < lo || v > hi) {
            found = i;
            return true;
        }
        --i;
    }
    found = a - 1;
    return true;
}

}  // namespace zyn::chart
