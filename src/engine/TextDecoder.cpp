#include "engine/TextDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/Float16.h"
#include "engine/TokenSampler.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

constexpr float kNegInf = -std::numeric_limits<float>::infinity();

}  // namespace

std::vector<float> fallbackTemperatures(const DecodingOptions& options) {
    std::vector<float> out;
    const int64_t count = std::max<int64_t>(0, options.temperatureFallbackCount);
    const float base = roundToHalf(options.temperature);
    const float step = roundToHalf(options.temperatureIncrementOnFallback);
    for (int64_t i = 0; i <= count; ++i) {
        out.push_back(roundToHalf(base + roundToHalf(roundToHalf(float(i)) * step)));
    }
    return out;
}

float compressionRatio(const std::vector<int>& tokens) {
    std::vector<unsigned char> raw(tokens.size() * 4);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const uint32_t v = uint32_t(tokens[i]);
        for (int b = 0; b < 4; ++b) raw[i * 4 + size_t(b)] = static_cast<unsigned char>((v >> (8 * b)) & 0xff);
    }
    uLongf bound = compressBound(uLong(raw.size()));
    std::vector<unsigned char> packed(bound);
    if (compress2(packed.data(), &bound, raw.data(), uLong(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK || bound == 0) {
        return 0.0f;
    }
    return float(double(raw.size()) / double(bound));
}

TextDecoder::TextDecoder(LogitsSource& model, const WhisperTokenizer& tokenizer, LogSink log)
    : model_(model), tokenizer_(tokenizer), log_(std::move(log)) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    // Control tokens between the end token and the timestamps (start of transcript, languages,
    // tasks, previous-text marker, no-speech, no-timestamps) are never output.
    for (int t = st.endToken + 1; t < st.timeTokenBegin; ++t) alwaysSuppressed_.push_back(t);
}

void TextDecoder::log(const std::string& line) const {
    if (log_) log_(line);
}

std::pair<std::string, std::map<std::string, float>> TextDecoder::detectLanguage(TranscriptionTimings& timings) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    const auto& languages = tokenizer_.languageTokens();
    if (languages.empty()) return {"en", {}};
    std::vector<float> logits(static_cast<size_t>(model_.vocabularySize()));
    const int sot = st.startOfTranscriptToken;
    const auto t0 = Clock::now();
    model_.decode(std::span<const int>(&sot, 1), 0, logits);
    timings.decodingPredictions += since(t0);
    std::vector<int> ids;
    for (const auto& [code, id] : languages) ids.push_back(id);
    LanguageLogitsFilter filter(ids, model_.vocabularySize(), 1);
    const std::vector<int> seq{sot};
    filter.filterLogits(logits, seq);
    float best = kNegInf;
    for (float v : logits) best = std::max(best, v);
    double sum = 0;
    for (const auto& [code, id] : languages) sum += std::exp(double(logits[size_t(id)]) - best);
    std::map<std::string, float> probs;
    std::string chosen = languages.front().first;
    float chosenProb = -1;
    for (const auto& [code, id] : languages) {
        const float p = float(std::exp(double(logits[size_t(id)]) - best) / sum);
        probs[code] = p;
        if (p > chosenProb) {
            chosenProb = p;
            chosen = code;
        }
    }
    return {chosen, probs};
}

DecodingPrompt TextDecoder::buildPrompt(const DecodingOptions& options, const std::string& language) const {
    const SpecialTokens& st = tokenizer_.specialTokens();
    const int vocab = model_.vocabularySize();
    const int maxPositions = model_.maxPositions();
    DecodingPrompt p;
    p.language = language;
    if (options.promptTokens && !options.promptTokens->empty()) {
        std::vector<int> text;
        for (int t : *options.promptTokens) {
            if (t >= 0 && t < st.specialTokenBegin) text.push_back(t);
        }
        // Previous text takes at most half the context, its most recent end.
        const size_t keep = size_t(std::max(0, maxPositions / 2 - 1));
        if (text.size() > keep) text.erase(text.begin(), text.end() - ptrdiff_t(keep));
        p.tokens.push_back(st.startOfPreviousToken);
        p.tokens.insert(p.tokens.end(), text.begin(), text.end());
    }
    p.transcriptBegin = int(p.tokens.size());
    p.tokens.push_back(st.startOfTranscriptToken);
    if (tokenizer_.isMultilingual()) {
        std::string code = language;
        for (char& c : code) c = char(std::tolower(static_cast<unsigned char>(c)));
        p.language = code;
        const auto id = tokenizer_.tokenToId("<|" + code + "|>");
        if (!id) throw WhisperError("Unknown language \"" + language + "\" for this model");
        p.tokens.push_back(*id);
        p.tokens.push_back(options.task == DecodingTask::translate ? st.translateToken : st.transcribeToken);
    }
    if (options.withoutTimestamps) p.tokens.push_back(st.noTimestampsToken);
    if (options.prefixTokens) {
        for (int t : *options.prefixTokens) {
            if (t < 0 || t >= vocab) throw WhisperError("Prefix token " + std::to_string(t) + " is outside the vocabulary");
            p.tokens.push_back(t);
        }
    }
    if (int(p.tokens.size()) >= maxPositions) {
        throw WhisperError("The prompt of " + std::to_string(p.tokens.size()) + " tokens leaves no room to decode");
    }
    p.sampleBegin = int(p.tokens.size());
    return p;
}

