#pragma once

// Random-weight Whisper models for tests, benchmarks and tools/make-test-model.
//
// writeModelFolder() writes a folder in the Hugging Face layout (config.json,
// generation_config.json, model.safetensors, and tokenizer.json or vocab.json + merges.txt +
// added_tokens.json) that WhisperEngine loads like a downloaded model. The synthetic tokenizer
// is a real byte-level BPE (bytes plus merges learnt from a small English word list), but its
// special tokens sit at ids unlike the published ones, so only lookups by text work with it.
//
//   testmodel::TestModelSpec spec;                       // miniature shape by default
//   spec.config = WhisperModelConfig::forVariant("tiny"); // or a published shape
//   testmodel::writeModelFolder("/tmp/model", spec);

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ModelConfig.h"
#include "engine/Safetensors.h"
#include "engine/Tokenizer.h"

namespace lumenote::engine::testmodel {

enum class TokenizerFormat { tokenizerJson, vocabAndMerges };

struct SyntheticTokenizer {
    std::vector<std::pair<std::string, int>> vocab;               // ordinary tokens
    std::vector<std::pair<std::string, std::string>> merges;
    std::vector<AddedToken> added;                                // control and timestamp tokens
};

// A small model: d_model 64, 2 + 2 layers, 4 heads, 80 mel bins, a vocabulary of 2,100.
WhisperModelConfig miniatureConfig();

// Ordinary tokens fill the vocabulary below the control tokens; the 1501 timestamps end it.
// `languages` are the language codes given tokens. Throws WhisperError when the vocabulary is
// too small.
SyntheticTokenizer makeTokenizer(int vocabSize, const std::vector<std::string>& languages = {"en", "de", "fr", "es", "it", "ja"},
                                 bool listTimestamps = true);
void writeTokenizer(const std::string& folder, const SyntheticTokenizer& tokenizer, TokenizerFormat format);

// Random weights, deterministic in `seed`. Matrices the decoder streams per token (and the
// token embedding) get `decoderDtype`, everything else `otherDtype`. With `fixedToken`, the
// decoder predicts that token at every position, whatever it hears (see TestModelSpec::mute).
std::vector<std::byte> makeWeights(const WhisperModelConfig& config, DType decoderDtype, DType otherDtype,
                                   uint64_t seed, std::optional<int64_t> fixedToken = std::nullopt);

struct TestModelSpec {
    WhisperModelConfig config = miniatureConfig();
    DType dtype = DType::F32;  // F32, F16 or BF16, for every tensor
    uint64_t seed = 1;
    TokenizerFormat tokenizerFormat = TokenizerFormat::tokenizerJson;
    bool listTimestampTokens = true;
    std::vector<std::string> languages = {"en", "de", "fr", "es", "it", "ja"};
    // A model that hears nothing: every window decodes to a timestamp and the end
    // token, so transcripts come out empty.
    bool mute = false;
    // A model sure that no one speaks: the no-speech token wins at every position.
    bool hearsNoSpeech = false;
    // A model stuck in a loop: it says " the" over and over at every temperature.
    bool loops = false;
    // More than 1: the weights go to that many model-0000i-of-0000n.safetensors files with a
    // model.safetensors.index.json, as large checkpoints are published.
    int shards = 1;
    // Written as generation_config.json's is_multilingual when set.
    std::optional<bool> isMultilingual;
};

// Creates `folder` if needed and writes every file. Throws WhisperError on failure.
void writeModelFolder(const std::string& folder, const TestModelSpec& spec);

// Alignment heads for a random model: a few heads from the upper half of the decoder, as
// published checkpoints list a handful rather than every head.
std::vector<std::pair<int, int>> defaultAlignmentHeads(const WhisperModelConfig& config);

}  // namespace lumenote::engine::testmodel
