// The encoder's reduced-precision products for AVX-512 processors without AMX: bfloat16 pairs
// through vdpbf16ps and unsigned-by-signed byte fours through vpdpbusd, in the same 14 x 32
// register tiles as the single-precision kernel, ending in the same row writer.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "engine/Gemm.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma,f16c,avx512f,avx512bw,avx512vl,avx512dq,avx512bf16,avx512vnni")

namespace lumenote::engine::gemm::reduced {

namespace {
#include "engine/GemmEpilogue.inc"
constexpr int MR = avx512::MR;
constexpr int NR = avx512::NR;

inline __mmask16 firstLanes(int count) {
    return count >= 16 ? __mmask16(0xffff) : count <= 0 ? __mmask16(0) : __mmask16((1u << count) - 1u);
}
}  // namespace

void packABf16(const float* a, int lda, int rows, int kc, uint32_t* ap) {
    assert(rows >= 0 && rows <= MR && kc > 0);
    // Each row: 32 values become 16 pairs, scattered down its column of Ap.
    const __m512i down = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                            _mm512_set1_epi32(MR));
    const int pairs = (kc + 1) / 2;
    for (int r = 0; r < MR; ++r) {
        const float* row = a + size_t(r) * size_t(lda);
        for (int c = 0; c < kc; c += 32) {
            __m512i v = _mm512_setzero_si512();
            if (r < rows) {
                const __m512 lo = _mm512_maskz_loadu_ps(firstLanes(kc - c), row + c);
                const __m512 hi = _mm512_maskz_loadu_ps(firstLanes(kc - c - 16), row + c + 16);
                v = reinterpret_cast<__m512i>(_mm512_cvtne2ps_pbh(hi, lo));
            }
            _mm512_mask_i32scatter_epi32(ap + size_t(c / 2) * MR + size_t(r), firstLanes(pairs - c / 2), down, v, 4);
        }
    }
}

void kernelBf16(int kc, const uint32_t* ap, const uint16_t* bp, float* c, int ldc, float alpha, float beta, int rows,
                int cols, const float* bias, bool gelu) {
    assert(kc > 0 && rows > 0 && rows <= MR && cols > 0 && cols <= NR);
    __m512 acc[MR][2];
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) acc[i][0] = acc[i][1] = _mm512_setzero_ps();
    const int pairs = (kc + 1) / 2;
    for (int p = 0; p < pairs; ++p) {
        const __m512bh b0 = reinterpret_cast<__m512bh>(_mm512_loadu_si512(bp));
        const __m512bh b1 = reinterpret_cast<__m512bh>(_mm512_loadu_si512(bp + 32));
#pragma GCC unroll 14
        for (int i = 0; i < MR; ++i) {
            const __m512bh a = reinterpret_cast<__m512bh>(_mm512_set1_epi32(int(ap[i])));
            acc[i][0] = _mm512_dpbf16_ps(acc[i][0], a, b0);
            acc[i][1] = _mm512_dpbf16_ps(acc[i][1], a, b1);
        }
        ap += MR;
        bp += 2 * NR;
    }
    const RowWriter out(alpha, beta, cols, bias, gelu);
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) {
        if (i >= rows) break;
        out.store(c + size_t(i) * size_t(ldc), acc[i][0], acc[i][1]);
    }
}

namespace {
// Two rows of 16 floats as 16 bfloat16 pairs (lo from `a`, hi from `b`).
inline __m512i interleaveBf16(__m512 a, __m512 b) {
    const __m512i halves = reinterpret_cast<__m512i>(_mm512_cvtne2ps_pbh(b, a));  // a0..a15, b0..b15
    const __m512i order = _mm512_setr_epi32(0x00100000, 0x00110001, 0x00120002, 0x00130003, 0x00140004, 0x00150005,
                                            0x00160006, 0x00170007, 0x00180008, 0x00190009, 0x001a000a, 0x001b000b,
                                            0x001c000c, 0x001d000d, 0x001e000e, 0x001f000f);
    return _mm512_permutexvar_epi16(order, halves);
}
}  // namespace

