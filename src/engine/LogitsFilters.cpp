#include "engine/LogitsFilters.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Kernels.h"

namespace lumenote::engine {

namespace {

constexpr float kNegInf = -std::numeric_limits<float>::infinity();

void suppress(std::span<float> logits, int begin, int end) {
    begin = std::max(begin, 0);
    end = std::min(end, int(logits.size()));
    for (int i = begin; i < end; ++i) logits[size_t(i)] = kNegInf;
}

// log(sum(exp(x))) over a range, -inf when all are -inf.
double logSumExp(std::span<const float> x) {
    if (x.empty()) return -INFINITY;
    return double(kernels::logSumExp(x.data(), int(x.size())));
}

}  // namespace

SuppressTokensFilter::SuppressTokensFilter(std::vector<int> tokens) : suppressTokens(std::move(tokens)) {}

void SuppressTokensFilter::filterLogits(std::span<float> logits, std::span<const int>) const {
    for (int t : suppressTokens) {
        if (t >= 0 && size_t(t) < logits.size()) logits[size_t(t)] = kNegInf;
    }
}

SuppressBlankFilter::SuppressBlankFilter(const SpecialTokens& st, int begin)
    : specialTokens(st), sampleBegin(begin), suppressTokenIndexes{st.whitespaceToken, st.endToken} {}

SuppressBlankFilter::SuppressBlankFilter(const SpecialTokens& st, int begin, std::vector<int> tokens)
    : specialTokens(st), sampleBegin(begin), suppressTokenIndexes(std::move(tokens)) {}

void SuppressBlankFilter::filterLogits(std::span<float> logits, std::span<const int> tokens) const {
    if (int(tokens.size()) != sampleBegin) return;
    for (int t : suppressTokenIndexes) {
        if (t >= 0 && size_t(t) < logits.size()) logits[size_t(t)] = kNegInf;
    }
}

TimestampRulesFilter::TimestampRulesFilter(const SpecialTokens& st, int begin, std::optional<int> maxInitial,
                                           bool multilingual)
    : specialTokens(st), sampleBegin(begin), maxInitialTimestampIndex(maxInitial), isModelMultilingual(multilingual) {}

void TimestampRulesFilter::filterLogits(std::span<float> logits, std::span<const int> tokens) const {
    const int tsBegin = specialTokens.timeTokenBegin;
    const int end = specialTokens.endToken;
    const int vocab = int(logits.size());
    if (int(tokens.size()) < sampleBegin) return;

    if (specialTokens.noTimestampsToken >= 0 && specialTokens.noTimestampsToken < vocab) {
        logits[size_t(specialTokens.noTimestampsToken)] = kNegInf;
    }

    const std::span<const int> sampled = tokens.subspan(size_t(sampleBegin));
    const size_t count = sampled.size();
    if (count == 0) {
        // The first sampled token is a timestamp, no later than the allowed initial one.
        suppress(logits, 0, tsBegin);
        if (maxInitialTimestampIndex) suppress(logits, tsBegin + *maxInitialTimestampIndex + 1, vocab);
    } else {
        const bool lastWasTimestamp = sampled[count - 1] >= tsBegin;
        // Before the first sampled token counts as a timestamp: a lone opening timestamp must be
        // followed by text.
        const bool penultimateWasTimestamp = count < 2 || sampled[count - 2] >= tsBegin;
        if (lastWasTimestamp) {
            if (penultimateWasTimestamp) {
                suppress(logits, tsBegin, vocab);  // a pair just closed: text or the end comes next
            } else {
                suppress(logits, 0, end);  // text then timestamp: close with a timestamp or end
            }
        }
        // Timestamps never go back; after a closed pair the next one must be strictly later.
        int lastTimestamp = -1;
        for (size_t i = count; i-- > 0;) {
            if (sampled[i] >= tsBegin) {
                lastTimestamp = sampled[i];
                break;
            }
        }
        if (lastTimestamp >= 0) {
            const int bound = (lastWasTimestamp && !penultimateWasTimestamp) ? lastTimestamp : lastTimestamp + 1;
            suppress(logits, tsBegin, bound);
        }
    }

    // Force a timestamp when their total probability beats the best text token.
    const double tsMass = logSumExp(logits.subspan(size_t(tsBegin)));
    float maxText = kNegInf;
    for (int i = 0; i < tsBegin && i < vocab; ++i) maxText = std::max(maxText, logits[size_t(i)]);
    // Compare in log-probabilities: the shared normaliser cancels.
    if (tsMass > double(maxText)) suppress(logits, 0, tsBegin);
}

LanguageLogitsFilter::LanguageLogitsFilter(std::vector<int> languages, int dim, int begin)
    : allLanguageTokens(std::move(languages)), logitsDim(dim), sampleBegin(begin) {}

void LanguageLogitsFilter::filterLogits(std::span<float> logits, std::span<const int> tokens) const {
    if (int(tokens.size()) != sampleBegin) return;
    std::vector<char> keep(logits.size(), 0);
    for (int t : allLanguageTokens) {
        if (t >= 0 && size_t(t) < logits.size()) keep[size_t(t)] = 1;
    }
    for (size_t i = 0; i < logits.size(); ++i) {
        if (!keep[i]) logits[i] = kNegInf;
    }
}

}  // namespace lumenote::engine
