// Every SIMD level against the portable kernels, on awkward sizes, and the scalar half-precision
// conversions against their definition.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/Float16.h"
#include "engine/Gemm.h"
#include "engine/Kernels.h"
#include "engine/ThreadPool.h"

namespace lumenote::engine {
namespace {

using kernels::Isa;
using kernels::WeightType;

std::vector<float> randomVector(size_t n, uint32_t seed, float scale = 1.0f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::vector<float> v(n);
    for (float& x : v) x = u(rng);
    return v;
}

// Storage for a matrix of the given type built from float values.
struct Stored {
    std::vector<float> f32;
    std::vector<uint16_t> half;
    std::vector<int8_t> q;
    std::vector<uint16_t> scales;
    kernels::Matrix m;
};

Stored store(const std::vector<float>& values, int rows, int cols, WeightType type) {
    Stored s;
    s.m.type = type;
    s.m.rows = rows;
    s.m.cols = cols;
    switch (type) {
        case WeightType::f32: s.f32 = values; s.m.data = s.f32.data(); break;
        case WeightType::f16:
            s.half.resize(values.size());
            kernels::convertToF16(values.data(), s.half.data(), values.size());
            s.m.data = s.half.data();
            break;
        case WeightType::bf16:
            s.half.resize(values.size());
            kernels::convertToBf16(values.data(), s.half.data(), values.size());
            s.m.data = s.half.data();
            break;
        case WeightType::i8:
            s.q.resize(values.size());
            s.scales.resize(size_t(rows) * size_t((cols + kernels::kI8Block - 1) / kernels::kI8Block));
            kernels::quantizeRowsI8(values.data(), rows, cols, s.q.data(), s.scales.data());
            s.m.data = s.q.data();
            s.m.scales = s.scales.data();
            break;
    }
    return s;
}

class KernelLevels : public ::testing::TestWithParam<Isa> {
protected:
    void SetUp() override {
        saved_ = kernels::activeIsa();
        if (!kernels::setIsa(GetParam())) GTEST_SKIP() << "CPU lacks " << kernels::isaName(GetParam());
    }
    void TearDown() override { kernels::setIsa(saved_); }
    // Runs fn at this level and at the scalar level.
    template <typename Fn>
    void bothLevels(Fn fn) {
        fn(true);
        kernels::setIsa(Isa::scalar);
        fn(false);
        kernels::setIsa(GetParam());
    }
    Isa saved_ = Isa::scalar;
};

TEST_P(KernelLevels, MatrixVectorProductsAgreeForEveryStorageType) {
    // Rows and columns that are not multiples of the vector width, several vectors at once.
    for (auto [rows, cols, n] : {std::tuple{37, 53, 1}, std::tuple{64, 128, 3}, std::tuple{9, 200, 6}}) {
        const auto w = randomVector(size_t(rows) * cols, 1);
        const auto x = randomVector(size_t(n) * cols, 2);
        const auto bias = randomVector(size_t(rows), 3);
        for (WeightType t : {WeightType::f32, WeightType::f16, WeightType::bf16, WeightType::i8}) {
            const Stored s = store(w, rows, cols, t);
            std::vector<float> got(size_t(n) * rows), want(size_t(n) * rows);
            bothLevels([&](bool simd) {
                // Two row ranges, as the thread pool splits them.
                auto& y = simd ? got : want;
                kernels::gemvRows(s.m, x.data(), n, size_t(cols), y.data(), size_t(rows), 0, rows / 2, bias.data());
                kernels::gemvRows(s.m, x.data(), n, size_t(cols), y.data(), size_t(rows), rows / 2, rows, bias.data());
            });
            for (size_t i = 0; i < got.size(); ++i) {
                ASSERT_NEAR(got[i], want[i], 1e-4f * (1 + std::fabs(want[i]))) << kernels::weightTypeName(t) << " " << i;
            }
        }
    }
}

TEST_P(KernelLevels, AttentionKernelsAgree) {
    const int dim = 64, count = 1500 - 3;  // keys in a strided, transposed layout
    const size_t ld = 1504;
    const auto k = randomVector(size_t(dim) * ld, 4);
    const auto v = randomVector(size_t(count) * 80, 5);
    const auto q = randomVector(size_t(dim), 6);
    std::vector<uint16_t> kHalf(k.size());
    kernels::convertToF16(k.data(), kHalf.data(), k.size());
    // int8 caches (the scales are applied outside the kernels): integers up to 127.
    std::vector<int8_t> kInt(k.size()), vInt(v.size());
    for (size_t i = 0; i < k.size(); ++i) kInt[i] = int8_t(std::lround(k[i] * 127));
    for (size_t i = 0; i < v.size(); ++i) vInt[i] = int8_t(std::lround(v[i] * 127));
    for (WeightType t : {WeightType::f32, WeightType::f16, WeightType::i8}) {
        const void* keys = t == WeightType::f32 ? static_cast<const void*>(k.data())
                           : t == WeightType::f16 ? static_cast<const void*>(kHalf.data())
                                                  : static_cast<const void*>(kInt.data());
        const void* values = t == WeightType::i8 ? static_cast<const void*>(vInt.data()) : v.data();
        const WeightType valueType = t == WeightType::i8 ? t : WeightType::f32;
        const float scale = t == WeightType::i8 ? 0.125f / 127 : 0.125f;
        std::vector<float> s1(count), s2(count), o1(dim), o2(dim);
        bothLevels([&](bool simd) {
            auto& s = simd ? s1 : s2;
            auto& o = simd ? o1 : o2;
            kernels::attentionScores(keys, t, dim, count, ld, q.data(), scale, s.data());
            kernels::softmax(s.data(), count);
            kernels::attentionSum(values, valueType, dim, count, 80, s.data(), o.data());
            if (t == WeightType::i8) for (float& x : o) x /= 127;
        });
        for (int i = 0; i < count; ++i) ASSERT_NEAR(s1[size_t(i)], s2[size_t(i)], 1e-6f);
        for (int i = 0; i < dim; ++i) ASSERT_NEAR(o1[size_t(i)], o2[size_t(i)], 1e-5f);
    }
}

TEST_P(KernelLevels, ElementwiseKernelsAgree) {
    for (int n : {7, 384, 1283}) {
        auto x = randomVector(size_t(n), 7, 6.0f);
        const auto g = randomVector(size_t(n), 8);
        const auto b = randomVector(size_t(n), 9);
        std::vector<float> gelu1 = x, gelu2 = x, ln1(static_cast<size_t>(n)), ln2(static_cast<size_t>(n)), sm1 = x, sm2 = x;
        std::vector<float> masked = x;
        for (size_t i = 0; i < masked.size(); i += 3) masked[i] = -std::numeric_limits<float>::infinity();
        float lse1 = 0, lse2 = 0;
        bothLevels([&](bool simd) {
            (simd ? lse1 : lse2) = kernels::logSumExp(masked.data(), n);
            kernels::gelu((simd ? gelu1 : gelu2).data(), size_t(n));
            kernels::layerNorm(x.data(), g.data(), b.data(), (simd ? ln1 : ln2).data(), n, 1e-5f);
            kernels::softmax((simd ? sm1 : sm2).data(), n);
        });
        EXPECT_NEAR(lse1, lse2, 1e-5f);
        for (size_t i = 0; i < size_t(n); ++i) {
            ASSERT_NEAR(gelu1[i], gelu2[i], 2e-6f * (1 + std::fabs(x[i])));
            ASSERT_NEAR(ln1[i], ln2[i], 1e-5f);
            ASSERT_NEAR(sm1[i], sm2[i], 1e-6f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelLevels, ::testing::Values(Isa::avx2, Isa::avx512),
                         [](const auto& info) { return std::string(kernels::isaName(info.param)); });

// The int8 cross-attention at every level against double sums over the packed cache's own
// values (scale times integer), so that what remains is the int16 rounding of the query and of
// the weights: a misplaced frame, dimension or scale is far outside that. The packing is held to
// half an int8 step of the unquantised values. Odd frame counts leave partial key blocks and a
// lone last frame; 1500 frames take several weight runs, width 256 the widest heads.
TEST(CrossAttentionInt8, EveryLevelMatchesDoubleSums) {
    const Isa saved = kernels::activeIsa();
    for (auto [dim, frames] : {std::pair{64, 1500}, std::pair{16, 37}, std::pair{6, 1}, std::pair{256, 300}}) {
        SCOPED_TRACE(::testing::Message() << "dim " << dim << ", frames " << frames);
        const auto k = randomVector(size_t(frames) * dim, 11);
        const auto v = randomVector(size_t(frames) * dim, 12);
        const auto q = randomVector(size_t(dim), 13);
        std::vector<int8_t> kq(size_t(kernels::crossKeyFrames(frames)) * dim), vq(size_t(kernels::crossValueFrames(frames)) * dim);
        std::vector<float> ks(size_t(kernels::crossKeyFrames(frames))), vs(size_t(kernels::crossValueFrames(frames)));
        kernels::packCrossKeysI8(k.data(), size_t(dim), dim, frames, kq.data(), ks.data());
        kernels::packCrossValuesI8(v.data(), size_t(dim), dim, frames, vq.data(), vs.data());
        // The cache's values, read back through the documented layouts.
        std::vector<double> kd(size_t(frames) * dim), vd(size_t(frames) * dim);
        for (int f = 0; f < frames; ++f) {
            double kMax = 0, vMax = 0;
            for (int i = 0; i < dim; ++i) {
                kMax = std::max(kMax, double(std::fabs(k[size_t(f) * dim + size_t(i)])));
                vMax = std::max(vMax, double(std::fabs(v[size_t(f) * dim + size_t(i)])));
            }
            for (int i = 0; i < dim; ++i) {
                const size_t at = size_t(f) * dim + size_t(i);
                const int8_t kv = kq[size_t(f / kernels::kCrossBlock) * kernels::kCrossBlock * dim +
                                     size_t(i / 2) * kernels::kCrossBlock * 2 + size_t(f % kernels::kCrossBlock) * 2 + size_t(i % 2)];
                const int8_t vv = vq[size_t(f / 2) * dim * 2 + size_t(i) * 2 + size_t(f % 2)];
                kd[at] = double(ks[size_t(f)]) * kv;
                vd[at] = double(vs[size_t(f)]) * vv;
                ASSERT_NEAR(kd[at], k[at], kMax / 254 * 1.0001) << "key " << f << "," << i;
                ASSERT_NEAR(vd[at], v[at], vMax / 254 * 1.0001) << "value " << f << "," << i;
            }
        }
        // Scores, their bound from the query's int16 rounding, and the softmax.
        const float scale = 0.5f;
        double qMax = 0;
        for (float x : q) qMax = std::max(qMax, double(std::fabs(x)));
        std::vector<double> want(static_cast<size_t>(frames));
        double eps = 0, top = -1e300, z = 0;
        for (int f = 0; f < frames; ++f) {
            double dot = 0, bound = 0;
            for (int i = 0; i < dim; ++i) {
                dot += double(q[size_t(i)]) * kd[size_t(f) * dim + size_t(i)];
                bound += std::fabs(kd[size_t(f) * dim + size_t(i)]) * qMax / 65534;
            }
            want[size_t(f)] = scale * dot;
            eps = std::max(eps, scale * bound + 1e-6 * (1 + std::fabs(scale * dot)));
            top = std::max(top, want[size_t(f)]);
        }
        for (double& x : want) z += (x = std::exp(x - top));
        for (double& x : want) x /= z;
        const double spread = std::expm1(2 * eps);  // relative bound on each probability
        for (Isa isa : {Isa::scalar, Isa::avx2, Isa::avx512}) {
            if (!kernels::setIsa(isa)) continue;
            SCOPED_TRACE(kernels::isaName(isa));
            std::vector<float> probs(static_cast<size_t>(frames)), out(static_cast<size_t>(dim));
            kernels::crossAttentionI8(kq.data(), ks.data(), vq.data(), vs.data(), dim, frames, q.data(), scale,
                                      probs.data(), out.data());
            double pvMax = 0;
            for (int f = 0; f < frames; ++f) {
                const double p = want[size_t(f)];
                ASSERT_NEAR(probs[size_t(f)], p, p * spread + 1e-7) << "frame " << f;
                pvMax = std::max(pvMax, p * (1 + spread) * vs[size_t(f)]);
            }
            for (int i = 0; i < dim; ++i) {
                double o = 0, bound = 0;
                for (int f = 0; f < frames; ++f) {
                    const double x = vd[size_t(f) * dim + size_t(i)];
                    o += want[size_t(f)] * x;
                    bound += want[size_t(f)] * spread * std::fabs(x) + 127 * pvMax / 65534;
                }
                ASSERT_NEAR(out[size_t(i)], o, bound * 1.01 + 1e-6) << "dimension " << i;
            }
        }
    }
    kernels::setIsa(saved);
}

// int8 weights with half-precision scales: every value within half a step of its original, and
// the step no wider than the half just above max / 127, down to blocks whose scale is subnormal
// in half precision; a zero block and a short last block stay well defined.
TEST(WeightQuantization, HalfScalesKeepEveryValueWithinHalfAStep) {
    const int cols = 32 * 4 + 7;  // four whole blocks and a short one
    for (float magnitude : {0.05f, 3e-4f, 1e-6f, 0.0f, 900.0f}) {
        auto x = randomVector(size_t(2) * cols, 17, magnitude);
        std::vector<int8_t> q(x.size());
        std::vector<uint16_t> scales(size_t(2) * 5);
        kernels::quantizeRowsI8(x.data(), 2, cols, q.data(), scales.data());
        for (int r = 0; r < 2; ++r) {
            for (int b = 0; b < 5; ++b) {
                const float scale = halfToFloat(scales[size_t(r) * 5 + size_t(b)]);
                float m = 0;
                for (int c = b * 32; c < std::min(cols, b * 32 + 32); ++c) m = std::max(m, std::fabs(x[size_t(r) * cols + size_t(c)]));
                ASSERT_GT(scale, 0) << magnitude;
                ASSERT_GE(scale, m / 127) << magnitude;
                // The next half below would have been too small (or the scale is the smallest half).
                if (scales[size_t(r) * 5 + size_t(b)] > 1 && m > 0) {
                    ASSERT_LT(halfToFloat(uint16_t(scales[size_t(r) * 5 + size_t(b)] - 1)), m / 127) << magnitude;
                }
                for (int c = b * 32; c < std::min(cols, b * 32 + 32); ++c) {
                    const size_t at = size_t(r) * cols + size_t(c);
                    ASSERT_NEAR(double(q[at]) * scale, x[at], scale * 0.5001) << magnitude << " at " << at;
                }
            }
        }
    }
}

// Every product kernel this processor can run against sums in double, on sizes that leave
// partial tiles, odd depths and several depth blocks. Reduced precision is held to a bound
// that grows like the rounding noise, sqrt(k) times the largest operands, far below what a
// misplaced pair or offset would give.
TEST(MatrixProducts, EveryKernelMatchesPlainSumsWithTheFusedEpilogue) {
    ThreadPool pool(2);
    using gemm::Kernel;
    const struct {
        Kernel kernel;
        double noise;  // allowed error / (sqrt(k) * max|a| * max|w|); 0: absolute 1e-4
    } kernels[] = {{Kernel::openblas, 0}, {Kernel::f32, 0},        {Kernel::amx, 0},
                   {Kernel::amxBf16, 1e-2}, {Kernel::bf16, 1e-2}, {Kernel::int8, 2e-2}, {Kernel::amxInt8, 2e-2}};
    // Multiples of 32 in n and k take the AMX tiles (64 in k for bytes); the others fall back to
    // single precision or, for bytes, to VNNI.
    for (auto [m, n, k] : {std::tuple{37, 45, 300}, std::tuple{113, 257, 70}, std::tuple{14, 32, 256}, std::tuple{300, 96, 600},
                           std::tuple{50, 64, 96}, std::tuple{130, 288, 320}, std::tuple{20, 40, 1031}}) {
        const auto a = randomVector(size_t(m) * k, 11), w = randomVector(size_t(n) * k, 12), c0 = randomVector(size_t(m) * n, 13);
        const auto bias = randomVector(size_t(n), 14);
        std::vector<double> sums(size_t(m) * n);
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < n; ++j) {
                double sum = 0;
                for (int kk = 0; kk < k; ++kk) sum += double(a[size_t(i) * k + size_t(kk)]) * w[size_t(j) * k + size_t(kk)];
                sums[size_t(i) * n + size_t(j)] = sum;
            }
        }
        std::vector<float> vnni[3];  // the int8 results, which the byte tiles must give exactly
        for (const auto& [kernel, noise] : kernels) {
            if (!gemm::supported(kernel)) continue;
            const gemm::PackedWeights packed = gemm::PackedWeights::pack(w.data(), n, k, kernel);
            const double alpha = 0.5;
            const double tolerance = noise == 0 ? 1e-4 : alpha * noise * std::sqrt(double(k));
            for (int variant = 0; variant < 3; ++variant) {
                // Plain; accumulating into C; with bias and GELU.
                std::vector<float> c = c0;
                const double beta = variant == 1 ? 1.0 : 0.0;
                gemm::multiplyByWeights(m, a.data(), k, packed, c.data(), n, float(alpha), float(beta), pool,
                                        variant == 2 ? bias.data() : nullptr, variant == 2);
                if (packed.kernel == Kernel::int8 && kernel == Kernel::int8) vnni[variant] = c;
                if (packed.kernel == Kernel::amxInt8 && !vnni[variant].empty()) {
                    ASSERT_EQ(c, vnni[variant]) << m << "x" << n << "x" << k << " variant " << variant;
                }
                for (size_t at = 0; at < c.size(); ++at) {
                    double want = alpha * sums[at] + beta * c0[at];
                    if (variant == 2) {
                        want += bias[at % size_t(n)];
                        want = 0.5 * want * (1.0 + std::erf(want / std::sqrt(2.0)));
                    }
                    ASSERT_NEAR(c[at], want, tolerance) << gemm::kernelName(packed.kernel) << " " << m << "x" << n << "x"
                                                        << k << " variant " << variant;
                }
            }
        }
    }
}

TEST(MatrixProducts, FusedAttentionMatchesTheDefinition) {
    ThreadPool pool(2);
    // Partial query blocks and key panels, odd T; a head width of 32 takes the AMX tiles where
    // the processor has them.
    for (auto [T, heads, dh] : {std::tuple{75, 2, 20}, std::tuple{75, 2, 32}}) {
    const int d = heads * dh;
    const auto q = randomVector(size_t(T) * d, 21), k = randomVector(size_t(T) * d, 22), v = randomVector(size_t(T) * d, 23);
    std::vector<double> want(size_t(T) * d);
    for (int h = 0; h < heads; ++h) {
        for (int t = 0; t < T; ++t) {
            std::vector<double> p(static_cast<size_t>(T));
            double mx = -1e300, z = 0;
            for (int s2 = 0; s2 < T; ++s2) {
                double dot = 0;
                for (int i = 0; i < dh; ++i) dot += double(q[size_t(t) * d + size_t(h * dh + i)]) * k[size_t(s2) * d + size_t(h * dh + i)];
                p[size_t(s2)] = 0.3 * dot;
                mx = std::max(mx, p[size_t(s2)]);
            }
            for (double& x : p) z += (x = std::exp(x - mx));
            for (int i = 0; i < dh; ++i) {
                double o = 0;
                for (int s2 = 0; s2 < T; ++s2) o += p[size_t(s2)] / z * v[size_t(s2) * d + size_t(h * dh + i)];
                want[size_t(t) * d + size_t(h * dh + i)] = o;
            }
        }
    }
    // bfloat16 where the processor has it: about 3 significant digits on outputs of order 0.1.
    for (auto [precision, tolerance] : {std::pair{gemm::Precision::exact, 1e-5}, std::pair{gemm::Precision::bf16, 4e-3},
                                         std::pair{gemm::Precision::int8, 1.2e-2}}) {
        std::vector<float> out(size_t(T) * d);
        gemm::attention(T, d, heads, q.data(), k.data(), v.data(), out.data(), 0.3f, pool, precision);
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], want[i], tolerance) << gemm::precisionName(precision) << " head width " << dh << " " << i;
        }
    }
    }
}

