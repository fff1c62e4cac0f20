#pragma once

// Shared helpers for the engine tests: temporary folders, the synthetic tokenizer, and a
// SpeechModel whose logits follow a script.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "engine/SpeechModel.h"
#include "engine/Tokenizer.h"
#include "engine/testmodel/TestModel.h"

namespace lumenote::engine::testing {

inline std::string freshDir(const std::string& name) {
    static int counter = 0;
    const auto p = std::filesystem::path(lumenote::test::homeDir()) / (name + "-" + std::to_string(++counter));
    std::filesystem::create_directories(p);
    return p.string();
}

inline std::string sourcePath(const std::string& rel) {
    const char* src = std::getenv("LUMENOTE_SOURCE_DIR");
    return (std::filesystem::path(src ? src : ".") / rel).string();
}

inline void writeBytes(const std::string& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void writeString(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline WhisperTokenizer syntheticTokenizer(int vocab = 2100) {
    const auto t = testmodel::makeTokenizer(vocab);
    return WhisperTokenizer::fromParts(t.vocab, t.merges, t.added, vocab, "synthetic");
}

// Logits chosen by a script from the window index and the decoder's token history (the prompt
// and every token fed so far). Records what the transcription loop asked of it.
class ScriptedModel : public SpeechModel {
public:
    struct Next {
        std::vector<std::pair<int, float>> logits;  // explicit logits
        float otherLogit = -40.0f;                  // everything else
    };
    using Script = std::function<Next(int window, const std::vector<int>& history)>;
    // Alignment weights for one position: heads x frames.
    using Alignment = std::function<std::vector<float>(int window, int position, int frames)>;

    ScriptedModel(int vocab, Script script, Alignment alignment = {}, int heads = 2)
        : vocab_(vocab), script_(std::move(script)), alignment_(std::move(alignment)), heads_(heads) {}

    EncodeTimings encodeWindow(std::span<const float> samples) override {
        windowSizes.push_back(int64_t(samples.size()));
        frames_ = int((samples.size() + 319) / 320);
        ++window_;
        history_.clear();
        rows_.assign(448, {});
        return {};
    }
    int vocabularySize() const override { return vocab_; }
    int maxPositions() const override { return 448; }
    void decode(std::span<const int> tokens, int keep, std::span<float> logits) override {
        history_.resize(size_t(keep));
        history_.insert(history_.end(), tokens.begin(), tokens.end());
        ++decodeCalls;
        const Next n = script_(window_, history_);
        std::fill(logits.begin(), logits.end(), n.otherLogit);
        for (const auto& [t, v] : n.logits) {
            if (t < 0 || t >= vocab_) {
                ADD_FAILURE() << "the script gave a logit to token " << t << ", outside the vocabulary";
                continue;
            }
            logits[size_t(t)] = v;
        }
        for (size_t p = size_t(keep); p < rows_.size(); ++p) rows_[p].clear();
        if (record_ && alignment_) {
            for (int p = keep; p < int(history_.size()); ++p) rows_[size_t(p)] = alignment_(window_, p, frames_);
        }
    }
    void setRecordAlignment(bool on) override { record_ = on; }
    int alignmentHeadCount() const override { return alignment_ ? heads_ : 0; }
    int alignmentFrameCount() const override { return frames_; }
    std::span<const float> alignmentWeights(int position) const override {
        if (position < 0 || size_t(position) >= rows_.size()) return {};
        return rows_[size_t(position)];
    }

    std::vector<int64_t> windowSizes;
    int decodeCalls = 0;

private:
    int vocab_;
    Script script_;
    Alignment alignment_;
    int heads_;
    int window_ = -1;
    int frames_ = 0;
    bool record_ = false;
    std::vector<int> history_;
    std::vector<std::vector<float>> rows_;
};

// Logits that give `token` the log-probability `logProb`, the rest spread evenly over
// `alternatives` (which must survive the decoder's filters).
inline ScriptedModel::Next pick(int token, float logProb, const std::vector<int>& alternatives) {
    ScriptedModel::Next n;
    n.logits.emplace_back(token, 0.0f);
    size_t others = 0;
    for (int t : alternatives) others += t != token;
    if (logProb < 0 && others > 0) {
        const double rest = std::exp(-double(logProb)) - 1.0;
        const float a = float(std::log(rest / double(others)));
        for (int t : alternatives) {
            if (t != token) n.logits.emplace_back(t, a);
        }
    }
    return n;
}

}  // namespace lumenote::engine::testing
