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

float compressionRatio(std::string_view text) {
    if (text.empty()) return 0.0f;
    uLongf bound = compressBound(uLong(text.size()));
    std::vector<unsigned char> packed(bound);
    if (compress2(packed.data(), &bound, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK ||
        bound == 0) {
        return 0.0f;
    }
    return float(double(text.size()) / double(bound));
}

float tokenProbability(std::span<const float> logits, int token) {
    if (token < 0 || size_t(token) >= logits.size()) return 0.0f;
    float best = kNegInf;
    for (float v : logits) best = std::max(best, v);
    if (!std::isfinite(best)) return 0.0f;
    double sum = 0;
    for (float v : logits) sum += std::exp(double(v) - best);
    return float(std::exp(double(logits[size_t(token)]) - best) / sum);
}

std::optional<Repetition> findRepetition(std::span<const int> tokens, int firstSpecial, size_t minRepeats) {
    constexpr size_t kMaxPhrase = 32;
    constexpr size_t kMinRunTokens = 12;
    std::vector<int> text;
    std::vector<size_t> at;  // index in `tokens` of each text token
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] < firstSpecial) {
            text.push_back(tokens[i]);
            at.push_back(i);
        }
    }
    const size_t n = text.size();
    std::optional<Repetition> best;
    size_t bestRun = 0;
    if (minRepeats < 2) minRepeats = 2;
    for (size_t len = 1; len <= kMaxPhrase && len * minRepeats <= n; ++len) {
        for (size_t i = 0; i + len * minRepeats <= n; ++i) {
            size_t j = i + len;
            while (j + len <= n && std::equal(text.begin() + ptrdiff_t(i), text.begin() + ptrdiff_t(i + len),
                                              text.begin() + ptrdiff_t(j))) {
                j += len;
            }
            const size_t repeats = (j - i) / len;
            const size_t run = j - i;
            if (repeats >= minRepeats && run >= kMinRunTokens && run > bestRun) {
                best = Repetition{at[i], len, repeats};
                bestRun = run;
            }
            if (repeats > 1) i = j - len;  // the rest of this run holds nothing longer
        }
    }
    return best;
}

TextDecoder::TextDecoder(LogitsSource& model, const WhisperTokenizer& tokenizer, LogSink log)
    : model_(model), tokenizer_(tokenizer), log_(std::move(log)) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    // Control tokens between the end token and the timestamps (start of transcript, languages,
    // tasks, previous-text marker, no-speech, no-timestamps) are never output.
    for (int t = st.endToken + 1; t < st.timeTokenBegin; ++t) alwaysSuppressed_.push_back(t);
}

void TextDecoder::setModelSuppression(std::vector<int> suppressTokens, std::vector<int> beginSuppressTokens) {
    // A list that named the end token or a timestamp would stop every window from ending or
    // from being timed: those entries are ignored.
    const SpecialTokens& st = tokenizer_.specialTokens();
    const auto usable = [&](std::vector<int> list, bool allowEnd) {
        std::erase_if(list, [&](int t) { return t < 0 || t >= st.timeTokenBegin || (!allowEnd && t == st.endToken); });
        return list;
    };
    modelSuppress_ = usable(std::move(suppressTokens), false);
    modelBeginSuppress_ = usable(std::move(beginSuppressTokens), true);
}

void TextDecoder::log(const std::string& line) const {
    if (log_) log_(line);
}

