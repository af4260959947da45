// The column bits writer a row at a time, built with -mavx512f -mavx512bw -mavx512dq
// -mavx512vbmi -mgfni: blocks of 16 columns by 64 rows of column bits written row by row, where
// the processor has 16-lane masked stores and bit transposition. A row of a block is one store,
// each lane in the colour of the last layer that marks it (up to kLayersAtOnce layers at a time;
// more are written in turns, in order).
#include <immintrin.h>

#include <cstdint>

#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels::avx512 {

// The compiler's own intrinsics leave the unused source of a masked operation undefined on
// purpose, which its flow analysis takes for an uninitialised value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

// Nothing here is shared with files built for other processors, not even a library template.
template <class T>
constexpr T Least(T a, T b) { return b < a ? b : a; }
template <class T>
constexpr T Most(T a, T b) { return a < b ? b : a; }

constexpr std::size_t kLayersAtOnce = 16;
// Four bits of the layer number whatever the count, so that the loops over them unroll; the
// plane after them holds the lanes any layer marks.
constexpr int kLayerBits = 4;
constexpr int kAny = kLayerBits;

// The bits of 8 column words (lane j: column j) as 64 row masks (byte r: bit j for column j's
// row r): qword b gathers byte b of every column, the last column first, and each such 8 x 8
// matrix is transposed. Two such halves are then interleaved into 16-column masks.
struct TRowMasks {
    __m512i Regroup, LowRows, HighRows, Identity;
    TRowMasks() {
        alignas(64) std::uint8_t regroup[64], low[64], high[64];
        for (int p = 0; p < 64; ++p) {
            regroup[p] = static_cast<std::uint8_t>(8 * (7 - p % 8) + p / 8);
            low[p] = static_cast<std::uint8_t>((p % 2 ? 64 : 0) + p / 2);
            high[p] = static_cast<std::uint8_t>((p % 2 ? 64 : 0) + 32 + p / 2);
        }
        Regroup = _mm512_load_si512(regroup);
        LowRows = _mm512_load_si512(low);
        HighRows = _mm512_load_si512(high);
        Identity = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ULL));
    }
    // out[r]: bit i for column i's row r, columns 0-7 from left and 8-15 from right.
    [[gnu::always_inline]] inline void Transpose(__m512i left, __m512i right, __mmask16* out) const {
        const __m512i l = _mm512_gf2p8affine_epi64_epi8(Identity, _mm512_permutexvar_epi8(Regroup, left), 0);
        const __m512i r = _mm512_gf2p8affine_epi64_epi8(Identity, _mm512_permutexvar_epi8(Regroup, right), 0);
        _mm512_store_si512(out, _mm512_permutex2var_epi8(l, LowRows, r));
        _mm512_store_si512(out + 32, _mm512_permutex2var_epi8(l, HighRows, r));
    }
};

// Columns strip .. strip + 15 as lanes: which of them are written, where their words lie from
// column From's (the words of the columns lie `Words` apart and are gathered, not stored and
// reloaded), and the strip's first pixel in row 0.
struct TStrip {
    __mmask8 Left, Right;
    __m512i LeftAt, RightAt;
    unsigned char* Column;
};

// Blocks begin where a row's 16 pixels are one cache line (in the rows whose start lies like the
// first's), so that writing a row of a block touches one line and not two. `pixels` is column
// X's pixel in row 0.
int FirstStrip(const unsigned char* pixels, const TColumnBitsJob& job) {
    const auto skew = static_cast<int>(reinterpret_cast<std::uintptr_t>(pixels) % 64 / 4);
    const int start = job.From - (skew + job.From) % 16;
    return reinterpret_cast<std::uintptr_t>(pixels) % 4 != 0 || job.X + start < 0 ? job.From : start;
}

[[gnu::always_inline]] inline TStrip StripAt(int strip, const TColumnBitsJob& job, unsigned char* pixels) {
    const __m512i lane = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), apart = _mm512_set1_epi64(job.Words);
    const int firstLane = Most(0, job.From - strip), endLane = Least(16, job.To - strip);
    const auto valid = static_cast<unsigned>(((1u << endLane) - 1) & ~((1u << firstLane) - 1));
    TStrip s;
    s.Left = static_cast<__mmask8>(valid & 0xFF);
    s.Right = static_cast<__mmask8>(valid >> 8);
    s.LeftAt = _mm512_mullo_epi64(_mm512_add_epi64(_mm512_set1_epi64(strip - job.From), lane), apart);
    s.RightAt = _mm512_add_epi64(s.LeftAt, _mm512_mullo_epi64(_mm512_set1_epi64(8), apart));
    s.Column = pixels + std::ptrdiff_t(strip) * 4;
    return s;
}

