// The decoding logic driven by scripted logits: temperature fallback, the transcription loop over
// windows, prompts, early stop and progress callbacks.
#include <gtest/gtest.h>

#include <map>

#include "EngineTestSupport.h"
#include "engine/Float16.h"
#include "engine/TextDecoder.h"
#include "engine/WhisperEngine.h"

namespace lumenote::engine {
namespace {

using testing::pick;
using testing::ScriptedModel;

class Decoding : public ::testing::Test {
protected:
    Decoding() : tok(testing::syntheticTokenizer()), st(tok.specialTokens()) {}

    int word(const std::string& text) const {
        const auto ids = tok.encode(text);
        EXPECT_EQ(ids.size(), 1u) << text;
        return ids.at(0);
    }
    int ts(double seconds) const { return st.timeTokenBegin + int(std::lround(seconds / 0.02)); }
    std::vector<int> textTokens() const {
        std::vector<int> t;
        for (int i = 0; i < st.endToken; ++i) t.push_back(i);
        return t;
    }
    // Runs TextDecoder on one window of the model; returns the result and the log lines.
    DecodingResult decodeWindow(ScriptedModel& model, DecodingOptions options, std::vector<std::string>* logs = nullptr,
                                TranscriptionCallback callback = {}) {
        model.encodeWindow(std::vector<float>(16000));
        TextDecoder decoder(model, tok, [&](const std::string& l) { if (logs) logs->push_back(l); });
        TranscriptionTimings timings;
        bool stopped = false;
        return decoder.decodeWithFallback(decoder.buildPrompt(options, "en"), options, 0, callback, timings, stopped);
    }

    WhisperTokenizer tok;
    SpecialTokens st;
    const int promptLength = 3;    // start of transcript, language, task
    const int noTsPromptLength = 4; // and no-timestamps
};

TEST_F(Decoding, TemperaturesAreComputedInHalfPrecision) {
    EXPECT_EQ(fallbackTemperatures({}),
              (std::vector<float>{0.0f, 0.199951171875f, 0.39990234375f, 0.599609375f, 0.7998046875f, 1.0f}));
    DecodingOptions o;
    o.temperature = 0.5f;
    o.temperatureIncrementOnFallback = 0.25f;
    o.temperatureFallbackCount = 2;
    EXPECT_EQ(fallbackTemperatures(o), (std::vector<float>{0.5f, 0.75f, 1.0f}));
}

TEST_F(Decoding, UnlikelyFirstTokenIsRetriedAtEveryHigherTemperature) {
    DecodingOptions options;
    options.withoutTimestamps = true;
    const int a = word(" today");
    ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
        if (int(h.size()) == noTsPromptLength) return pick(a, -2.0f, textTokens());  // first token: log p = -2
        return pick(st.endToken, 0.0f, {});
    });
    std::vector<float> firstStepTemperatures;
    std::vector<std::string> logs;
    const auto result = decodeWindow(model, options, &logs, [&](const TranscriptionProgress& p) -> std::optional<bool> {
        if (p.tokens.size() == size_t(noTsPromptLength + 1)) firstStepTemperatures.push_back(*p.temperature);
        return std::nullopt;
    });
    EXPECT_EQ(firstStepTemperatures, fallbackTemperatures(options));
    ASSERT_TRUE(result.fallback);
    EXPECT_TRUE(result.fallback->needsFallback);
    EXPECT_EQ(result.fallback->fallbackReason, "firstTokenLogProbThreshold");
    EXPECT_EQ(result.temperature, 1.0f);  // every attempt fell back; the last one is kept
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Fallback occured: firstTokenLogProbThreshold"), 6);
    // The prompt's cache was computed once, in one batched call, and reused by every attempt.
    EXPECT_EQ(logs.front(), "Prefill prompt: <|startoftranscript|><|en|><|transcribe|><|notimestamps|>");
}

