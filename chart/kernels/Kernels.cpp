#include "chart/kernels/Kernels.h"

#include "chart/kernels/Variants.h"

namespace zyn::chart::kernels {

namespace {

// The one place that asks which processor this is.
#ifdef ZYN_KERNELS_X86
bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
bool HasRowStores() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("gfni");
}
#endif

TKernels Choose() {
    TKernels chosen = PlainKernels();
#ifdef ZYN_KERNELS_X86
    chosen.MapSure = HasAvx2() ? avx2::MapSure : sse2::MapSure;
    if (HasRowStores()) chosen.WriteColumnBits = avx512::WriteColumnBits;
#endif
    return chosen;
}

}  // namespace

const TKernels& PlainKernels() {
    static const TKernels plain{plain::MapSure, plain::WriteColumnBits};
    return plain;
}

const TKernels& Kernels() {
    static const TKernels chosen = Choose();
    return chosen;
}

std::span<const TVariant<TMapSure>> MapSureVariants() {
#ifdef ZYN_KERNELS_X86
    static const TVariant<TMapSure> variants[] = {
        {"SSE2", "SSE2", true, sse2::MapSure},
        {"AVX2", "AVX2", HasAvx2(), avx2::MapSure},
    };
#else
    static const TVariant<TMapSure> variants[] = {
        {"SSE2", "SSE2", false, nullptr},
        {"AVX2", "AVX2", false, nullptr},
    };
#endif
    return variants;
}

std::span<const TVariant<TWriteColumnBits>> WriteColumnBitsVariants() {
    constexpr const char* kNeeds = "AVX-512 F, BW, DQ and VBMI, and GFNI";
#ifdef ZYN_KERNELS_X86
    static const TVariant<TWriteColumnBits> variants[] = {{"AVX512", kNeeds, HasRowStores(), avx512::WriteColumnBits}};
#else
    static const TVariant<TWriteColumnBits> variants[] = {{"AVX512", kNeeds, false, nullptr}};
#endif
    return variants;
}

}  // namespace zyn::chart::kernels
