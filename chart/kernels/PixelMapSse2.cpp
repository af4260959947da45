// The pixel mapping two values at a time, built with -msse2.
#define ZYN_KERNEL_NS sse2
#define ZYN_LANES_SSE2 1
#include "chart/kernels/PixelMap.inl"
