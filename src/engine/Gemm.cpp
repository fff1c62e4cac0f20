#include "engine/Gemm.h"

#include <cblas.h>
#include <cpuid.h>
#include <immintrin.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/Float16.h"
#include "engine/Kernels.h"
#include "engine/ThreadPool.h"

namespace lumenote::engine::gemm {

namespace {

using avx512::MR;
using avx512::NR;
constexpr int KC = 256;       // depth of one packed block: a 32-column B panel is 32 KiB
constexpr int MC = 8 * MR;    // rows of A per tile, packed once per depth block
constexpr int kMaxHeadWidth = 256;
constexpr float kLog2e = 1.44269504088896341f;

std::string_view gemmChoice() {
    const char* env = std::getenv("LUMENOTE_ENGINE_GEMM");
    return env ? std::string_view(env) : std::string_view();
}

// The highest level LUMENOTE_ENGINE_GEMM allows: 0 openblas, 1 avx512, 2 avx512bf16, 3 amx.
int levelCap() {
    const std::string_view v = gemmChoice();
    if (v == "openblas") return 0;
    if (v == "avx512") return 1;
    if (v == "avx512bf16") return 2;
    return 3;
}

bool decideOwnKernel() { return kernels::bestIsa() == kernels::Isa::avx512 && levelCap() >= 1; }

bool cpuHas(unsigned leaf, unsigned sub, int reg, unsigned bit) {
    unsigned r[4];
    if (!__get_cpuid_count(leaf, sub, &r[0], &r[1], &r[2], &r[3])) return false;
    return (r[reg] & bit) != 0;
}

bool cpuHasAvx512Bf16() { return cpuHas(7, 1, 0, 1u << 5); }
bool cpuHasAvx512Vnni() { return cpuHas(7, 0, 2, 1u << 11); }

__attribute__((target("xsave"))) bool osKeepsTileState() {
    return (_xgetbv(0) & (3ull << 17)) == (3ull << 17);
}

bool decideAmx() {
    if (!decideOwnKernel() || levelCap() < 3) return false;
    const bool tiles = cpuHas(7, 0, 3, 1u << 24) && cpuHas(7, 0, 3, 1u << 22);  // AMX-TILE, AMX-BF16
    if (!tiles || !cpuHasAvx512Bf16()) return false;
    unsigned xa = 0, xb = 0, xc = 0, xd = 0;
    __get_cpuid(1, &xa, &xb, &xc, &xd);
    if (!(xc & bit_OSXSAVE) || !osKeepsTileState()) return false;
    // Linux hands out tile state per process on request (ARCH_REQ_XCOMP_PERM, XTILEDATA).
    return syscall(SYS_arch_prctl, 0x1023, 18) == 0;
}

bool decideReduced(bool cpuHasIt) { return decideOwnKernel() && levelCap() >= 2 && cpuHasIt; }

// Per-thread packing space, grown on demand.
float* scratch(size_t floats, int slot) {
    thread_local std::vector<float> buffers[2];
    auto& b = buffers[slot];
    if (b.size() < floats) b.resize(floats);
    return b.data();
}

// Runs the tiles of C over the pool. Tiles are wide (up to 1024 columns) when there are enough
// row blocks to share out, so blocks of A are packed few times. The format `F` packs A (rows
// from `row`, depth block [pc, pc + kc)) into `ap` and runs one register tile against the
// weights' panel for columns [j, j + 32) at that depth.
template <typename F>
void tiled(int m, int n, int k, float* c, int ldc, float alpha, float beta, ThreadPool& pool, const F& f,
           const float* bias, bool gelu) {
    constexpr int kc0 = F::depth;
    const int tilesM = (m + MC - 1) / MC;
    const int wanted = 4 * pool.size();  // enough tiles that a slow thread does not hold the rest up
    const int splitN = std::clamp((wanted + tilesM - 1) / tilesM, 1, (n + NR - 1) / NR);
    // At most 1024 columns, so a depth block of B stays in L2 while the rows go by.
    const int nc = std::min(1024, ((n + splitN - 1) / splitN + NR - 1) / NR * NR);
    const int tilesN = (n + nc - 1) / nc;
    pool.run(tilesM * tilesN, [&](int t) {
        const int ic = (t % tilesM) * MC;
        const int jc = (t / tilesM) * nc;
        const int mc = std::min(MC, m - ic);
        const int ncols = std::min(nc, n - jc);
        auto* ap = reinterpret_cast<std::byte*>(scratch(F::panelBytes(kc0) * (MC / MR) / 4, 0));
        for (int pc = 0; pc < k; pc += kc0) {
            const int kc = std::min(kc0, k - pc);
            const size_t panel = F::panelBytes(kc);
            for (int ir = 0; ir < mc; ir += MR) f.packA(ic + ir, std::min(MR, mc - ir), pc, kc, ap + size_t(ir / MR) * panel);
            const float b0 = pc == 0 ? beta : 1.0f;
            const bool last = pc + kc0 >= k;  // the bias and GELU go on the finished sums
            for (int jr = 0; jr < ncols; jr += NR) {
                for (int ir = 0; ir < mc; ir += MR) {
                    f.tile(kc, ap + size_t(ir / MR) * panel, ic + ir, jc + jr, pc, c + size_t(ic + ir) * ldc + jc + jr,
                           ldc, alpha, b0, std::min(MR, mc - ir), std::min(NR, ncols - jr),
                           last && bias ? bias + jc + jr : nullptr, last && gelu);
                }
            }
        }
    });
}

struct F32Format {
    static constexpr int depth = 256;  // a 32-column B panel of this depth is 32 KiB
    static size_t panelBytes(int kc) { return size_t(kc) * MR * 4; }
    const float* a;
    int lda;
    const PackedWeights& w;
    void packA(int row, int rows, int pc, int kc, std::byte* ap) const {
        avx512::packA(a + size_t(row) * lda + pc, lda, rows, kc, reinterpret_cast<float*>(ap));
    }
    void tile(int kc, const std::byte* ap, int, int j, int pc, float* c, int ldc, float alpha, float beta, int rows,
              int cols, const float* bias, bool gelu) const {
        const float* bp = w.data.data() + size_t(j / NR) * w.k * NR + size_t(pc) * NR;
        avx512::kernel(kc, reinterpret_cast<const float*>(ap), bp, NR, c, ldc, alpha, beta, rows, cols, bias, gelu);
    }
};

struct Bf16Format {
    static constexpr int depth = 512;  // 256 pairs: 32 KiB of B
    static size_t panelBytes(int kc) { return size_t((kc + 1) / 2) * MR * 4; }
    const float* a;
    int lda;
    const PackedWeights& w;
    void packA(int row, int rows, int pc, int kc, std::byte* ap) const {
        reduced::packABf16(a + size_t(row) * lda + pc, lda, rows, kc, reinterpret_cast<uint32_t*>(ap));
    }
    void tile(int kc, const std::byte* ap, int, int j, int pc, float* c, int ldc, float alpha, float beta, int rows,
              int cols, const float* bias, bool gelu) const {
        const uint16_t* bp = w.pairs.data() + size_t(j / NR) * size_t((w.k + 1) / 2) * 2 * NR + size_t(pc / 2) * 2 * NR;
        reduced::kernelBf16(kc, reinterpret_cast<const uint32_t*>(ap), bp, c, ldc, alpha, beta, rows, cols, bias, gelu);
    }
};

constexpr int kInt8Depth = 1024;  // 256 fours: 32 KiB of B

struct Int8Format {
    static constexpr int depth = kInt8Depth;
    static size_t panelBytes(int kc) { return size_t((kc + 3) / 4) * MR * 4; }
    const uint8_t* a;  // rows of kp unsigned bytes
    const float* rowScales;
    int kp;
    const PackedWeights& w;
    void packA(int row, int rows, int pc, int kc, std::byte* ap) const {
        reduced::packAU8(a + size_t(row) * kp + pc, kp, rows, (kc + 3) / 4 * 4, reinterpret_cast<uint32_t*>(ap));
    }
    void tile(int kc, const std::byte* ap, int row, int j, int pc, float* c, int ldc, float alpha, float beta, int rows,
              int cols, const float* bias, bool gelu) const {
        const size_t panel = size_t(j / NR);
        const int depthBlocks = (w.k + kInt8Depth - 1) / kInt8Depth;
        const int8_t* bp = w.q.data() + panel * size_t(kp) * NR + size_t(pc) * NR;
        reduced::kernelInt8((kc + 3) / 4 * 4, reinterpret_cast<const uint32_t*>(ap), bp,
                            w.columnSums.data() + (panel * depthBlocks + size_t(pc / kInt8Depth)) * NR,
                            rowScales + row, w.scales.data() + panel * NR, c, ldc, alpha, beta, rows, cols, bias, gelu);
    }
};

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
        const uint16_t* bLo = w.amxLo.empty() ? nullptr : w.amxLo.data() + size_t(j / 16) * colBlockStride;
        amx::configure();
        for (int kb = 0; kb < kBlocks; kb += sliceBlocks) {
            const int kbEnd = std::min(kBlocks, kb + sliceBlocks);
            for (int rb = 0; rb < rowBlocks; ++rb) {
                amx::kernel16x32(hi + size_t(rb) * 16 * k, bLo ? lo + size_t(rb) * 16 * k : nullptr, k, kb, kbEnd, bHi, bLo,
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

// Rows of A as unsigned bytes (quantised once, padded with zero rows), then one job per 32
// columns: that panel of W stays in L1 while every block of 16 rows passes by.
void multiplyAmxInt8(int m, const uint8_t* a8, const float* rowScales, int kp, const PackedWeights& w, float* c,
                     int ldc, float alpha, float beta, ThreadPool& pool, const float* bias, bool gelu) {
    const int depthBlocks = (w.k + kInt8Depth - 1) / kInt8Depth;
    pool.run(w.n / NR, [&](int panel) {
        const int j = panel * NR;
        const int8_t* b = w.q.data() + size_t(panel) * size_t(kp) * NR;
        // The whole depth's column sums, for the inputs' offset.
        int32_t shift[NR] = {};
        for (int db = 0; db < depthBlocks; ++db) {
            for (int col = 0; col < NR; ++col) shift[col] += w.columnSums[(size_t(panel) * depthBlocks + size_t(db)) * NR + size_t(col)];
        }
        // Each block's sums are finished while the next block's products run: reading a tile's
        // store back at once would wait for it.
        alignas(64) int32_t acc[2][16 * 32];
        const auto finish = [&](int i) {
            amx::finishInt8(acc[i / 16 % 2], shift, rowScales + i, w.scales.data() + j, std::min(16, m - i),
                            c + size_t(i) * ldc + j, ldc, alpha, beta, bias ? bias + j : nullptr, gelu);
        };
        amx::configure();
        for (int i = 0; i < m; i += 16) {
            amx::productInt8(a8 + size_t(i) * size_t(kp), kp, b, kp, acc[i / 16 % 2]);
            if (i > 0) finish(i - 16);
        }
        finish((m - 1) / 16 * 16);
        amx::release();
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

const char* precisionName(Precision p) {
    switch (p) {
        case Precision::exact: return "exact";
        case Precision::bf16: return "bf16";
        case Precision::int8: return "int8";
    }
    return "?";
}

const char* kernelName(Kernel k) {
    switch (k) {
        case Kernel::openblas: return "openblas";
        case Kernel::f32: return "avx512-f32";
        case Kernel::amx: return "amx";
        case Kernel::amxBf16: return "amx-bf16";
        case Kernel::bf16: return "avx512-bf16";
        case Kernel::int8: return "avx512-vnni";
        case Kernel::amxInt8: return "amx-int8";
    }
    return "?";
}

bool supported(Kernel k) {
    static const bool bf16 = decideReduced(cpuHasAvx512Bf16());
    static const bool vnni = decideReduced(cpuHasAvx512Vnni());
    static const bool amxInt8 = amxKernel() && vnni && cpuHas(7, 0, 3, 1u << 25);  // AMX-INT8
    switch (k) {
        case Kernel::openblas: return true;
        case Kernel::f32: return ownKernel();
        case Kernel::amx:
        case Kernel::amxBf16: return amxKernel();
        case Kernel::bf16: return bf16;
        case Kernel::int8: return vnni;
        case Kernel::amxInt8: return amxInt8;
    }
    return false;
}

Kernel kernelFor(Precision p) {
    if (p == Precision::bf16) {
        if (supported(Kernel::amxBf16)) return Kernel::amxBf16;
        if (supported(Kernel::bf16)) return Kernel::bf16;
    }
    if (p == Precision::int8 && supported(Kernel::amxInt8)) return Kernel::amxInt8;
    if (p == Precision::int8 && supported(Kernel::int8)) return Kernel::int8;
    if (supported(Kernel::amx)) return Kernel::amx;
    return supported(Kernel::f32) ? Kernel::f32 : Kernel::openblas;
}

PackedWeights PackedWeights::pack(const float* w, int n, int k, Precision precision) {
    return pack(w, n, k, kernelFor(precision));
}

PackedWeights PackedWeights::pack(const float* w, int n, int k, Kernel kernel) {
    assert(w && n > 0 && k > 0);
    if (!supported(kernel)) kernel = kernelFor(Precision::exact);
    // The tiles need whole 32 x 32 blocks; other shapes take the single-precision kernel.
    if ((kernel == Kernel::amx || kernel == Kernel::amxBf16) && (n % 32 != 0 || k % 32 != 0)) kernel = Kernel::f32;
    // Byte tiles take 64 of k at a time; other depths take the VNNI kernel on the same packing.
    if (kernel == Kernel::amxInt8 && (n % 32 != 0 || k % 64 != 0)) kernel = Kernel::int8;
    PackedWeights p;
    p.kernel = kernel;
    p.n = n;
    p.k = k;
    p.packed = kernel != Kernel::openblas;
    const int panels = (n + NR - 1) / NR;
    switch (kernel) {
        case Kernel::openblas: p.raw = w; break;
        case Kernel::amx:
        case Kernel::amxBf16:
            p.amxHi.resize(size_t(n) * size_t(k));
            p.amxLo.resize(size_t(n) * size_t(k));
            amx::packWeights(w, n, k, p.amxHi.data(), p.amxLo.data());
            if (kernel == Kernel::amxBf16) p.amxLo = {};
            break;
        case Kernel::f32:
            p.data.assign(size_t(panels) * k * NR, 0.0f);
            for (int j = 0; j < n; ++j) {
                float* dst = p.data.data() + size_t(j / NR) * k * NR + (j % NR);
                const float* src = w + size_t(j) * k;
                for (int kk = 0; kk < k; ++kk) dst[size_t(kk) * NR] = src[kk];
            }
            break;
        case Kernel::bf16: {
            // [panel][k / 2][32][2]
            const size_t kPairs = size_t(k + 1) / 2;
            p.pairs.assign(size_t(panels) * kPairs * 2 * NR, 0);
            for (int j = 0; j < n; ++j) {
                uint16_t* dst = p.pairs.data() + size_t(j / NR) * kPairs * 2 * NR + size_t(j % NR) * 2;
                for (int kk = 0; kk < k; ++kk) dst[size_t(kk / 2) * 2 * NR + size_t(kk % 2)] = floatToBf16(w[size_t(j) * k + size_t(kk)]);
            }
            break;
        }
        case Kernel::int8:
        case Kernel::amxInt8: {
            // [panel][k / 4][32][4]; one symmetric scale per column (output), integer column sums
            // per depth block for the unsigned inputs' offset.
            const int kp = (k + 3) / 4 * 4;
            const int depthBlocks = (k + kInt8Depth - 1) / kInt8Depth;
            p.q.assign(size_t(panels) * size_t(kp) * NR, 0);
            p.scales.assign(size_t(panels) * NR, 0.0f);
            p.columnSums.assign(size_t(panels) * size_t(depthBlocks) * NR, 0);
            for (int j = 0; j < n; ++j) {
                const float* src = w + size_t(j) * k;
                float m = 0;
                for (int kk = 0; kk < k; ++kk) m = std::max(m, std::fabs(src[kk]));
                const float scale = m > 0 ? m / 127.0f : 1.0f;
                const size_t panel = size_t(j / NR), col = size_t(j % NR);
                p.scales[panel * NR + col] = scale;
                int8_t* dst = p.q.data() + panel * size_t(kp) * NR + col * 4;
                for (int kk = 0; kk < k; ++kk) {
                    const auto q = int8_t(std::clamp<long>(std::lrint(src[kk] / scale), -127, 127));
                    dst[size_t(kk / 4) * 4 * NR + size_t(kk % 4)] = q;
                    p.columnSums[(panel * depthBlocks + size_t(kk / kInt8Depth)) * NR + col] += q;
                }
            }
            break;
        }
    }
    return p;
}

void multiplyByWeights(int m, const float* a, int lda, const PackedWeights& w, float* c, int ldc, float alpha,
                       float beta, ThreadPool& pool, const float* bias, bool gelu) {
    assert(m > 0 && a && c && lda >= w.k && ldc >= w.n);
    switch (w.kernel) {
        case Kernel::openblas:
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
        case Kernel::amx:
        case Kernel::amxBf16: multiplyAmx(m, a, lda, w, c, ldc, alpha, beta, pool, bias, gelu); return;
        case Kernel::f32: tiled(m, w.n, w.k, c, ldc, alpha, beta, pool, F32Format{a, lda, w}, bias, gelu); return;
        case Kernel::bf16: tiled(m, w.n, w.k, c, ldc, alpha, beta, pool, Bf16Format{a, lda, w}, bias, gelu); return;
        case Kernel::int8:
        case Kernel::amxInt8: {
            thread_local QuantizedRows rows;
            rows.quantize(m, a, lda, w.k, pool);
            multiplyQuantized(rows, w, c, ldc, alpha, beta, pool, bias, gelu);
            return;
        }
    }
}

void QuantizedRows::quantize(int rows, const float* a, int lda, int depth, ThreadPool& pool) {
    assert(rows > 0 && depth > 0 && lda >= depth);
    m = rows;
    k = depth;
    kp = (depth + 3) / 4 * 4;
    const int mPad = (m + 31) / 32 * 32;
    bytes.resize(size_t(mPad) * size_t(kp));
    std::fill(bytes.begin() + ptrdiff_t(size_t(m) * size_t(kp)), bytes.end(), uint8_t(128));
    scales.resize(size_t(m));
    uint8_t* q = bytes.data();
    float* s = scales.data();
    pool.run((m + 63) / 64, [&](int t) {
        for (int r = t * 64; r < std::min(m, t * 64 + 64); ++r) s[r] = reduced::quantizeRowU8(a + size_t(r) * lda, k, kp, q + size_t(r) * kp);
    });
}

bool takesQuantizedRows(const PackedWeights& w) { return w.kernel == Kernel::int8 || w.kernel == Kernel::amxInt8; }

void multiplyQuantized(const QuantizedRows& a, const PackedWeights& w, float* c, int ldc, float alpha, float beta,
                       ThreadPool& pool, const float* bias, bool gelu) {
    assert(takesQuantizedRows(w) && a.k == w.k && ldc >= w.n);
    if (w.kernel == Kernel::amxInt8) {
        multiplyAmxInt8(a.m, a.bytes.data(), a.scales.data(), a.kp, w, c, ldc, alpha, beta, pool, bias, gelu);
    } else {
        tiled(a.m, w.n, w.k, c, ldc, alpha, beta, pool, Int8Format{a.bytes.data(), a.scales.data(), a.kp, w}, bias, gelu);
    }
}

namespace {

// The fused attention below with both products on bfloat16 pairs.
void attentionBf16(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
                   ThreadPool& pool) {
    const int dh = d / heads;
    const int keyPanels = (T + MR - 1) / MR;
    const int dimPanels = (dh + MR - 1) / MR;
    const size_t kPanel = size_t((dh + 1) / 2) * MR, vPanel = size_t((T + 1) / 2) * MR;  // in pairs
    const size_t kHead = size_t(keyPanels) * kPanel, vHead = size_t(dimPanels) * vPanel;
    thread_local std::vector<uint32_t> packedK, packedV;
    packedK.resize(kHead * heads);
    packedV.resize(vHead * heads);
    uint32_t* pk = packedK.data();
    uint32_t* pv = packedV.data();
    pool.run(heads * (keyPanels + dimPanels), [&](int item) {
        const int h = item / (keyPanels + dimPanels), p = item % (keyPanels + dimPanels);
        if (p < keyPanels) {
            reduced::packABf16(k + size_t(p) * MR * d + h * dh, d, std::min(MR, T - p * MR), dh, pk + h * kHead + p * kPanel);
        } else {
            const int i = (p - keyPanels) * MR;
            reduced::packAColumnsBf16(v + h * dh + i, d, std::min(MR, dh - i), T, pv + h * vHead + (p - keyPanels) * vPanel);
        }
    });
    const int blocks = (T + NR - 1) / NR;
    const size_t qPairs = size_t((dh + 1) / 2) * NR, sPairs = size_t((T + 1) / 2) * NR;
    pool.run(heads * blocks, [&](int item) {
        const int h = item / blocks, q0 = (item % blocks) * NR;
        const int nq = std::min(NR, T - q0);
        float* sp = scratch(size_t(T) * NR + size_t(dimPanels) * MR * NR + qPairs + sPairs, 1);  // [key][32]
        float* op = sp + size_t(T) * NR;                                // [dim][32]
        auto* qp = reinterpret_cast<uint32_t*>(op + size_t(dimPanels) * MR * NR);
        uint32_t* pp = qp + qPairs;
        reduced::packBRowsAreNBf16(q + size_t(q0) * d + h * dh, d, nq, dh, qp);
        for (int p = 0; p < keyPanels; ++p) {
            reduced::kernelBf16(dh, pk + h * kHead + p * kPanel, reinterpret_cast<const uint16_t*>(qp),
                                sp + size_t(p) * MR * NR, NR, scale, 0.0f, std::min(MR, T - p * MR), NR, nullptr, false);
        }
        avx512::softmaxColumns32(sp, T);
        reduced::packBPairsBf16(sp, T, pp);
        for (int p = 0; p < dimPanels; ++p) {
            reduced::kernelBf16(T, pv + h * vHead + p * vPanel, reinterpret_cast<const uint16_t*>(pp),
                                op + size_t(p) * MR * NR, NR, 1.0f, 0.0f, std::min(MR, dh - p * MR), NR, nullptr, false);
        }
        for (int j = 0; j < nq; ++j) {
            float* dst = out + size_t(q0 + j) * d + h * dh;
            for (int i = 0; i < dh; ++i) dst[i] = op[size_t(i) * NR + size_t(j)];
        }
    });
}

// The fused attention on VNNI byte fours (vpdpbusd: four times the single-precision rate, where
// vdpbf16ps on some processors runs at half of it). Per head, each key as signed bytes with its
// own scale in the weights' panel layout (32 keys per panel, with its integer sum for the
// queries' offset), each frame's value likewise, frames in fours down 32-dimension panels. Per
// 14 queries: the scores (in powers of two) against every key, a softmax along each row, then
// the probabilities times each frame's value scale as unsigned bytes (8 bits, a scale per
// query) against the values' bytes.
void attentionInt8(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
                   ThreadPool& pool) {
    const int dh = d / heads;
    assert(dh % 4 == 0 && T < (1 << 16));  // 255 * 127 * 2^16 < 2^31: the value sums cannot overflow
    const int keyPanels = (T + NR - 1) / NR, dimPanels = (dh + NR - 1) / NR;
    const int Tp = keyPanels * NR;     // keys padded to whole panels (zero bytes, zero scale)
    const int T4 = (T + 3) / 4 * 4;    // frames padded to fours (zero bytes)
    const size_t kHead = size_t(Tp) * dh, vHead = size_t(dimPanels) * NR * T4;
    thread_local std::vector<int8_t> packedK, packedV;
    thread_local std::vector<float> keyScale, frameScale;
    thread_local std::vector<int32_t> keySum;
    packedK.assign(kHead * heads, 0);
    packedV.assign(vHead * heads, 0);
    keyScale.assign(size_t(Tp) * heads, 0.0f);
    frameScale.assign(size_t(T4) * heads, 0.0f);
    keySum.assign(size_t(Tp) * heads, 0);
    int8_t* pk = packedK.data();
    int8_t* pv = packedV.data();
    float* ks = keyScale.data();
    float* fs = frameScale.data();
    int32_t* ksum = keySum.data();
    // One job per 32 keys (and the same 32 frames' values), every head: the rows are read in
    // order, not a head's slice a row apart.
    pool.run(keyPanels, [&](int panel) {
        int8_t row[4][kMaxHeadWidth];
        for (int t = panel * NR; t < std::min(T, panel * NR + NR); t += 4) {
            const int n = std::min(4, T - t);
            for (int h = 0; h < heads; ++h) {
                int8_t* kPanel = pk + h * kHead + size_t(panel) * dh * NR;
                for (int f = 0; f < n; ++f) {
                    const int key = t + f, col = key % NR;
                    ks[size_t(h) * Tp + size_t(key)] = reduced::quantizeRowS8(k + size_t(key) * d + h * dh, dh, row[f]);
                    int32_t sum = 0;
                    for (int i = 0; i < dh; ++i) sum += row[f][i];
                    ksum[size_t(h) * Tp + size_t(key)] = sum;
                    for (int i = 0; i < dh; i += 4) std::memcpy(kPanel + size_t(i / 4) * 4 * NR + size_t(col) * 4, row[f] + i, 4);
                    fs[size_t(h) * T4 + size_t(key)] = reduced::quantizeRowS8(v + size_t(key) * d + h * dh, dh, row[f]);
                }
                for (int f = n; f < 4; ++f) std::memset(row[f], 0, size_t(dh));
                // Four frames' values: for each dimension its four bytes side by side.
                for (int i = 0; i < dh; ++i) {
                    int8_t* dst = pv + h * vHead + size_t(i / NR) * NR * T4 + size_t(t / 4) * 4 * NR + size_t(i % NR) * 4;
                    for (int f = 0; f < 4; ++f) dst[f] = row[f][i];
                }
            }
        }
    });
    static constexpr int32_t kNoOffset[NR] = {};
    static constexpr float kOnes[NR] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const int blocks = (T + MR - 1) / MR;
    pool.run(heads * blocks, [&](int item) {
        const int h = item / blocks, q0 = (item % blocks) * MR;
        const int nq = std::min(MR, T - q0);
        // Scores [14][Tp]; the query bytes [14][dh]; the packed A of either product (query or
        // probability bytes, [dh / 4][14] or [T4 / 4][14] fours).
        float* s = scratch(size_t(MR) * Tp + 2 * MR + size_t(MR) * (dh + std::max(dh, T4)) / 4, 1);
        float* qScale = s + size_t(MR) * Tp;
        float* pScale = qScale + MR;
        auto* q8 = reinterpret_cast<uint8_t*>(pScale + MR);
        auto* ap = reinterpret_cast<uint32_t*>(q8 + size_t(MR) * dh);
        for (int j = 0; j < nq; ++j) qScale[j] = reduced::quantizeRowU8(q + size_t(q0 + j) * d + h * dh, dh, dh, q8 + size_t(j) * dh);
        reduced::packAU8(q8, dh, nq, dh, ap);
        const int8_t* kPanels = pk + h * kHead;
        for (int p = 0; p < keyPanels; ++p) {
            reduced::kernelInt8(dh, ap, kPanels + size_t(p) * dh * NR, ksum + size_t(h) * Tp + size_t(p) * NR, qScale,
                                ks + size_t(h) * Tp + size_t(p) * NR, s + size_t(p) * NR, Tp, scale * kLog2e, 0.0f, nq,
                                std::min(NR, T - p * NR), nullptr, false);
        }
        // The probabilities go straight into the packed A of the second product ([T4 / 4][14]
        // fours); rows past the last query stay zero.
        if (nq < MR) std::memset(ap, 0, size_t(T4) * MR);
        for (int j = 0; j < nq; ++j) {
            pScale[j] = avx512::softmaxToU8(s + size_t(j) * Tp, fs + size_t(h) * T4, T, T4,
                                            reinterpret_cast<uint8_t*>(ap) + size_t(j) * 4, 4 * MR);
        }
        for (int p = 0; p < dimPanels; ++p) {
            reduced::kernelInt8(T4, ap, pv + h * vHead + size_t(p) * NR * T4, kNoOffset, pScale, kOnes,
                                out + size_t(q0) * d + h * dh + p * NR, d, 1.0f, 0.0f, nq, std::min(NR, dh - p * NR),
                                nullptr, false);
        }
    });
}

// The same on AMX tiles (head width a multiple of 32): per head, keys and transposed values in
// the weights' tile layout (keys padded to a multiple of 32 with zeros), then per 16 queries
// the scores against every key, a softmax along each row, the values.
void attentionAmx(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
                  ThreadPool& pool) {
    const int dh = d / heads;
    const int Tp = (T + 31) / 32 * 32;
    const size_t kHead = size_t(Tp) * dh;  // bfloat16 values per head, keys or values
    thread_local std::vector<uint16_t> packedK, packedV, unused;
    packedK.resize(kHead * heads);
    packedV.resize(kHead * heads);
    uint16_t* pk = packedK.data();
    uint16_t* pv = packedV.data();
    pool.run(heads, [&](int h) {
        std::vector<float> rows(kHead, 0.0f), lo(kHead);
        for (int t = 0; t < T; ++t) std::memcpy(rows.data() + size_t(t) * dh, k + size_t(t) * d + h * dh, size_t(dh) * 4);
        std::vector<uint16_t> scratchLo(kHead);
        amx::packWeights(rows.data(), Tp, dh, pk + h * kHead, scratchLo.data());
        std::fill(rows.begin(), rows.end(), 0.0f);
        for (int t = 0; t < T; ++t) {
            for (int i = 0; i < dh; ++i) rows[size_t(i) * Tp + size_t(t)] = v[size_t(t) * d + size_t(h * dh + i)];
        }
        amx::packWeights(rows.data(), dh, Tp, pv + h * kHead, scratchLo.data());
    });
    const int blocks = (T + 15) / 16;
    pool.run(heads * blocks, [&](int item) {
        const int h = item / blocks, q0 = (item % blocks) * 16;
        const int nq = std::min(16, T - q0);
        // Scores [16][Tp], a tile of sums, then in bfloat16: queries, probabilities.
        float* s = scratch(size_t(16) * Tp + 16 * 32 + size_t(8) * dh + size_t(8) * Tp, 1);
        float* acc = s + size_t(16) * Tp;
        auto* aq = reinterpret_cast<uint16_t*>(acc + 16 * 32);  // queries, then probabilities
        uint16_t* ap = aq + size_t(16) * dh;
        std::fill(s, s + size_t(16) * Tp, 0.0f);
        // The scale goes into the queries (a power of two for every published head width).
        for (int j = 0; j < nq; ++j) {
            const float* src = q + size_t(q0 + j) * d + h * dh;
            for (int i = 0; i < dh; ++i) s[size_t(j) * dh + size_t(i)] = src[i] * scale;
        }
        amx::splitRows(s, dh, 16, dh, aq, nullptr);
        amx::configure();
        for (int c = 0; c < Tp; c += 32) {
            amx::kernel16x32(aq, nullptr, dh, 0, dh / 32, pk + h * kHead + size_t(c / 16) * size_t(dh / 32) * 512, nullptr,
                             acc, true);
            for (int j = 0; j < 16; ++j) std::memcpy(s + size_t(j) * Tp + c, acc + j * 32, 32 * 4);
        }
        for (int j = 0; j < 16; ++j) {
            float* row = s + size_t(j) * Tp;
            kernels::softmax(row, T);
            std::fill(row + T, row + Tp, 0.0f);
        }
        amx::splitRows(s, Tp, 16, Tp, ap, nullptr);
        for (int c = 0; c < dh; c += 32) {
            amx::kernel16x32(ap, nullptr, Tp, 0, Tp / 32, pv + h * kHead + size_t(c / 16) * size_t(Tp / 32) * 512, nullptr,
                             acc, true);
            for (int j = 0; j < nq; ++j) std::memcpy(out + size_t(q0 + j) * d + h * dh + c, acc + j * 32, 32 * 4);
        }
        amx::release();
    });
}

}  // namespace

void attention(int T, int d, int heads, const float* q, const float* k, const float* v, float* out, float scale,
               ThreadPool& pool, Precision precision) {
    assert(T > 0 && heads > 0 && d % heads == 0);
    // int8 takes the byte fours with or without AMX: faster than the bfloat16 tiles here, and the
    // same sums on every processor.
    if (precision == Precision::int8 && supported(Kernel::int8) && (d / heads) % 4 == 0 && d / heads <= kMaxHeadWidth) {
        attentionInt8(T, d, heads, q, k, v, out, scale, pool);
        return;
    }
    if (precision != Precision::exact && supported(Kernel::amxBf16) && (d / heads) % 32 == 0) {
        attentionAmx(T, d, heads, q, k, v, out, scale, pool);
        return;
    }
    if (precision != Precision::exact && supported(Kernel::bf16)) {
        attentionBf16(T, d, heads, q, k, v, out, scale, pool);
        return;
    }
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
