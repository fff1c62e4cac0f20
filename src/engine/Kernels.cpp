#include "engine/Kernels.h"

#include <cpuid.h>

#include <algorithm>
#include <cassert>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/Float16.h"

namespace lumenote::engine::kernels {

namespace {

bool cpuHasF16c() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    return (c & bit_F16C) != 0;
}

bool supports(Isa isa) {
    switch (isa) {
        case Isa::scalar: return true;
        case Isa::avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && cpuHasF16c();
        case Isa::avx512:
            return supports(Isa::avx2) && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("avx512dq");
    }
    return false;
}

const KernelTable* tableFor(Isa isa) {
    switch (isa) {
        case Isa::avx512: return &avx512::table;
        case Isa::avx2: return &avx2::table;
        case Isa::scalar: break;
    }
    return &scalar::table;
}

Isa initialIsa() {
    Isa isa = bestIsa();
    if (const char* env = std::getenv("LUMENOTE_ENGINE_ISA")) {
        const std::string_view v(env);
        Isa wanted = isa;
        if (v == "scalar") wanted = Isa::scalar;
        else if (v == "avx2") wanted = Isa::avx2;
        else if (v == "avx512") wanted = Isa::avx512;
        if (supports(wanted)) isa = wanted;
    }
    return isa;
}

std::atomic<Isa>& activeSlot() {
    static std::atomic<Isa> slot{initialIsa()};
    return slot;
}

const KernelTable& active() {
    // Re-read each call: cheap, and lets tests switch levels.
    return *tableFor(activeSlot().load(std::memory_order_relaxed));
}

}  // namespace

Isa bestIsa() {
    if (supports(Isa::avx512)) return Isa::avx512;
    if (supports(Isa::avx2)) return Isa::avx2;
    return Isa::scalar;
}

Isa activeIsa() { return activeSlot().load(); }

bool setIsa(Isa isa) {
    if (!supports(isa)) return false;
    activeSlot().store(isa);
    return true;
}

const char* isaName(Isa isa) {
    switch (isa) {
        case Isa::scalar: return "scalar";
        case Isa::avx2: return "avx2";
        case Isa::avx512: return "avx512";
    }
    return "?";
}

const char* weightTypeName(WeightType t) {
    switch (t) {
        case WeightType::f32: return "f32";
        case WeightType::f16: return "f16";
        case WeightType::bf16: return "bf16";
        case WeightType::i8: return "int8";
    }
    return "?";
}

size_t weightTypeSize(WeightType t) {
    switch (t) {
        case WeightType::f32: return 4;
        case WeightType::f16:
        case WeightType::bf16: return 2;
        case WeightType::i8: return 1;
    }
    return 4;
}

void quantizeVectorsI16(const float* x, int n, size_t ldx, int cols, int16_t* xq, float* xs) {
    active().quantizeVectorsI16(x, n, ldx, cols, xq, xs);
}

void gemvRowsI8(const Matrix& w, const int16_t* xq, const float* xs, int n, size_t ldq, float* y, size_t ldy, int r0,
                int r1, const float* bias) {
    active().gemvRowsI8(w, xq, xs, n, ldq, y, ldy, r0, r1, bias);
}

void gemvRows(const Matrix& w, const float* x, int n, size_t ldx, float* y, size_t ldy, int r0, int r1,
              const float* bias) {
    if (w.type != WeightType::i8) {
        active().gemvRows(w, x, n, ldx, y, ldy, r0, r1, bias);
        return;
    }
    thread_local std::vector<int16_t> xq;
    thread_local std::vector<float> xs;
    xq.resize(size_t(n) * size_t(w.cols));
    xs.resize(size_t(n));
    quantizeVectorsI16(x, n, ldx, w.cols, xq.data(), xs.data());
    active().gemvRowsI8(w, xq.data(), xs.data(), n, size_t(w.cols), y, ldy, r0, r1, bias);
}

namespace {
// Frames [0, padded) of x as int8, each with its own scale (frames past `frames` zero, scale
// 0); place(f, q) stores frame f's values.
template <typename Place>
void packCrossFrames(const float* x, size_t ld, int dim, int frames, int padded, float* scales, Place place) {
    assert(dim % 2 == 0 && dim <= kCrossMaxDim);
    int8_t q[kCrossMaxDim] = {};
    for (int f = 0; f < padded; ++f) {
        if (f < frames) {
            quantizeRowsI8(x + size_t(f) * ld, 1, dim, q, scales + f, dim);
        } else {
            std::fill(q, q + dim, int8_t(0));
            scales[f] = 0;
        }
        place(f, q);
    }
}
}  // namespace