void TextDecoder::applyFilters(std::span<float> logits, const std::vector<int>& tokens) const {
    for (int t : alwaysSuppressed_) {
        if (size_t(t) < logits.size()) logits[size_t(t)] = kNegInf;
    }
    for (const auto& f : filters_) f->filterLogits(logits, tokens);
    for (const auto& f : extraFilters_) f->filterLogits(logits, tokens);
}

DecodingResult TextDecoder::decodeWithFallback(const DecodingPrompt& prompt, const DecodingOptions& options,
                                               int64_t windowId, const TranscriptionCallback& callback,
                                               TranscriptionTimings& timings, bool& stopped) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    const int vocab = model_.vocabularySize();
    stopped = false;

    filters_.clear();
    if (!options.supressTokens.empty()) filters_.push_back(std::make_unique<SuppressTokensFilter>(options.supressTokens));
    if (options.suppressBlank) filters_.push_back(std::make_unique<SuppressBlankFilter>(st, prompt.sampleBegin));
    if (!options.withoutTimestamps) {
        std::optional<int> maxInitial;
        if (options.maxInitialTimestamp) {
            maxInitial = std::max(0, int(std::lround(*options.maxInitialTimestamp / kTimePrecision)));
        }
        filters_.push_back(std::make_unique<TimestampRulesFilter>(st, prompt.sampleBegin, maxInitial,
                                                                 tokenizer_.isMultilingual()));
    } else {
        // Without timestamps none may appear in the output either.
        std::vector<int> ts;
        for (int t = st.timeTokenBegin; t < vocab; ++t) ts.push_back(t);
        filters_.push_back(std::make_unique<SuppressTokensFilter>(std::move(ts)));
    }

    // The prompt's cache, once per window: one batched pass, or token by token without
    // usePrefillCache. Fallback attempts keep it and start again after it.
    promptLogits_.assign(size_t(vocab), 0.0f);
    auto t0 = Clock::now();
    try {
        if (options.usePrefillCache) {
            model_.decode(prompt.tokens, 0, promptLogits_);
        } else {
            for (size_t i = 0; i < prompt.tokens.size(); ++i) {
                model_.decode(std::span<const int>(&prompt.tokens[i], 1), int(i), promptLogits_);
            }
        }
    } catch (const WhisperError& e) {
        throw WhisperError(std::string("Unable to prefill cache: ") + e.what());
    }
    timings.prefill += since(t0);
    timings.totalKVUpdateRuns += 1;
    if (log_) {
        std::string text;
        for (int t : prompt.tokens) text += tokenizer_.idToToken(t);
        log("Prefill prompt: " + text);
    }

    const std::vector<float> temperatures = fallbackTemperatures(options);
    DecodingResult result;
    for (size_t attempt = 0; attempt < temperatures.size(); ++attempt) {
        const float temperature = temperatures[attempt];
        float firstTokenLogProb = 0;
        const uint64_t seed = uint64_t(windowId) * 1000003ull + attempt;
        result = decodeAttempt(prompt, options, temperature, seed, windowId, callback, timings, stopped,
                               firstTokenLogProb);
        if (stopped) break;

        const auto tf = Clock::now();
        DecodingFallback fb;
        if (options.firstTokenLogProbThreshold && firstTokenLogProb < *options.firstTokenLogProbThreshold) {
            fb = {true, "firstTokenLogProbThreshold"};
        } else if (options.noSpeechThreshold && result.noSpeechProb > *options.noSpeechThreshold) {
            fb = {false, "silence"};
        } else if (options.compressionRatioThreshold && result.compressionRatio > *options.compressionRatioThreshold) {
            fb = {true, "compressionRatioThreshold"};
        } else if (options.logProbThreshold && result.avgLogProb < *options.logProbThreshold) {
            fb = {true, "logProbThreshold"};
        }
        timings.decodingFallback += since(tf);
        if (!fb.fallbackReason.empty()) result.fallback = fb;
        if (!fb.needsFallback) break;
        log("Fallback occured: " + fb.fallbackReason);
        if (attempt + 1 < temperatures.size()) timings.totalDecodingFallbacks += 1;
    }
    result.language = prompt.language;
    result.languageProbs = prompt.languageProbs;

    // Alignment weights of the kept attempt: row i is the step that predicted sampled token i.
    const int heads = model_.alignmentHeadCount();
    const int frames = model_.alignmentFrameCount();
    const int sampledCount = int(result.tokens.size()) + 1;  // the end token (or the next one) too
    if (heads > 0 && frames > 0) {
        DecodingCache cache;
        cache.heads = heads;
        cache.frames = frames;
        for (int i = 0; i < sampledCount; ++i) {
            const auto row = model_.alignmentWeights(prompt.sampleBegin - 1 + i);
            if (row.size() != size_t(heads) * size_t(frames)) break;
            cache.alignmentWeights.insert(cache.alignmentWeights.end(), row.begin(), row.end());
            ++cache.rows;
        }
        if (cache.rows > 0) result.cache = std::move(cache);
    }
    return result;
}