TEST_F(Decoding, FallbackReasonsComeInTheStatedOrder) {
    const int a = word(" the"), b = word(" lecture");
    enum Pattern { varied, looping, longCycle };  // longCycle: a 40-token phrase over and over
    struct Case {
        const char* name;
        float firstLogProb;  // of the first token
        Pattern pattern;
        float laterLogProb;  // of the following tokens
        std::optional<float> noSpeech;
        std::string reason;
        bool fallback;
    };
    const Case cases[] = {
        {"first token beats looping", -2.0f, looping, 0.0f, std::nullopt, "firstTokenLogProbThreshold", true},
        {"repetition beats compression", -0.5f, looping, -1.4f, std::nullopt, "repetition", true},
        {"a cycle too long to be a phrase still compresses", -0.5f, longCycle, -1.4f, std::nullopt,
         "compressionRatioThreshold", true},
        {"low average alone", -0.5f, varied, -1.4f, std::nullopt, "logProbThreshold", true},
        {"silence with a low average beats everything", -2.0f, looping, -1.4f, -0.1f, "silence", false},
        {"silence needs a low average", -2.0f, varied, 0.0f, -0.1f, "firstTokenLogProbThreshold", true},
        {"good window", -0.1f, varied, -0.1f, std::nullopt, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodingOptions options;
        options.withoutTimestamps = true;
        options.temperatureFallbackCount = 0;  // one deterministic attempt at temperature 0
        options.noSpeechThreshold = c.noSpeech;
        options.sampleLength = 201;
        ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
            const int step = int(h.size()) - noTsPromptLength;
            if (step < 0) return ScriptedModel::Next{};  // the prompt's first part, up to the start of transcript
            if (step == 0) return pick(a, c.firstLogProb, textTokens());
            const int token = c.pattern == looping ? b : c.pattern == longCycle ? (step % 40) * 7 % 280 : (step * 37 % 280);
            return pick(token, c.laterLogProb, textTokens());
        });
        const DecodingResult r = decodeWindow(model, options);
        EXPECT_EQ(r.fallback ? r.fallback->fallbackReason : "", c.reason);
        EXPECT_EQ(r.fallback ? r.fallback->needsFallback : false, c.fallback);
        if (c.pattern == looping && c.fallback) {
            EXPECT_EQ(r.tokens, (std::vector<int>{a, b}));  // the loop cut after its first phrase
        } else {
            EXPECT_EQ(r.compressionRatio > 2.4f, c.pattern != varied) << r.compressionRatio;
        }
    }
}

TEST_F(Decoding, ANoSpeechWindowStopsAfterAFewUnlikelyTokens) {
    struct Case {
        const char* name;
        bool noSpeech;       // the model's verdict after the start of transcript
        float laterLogProb;  // of every sampled token
        size_t tokens;
        std::string reason;
    };
    const Case cases[] = {
        {"no speech, invented words", true, -1.5f, 16, "silence"},
        {"no speech, yet confident words", true, -0.2f, 100, ""},
        {"speech, unlikely words", false, -1.5f, 100, "logProbThreshold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodingOptions options;
        options.withoutTimestamps = true;
        options.temperatureFallbackCount = 0;
        options.sampleLength = 100;
        ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
            if (h.size() == 1) return pick(c.noSpeech ? st.noSpeechToken : st.englishToken, -0.05f, textTokens());
            const int step = int(h.size()) - noTsPromptLength;
            return pick(step * 37 % 280, c.laterLogProb, textTokens());
        });
        const DecodingResult r = decodeWindow(model, options);
        EXPECT_EQ(r.noSpeechProb > 0.6f, c.noSpeech) << r.noSpeechProb;
        EXPECT_EQ(r.tokens.size(), c.tokens);
        EXPECT_EQ(r.fallback ? r.fallback->fallbackReason : "", c.reason);
    }
}

