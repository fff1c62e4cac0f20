// AVX-512 pieces of the encoder's matrix product: packing and a 14 x 32 register-blocked kernel.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Gemm.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma,f16c,avx512f,avx512bw,avx512vl,avx512dq")

namespace lumenote::engine::gemm::avx512 {

namespace {
#include "engine/GemmEpilogue.inc"
}  // namespace

void packA(const float* a, int lda, int rows, int kc, float* ap) {
    // Gather one k column of the 14 rows at a time.
    const __m512i idx = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 0),
                                           _mm512_set1_epi32(lda));
    const __mmask16 valid = __mmask16((1u << (rows < MR ? rows : MR)) - 1u);
    for (int k = 0; k < kc; ++k) {
        const __m512 v = _mm512_mask_i32gather_ps(_mm512_setzero_ps(), valid, idx, a + k, 4);
        _mm512_mask_storeu_ps(ap + size_t(k) * MR, __mmask16(0x3fff), v);
    }
}

void packAColumns(const float* a, int lda, int rows, int kc, float* ap) {
    const __mmask16 valid = __mmask16((1u << (rows < MR ? rows : MR)) - 1u);
    for (int k = 0; k < kc; ++k) {
        _mm512_mask_storeu_ps(ap + size_t(k) * MR, __mmask16(0x3fff),
                              _mm512_maskz_loadu_ps(valid, a + size_t(k) * size_t(lda)));
    }
}

namespace {
// 2^x for x <= 0, to about 3e-6 relative (Taylor series of degree 5 on [-0.5, 0.5]): enough for
// probabilities kept in 8 bits.
inline __m512 exp2Ps(__m512 x) {
    x = _mm512_max_ps(x, _mm512_set1_ps(-126.0f));
    const __m512 n = _mm512_roundscale_ps(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m512 f = _mm512_sub_ps(x, n);
    __m512 y = _mm512_set1_ps(1.3333558e-3f);
    y = _mm512_fmadd_ps(y, f, _mm512_set1_ps(9.6181291e-3f));
    y = _mm512_fmadd_ps(y, f, _mm512_set1_ps(5.5504109e-2f));
    y = _mm512_fmadd_ps(y, f, _mm512_set1_ps(2.4022651e-1f));
    y = _mm512_fmadd_ps(y, f, _mm512_set1_ps(6.9314718e-1f));
    y = _mm512_fmadd_ps(y, f, _mm512_set1_ps(1.0f));
    return _mm512_scalef_ps(y, n);
}
}  // namespace

void softmaxColumns32(float* s, int rows) {
    __m512 m0 = _mm512_set1_ps(-INFINITY), m1 = m0;
    for (int r = 0; r < rows; ++r) {
        m0 = _mm512_max_ps(m0, _mm512_loadu_ps(s + size_t(r) * 32));
        m1 = _mm512_max_ps(m1, _mm512_loadu_ps(s + size_t(r) * 32 + 16));
    }
    __m512 s0 = _mm512_setzero_ps(), s1 = s0;
    for (int r = 0; r < rows; ++r) {
        float* p = s + size_t(r) * 32;
        const __m512 e0 = expPs(_mm512_sub_ps(_mm512_loadu_ps(p), m0));
        const __m512 e1 = expPs(_mm512_sub_ps(_mm512_loadu_ps(p + 16), m1));
        _mm512_storeu_ps(p, e0);
        _mm512_storeu_ps(p + 16, e1);
        s0 = _mm512_add_ps(s0, e0);
        s1 = _mm512_add_ps(s1, e1);
    }
    const __m512 i0 = _mm512_div_ps(_mm512_set1_ps(1.0f), s0), i1 = _mm512_div_ps(_mm512_set1_ps(1.0f), s1);
    for (int r = 0; r < rows; ++r) {
        float* p = s + size_t(r) * 32;
        _mm512_storeu_ps(p, _mm512_mul_ps(_mm512_loadu_ps(p), i0));
        _mm512_storeu_ps(p + 16, _mm512_mul_ps(_mm512_loadu_ps(p + 16), i1));
    }
}

float softmaxToU8(float* s, const float* w, int n, int np, uint8_t* out, int stride) {
    const int full = n / 16 * 16;
    const __mmask16 tail = __mmask16((1u << (n - full)) - 1u);
    __m512 vm = _mm512_set1_ps(-INFINITY);
    for (int i = 0; i < full; i += 16) vm = _mm512_max_ps(vm, _mm512_loadu_ps(s + i));
    vm = _mm512_mask_max_ps(vm, tail, vm, _mm512_maskz_loadu_ps(tail, s + full));
    const __m512 m = _mm512_set1_ps(_mm512_reduce_max_ps(vm));
    // Two sums and two maxima in turn, so neither chain waits on itself.
    __m512 z0 = _mm512_setzero_ps(), z1 = z0, top0 = z0, top1 = z0;
    int i = 0;
    for (; i + 32 <= full; i += 32) {
        const __m512 e0 = exp2Ps(_mm512_sub_ps(_mm512_loadu_ps(s + i), m));
        const __m512 e1 = exp2Ps(_mm512_sub_ps(_mm512_loadu_ps(s + i + 16), m));
        _mm512_storeu_ps(s + i, e0);
        _mm512_storeu_ps(s + i + 16, e1);
        z0 = _mm512_add_ps(z0, e0);
        z1 = _mm512_add_ps(z1, e1);
        top0 = _mm512_max_ps(top0, _mm512_mul_ps(e0, _mm512_loadu_ps(w + i)));
        top1 = _mm512_max_ps(top1, _mm512_mul_ps(e1, _mm512_loadu_ps(w + i + 16)));
    }
    for (; i < n; i += 16) {
        const __mmask16 valid = i < full ? __mmask16(0xffff) : tail;
        const __m512 e = _mm512_maskz_mov_ps(valid, exp2Ps(_mm512_sub_ps(_mm512_maskz_loadu_ps(valid, s + i), m)));
        _mm512_mask_storeu_ps(s + i, valid, e);
        z0 = _mm512_add_ps(z0, e);
        top0 = _mm512_max_ps(top0, _mm512_mul_ps(e, _mm512_maskz_loadu_ps(valid, w + i)));
    }
    const float mx = _mm512_reduce_max_ps(_mm512_max_ps(top0, top1));
    const float unit = mx > 0 ? mx / 255.0f : 1.0f;
    const __m512 inv = _mm512_set1_ps(1.0f / unit);
    // Each four bytes to their own place, `stride` bytes apart.
    const auto put = [&](int at, __m128i q, int fours) {
        for (int f = 0; f < fours; ++f) {
            const int32_t four = _mm_cvtsi128_si32(q);
            std::memcpy(out + size_t(at / 4 + f) * size_t(stride), &four, 4);
            q = _mm_srli_si128(q, 4);
        }
    };
    for (i = 0; i < full; i += 16) {
        const __m512 x = _mm512_mul_ps(_mm512_mul_ps(_mm512_loadu_ps(s + i), _mm512_loadu_ps(w + i)), inv);
        put(i, _mm512_cvtusepi32_epi8(_mm512_cvtps_epu32(x)), 4);
    }
    for (; i < np; i += 16) {
        const __mmask16 valid = i < n ? tail : __mmask16(0);
        const __m512 x = _mm512_mul_ps(_mm512_mul_ps(_mm512_maskz_loadu_ps(valid, s + i), _mm512_maskz_loadu_ps(valid, w + i)), inv);
        put(i, _mm512_cvtusepi32_epi8(_mm512_cvtps_epu32(x)), (np - i < 16 ? np - i : 16) / 4);
    }
    return unit / _mm512_reduce_add_ps(_mm512_add_ps(z0, z1));
}

void packBRowsAreN(const float* b, int ldb, int cols, int kc, float* bp) {
    const __m512i lo = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                          _mm512_set1_epi32(ldb));
    const __m512i hi = _mm512_add_epi32(lo, _mm512_set1_epi32(16 * ldb));
    const int c0 = cols < 16 ? cols : 16;
    const int c1 = cols > 16 ? (cols < 32 ? cols - 16 : 16) : 0;
    const __mmask16 m0 = __mmask16((1u << c0) - 1u), m1 = __mmask16((1u << c1) - 1u);
    for (int k = 0; k < kc; ++k) {
        _mm512_storeu_ps(bp + size_t(k) * NR, _mm512_mask_i32gather_ps(_mm512_setzero_ps(), m0, lo, b + k, 4));
        _mm512_storeu_ps(bp + size_t(k) * NR + 16, _mm512_mask_i32gather_ps(_mm512_setzero_ps(), m1, hi, b + k, 4));
    }
}


