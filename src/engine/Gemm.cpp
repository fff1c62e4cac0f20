#include "engine/Gemm.h"

#include <cblas.h>
#include <cpuid.h>
#include <immintrin.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/Kernels.h"
#include "engine/ThreadPool.h"

namespace lumenote::engine::gemm {

namespace {

using avx512::MR;
using avx512::NR;
constexpr int KC = 256;       // depth of one packed block: a 32-column B panel is 32 KiB
constexpr int MC = 8 * MR;    // rows of A per tile, packed once per depth block

std::string_view gemmChoice() {
    const char* env = std::getenv("LUMENOTE_ENGINE_GEMM");
    return env ? std::string_view(env) : std::string_view();
}

bool decideOwnKernel() {
    if (kernels::bestIsa() != kernels::Isa::avx512) return false;
    return gemmChoice() != "openblas";
}

__attribute__((target("xsave"))) bool osKeepsTileState() {
    return (_xgetbv(0) & (3ull << 17)) == (3ull << 17);
}

bool decideAmx() {
    if (!decideOwnKernel() || gemmChoice() == "avx512") return false;
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool tiles = (d & (1u << 24)) && (d & (1u << 22));  // AMX-TILE, AMX-BF16
    if (!__get_cpuid_count(7, 1, &a, &b, &c, &d)) return false;
    const bool avx512bf16 = (a & (1u << 5)) != 0;
    if (!tiles || !avx512bf16) return false;
    unsigned xa = 0, xb = 0, xc = 0, xd = 0;
    __get_cpuid(1, &xa, &xb, &xc, &xd);
    if (!(xc & bit_OSXSAVE) || !osKeepsTileState()) return false;
    // Linux hands out tile state per process on request (ARCH_REQ_XCOMP_PERM, XTILEDATA).
    return syscall(SYS_arch_prctl, 0x1023, 18) == 0;
}

// Per-thread packing space, grown on demand.
float* scratch(size_t floats, int slot) {
    thread_local std::vector<float> buffers[2];
    auto& b = buffers[slot];
    if (b.size() < floats) b.resize(floats);
    return b.data();
}

// Runs the tiles of C over the pool. Tiles are wide (up to 1024 columns) when there are enough
// row blocks to share out, so blocks of A are packed few times; `bPanel(j, pc)` gives the packed
// weights for columns [j, j + 32) at depth block pc.
template <typename BPanel>
void tiled(int m, int n, int k, const float* a, int lda, float* c, int ldc, float alpha, float beta,
           ThreadPool& pool, BPanel&& bPanel, const float* bias, bool gelu) {
    const int tilesM = (m + MC - 1) / MC;
    const int wanted = 4 * pool.size();  // enough tiles that a slow thread does not hold the rest up
    const int splitN = std::clamp((wanted + tilesM - 1) / tilesM, 1, (n + NR - 1) / NR);
    // At most 1024 columns, so a depth block of B (1 MiB) stays in L2 while the rows go by.
    const int nc = std::min(1024, ((n + splitN - 1) / splitN + NR - 1) / NR * NR);
    const int tilesN = (n + nc - 1) / nc;
    pool.run(tilesM * tilesN, [&](int t) {
        const int ic = (t % tilesM) * MC;
        const int jc = (t / tilesM) * nc;
        const int mc = std::min(MC, m - ic);
        const int ncols = std::min(nc, n - jc);
        float* ap = scratch(size_t(MC) * KC, 0);
        for (int pc = 0; pc < k; pc += KC) {
            const int kc = std::min(KC, k - pc);
            for (int ir = 0; ir < mc; ir += MR) {
                avx512::packA(a + size_t(ic + ir) * lda + pc, lda, std::min(MR, mc - ir), kc, ap + size_t(ir) * kc);
            }
            const float b0 = pc == 0 ? beta : 1.0f;
            const bool last = pc + KC >= k;  // the bias and GELU go on the finished sums
            for (int jr = 0; jr < ncols; jr += NR) {
                const float* bp = bPanel(jc + jr, pc);
                for (int ir = 0; ir < mc; ir += MR) {
                    avx512::kernel(kc, ap + size_t(ir) * kc, bp, NR, c + size_t(ic + ir) * ldc + jc + jr, ldc, alpha,
                                   b0, std::min(MR, mc - ir), std::min(NR, ncols - jr),
                                   last && bias ? bias + jc + jr : nullptr, last && gelu);
                }
            }
        }
    });
}

// A split once into bfloat16 halves (rows padded to 16 with zeros), then blocks of 64 rows x
// 256 columns over the pool, each 16 x 32 piece through the tiles and the fused epilogue.
void multiplyAmx(int m, const float* a, int lda, const PackedWeights& w, float* c, int ldc, float alpha, float beta,
                 ThreadPool& pool, const float* bias, bool gelu) {
    const int k = w.k, n = w.n;
    const int mPad = (m + 15) / 16 * 16;
    thread_local std::vector<uint16_t> aHi, aLo;
    aHi.resize(size_t(mPad) * k);
    aLo.resize(size_t(mPad) * k);
    // The padding rows share tiles with the last real ones: clear that whole row block first.
    const size_t lastBlock = size_t(m / 16) * 16 * size_t(k);
    std::fill(aHi.begin() + ptrdiff_t(lastBlock), aHi.end(), uint16_t(0));
    std::fill(aLo.begin() + ptrdiff_t(lastBlock), aLo.end(), uint16_t(0));
    uint16_t* hi = aHi.data();
    uint16_t* lo = aLo.data();
    pool.run((m + 63) / 64, [&](int t) {
        const int r0 = t * 64, rows = std::min(64, m - r0);
        amx::splitRows(a + size_t(r0) * lda, lda, rows, k, hi + size_t(r0) * k, lo + size_t(r0) * k);
    });
    // One job per 32 columns: that slice of W (for 256 of k) stays in L1 while every row block
    // passes by; the partial sums wait in a per-thread buffer between depth slices.
    const int rowBlocks = mPad / 16;
    const int kBlocks = k / 32;
    constexpr int sliceBlocks = 8;
    const size_t colBlockStride = size_t(kBlocks) * 512;  // one 16-column block of W's tiles
    pool.run(n / 32, [&](int t) {
        const int j = t * 32;
        float* acc = scratch(size_t(rowBlocks) * 16 * 32, 0);
        const uint16_t* bHi = w.amxHi.data() + size_t(j / 16) * colBlockStride;
        const uint16_t* bLo = w.amxLo.data() + size_t(j / 16) * colBlockStride;
        amx::configure();
        for (int kb = 0; kb < kBlocks; kb += sliceBlocks) {
            const int kbEnd = std::min(kBlocks, kb + sliceBlocks);
            for (int rb = 0; rb < rowBlocks; ++rb) {
                amx::kernel16x32(hi + size_t(rb) * 16 * k, lo + size_t(rb) * 16 * k, k, kb, kbEnd, bHi, bLo,
                                 acc + size_t(rb) * 512, kb == 0);
            }
        }
        amx::release();
        for (int rb = 0; rb < rowBlocks; ++rb) {
            const int i = rb * 16;
            avx512::epilogue(acc + size_t(rb) * 512, c + size_t(i) * ldc + j, ldc, alpha, beta, std::min(16, m - i), 32,
                             bias ? bias + j : nullptr, gelu);
        }
    });
}

}  // namespace

bool ownKernel() {
    static const bool own = decideOwnKernel();
    return own;
}

bool amxKernel() {
    static const bool amx = decideAmx();
    return amx;
}

PackedWeights PackedWeights::pack(const float* w, int n, int k) {
    PackedWeights p;
    p.n = n;
    p.k = k;
    if (!ownKernel()) {
        p.raw = w;
        return p;
    }
    if (amxKernel() && n % 32 == 0 && k % 32 == 0) {
        p.amxHi.resize(size_t(n) * size_t(k));
        p.amxLo.resize(size_t(n) * size_t(k));
        amx::packWeights(w, n, k, p.amxHi.data(), p.amxLo.data());
        p.packed = true;
        return p;
    }
    const int panels = (n + NR - 1) / NR;
    p.data.assign(size_t(panels) * k * NR, 0.0f);
    for (int j = 0; j < n; ++j) {
        float* dst = p.data.data() + size_t(j / NR) * k * NR + (j % NR);
        const float* src = w + size_t(j) * k;
        for (int kk = 0; kk < k; ++kk) dst[size_t(kk) * NR] = src[kk];
    }
    p.packed = true;
    return p;
}

void multiplyByWeights(int m, const float* a, int lda, const PackedWeights& w, float* c, int ldc, float alpha,
                       float beta, ThreadPool& pool, const float* bias, bool gelu) {
    if (!w.packed) {
        cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, m, w.n, w.k, alpha, a, lda, w.raw, w.k, beta, c, ldc);
        if (bias || gelu) {
            const int chunk = 64;
            pool.run((m + chunk - 1) / chunk, [&](int t) {
                for (int r = t * chunk; r < std::min(m, (t + 1) * chunk); ++r) {
                    float* row = c + size_t(r) * ldc;
                    if (bias) kernels::add(row, bias, size_t(w.n));
                    if (gelu) kernels::gelu(row, size_t(w.n));
                }
            });
        }
        return;
    }
    if (!w.amxHi.empty()) {
        multiplyAmx(m, a, lda, w, c, ldc, alpha, beta, pool, bias, gelu);
        return;
    }
    tiled(
        m, w.n, w.k, a, lda, c, ldc, alpha, beta, pool,
        [&](int j, int pc) { return w.data.data() + size_t(j / NR) * w.k * NR + size_t(pc) * NR; }, bias, gelu);
}

