#pragma once
// The engine's processor kernels: each has one signature, a plain reference that every build
// has, and variants for instruction sets, each built in its own file with its own compiler
// flags. Kernels() picks the variants once, from what the processor offers; nothing else asks
// which processor it runs on.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zyn::chart::kernels {

// --- pixel mapping --------------------------------------------------------------------------

// An axis' mapping of values to pixels through the product with its scale: the pixel of a value
// v is Base + Sign * round((v - Min) * Scale), ties to even, clamped to 32 bits.
struct TPixelScale {
    double Min, Scale;
    std::int64_t Base, Sign;
};
// Maps values[k] * multiplier into out[k] from k = 0 on while the product gives the pixel the
// quotient (v - Min) * Length / Size would give: the product strays from it by a few units in
// the last place, which can only change a pixel near a half; far (2^30 pixels and more) and
// undefined values are not mapped either. Returns the index of the first value it did not map
// (n when it mapped all); nothing at or beyond it is written.
using TMapSure = std::size_t (*)(const TPixelScale& scale, const double* values, double multiplier, std::size_t n,
                                 int* out);

// --- column bits into pixel rows ------------------------------------------------------------

// Rows of 32-bit pixels: pixel (x, y) lies at Bits + y * Stride + 4 * x.
struct TPixelRows {
    unsigned char* Bits;
    std::ptrdiff_t Stride;
};
// Layers of column bits to write: bit k of Layers[l][c * Words + w] marks pixel (X + c,
// Top + 64 * w + k) in Colors[l]. Only columns From .. To - 1 (counted from X) and rows
// FirstRow .. LastRow are written; a pixel marked by several layers takes the last one's colour.
struct TColumnBitsJob {
    int X, Top, Words;
    int From, To;
    int FirstRow, LastRow;
    const std::uint64_t* const* Layers;
    const std::uint32_t* Colors;
    std::size_t Count;
};
using TWriteColumnBits = void (*)(const TPixelRows& rows, const TColumnBitsJob& job);

// --- the table ------------------------------------------------------------------------------

struct TKernels {
    TMapSure MapSure;
    TWriteColumnBits WriteColumnBits;
};
// The fastest variants this processor runs, chosen on first use.
const TKernels& Kernels();
// The plain references.
const TKernels& PlainKernels();

// Every variant of a kernel this engine knows, for tests that hold each against the reference:
// Kernel is null where this build has no such variant, and Runs false where the processor
// lacks Needs.
template <class Fn>
struct TVariant {
    const char* Name;
    const char* Needs;
    bool Runs;
    Fn Kernel;
};
std::span<const TVariant<TMapSure>> MapSureVariants();
std::span<const TVariant<TWriteColumnBits>> WriteColumnBitsVariants();

}  // namespace zyn::chart::kernels
