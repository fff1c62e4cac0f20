#include "engine/WhisperModel.h"

#include <cblas.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/Float16.h"
#include "engine/Gemm.h"
#include "engine/Models.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {

using kernels::Matrix;
using kernels::WeightType;

namespace {

constexpr int kEncoderFrames = 1500;
constexpr float kLayerNormEps = 1e-5f;
constexpr int kChunkRows = 64;  // rows per parallel chunk of a matrix-vector product

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Norm {
    const float* g = nullptr;
    const float* b = nullptr;
};

// A linear layer used through matrix products (encoder, cross-attention keys and values).
struct Dense {
    gemm::PackedWeights w;
    const float* b = nullptr;
    int out = 0, in = 0;
};

// A linear layer streamed once per decoded token, in the decoder's storage type.
struct Lin {
    Matrix w;
    const float* b = nullptr;
};

struct EncLayer {
    Norm ln1, ln2;
    Dense q, k, v, o, fc1, fc2;
};

struct DecLayer {
    Norm ln1, ln2, ln3;
    Lin q, k, v, o, cq, co, fc1, fc2;
    Dense ck, cv;
};

}  // namespace

struct WhisperModel::Weights {
    std::vector<std::vector<float>> ownedF32;
    std::vector<std::vector<std::byte>> ownedBytes;
    Dense conv1, conv2;  // [d][inChannels * 3]
    const float* encPos = nullptr;
    std::vector<EncLayer> enc;
    Norm encLn;
    Matrix embed;  // [vocab][d], also the output projection
    const float* decPos = nullptr;
    std::vector<DecLayer> dec;
    Norm decLn;
};

struct WhisperModel::Scratch {
    // Encoder, per window.
    std::vector<float> col, conv, x, h, q, k, v, o, ff, scores;
    gemm::QuantizedRows rows;  // an input several int8 products share
    // Decoder, per call (rows = tokens in the call).
    std::vector<float> dx, dh, dq, dk, dv, da, dt, dff;
    std::vector<int16_t> xq;  // int8 weights: the inputs quantised
    std::vector<float> xs;
    std::vector<float> threadScores;  // [threads][max(1500, maxPos)]
    std::vector<float> logitsAll;
};

const char* precisionName(WeightPrecision p) {
    switch (p) {
        case WeightPrecision::automatic: return "auto";
        case WeightPrecision::f32: return "f32";
        case WeightPrecision::f16: return "f16";
        case WeightPrecision::bf16: return "bf16";
        case WeightPrecision::int8: return "int8";
    }
    return "?";
}

Precisions defaultPrecisions([[maybe_unused]] const WhisperModelConfig& config) {
    // Measured on every published size (engine_bench): int8 throughout is the fastest, on
    // processors with and without AMX (VNNI products in the encoder, half the bytes of f16 per
    // decoded token), and stays within the goldens' tolerance with the same greedy tokens.
    // Processors without VNNI run the encoder's products exact instead.
    return {WeightPrecision::int8, WeightPrecision::int8};
}

WeightPrecision parsePrecision(const std::string& text) {
    for (WeightPrecision p : {WeightPrecision::automatic, WeightPrecision::f32, WeightPrecision::f16,
                              WeightPrecision::bf16, WeightPrecision::int8}) {
        if (text == precisionName(p)) return p;
    }
    throw WhisperError("Unknown weight precision \"" + text + "\" (expected auto, f32, f16, bf16 or int8)");
}

namespace {

// Fetches tensors from the file with their expected shapes, converting where the stored dtype
// is not the one the computation wants.
class Loader {
public:
    Loader(const SafetensorsFile& file, WhisperModel::Weights& w, gemm::Precision products)
        : f_(file), w_(w), products_(products) {}

    const TensorView& tensor(const std::string& name, const std::vector<int64_t>& shape) {
        const TensorView& t = f_.require(name, shape);
        if (t.dtype != DType::F32 && t.dtype != DType::F16 && t.dtype != DType::BF16) {
            throw WhisperError(f_.path() + ": tensor '" + name + "' has dtype " + dtypeName(t.dtype) +
                               ", expected F32, F16 or BF16");
        }
        return t;
    }

    static void toF32(const TensorView& t, size_t offset, size_t count, float* dst) {
        switch (t.dtype) {
            case DType::F32: std::memcpy(dst, t.data + offset * 4, count * 4); break;
            case DType::F16: {
                for (size_t i = 0; i < count; ++i) {
                    uint16_t h;
                    std::memcpy(&h, t.data + (offset + i) * 2, 2);
                    dst[i] = halfToFloat(h);
                }
                break;
            }
            case DType::BF16: {
                for (size_t i = 0; i < count; ++i) {
                    uint16_t h;
                    std::memcpy(&h, t.data + (offset + i) * 2, 2);
                    dst[i] = bf16ToFloat(h);
                }
                break;
            }
            default: break;
        }
    }

    const float* f32(const std::string& name, const std::vector<int64_t>& shape) {
        const TensorView& t = tensor(name, shape);
        if (t.dtype == DType::F32 && reinterpret_cast<uintptr_t>(t.data) % alignof(float) == 0) {
            return reinterpret_cast<const float*>(t.data);
        }
        std::vector<float>& buf = w_.ownedF32.emplace_back(size_t(t.elementCount()));
        toF32(t, 0, buf.size(), buf.data());
        f_.file()->release(t.data, t.bytes);
        return buf.data();
    }