void attention(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
               ThreadPool& pool) {
    const int dh = d / heads;
    if (!ownKernel()) {
        std::vector<float> s(size_t(T) * T);
        for (int h = 0; h < heads; ++h) {
            cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, T, T, dh, scale, q + h * dh, d, k + h * dh, d, 0.0f,
                        s.data(), T);
            for (int t = 0; t < T; ++t) kernels::softmax(s.data() + size_t(t) * T, T);
            cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, T, dh, T, 1.0f, s.data(), T, v + h * dh, d, 0.0f,
                        out + h * dh, d);
        }
        return;
    }
    // Per head, keys as the A operand of S^T = K Q^T (panels of 14 keys) and values transposed as
    // the A operand of O^T = V^T P^T (panels of 14 dimensions).
    const int keyPanels = (T + MR - 1) / MR;
    const int dimPanels = (dh + MR - 1) / MR;
    const size_t kHead = size_t(keyPanels) * dh * MR;
    const size_t vHead = size_t(dimPanels) * T * MR;
    thread_local std::vector<float> packedK, packedV;
    packedK.resize(kHead * heads);
    packedV.resize(vHead * heads);
    float* pk = packedK.data();
    float* pv = packedV.data();
    pool.run(heads * (keyPanels + dimPanels), [&](int item) {
        const int h = item / (keyPanels + dimPanels), p = item % (keyPanels + dimPanels);
        if (p < keyPanels) {
            avx512::packA(k + size_t(p) * MR * d + h * dh, d, std::min(MR, T - p * MR), dh,
                          pk + h * kHead + size_t(p) * dh * MR);
        } else {
            const int i = (p - keyPanels) * MR;
            avx512::packAColumns(v + h * dh + i, d, std::min(MR, dh - i), T, pv + h * vHead + size_t(p - keyPanels) * T * MR);
        }
    });
    // Blocks of 32 queries: scores for every key, softmax down the columns, then the values.
    const int blocks = (T + NR - 1) / NR;
    pool.run(heads * blocks, [&](int item) {
        const int h = item / blocks, q0 = (item % blocks) * NR;
        const int nq = std::min(NR, T - q0);
        float* qp = scratch(size_t(dh) * NR + size_t(T) * NR + size_t(dimPanels) * MR * NR, 1);
        float* sp = qp + size_t(dh) * NR;      // [key][32]: P^T, already a packed B panel
        float* op = sp + size_t(T) * NR;       // [dim][32]
        avx512::packBRowsAreN(q + size_t(q0) * d + h * dh, d, nq, dh, qp);
        for (int p = 0; p < keyPanels; ++p) {
            avx512::kernel(dh, pk + h * kHead + size_t(p) * dh * MR, qp, NR, sp + size_t(p) * MR * NR, NR, scale, 0.0f,
                           std::min(MR, T - p * MR), NR);
        }
        avx512::softmaxColumns32(sp, T);
        for (int p = 0; p < dimPanels; ++p) {
            avx512::kernel(T, pv + h * vHead + size_t(p) * T * MR, sp, NR, op + size_t(p) * MR * NR, NR, 1.0f, 0.0f,
                           std::min(MR, dh - p * MR), NR);
        }
        for (int j = 0; j < nq; ++j) {
            float* dst = out + size_t(q0 + j) * d + h * dh;
            for (int i = 0; i < dh; ++i) dst[i] = op[size_t(i) * NR + size_t(j)];
        }
    });
}

}  // namespace lumenote::engine::gemm