void packAColumnsBf16(const float* a, int lda, int rows, int kc, uint32_t* ap) {
    assert(rows > 0 && rows <= MR && kc > 0);
    const __mmask16 valid = firstLanes(rows);
    for (int p = 0; p < (kc + 1) / 2; ++p) {
        const __m512 lo = _mm512_maskz_loadu_ps(valid, a + size_t(2 * p) * size_t(lda));
        const __m512 hi = 2 * p + 1 < kc ? _mm512_maskz_loadu_ps(valid, a + size_t(2 * p + 1) * size_t(lda)) : _mm512_setzero_ps();
        _mm512_mask_storeu_epi32(ap + size_t(p) * MR, __mmask16(0x3fff), interleaveBf16(lo, hi));
    }
}

void packBRowsAreNBf16(const float* b, int ldb, int cols, int kc, uint32_t* bp) {
    assert(cols > 0 && cols <= NR && kc > 0);
    const __m512i across = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                              _mm512_set1_epi32(NR));
    const int pairs = (kc + 1) / 2;
    for (int j = 0; j < NR; ++j) {
        const float* row = b + size_t(j) * size_t(ldb);
        for (int c = 0; c < kc; c += 32) {
            __m512i v = _mm512_setzero_si512();
            if (j < cols) {
                v = reinterpret_cast<__m512i>(_mm512_cvtne2ps_pbh(_mm512_maskz_loadu_ps(firstLanes(kc - c - 16), row + c + 16),
                                                                  _mm512_maskz_loadu_ps(firstLanes(kc - c), row + c)));
            }
            _mm512_mask_i32scatter_epi32(bp + size_t(c / 2) * NR + size_t(j), firstLanes(pairs - c / 2), across, v, 4);
        }
    }
}

void packBPairsBf16(const float* s, int rows, uint32_t* bp) {
    assert(rows > 0);
    for (int p = 0; p < (rows + 1) / 2; ++p) {
        const float* r0 = s + size_t(2 * p) * NR;
        const bool second = 2 * p + 1 < rows;
        const __m512 z = _mm512_setzero_ps();
        _mm512_storeu_si512(bp + size_t(p) * NR,
                            interleaveBf16(_mm512_loadu_ps(r0), second ? _mm512_loadu_ps(r0 + NR) : z));
        _mm512_storeu_si512(bp + size_t(p) * NR + 16,
                            interleaveBf16(_mm512_loadu_ps(r0 + 16), second ? _mm512_loadu_ps(r0 + NR + 16) : z));
    }
}

float quantizeRowU8(const float* a, int k, int kp, uint8_t* out) {
    assert(k > 0 && kp >= k && kp % 4 == 0);
    __m512 m = _mm512_setzero_ps();
    for (int c = 0; c < k; c += 16) m = _mm512_max_ps(m, _mm512_abs_ps(_mm512_maskz_loadu_ps(firstLanes(k - c), a + c)));
    const float mx = _mm512_reduce_max_ps(m);
    const float scale = mx > 0 ? mx / 127.0f : 1.0f;
    const __m512 inv = _mm512_set1_ps(1.0f / scale);
    const __m512i offset = _mm512_set1_epi32(128);
    for (int c = 0; c < kp; c += 16) {
        const __m512 x = _mm512_maskz_loadu_ps(firstLanes(k - c), a + c);
        // Rounded to nearest; |x| * inv <= 127 up to rounding, the clamp keeps 255 the top.
        __m512i q = _mm512_add_epi32(_mm512_cvtps_epi32(_mm512_mul_ps(x, inv)), offset);
        q = _mm512_min_epi32(_mm512_max_epi32(q, _mm512_set1_epi32(1)), _mm512_set1_epi32(255));
        _mm512_mask_cvtepi32_storeu_epi8(out + c, firstLanes(kp - c), q);
    }
    return scale;
}

