#include "engine/testmodel/TestModel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "engine/Float16.h"
#include "engine/WhisperError.h"

namespace lumenote::engine::testmodel {

namespace {

constexpr int kTimestamps = 1501;

// Words the merges are learnt from, so encoded English comes out in a few tokens.
const char* const kWords[] = {
    "the", "of", "and", "to", "in", "is", "that", "it", "for", "as", "with", "this", "we", "on", "are", "be",
    "lecture", "today", "about", "function", "so", "what", "can", "you", "which", "equation", "energy",
    "one", "two", "three", "here", "there", "model", "data", "time", "hello", "world", "speech", "question",
    "answer", "student", "theory", "example", "number", "point", "system", "value", "first", "second",
    "because", "have", "will", "not", "all", "if", "then", "when", "see", "look", "let", "now", "next",
};

uint64_t splitmix(uint64_t& s) {
    uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Uniform in [-1, 1).
float uniform(uint64_t& s) { return float(double(splitmix(s) >> 11) * (2.0 / 9007199254740992.0) - 1.0); }

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw WhisperError(path.string() + ": cannot create file");
    out << text;
    if (!out) throw WhisperError(path.string() + ": write failed");
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw WhisperError(path.string() + ": cannot create file");
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw WhisperError(path.string() + ": write failed");
}

enum class Init { uniform, gamma, sinusoids };

struct Plan {
    std::string name;
    DType dtype;
    std::vector<int64_t> shape;
    Init init;
    float scale;
};

void store(std::byte* dst, DType dtype, size_t i, float v) {
    switch (dtype) {
        case DType::F32: std::memcpy(dst + i * 4, &v, 4); break;
        case DType::F16: {
            const uint16_t h = floatToHalf(v);
            std::memcpy(dst + i * 2, &h, 2);
            break;
        }
        case DType::BF16: {
            const uint16_t h = floatToBf16(v);
            std::memcpy(dst + i * 2, &h, 2);
            break;
        }
        default: throw WhisperError("Test models are written in F32, F16 or BF16");
    }
}

}  // namespace

WhisperModelConfig miniatureConfig() {
    WhisperModelConfig c;
    c.dModel = 64;
    c.encoderLayers = 2;
    c.decoderLayers = 2;
    c.encoderHeads = c.decoderHeads = 4;
    c.encoderFfnDim = c.decoderFfnDim = 256;
    c.numMelBins = 80;
    c.vocabSize = 2100;
    c.alignmentHeads = {{1, 0}, {1, 2}};
    return c;
}

std::vector<std::pair<int, int>> defaultAlignmentHeads(const WhisperModelConfig& config) {
    std::vector<std::pair<int, int>> heads;
    const int first = config.decoderLayers / 2;
    for (int l = first; l < config.decoderLayers && heads.size() < 6; ++l) {
        heads.emplace_back(l, (l * 5) % config.decoderHeads);
        if (config.decoderHeads > 1) heads.emplace_back(l, (l * 5 + 3) % config.decoderHeads);
    }
    return heads;
}

SyntheticTokenizer makeTokenizer(int vocabSize, const std::vector<std::string>& languages, bool listTimestamps) {
    const int controls = 8 + int(languages.size());
    const int ordinary = vocabSize - kTimestamps - controls;
    if (ordinary < 256) {
        throw WhisperError("A vocabulary of " + std::to_string(vocabSize) + " cannot hold 256 byte tokens, " +
                           std::to_string(controls) + " control tokens and " + std::to_string(kTimestamps) +
                           " timestamps");
    }
    SyntheticTokenizer t;
    std::set<std::string> known;
    // Byte tokens in a shuffled order (ids unlike GPT-2's).
    for (int i = 0; i < 256; ++i) {
        const int b = (i * 167 + 13) % 256;
        const char c = char(b);
        const std::string text = byteLevelText(std::string_view(&c, 1));
        t.vocab.emplace_back(text, i);
        known.insert(text);
    }
    int next = 256;
    const auto addMerge = [&](const std::string& a, const std::string& b) {
        if (next >= ordinary || known.count(a + b)) return;
        t.merges.emplace_back(a, b);
        t.vocab.emplace_back(a + b, next++);
        known.insert(a + b);
    };
    // Merge each word (with and without its leading space) left to right.
    for (int pass = 0; pass < 2 && next < ordinary; ++pass) {
        for (const char* w : kWords) {
            const std::string word = pass == 0 ? std::string(" ") + w : std::string(w);
            std::vector<std::string> parts;
            for (char c : word) parts.push_back(byteLevelText(std::string_view(&c, 1)));
            std::string acc = parts[0];
            for (size_t k = 1; k < parts.size(); ++k) {
                addMerge(acc, parts[k]);
                acc += parts[k];
            }
        }
    }
    // Fill what is left by extending tokens one byte at a time, printable bytes first; tokens
    // stay short, so a full-size vocabulary is built quickly.
    std::vector<std::string> bytesInOrder;
    for (int b = 33; b < 127; ++b) bytesInOrder.push_back(byteLevelText(std::string(1, char(b))));
    for (int b = 0; b < 256; ++b) {
        if (b < 33 || b >= 127) bytesInOrder.push_back(byteLevelText(std::string(1, char(b))));
    }
    for (size_t i = 0; next < ordinary && i < t.vocab.size(); ++i) {
        const std::string left = t.vocab[i].first;
        if (left.size() > 12) continue;
        for (size_t b = 0; b < bytesInOrder.size() && next < ordinary; ++b) addMerge(left, bytesInOrder[b]);
    }
    int id = ordinary;
    const auto control = [&](const std::string& text) { t.added.push_back({id++, text, true}); };
    control("<|endoftext|>");
    control("<|translate|>");
    control("<|transcribe|>");
    for (const std::string& l : languages) control("<|" + l + "|>");
    control("<|startoflm|>");
    control("<|startofprev|>");
    control("<|nospeech|>");
    control("<|startoftranscript|>");
    control("<|notimestamps|>");
    if (listTimestamps) {
        for (int k = 0; k < kTimestamps; ++k) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "<|%.2f|>", k * 0.02);
            t.added.push_back({id + k, buf, true});
        }
    }
    return t;
}

