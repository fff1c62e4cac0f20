#include "engine/TokenSampler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/Kernels.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {

GreedyTokenSampler::GreedyTokenSampler(float t, int eot, const DecodingOptions& options, uint64_t seed)
    : temperature(t), eotToken(eot), decodingOptions(options), rng_(seed) {}

SamplingResult GreedyTokenSampler::update(std::span<const float> logits) {
    const size_t n = logits.size();
    float maxLogit = -std::numeric_limits<float>::infinity();
    size_t argmax = 0;
    for (size_t i = 0; i < n; ++i) {
        if (logits[i] > maxLogit) {
            maxLogit = logits[i];
            argmax = i;
        }
    }
    if (!(maxLogit > -std::numeric_limits<float>::infinity()) || std::isnan(maxLogit)) {
        throw WhisperError("Every token was suppressed or the logits are not finite");
    }
    const double logNorm = kernels::logSumExp(logits.data(), int(n));

    size_t chosen = argmax;
    if (temperature > 0) {
        const size_t k = size_t(std::clamp<int64_t>(decodingOptions.topK, 1, int64_t(n)));
        std::vector<size_t> idx(n);
        for (size_t i = 0; i < n; ++i) idx[i] = i;
        std::partial_sort(idx.begin(), idx.begin() + ptrdiff_t(k), idx.end(),
                          [&](size_t a, size_t b) { return logits[a] > logits[b]; });
        std::vector<double> p(k);
        double total = 0;
        for (size_t i = 0; i < k; ++i) {
            p[i] = std::exp((double(logits[idx[i]]) - maxLogit) / temperature);  // -inf gives 0
            total += p[i];
        }
        // Inverse of the cumulative distribution at a uniform draw.
        const double u = std::uniform_real_distribution<double>(0.0, total)(rng_);
        double acc = 0;
        chosen = idx[0];
        for (size_t i = 0; i < k; ++i) {
            if (p[i] <= 0) continue;
            acc += p[i];
            chosen = idx[i];
            if (u < acc) break;
        }
    }
    SamplingResult r;
    r.token = int(chosen);
    r.logProb = float(double(logits[chosen]) - logNorm);
    r.completed = r.token == eotToken;
    return r;
}

}  // namespace lumenote::engine
