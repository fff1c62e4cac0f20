#pragma once

// Picks the next token from filtered logits: the most likely one at temperature 0; above it, one
// of the topK most likely, drawn from the softmax of their logits divided by the temperature.

#include <cstdint>
#include <random>
#include <span>

#include "engine/Models.h"

namespace lumenote::engine {

struct SamplingResult {
    int token = 0;
    float logProb = 0;       // of the chosen token under the filtered logits (temperature 1)
    bool completed = false;  // the end token was chosen
};

class GreedyTokenSampler {
public:
    // `seed` makes draws at temperatures above 0 reproducible.
    GreedyTokenSampler(float temperature, int eotToken, const DecodingOptions& options, uint64_t seed = 0);

    SamplingResult update(std::span<const float> logits);

    float temperature;
    int eotToken;
    DecodingOptions decodingOptions;

private:
    std::mt19937_64 rng_;
};

}  // namespace lumenote::engine
