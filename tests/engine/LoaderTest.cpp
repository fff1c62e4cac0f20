// Model folders are untrusted: each kind of damage gives a WhisperError that names the file and
// the problem.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "EngineTestSupport.h"
#include "engine/WhisperEngine.h"

namespace lumenote::engine {
namespace {

namespace fs = std::filesystem;
using testing::freshDir;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class BrokenModel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pristine_ = freshDir("pristine");
        testmodel::writeModelFolder(pristine_, {});
    }

    // A copy of the good model to damage.
    std::string copy() {
        const std::string dir = freshDir("broken");
        for (const auto& e : fs::directory_iterator(pristine_)) fs::copy_file(e.path(), fs::path(dir) / e.path().filename());
        return dir;
    }

    // Rewrites model.safetensors through its header and data section.
    static void editSafetensors(const std::string& dir, const std::function<void(nlohmann::json&, std::string&)>& edit) {
        const std::string bytes = readFile(dir + "/model.safetensors");
        uint64_t n = 0;
        std::memcpy(&n, bytes.data(), 8);
        nlohmann::json header = nlohmann::json::parse(bytes.substr(8, n));
        std::string data = bytes.substr(8 + n);
        edit(header, data);
        const std::string text = header.dump();
        const uint64_t len = text.size();
        std::string out(reinterpret_cast<const char*>(&len), 8);
        testing::writeString(dir + "/model.safetensors", out + text + data);
    }

    static void editJson(const std::string& path, const std::function<void(nlohmann::json&)>& edit) {
        nlohmann::json j = nlohmann::json::parse(readFile(path));
        edit(j);
        testing::writeString(path, j.dump());
    }

    // Loading fails with a message holding every fragment.
    static void expectRefused(const std::string& dir, std::initializer_list<std::string> fragments) {
        WhisperEngineConfig config;
        config.modelFolder = dir;
        try {
            WhisperEngine engine(config);
            ADD_FAILURE() << "the broken model loaded";
        } catch (const WhisperError& e) {
            for (const auto& f : fragments) EXPECT_NE(std::string(e.what()).find(f), std::string::npos) << e.what();
        }
    }

    static inline std::string pristine_;
};

TEST_F(BrokenModel, TruncatedWeightsAtAnyPoint) {
    const std::string full = readFile(pristine_ + "/model.safetensors");
    for (size_t keep : {size_t(0), size_t(5), size_t(100), full.size() / 2, full.size() - 1}) {
        const std::string dir = copy();
        testing::writeString(dir + "/model.safetensors", full.substr(0, keep));
        expectRefused(dir, {"model.safetensors", keep < 8 ? "truncated" : (keep < 200 ? "header" : "outside")});
    }
}

TEST_F(BrokenModel, CorruptHeaders) {
    {
        const std::string dir = copy();
        std::string bytes = readFile(dir + "/model.safetensors");
        bytes[8] = '#';  // not JSON any more
        testing::writeString(dir + "/model.safetensors", bytes);
        expectRefused(dir, {"model.safetensors", "not valid JSON"});
    }
    {
        const std::string dir = copy();
        std::string bytes = readFile(dir + "/model.safetensors");
        const uint64_t huge = 1ull << 40;
        std::memcpy(bytes.data(), &huge, 8);
        testing::writeString(dir + "/model.safetensors", bytes);
        expectRefused(dir, {"model.safetensors", "header claims"});
    }
    {
        const std::string dir = copy();
        editSafetensors(dir, [](nlohmann::json& h, std::string&) {
            h["model.encoder.conv1.bias"]["data_offsets"] = {1ull << 40, (1ull << 40) + 256};
        });
        expectRefused(dir, {"model.safetensors", "model.encoder.conv1.bias", "outside"});
    }
    {
        const std::string dir = copy();
        editSafetensors(dir, [](nlohmann::json& h, std::string&) { h["model.encoder.conv1.bias"]["shape"] = {65}; });
        expectRefused(dir, {"model.encoder.conv1.bias", "needs"});
    }
    {
        const std::string dir = copy();
        editSafetensors(dir, [](nlohmann::json& h, std::string&) { h["model.encoder.conv1.bias"]["shape"] = {-64}; });
        expectRefused(dir, {"model.encoder.conv1.bias", "invalid shape"});
    }
    {
        const std::string dir = copy();  // beside a zero, a size past the signed range would read as negative
        editSafetensors(dir, [](nlohmann::json& h, std::string&) { h["model.encoder.conv1.bias"]["shape"] = {0ull, 1ull << 63}; });
        expectRefused(dir, {"model.encoder.conv1.bias", "invalid shape"});
    }
}

