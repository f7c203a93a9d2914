// The smoothing kernels with AVX2: 32 cells in one register. Only this file
// is compiled for AVX2, and its kernels are used only when the processor
// reports AVX2, so the program still runs on processors without it.
#include "SmoothingBands.h"

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(__clang__)
#define MORVANE_SMOOTHING_AVX2 1
#include <immintrin.h>
// Every function defined from here on, the kernel templates included, is
// compiled for AVX2; the library headers are included above, outside.
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "SmoothingKernels.h"

namespace Smoothing {

#ifdef MORVANE_SMOOTHING_AVX2

namespace {

struct TAvx2Ops
{
    using V = __m256i;

    static V Load(const uint8_t *p) { return _mm256_load_si256(reinterpret_cast<const __m256i *>(p)); }
    static void Store(uint8_t *p, V v) { _mm256_store_si256(reinterpret_cast<__m256i *>(p), v); }
    static V Splat(uint8_t c) { return _mm256_set1_epi8(char(c)); }
    static V MaxU(V a, V b) { return _mm256_max_epu8(a, b); }
    static V MinU(V a, V b) { return _mm256_min_epu8(a, b); }
    static V AddSatU(V a, V b) { return _mm256_adds_epu8(a, b); }
    static V SubSatU(V a, V b) { return _mm256_subs_epu8(a, b); }
    static V AvgU(V a, V b) { return _mm256_avg_epu8(a, b); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    static V Add(V a, V b) { return _mm256_add_epi8(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi8(a, b); }
    static V Eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V GtS(V a, V b) { return _mm256_cmpgt_epi8(a, b); }
    static V Blend(V a, V b, V m) { return _mm256_blendv_epi8(a, b, m); }
    // alignr shifts within each 128-bit half; the permute supplies the byte
    // that crosses into the half.
    static V ShiftUp(V x, V y) { return _mm256_alignr_epi8(x, _mm256_permute2x128_si256(y, x, 0x21), 15); }
    static V ShiftDown(V x, V y) { return _mm256_alignr_epi8(_mm256_permute2x128_si256(x, y, 0x21), x, 1); }
    static V AddSatS(V a, V b) { return _mm256_adds_epi8(a, b); }
    static V SubSatS(V a, V b) { return _mm256_subs_epi8(a, b); }
    static V AbsS(V a) { return _mm256_abs_epi8(a); }
    static V SignS(V a, V b) { return _mm256_sign_epi8(a, b); }
    static bool Any(V a) { return !_mm256_testz_si256(a, a); }
};

using TKernels = TBandKernels<TAvx2Ops>;

const TKernelSet Avx2Set = {
    &TKernels::Terrain<true>,
    &TKernels::Terrain<false>,
    &TKernels::Mountains,
};

} // namespace

#endif

const TKernelSet *Avx2Kernels()
{
#ifdef MORVANE_SMOOTHING_AVX2
    if (__builtin_cpu_supports("avx2"))
        return &Avx2Set;
#endif
    return nullptr;
}

} // namespace Smoothing

#ifdef MORVANE_SMOOTHING_AVX2
#pragma GCC pop_options
#endif
