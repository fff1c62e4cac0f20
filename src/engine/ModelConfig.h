#pragma once

// The model's shape and generation settings, read from config.json and generation_config.json.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace lumenote::engine {

struct WhisperModelConfig {
    int dModel = 0;
    int encoderLayers = 0;
    int decoderLayers = 0;
    int encoderHeads = 0;
    int decoderHeads = 0;
    int encoderFfnDim = 0;
    int decoderFfnDim = 0;
    int numMelBins = 0;
    int vocabSize = 0;
    int maxSourcePositions = 1500;
    int maxTargetPositions = 448;

    // From generation_config.json. Alignment heads are (decoder layer, head) pairs; when the
    // file lists none, every head of the upper half of the decoder is used.
    std::vector<std::pair<int, int>> alignmentHeads;
    std::map<std::string, int> langToId;
    std::vector<int> suppressTokens;
    std::vector<int> beginSuppressTokens;
    std::optional<bool> isMultilingual;  // "is_multilingual", when the file says

    // Reads and checks both files in `folder`; throws WhisperError naming the file and field.
    static WhisperModelConfig load(const std::string& folder);
    // `generation` may be null (no generation_config.json). The names are used in messages.
    static WhisperModelConfig fromJson(const nlohmann::json& config, const nlohmann::json* generation,
                                       const std::string& configName,
                                       const std::string& generationName);

    // The shape of a published checkpoint: "tiny", "base", "small", "medium", "large-v3-turbo"
    // (also accepted with the "openai_whisper-" prefix). Throws WhisperError for other names.
    static WhisperModelConfig forVariant(const std::string& name);
    // Shape fields as config.json writes them.
    nlohmann::json toConfigJson() const;
    nlohmann::json toGenerationConfigJson() const;
};

// Reads one of the model folder's JSON files; a missing or malformed file is a WhisperError naming it.
nlohmann::json readJsonFile(const std::string& path);

}  // namespace lumenote::engine