    Matrix matrix(const std::string& name, int rows, int cols, WeightType type) {
        const TensorView& t = tensor(name, {rows, cols});
        Matrix m;
        m.type = type;
        m.rows = rows;
        m.cols = cols;
        const bool sameType = (type == WeightType::f32 && t.dtype == DType::F32) ||
                              (type == WeightType::f16 && t.dtype == DType::F16) ||
                              (type == WeightType::bf16 && t.dtype == DType::BF16);
        if (sameType && reinterpret_cast<uintptr_t>(t.data) % kernels::weightTypeSize(type) == 0) {
            m.data = t.data;
            return m;
        }
        const size_t count = size_t(rows) * size_t(cols);
        // Pointers, not references, into ownedBytes: a second emplace_back may move its elements.
        uint16_t* scales = nullptr;
        if (type == WeightType::i8) {
            scales = reinterpret_cast<uint16_t*>(w_.ownedBytes.emplace_back(size_t(rows) * m.blocksPerRow() * 2).data());
        }
        std::byte* buf = w_.ownedBytes.emplace_back(count * kernels::weightTypeSize(type)).data();
        std::vector<float> row(static_cast<size_t>(cols));
        for (int r = 0; r < rows; ++r) {
            toF32(t, size_t(r) * size_t(cols), size_t(cols), row.data());
            const size_t at = size_t(r) * size_t(cols);
            switch (type) {
                case WeightType::f32: std::memcpy(buf + at * 4, row.data(), size_t(cols) * 4); break;
                case WeightType::f16:
                    kernels::convertToF16(row.data(), reinterpret_cast<uint16_t*>(buf) + at, size_t(cols));
                    break;
                case WeightType::bf16:
                    kernels::convertToBf16(row.data(), reinterpret_cast<uint16_t*>(buf) + at, size_t(cols));
                    break;
                case WeightType::i8:
                    kernels::quantizeRowsI8(row.data(), 1, cols, reinterpret_cast<int8_t*>(buf) + at,
                                            scales + size_t(r) * m.blocksPerRow());
                    break;
            }
        }
        f_.file()->release(t.data, t.bytes);
        m.data = buf;
        m.scales = scales;
        return m;
    }

    Norm norm(const std::string& prefix, int d) {
        return {f32(prefix + ".weight", {d}), f32(prefix + ".bias", {d})};
    }

    // F32 [out][in] weights in the product kernel's layout. Packing copies them anyway, so the
    // file's pages are dropped afterwards.
    gemm::PackedWeights packed(const std::string& name, const std::vector<int64_t>& shape, int out, int in) {
        if (!gemm::ownKernel()) return gemm::PackedWeights::pack(f32(name, shape), out, in);
        const TensorView& t = tensor(name, shape);
        gemm::PackedWeights p;
        if (t.dtype == DType::F32 && reinterpret_cast<uintptr_t>(t.data) % alignof(float) == 0) {
            p = gemm::PackedWeights::pack(reinterpret_cast<const float*>(t.data), out, in, products_);
        } else {
            std::vector<float> tmp(size_t(t.elementCount()));
            toF32(t, 0, tmp.size(), tmp.data());
            p = gemm::PackedWeights::pack(tmp.data(), out, in, products_);
        }
        f_.file()->release(t.data, t.bytes);
        return p;
    }

    Dense dense(const std::string& prefix, int out, int in, bool bias) {
        Dense x;
        x.out = out;
        x.in = in;
        x.w = packed(prefix + ".weight", {out, in}, out, in);
        if (bias) x.b = f32(prefix + ".bias", {out});
        return x;
    }

    Lin lin(const std::string& prefix, int out, int in, bool bias, WeightType type) {
        Lin x;
        x.w = matrix(prefix + ".weight", out, in, type);
        if (bias) x.b = f32(prefix + ".bias", {out});
        return x;
    }

    // A kernel-3 convolution as a product with the unfolded input. The weight [out][in][3] is
    // reordered to [out][3][in] so that unfolding copies whole input rows.
    // `exact`: single precision whatever the other products use (the first convolution, on
    // the log-mel features, costs little).
    Dense conv(const std::string& prefix, int out, int in, bool exact) {
        Dense x;
        x.out = out;
        x.in = in * 3;
        const TensorView& t = tensor(prefix + ".weight", {out, in, 3});
        std::vector<float> src(size_t(t.elementCount()));
        toF32(t, 0, src.size(), src.data());
        std::vector<float>& reordered = w_.ownedF32.emplace_back(src.size());
        for (int o = 0; o < out; ++o) {
            for (int c = 0; c < in; ++c) {
                for (int k = 0; k < 3; ++k) {
                    reordered[(size_t(o) * 3 + size_t(k)) * in + size_t(c)] = src[(size_t(o) * in + size_t(c)) * 3 + size_t(k)];
                }
            }
        }
        x.w = gemm::PackedWeights::pack(reordered.data(), out, in * 3, exact ? gemm::Precision::exact : products_);
        if (x.w.packed) {
            reordered.clear();
            reordered.shrink_to_fit();
        }
        f_.file()->release(t.data, t.bytes);
        x.b = f32(prefix + ".bias", {out});
        return x;
    }

private:
    const SafetensorsFile& f_;
    WhisperModel::Weights& w_;
    gemm::Precision products_;
};

// Y[rows][out] = X[rows][in] * W^T + bias (then GELU when asked), or += when accumulating.
void linear(const Dense& l, const float* x, int rows, float* y, bool accumulate, ThreadPool& pool, bool gelu = false) {
    gemm::multiplyByWeights(rows, x, l.in, l.w, y, l.out, 1.0f, accumulate ? 1.0f : 0.0f, pool, l.b, gelu);
}

// Several products of the same input (no accumulation, no GELU): int8 weights take it quantised
// once, into `shared`.
void linearShared(const float* x, int rows, std::initializer_list<std::pair<const Dense*, float*>> products,
                  gemm::QuantizedRows& shared, ThreadPool& pool) {
    bool once = true;
    for (const auto& [l, y] : products) once = once && gemm::takesQuantizedRows(l->w) && l->in == products.begin()->first->in;
    if (!once) {
        for (const auto& [l, y] : products) linear(*l, x, rows, y, false, pool);
        return;
    }
    shared.quantize(rows, x, products.begin()->first->in, products.begin()->first->in, pool);
    for (const auto& [l, y] : products) gemm::multiplyQuantized(shared, l->w, y, l->out, 1.0f, 0.0f, pool, l->b);
}

}  // namespace