TEST_F(Decoding, LowProbabilityWindowGoesThroughAllTemperaturesWithDefaults) {
    // Noise: every token is unlikely, the average log probability is below -1.
    ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
        const int step = int(h.size()) - promptLength;
        if (step < 0) return ScriptedModel::Next{};  // the prompt's first part, up to the start of transcript
        if (step == 0) return pick(ts(0), -0.5f, {ts(0.02), ts(0.04)});
        if (step > 12) return pick(st.endToken, -1.2f, textTokens());
        return pick(step * 11 % 280, -1.3f, textTokens());
    });
    std::vector<std::string> logs;
    const DecodingResult r = decodeWindow(model, {}, &logs);
    EXPECT_EQ(std::count_if(logs.begin(), logs.end(), [](const std::string& l) { return l.rfind("Fallback occured: ", 0) == 0; }), 6);
    EXPECT_EQ(r.temperature, 1.0f);
    EXPECT_LT(r.avgLogProb, -1.0f);
}

TEST_F(Decoding, PromptHoldsPreviousTextAndPrefix) {
    DecodingOptions options;
    options.promptTokens = tok.encode(" earlier words");
    options.prefixTokens = tok.encode(" the");
    options.withoutTimestamps = true;
    std::vector<std::vector<int>> histories;
    ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
        histories.push_back(h);
        return pick(st.endToken, 0.0f, {});
    });
    TextDecoder decoder(model, tok);
    const DecodingPrompt prompt = decoder.buildPrompt(options, "de");
    std::vector<int> expected{st.startOfPreviousToken};
    for (int t : *options.promptTokens) expected.push_back(t);
    expected.insert(expected.end(), {st.startOfTranscriptToken, *tok.tokenToId("<|de|>"), st.transcribeToken,
                                     st.noTimestampsToken, (*options.prefixTokens)[0]});
    EXPECT_EQ(prompt.tokens, expected);
    EXPECT_EQ(prompt.sampleBegin, int(expected.size()));
    model.encodeWindow(std::vector<float>(100));
    TranscriptionTimings timings;
    bool stopped = false;
    std::string liveText;
    decoder.decodeWithFallback(prompt, options, 0, [&](const TranscriptionProgress& p) -> std::optional<bool> {
        liveText = p.text;
        return true;
    }, timings, stopped);
    // Batched: up to the start of transcript (where the no-speech probability is read), then the rest.
    ASSERT_GE(histories.size(), 2u);
    EXPECT_EQ(histories[0], std::vector<int>(expected.begin(), expected.begin() + 1 + ptrdiff_t(options.promptTokens->size()) + 1));
    EXPECT_EQ(histories[1], expected);
    // Live text starts at the start of transcript: the previous-text prompt is not part of it.
    EXPECT_EQ(liveText, "<|startoftranscript|><|de|><|transcribe|><|notimestamps|> the<|endoftext|>");
    EXPECT_THROW(decoder.buildPrompt(options, "xx"), WhisperError);
}

class Transcribing : public Decoding {
protected:
    TranscriptionResult run(ScriptedModel& model, const DecodingOptions& options, double seconds,
                            TranscriptionCallback callback = {}, bool* stoppedOut = nullptr) {
        SegmentSeeker seeker;
        Transcriber t(model, tok, seeker);
        bool stopped = false;
        // Audible enough not to be skipped as silence before the model runs.
        auto r = t.run(std::vector<float>(size_t(seconds * 16000), 0.05f), options, callback, stopped);
        if (stoppedOut) *stoppedOut = stopped;
        return r;
    }
    // Scripts a window as a token sequence followed by the end token (log probability 0).
    ScriptedModel::Next sequence(const std::vector<int>& h, const std::vector<int>& tokens) const {
        // The sampled part of the history is everything after the three prompt tokens.
        const size_t step = h.size() - size_t(promptLength);
        return pick(step < tokens.size() ? tokens[step] : st.endToken, 0.0f, {});
    }
};

