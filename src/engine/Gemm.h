#pragma once

// Matrix products for the encoder. On AVX-512 processors our own blocked kernels run on the
// engine's thread pool (weights packed once at load time); elsewhere OpenBLAS sgemm does the
// work. Three precisions: exact (single precision, or AMX with bfloat16 halves that keep about
// 16 bits), bf16 (both operands rounded to bfloat16 once, float sums) and int8 (weights per
// output column and inputs per row quantised symmetrically, integer sums).
//
// The kernel is chosen from CPUID. LUMENOTE_ENGINE_GEMM caps the level for tests, benchmarks
// and comparisons: openblas, avx512 (single precision only), avx512bf16 (adds the bfloat16 and
// VNNI kernels, as on processors without AMX), amx (everything; the default).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumenote::engine {

class ThreadPool;

namespace gemm {

// Whether our own kernel is in use.
bool ownKernel();

enum class Precision { exact, bf16, int8 };
const char* precisionName(Precision p);

enum class Kernel {
    openblas,  // sgemm on W as it is
    f32,       // AVX-512 FMA, 14 x 32 register tiles
    amx,       // AMX, bfloat16 halves, three tile products (exact)
    amxBf16,   // AMX, one tile product
    bf16,      // AVX-512 BF16 (vdpbf16ps)
    int8,      // AVX-512 VNNI (vpdpbusd)
    amxInt8,   // AMX byte tiles (tdpbusd), the same integer sums as int8
};
const char* kernelName(Kernel k);
// Whether this processor (and LUMENOTE_ENGINE_GEMM) allows the kernel.
bool supported(Kernel k);
// The fastest allowed kernel for a precision; a precision the processor lacks falls back to
// exact.
Kernel kernelFor(Precision p);

// A weight matrix W[n][k] (PyTorch's [out][in]) in its kernel's layout: panels of 32 rows, each
// stored k-major (k in pairs for bf16, in fours for int8), the last panel zero-padded.
struct PackedWeights {
    Kernel kernel = Kernel::openblas;
    std::vector<float> data;
    const float* raw = nullptr;  // openblas: W itself (must outlive this)
    int n = 0, k = 0;
    bool packed = false;
    // amx, amxBf16 (n, k multiples of 32): W as bfloat16 (hi) and the rest (lo, amx only) in
    // tile layout.
    std::vector<uint16_t> amxHi, amxLo;
    // bf16: the panels as bfloat16 pairs.
    std::vector<uint16_t> pairs;
    // int8: the panels as int8 fours, a scale per column and, per panel and depth block, the
    // column sums of the integers.
    std::vector<int8_t> q;
    std::vector<float> scales;
    std::vector<int32_t> columnSums;

