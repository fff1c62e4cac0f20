// Logits filters, the sampler, segment splitting with seek, and word timings.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EngineTestSupport.h"
#include "engine/LogitsFilters.h"
#include "engine/SegmentSeeker.h"
#include "engine/TokenSampler.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

class Rules : public ::testing::Test {
protected:
    Rules() : tok(testing::syntheticTokenizer()), st(tok.specialTokens()) {}
    int ts(double s) const { return st.timeTokenBegin + int(std::lround(s / 0.02)); }
    // Which of these tokens survive the filter after `sampled` (the prompt is 3 tokens).
    std::vector<bool> allowed(const LogitsFilter& f, std::vector<int> sampled, std::vector<int> probe,
                              std::vector<float> logits = {}) const {
        if (logits.empty()) {  // text likelier than the timestamps, so none is forced
            logits.assign(2100, 0.0f);
            for (int t = st.timeTokenBegin; t < 2100; ++t) logits[size_t(t)] = -10.0f;
        }
        std::vector<int> tokens{st.startOfTranscriptToken, st.englishToken, st.transcribeToken};
        tokens.insert(tokens.end(), sampled.begin(), sampled.end());
        f.filterLogits(logits, tokens);
        std::vector<bool> out;
        for (int t : probe) out.push_back(logits[size_t(t)] > -kInf);
        return out;
    }
    WhisperTokenizer tok;
    SpecialTokens st;
    const int text = 100;
};

TEST_F(Rules, TimestampsComeFirstInPairsAndNeverGoBack) {
    TimestampRulesFilter f(st, 3, std::nullopt, true);
    const std::vector<int> probe{text, st.endToken, ts(0), ts(1), ts(2), st.noTimestampsToken};
    using V = std::vector<bool>;
    EXPECT_EQ(allowed(f, {}, probe), (V{false, false, true, true, true, false}));              // a timestamp first
    EXPECT_EQ(allowed(f, {ts(0)}, probe), (V{true, true, false, false, false, false}));        // then text
    EXPECT_EQ(allowed(f, {ts(0), text}, probe), (V{true, true, false, true, true, false}));    // later than 0
    EXPECT_EQ(allowed(f, {ts(0), text, ts(1)}, probe), (V{false, true, false, true, true, false}));  // close it
    EXPECT_EQ(allowed(f, {ts(0), text, ts(1), ts(1)}, probe), (V{true, true, false, false, false, false}));
    EXPECT_EQ(allowed(f, {ts(0), text, ts(1), ts(1), text}, probe), (V{true, true, false, false, true, false}));
    TimestampRulesFilter limited(st, 3, 50, true);  // maxInitialTimestamp 1.0 s
    EXPECT_EQ(allowed(limited, {}, {ts(0), ts(1.0), ts(1.02)}), (V{true, true, false}));
}

TEST_F(Rules, LikelyTimestampsAreForced) {
    TimestampRulesFilter f(st, 3, std::nullopt, true);
    std::vector<float> logits(2100, -10.0f);
    logits[size_t(text)] = 2.0f;
    for (int k = 0; k < 20; ++k) logits[size_t(ts(1.0 + 0.02 * k))] = 0.0f;  // together e^3 > e^2
    EXPECT_EQ(allowed(f, {ts(0), text}, {text, ts(1.0)}, logits), (std::vector<bool>{false, true}));
    for (int k = 5; k < 20; ++k) logits[size_t(ts(1.0 + 0.02 * k))] = -10.0f;  // e^1.6 < e^2
    EXPECT_EQ(allowed(f, {ts(0), text}, {text, ts(1.0)}, logits), (std::vector<bool>{true, true}));
}