void writeTokenizer(const std::string& folder, const SyntheticTokenizer& t, TokenizerFormat format) {
    namespace fs = std::filesystem;
    nlohmann::ordered_json vocab = nlohmann::ordered_json::object();
    for (const auto& [text, id] : t.vocab) vocab[text] = id;
    if (format == TokenizerFormat::tokenizerJson) {
        nlohmann::ordered_json added = nlohmann::ordered_json::array();
        for (const AddedToken& a : t.added) {
            added.push_back({{"id", a.id}, {"content", a.content}, {"single_word", false}, {"lstrip", false},
                             {"rstrip", false}, {"normalized", false}, {"special", a.special}});
        }
        nlohmann::ordered_json merges = nlohmann::ordered_json::array();
        for (const auto& [a, b] : t.merges) merges.push_back(a + " " + b);
        nlohmann::ordered_json j = {
            {"version", "1.0"},
            {"added_tokens", added},
            {"pre_tokenizer", {{"type", "ByteLevel"}, {"add_prefix_space", false}, {"use_regex", true}}},
            {"decoder", {{"type", "ByteLevel"}}},
            {"model", {{"type", "BPE"}, {"vocab", vocab}, {"merges", merges}}},
        };
        writeText(fs::path(folder) / "tokenizer.json", j.dump());
    } else {
        writeText(fs::path(folder) / "vocab.json", vocab.dump());
        std::string merges = "#version: 0.2\n";
        for (const auto& [a, b] : t.merges) merges += a + " " + b + "\n";
        writeText(fs::path(folder) / "merges.txt", merges);
        nlohmann::ordered_json added = nlohmann::ordered_json::object();
        for (const AddedToken& a : t.added) added[a.content] = a.id;
        writeText(fs::path(folder) / "added_tokens.json", added.dump());
    }
}

