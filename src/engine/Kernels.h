#pragma once

// Numeric kernels with runtime CPU dispatch: a portable scalar version, AVX2+FMA+F16C, and
// AVX-512 (F/BW/VL/DQ). The best supported level is chosen on first use; the environment
// variable LUMENOTE_ENGINE_ISA=scalar|avx2|avx512 lowers it (benchmarks, comparisons).

#include <cstddef>
#include <cstdint>

namespace lumenote::engine::kernels {

enum class Isa { scalar, avx2, avx512 };

Isa bestIsa();
Isa activeIsa();
// Selects a level; returns false (and changes nothing) when the CPU lacks it.
bool setIsa(Isa isa);
const char* isaName(Isa isa);

enum class WeightType { f32, f16, bf16, i8 };
const char* weightTypeName(WeightType t);
size_t weightTypeSize(WeightType t);

// int8 weights carry one half-precision scale per block of this many values along a row.
constexpr int kI8Block = 32;

// A row-major matrix of `rows` x `cols` in one of the storage types. For i8, `scales` holds
// rows x blocksPerRow() halves and a value is scale * q.
struct Matrix {
    const void* data = nullptr;
    const uint16_t* scales = nullptr;
    WeightType type = WeightType::f32;
    int rows = 0;
    int cols = 0;

    int blocksPerRow() const { return (cols + kI8Block - 1) / kI8Block; }
    size_t bytes() const {
        return size_t(rows) * size_t(cols) * weightTypeSize(type) +
               (type == WeightType::i8 ? size_t(rows) * size_t(blocksPerRow()) * 2 : 0);
    }
};

// y[j * ldy + r] = dot(W[r], x[j * ldx ..]) + (bias ? bias[r] : 0) for r in [r0, r1), j < n.
// Each weight row is read from memory once for all n vectors.
void gemvRows(const Matrix& w, const float* x, int n, size_t ldx, float* y, size_t ldy, int r0,
              int r1, const float* bias);

// int8 matrices work on vectors quantised to int16 with one scale per vector: quantise once per
// product, then run the row chunks on it.
void quantizeVectorsI16(const float* x, int n, size_t ldx, int cols, int16_t* xq, float* xs);
void gemvRowsI8(const Matrix& w, const int16_t* xq, const float* xs, int n, size_t ldq, float* y, size_t ldy, int r0,
                int r1, const float* bias);

// scores[f] = scale * sum_i q[i] * kT[i * ld + f], for f < count (keys stored transposed).
void attentionScores(const void* kT, WeightType type, int dim, int count, size_t ld, const float* q,
                     float scale, float* scores);
// out[i] = sum_f p[f] * v[f * ld + i], for i < dim.
void attentionSum(const void* v, WeightType type, int dim, int count, size_t ld, const float* p,
                  float* out);

// The int8 cross-attention cache, laid out for integer multiply-adds, one scale per frame.
// Keys: frames in blocks of kCrossBlock, each block [dim / 2][kCrossBlock][2] (two dimensions of
// a frame side by side); values: frames in pairs, each pair [dim][2] (two frames side by side).
// Frames are padded with zeros (scale 0) to whole blocks and pairs. dim is even and at most
// kCrossMaxDim.
constexpr int kCrossBlock = 16;
constexpr int kCrossMaxDim = 256;
inline int crossKeyFrames(int frames) { return (frames + kCrossBlock - 1) / kCrossBlock * kCrossBlock; }
inline int crossValueFrames(int frames) { return (frames + 1) / 2 * 2; }
// k[f * ldk + i] for f < frames, i < dim into crossKeyFrames(frames) * dim bytes and as many scales.
void packCrossKeysI8(const float* k, size_t ldk, int dim, int frames, int8_t* dst, float* scales);
// v[f * ldv + i] into crossValueFrames(frames) * dim bytes and as many scales.
void packCrossValuesI8(const float* v, size_t ldv, int dim, int frames, int8_t* dst, float* scales);
// One head of attention over the int8 cache: probs[f] = softmax over f of
// scale * kScale[f] * sum_i q[i] k_f[i], and out[i] = sum_f probs[f] vScale[f] v_f[i], for
// f < frames and i < dim. q and probs vScale are taken to int16 for the integer multiply-adds.
// `probs` receives the attention weights.
void crossAttentionI8(const int8_t* k, const float* kScale, const int8_t* v, const float* vScale, int dim, int frames,
                      const float* q, float scale, float* probs, float* out);

void softmax(float* x, int n);                 // in place
float logSumExp(const float* x, int n);        // log(sum(exp(x))), -inf when every x is -inf
void gelu(float* x, size_t n);                 // x * Phi(x), exact erf form
void layerNorm(const float* x, const float* gamma, const float* beta, float* y, int n, float eps);
void add(float* y, const float* x, size_t n);  // y += x

// Storage conversions (round to nearest even). Not dispatched where the scalar code is fast
// enough; they run once at load time.
void convertToF16(const float* src, uint16_t* dst, size_t n);
void convertToBf16(const float* src, uint16_t* dst, size_t n);
void convertF16ToF32(const uint16_t* src, float* dst, size_t n);
void convertBf16ToF32(const uint16_t* src, float* dst, size_t n);
// Symmetric int8 per block of `block` values: scale = max|block| / 127. `scales` receives
// rows x ceil(cols / block) floats.
void quantizeRowsI8(const float* src, int rows, int cols, int8_t* dst, float* scales, int block = kI8Block);
// The same for weight matrices, with half-precision scales per kI8Block values: each scale is the
// smallest half at or above max|block| / 127, and the values are quantised against it, so the
// scale's rounding costs nothing but a step at most 2^-11 wider.
void quantizeRowsI8(const float* src, int rows, int cols, int8_t* dst, uint16_t* scales);

// The dispatch table each implementation fills in. int8 products take their vectors already
// quantised to int16 (xq, one scale per vector in xs): integer multiply-adds then do the work.
struct KernelTable {
    void (*gemvRows)(const Matrix&, const float*, int, size_t, float*, size_t, int, int, const float*);
    void (*gemvRowsI8)(const Matrix&, const int16_t* xq, const float* xs, int n, size_t ldq, float*, size_t, int, int,
                       const float*);
    void (*quantizeVectorsI16)(const float*, int, size_t, int, int16_t*, float*);
    void (*attentionScores)(const void*, WeightType, int, int, size_t, const float*, float, float*);
    void (*attentionSum)(const void*, WeightType, int, int, size_t, const float*, float*);
    void (*crossAttentionI8)(const int8_t*, const float*, const int8_t*, const float*, int, int, const float*, float,
                             float*, float*);
    void (*softmax)(float*, int);
    float (*logSumExp)(const float*, int);
    void (*gelu)(float*, size_t);
    void (*layerNorm)(const float*, const float*, const float*, float*, int, float);
    void (*add)(float*, const float*, size_t);
};

namespace scalar { extern const KernelTable table; }
namespace avx2 { extern const KernelTable table; }
namespace avx512 { extern const KernelTable table; }

}  // namespace lumenote::engine::kernels