void packCrossKeysI8(const float* k, size_t ldk, int dim, int frames, int8_t* dst, float* scales) {
    packCrossFrames(k, ldk, dim, frames, crossKeyFrames(frames), scales, [&](int f, const int8_t* q) {
        int8_t* block = dst + size_t(f / kCrossBlock) * kCrossBlock * size_t(dim) + size_t(f % kCrossBlock) * 2;
        for (int i = 0; i < dim; ++i) block[size_t(i / 2) * kCrossBlock * 2 + size_t(i % 2)] = q[i];
    });
}

void packCrossValuesI8(const float* v, size_t ldv, int dim, int frames, int8_t* dst, float* scales) {
    packCrossFrames(v, ldv, dim, frames, crossValueFrames(frames), scales, [&](int f, const int8_t* q) {
        int8_t* pair = dst + size_t(f / 2) * size_t(dim) * 2 + size_t(f % 2);
        for (int i = 0; i < dim; ++i) pair[size_t(i) * 2] = q[i];
    });
}

void crossAttentionI8(const int8_t* k, const float* kScale, const int8_t* v, const float* vScale, int dim, int frames,
                      const float* q, float scale, float* probs, float* out) {
    assert(dim % 2 == 0 && dim <= kCrossMaxDim && frames > 0);
    active().crossAttentionI8(k, kScale, v, vScale, dim, frames, q, scale, probs, out);
}

void attentionScores(const void* kT, WeightType type, int dim, int count, size_t ld, const float* q,
                     float scale, float* scores) {
    active().attentionScores(kT, type, dim, count, ld, q, scale, scores);
}
void attentionSum(const void* v, WeightType type, int dim, int count, size_t ld, const float* p, float* out) {
    active().attentionSum(v, type, dim, count, ld, p, out);
}
void softmax(float* x, int n) { active().softmax(x, n); }
float logSumExp(const float* x, int n) { return active().logSumExp(x, n); }
void gelu(float* x, size_t n) { active().gelu(x, n); }
void layerNorm(const float* x, const float* gamma, const float* beta, float* y, int n, float eps) {
    active().layerNorm(x, gamma, beta, y, n, eps);
}
void add(float* y, const float* x, size_t n) { active().add(y, x, n); }

void convertToF16(const float* src, uint16_t* dst, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] = floatToHalf(src[i]);
}
void convertToBf16(const float* src, uint16_t* dst, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] = floatToBf16(src[i]);
}
void convertF16ToF32(const uint16_t* src, float* dst, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] = halfToFloat(src[i]);
}
void convertBf16ToF32(const uint16_t* src, float* dst, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] = bf16ToFloat(src[i]);
}

void quantizeRowsI8(const float* src, int rows, int cols, int8_t* dst, float* scales, int block) {
    const int blocks = (cols + block - 1) / block;
    for (int r = 0; r < rows; ++r) {
        for (int b = 0; b < blocks; ++b) {
            const int c0 = b * block, c1 = std::min(cols, c0 + block);
            const float* s = src + size_t(r) * cols;
            float m = 0;
            for (int c = c0; c < c1; ++c) m = std::max(m, std::fabs(s[c]));
            const float scale = m > 0 ? m / 127.0f : 1.0f;
            const float inv = 1.0f / scale;
            scales[size_t(r) * blocks + size_t(b)] = scale;
            for (int c = c0; c < c1; ++c) {
                dst[size_t(r) * cols + size_t(c)] = int8_t(std::clamp<long>(std::lrint(s[c] * inv), -127, 127));
            }
        }
    }
}

void quantizeRowsI8(const float* src, int rows, int cols, int8_t* dst, uint16_t* scales) {
    const int blocks = (cols + kI8Block - 1) / kI8Block;
    for (int r = 0; r < rows; ++r) {
        const float* s = src + size_t(r) * cols;
        for (int b = 0; b < blocks; ++b) {
            const int c0 = b * kI8Block, c1 = std::min(cols, c0 + kI8Block);
            float m = 0;
            for (int c = c0; c < c1; ++c) m = std::max(m, std::fabs(s[c]));
            const float want = std::min(m > 0 ? m / 127.0f : 1.0f, 65504.0f);
            uint16_t h = floatToHalf(want);
            if (halfToFloat(h) < want) ++h;  // next half up (positive, finite)
            if (halfToFloat(h) == 0) h = 1;  // below the smallest subnormal
            const float inv = 1.0f / halfToFloat(h);
            scales[size_t(r) * blocks + size_t(b)] = h;
            for (int c = c0; c < c1; ++c) {
                dst[size_t(r) * cols + size_t(c)] = int8_t(std::clamp<long>(std::lrint(s[c] * inv), -127, 127));
            }
        }
    }
}