void kernel(int kc, const float* ap, const float* bp, int bpStride, float* c, int ldc, float alpha, float beta,
            int rows, int cols, const float* bias, bool gelu) {
    __m512 acc[MR][2];
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) acc[i][0] = acc[i][1] = _mm512_setzero_ps();
    for (int k = 0; k < kc; ++k) {
        const __m512 b0 = _mm512_loadu_ps(bp);
        const __m512 b1 = _mm512_loadu_ps(bp + 16);
#pragma GCC unroll 14
        for (int i = 0; i < MR; ++i) {
            const __m512 a = _mm512_set1_ps(ap[i]);
            acc[i][0] = _mm512_fmadd_ps(a, b0, acc[i][0]);
            acc[i][1] = _mm512_fmadd_ps(a, b1, acc[i][1]);
        }
        ap += MR;
        bp += bpStride;
    }
    const RowWriter out(alpha, beta, cols, bias, gelu);
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) {
        if (i >= rows) break;
        out.store(c + size_t(i) * size_t(ldc), acc[i][0], acc[i][1]);
    }
}

void epilogue(const float* t, float* c, int ldc, float alpha, float beta, int rows, int cols, const float* bias,
              bool gelu) {
    const RowWriter out(alpha, beta, cols, bias, gelu);
    for (int i = 0; i < rows; ++i)
        out.store(c + size_t(i) * size_t(ldc), _mm512_loadu_ps(t + i * 32), _mm512_loadu_ps(t + i * 32 + 16));
}

}  // namespace lumenote::engine::gemm::avx512

#pragma GCC pop_options