TEST_F(Transcribing, FortyFiveSecondsAreTwoWindowsTheSecondZeroPadded) {
    const int lecture = word(" lecture"), today = word(" today"), again = word(" the");
    ScriptedModel model(2100, [&](int window, const std::vector<int>& h) {
        if (window == 0) return sequence(h, {ts(0), lecture, ts(10), ts(10), today, ts(20)});
        return sequence(h, {ts(0), again, ts(5)});
    });
    std::vector<int64_t> windowIds;
    const TranscriptionResult r = run(model, {}, 45.0, [&](const TranscriptionProgress& p) -> std::optional<bool> {
        windowIds.push_back(p.windowId);
        return true;
    });
    EXPECT_EQ(model.windowSizes, (std::vector<int64_t>{480000, 240000}));
    ASSERT_EQ(r.segments.size(), 3u);
    EXPECT_EQ(r.segments[0].seek, 0);
    EXPECT_FLOAT_EQ(r.segments[0].start, 0.0f);
    EXPECT_FLOAT_EQ(r.segments[0].end, 10.0f);
    EXPECT_FLOAT_EQ(r.segments[1].start, 10.0f);
    EXPECT_FLOAT_EQ(r.segments[1].end, 20.0f);
    EXPECT_EQ(r.segments[2].seek, 480000);
    EXPECT_FLOAT_EQ(r.segments[2].start, 30.0f);
    EXPECT_FLOAT_EQ(r.segments[2].end, 35.0f);
    EXPECT_EQ(r.segments[2].id, 2);
    EXPECT_EQ(r.text, "<|0.00|> lecture<|10.00|><|10.00|> today<|20.00|><|0.00|> the<|5.00|>");
    EXPECT_EQ(r.timings.totalDecodingWindows, 2);
    ASSERT_FALSE(windowIds.empty());
    EXPECT_EQ(windowIds.front(), 0);
    EXPECT_EQ(windowIds.back(), 1);
    EXPECT_TRUE(std::is_sorted(windowIds.begin(), windowIds.end()));
}

TEST_F(Transcribing, SeekAdvancesToTheLastClosingTimestamp) {
    const int a = word(" the"), b = word(" today");
    int windows = 0;
    ScriptedModel model(2100, [&](int window, const std::vector<int>& h) {
        windows = window + 1;
        if (window == 0) return sequence(h, {ts(0), a, ts(5), ts(5), b});  // "b" never closes
        return sequence(h, {ts(0), b, ts(2)});
    });
    DecodingOptions options;
    options.windowClipTime = 0;
    const TranscriptionResult r = run(model, options, 40.0);
    ASSERT_GE(model.windowSizes.size(), 2u);
    EXPECT_EQ(model.windowSizes[0], 480000);
    EXPECT_EQ(model.windowSizes[1], 480000);  // from 5 s: 35 s left
    ASSERT_GE(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[1].seek, 5 * 16000);
    EXPECT_FLOAT_EQ(r.segments[1].start, 5.0f);
    EXPECT_FLOAT_EQ(r.segments[1].end, 7.0f);
}

TEST_F(Transcribing, CallbackCanStopEarly) {
    const int a = word(" the");
    ScriptedModel model(2100, [&](int, const std::vector<int>& h) { return sequence(h, {ts(0), a, a, a, a, a, ts(3)}); });
    int calls = 0;
    bool stopped = false;
    const TranscriptionResult r = run(model, {}, 45.0, [&](const TranscriptionProgress&) -> std::optional<bool> {
        return ++calls < 3;
    }, &stopped);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(model.windowSizes.size(), 1u);  // no second window, no fallback attempt
    EXPECT_LE(r.segments.size(), 1u);
}

