#include "engine/ModelConfig.h"

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "engine/WhisperError.h"

namespace lumenote::engine {

nlohmann::json readJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WhisperError(path + ": cannot open");
    try {
        return nlohmann::json::parse(in);
    } catch (const std::exception& e) {
        throw WhisperError(path + ": not valid JSON (" + e.what() + ")");
    }
}

namespace {

int requireInt(const nlohmann::json& j, const char* key, const std::string& file, int lo, int hi) {
    const auto it = j.find(key);
    if (it == j.end()) throw WhisperError(file + ": missing \"" + key + "\"");
    if (!it->is_number_integer()) throw WhisperError(file + ": \"" + key + "\" is not an integer");
    const int64_t v = it->get<int64_t>();
    if (v < lo || v > hi) {
        throw WhisperError(file + ": \"" + key + "\" = " + std::to_string(v) + " is outside " +
                           std::to_string(lo) + ".." + std::to_string(hi));
    }
    return int(v);
}

int optionalInt(const nlohmann::json& j, const char* key, const std::string& file, int lo, int hi,
                int fallback) {
    if (!j.contains(key) || j[key].is_null()) return fallback;
    return requireInt(j, key, file, lo, hi);
}

std::vector<int> intList(const nlohmann::json& j, const char* key, const std::string& file) {
    std::vector<int> out;
    const auto it = j.find(key);
    if (it == j.end() || it->is_null()) return out;
    if (!it->is_array()) throw WhisperError(file + ": \"" + key + "\" is not a list");
    for (const auto& v : *it) {
        if (!v.is_number_integer()) throw WhisperError(file + ": \"" + key + "\" holds a non-integer");
        out.push_back(v.get<int>());
    }
    return out;
}

}  // namespace

WhisperModelConfig WhisperModelConfig::load(const std::string& folder) {
    namespace fs = std::filesystem;
    const std::string configPath = (fs::path(folder) / "config.json").string();
    const std::string genPath = (fs::path(folder) / "generation_config.json").string();
    const nlohmann::json config = readJsonFile(configPath);
    if (fs::exists(genPath)) {
        const nlohmann::json gen = readJsonFile(genPath);
        return fromJson(config, &gen, configPath, genPath);
    }
    return fromJson(config, nullptr, configPath, genPath);
}

WhisperModelConfig WhisperModelConfig::fromJson(const nlohmann::json& config,
                                                const nlohmann::json* generation,
                                                const std::string& configName,
                                                const std::string& generationName) {
    if (!config.is_object()) throw WhisperError(configName + ": not a JSON object");
    WhisperModelConfig c;
    c.dModel = requireInt(config, "d_model", configName, 1, 16384);
    c.encoderLayers = requireInt(config, "encoder_layers", configName, 1, 256);
    c.decoderLayers = requireInt(config, "decoder_layers", configName, 1, 256);
    c.encoderHeads = requireInt(config, "encoder_attention_heads", configName, 1, 1024);
    c.decoderHeads = requireInt(config, "decoder_attention_heads", configName, 1, 1024);
    c.numMelBins = requireInt(config, "num_mel_bins", configName, 1, 512);
    c.vocabSize = requireInt(config, "vocab_size", configName, 1, 1 << 20);
    c.maxSourcePositions = optionalInt(config, "max_source_positions", configName, 1, 1 << 16, 1500);
    c.maxTargetPositions = optionalInt(config, "max_target_positions", configName, 1, 1 << 16, 448);
    c.encoderFfnDim = optionalInt(config, "encoder_ffn_dim", configName, 1, 1 << 18, 4 * c.dModel);
    c.decoderFfnDim = optionalInt(config, "decoder_ffn_dim", configName, 1, 1 << 18, 4 * c.dModel);
    if (c.dModel % c.encoderHeads != 0 || c.dModel % c.decoderHeads != 0) {
        throw WhisperError(configName + ": d_model " + std::to_string(c.dModel) +
                           " is not divisible by the number of attention heads");
    }
    // The features are always one 30 s window of 3000 frames, halved by the second convolution.
    if (c.maxSourcePositions != 1500) {
        throw WhisperError(configName + ": max_source_positions must be 1500, not " +
                           std::to_string(c.maxSourcePositions));
    }
    if (config.contains("activation_function") && config["activation_function"].is_string() &&
        config["activation_function"].get<std::string>() != "gelu") {
        throw WhisperError(configName + ": unsupported activation_function \"" +
                           config["activation_function"].get<std::string>() + "\"");
    }

    if (generation) {
        const nlohmann::json& g = *generation;
        if (!g.is_object()) throw WhisperError(generationName + ": not a JSON object");
        if (g.contains("alignment_heads") && !g["alignment_heads"].is_null()) {
            const auto& heads = g["alignment_heads"];
            if (!heads.is_array()) throw WhisperError(generationName + ": \"alignment_heads\" is not a list");
            for (const auto& pair : heads) {
                if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() ||
                    !pair[1].is_number_integer()) {
                    throw WhisperError(generationName + ": \"alignment_heads\" entries must be [layer, head]");
                }
                const int layer = pair[0].get<int>();
                const int head = pair[1].get<int>();
                if (layer < 0 || layer >= c.decoderLayers || head < 0 || head >= c.decoderHeads) {
                    throw WhisperError(generationName + ": alignment head [" + std::to_string(layer) +
                                       ", " + std::to_string(head) + "] is outside the decoder's " +
                                       std::to_string(c.decoderLayers) + " layers x " +
                                       std::to_string(c.decoderHeads) + " heads");
                }
                c.alignmentHeads.emplace_back(layer, head);
            }
        }
        if (g.contains("lang_to_id") && g["lang_to_id"].is_object()) {
            for (auto it = g["lang_to_id"].begin(); it != g["lang_to_id"].end(); ++it) {
                if (it.value().is_number_integer()) c.langToId[it.key()] = it.value().get<int>();
            }
        }
        c.suppressTokens = intList(g, "suppress_tokens", generationName);
        c.beginSuppressTokens = intList(g, "begin_suppress_tokens", generationName);
        if (g.contains("is_multilingual") && !g["is_multilingual"].is_null()) {
            if (!g["is_multilingual"].is_boolean()) {
                throw WhisperError(generationName + ": \"is_multilingual\" is not true or false");
            }
            c.isMultilingual = g["is_multilingual"].get<bool>();
        }
    }
    if (c.alignmentHeads.empty()) {
        for (int l = c.decoderLayers / 2; l < c.decoderLayers; ++l) {
            for (int h = 0; h < c.decoderHeads; ++h) c.alignmentHeads.emplace_back(l, h);
        }
    }
    return c;
}

