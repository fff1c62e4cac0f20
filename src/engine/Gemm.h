#pragma once

// Single-precision matrix products for the encoder. On AVX-512 processors our own blocked
// kernel runs on the engine's thread pool (weights packed once at load time); elsewhere, or
// with LUMENOTE_ENGINE_GEMM=openblas, OpenBLAS sgemm does the work.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumenote::engine {

class ThreadPool;

namespace gemm {

// Whether our own kernel is in use.
bool ownKernel();

// A weight matrix W[n][k] (PyTorch's [out][in]) in the kernel's layout: panels of 32 rows, each
// stored k-major, the last panel zero-padded. Without our kernel it keeps W as it is.
struct PackedWeights {
    std::vector<float> data;
    const float* raw = nullptr;  // W itself when not packed (must outlive this)
    int n = 0, k = 0;
    bool packed = false;
    // With AMX (and n, k multiples of 32): W split into bfloat16 halves in tile layout instead.
    std::vector<uint16_t> amxHi, amxLo;

    static PackedWeights pack(const float* w, int n, int k);
};

// C[m][n] = alpha * sum_k A[m][k] W[n][k] + beta * C[m][n] (+ bias[n]), then GELU when asked.
void multiplyByWeights(int m, const float* a, int lda, const PackedWeights& w, float* c, int ldc, float alpha,
                       float beta, ThreadPool& pool, const float* bias = nullptr, bool gelu = false);

// Self-attention over T positions with `heads` heads: out[t][h*dh + i] = sum_s softmax_s(scale *
// q_t . k_s) v_s[i] per head, q/k/v/out being [T][d] row-major. Fused on AVX-512: the T x T
// scores are never stored whole.
void attention(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
               ThreadPool& pool);

// Whether the AMX path is in use (AMX-BF16 present, the OS grants tile state, not disabled
// with LUMENOTE_ENGINE_GEMM=avx512 or openblas).
bool amxKernel();

// The AMX pieces (GemmAmx.cpp).
namespace amx {
void configure();
void release();
// A's rows as bfloat16 halves in tile layout, [rows / 16][k / 32][16][32] each (k a multiple of
// 32, rows starting at a multiple of 16).
void splitRows(const float* a, int lda, int rows, int k, uint16_t* hi, uint16_t* lo);
void packWeights(const float* w, int n, int k, uint16_t* hi, uint16_t* lo);
// acc[16][32] (+)= A(16 rows) * W(32 columns)^T over k blocks [kb0, kb1) of 32; A's tiles for
// those rows at aHi/aLo, W's at bHi/bLo; `first` starts from zero instead of acc.
void kernel16x32(const uint16_t* aHi, const uint16_t* aLo, int k, int kb0, int kb1, const uint16_t* bHi,
                 const uint16_t* bLo, float* acc, bool first);
}  // namespace amx

// The AVX-512 pieces (GemmAvx512.cpp), on raw pointers only.
namespace avx512 {
constexpr int MR = 14;
constexpr int NR = 32;
// Ap[k][MR] from rows of A; rows beyond `rows` are zero.
void packA(const float* a, int lda, int rows, int kc, float* ap);
// The same from A(m, k) = a[k * lda + m].
void packAColumns(const float* a, int lda, int rows, int kc, float* ap);
// Softmax down each of the 32 columns of s[rows][32].
void softmaxColumns32(float* s, int rows);
// C rows (at most 16 x 32) = alpha * t + beta * C + bias, then GELU when asked; t is [16][32].
void epilogue(const float* t, float* c, int ldc, float alpha, float beta, int rows, int cols, const float* bias,
              bool gelu);
// Bp[k][NR] from B(k, n) = b[n * ldb + k] for `cols` columns; the rest zero.
void packBRowsAreN(const float* b, int ldb, int cols, int kc, float* bp);
// C tile (rows x cols, at most MR x NR) = alpha * Ap * Bp (+ beta * C) (+ bias[col]), then
// GELU when asked. bpStride is the distance between consecutive k in Bp.
void kernel(int kc, const float* ap, const float* bp, int bpStride, float* c, int ldc, float alpha, float beta,
            int rows, int cols, const float* bias = nullptr, bool gelu = false);
}  // namespace avx512

}  // namespace gemm
}  // namespace lumenote::engine
