// AMX pieces of the encoder's matrix product. Each float is split into two bfloat16 halves
// (hi = bf16(x), lo = bf16(x - hi)); three tile products hi*hi + hi*lo + lo*hi keep about 16
// bits of mantissa, close enough to single precision for the encoder, at several times the
// speed of the AVX-512 kernel.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/Gemm.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma,f16c,avx512f,avx512bw,avx512vl,avx512dq,avx512bf16,amx-tile,amx-bf16,amx-int8")

namespace lumenote::engine::gemm::amx {

namespace {
#include "engine/GemmEpilogue.inc"

struct alignas(64) TileConfig {
    uint8_t palette = 1;
    uint8_t startRow = 0;
    uint8_t reserved[14] = {};
    uint16_t colsb[16] = {};
    uint8_t rows[16] = {};
};

// Round to nearest even, as the hardware conversion does.
inline __m512i toBf16Bits(__m512 x) {
    const __m512i u = _mm512_castps_si512(x);
    const __m512i lsb = _mm512_and_si512(_mm512_srli_epi32(u, 16), _mm512_set1_epi32(1));
    return _mm512_srli_epi32(_mm512_add_epi32(u, _mm512_add_epi32(lsb, _mm512_set1_epi32(0x7fff))), 16);
}

inline void split16(const float* src, uint16_t* hi, uint16_t* lo, __mmask16 valid) {
    const __m512 x = _mm512_maskz_loadu_ps(valid, src);
    const __m512i h = toBf16Bits(x);
    const __m512 back = _mm512_castsi512_ps(_mm512_slli_epi32(h, 16));
    const __m512i l = toBf16Bits(_mm512_sub_ps(x, back));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hi), _mm512_cvtepi32_epi16(h));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lo), _mm512_cvtepi32_epi16(l));
}

inline void round16(const float* src, uint16_t* hi) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hi), _mm512_cvtepi32_epi16(toBf16Bits(_mm512_loadu_ps(src))));
}

}  // namespace

void configure() {
    TileConfig c;
    for (int t = 0; t < 8; ++t) {
        c.rows[t] = 16;
        c.colsb[t] = 64;
    }
    // The compiler does not see the configuration instruction read the struct.
    asm volatile("" : : "r"(&c) : "memory");
    _tile_loadconfig(&c);
}

void release() { _tile_release(); }

void splitRows(const float* a, int lda, int rows, int k, uint16_t* hi, uint16_t* lo) {
    // Tile layout, [row block][k block][16 rows][32]: every tile load reads 1 KiB in one piece.
    const int kBlocks = k / 32;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < k; c += 16) {
            const size_t at = ((size_t(r / 16) * size_t(kBlocks) + size_t(c / 32)) * 16 + size_t(r % 16)) * 32 + size_t(c % 32);
            if (lo) split16(a + size_t(r) * size_t(lda) + size_t(c), hi + at, lo + at, __mmask16(0xffff));
            else round16(a + size_t(r) * size_t(lda) + size_t(c), hi + at);
        }
    }
}

void packWeights(const float* w, int n, int k, uint16_t* hi, uint16_t* lo) {
    // [n / 16][k / 32][16 pairs of k][16 columns][2]: one 1 KiB tile per (column block, k block).
    for (int j = 0; j < n; ++j) {
        for (int kk = 0; kk < k; ++kk) {
            const float x = w[size_t(j) * size_t(k) + size_t(kk)];
            uint32_t u;
            std::memcpy(&u, &x, 4);
            const uint16_t h = uint16_t((u + 0x7fffu + ((u >> 16) & 1u)) >> 16);
            const uint32_t hu = uint32_t(h) << 16;
            float hf;
            std::memcpy(&hf, &hu, 4);
            const float rest = x - hf;
            std::memcpy(&u, &rest, 4);
            const uint16_t l = uint16_t((u + 0x7fffu + ((u >> 16) & 1u)) >> 16);
            const size_t at = ((size_t(j / 16) * size_t(k / 32) + size_t(kk / 32)) * 16 + size_t((kk % 32) / 2)) * 32 +
                              size_t(j % 16) * 2 + size_t(kk % 2);
            hi[at] = h;
            lo[at] = l;
        }
    }
}

