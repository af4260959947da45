// Each processor kernel's variants against its plain reference, byte for byte, over random
// input. A variant this processor cannot run is reported as skipped, never passed on the
// reference's word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "chart/kernels/Kernels.h"

namespace zyn::chart::kernels {

// A failing variant is named, not dumped as bytes.
template <class Fn>
void PrintTo(const TVariant<Fn>& variant, std::ostream* out) {
    *out << variant.Name;
}

namespace {

template <class Fn>
std::string VariantName(const testing::TestParamInfo<TVariant<Fn>>& info) {
    return info.param.Name;
}

// GTEST_SKIP leaves only the function it stands in, so this is a macro.
#define SKIP_UNLESS_IT_RUNS(variant)                                                                \
    do {                                                                                            \
        if (!(variant).Kernel) GTEST_SKIP() << (variant).Name << " is not built for this processor"; \
        if (!(variant).Runs) GTEST_SKIP() << "this processor lacks " << (variant).Needs;             \
    } while (false)

// --- pixel mapping --------------------------------------------------------------------------

// A value of one of the kinds that try the mapping: anywhere about the span, on a pixel's
// centre or edge or a few units in the last place beside it, far beyond 2^30 pixels, huge,
// infinite or undefined.
double MapValue(std::mt19937_64& rng, const TPixelScale& s) {
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const double pixel = 1 / s.Scale;
    switch (rng() % 8) {
        case 0:
        case 1: return s.Min + uniform(-1, 2) * 4000 * pixel;
        case 2:
        case 3: {
            double v = s.Min + (double(std::int64_t(rng() % 8000) - 2000) + 0.5 * double(rng() % 2)) * pixel;
            for (int steps = int(rng() % 7) - 3; steps != 0; steps += steps > 0 ? -1 : 1)
                v = std::nextafter(v, steps > 0 ? HUGE_VAL : -HUGE_VAL);
            return v;
        }
        case 4: return s.Min + (rng() % 2 ? 1 : -1) * 0x1p30 * pixel * uniform(0.999999, 1.000001);
        case 5: {
            const double huge[] = {1e12, 1e300, std::numeric_limits<double>::max(), 0x1p52, 0x1p31};
            return (rng() % 2 ? 1 : -1) * huge[rng() % 5];
        }
        case 6: {
            const double odd[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL, 0.0, -0.0,
                                  std::numeric_limits<double>::denorm_min()};
            return odd[rng() % 6];
        }
        default: return s.Min;
    }
}

TPixelScale MapScale(std::mt19937_64& rng) {
    const double length = double(1 + rng() % 5000);
    const double size = std::pow(10.0, std::uniform_real_distribution<double>(-7, 10)(rng));
    const double min = std::uniform_real_distribution<double>(-1e6, 1e6)(rng) * (rng() % 4 ? 1 : 1e-6);
    // Axis ends on the screen, and now and then far enough off it for the pixel sum to clamp.
    const std::int64_t ends[] = {0, 1 << 29, (std::int64_t(1) << 30) - 1, std::int64_t(1) << 30, INT32_MAX, INT32_MIN,
                                 std::int64_t(1) << 40};
    const std::int64_t base = rng() % 4 ? std::int64_t(rng() % 4000) : (rng() % 2 ? 1 : -1) * ends[rng() % 7];
    return TPixelScale{min, length / size, base, rng() % 2 ? 1 : -1};
}

class PixelMapKernel : public testing::TestWithParam<TVariant<TMapSure>> {};

TEST_P(PixelMapKernel, MapsAsTheReference) {
    const TVariant<TMapSure>& variant = GetParam();
    SKIP_UNLESS_IT_RUNS(variant);
    const TMapSure reference = PlainKernels().MapSure;
    constexpr int kSentinel = 0x5A5A5A5A;
    constexpr std::size_t kMost = 80, kOffsets = 4;
    std::vector<double> values(kMost + kOffsets);
    std::vector<int> expected(kMost + kOffsets), actual(kMost + kOffsets);
    std::size_t mapped = 0, stops = 0;
    for (std::uint64_t seed = 1; seed <= 20000; ++seed) {
        std::mt19937_64 rng(seed);
        const TPixelScale s = MapScale(rng);
        const double multipliers[] = {1, 1, 1, 0.01, -1, 7.3};
        const double multiplier = multipliers[rng() % 6];
        // Odd lengths and unaligned starts, so that lanes meet every kind of remainder.
        const std::size_t n = rng() % kMost, at = rng() % kOffsets;
        for (std::size_t k = 0; k < n; ++k) values[at + k] = MapValue(rng, s) / multiplier;
        expected.assign(expected.size(), kSentinel);
        actual.assign(actual.size(), kSentinel);
        // As the mapping's caller goes on: from just after each value the kernel stopped at.
        for (std::size_t k = 0; k <= n; ++k) {
            const std::size_t want = reference(s, values.data() + at + k, multiplier, n - k, expected.data() + at + k);
            const std::size_t got = variant.Kernel(s, values.data() + at + k, multiplier, n - k, actual.data() + at + k);
            ASSERT_EQ(got, want) << "seed " << seed << ", from value " << k << " of " << n;
            ASSERT_TRUE(expected == actual) << "seed " << seed << ", from value " << k << " of " << n;
            mapped += want;
            k += want;
            stops += k < n;
        }
    }
    // Both the lanes and the values they must leave to the exact mapping were met often.
    EXPECT_GT(mapped, 200000u);
    EXPECT_GT(stops, 50000u);
}

INSTANTIATE_TEST_SUITE_P(Variants, PixelMapKernel, testing::ValuesIn(MapSureVariants().begin(), MapSureVariants().end()),
                         VariantName<TMapSure>);

// --- column bits writer ---------------------------------------------------------------------

// A random job on a random frame of pixel rows: columns and rows reaching beyond the visible
// ones on every side, and up to 40 layers of sparse, dense, empty or full words, overlapping.
struct TColumnBitsCase {
    int Width, Height, Pad, Skew;
    std::vector<std::uint32_t> Frame;  // the pixels before writing, padding beyond each row
    std::vector<std::vector<std::uint64_t>> Layers;
    std::vector<const std::uint64_t*> LayerBits;
    std::vector<std::uint32_t> Colors;
    TColumnBitsJob Job;