std::vector<std::byte> makeWeights(const WhisperModelConfig& c, DType decoderDtype, DType otherDtype, uint64_t seed,
                                   std::optional<int64_t> fixedToken) {
    const int64_t d = c.dModel, nm = c.numMelBins, fe = c.encoderFfnDim, fd = c.decoderFfnDim;
    const float sd = 1.0f / std::sqrt(float(d));
    std::vector<Plan> plans;
    const auto add = [&](const std::string& name, DType t, std::vector<int64_t> shape, Init init, float scale) {
        plans.push_back({name, t, std::move(shape), init, scale});
    };
    const auto norm = [&](const std::string& p) {
        add(p + ".weight", otherDtype, {d}, Init::gamma, 0.1f);
        add(p + ".bias", otherDtype, {d}, Init::uniform, 0.1f);
    };
    const auto linear = [&](const std::string& p, DType t, int64_t out, int64_t in, bool bias) {
        add(p + ".weight", t, {out, in}, Init::uniform, std::sqrt(3.0f / float(in)));
        if (bias) add(p + ".bias", otherDtype, {out}, Init::uniform, 0.05f);
    };
    add("model.encoder.conv1.weight", otherDtype, {d, nm, 3}, Init::uniform, std::sqrt(3.0f / float(nm * 3)));
    add("model.encoder.conv1.bias", otherDtype, {d}, Init::uniform, 0.05f);
    add("model.encoder.conv2.weight", otherDtype, {d, d, 3}, Init::uniform, std::sqrt(3.0f / float(d * 3)));
    add("model.encoder.conv2.bias", otherDtype, {d}, Init::uniform, 0.05f);
    add("model.encoder.embed_positions.weight", otherDtype, {c.maxSourcePositions, d}, Init::sinusoids, 1.0f);
    for (int l = 0; l < c.encoderLayers; ++l) {
        const std::string p = "model.encoder.layers." + std::to_string(l) + ".";
        norm(p + "self_attn_layer_norm");
        linear(p + "self_attn.q_proj", otherDtype, d, d, true);
        linear(p + "self_attn.k_proj", otherDtype, d, d, false);
        linear(p + "self_attn.v_proj", otherDtype, d, d, true);
        linear(p + "self_attn.out_proj", otherDtype, d, d, true);
        norm(p + "final_layer_norm");
        linear(p + "fc1", otherDtype, fe, d, true);
        linear(p + "fc2", otherDtype, d, fe, true);
    }
    norm("model.encoder.layer_norm");
    add("model.decoder.embed_tokens.weight", decoderDtype, {c.vocabSize, d}, Init::uniform, 2.0f * sd);
    add("model.decoder.embed_positions.weight", otherDtype, {c.maxTargetPositions, d}, Init::uniform, 0.2f);
    for (int l = 0; l < c.decoderLayers; ++l) {
        const std::string p = "model.decoder.layers." + std::to_string(l) + ".";
        norm(p + "self_attn_layer_norm");
        linear(p + "self_attn.q_proj", decoderDtype, d, d, true);
        linear(p + "self_attn.k_proj", decoderDtype, d, d, false);
        linear(p + "self_attn.v_proj", decoderDtype, d, d, true);
        linear(p + "self_attn.out_proj", decoderDtype, d, d, true);
        norm(p + "encoder_attn_layer_norm");
        linear(p + "encoder_attn.q_proj", decoderDtype, d, d, true);
        linear(p + "encoder_attn.k_proj", otherDtype, d, d, false);
        linear(p + "encoder_attn.v_proj", otherDtype, d, d, true);
        linear(p + "encoder_attn.out_proj", decoderDtype, d, d, true);
        norm(p + "final_layer_norm");
        linear(p + "fc1", decoderDtype, fd, d, true);
        linear(p + "fc2", decoderDtype, d, fd, true);
    }
    norm("model.decoder.layer_norm");

    // Lay the file out first, then fill the data in place: large shapes are built once.
    nlohmann::ordered_json header = nlohmann::ordered_json::object();
    uint64_t offset = 0;
    std::vector<uint64_t> offsets;
    for (const Plan& p : plans) {
        uint64_t count = 1;
        for (int64_t s : p.shape) count *= uint64_t(s);
        offset = (offset + 63) / 64 * 64;
        offsets.push_back(offset);
        header[p.name] = {{"dtype", dtypeName(p.dtype)}, {"shape", p.shape},
                          {"data_offsets", {offset, offset + count * dtypeSize(p.dtype)}}};
        offset += count * dtypeSize(p.dtype);
    }
    std::string text = header.dump();
    while ((8 + text.size()) % 64 != 0) text.push_back(' ');
    std::vector<std::byte> out(8 + text.size() + offset);
    const uint64_t len = text.size();
    std::memcpy(out.data(), &len, 8);
    std::memcpy(out.data() + 8, text.data(), text.size());
    std::byte* data = out.data() + 8 + text.size();
    uint64_t rng = seed * 0x2545f4914f6cdd1dull + 1;
    for (size_t i = 0; i < plans.size(); ++i) {
        const Plan& p = plans[i];
        std::byte* dst = data + offsets[i];
        size_t count = 1;
        for (int64_t s : p.shape) count *= size_t(s);
        if (p.init == Init::sinusoids) {
            // Whisper's fixed encoder positions: sines in the first half of the channels, cosines
            // in the second, timescales growing geometrically to 10000.
            const int64_t rows = p.shape[0], half = p.shape[1] / 2;
            const double inc = std::log(10000.0) / double(half - 1);
            for (int64_t t = 0; t < rows; ++t) {
                for (int64_t k = 0; k < half; ++k) {
                    const double a = double(t) * std::exp(-inc * double(k));
                    store(dst, p.dtype, size_t(t * p.shape[1] + k), float(std::sin(a)));
                    store(dst, p.dtype, size_t(t * p.shape[1] + half + k), float(std::cos(a)));
                }
            }
            continue;
        }
        for (size_t k = 0; k < count; ++k) {
            const float u = uniform(rng) * p.scale;
            store(dst, p.dtype, k, p.init == Init::gamma ? 1.0f + u : u);
        }
    }
    if (fixedToken) {
        // The decoder's last norm ignores its input and always yields the vector v;
        // the fixed token's embedding points along v, so its logit dwarfs all others.
        const auto find = [&](const std::string& name) {
            for (size_t i = 0; i < plans.size(); ++i)
                if (plans[i].name == name) return i;
            throw WhisperError("no tensor " + name);
        };
        const size_t gamma = find("model.decoder.layer_norm.weight"), beta = find("model.decoder.layer_norm.bias"),
                     embed = find("model.decoder.embed_tokens.weight");
        double norm2 = 0;
        for (int64_t k = 0; k < d; ++k) {
            const float v = 0.1f * float(int(k % 7) - 3) + 0.05f;
            norm2 += double(v) * v;
            store(data + offsets[gamma], plans[gamma].dtype, size_t(k), 0.0f);
            store(data + offsets[beta], plans[beta].dtype, size_t(k), v);
        }
        for (int64_t k = 0; k < d; ++k) {
            const float v = 0.1f * float(int(k % 7) - 3) + 0.05f;
            store(data + offsets[embed], plans[embed].dtype, size_t(*fixedToken * d + k), float(v * 40.0 / norm2));
        }
    }
    return out;
}