TEST_F(Transcribing, WindowOptions) {
    const int a = word(" the");
    const auto script = [&](int, const std::vector<int>& h) { return sequence(h, {ts(0), a, ts(1)}); };
    {  // a remainder under windowClipTime is not decoded
        ScriptedModel model(2100, script);
        run(model, {}, 30.5);
        EXPECT_EQ(model.windowSizes, (std::vector<int64_t>{480000}));
    }
    {  // clipTimestamps: decode 10 s to 20 s only
        ScriptedModel model(2100, script);
        DecodingOptions o;
        o.clipTimestamps = {10.0f, 20.0f};
        const auto r = run(model, o, 60.0);
        EXPECT_EQ(model.windowSizes, (std::vector<int64_t>{160000}));
        ASSERT_EQ(r.segments.size(), 1u);
        EXPECT_FLOAT_EQ(r.segments[0].start, 10.0f);
    }
    {  // maxWindowSeek stops at that sample
        ScriptedModel model(2100, script);
        DecodingOptions o;
        o.maxWindowSeek = 20 * 16000;
        run(model, o, 60.0);
        EXPECT_EQ(model.windowSizes, (std::vector<int64_t>{320000}));
    }
}

TEST_F(Transcribing, DetectsTheLanguageWhenAsked) {
    const int de = *tok.tokenToId("<|de|>");
    std::vector<std::vector<int>> prompts;
    ScriptedModel model(2100, [&](int, const std::vector<int>& h) {
        if (h.size() == 1) {  // the start of transcript alone: language scores
            ScriptedModel::Next n;
            for (const auto& [code, id] : tok.languageTokens()) n.logits.emplace_back(id, id == de ? 2.0f : 0.0f);
            n.logits.emplace_back(word(" the"), 9.0f);  // not a language: filtered out
            return n;
        }
        if (h.size() == 3) prompts.push_back(h);
        return pick(st.endToken, 0.0f, {});
    });
    DecodingOptions options;
    options.detectLanguage = true;
    const auto r = run(model, options, 5.0);
    EXPECT_EQ(r.language, "de");
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0][1], de);
    // Not asked: English, the model default.
    ScriptedModel english(2100, [&](int, const std::vector<int>& h) {
        if (h.size() == 3) prompts.push_back(h);
        return pick(st.endToken, 0.0f, {});
    });
    EXPECT_EQ(run(english, {}, 5.0).language, "en");
    EXPECT_EQ(prompts.back()[1], st.englishToken);
}