TEST_F(Rules, BlankSuppressedTokensAndLanguages) {
    SuppressBlankFilter blank(st, 3);
    EXPECT_EQ(allowed(blank, {}, {st.whitespaceToken, st.endToken, text}), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(allowed(blank, {text}, {st.whitespaceToken, st.endToken}), (std::vector<bool>{true, true}));
    SuppressTokensFilter listed({text, 7, 99999});
    EXPECT_EQ(allowed(listed, {}, {text, 7, 8}), (std::vector<bool>{false, false, true}));
    LanguageLogitsFilter lang({st.englishToken, *tok.tokenToId("<|fr|>")}, 2100, 3);
    EXPECT_EQ(allowed(lang, {}, {st.englishToken, *tok.tokenToId("<|fr|>"), *tok.tokenToId("<|de|>"), text}),
              (std::vector<bool>{true, true, false, false}));
}

TEST(Sampler, GreedyAtZeroTopKAboveIt) {
    DecodingOptions options;
    options.topK = 2;
    std::vector<float> logits{0.0f, std::log(3.0f), 0.5f, -kInf, 0.2f};
    GreedyTokenSampler greedy(0.0f, 4, options);
    const SamplingResult g = greedy.update(logits);
    EXPECT_EQ(g.token, 1);
    double z = 0;
    for (float l : logits) z += std::exp(double(l));
    EXPECT_NEAR(g.logProb, std::log(3.0) - std::log(z), 1e-6);
    // At temperature 1 only the two best are drawn, in proportion 3 : e^0.5.
    GreedyTokenSampler sampler(1.0f, 4, options, 7);
    int counts[5] = {};
    for (int i = 0; i < 20000; ++i) counts[sampler.update(logits).token]++;
    EXPECT_EQ(counts[0] + counts[3] + counts[4], 0);
    EXPECT_NEAR(double(counts[1]) / counts[2], 3.0 / std::exp(0.5), 0.1);
    EXPECT_TRUE(GreedyTokenSampler(0.0f, 4, options).update(std::vector<float>{0, 0, 0, 0, 9}).completed);
    EXPECT_THROW(greedy.update(std::vector<float>(5, -kInf)), WhisperError);
}

class Seeking : public Rules {
protected:
    DecodingResult result(std::vector<int> tokens) const {
        DecodingResult r;
        r.tokens = std::move(tokens);
        for (int t : r.tokens) r.tokenLogProbs.push_back({{t, -0.1f}});
        return r;
    }
    SegmentSeeker seeker;
    DecodingOptions options;
};

TEST_F(Seeking, SplitsAtTimestampPairsAndAdvancesSeek) {
    const int a = tok.encode(" the")[0], b = tok.encode(" today")[0];
    {  // ends on a single timestamp: the whole window is consumed
        const auto r = seeker.findSeekPointAndSegments(result({ts(0), a, ts(3), ts(3), b, ts(6)}), tok, options, 480000,
                                                       480000, 7);
        EXPECT_EQ(r.seek, 960000);
        ASSERT_EQ(r.segments.size(), 2u);
        EXPECT_EQ(r.segments[0].id, 7);
        EXPECT_EQ(r.segments[0].seek, 480000);
        EXPECT_FLOAT_EQ(r.segments[0].start, 30.0f);
        EXPECT_FLOAT_EQ(r.segments[0].end, 33.0f);
        EXPECT_EQ(r.segments[1].text, "<|3.00|> today<|6.00|>");
        EXPECT_EQ(r.segments[1].tokenLogProbs.size(), 3u);
    }
    {  // unfinished text after the last pair is left for the next window
        const auto r = seeker.findSeekPointAndSegments(result({ts(0), a, ts(2), ts(2), b, ts(4), ts(4), a}), tok,
                                                       options, 0, 480000, 0);
        EXPECT_EQ(r.seek, 4 * 16000);
        ASSERT_EQ(r.segments.size(), 2u);
        EXPECT_FLOAT_EQ(r.segments[1].end, 4.0f);
    }
    {  // no pair: one segment to the last timestamp, or the whole window
        auto r = seeker.findSeekPointAndSegments(result({ts(0), a, b, ts(7.5)}), tok, options, 0, 480000, 0);
        ASSERT_EQ(r.segments.size(), 1u);
        EXPECT_FLOAT_EQ(r.segments[0].end, 7.5f);
        EXPECT_EQ(r.seek, 480000);
        r = seeker.findSeekPointAndSegments(result({a, b}), tok, options, 0, 200000, 0);
        ASSERT_EQ(r.segments.size(), 1u);
        EXPECT_FLOAT_EQ(r.segments[0].end, 12.5f);
        EXPECT_EQ(r.seek, 200000);
    }
    {  // times past a short last window's audio are cut at its end
        const auto r = seeker.findSeekPointAndSegments(result({ts(0), a, ts(12), ts(12), b, ts(20)}), tok, options,
                                                       0, 160000, 0);
        ASSERT_EQ(r.segments.size(), 2u);
        EXPECT_FLOAT_EQ(r.segments[1].start, 10.0f);
        EXPECT_FLOAT_EQ(r.segments[1].end, 10.0f);
    }
    EXPECT_TRUE(seeker.findSeekPointAndSegments(result({}), tok, options, 0, 480000, 0).segments.empty());
}

TEST(Alignment, DynamicTimeWarpingFollowsTheCheapPath) {
    // Rows 0..2 are cheap in columns [0,2), [2,5), [5,8).
    std::vector<double> cost(3 * 8, 1.0);
    for (int c = 0; c < 8; ++c) cost[size_t(c < 2 ? 0 : c < 5 ? 1 : 2) * 8 + size_t(c)] = -1.0;
    EXPECT_EQ(alignment::dtwRowStarts(cost, 3, 8), (std::vector<int>{0, 2, 5}));
    std::vector<float> row{1, 1, 1, 50, 1, 1, 1, 1, 1, 1};
    alignment::medianFilterRows(row, 1, 10, 7);
    for (float v : row) EXPECT_EQ(v, 1.0f);
}

TEST(Alignment, PunctuationJoinsItsNeighbours) {
    const auto w = [](std::string text, float start, float end) { return WordTiming{text, {1}, start, end, 0.5f}; };
    std::vector<WordTiming> words{w(" (", 0, 1), w("hello", 1, 2), w(")", 2, 3), w(",", 3, 4), w(" world", 4, 5),
                                  w(".", 5, 6), w(" \u201c", 6, 7), w("Hi", 7, 8), w("\u201d", 8, 9)};
    alignment::mergePunctuation(words);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].word, " (hello),");
    EXPECT_EQ(words[0].tokens.size(), 4u);
    EXPECT_EQ(words[0].start, 0.0f);
    EXPECT_EQ(words[0].end, 4.0f);
    EXPECT_EQ(words[1].word, " world.");
    EXPECT_EQ(words[2].word, " \u201cHi\u201d");
}