    explicit TColumnBitsCase(std::mt19937_64& rng) {
        auto between = [&](int a, int b) { return a + int(rng() % std::uint64_t(b - a + 1)); };
        Width = between(1, 120), Height = between(1, 300), Pad = between(0, 3), Skew = between(0, 15);
        Frame.resize(std::size_t((Width + Pad) * Height));
        for (std::uint32_t& p : Frame) p = std::uint32_t(rng());
        const int left = between(0, Width - 1), right = between(left, Width - 1);
        const int top = between(0, Height - 1), bottom = between(top, Height - 1);
        const int x = between(left - 40, right), columns = between(1, 80);
        const int words = between(1, 5), firstRow = between(top - 150, bottom);
        const std::size_t count = std::size_t(between(0, 40));
        for (std::size_t l = 0; l < count; ++l) {
            const std::uint64_t density[] = {0, ~std::uint64_t(0), rng(), rng() & rng() & rng(), rng() | rng()};
            std::vector<std::uint64_t>& bits = Layers.emplace_back(std::size_t(columns * words));
            for (std::uint64_t& word : bits) word = rng() % 3 ? density[l % 5] & rng() : density[rng() % 5];
            LayerBits.push_back(bits.data());
            Colors.push_back(std::uint32_t(rng()));
        }
        // As the canvas cuts the columns to the visible ones.
        Job = TColumnBitsJob{x, firstRow, words, std::max(0, left - x), std::min(columns, right - x + 1), top, bottom,
                             LayerBits.data(), Colors.data(), count};
    }

    // The frame after `write`, laid Skew pixels after a cache line's start.
    std::vector<std::uint32_t> Written(TWriteColumnBits write) const {
        std::vector<std::uint32_t> buffer(Frame.size() + 32);
        const std::size_t first = (64 - reinterpret_cast<std::uintptr_t>(buffer.data()) % 64) % 64 / 4 + std::size_t(Skew);
        std::memcpy(buffer.data() + first, Frame.data(), Frame.size() * 4);
        write(TPixelRows{reinterpret_cast<unsigned char*>(buffer.data() + first), std::ptrdiff_t(Width + Pad) * 4}, Job);
        return std::vector<std::uint32_t>(buffer.begin() + std::ptrdiff_t(first),
                                          buffer.begin() + std::ptrdiff_t(first + Frame.size()));
    }
};

class ColumnBitsKernel : public testing::TestWithParam<TVariant<TWriteColumnBits>> {};

TEST_P(ColumnBitsKernel, WritesAsTheReference) {
    const TVariant<TWriteColumnBits>& variant = GetParam();
    SKIP_UNLESS_IT_RUNS(variant);
    std::size_t changed = 0;
    for (std::uint64_t seed = 1; seed <= 3000; ++seed) {
        std::mt19937_64 rng(seed);
        const TColumnBitsCase c(rng);
        const std::vector<std::uint32_t> expected = c.Written(PlainKernels().WriteColumnBits);
        const TColumnBitsJob& j = c.Job;
        ASSERT_TRUE(c.Written(variant.Kernel) == expected)
            << "seed " << seed << ": " << c.Width << " x " << c.Height << " pixels, columns " << j.X + j.From << " .. "
            << j.X + j.To - 1 << ", rows " << j.FirstRow << " .. " << j.LastRow << ", " << j.Words << " words from row "
            << j.Top << ", " << j.Count << " layers";
        changed += expected != c.Frame;
    }
    // Most cases write pixels at all.
    EXPECT_GT(changed, 1500u);
}

INSTANTIATE_TEST_SUITE_P(Variants, ColumnBitsKernel,
                         testing::ValuesIn(WriteColumnBitsVariants().begin(), WriteColumnBitsVariants().end()),
                         VariantName<TWriteColumnBits>);

}  // namespace
}  // namespace zyn::chart::kernels
