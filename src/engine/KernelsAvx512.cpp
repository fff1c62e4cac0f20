// AVX-512 (F, BW, VL, DQ) kernels; chosen at run time only on processors that have them.
// GCC 12 warns inside its own reduction intrinsics (their undefined-vector idiom).
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/Float16.h"
#include "engine/Kernels.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma,f16c,avx512f,avx512bw,avx512vl,avx512dq")

namespace lumenote::engine::kernels::avx512 {

namespace {
using vf = __m512;
constexpr int W = 16;
inline vf vzero() { return _mm512_setzero_ps(); }
inline vf vset1(float a) { return _mm512_set1_ps(a); }
inline vf vload(const float* p) { return _mm512_loadu_ps(p); }
inline void vstore(float* p, vf v) { _mm512_storeu_ps(p, v); }
inline vf vadd(vf a, vf b) { return _mm512_add_ps(a, b); }
inline vf vsub(vf a, vf b) { return _mm512_sub_ps(a, b); }
inline vf vmul(vf a, vf b) { return _mm512_mul_ps(a, b); }
inline vf vdiv(vf a, vf b) { return _mm512_div_ps(a, b); }
inline vf vmax(vf a, vf b) { return _mm512_max_ps(a, b); }
inline vf vmin(vf a, vf b) { return _mm512_min_ps(a, b); }
inline vf vabs(vf a) { return _mm512_abs_ps(a); }
inline vf vfma(vf a, vf b, vf c) { return _mm512_fmadd_ps(a, b, c); }
inline vf vround(vf a) { return _mm512_roundscale_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
inline float vsum(vf a) { return _mm512_reduce_add_ps(a); }
inline float vhmax(vf a) { return _mm512_reduce_max_ps(a); }
inline vf vpow2(vf n) { return _mm512_scalef_ps(_mm512_set1_ps(1.0f), n); }
inline vf vcopysign(vf mag, vf sgn) {
    const __m512i signBit = _mm512_set1_epi32(int(0x80000000u));
    return _mm512_castsi512_ps(_mm512_or_si512(_mm512_andnot_si512(signBit, _mm512_castps_si512(mag)),
                                               _mm512_and_si512(signBit, _mm512_castps_si512(sgn))));
}
inline vf vloadF16(const uint16_t* p) {
    return _mm512_cvtph_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}
// n <= W halves to floats at dst (W floats written, zeros past n).
inline void vstoreHalvesAsFloats(float* dst, const uint16_t* src, int n) {
    const __mmask16 keep = __mmask16((1u << n) - 1u);
    _mm512_storeu_ps(dst, _mm512_cvtph_ps(_mm256_maskz_loadu_epi16(keep, src)));
}
inline vf vloadBf16(const uint16_t* p) {
    const __m512i w = _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    return _mm512_castsi512_ps(_mm512_slli_epi32(w, 16));
}
inline vf vloadI8(const int8_t* p) {
    return _mm512_cvtepi32_ps(_mm512_cvtepi8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}
// Integer vectors for the int8 products and cross-attention cache.
using vi = __m512i;
inline vi viZero() { return _mm512_setzero_si512(); }
inline vi viAdd(vi a, vi b) { return _mm512_add_epi32(a, b); }
inline vi viPair(const int16_t* p) {
    int32_t two;
    __builtin_memcpy(&two, p, 4);
    return _mm512_set1_epi32(two);
}
inline vi vmaddI8(const int8_t* w, vi pairs) {
    const __m512i w16 = _mm512_cvtepi8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(w)));
    return _mm512_madd_epi16(w16, pairs);
}
inline vi viLoad(const int16_t* p) { return _mm512_loadu_si512(p); }
inline vf viToF(vi a) { return _mm512_cvtepi32_ps(a); }
inline void vstoreI16(int16_t* p, vf x) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_cvtepi32_epi16(_mm512_cvtps_epi32(x)));
}
}  // namespace

#include "KernelsSimd.inc"

}  // namespace lumenote::engine::kernels::avx512

#pragma GCC pop_options
