#pragma once

// The Whisper encoder-decoder on the CPU: weights from a safetensors file (memory-mapped; only
// tensors that change precision are copied), log-mel features, the encoder on OpenBLAS sgemm,
// and the decoder with its self-attention and cross-attention caches on our own kernels.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/AudioProcessor.h"
#include "engine/Gemm.h"
#include "engine/Kernels.h"
#include "engine/ModelConfig.h"
#include "engine/Safetensors.h"
#include "engine/SpeechModel.h"
#include "engine/ThreadPool.h"

namespace lumenote::engine {

// How weights are stored and multiplied. For the decoder's per-token weights: f32, f16, bf16,
// or int8 with a scale per 32 values. For the encoder's products: f32 (exact), bf16 or int8.
// automatic takes the model size's default (defaultPrecisions).
enum class WeightPrecision { automatic, f32, f16, bf16, int8 };

const char* precisionName(WeightPrecision p);
// "f32", "f16", "bf16", "int8" or "auto"; throws WhisperError otherwise.
WeightPrecision parsePrecision(const std::string& text);

struct ModelComputeOptions {
    WeightPrecision decoderPrecision = WeightPrecision::automatic;
    // Threads for the decoder's kernels (the caller counts as one); 0 = one per hardware thread.
    int threads = 0;
    WeightPrecision encoderPrecision = WeightPrecision::automatic;
};

// The fastest precisions that keep a model's logits within 2e-2 of single precision and its
// greedy tokens unchanged.
struct Precisions {
    WeightPrecision encoder = WeightPrecision::f32;
    WeightPrecision decoder = WeightPrecision::f32;
};
Precisions defaultPrecisions(const WhisperModelConfig& config);

class WhisperModel : public SpeechModel {
public:
    // Reads config.json, generation_config.json and model.safetensors from `folder`.
    static std::unique_ptr<WhisperModel> load(const std::string& folder, const ModelComputeOptions& options);
    static std::unique_ptr<WhisperModel> fromFile(const WhisperModelConfig& config,
                                                  std::shared_ptr<SafetensorsFile> file,
                                                  const ModelComputeOptions& options);
    ~WhisperModel() override;

    const WhisperModelConfig& config() const { return config_; }
    kernels::WeightType decoderWeightType() const { return decoderType_; }
    gemm::Precision encoderPrecision() const { return encoderPrecision_; }
    // Bytes of weights read for one decoded token (all decoder matrices and the output
    // embedding; the cross-attention key/value projections run once per window).
    size_t decoderWeightBytesPerToken() const;
    // Bytes of the cross-attention cache, also read in full for every decoded token.
    size_t crossCacheBytes() const;
    // Bytes of the self-attention keys and values a token at `positions - 1` reads (its own
    // and every earlier position's, all layers).
    size_t selfCacheBytes(int positions) const;

    // The pieces, for tests and benchmarks.
    void computeMel(std::span<const float> samples, float* mel);  // [3000][nMels]
    void encode(const float* mel, float* out);                    // [1500][d]
    // Computes the cross-attention keys and values from an encoder output and resets the
    // decoder cache. `audioFrames` (<= 1500) is how many encoder frames hold real audio.
    void setEncoderOutput(const float* encoderOutput, int audioFrames);
    // Like decode(), and writes the logits after every one of the tokens (tokens x vocab).
    void decodeAll(std::span<const int> tokens, int keep, float* logits);

    // SpeechModel
    EncodeTimings encodeWindow(std::span<const float> samples) override;
    int vocabularySize() const override { return config_.vocabSize; }
    int maxPositions() const override { return config_.maxTargetPositions; }
    void decode(std::span<const int> tokens, int keep, std::span<float> logits) override;
    void setRecordAlignment(bool on) override { recordAlignment_ = on; }
    int alignmentHeadCount() const override { return int(config_.alignmentHeads.size()); }
    int alignmentFrameCount() const override { return audioFrames_; }
    std::span<const float> alignmentWeights(int position) const override;

    struct Weights;

private:
    WhisperModel(const WhisperModelConfig& config, std::shared_ptr<SafetensorsFile> file,
                 const ModelComputeOptions& options);
    void run(std::span<const int> tokens, int keep, float* logits, bool allPositions);

    WhisperModelConfig config_;
    std::shared_ptr<SafetensorsFile> file_;
    std::unique_ptr<Weights> w_;
    kernels::WeightType decoderType_;
    gemm::Precision encoderPrecision_;
    kernels::WeightType crossCacheType_;
    ThreadPool pool_;
    FeatureExtractor features_;

    // Per-window state.
    std::vector<float> mel_;
    std::vector<float> encoderOut_;
    std::vector<std::byte> crossK_;  // [layer][head][dHead][1500], transposed for scoring
    std::vector<std::byte> crossV_;  // [layer][head][1500][dHead]
    // An int8 cache holds one scale per frame of each head: [layer][head][1500].
    std::vector<float> crossKScale_, crossVScale_;
    // The self-attention cache, f32 on the exact path and f16 otherwise.
    kernels::WeightType selfCacheType_;
    std::vector<std::byte> selfK_;   // [layer][head][maxPos][dHead]
    std::vector<std::byte> selfV_;   // [layer][head][maxPos][dHead]
    int cacheLength_ = 0;
    int audioFrames_ = 1500;
    bool recordAlignment_ = false;
    std::vector<float> alignment_;   // [maxPos][alignment heads][audioFrames]
    std::vector<int> alignmentRecorded_;

    // Scratch.
    struct Scratch;
    std::unique_ptr<Scratch> s_;
};

}  // namespace lumenote::engine
