#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

namespace zyn::chart {

// Adding and taking away 1.5 * 2^52 rounds a value below 2^51 in magnitude to the nearest
// integer, ties to even, in the default rounding mode, without the library call that drawing
// loops pay for per point.
constexpr double kRoundShift = 6755399441055744.0;
inline double RoundNear(double v) { return (v + kRoundShift) - kRoundShift; }

// Nearest integer, ties to the even neighbour; out-of-range values saturate (NaN gives 0)
// instead of being undefined.
inline int Round(double v) {
    if (v > -2251799813685248.0 && v < 2251799813685248.0) {
        const double r = RoundNear(v);
        if (r >= 2147483647.0) return 2147483647;
        if (r <= -2147483648.0) return -2147483647 - 1;
        return static_cast<int>(r);
    }
    const double r = std::nearbyint(v);
    if (!(r == r)) return 0;
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(r);
}
// Truncation toward zero with the same saturation.
inline long long Trunc64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return 9200000000000000000LL;
    if (v <= -9.2e18) return -9200000000000000000LL;
    return static_cast<long long>(v);
}
inline long double RoundL(long double v) { return std::nearbyintl(v); }

// Calls run(start, length) for each run of set bits of the word, lowest first.
template <class Run>
void ForEachRunOfBits(std::uint64_t bits, Run&& run) {
    while (bits) {
        const int s = std::countr_zero(bits);
        const std::uint64_t rest = ~(bits >> s);
        const int len = rest ? std::countr_zero(rest) : 64 - s;
        run(s, len);
        bits = s + len >= 64 ? 0 : bits & (~std::uint64_t(0) << (s + len));
    }
}

// Integer halving that truncates toward zero.
constexpr int Div2(int v) { return v / 2; }

// a*b/c rounded to nearest, halves away from zero (as the desktop platform's MulDiv).
constexpr int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t p = std::int64_t(a) * b;
    bool neg = (p < 0) != (c < 0);
    std::int64_t ap = p < 0 ? -p : p;
    std::int64_t ac = c < 0 ? -std::int64_t(c) : c;
    std::int64_t q = (ap * 2 + ac) / (ac * 2);
    return static_cast<int>(neg ? -q : q);
}

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    // Right and bottom edges excluded.
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// The intersection; empty when they do not overlap.
inline bool IntersectRect(TRect& out, const TRect& a, const TRect& b) {
    TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
            a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
    if (r.IsEmpty()) { out = TRect{}; return false; }
    out = r;
    return true;
}

struct TPoint {
    int X = 0, Y = 0;
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

}  // namespace zyn::chart