void writeModelFolder(const std::string& folder, const TestModelSpec& spec) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) throw WhisperError(folder + ": cannot create the folder");
    WhisperModelConfig config = spec.config;
    if (config.alignmentHeads.empty()) config.alignmentHeads = defaultAlignmentHeads(config);
    const SyntheticTokenizer tok = makeTokenizer(config.vocabSize, spec.languages, spec.listTimestampTokens);
    for (const AddedToken& a : tok.added) {
        if (a.content.size() <= 7 && a.content.rfind("<|", 0) == 0 && a.content.find('.') == std::string::npos) {
            const std::string code = a.content.substr(2, a.content.size() - 4);
            if (std::find(spec.languages.begin(), spec.languages.end(), code) != spec.languages.end()) {
                config.langToId[a.content] = a.id;
            }
        }
    }
    nlohmann::json cfg = config.toConfigJson();
    cfg["torch_dtype"] = spec.dtype == DType::F32 ? "float32" : spec.dtype == DType::F16 ? "float16" : "bfloat16";
    writeText(fs::path(folder) / "config.json", cfg.dump(2));
    writeText(fs::path(folder) / "generation_config.json", config.toGenerationConfigJson().dump(2));
    writeTokenizer(folder, tok, spec.tokenizerFormat);
    std::optional<int64_t> fixedToken;
    const auto idOf = [&](const std::string& text) -> int64_t {
        for (const AddedToken& a : tok.added)
            if (a.content == text) return a.id;
        for (const auto& [t, id] : tok.vocab)
            if (t == text) return id;
        throw WhisperError("the synthetic tokenizer has no " + text);
    };
    if (spec.mute) fixedToken = idOf("<|endoftext|>");
    if (spec.hearsNoSpeech) fixedToken = idOf("<|nospeech|>");
    if (spec.loops) fixedToken = idOf(byteLevelText(" the"));
    if (spec.isMultilingual) {
        nlohmann::json gen = config.toGenerationConfigJson();
        gen["is_multilingual"] = *spec.isMultilingual;
        writeText(fs::path(folder) / "generation_config.json", gen.dump(2));
    }
    const std::vector<std::byte> weights = makeWeights(config, spec.dtype, spec.dtype, spec.seed, fixedToken);
    if (spec.shards <= 1) {
        writeBytes(fs::path(folder) / "model.safetensors", weights);
        return;
    }
    // Split the tensors of the single file into shards of about equal size.
    const SafetensorsFile whole(MappedFile::fromBuffer(weights, folder + "/model.safetensors"));
    size_t total = 0;
    for (const auto& [name, t] : whole.tensors()) total += t.bytes;
    const size_t perShard = total / size_t(spec.shards) + 1;
    const auto shardName = [&](int i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "model-%05d-of-%05d.safetensors", i + 1, spec.shards);
        return std::string(buf);
    };
    std::vector<SafetensorsWriter> writers(size_t(spec.shards));
    nlohmann::ordered_json map = nlohmann::ordered_json::object();
    size_t filled = 0;
    for (const auto& [name, t] : whole.tensors()) {
        const int shard = std::min(spec.shards - 1, int(filled / perShard));
        writers[size_t(shard)].add(name, t.dtype, t.shape, t.data, t.bytes);
        map[name] = shardName(shard);
        filled += t.bytes;
    }
    for (int i = 0; i < spec.shards; ++i) writers[size_t(i)].write((fs::path(folder) / shardName(i)).string());
    const nlohmann::ordered_json index = {{"metadata", {{"total_size", total}}}, {"weight_map", map}};
    writeText(fs::path(folder) / "model.safetensors.index.json", index.dump(2));
}

}  // namespace lumenote::engine::testmodel