float quantizeRowS8(const float* a, int k, int8_t* out) {
    assert(k > 0);
    __m512 m = _mm512_setzero_ps();
    for (int c = 0; c < k; c += 16) m = _mm512_max_ps(m, _mm512_abs_ps(_mm512_maskz_loadu_ps(firstLanes(k - c), a + c)));
    const float mx = _mm512_reduce_max_ps(m);
    const float scale = mx > 0 ? mx / 127.0f : 1.0f;
    const __m512 inv = _mm512_set1_ps(1.0f / scale);
    for (int c = 0; c < k; c += 16) {
        const __m512i q = _mm512_cvtps_epi32(_mm512_mul_ps(_mm512_maskz_loadu_ps(firstLanes(k - c), a + c), inv));
        _mm512_mask_cvtsepi32_storeu_epi8(out + c, firstLanes(k - c), q);
    }
    return scale;
}

void packAU8(const uint8_t* a, int lda, int rows, int kc, uint32_t* ap) {
    assert(rows > 0 && rows <= MR && kc % 4 == 0);
    const __m512i idx = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 0),
                                           _mm512_set1_epi32(lda));
    const __mmask16 valid = firstLanes(rows);
    const __m512i zero = _mm512_set1_epi32(int(0x80808080u));  // four zeros as unsigned bytes
    for (int p = 0; p < kc / 4; ++p) {
        const __m512i v = _mm512_mask_i32gather_epi32(zero, valid, idx, a + size_t(p) * 4, 1);
        _mm512_mask_storeu_epi32(ap + size_t(p) * MR, __mmask16(0x3fff), v);
    }
}

void kernelInt8(int kc, const uint32_t* ap, const int8_t* bp, const int32_t* colSum, const float* rowScale,
                const float* colScale, float* c, int ldc, float alpha, float beta, int rows, int cols,
                const float* bias, bool gelu) {
    assert(kc > 0 && kc % 4 == 0 && rows > 0 && rows <= MR && cols > 0 && cols <= NR);
    __m512i acc[MR][2];
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) acc[i][0] = acc[i][1] = _mm512_setzero_si512();
    for (int p = 0; p < kc / 4; ++p) {
        const __m512i b0 = _mm512_loadu_si512(bp);
        const __m512i b1 = _mm512_loadu_si512(bp + 64);
#pragma GCC unroll 14
        for (int i = 0; i < MR; ++i) {
            const __m512i a = _mm512_set1_epi32(int(ap[i]));
            acc[i][0] = _mm512_dpbusd_epi32(acc[i][0], a, b0);
            acc[i][1] = _mm512_dpbusd_epi32(acc[i][1], a, b1);
        }
        ap += MR;
        bp += 4 * NR;
    }
    // The inputs carry +128: take 128 times each column's sum back out.
    const __m512i shift0 = _mm512_slli_epi32(_mm512_loadu_si512(colSum), 7);
    const __m512i shift1 = _mm512_slli_epi32(_mm512_loadu_si512(colSum + 16), 7);
    const __m512 cs0 = _mm512_loadu_ps(colScale), cs1 = _mm512_loadu_ps(colScale + 16);
    const RowWriter out(alpha, beta, cols, bias, gelu);
#pragma GCC unroll 14
    for (int i = 0; i < MR; ++i) {
        if (i >= rows) break;
        const __m512 rs = _mm512_set1_ps(rowScale[i]);
        out.store(c + size_t(i) * size_t(ldc), scaledSums(acc[i][0], shift0, _mm512_mul_ps(cs0, rs)),
                  scaledSums(acc[i][1], shift1, _mm512_mul_ps(cs1, rs)));
    }
}

}  // namespace lumenote::engine::gemm::reduced

#pragma GCC pop_options