// ---- portable implementations ----
namespace scalar {
namespace {

float load(const void* p, WeightType t, size_t i) {
    switch (t) {
        case WeightType::f32: return static_cast<const float*>(p)[i];
        case WeightType::f16: return halfToFloat(static_cast<const uint16_t*>(p)[i]);
        case WeightType::bf16: return bf16ToFloat(static_cast<const uint16_t*>(p)[i]);
        case WeightType::i8: return float(static_cast<const int8_t*>(p)[i]);
    }
    return 0;
}

void gemvRowsImpl(const Matrix& w, const float* x, int n, size_t ldx, float* y, size_t ldy, int r0, int r1,
                  const float* bias) {
    for (int r = r0; r < r1; ++r) {
        const size_t rowAt = size_t(r) * size_t(w.cols);
        for (int j = 0; j < n; ++j) {
            const float* xv = x + size_t(j) * ldx;
            float acc = 0;
            for (int c = 0; c < w.cols; ++c) acc += load(w.data, w.type, rowAt + size_t(c)) * xv[c];
            y[size_t(j) * ldy + size_t(r)] = acc + (bias ? bias[r] : 0.0f);
        }
    }
}

void gemvRowsI8Impl(const Matrix& w, const int16_t* xq, const float* xs, int n, size_t ldq, float* y, size_t ldy,
                    int r0, int r1, const float* bias) {
    const int blocks = w.blocksPerRow();
    const int8_t* q = static_cast<const int8_t*>(w.data);
    for (int r = r0; r < r1; ++r) {
        for (int j = 0; j < n; ++j) {
            double acc = 0;
            for (int b = 0; b < blocks; ++b) {
                int64_t block = 0;
                for (int c = b * kI8Block; c < std::min(w.cols, (b + 1) * kI8Block); ++c) {
                    block += int64_t(q[size_t(r) * w.cols + size_t(c)]) * xq[size_t(j) * ldq + size_t(c)];
                }
                acc += double(block) * halfToFloat(w.scales[size_t(r) * blocks + size_t(b)]);
            }
            y[size_t(j) * ldy + size_t(r)] = float(acc) * xs[j] + (bias ? bias[r] : 0.0f);
        }
    }
}

void scoresImpl(const void* kT, WeightType type, int dim, int count, size_t ld, const float* q, float scale,
                float* scores) {
    for (int f = 0; f < count; ++f) {
        float acc = 0;
        for (int i = 0; i < dim; ++i) acc += q[i] * load(kT, type, size_t(i) * ld + size_t(f));
        scores[f] = acc * scale;
    }
}

void sumImpl(const void* v, WeightType type, int dim, int count, size_t ld, const float* p, float* out) {
    for (int i = 0; i < dim; ++i) out[i] = 0;
    for (int f = 0; f < count; ++f) {
        for (int i = 0; i < dim; ++i) out[i] += p[f] * load(v, type, size_t(f) * ld + size_t(i));
    }
}

void quantizeVectorsI16Impl(const float* x, int n, size_t ldx, int cols, int16_t* xq, float* xs) {
    // Relative error about 3e-5 of the largest element, far below the weights' own int8 error.
    for (int j = 0; j < n; ++j) {
        const float* v = x + size_t(j) * ldx;
        int16_t* q = xq + size_t(j) * size_t(cols);
        float m = 0;
        for (int c = 0; c < cols; ++c) m = std::max(m, std::fabs(v[c]));
        const float scale = m > 0 ? m / 32767.0f : 1.0f;
        const float inv = 1.0f / scale;
        xs[j] = scale;
        for (int c = 0; c < cols; ++c) q[c] = int16_t(std::nearbyint(v[c] * inv));
    }
}

// The same integer arithmetic as the SIMD versions, one value at a time.
void crossScores(const int8_t* k, const float* kScale, int dim, int frames, const float* q, float scale,
                       float* scores) {
    int16_t q16[kCrossMaxDim];
    float m = 0;
    for (int i = 0; i < dim; ++i) m = std::max(m, std::fabs(q[i]));
    const float qs = m > 0 ? m / 32767.0f : 1.0f;
    for (int i = 0; i < dim; ++i) q16[i] = int16_t(std::nearbyint(q[i] / qs));
    for (int f = 0; f < frames; ++f) {
        const int8_t* at = k + size_t(f / kCrossBlock) * kCrossBlock * size_t(dim) + size_t(f % kCrossBlock) * 2;
        int32_t acc = 0;
        for (int i = 0; i < dim; ++i) acc += int32_t(at[size_t(i / 2) * kCrossBlock * 2 + size_t(i % 2)]) * q16[i];
        scores[f] = float(acc) * (scale * qs) * kScale[f];
    }
}

void crossSum(const int8_t* v, const float* vScale, int dim, int frames, const float* p, float* out) {
    float m = 0;
    for (int f = 0; f < frames; ++f) m = std::max(m, p[f] * vScale[f]);
    for (int i = 0; i < dim; ++i) out[i] = 0;
    if (m == 0) return;
    const float ps = m / 32767.0f;
    constexpr int kRun = 256;
    std::vector<int32_t> acc(static_cast<size_t>(dim));
    for (int f0 = 0; f0 < frames; f0 += kRun) {
        std::fill(acc.begin(), acc.end(), 0);
        for (int f = f0; f < std::min(frames, f0 + kRun); ++f) {
            const int32_t w = int32_t(std::nearbyint(p[f] * vScale[f] * (1.0f / ps)));
            const int8_t* pair = v + size_t(f / 2) * size_t(dim) * 2 + size_t(f % 2);
            for (int i = 0; i < dim; ++i) acc[size_t(i)] += w * pair[size_t(i) * 2];
        }
        for (int i = 0; i < dim; ++i) out[i] += float(acc[size_t(i)]) * ps;
    }
}

void softmaxImpl(float* x, int n);

void crossAttentionI8Impl(const int8_t* k, const float* kScale, const int8_t* v, const float* vScale, int dim,
                          int frames, const float* q, float scale, float* probs, float* out) {
    crossScores(k, kScale, dim, frames, q, scale, probs);
    softmaxImpl(probs, frames);
    crossSum(v, vScale, dim, frames, probs, out);
}

void softmaxImpl(float* x, int n) {
    float m = -INFINITY;
    for (int i = 0; i < n; ++i) m = std::max(m, x[i]);
    float s = 0;
    for (int i = 0; i < n; ++i) {
        x[i] = std::exp(x[i] - m);
        s += x[i];
    }
    const float inv = 1.0f / s;
    for (int i = 0; i < n; ++i) x[i] *= inv;
}

float logSumExpImpl(const float* x, int n) {
    float m = -INFINITY;
    for (int i = 0; i < n; ++i) m = std::max(m, x[i]);
    if (m == -INFINITY) return m;
    double s = 0;
    for (int i = 0; i < n; ++i) s += std::exp(double(x[i]) - m);
    return m + float(std::log(s));
}

void geluImpl(float* x, size_t n) {
    for (size_t i = 0; i < n; ++i) x[i] = 0.5f * x[i] * (1.0f + std::erf(x[i] * float(M_SQRT1_2)));
}

void layerNormImpl(const float* x, const float* g, const float* b, float* y, int n, float eps) {
    double mean = 0;
    for (int i = 0; i < n; ++i) mean += x[i];
    mean /= n;
    double var = 0;
    for (int i = 0; i < n; ++i) var += (x[i] - mean) * (x[i] - mean);
    var /= n;
    const float inv = float(1.0 / std::sqrt(var + eps));
    const float fm = float(mean);
    for (int i = 0; i < n; ++i) y[i] = (x[i] - fm) * inv * g[i] + b[i];
}

void addImpl(float* y, const float* x, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] += x[i];
}

}  // namespace

const KernelTable table = {gemvRowsImpl, gemvRowsI8Impl, quantizeVectorsI16Impl, scoresImpl, sumImpl, crossAttentionI8Impl, softmaxImpl, logSumExpImpl, geluImpl, layerNormImpl, addImpl};

}  // namespace scalar

}  // namespace lumenote::engine::kernels
