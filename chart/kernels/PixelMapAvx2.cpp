// The pixel mapping four values at a time, built with -mavx2.
#define ZYN_KERNEL_NS avx2
#define ZYN_LANES_AVX2 1
#include "chart/kernels/PixelMap.inl"