TEST_F(BrokenModel, TensorsThatDoNotFitTheConfiguration) {
    {
        const std::string dir = copy();
        editSafetensors(dir, [](nlohmann::json& h, std::string&) { h.erase("model.decoder.layer_norm.weight"); });
        expectRefused(dir, {"model.safetensors", "missing tensor 'model.decoder.layer_norm.weight'"});
    }
    {
        const std::string dir = copy();
        editSafetensors(dir, [](nlohmann::json& h, std::string&) { h["model.decoder.layers.1.fc1.bias"]["dtype"] = "I32"; });
        expectRefused(dir, {"model.decoder.layers.1.fc1.bias", "dtype I32"});
    }
    {
        const std::string dir = copy();  // the configuration asks for a bigger vocabulary
        editJson(dir + "/config.json", [](nlohmann::json& j) { j["vocab_size"] = 2200; });
        expectRefused(dir, {"model.decoder.embed_tokens.weight", "[2100, 64]", "[2200, 64]"});
    }
}

TEST_F(BrokenModel, BadConfigurationFiles) {
    const auto withConfig = [&](const std::function<void(nlohmann::json&)>& edit, std::initializer_list<std::string> f) {
        const std::string dir = copy();
        editJson(dir + "/config.json", edit);
        expectRefused(dir, f);
    };
    withConfig([](nlohmann::json& j) { j.erase("d_model"); }, {"config.json", "missing \"d_model\""});
    withConfig([](nlohmann::json& j) { j["encoder_layers"] = -3; }, {"config.json", "encoder_layers"});
    withConfig([](nlohmann::json& j) { j["decoder_attention_heads"] = 5; }, {"config.json", "not divisible"});
    withConfig([](nlohmann::json& j) { j["num_mel_bins"] = "80"; }, {"config.json", "not an integer"});
    {
        const std::string dir = copy();
        testing::writeString(dir + "/config.json", "{\"d_model\": 64,");
        expectRefused(dir, {"config.json", "not valid JSON"});
    }
    {
        const std::string dir = copy();
        editJson(dir + "/generation_config.json", [](nlohmann::json& j) { j["alignment_heads"] = {{1, 0}, {2, 0}}; });
        expectRefused(dir, {"generation_config.json", "alignment head [2, 0]"});
    }
}

TEST_F(BrokenModel, TokenizersWithoutWhatTheEngineNeeds) {
    {
        const std::string dir = copy();
        editJson(dir + "/tokenizer.json", [](nlohmann::json& j) {
            auto& added = j["added_tokens"];
            for (size_t i = 0; i < added.size(); ++i) {
                if (added[i]["content"] == "<|startoftranscript|>") added.erase(i);
            }
        });
        expectRefused(dir, {"tokenizer.json", "no \"<|startoftranscript|>\" token"});
    }
    {
        const std::string dir = copy();
        fs::remove(dir + "/tokenizer.json");
        expectRefused(dir, {"no tokenizer files"});
    }
    {
        const std::string dir = copy();
        editJson(dir + "/tokenizer.json", [](nlohmann::json& j) { j["model"]["merges"] = {"onlyonepart"}; });
        expectRefused(dir, {"tokenizer.json", "malformed merge"});
    }
}

