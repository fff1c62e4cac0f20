// The byte-level BPE tokenizer and its special tokens.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {
namespace {

using testing::freshDir;

WhisperTokenizer loadWritten(testmodel::TokenizerFormat format, bool listTimestamps = true) {
    const std::string dir = freshDir("tok");
    testmodel::writeTokenizer(dir, testmodel::makeTokenizer(1800, {"en", "de", "fr", "es", "it", "ja"}, listTimestamps),
                              format);
    return WhisperTokenizer::load(dir, 1800);
}

TEST(Tokenizer, SpecialTokensAreFoundByTextInBothFileFormats) {
    for (auto format : {testmodel::TokenizerFormat::tokenizerJson, testmodel::TokenizerFormat::vocabAndMerges}) {
        const WhisperTokenizer tok = loadWritten(format);
        const SpecialTokens& s = tok.specialTokens();
        // The synthetic layout: 285 ordinary tokens, then the controls in an unusual order.
        EXPECT_EQ(s.endToken, 285);
        EXPECT_EQ(s.specialTokenBegin, 285);
        EXPECT_EQ(s.translateToken, 286);
        EXPECT_EQ(s.transcribeToken, 287);
        EXPECT_EQ(s.englishToken, 288);
        EXPECT_EQ(s.startOfPreviousToken, 295);
        EXPECT_EQ(s.noSpeechToken, 296);
        EXPECT_EQ(s.startOfTranscriptToken, 297);
        EXPECT_EQ(s.noTimestampsToken, 298);
        EXPECT_EQ(s.timeTokenBegin, 299);
        EXPECT_EQ(tok.idToToken(s.whitespaceToken), byteLevelText(" "));
        ASSERT_EQ(tok.languageTokens().size(), 6u);
        EXPECT_EQ(tok.languageTokens()[1], (std::pair<std::string, int>{"de", 289}));
        EXPECT_EQ(tok.decode(std::vector<int>{297, 288, 287, 299, 1799}), "<|startoftranscript|><|en|><|transcribe|><|0.00|><|30.00|>");
    }
}

TEST(Tokenizer, UnlistedTimestampsFollowNoTimestamps) {
    const WhisperTokenizer tok = loadWritten(testmodel::TokenizerFormat::tokenizerJson, false);
    EXPECT_EQ(tok.specialTokens().timeTokenBegin, 299);
    EXPECT_EQ(tok.decode(std::vector<int>{299 + 50, 299 + 1500}), "<|1.00|><|30.00|>");
    EXPECT_EQ(tok.decode(std::vector<int>{299 + 50}, true), "");
    // A vocabulary too small for the timestamps is refused.
    const auto t = testmodel::makeTokenizer(1800, {"en"}, false);
    EXPECT_THROW(WhisperTokenizer::fromParts(t.vocab, t.merges, t.added, 1700, "small"), WhisperError);
}

TEST(Tokenizer, AnIdWithTwoTextsIsRefused) {
    auto t = testmodel::makeTokenizer(1800, {"en"}, false);
    // The same text under its own id again is accepted (a tokenizer.json may list a control token twice).
    t.added.push_back(t.added[0]);
    EXPECT_NO_THROW(WhisperTokenizer::fromParts(t.vocab, t.merges, t.added, 1800, "twice"));
    for (const bool inAdded : {false, true}) {
        auto bad = testmodel::makeTokenizer(1800, {"en"}, false);
        if (inAdded) bad.added[1].id = bad.added[0].id;  // two control tokens on one id
        else bad.vocab[41].second = bad.vocab[40].second;  // two byte tokens on one id
        try {
            WhisperTokenizer::fromParts(bad.vocab, bad.merges, bad.added, 1800, "shared");
            ADD_FAILURE() << "accepted a shared id, inAdded " << inAdded;
        } catch (const WhisperError& e) {
            EXPECT_NE(std::string(e.what()).find("share the id"), std::string::npos) << e.what();
        }
    }
}

TEST(Tokenizer, RoundTripsTextIncludingCharactersSplitAcrossTokens) {
    const WhisperTokenizer tok = testing::syntheticTokenizer();
    for (const std::string text : {" the lecture today is about energy.", "don't  stop\nnow,   ok? 42 times",
                                   " Größe café 日本語 — ✓ 🎓", "tab\tand trailing  "}) {
        const auto ids = tok.encode(text);
        EXPECT_EQ(tok.decode(ids), text);
        for (int id : ids) EXPECT_LT(id, tok.specialTokens().endToken);
    }
    // Learnt merges make common words single tokens.
    EXPECT_EQ(tok.encode(" the").size(), 1u);
    EXPECT_EQ(tok.encode(" lecture today").size(), 2u);
    // "é" is two bytes, so two byte tokens here; decoding one of them alone cannot give a
    // character, decoding both does.
    const auto e = tok.encode("é");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(tok.decode(std::vector<int>{e[0]}), "\xEF\xBF\xBD");
    EXPECT_EQ(tok.decode(e), "é");
    const auto mixed = tok.encode(" ok é");
    EXPECT_EQ(tok.decode(std::span<const int>(mixed).first(mixed.size() - 1)), " ok \xEF\xBF\xBD");
}

TEST(Tokenizer, SkippingSpecialTokensKeepsOnlyText) {
    const WhisperTokenizer tok = testing::syntheticTokenizer();
    const SpecialTokens& s = tok.specialTokens();
    std::vector<int> ids{s.startOfTranscriptToken, s.englishToken, s.transcribeToken, s.timeTokenBegin};
    for (int t : tok.encode(" hello world")) ids.push_back(t);
    ids.push_back(s.timeTokenBegin + 100);
    ids.push_back(s.endToken);
    EXPECT_EQ(tok.decode(ids, true), " hello world");
    EXPECT_EQ(tok.decode(ids), "<|startoftranscript|><|en|><|transcribe|><|0.00|> hello world<|2.00|><|endoftext|>");
}

}  // namespace
}  // namespace lumenote::engine