std::unique_ptr<WhisperModel> WhisperModel::load(const std::string& folder, const ModelComputeOptions& options) {
    namespace fs = std::filesystem;
    if (!fs::is_directory(folder)) throw WhisperError(folder + ": the model folder does not exist");
    const WhisperModelConfig config = WhisperModelConfig::load(folder);
    return fromFile(config, SafetensorsFile::openModel(folder), options);
}

std::unique_ptr<WhisperModel> WhisperModel::fromFile(const WhisperModelConfig& config,
                                                     std::shared_ptr<SafetensorsFile> file,
                                                     const ModelComputeOptions& options) {
    return std::unique_ptr<WhisperModel>(new WhisperModel(config, std::move(file), options));
}

WhisperModel::WhisperModel(const WhisperModelConfig& config, std::shared_ptr<SafetensorsFile> file,
                           const ModelComputeOptions& options)
    : config_(config),
      file_(std::move(file)),
      w_(std::make_unique<Weights>()),
      pool_(options.threads),
      features_(config.numMelBins),
      s_(std::make_unique<Scratch>()) {
    const Precisions defaults = defaultPrecisions(config_);
    const WeightPrecision decoder =
        options.decoderPrecision == WeightPrecision::automatic ? defaults.decoder : options.decoderPrecision;
    const WeightPrecision encoder =
        options.encoderPrecision == WeightPrecision::automatic ? defaults.encoder : options.encoderPrecision;
    switch (decoder) {
        case WeightPrecision::f32: decoderType_ = WeightType::f32; break;
        case WeightPrecision::bf16: decoderType_ = WeightType::bf16; break;
        case WeightPrecision::int8: decoderType_ = WeightType::i8; break;
        case WeightPrecision::automatic:
        case WeightPrecision::f16: decoderType_ = WeightType::f16; break;
    }
    switch (encoder) {
        case WeightPrecision::bf16: encoderPrecision_ = gemm::Precision::bf16; break;
        case WeightPrecision::int8: encoderPrecision_ = gemm::Precision::int8; break;
        case WeightPrecision::f16:
            throw WhisperError("The encoder has no f16 products (expected auto, f32, bf16 or int8)");
        case WeightPrecision::automatic:
        case WeightPrecision::f32: encoderPrecision_ = gemm::Precision::exact; break;
    }
    // Reduced-precision runs also keep the cross-attention cache in half precision: it is read
    // in full for every token.
    // int8 runs keep it in int8 too, one scale per frame and head, where the heads' width suits
    // the integer kernels (every published model's does).
    const int headDim = config_.dModel / config_.decoderHeads;
    const bool int8Heads = headDim % 2 == 0 && headDim <= kernels::kCrossMaxDim;
    crossCacheType_ = decoderType_ == WeightType::f32                 ? WeightType::f32
                      : decoderType_ == WeightType::i8 && int8Heads ? WeightType::i8
                                                                      : WeightType::f16;
    // The self-attention cache grows with the position and is read in full for every token too:
    // half precision halves those bytes, within the reduced paths' tolerance.
    selfCacheType_ = decoderType_ == WeightType::f32 ? WeightType::f32 : WeightType::f16;

    const int d = config_.dModel, nm = config_.numMelBins, V = config_.vocabSize;
    const int fe = config_.encoderFfnDim, fd = config_.decoderFfnDim;
    Loader ld(*file_, *w_, encoderPrecision_);
    Weights& w = *w_;
    w.conv1 = ld.conv("model.encoder.conv1", d, nm, true);
    w.conv2 = ld.conv("model.encoder.conv2", d, d, false);
    w.encPos = ld.f32("model.encoder.embed_positions.weight", {kEncoderFrames, d});
    for (int l = 0; l < config_.encoderLayers; ++l) {
        const std::string p = "model.encoder.layers." + std::to_string(l) + ".";
        EncLayer e;
        e.ln1 = ld.norm(p + "self_attn_layer_norm", d);
        e.q = ld.dense(p + "self_attn.q_proj", d, d, true);
        e.k = ld.dense(p + "self_attn.k_proj", d, d, false);
        e.v = ld.dense(p + "self_attn.v_proj", d, d, true);
        e.o = ld.dense(p + "self_attn.out_proj", d, d, true);
        e.ln2 = ld.norm(p + "final_layer_norm", d);
        e.fc1 = ld.dense(p + "fc1", fe, d, true);
        e.fc2 = ld.dense(p + "fc2", d, fe, true);
        w.enc.push_back(e);
    }
    w.encLn = ld.norm("model.encoder.layer_norm", d);
    w.embed = ld.matrix("model.decoder.embed_tokens.weight", V, d, decoderType_);
    w.decPos = ld.f32("model.decoder.embed_positions.weight", {config_.maxTargetPositions, d});
    for (int l = 0; l < config_.decoderLayers; ++l) {
        const std::string p = "model.decoder.layers." + std::to_string(l) + ".";
        DecLayer e;
        e.ln1 = ld.norm(p + "self_attn_layer_norm", d);
        e.q = ld.lin(p + "self_attn.q_proj", d, d, true, decoderType_);
        e.k = ld.lin(p + "self_attn.k_proj", d, d, false, decoderType_);
        e.v = ld.lin(p + "self_attn.v_proj", d, d, true, decoderType_);
        e.o = ld.lin(p + "self_attn.out_proj", d, d, true, decoderType_);
        e.ln2 = ld.norm(p + "encoder_attn_layer_norm", d);
        e.cq = ld.lin(p + "encoder_attn.q_proj", d, d, true, decoderType_);
        e.ck = ld.dense(p + "encoder_attn.k_proj", d, d, false);
        e.cv = ld.dense(p + "encoder_attn.v_proj", d, d, true);
        e.co = ld.lin(p + "encoder_attn.out_proj", d, d, true, decoderType_);
        e.ln3 = ld.norm(p + "final_layer_norm", d);
        e.fc1 = ld.lin(p + "fc1", fd, d, true, decoderType_);
        e.fc2 = ld.lin(p + "fc2", d, fd, true, decoderType_);
        w.dec.push_back(e);
    }
    w.decLn = ld.norm("model.decoder.layer_norm", d);

    const int L = config_.decoderLayers, P = config_.maxTargetPositions;
    const size_t crossElems = size_t(L) * kEncoderFrames * size_t(d);
    if (crossCacheType_ == WeightType::i8) {
        // Per head: keys and values in the integer kernels' layouts, padded frames included.
        const size_t heads = size_t(L) * size_t(config_.decoderHeads), dh = size_t(d / config_.decoderHeads);
        crossK_.resize(heads * size_t(kernels::crossKeyFrames(kEncoderFrames)) * dh);
        crossV_.resize(heads * size_t(kernels::crossValueFrames(kEncoderFrames)) * dh);
        crossKScale_.resize(heads * size_t(kernels::crossKeyFrames(kEncoderFrames)));
        crossVScale_.resize(heads * size_t(kernels::crossValueFrames(kEncoderFrames)));
    } else {
        crossK_.resize(crossElems * kernels::weightTypeSize(crossCacheType_));
        crossV_.resize(crossElems * kernels::weightTypeSize(crossCacheType_));
    }
    selfK_.assign(size_t(L) * P * size_t(d) * kernels::weightTypeSize(selfCacheType_), std::byte{0});
    selfV_.assign(size_t(L) * P * size_t(d) * kernels::weightTypeSize(selfCacheType_), std::byte{0});
    alignmentRecorded_.assign(size_t(P), 0);
    s_->threadScores.resize(size_t(pool_.size()) * size_t(std::max(kEncoderFrames, P)));
}