TEST_F(Transcribing, AutoDetectsOnTheFirstWindowAndKeepsTheLanguage) {
    std::map<int, int> startOnlyCalls;  // per window: decoder runs on the start of transcript alone
    std::vector<int> promptLanguages;
    const auto script = [&](int window, const std::vector<int>& h) {
        if (h.size() == 1) {
            ++startOnlyCalls[window];
            ScriptedModel::Next n;  // the first window sounds German, the second French
            const int favourite = *tok.tokenToId(window == 0 ? "<|de|>" : "<|fr|>");
            for (const auto& [code, id] : tok.languageTokens()) n.logits.emplace_back(id, id == favourite ? 3.0f : 0.0f);
            return n;
        }
        if (h.size() == 3) promptLanguages.push_back(h[1]);
        return sequence(h, {ts(0), word(" the"), ts(30)});
    };
    const struct {
        const char* language;
        const char* expected;
        int detections;
    } cases[] = {{"auto", "de", 1}, {"FR", "fr", 0}, {"it", "it", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        startOnlyCalls.clear();
        promptLanguages.clear();
        ScriptedModel model(2100, script);
        DecodingOptions options;
        options.language = c.language;
        const auto r = run(model, options, 45.0);
        EXPECT_EQ(r.language, c.expected);
        const int id = *tok.tokenToId("<|" + std::string(c.expected) + "|>");
        EXPECT_EQ(promptLanguages, (std::vector<int>{id, id}));
        EXPECT_EQ(startOnlyCalls[0] + startOnlyCalls[1], 2 + c.detections);  // one prefill part per window
    }
    ScriptedModel model(2100, script);
    DecodingOptions unknown;
    unknown.language = "xx";
    EXPECT_THROW(run(model, unknown, 5.0), WhisperError);
    EXPECT_TRUE(model.windowSizes.empty());  // refused before any work
}

TEST_F(Transcribing, PreviousTextIsDroppedAfterAHighTemperatureWindow) {
    std::vector<int> early;  // timestamps up to 1 s
    for (int i = 0; i <= 50; ++i) early.push_back(ts(i * 0.02));
    std::vector<int> windowStarts;  // first token each window's decoder saw
    ScriptedModel model(2100, [&](int window, const std::vector<int>& h) {
        if (size_t(window) >= windowStarts.size()) windowStarts.push_back(h.front());
        const size_t sampled = h.size() - size_t(std::find(h.begin(), h.end(), st.startOfTranscriptToken) - h.begin()) - 3;
        if (window == 0 && sampled == 0) return pick(ts(0), -2.0f, early);  // unlikely at every temperature
        return sampled == 0 ? pick(ts(0), 0.0f, {}) : pick(st.endToken, 0.0f, {});
    });
    DecodingOptions options;
    options.promptTokens = tok.encode(" earlier words");
    run(model, options, 45.0);
    EXPECT_EQ(windowStarts, (std::vector<int>{st.startOfPreviousToken, st.startOfTranscriptToken}));
}

TEST_F(Transcribing, TheModelsSuppressionListsApplyUnlessReplaced) {
    const int banned = word(" the"), notFirst = word(" today"), other = word(" lecture");
    // Each position prefers the banned word, then the not-first word, then another.
    const auto script = [&](int, const std::vector<int>& h) {
        const size_t step = h.size() - size_t(noTsPromptLength);
        if (step >= 3) return pick(st.endToken, 0.0f, {});
        ScriptedModel::Next n;
        n.logits = {{banned, 3.0f}, {notFirst, 2.0f}, {other, 1.0f}};
        return n;
    };
    struct Case {
        const char* name;
        std::optional<std::vector<int>> suppress, beginSuppress;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"the model's lists", std::nullopt, std::nullopt, {other, notFirst, notFirst}},
        {"replaced by empty lists", std::vector<int>{}, std::vector<int>{}, {banned, banned, banned}},
        {"only the first position replaced", std::nullopt, std::vector<int>{}, {notFirst, notFirst, notFirst}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedModel model(2100, script);
        SegmentSeeker seeker;
        Transcriber t(model, tok, seeker);
        t.setModelSuppression({banned}, {notFirst, st.endToken});
        DecodingOptions options;
        options.withoutTimestamps = true;
        options.supressTokens = c.suppress;
        options.beginSuppressTokens = c.beginSuppress;
        options.temperatureFallbackCount = 0;
        bool stopped = false;
        const auto r = t.run(std::vector<float>(16000, 0.05f), options, {}, stopped);
        ASSERT_EQ(r.segments.size(), 1u);
        EXPECT_EQ(r.segments[0].tokens, c.expected);
    }
}

TEST_F(Transcribing, TokenByTokenPromptGivesTheSameResult) {
    const int a = word(" the"), b = word(" today");
    const auto script = [&](int, const std::vector<int>& h) { return sequence(h, {ts(0), a, b, ts(4)}); };
    ScriptedModel batched(2100, script), stepwise(2100, script);
    DecodingOptions o;
    const auto r1 = run(batched, o, 10.0);
    o.usePrefillCache = false;
    const auto r2 = run(stepwise, o, 10.0);
    EXPECT_EQ(r1.text, r2.text);
    // The batched prompt runs as the start of transcript, then the rest.
    EXPECT_EQ(stepwise.decodeCalls, batched.decodeCalls + promptLength - 2);
}

}  // namespace
}  // namespace lumenote::engine
