#pragma once

// Filters applied to the next-token logits before each sampling step. Each sets the logits of
// the tokens it forbids to -infinity. `tokens` is the window's whole sequence so far, prompt
// included; sampling starts at `sampleBegin`.

#include <optional>
#include <span>
#include <vector>

#include "engine/Tokenizer.h"

namespace lumenote::engine {

class LogitsFilter {
public:
    virtual ~LogitsFilter() = default;
    virtual void filterLogits(std::span<float> logits, std::span<const int> tokens) const = 0;
};

// Tokens never sampled: the caller's `supressTokens` or the model's suppress_tokens.
class SuppressTokensFilter : public LogitsFilter {
public:
    explicit SuppressTokensFilter(std::vector<int> suppressTokens);
    void filterLogits(std::span<float> logits, std::span<const int> tokens) const override;
    std::vector<int> suppressTokens;
};

// No blank and no end at the first sampled position, or the given tokens (the model's
// begin_suppress_tokens).
class SuppressBlankFilter : public LogitsFilter {
public:
    SuppressBlankFilter(const SpecialTokens& specialTokens, int sampleBegin);
    SuppressBlankFilter(const SpecialTokens& specialTokens, int sampleBegin, std::vector<int> tokens);
    void filterLogits(std::span<float> logits, std::span<const int> tokens) const override;
    SpecialTokens specialTokens;
    int sampleBegin;
    std::vector<int> suppressTokenIndexes;  // by default the whitespace token and the end token
};

// Whisper's timestamp grammar: a timestamp first (not later than maxInitialTimestamp), then
// pairs that close segments, never going back in time, and a timestamp forced whenever the
// timestamps together are more likely than the best text token.
class TimestampRulesFilter : public LogitsFilter {
public:
    TimestampRulesFilter(const SpecialTokens& specialTokens, int sampleBegin,
                         std::optional<int> maxInitialTimestampIndex, bool isModelMultilingual);
    void filterLogits(std::span<float> logits, std::span<const int> tokens) const override;
    SpecialTokens specialTokens;
    int sampleBegin;
    std::optional<int> maxInitialTimestampIndex;
    bool isModelMultilingual;
};

// Only language tokens, at the position right after the start of transcript.
class LanguageLogitsFilter : public LogitsFilter {
public:
    LanguageLogitsFilter(std::vector<int> allLanguageTokens, int logitsDim, int sampleBegin);
    void filterLogits(std::span<float> logits, std::span<const int> tokens) const override;
    std::vector<int> allLanguageTokens;
    int logitsDim;
    int sampleBegin;
};

}  // namespace lumenote::engine