WhisperModel::~WhisperModel() = default;

size_t WhisperModel::decoderWeightBytesPerToken() const {
    size_t bytes = w_->embed.bytes();
    for (const DecLayer& l : w_->dec) {
        for (const Lin* x : {&l.q, &l.k, &l.v, &l.o, &l.cq, &l.co, &l.fc1, &l.fc2}) bytes += x->w.bytes();
    }
    return bytes;
}

size_t WhisperModel::crossCacheBytes() const {
    return crossK_.size() + crossV_.size() + (crossKScale_.size() + crossVScale_.size()) * sizeof(float);
}

size_t WhisperModel::selfCacheBytes(int positions) const {
    return size_t(config_.decoderLayers) * 2 * size_t(positions) * size_t(config_.dModel) *
           kernels::weightTypeSize(selfCacheType_);
}

void WhisperModel::computeMel(std::span<const float> samples, float* mel) { features_.compute(samples, mel, &pool_); }

void WhisperModel::encode(const float* mel, float* out) {
    const int d = config_.dModel, nm = config_.numMelBins, T = kEncoderFrames, T0 = kMelFrames;
    const int H = config_.encoderHeads, dh = d / H, fe = config_.encoderFfnDim;
    Scratch& s = *s_;
    Weights& w = *w_;
    s.col.resize(size_t(T0) * size_t(3 * std::max(nm, d)));
    s.conv.resize(size_t(T0) * d);
    s.x.resize(size_t(T) * d);
    s.h.resize(size_t(T) * d);
    s.q.resize(size_t(T) * d);
    s.k.resize(size_t(T) * d);
    s.v.resize(size_t(T) * d);
    s.o.resize(size_t(T) * d);
    s.ff.resize(size_t(T) * fe);

    const auto parallelRows = [&](int rows, const std::function<void(int, int)>& fn) {
        const int chunk = 64;
        pool_.run((rows + chunk - 1) / chunk, [&](int c) { fn(c * chunk, std::min(rows, (c + 1) * chunk)); });
    };

    // Each convolution is one product with the unfolded input: row t holds the input rows
    // t*stride - 1, t*stride, t*stride + 1 side by side (zeros outside).
    const auto unfold = [&](const float* in, int rowsIn, int channels, int rowsOut, int stride, float* col) {
        parallelRows(rowsOut, [&](int a, int b) {
            for (int t = a; t < b; ++t) {
                for (int k = 0; k < 3; ++k) {
                    const int src = t * stride + k - 1;
                    float* dst = col + (size_t(t) * 3 + size_t(k)) * channels;
                    if (src >= 0 && src < rowsIn) std::memcpy(dst, in + size_t(src) * channels, size_t(channels) * 4);
                    else std::memset(dst, 0, size_t(channels) * 4);
                }
            }
        });
    };
    unfold(mel, T0, nm, T0, 1, s.col.data());
    linear(w.conv1, s.col.data(), T0, s.conv.data(), false, pool_, true);
    unfold(s.conv.data(), T0, d, T, 2, s.col.data());
    linear(w.conv2, s.col.data(), T, s.x.data(), false, pool_, true);
    parallelRows(T, [&](int a, int b) {
        kernels::add(s.x.data() + size_t(a) * d, w.encPos + size_t(a) * d, size_t(b - a) * d);
    });

    const float scale = 1.0f / std::sqrt(float(dh));
    for (const EncLayer& l : w.enc) {
        parallelRows(T, [&](int a, int b) {
            for (int t = a; t < b; ++t) {
                kernels::layerNorm(s.x.data() + size_t(t) * d, l.ln1.g, l.ln1.b, s.h.data() + size_t(t) * d, d,
                                   kLayerNormEps);
            }
        });
        linearShared(s.h.data(), T, {{&l.q, s.q.data()}, {&l.k, s.k.data()}, {&l.v, s.v.data()}}, s.rows, pool_);
        gemm::attention(T, d, H, s.q.data(), s.k.data(), s.v.data(), s.o.data(), scale, pool_, encoderPrecision_);
        linear(l.o, s.o.data(), T, s.x.data(), true, pool_);
        parallelRows(T, [&](int a, int b) {
            for (int t = a; t < b; ++t) {
                kernels::layerNorm(s.x.data() + size_t(t) * d, l.ln2.g, l.ln2.b, s.h.data() + size_t(t) * d, d,
                                   kLayerNormEps);
            }
        });
        linear(l.fc1, s.h.data(), T, s.ff.data(), false, pool_, true);
        linear(l.fc2, s.ff.data(), T, s.x.data(), true, pool_);
    }
    parallelRows(T, [&](int a, int b) {
        for (int t = a; t < b; ++t) {
            kernels::layerNorm(s.x.data() + size_t(t) * d, w.encLn.g, w.encLn.b, out + size_t(t) * d, d,
                               kLayerNormEps);
        }
    });
}