TEST_F(BrokenModel, ShardedCheckpoints) {
    testmodel::TestModelSpec spec;
    spec.shards = 3;
    const std::string sharded = freshDir("sharded");
    testmodel::writeModelFolder(sharded, spec);
    ASSERT_FALSE(fs::exists(sharded + "/model.safetensors"));
    const auto map = nlohmann::json::parse(readFile(sharded + "/model.safetensors.index.json"))["weight_map"];
    ASSERT_EQ(map["model.encoder.layer_norm.bias"], "model-00003-of-00003.safetensors");
    // The same weights in three files give the same logits as in one.
    const auto logitsOf = [](const std::string& dir) {
        auto model = WhisperModel::load(dir, {});
        model->encodeWindow(std::vector<float>(16000, 0.1f));
        std::vector<float> logits(size_t(model->vocabularySize()));
        const std::vector<int> prompt{0, 5, 7};
        model->decode(prompt, 0, logits);
        return logits;
    };
    EXPECT_EQ(logitsOf(sharded), logitsOf(pristine_));

    const auto damaged = [&](const std::function<void(const std::string&)>& damage, std::initializer_list<std::string> f) {
        const std::string dir = freshDir("broken-shards");
        for (const auto& e : fs::directory_iterator(sharded)) fs::copy_file(e.path(), fs::path(dir) / e.path().filename());
        damage(dir);
        expectRefused(dir, f);
    };
    const std::string index = "/model.safetensors.index.json";
    damaged([](const std::string& d) { fs::remove(d + "/model-00002-of-00003.safetensors"); },
            {"model-00002-of-00003.safetensors", "cannot open"});
    damaged([&](const std::string& d) { testing::writeString(d + index, "{\"weight_map\": {"); },
            {"model.safetensors.index.json", "not valid JSON"});
    damaged([&](const std::string& d) {
        editJson(d + index, [](nlohmann::json& j) { j["weight_map"]["model.encoder.layer_norm.bias"] = "model-00001-of-00003.safetensors"; });
    }, {"model.safetensors.index.json", "'model.encoder.layer_norm.bias' is not in model-00001-of-00003.safetensors"});
    damaged([&](const std::string& d) {
        editJson(d + index, [](nlohmann::json& j) { j["weight_map"]["model.encoder.conv1.bias"] = "../model.safetensors"; });
    }, {"model.safetensors.index.json", "not a file of the model folder"});
    damaged([&](const std::string& d) { fs::resize_file(d + "/model-00003-of-00003.safetensors", 4000); },
            {"model-00003-of-00003.safetensors", "truncated"});
}

TEST(ModelLanguages, EnglishOnlyCheckpointsAreRecognised) {
    struct Case {
        const char* name;
        int vocab;
        std::optional<bool> isMultilingual;  // generation_config.json
        bool multilingual;
    };
    const Case cases[] = {
        {"published .en vocabulary, language tokens present", 51864, std::nullopt, false},
        {"multilingual vocabulary", 51865, std::nullopt, true},
        {"small vocabulary, said English-only", 2100, false, false},
        {"small vocabulary, said multilingual", 2100, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = testmodel::makeTokenizer(c.vocab);
        WhisperTokenizer tok = WhisperTokenizer::fromParts(t.vocab, t.merges, t.added, c.vocab, "synthetic");
        if (c.isMultilingual) tok.setMultilingual(*c.isMultilingual);
        EXPECT_EQ(tok.isMultilingual(), c.multilingual);
    }
}

TEST(ModelLanguages, EnglishOnlyModelsGetTheirPromptAndRefuseOtherLanguages) {
    testmodel::TestModelSpec spec;
    spec.isMultilingual = false;
    const std::string dir = freshDir("english-only");
    testmodel::writeModelFolder(dir, spec);
    WhisperEngineConfig config;
    config.modelFolder = dir;
    WhisperEngine engine(config);
    const SpecialTokens& st = engine.tokenizer().specialTokens();
    TextDecoder decoder(*engine.whisperModel(), engine.tokenizer());
    DecodingOptions options;
    EXPECT_EQ(decoder.buildPrompt(options, "en").tokens, std::vector<int>{st.startOfTranscriptToken});
    options.withoutTimestamps = true;
    EXPECT_EQ(decoder.buildPrompt(options, "en").tokens, (std::vector<int>{st.startOfTranscriptToken, st.noTimestampsToken}));

    const std::vector<float> audio(16000 * 2, 0.1f);
    DecodingOptions german;
    german.language = "de";
    try {
        engine.transcribe(audio, german);
        ADD_FAILURE() << "an English-only model transcribed German";
    } catch (const WhisperError& e) {
        EXPECT_NE(std::string(e.what()).find("English only"), std::string::npos) << e.what();
    }
    DecodingOptions automatic;
    automatic.language = "auto";
    automatic.temperatureFallbackCount = 0;
    automatic.sampleLength = 8;
    EXPECT_EQ(engine.transcribe(audio, automatic).at(0).language, "en");
}

TEST(EngineCreation, NeedsAModelFolder) {
    WhisperEngineConfig config;
    try {
        WhisperEngine engine(config);
        ADD_FAILURE();
    } catch (const WhisperError& e) {
        EXPECT_STREQ(e.what(), "Model folder is not set.");
    }
    config.modelFolder = freshDir("empty") + "/nothing-here";
    EXPECT_THROW(WhisperEngine{config}, WhisperError);
    // With load off, the failure comes with the first use.
    WhisperEngineConfig lazy;
    lazy.load = false;
    WhisperEngine engine(lazy);
    EXPECT_FALSE(engine.isLoaded());
    EXPECT_THROW(engine.transcribe(std::vector<float>(100)), WhisperError);
}

}  // namespace
}  // namespace lumenote::engine