// Alignment weights in which sampled token i attends to frames [25 i, 25 i + 25).
void alignDiagonally(DecodingResult& r, int frames) {
    DecodingCache cache;
    cache.heads = 2;
    cache.frames = frames;
    cache.rows = int(r.tokens.size()) + 1;
    for (int row = 0; row < cache.rows; ++row) {
        for (int h = 0; h < 2; ++h) {
            for (int f = 0; f < frames; ++f) {
                const bool inside = f >= 25 * row && f < 25 * row + 25;
                cache.alignmentWeights.push_back((inside ? 1.0f : 0.05f) + 0.01f * float((f * 7 + h) % 5));
            }
        }
    }
    r.cache = cache;
}

TEST_F(Seeking, WordsKeepTheirPunctuationAndUnspacedScriptsSplitPerCharacter) {
    struct Case {
        const char* language;
        const char* text;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"en", " a well-known fact", {" a", " well-known", " fact"}},
        {"en", " it costs $5 (today).", {" it", " costs", " $5", " (today)."}},
        {"en", " he said \"yes\" - twice", {" he", " said", " \"yes\"", " - twice"}},
        {"de", " \u201cGut\u201d, sagte er", {" \u201cGut\u201d,", " sagte", " er"}},
        {"zh", " \u4f60\u597d\uff0c\u4e16\u754c\u3002", {" \u4f60", "\u597d\uff0c", "\u4e16", "\u754c\u3002"}},
        {"ja", "\u304c\u3063\u3053\u3046", {"\u304c", "\u3063", "\u3053", "\u3046"}},
        // Thai vowel and tone marks stay on their consonant.
        {"th", "\u0e01\u0e34\u0e19\u0e02\u0e49\u0e32\u0e27", {"\u0e01\u0e34", "\u0e19", "\u0e02\u0e49", "\u0e32", "\u0e27"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int> tokens{ts(0)};
        for (int t : tok.encode(c.text)) tokens.push_back(t);
        tokens.push_back(ts(20));
        DecodingResult r = result(tokens);
        alignDiagonally(r, 25 * (int(tokens.size()) + 2));
        r.language = c.language;
        auto seek = seeker.findSeekPointAndSegments(r, tok, options, 0, 480000, 0);
        seeker.addWordTimestamps(seek.segments, r, tok, 0);
        ASSERT_EQ(seek.segments.size(), 1u);
        std::vector<std::string> texts;
        float previousEnd = 0;
        for (const WordTiming& w : *seek.segments[0].words) {
            texts.push_back(w.word);
            EXPECT_FALSE(w.tokens.empty());
            EXPECT_LE(previousEnd, w.start);
            EXPECT_LT(w.start, w.end) << w.word;  // characters of one token get a share of its time
            previousEnd = w.end;
        }
        EXPECT_EQ(texts, c.words);
    }
}

TEST_F(Seeking, WordTimingsFollowTheAlignmentDiagonal) {
    // " the lecture, today": sampled token i attends to frames [25 i, 25 i + 25).
    std::vector<int> tokens{ts(0)};
    for (int t : tok.encode(" the lecture, today")) tokens.push_back(t);
    tokens.push_back(ts(6));
    DecodingResult r = result(tokens);
    alignDiagonally(r, 300);
    auto seek = seeker.findSeekPointAndSegments(r, tok, options, 16000, 480000, 0);
    seeker.addWordTimestamps(seek.segments, r, tok, 16000);
    ASSERT_EQ(seek.segments.size(), 1u);
    const auto& words = *seek.segments[0].words;
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].word, " the");
    EXPECT_EQ(words[1].word, " lecture,");
    EXPECT_EQ(words[2].word, " today");
    // Token i (counting the opening timestamp as 0) starts near frame 25 i, 1 s into the audio.
    const double frame = 0.02;
    EXPECT_NEAR(words[0].start, 1.0 + 25 * 1 * frame, 0.1);
    EXPECT_NEAR(words[1].start, 1.0 + 25 * 2 * frame, 0.1);
    EXPECT_NEAR(words[2].start, 1.0 + 25 * 4 * frame, 0.1);
    EXPECT_NEAR(words[2].end, 1.0 + 25 * 5 * frame, 0.1);
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_LE(words[i].start, words[i].end);
        if (i) {
            EXPECT_LE(words[i - 1].end, words[i].start);
        }
        EXPECT_NEAR(words[i].probability, std::exp(-0.1f), 1e-6);
    }
    EXPECT_EQ(words[1].tokens.size(), 2u);  // " lecture" and ","
}

}  // namespace
}  // namespace lumenote::engine