void WhisperModel::setEncoderOutput(const float* enc, int audioFrames) {
    const int d = config_.dModel, H = config_.decoderHeads, dh = d / H, T = kEncoderFrames;
    audioFrames_ = std::clamp(audioFrames, 1, T);
    Scratch& s = *s_;
    s.k.resize(size_t(T) * d);
    const size_t layerElems = size_t(T) * d;
    s.v.resize(size_t(T) * d);
    const size_t elem = kernels::weightTypeSize(crossCacheType_);
    // Every layer's keys and values come from the same encoder output: int8 weights take it
    // quantised once.
    bool quantizedOnce = true;
    for (const DecLayer& dl : w_->dec) quantizedOnce = quantizedOnce && gemm::takesQuantizedRows(dl.ck.w) && gemm::takesQuantizedRows(dl.cv.w);
    if (quantizedOnce) s.rows.quantize(T, enc, d, d, pool_);
    for (size_t l = 0; l < w_->dec.size(); ++l) {
        const DecLayer& dl = w_->dec[l];
        if (quantizedOnce) {
            gemm::multiplyQuantized(s.rows, dl.ck.w, s.k.data(), d, 1.0f, 0.0f, pool_, dl.ck.b);
            gemm::multiplyQuantized(s.rows, dl.cv.w, s.v.data(), d, 1.0f, 0.0f, pool_, dl.cv.b);
        } else {
            linear(dl.ck, enc, T, s.k.data(), false, pool_);
            linear(dl.cv, enc, T, s.v.data(), false, pool_);
        }
        // Keys transposed to [head][dHead][frame] for scoring, values to [head][frame][dHead].
        std::byte* kDst = crossK_.data() + l * layerElems * elem;
        std::byte* vDst = crossV_.data() + l * layerElems * elem;
        pool_.run(H, [&](int h) {
            if (crossCacheType_ == WeightType::i8) {
                // Each frame's key and value of this head as int8 with its own scale.
                const size_t head = l * size_t(H) + size_t(h);
                const size_t kFrames = size_t(kernels::crossKeyFrames(T)), vFrames = size_t(kernels::crossValueFrames(T));
                kernels::packCrossKeysI8(s.k.data() + size_t(h) * dh, size_t(d), dh, T,
                                         reinterpret_cast<int8_t*>(crossK_.data()) + head * kFrames * dh,
                                         crossKScale_.data() + head * kFrames);
                kernels::packCrossValuesI8(s.v.data() + size_t(h) * dh, size_t(d), dh, T,
                                           reinterpret_cast<int8_t*>(crossV_.data()) + head * vFrames * dh,
                                           crossVScale_.data() + head * vFrames);
                return;
            }
            std::vector<float> row(static_cast<size_t>(T));
            for (int i = 0; i < dh; ++i) {
                for (int f = 0; f < T; ++f) row[size_t(f)] = s.k[size_t(f) * d + size_t(h) * dh + size_t(i)];
                const size_t at = (size_t(h) * dh + size_t(i)) * T;
                if (crossCacheType_ == WeightType::f32) std::memcpy(reinterpret_cast<float*>(kDst) + at, row.data(), size_t(T) * 4);
                else kernels::convertToF16(row.data(), reinterpret_cast<uint16_t*>(kDst) + at, size_t(T));
            }
            for (int f = 0; f < T; ++f) {
                const float* src = s.v.data() + size_t(f) * d + size_t(h) * dh;
                const size_t at = (size_t(h) * T + size_t(f)) * dh;
                if (crossCacheType_ == WeightType::f32) std::memcpy(reinterpret_cast<float*>(vDst) + at, src, size_t(dh) * 4);
                else kernels::convertToF16(src, reinterpret_cast<uint16_t*>(vDst) + at, size_t(dh));
            }
        });
    }
    cacheLength_ = 0;
    std::fill(alignmentRecorded_.begin(), alignmentRecorded_.end(), 0);
    alignment_.clear();
}