// Word w of layers l0 onwards, one turn of them, over the strip: the rows of `shown` they mark,
// each lane of a row in the colour of the last layer that marks it.
[[gnu::always_inline]] inline void WriteTurn(const TPixelRows& rows, const TColumnBitsJob& job, const TStrip& s, int w,
                                             std::int64_t base, __m512i shown, std::size_t l0,
                                             const TRowMasks& rowMasks) {
    const std::size_t count = Least(kLayersAtOnce, job.Count - l0);
    // Per lane plane b: the lanes whose last marking layer's number has bit b, and kAny: any.
    __m512i left[kAny + 1], right[kAny + 1];
    for (int b = 0; b <= kAny; ++b) left[b] = right[b] = _mm512_setzero_si512();
    for (std::size_t l = 0; l < count; ++l) {
        const std::uint64_t* first = job.Layers[l0 + l] + static_cast<std::size_t>(job.From) * static_cast<std::size_t>(job.Words) +
                                     static_cast<std::size_t>(w);
        const __m512i none = _mm512_setzero_si512();
        const __m512i a = _mm512_and_si512(_mm512_mask_i64gather_epi64(none, s.Left, s.LeftAt, first, 8), shown);
        const __m512i c = _mm512_and_si512(_mm512_mask_i64gather_epi64(none, s.Right, s.RightAt, first, 8), shown);
        // A later layer takes the pixels it marks from the earlier ones.
        for (int b = 0; b < kLayerBits; ++b) {
            left[b] = (l >> b) & 1 ? _mm512_or_si512(left[b], a) : _mm512_andnot_si512(a, left[b]);
            right[b] = (l >> b) & 1 ? _mm512_or_si512(right[b], c) : _mm512_andnot_si512(c, right[b]);
        }
        left[kAny] = _mm512_or_si512(left[kAny], a);
        right[kAny] = _mm512_or_si512(right[kAny], c);
    }
    alignas(64) std::uint64_t either[8];
    _mm512_store_si512(either, _mm512_or_si512(left[kAny], right[kAny]));
    std::uint64_t marked = 0;
    for (const std::uint64_t word : either) marked |= word;
    if (!marked) return;
    // Per row r: masks[b][r] the lanes whose layer's number has bit b, masks[kAny][r] those
    // any layer marks.
    alignas(64) __mmask16 masks[kAny + 1][64];
    for (int b = 0; b < kLayerBits; ++b) rowMasks.Transpose(left[b], right[b], masks[b]);
    rowMasks.Transpose(left[kAny], right[kAny], masks[kAny]);
    const __m512i colours = _mm512_maskz_loadu_epi32(static_cast<__mmask16>((1u << count) - 1), job.Colors + l0);
    for (; marked; marked &= marked - 1) {
        const int r = __builtin_ctzll(marked);
        __m512i index = _mm512_setzero_si512();
        for (int b = 0; b < kLayerBits; ++b)
            index = _mm512_mask_or_epi32(index, _load_mask16(&masks[b][r]), index, _mm512_set1_epi32(1 << b));
        _mm512_mask_storeu_epi32(s.Column + std::ptrdiff_t(base + r) * rows.Stride, _load_mask16(&masks[kAny][r]),
                                 _mm512_permutexvar_epi32(index, colours));
    }
}

}  // namespace

void WriteColumnBits(const TPixelRows& givenRows, const TColumnBitsJob& givenJob) {
    // Copied, since the stores below may write any type, the job's fields included.
    const TPixelRows rows = givenRows;
    const TColumnBitsJob job = givenJob;
    unsigned char* const pixels = rows.Bits + std::ptrdiff_t(job.X) * 4;
    const TRowMasks rowMasks;
    for (int strip = FirstStrip(pixels, job); strip < job.To; strip += 16) {
        const TStrip s = StripAt(strip, job, pixels);
        for (int w = 0; w < job.Words; ++w) {
            // The word's rows that lie within the rows written.
            const std::int64_t base = std::int64_t(job.Top) + 64 * w;
            const std::int64_t lo = Most<std::int64_t>(job.FirstRow - base, 0), hi = Least<std::int64_t>(job.LastRow - base, 63);
            if (lo > hi) continue;
            const std::uint64_t visible = (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
            const __m512i shown = _mm512_set1_epi64(static_cast<long long>(visible));
            for (std::size_t l0 = 0; l0 < job.Count; l0 += kLayersAtOnce) WriteTurn(rows, job, s, w, base, shown, l0, rowMasks);
        }
    }
}

#pragma GCC diagnostic pop

}  // namespace zyn::chart::kernels::avx512