DecodingResult TextDecoder::decodeAttempt(const DecodingPrompt& prompt, const DecodingOptions& options,
                                          float temperature, uint64_t seed, int64_t windowId,
                                          const TranscriptionCallback& callback, TranscriptionTimings& timings,
                                          bool& stopped, float& firstTokenLogProb) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    const auto loopStart = Clock::now();
    GreedyTokenSampler sampler(temperature, st.endToken, options, seed);
    std::vector<int> tokens = prompt.tokens;
    logits_ = promptLogits_;
    const int room = model_.maxPositions() - prompt.sampleBegin;
    const int maxSample = int(std::clamp<int64_t>(options.sampleLength, 1, room));

    DecodingResult r;
    r.temperature = temperature;
    double sumLogProb = 0;
    int sampledCount = 0;
    for (int step = 0; step < maxSample; ++step) {
        auto t0 = Clock::now();
        applyFilters(logits_, tokens);
        timings.decodingFiltering += since(t0);
        t0 = Clock::now();
        const SamplingResult s = sampler.update(logits_);
        timings.decodingSampling += since(t0);
        timings.totalDecodingLoops += 1;
        if (step == 0) {
            firstTokenLogProb = s.logProb;
            if (timings.firstTokenTime == 0 && timings.pipelineStart > 0) {
                timings.firstTokenTime = std::chrono::duration<double>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count() -
                                         timings.pipelineStart;
            }
        }
        sumLogProb += s.logProb;
        ++sampledCount;
        tokens.push_back(s.token);
        if (!s.completed) {
            r.tokens.push_back(s.token);
            r.tokenLogProbs.push_back({{s.token, s.logProb}});
        }

        if (callback) {
            TranscriptionProgress progress;
            progress.timings = timings;
            progress.text = tokenizer_.decode(
                std::span<const int>(tokens).subspan(size_t(prompt.transcriptBegin)), options.skipSpecialTokens);
            progress.tokens = tokens;
            progress.temperature = temperature;
            progress.avgLogprob = float(sumLogProb / sampledCount);
            progress.windowId = windowId;
            const std::optional<bool> go = callback(progress);
            if (go.has_value() && !*go) {
                stopped = true;
                break;
            }
        }
        if (s.completed || step + 1 == maxSample) break;
        t0 = Clock::now();
        model_.decode(std::span<const int>(&tokens.back(), 1), int(tokens.size()) - 1, logits_);
        timings.decodingPredictions += since(t0);
    }
    r.avgLogProb = sampledCount > 0 ? float(sumLogProb / sampledCount) : 0.0f;
    r.noSpeechProb = 0;  // not estimated: the no-speech rule only fires for negative thresholds
    r.compressionRatio = compressionRatio(r.tokens);
    r.text = tokenizer_.decode(r.tokens, options.skipSpecialTokens);
    timings.decodingLoop += since(loopStart);
    return r;
}

}  // namespace lumenote::engine