EncodeTimings WhisperModel::encodeWindow(std::span<const float> samples) {
    EncodeTimings t;
    const int d = config_.dModel;
    mel_.resize(size_t(kMelFrames) * config_.numMelBins);
    encoderOut_.resize(size_t(kEncoderFrames) * d);
    auto t0 = std::chrono::steady_clock::now();
    computeMel(samples.first(std::min(samples.size(), size_t(kWindowSamples))), mel_.data());
    t.logmel = secondsSince(t0);
    t0 = std::chrono::steady_clock::now();
    encode(mel_.data(), encoderOut_.data());
    t.encoder = secondsSince(t0);
    t0 = std::chrono::steady_clock::now();
    const int frames = int((std::min(samples.size(), size_t(kWindowSamples)) + kSamplesPerEncoderFrame - 1) /
                           kSamplesPerEncoderFrame);
    setEncoderOutput(encoderOut_.data(), frames);
    t.crossKv = secondsSince(t0);
    return t;
}

std::span<const float> WhisperModel::alignmentWeights(int position) const {
    if (position < 0 || position >= config_.maxTargetPositions || !alignmentRecorded_[size_t(position)] ||
        alignment_.empty()) {
        return {};
    }
    const size_t row = config_.alignmentHeads.size() * size_t(audioFrames_);
    return {alignment_.data() + size_t(position) * row, row};
}

void WhisperModel::decode(std::span<const int> tokens, int keep, std::span<float> logits) {
    if (int(logits.size()) < config_.vocabSize) throw WhisperError("The logits buffer is smaller than the vocabulary");
    run(tokens, keep, logits.data(), false);
}

void WhisperModel::decodeAll(std::span<const int> tokens, int keep, float* logits) { run(tokens, keep, logits, true); }