    static PackedWeights pack(const float* w, int n, int k, Precision precision = Precision::exact);
    // An unsupported kernel falls back as kernelFor(Precision::exact) would.
    static PackedWeights pack(const float* w, int n, int k, Kernel kernel);
};

// C[m][n] = alpha * sum_k A[m][k] W[n][k] + beta * C[m][n] (+ bias[n]), then GELU when asked.
void multiplyByWeights(int m, const float* a, int lda, const PackedWeights& w, float* c, int ldc, float alpha,
                       float beta, ThreadPool& pool, const float* bias = nullptr, bool gelu = false);

// The rows of A as the int8 products take them (unsigned bytes q + 128 with a scale per row),
// made once for several products of the same input.
struct QuantizedRows {
    std::vector<uint8_t> bytes;  // m rows of kp bytes, then zero rows up to a multiple of 32
    std::vector<float> scales;
    int m = 0, k = 0, kp = 0;
    void quantize(int rows, const float* a, int lda, int depth, ThreadPool& pool);
};
// Whether W's kernel takes quantised rows (int8 and amxInt8).
bool takesQuantizedRows(const PackedWeights& w);
// multiplyByWeights for such W, with A already quantised (a.k == w.k).
void multiplyQuantized(const QuantizedRows& a, const PackedWeights& w, float* c, int ldc, float alpha, float beta,
                       ThreadPool& pool, const float* bias = nullptr, bool gelu = false);

// Self-attention over T positions with `heads` heads: out[t][h*dh + i] = sum_s softmax_s(scale *
// q_t . k_s) v_s[i] per head, q/k/v/out being [T][d] row-major. Fused on AVX-512: the T x T
// scores are never stored whole. int8 takes both products on VNNI byte fours (keys, values and
// probabilities with their own scales), bf16 in bfloat16 (AMX tiles where present); the
// softmax stays in single precision.
void attention(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
               ThreadPool& pool, Precision precision = Precision::exact);

// Whether the AMX path is in use (AMX-BF16 present, the OS grants tile state, not capped by
// LUMENOTE_ENGINE_GEMM).
bool amxKernel();

// The AMX pieces (GemmAmx.cpp).
namespace amx {
void configure();
void release();
// A's rows as bfloat16 halves in tile layout, [rows / 16][k / 32][16][32] each (k a multiple of
// 32, rows starting at a multiple of 16). Without `lo`, only the bfloat16 values.
void splitRows(const float* a, int lda, int rows, int k, uint16_t* hi, uint16_t* lo);
void packWeights(const float* w, int n, int k, uint16_t* hi, uint16_t* lo);
// acc[16][32] (+)= A(16 rows) * W(32 columns)^T over k blocks [kb0, kb1) of 32; A's tiles for
// those rows at aHi/aLo, W's at bHi/bLo; `first` starts from zero instead of acc.
// Without lo halves (aLo or bLo null), one tile product: plain bfloat16.
void kernel16x32(const uint16_t* aHi, const uint16_t* aLo, int k, int kb0, int kb1, const uint16_t* bHi,
                 const uint16_t* bLo, float* acc, bool first);
// acc[16][32] = A(16 rows of unsigned bytes, lda apart) * B as integer sums over k (a multiple
// of 64); B is one 32-column panel of int8 weights ([k / 4][32][4]).
void productInt8(const uint8_t* a, int lda, const int8_t* b, int k, int32_t* acc);
// C rows [0, rows) x 32 columns = alpha * (acc - 128 * colSum[j]) * rowScale[i] * colScale[j]
// + bias (+ beta * C), then GELU when asked.
void finishInt8(const int32_t* acc, const int32_t* colSum, const float* rowScale, const float* colScale, int rows,
                float* c, int ldc, float alpha, float beta, const float* bias, bool gelu);
}  // namespace amx

// The AVX-512 BF16 and VNNI pieces (GemmReduced.cpp). Panels of 32 columns; A packed per 14
// rows as [k / 2][14] bfloat16 pairs or [k / 4][14] unsigned byte fours.
namespace reduced {
// A's rows (at most 14) from k0 for kc values as bfloat16 pairs; rows beyond `rows` are zero.
void packABf16(const float* a, int lda, int rows, int kc, uint32_t* ap);
// C tile = alpha * Ap * Bp + beta * C + bias, GELU when asked (kc even or padded).
void kernelBf16(int kc, const uint32_t* ap, const uint16_t* bp, float* c, int ldc, float alpha, float beta, int rows,
                int cols, const float* bias, bool gelu);
// A row as unsigned bytes q + 128 with q = round(x / scale), scale = max|x| / 127; `kp` (a
// multiple of 4, >= k) bytes written, the padding 128.
float quantizeRowU8(const float* a, int k, int kp, uint8_t* out);
// Ap [kc / 2][14] from A(m, k) = a[k * lda + m] (m < rows), as bfloat16 pairs.
void packAColumnsBf16(const float* a, int lda, int rows, int kc, uint32_t* ap);
// Bp [kc / 2][32] pairs from B(k, n) = b[n * ldb + k] for `cols` columns; the rest zero.
void packBRowsAreNBf16(const float* b, int ldb, int cols, int kc, uint32_t* bp);
// Bp [rows / 2][32] pairs from s[rows][32] (B(k, n) = s[k * 32 + n]).
void packBPairsBf16(const float* s, int rows, uint32_t* bp);
// A row as signed bytes round(x / scale), scale = max|x| / 127 (1 for a zero row); k bytes.
float quantizeRowS8(const float* a, int k, int8_t* out);
// Ap [kc / 4][14] from rows of unsigned bytes (row stride lda bytes).
void packAU8(const uint8_t* a, int lda, int rows, int kc, uint32_t* ap);
// C tile from integer sums: (sum - 128 * colSum[j]) * rowScale[i] * colScale[j], then as
// kernelBf16 does.
void kernelInt8(int kc, const uint32_t* ap, const int8_t* bp, const int32_t* colSum, const float* rowScale,
                const float* colScale, float* c, int ldc, float alpha, float beta, int rows, int cols,
                const float* bias, bool gelu);
}  // namespace reduced

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
// The softmax of scores given in powers of two (s = score * log2 e), times w, as unsigned bytes
// (8 bits, the largest 255) for [0, np) (np a multiple of 4), the padding 0, each four of them
// at out + (i / 4) * stride (4: one row; 4 * 14: a row of a packed A); returns the scale of one
// step in probability. s is left holding 2^(s - max).
float softmaxToU8(float* s, const float* w, int n, int np, uint8_t* out, int stride);
// Bp[k][NR] from B(k, n) = b[n * ldb + k] for `cols` columns; the rest zero.
void packBRowsAreN(const float* b, int ldb, int cols, int kc, float* bp);
// C tile (rows x cols, at most MR x NR) = alpha * Ap * Bp (+ beta * C) (+ bias[col]), then
// GELU when asked. bpStride is the distance between consecutive k in Bp.
void kernel(int kc, const float* ap, const float* bp, int bpStride, float* c, int ldc, float alpha, float beta,
            int rows, int cols, const float* bias = nullptr, bool gelu = false);
}  // namespace avx512

}  // namespace gemm
}  // namespace lumenote::engine
