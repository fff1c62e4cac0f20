// AVX2 + FMA + F16C kernels: the baseline for x86-64 machines of the last decade.
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/Float16.h"
#include "engine/Kernels.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma,f16c")

namespace lumenote::engine::kernels::avx2 {

namespace {
using vf = __m256;
constexpr int W = 8;
inline vf vzero() { return _mm256_setzero_ps(); }
inline vf vset1(float a) { return _mm256_set1_ps(a); }
inline vf vload(const float* p) { return _mm256_loadu_ps(p); }
inline void vstore(float* p, vf v) { _mm256_storeu_ps(p, v); }
inline vf vadd(vf a, vf b) { return _mm256_add_ps(a, b); }
inline vf vsub(vf a, vf b) { return _mm256_sub_ps(a, b); }
inline vf vmul(vf a, vf b) { return _mm256_mul_ps(a, b); }
inline vf vdiv(vf a, vf b) { return _mm256_div_ps(a, b); }
inline vf vmax(vf a, vf b) { return _mm256_max_ps(a, b); }
inline vf vmin(vf a, vf b) { return _mm256_min_ps(a, b); }
inline vf vabs(vf a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
inline vf vfma(vf a, vf b, vf c) { return _mm256_fmadd_ps(a, b, c); }
inline vf vround(vf a) { return _mm256_round_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
inline float vsum(vf a) {
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    s = _mm_add_ps(s, _mm_movehl_ps(s, s));
    s = _mm_add_ss(s, _mm_movehdup_ps(s));
    return _mm_cvtss_f32(s);
}
inline float vhmax(vf a) {
    __m128 s = _mm_max_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    s = _mm_max_ps(s, _mm_movehl_ps(s, s));
    s = _mm_max_ss(s, _mm_movehdup_ps(s));
    return _mm_cvtss_f32(s);
}
inline vf vpow2(vf n) {
    const __m256i e = _mm256_add_epi32(_mm256_cvtps_epi32(n), _mm256_set1_epi32(127));
    return _mm256_castsi256_ps(_mm256_slli_epi32(e, 23));
}
inline vf vcopysign(vf mag, vf sgn) {
    const vf signBit = _mm256_set1_ps(-0.0f);
    return _mm256_or_ps(_mm256_andnot_ps(signBit, mag), _mm256_and_ps(signBit, sgn));
}
inline vf vloadF16(const uint16_t* p) {
    return _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// n <= W halves to floats at dst (the first n written; no masked 16-bit loads here).
inline void vstoreHalvesAsFloats(float* dst, const uint16_t* src, int n) {
    if (n == W) {
        _mm256_storeu_ps(dst, _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))));
    } else {
        for (int i = 0; i < n; ++i) dst[i] = _cvtsh_ss(src[i]);
    }
}
inline vf vloadBf16(const uint16_t* p) {
    const __m256i w = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    return _mm256_castsi256_ps(_mm256_slli_epi32(w, 16));
}
inline vf vloadI8(const int8_t* p) {
    return _mm256_cvtepi32_ps(_mm256_cvtepi8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
// Integer vectors for the int8 products and cross-attention cache.
using vi = __m256i;
inline vi viZero() { return _mm256_setzero_si256(); }
inline vi viAdd(vi a, vi b) { return _mm256_add_epi32(a, b); }
inline vi viPair(const int16_t* p) {
    int32_t two;
    __builtin_memcpy(&two, p, 4);
    return _mm256_set1_epi32(two);
}
inline vi vmaddI8(const int8_t* w, vi pairs) {
    const __m256i w16 = _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
    return _mm256_madd_epi16(w16, pairs);
}
inline vi viLoad(const int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline vf viToF(vi a) { return _mm256_cvtepi32_ps(a); }
inline void vstoreI16(int16_t* p, vf x) {
    const __m256i i = _mm256_cvtps_epi32(x);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_packs_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1)));
}
}  // namespace

#include "KernelsSimd.inc"

}  // namespace lumenote::engine::kernels::avx2

#pragma GCC pop_options