void WhisperModel::run(std::span<const int> tokens, int keep, float* logits, bool allPositions) {
    const int n = int(tokens.size());
    const int d = config_.dModel, H = config_.decoderHeads, dh = d / H, V = config_.vocabSize;
    const int P = config_.maxTargetPositions, T = kEncoderFrames, ff = config_.decoderFfnDim;
    if (n == 0) throw WhisperError("The decoder was given no tokens");
    if (keep < 0 || keep > cacheLength_) {
        throw WhisperError("The decoder cache holds " + std::to_string(cacheLength_) + " positions, cannot keep " +
                           std::to_string(keep));
    }
    if (keep + n > P) {
        throw WhisperError("The decoder's context of " + std::to_string(P) + " positions is full");
    }
    for (int t : tokens) {
        if (t < 0 || t >= V) throw WhisperError("Token id " + std::to_string(t) + " is outside the vocabulary");
    }
    Scratch& s = *s_;
    Weights& w = *w_;
    for (auto* b : {&s.dx, &s.dh, &s.dq, &s.dk, &s.dv, &s.da, &s.dt}) b->resize(size_t(n) * d);
    s.dff.resize(size_t(n) * ff);
    const size_t scoreStride = size_t(std::max(T, P));

    // Token embeddings plus positions.
    for (int j = 0; j < n; ++j) {
        float* x = s.dx.data() + size_t(j) * d;
        const size_t at = size_t(tokens[size_t(j)]) * d;
        switch (w.embed.type) {
            case WeightType::f32: std::memcpy(x, static_cast<const float*>(w.embed.data) + at, size_t(d) * 4); break;
            case WeightType::f16: kernels::convertF16ToF32(static_cast<const uint16_t*>(w.embed.data) + at, x, size_t(d)); break;
            case WeightType::bf16: kernels::convertBf16ToF32(static_cast<const uint16_t*>(w.embed.data) + at, x, size_t(d)); break;
            case WeightType::i8: {
                const int8_t* q = static_cast<const int8_t*>(w.embed.data) + at;
                const uint16_t* sc = w.embed.scales + size_t(tokens[size_t(j)]) * w.embed.blocksPerRow();
                for (int i = 0; i < d; ++i) x[i] = float(q[i]) * halfToFloat(sc[i / kernels::kI8Block]);
                break;
            }
        }
        kernels::add(x, w.decPos + size_t(keep + j) * d, size_t(d));
    }

    struct Task {
        const Lin* lin;
        const float* x;
        float* y;
    };
    // Row-chunked matrix-vector products over the pool, several matrices in one job. int8
    // weights take their input quantised once here, not once per chunk.
    const bool quantized = decoderType_ == WeightType::i8;
    const auto gemv = [&](std::initializer_list<Task> tasks, int rowsIn) {
        Task list[3];
        int firstChunk[4] = {0, 0, 0, 0};
        const float* quantizedFrom[3] = {nullptr, nullptr, nullptr};
        size_t quantizedAt[3] = {0, 0, 0};
        int k = 0;
        size_t qSize = 0;
        for (const Task& t : tasks) {
            list[k] = t;
            firstChunk[k + 1] = firstChunk[k] + (t.lin->w.rows + kChunkRows - 1) / kChunkRows;
            if (quantized) {
                quantizedAt[k] = qSize;
                for (int p = 0; p < k; ++p) {
                    if (quantizedFrom[p] == t.x) quantizedAt[k] = quantizedAt[p];
                }
                if (quantizedAt[k] == qSize) {
                    quantizedFrom[k] = t.x;
                    qSize += size_t(rowsIn) * size_t(t.lin->w.cols);
                }
            }
            ++k;
        }
        if (quantized) {
            s.xq.resize(qSize);
            s.xs.resize(size_t(3) * size_t(rowsIn));
            for (int i = 0; i < k; ++i) {
                if (quantizedFrom[i]) {
                    kernels::quantizeVectorsI16(list[i].x, rowsIn, size_t(list[i].lin->w.cols), list[i].lin->w.cols,
                                                s.xq.data() + quantizedAt[i], s.xs.data() + size_t(i) * rowsIn);
                }
            }
        }
        pool_.run(firstChunk[k], [&](int c) {
            int i = 0;
            while (c >= firstChunk[i + 1]) ++i;
            const Task& t = list[i];
            const int r0 = (c - firstChunk[i]) * kChunkRows;
            const int r1 = std::min(t.lin->w.rows, r0 + kChunkRows);
            if (quantized) {
                int owner = i;
                for (int p = 0; p < i; ++p) {
                    if (quantizedFrom[p] == t.x) owner = p;
                }
                kernels::gemvRowsI8(t.lin->w, s.xq.data() + quantizedAt[i], s.xs.data() + size_t(owner) * rowsIn, rowsIn,
                                    size_t(t.lin->w.cols), t.y, size_t(t.lin->w.rows), r0, r1, t.lin->b);
            } else {
                kernels::gemvRows(t.lin->w, t.x, rowsIn, size_t(t.lin->w.cols), t.y, size_t(t.lin->w.rows), r0, r1,
                                  t.lin->b);
            }
        });
    };
    const auto norm = [&](const Norm& nm) {
        for (int j = 0; j < n; ++j) {
            kernels::layerNorm(s.dx.data() + size_t(j) * d, nm.g, nm.b, s.dh.data() + size_t(j) * d, d, kLayerNormEps);
        }
    };
    const float scale = 1.0f / std::sqrt(float(dh));

    // Which alignment slot each (layer, head) records into, or -1.
    const size_t alignRow = config_.alignmentHeads.size() * size_t(audioFrames_);
    if (recordAlignment_ && alignment_.size() != size_t(P) * alignRow) {
        alignment_.assign(size_t(P) * alignRow, 0.0f);
        std::fill(alignmentRecorded_.begin(), alignmentRecorded_.end(), 0);
    }
    std::vector<int> alignSlot(size_t(config_.decoderLayers) * H, -1);
    if (recordAlignment_) {
        for (size_t a = 0; a < config_.alignmentHeads.size(); ++a) {
            const auto [layer, head] = config_.alignmentHeads[a];
            alignSlot[size_t(layer) * H + size_t(head)] = int(a);
        }
    }

    for (size_t l = 0; l < w.dec.size(); ++l) {
        const DecLayer& dl = w.dec[l];
        // Self-attention with the cache.
        norm(dl.ln1);
        gemv({{&dl.q, s.dh.data(), s.dq.data()}, {&dl.k, s.dh.data(), s.dk.data()}, {&dl.v, s.dh.data(), s.dv.data()}},
             n);
        // Keys and values both [head][P][dHead]: the positions a token reads are one contiguous
        // run per head, which streams (a transposed key layout reads a short piece of every row).
        const size_t selfElem = kernels::weightTypeSize(selfCacheType_);
        std::byte* kCache = selfK_.data() + l * size_t(P) * d * selfElem;
        std::byte* vCache = selfV_.data() + l * size_t(P) * d * selfElem;
        const bool halfCache = selfCacheType_ == WeightType::f16;
        for (int j = 0; j < n; ++j) {
            const int pos = keep + j;
            for (int h = 0; h < H; ++h) {
                const size_t at = (size_t(h) * P + size_t(pos)) * dh;
                const float* kNew = s.dk.data() + size_t(j) * d + size_t(h) * dh;
                const float* vNew = s.dv.data() + size_t(j) * d + size_t(h) * dh;
                if (halfCache) {
                    kernels::convertToF16(kNew, reinterpret_cast<uint16_t*>(kCache) + at, size_t(dh));
                    kernels::convertToF16(vNew, reinterpret_cast<uint16_t*>(vCache) + at, size_t(dh));
                } else {
                    std::memcpy(reinterpret_cast<float*>(kCache) + at, kNew, size_t(dh) * 4);
                    std::memcpy(reinterpret_cast<float*>(vCache) + at, vNew, size_t(dh) * 4);
                }
            }
        }
        for (size_t i = 0; i < size_t(n) * d; ++i) s.dq[i] *= scale;
        pool_.run(n * H, [&](int item) {
            const int j = item / H, h = item % H;
            const int count = keep + j + 1;  // causal: itself and everything before
            float* sc = s.threadScores.data() + size_t(ThreadPool::currentIndex()) * scoreStride;
            // The scores are the product of the head's keys (count x dHead) with the scaled query.
            const Matrix keys{kCache + size_t(h) * P * dh * selfElem, nullptr, selfCacheType_, count, dh};
            kernels::gemvRows(keys, s.dq.data() + size_t(j) * d + size_t(h) * dh, 1, size_t(dh), sc, size_t(count), 0,
                              count, nullptr);
            kernels::softmax(sc, count);
            kernels::attentionSum(vCache + size_t(h) * P * dh * selfElem, selfCacheType_, dh, count, size_t(dh), sc,
                                  s.da.data() + size_t(j) * d + size_t(h) * dh);
        });
        gemv({{&dl.o, s.da.data(), s.dt.data()}}, n);
        kernels::add(s.dx.data(), s.dt.data(), size_t(n) * d);

        // Cross-attention over the window's encoder output.
        norm(dl.ln2);
        gemv({{&dl.cq, s.dh.data(), s.dq.data()}}, n);
        const size_t crossElem = kernels::weightTypeSize(crossCacheType_);
        const bool int8Cache = crossCacheType_ == WeightType::i8;
        const std::byte* cK = crossK_.data() + l * size_t(T) * d * crossElem;
        const std::byte* cV = crossV_.data() + l * size_t(T) * d * crossElem;
        const size_t kFrames = size_t(kernels::crossKeyFrames(T)), vFrames = size_t(kernels::crossValueFrames(T));
        pool_.run(n * H, [&](int item) {
            const int j = item / H, h = item % H;
            float* sc = s.threadScores.data() + size_t(ThreadPool::currentIndex()) * scoreStride;
            const float* q = s.dq.data() + size_t(j) * d + size_t(h) * dh;
            float* out = s.da.data() + size_t(j) * d + size_t(h) * dh;
            const size_t head = l * size_t(H) + size_t(h);
            if (int8Cache) {
                kernels::crossAttentionI8(reinterpret_cast<const int8_t*>(crossK_.data()) + head * kFrames * dh,
                                          crossKScale_.data() + head * kFrames,
                                          reinterpret_cast<const int8_t*>(crossV_.data()) + head * vFrames * dh,
                                          crossVScale_.data() + head * vFrames, dh, T, q, scale, sc, out);
            } else {
                kernels::attentionScores(cK + size_t(h) * dh * T * crossElem, crossCacheType_, dh, T, size_t(T), q,
                                         scale, sc);
                kernels::softmax(sc, T);
                kernels::attentionSum(cV + size_t(h) * T * dh * crossElem, crossCacheType_, dh, T, size_t(dh), sc, out);
            }
            const int slot = alignSlot[head];
            if (slot >= 0) {
                std::memcpy(alignment_.data() + size_t(keep + j) * alignRow + size_t(slot) * audioFrames_, sc,
                            size_t(audioFrames_) * 4);
            }
        });
        gemv({{&dl.co, s.da.data(), s.dt.data()}}, n);
        kernels::add(s.dx.data(), s.dt.data(), size_t(n) * d);

        // Feed-forward.
        norm(dl.ln3);
        gemv({{&dl.fc1, s.dh.data(), s.dff.data()}}, n);
        kernels::gelu(s.dff.data(), size_t(n) * ff);
        gemv({{&dl.fc2, s.dff.data(), s.dt.data()}}, n);
        kernels::add(s.dx.data(), s.dt.data(), size_t(n) * d);
    }
    if (recordAlignment_) {
        for (int j = 0; j < n; ++j) alignmentRecorded_[size_t(keep + j)] = 1;
    }
    for (int p = keep + n; p < P; ++p) alignmentRecorded_[size_t(p)] = 0;
    cacheLength_ = keep + n;

    // Output: the final norm and the tied embedding, for the last token or all of them.
    const int first = allPositions ? 0 : n - 1;
    const int rows = n - first;
    for (int j = first; j < n; ++j) {
        kernels::layerNorm(s.dx.data() + size_t(j) * d, w.decLn.g, w.decLn.b, s.dh.data() + size_t(j - first) * d, d,
                           kLayerNormEps);
    }
    const Lin out{w.embed, nullptr};
    if (quantized) {
        s.xq.resize(size_t(rows) * d);
        s.xs.resize(size_t(rows));
        kernels::quantizeVectorsI16(s.dh.data(), rows, size_t(d), d, s.xq.data(), s.xs.data());
    }
    pool_.run((V + kChunkRows - 1) / kChunkRows, [&](int c) {
        const int r0 = c * kChunkRows, r1 = std::min(V, r0 + kChunkRows);
        if (quantized) {
            kernels::gemvRowsI8(out.w, s.xq.data(), s.xs.data(), rows, size_t(d), logits, size_t(V), r0, r1, nullptr);
        } else {
            kernels::gemvRows(out.w, s.dh.data(), rows, size_t(d), logits, size_t(V), r0, r1, nullptr);
        }
    });
}

}  // namespace lumenote::engine
