#pragma once

// Audio input and log-mel features.
//
// loadAudioFile() reads a WAV file (PCM 8/16/24/32-bit or IEEE float, any channel count and
// rate) into 16 kHz mono float samples. FeatureExtractor turns one 30 s window into Whisper's
// log-mel features: periodic Hann window of 400, hop 160, reflect-padded centred frames, power
// spectrum, Slaney mel filters, log10 with an 8-decade floor below the window's maximum.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lumenote::engine {

class ThreadPool;
namespace gemm { struct PackedWeights; }

constexpr int kFftSize = 400;
constexpr int kHopLength = 160;
constexpr int kFftBins = kFftSize / 2 + 1;  // 201
constexpr int kMelFrames = 3000;            // per 30 s window

// Throws WhisperError naming the file for anything that is not a readable WAV file.
std::vector<float> loadAudioFile(const std::string& path);
// Parses WAV bytes already in memory; `name` is used in messages.
std::vector<float> decodeWav(std::span<const std::byte> bytes, const std::string& name);
// Band-limited resampling (windowed sinc) between any two rates.
std::vector<float> resampleAudio(std::span<const float> input, int fromRate, int toRate);
// 16-bit PCM mono WAV (used by tools and tests to write fixtures).
std::vector<std::byte> encodeWav16(std::span<const float> samples, int sampleRate);

// Slaney-scale triangular filters, [nMels][201], area-normalised.
std::vector<float> melFilterBank(int nMels);

class FeatureExtractor {
public:
    explicit FeatureExtractor(int nMels);
    ~FeatureExtractor();
    int melBins() const { return nMels_; }
    // `samples` holds at most 480,000 samples; the rest of the window is zeros. Writes
    // kMelFrames x nMels floats, frame-major (out[t * nMels + m]). The transforms run as matrix
    // products on `pool`, or single-threaded without one.
    void compute(std::span<const float> samples, float* out, ThreadPool* pool = nullptr);

private:
    int nMels_;
    // Products with the windowed DFT basis ([402][400]: cos and -sin rows for the 201 bins) and
    // with the mel filters ([nMels][201]).
    std::unique_ptr<gemm::PackedWeights> basis_;
    std::unique_ptr<gemm::PackedWeights> filters_;
    std::vector<float> basisRows_, filterRows_;
    std::vector<float> frames_;   // scratch [3000][400]
    std::vector<float> spectrum_; // scratch [3000][402]
    std::vector<float> power_;    // scratch [3000][201]
};

}  // namespace lumenote::engine
