#pragma once
// Lanes of doubles and the few operations on them that kernels written once for every width
// use. A file built for an instruction set defines ZYN_KERNEL_NS and ZYN_LANES_SSE2 or
// ZYN_LANES_AVX2, so that every function here is its own in the namespace of that set.
#if defined(ZYN_LANES_AVX2)
#include <immintrin.h>
#elif defined(ZYN_LANES_SSE2)
#include <emmintrin.h>
#else
#error "Lanes.h needs ZYN_LANES_SSE2 or ZYN_LANES_AVX2"
#endif

namespace zyn::chart::kernels::ZYN_KERNEL_NS {

#if defined(ZYN_LANES_AVX2)

struct TDoubles {
    static constexpr int kCount = 4;
    __m256d V;
};
inline TDoubles Load(const double* p) { return {_mm256_loadu_pd(p)}; }
inline TDoubles Splat(double v) { return {_mm256_set1_pd(v)}; }
inline TDoubles operator+(TDoubles a, TDoubles b) { return {_mm256_add_pd(a.V, b.V)}; }
inline TDoubles operator-(TDoubles a, TDoubles b) { return {_mm256_sub_pd(a.V, b.V)}; }
inline TDoubles operator*(TDoubles a, TDoubles b) { return {_mm256_mul_pd(a.V, b.V)}; }
inline TDoubles Abs(TDoubles a) { return {_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.V)}; }
// One bit per lane, set where the comparison holds (never for an undefined value).
inline unsigned Less(TDoubles a, TDoubles b) {
    return unsigned(_mm256_movemask_pd(_mm256_cmp_pd(a.V, b.V, _CMP_LT_OQ)));
}
inline unsigned Greater(TDoubles a, TDoubles b) {
    return unsigned(_mm256_movemask_pd(_mm256_cmp_pd(a.V, b.V, _CMP_GT_OQ)));
}
// The lanes, whole numbers within int, stored as ints.
inline void StoreInts(int* out, TDoubles a) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_cvttpd_epi32(a.V));
}

#else

struct TDoubles {
    static constexpr int kCount = 2;
    __m128d V;
};
inline TDoubles Load(const double* p) { return {_mm_loadu_pd(p)}; }
inline TDoubles Splat(double v) { return {_mm_set1_pd(v)}; }
inline TDoubles operator+(TDoubles a, TDoubles b) { return {_mm_add_pd(a.V, b.V)}; }
inline TDoubles operator-(TDoubles a, TDoubles b) { return {_mm_sub_pd(a.V, b.V)}; }
inline TDoubles operator*(TDoubles a, TDoubles b) { return {_mm_mul_pd(a.V, b.V)}; }
inline TDoubles Abs(TDoubles a) { return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.V)}; }
inline unsigned Less(TDoubles a, TDoubles b) { return unsigned(_mm_movemask_pd(_mm_cmplt_pd(a.V, b.V))); }
inline unsigned Greater(TDoubles a, TDoubles b) { return unsigned(_mm_movemask_pd(_mm_cmpgt_pd(a.V, b.V))); }
inline void StoreInts(int* out, TDoubles a) { _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_cvttpd_epi32(a.V)); }

#endif

constexpr unsigned kAllLanes = (1u << TDoubles::kCount) - 1;

}  // namespace zyn::chart::kernels::ZYN_KERNEL_NS