TEST(HalfPrecision, EveryHalfRoundTripsAndFloatsRoundToNearest) {
    for (uint32_t h = 0; h < 0x10000; ++h) {
        const float f = halfToFloat(uint16_t(h));
        if (std::isnan(f)) continue;
        ASSERT_EQ(floatToHalf(f), h) << std::hex << h;
    }
    EXPECT_EQ(halfToFloat(floatToHalf(0.1f)), 0.0999755859375f);
    EXPECT_EQ(floatToHalf(65520.0f), 0x7c00);                   // rounds up to infinity
    EXPECT_EQ(halfToFloat(floatToHalf(5.96e-8f)), 5.9604644775390625e-8f);  // smallest subnormal
    EXPECT_EQ(roundToHalf(0.2f), 0.199951171875f);
    EXPECT_EQ(bf16ToFloat(floatToBf16(1.00390625f)), 1.0f);     // tie to even
    EXPECT_EQ(bf16ToFloat(floatToBf16(1.01171875f)), 1.015625f);
}

TEST(ThreadPoolTest, RunsEveryChunkOnceAcrossRepeatedJobs) {
    ThreadPool pool(3);
    std::vector<std::atomic<int>> hits(1000);
    for (int job = 0; job < 200; ++job) {
        const int chunks = 1 + job * 5 % 997;
        pool.run(chunks, [&](int c) { hits[size_t(c)].fetch_add(1); });
    }
    int total = 0;
    for (auto& h : hits) total += h.load();
    int expected = 0;
    for (int job = 0; job < 200; ++job) expected += 1 + job * 5 % 997;
    EXPECT_EQ(total, expected);
}

}  // namespace
}  // namespace lumenote::engine