std::pair<std::string, std::map<std::string, float>> TextDecoder::detectLanguage(TranscriptionTimings& timings) {
    const SpecialTokens& st = tokenizer_.specialTokens();
    const auto& languages = tokenizer_.languageTokens();
    if (languages.empty() || !tokenizer_.isMultilingual()) return {"en", {}};
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
    const std::vector<int>& suppress = options.supressTokens ? *options.supressTokens : modelSuppress_;
    if (!suppress.empty()) filters_.push_back(std::make_unique<SuppressTokensFilter>(suppress));
    const std::vector<int>& beginSuppress = options.beginSuppressTokens ? *options.beginSuppressTokens : modelBeginSuppress_;
    if (!beginSuppress.empty()) {
        filters_.push_back(std::make_unique<SuppressBlankFilter>(st, prompt.sampleBegin, beginSuppress));
    }
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

    // The prompt's cache, once per window: batched, or token by token without usePrefillCache.
    // Fallback attempts keep it and start again after it. The no-speech probability is read
    // where the model predicts what follows the start of transcript, so a batched prompt runs
    // in two parts when more follows that token.
    promptLogits_.assign(size_t(vocab), 0.0f);
    float noSpeechProb = 0;
    auto t0 = Clock::now();
    try {
        const size_t head = size_t(prompt.transcriptBegin) + 1;
        const std::span<const int> all(prompt.tokens);
        if (options.usePrefillCache) {
            model_.decode(all.first(head), 0, promptLogits_);
            noSpeechProb = tokenProbability(promptLogits_, st.noSpeechToken);
            if (head < all.size()) model_.decode(all.subspan(head), int(head), promptLogits_);
        } else {
            for (size_t i = 0; i < all.size(); ++i) {
                model_.decode(all.subspan(i, 1), int(i), promptLogits_);
                if (i + 1 == head) noSpeechProb = tokenProbability(promptLogits_, st.noSpeechToken);
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
    std::optional<Repetition> loop;
    for (size_t attempt = 0; attempt < temperatures.size(); ++attempt) {
        const float temperature = temperatures[attempt];
        float firstTokenLogProb = 0;
        const uint64_t seed = uint64_t(windowId) * 1000003ull + attempt;
        result = decodeAttempt(prompt, options, temperature, seed, windowId, callback, timings, stopped,
                               firstTokenLogProb, noSpeechProb);
        result.noSpeechProb = noSpeechProb;
        if (stopped) break;

        const auto tf = Clock::now();
        loop = options.repetitionThreshold
                   ? findRepetition(result.tokens, st.endToken, size_t(std::max(0, *options.repetitionThreshold)))
                   : std::nullopt;
        DecodingFallback fb;
        const bool lowLogProb = options.logProbThreshold && result.avgLogProb < *options.logProbThreshold;
        if (options.noSpeechThreshold && noSpeechProb > *options.noSpeechThreshold &&
            (lowLogProb || !options.logProbThreshold)) {
            // Silence: no other temperature would make speech of it.
            fb = {false, "silence"};
        } else if (options.firstTokenLogProbThreshold && firstTokenLogProb < *options.firstTokenLogProbThreshold) {
            fb = {true, "firstTokenLogProbThreshold"};
        } else if (loop) {
            fb = {true, "repetition"};
        } else if (options.compressionRatioThreshold && result.compressionRatio > *options.compressionRatioThreshold) {
            fb = {true, "compressionRatioThreshold"};
        } else if (lowLogProb) {
            fb = {true, "logProbThreshold"};
        }
        timings.decodingFallback += since(tf);
        if (!fb.fallbackReason.empty()) result.fallback = fb;
        if (!fb.needsFallback) break;
        log("Fallback occured: " + fb.fallbackReason);
        if (attempt + 1 < temperatures.size()) timings.totalDecodingFallbacks += 1;
    }
    if (loop && result.fallback && result.fallback->needsFallback) {
        // Every temperature looped: keep the text up to the end of the phrase's first occurrence.
        size_t cut = loop->begin, seen = 0;
        while (cut < result.tokens.size() && seen < loop->length) {
            if (result.tokens[cut] < st.endToken) ++seen;
            ++cut;
        }
        result.tokens.resize(cut);
        result.tokenLogProbs.resize(std::min(cut, result.tokenLogProbs.size()));
        result.text = tokenizer_.decode(result.tokens, options.skipSpecialTokens);
        result.compressionRatio = compressionRatio(tokenizer_.decode(result.tokens, true));
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
                                          bool& stopped, float& firstTokenLogProb, float noSpeechProb) {
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
    // A window the model hears as no speech is decided after a few tokens: when they are as
    // unlikely as the log-probability threshold says, the rest would be invented text.
    constexpr int kNoSpeechDecisionTokens = 16;
    const bool noSpeechLikely = options.noSpeechThreshold && options.logProbThreshold &&
                                noSpeechProb > *options.noSpeechThreshold;
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
        if (noSpeechLikely && sampledCount == kNoSpeechDecisionTokens &&
            sumLogProb / sampledCount < double(*options.logProbThreshold)) {
            break;
        }
        t0 = Clock::now();
        model_.decode(std::span<const int>(&tokens.back(), 1), int(tokens.size()) - 1, logits_);
        timings.decodingPredictions += since(t0);
    }
    r.avgLogProb = sampledCount > 0 ? float(sumLogProb / sampledCount) : 0.0f;
    r.text = tokenizer_.decode(r.tokens, options.skipSpecialTokens);
    // On the words alone: timestamps and control tokens are not text.
    r.compressionRatio = compressionRatio(tokenizer_.decode(r.tokens, true));
    timings.decodingLoop += since(loopStart);
    return r;
}

}  // namespace lumenote::engine
