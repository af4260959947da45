#pragma once
// The variants of each kernel, each in the namespace of the instruction set its file is built
// for. Only the kernel table and the tests reach them, through Kernels.h.
#include "chart/kernels/Kernels.h"

namespace zyn::chart::kernels {

namespace plain {
std::size_t MapSure(const TPixelScale& scale, const double* values, double multiplier, std::size_t n, int* out);
void WriteColumnBits(const TPixelRows& rows, const TColumnBitsJob& job);
}  // namespace plain

namespace sse2 {
std::size_t MapSure(const TPixelScale& scale, const double* values, double multiplier, std::size_t n, int* out);
}  // namespace sse2

namespace avx2 {
std::size_t MapSure(const TPixelScale& scale, const double* values, double multiplier, std::size_t n, int* out);
}  // namespace avx2

namespace avx512 {
void WriteColumnBits(const TPixelRows& rows, const TColumnBitsJob& job);
}  // namespace avx512

}  // namespace zyn::chart::kernels