WhisperModelConfig WhisperModelConfig::forVariant(const std::string& nameIn) {
    std::string name = nameIn;
    const std::string prefix = "openai_whisper-";
    if (name.rfind(prefix, 0) == 0) name = name.substr(prefix.size());
    struct Shape {
        const char* name;
        int d, enc, dec, heads, mels, vocab;
    };
    static const Shape shapes[] = {
        {"tiny", 384, 4, 4, 6, 80, 51865},        {"base", 512, 6, 6, 8, 80, 51865},
        {"small", 768, 12, 12, 12, 80, 51865},    {"medium", 1024, 24, 24, 16, 80, 51865},
        {"large-v3-turbo", 1280, 32, 4, 20, 128, 51866},
        {"large-v3_turbo", 1280, 32, 4, 20, 128, 51866},
    };
    for (const Shape& s : shapes) {
        if (name == s.name) {
            WhisperModelConfig c;
            c.dModel = s.d;
            c.encoderLayers = s.enc;
            c.decoderLayers = s.dec;
            c.encoderHeads = c.decoderHeads = s.heads;
            c.encoderFfnDim = c.decoderFfnDim = 4 * s.d;
            c.numMelBins = s.mels;
            c.vocabSize = s.vocab;
            for (int l = c.decoderLayers / 2; l < c.decoderLayers; ++l) {
                for (int h = 0; h < c.decoderHeads; ++h) c.alignmentHeads.emplace_back(l, h);
            }
            return c;
        }
    }
    throw WhisperError("Unknown model variant \"" + nameIn +
                       "\" (expected tiny, base, small, medium or large-v3-turbo)");
}

nlohmann::json WhisperModelConfig::toConfigJson() const {
    return {
        {"architectures", {"WhisperForConditionalGeneration"}},
        {"model_type", "whisper"},
        {"activation_function", "gelu"},
        {"d_model", dModel},
        {"encoder_layers", encoderLayers},
        {"decoder_layers", decoderLayers},
        {"encoder_attention_heads", encoderHeads},
        {"decoder_attention_heads", decoderHeads},
        {"encoder_ffn_dim", encoderFfnDim},
        {"decoder_ffn_dim", decoderFfnDim},
        {"num_mel_bins", numMelBins},
        {"vocab_size", vocabSize},
        {"max_source_positions", maxSourcePositions},
        {"max_target_positions", maxTargetPositions},
        {"scale_embedding", false},
        {"tie_word_embeddings", true},
        {"torch_dtype", "float32"},
    };
}

nlohmann::json WhisperModelConfig::toGenerationConfigJson() const {
    nlohmann::json heads = nlohmann::json::array();
    for (const auto& [l, h] : alignmentHeads) heads.push_back({l, h});
    nlohmann::json g = {{"alignment_heads", heads},
                        {"suppress_tokens", suppressTokens},
                        {"begin_suppress_tokens", beginSuppressTokens}};
    if (!langToId.empty()) g["lang_to_id"] = langToId;
    if (isMultilingual) g["is_multilingual"] = *isMultilingual;
    return g;
}

}  // namespace lumenote::engine