void kernel16x32(const uint16_t* aHi, const uint16_t* aLo, int k, int kb0, int kb1, const uint16_t* bHi,
                 const uint16_t* bLo, float* acc, bool first) {
    // Tiles: 0, 1 the two 16 x 16 halves of C; 2 A hi, 3 A lo; 4, 5 B hi; 6, 7 B lo.
    const size_t colBlock = size_t(k / 32) * 512;   // elements from one 16-column block to the next
    if (first) {
        _tile_zero(0);
        _tile_zero(1);
    } else {
        _tile_loadd(0, acc, 128);
        _tile_loadd(1, acc + 16, 128);
    }
    if (!aLo || !bLo) {
        for (int kb = kb0; kb < kb1; ++kb) {
            _tile_loadd(2, aHi + size_t(kb) * 512, 64);
            _tile_loadd(4, bHi + size_t(kb) * 512, 64);
            _tile_loadd(5, bHi + colBlock + size_t(kb) * 512, 64);
            _tile_dpbf16ps(0, 2, 4);
            _tile_dpbf16ps(1, 2, 5);
        }
    }
    for (int kb = kb0; aLo && bLo && kb < kb1; ++kb) {
        _tile_loadd(2, aHi + size_t(kb) * 512, 64);
        _tile_loadd(3, aLo + size_t(kb) * 512, 64);
        _tile_loadd(4, bHi + size_t(kb) * 512, 64);
        _tile_loadd(5, bHi + colBlock + size_t(kb) * 512, 64);
        _tile_loadd(6, bLo + size_t(kb) * 512, 64);
        _tile_loadd(7, bLo + colBlock + size_t(kb) * 512, 64);
        _tile_dpbf16ps(0, 2, 4);
        _tile_dpbf16ps(1, 2, 5);
        _tile_dpbf16ps(0, 2, 6);
        _tile_dpbf16ps(1, 2, 7);
        _tile_dpbf16ps(0, 3, 4);
        _tile_dpbf16ps(1, 3, 5);
    }
    _tile_stored(0, acc, 128);
    _tile_stored(1, acc + 16, 128);
}

void productInt8(const uint8_t* a, int lda, const int8_t* b, int k, int32_t* acc) {
    // Tiles: 0, 1 the two 16 x 16 halves of C; A in 2 and 3, B's two column halves in 4, 5 and
    // 6, 7 (16 fours of k, 16 columns x 4 bytes, a row of the 32-column panel apart), taken in
    // turn so that loading the next step's inputs never waits for the products still reading
    // the last ones.
    _tile_zero(0);
    _tile_zero(1);
    int kb = 0;
    for (; kb + 128 <= k; kb += 128) {
        _tile_loadd(2, a + kb, lda);
        _tile_loadd(4, b + size_t(kb) * 32, 128);
        _tile_loadd(5, b + size_t(kb) * 32 + 64, 128);
        _tile_dpbusd(0, 2, 4);
        _tile_dpbusd(1, 2, 5);
        _tile_loadd(3, a + kb + 64, lda);
        _tile_loadd(6, b + size_t(kb + 64) * 32, 128);
        _tile_loadd(7, b + size_t(kb + 64) * 32 + 64, 128);
        _tile_dpbusd(0, 3, 6);
        _tile_dpbusd(1, 3, 7);
    }
    if (kb < k) {
        _tile_loadd(2, a + kb, lda);
        _tile_loadd(4, b + size_t(kb) * 32, 128);
        _tile_loadd(5, b + size_t(kb) * 32 + 64, 128);
        _tile_dpbusd(0, 2, 4);
        _tile_dpbusd(1, 2, 5);
    }
    _tile_stored(0, acc, 128);
    _tile_stored(1, acc + 16, 128);
}

void finishInt8(const int32_t* acc, const int32_t* colSum, const float* rowScale, const float* colScale, int rows,
                float* c, int ldc, float alpha, float beta, const float* bias, bool gelu) {
    // The inputs carry +128: take 128 times each column's sum back out.
    const __m512i shift0 = _mm512_slli_epi32(_mm512_loadu_si512(colSum), 7);
    const __m512i shift1 = _mm512_slli_epi32(_mm512_loadu_si512(colSum + 16), 7);
    const __m512 cs0 = _mm512_loadu_ps(colScale), cs1 = _mm512_loadu_ps(colScale + 16);
    const RowWriter out(alpha, beta, 32, bias, gelu);
    for (int r = 0; r < rows; ++r) {
        const __m512 rs = _mm512_set1_ps(rowScale[r]);
        out.store(c + size_t(r) * size_t(ldc), scaledSums(_mm512_loadu_si512(acc + r * 32), shift0, _mm512_mul_ps(cs0, rs)),
                  scaledSums(_mm512_loadu_si512(acc + r * 32 + 16), shift1, _mm512_mul_ps(cs1, rs)));
    }
}

}  // namespace lumenote::engine::gemm::amx

#pragma GCC pop_options
