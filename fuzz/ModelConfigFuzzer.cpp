// A model folder's config.json and generation_config.json (input: the first,
// then a NUL and the second; without a NUL the folder has no
// generation_config.json). What the reader accepts it writes back and reads
// again unchanged.

#include "FuzzSupport.h"

#include "engine/ModelConfig.h"
#include "engine/WhisperError.h"

#include <nlohmann/json.hpp>

using namespace lumenote::engine;
using namespace lumenote::fuzz;

namespace {

bool sameConfig(const WhisperModelConfig& a, const WhisperModelConfig& b) {
    return a.dModel == b.dModel && a.encoderLayers == b.encoderLayers && a.decoderLayers == b.decoderLayers &&
           a.encoderHeads == b.encoderHeads && a.decoderHeads == b.decoderHeads &&
           a.encoderFfnDim == b.encoderFfnDim && a.decoderFfnDim == b.decoderFfnDim &&
           a.numMelBins == b.numMelBins && a.vocabSize == b.vocabSize &&
           a.maxSourcePositions == b.maxSourcePositions && a.maxTargetPositions == b.maxTargetPositions &&
           a.alignmentHeads == b.alignmentHeads && a.langToId == b.langToId &&
           a.suppressTokens == b.suppressTokens && a.beginSuppressTokens == b.beginSuppressTokens &&
           a.isMultilingual == b.isMultilingual;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = splitParts(bytes(data, size));
    const std::string folder = scratchFolder();
    writeFile(folder + "/config.json", parts[0]);
    if (parts.size() > 1) {
        writeFile(folder + "/generation_config.json", parts[1]);
    } else {
        removeFile(folder + "/generation_config.json");
    }

    WhisperModelConfig config;
    try {
        config = WhisperModelConfig::load(folder);
    } catch (const WhisperError&) {
        return 0;
    }
    FUZZ_CHECK(config.dModel > 0 && config.dModel % config.encoderHeads == 0 && config.dModel % config.decoderHeads == 0);
    FUZZ_CHECK(!config.alignmentHeads.empty());
    for (const auto& [layer, head] : config.alignmentHeads)
        FUZZ_CHECK(layer >= 0 && layer < config.decoderLayers && head >= 0 && head < config.decoderHeads);

    const nlohmann::json written = config.toConfigJson();
    const nlohmann::json generation = config.toGenerationConfigJson();
    // Through text, as the files are written.
    const nlohmann::json writtenAgain = nlohmann::json::parse(written.dump());
    const nlohmann::json generationAgain = nlohmann::json::parse(generation.dump());
    const WhisperModelConfig again =
        WhisperModelConfig::fromJson(writtenAgain, &generationAgain, "config.json", "generation_config.json");
    FUZZ_CHECK(sameConfig(config, again));
    return 0;
}
