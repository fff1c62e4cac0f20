#include "transcription/TranscriptMapping.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

using namespace lumenote;

namespace {

engine::TranscriptionSegment segment(const std::string& text, float start, float end,
                                     std::optional<std::vector<engine::WordTiming>> words = std::nullopt) {
    engine::TranscriptionSegment s;
    s.text = text;
    s.start = start;
    s.end = end;
    s.words = std::move(words);
    return s;
}

engine::WordTiming word(const std::string& w, float start, float end) {
    engine::WordTiming t;
    t.word = w;
    t.start = start;
    t.end = end;
    t.probability = 0.9f;
    t.tokens = {1, 2};
    return t;
}

}  // namespace

TEST(TranscriptMapping, CleaningRemovesControlTokensAndTrimsBlanksOnly) {
    EXPECT_EQ(cleanEngineText(QString("<|startoftranscript|><|en|><|transcribe|><|0.00|> Hello there.<|2.40|>")), "Hello there.");
    EXPECT_EQ(cleanEngineText(QString("<|endoftext|>")), "");
    EXPECT_EQ(cleanEngineText(QString("\t \u00a0word\u2009 ")), "word");
    // Line breaks are not blanks.
    EXPECT_EQ(cleanEngineText(QString(" first\nsecond\n ")), "first\nsecond\n");
    EXPECT_EQ(cleanEngineText(QString("\nx")), "\nx");
    // Only the exact token form is removed.
    EXPECT_EQ(cleanEngineText(QString("a <| b |> c <|x>y|> <b> <||>")), "a  c <|x>y|> <b> <||>");
    EXPECT_EQ(cleanEngineText(std::string("\xc3\xa9t\xc3\xa9 <|1.00|>")), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
}

TEST(TranscriptMapping, ResultsBecomeCleanSegments) {
    engine::TranscriptionResult first;
    first.segments.push_back(segment("<|endoftext|>", 0.0f, 1.0f, std::vector{word(" lost", 0.1f, 0.2f)}));
    first.segments.push_back(segment(" Hello world<|1.50|>", 0.1f, 1.5f,
                                     std::vector{word(" Hello", 0.1f, 0.6f), word("<|1.00|>", 1.0f, 1.0f),
                                                 word(" world", 0.7f, 1.5f), word("  ", 1.5f, 1.5f)}));
    engine::TranscriptionResult second;
    second.segments.push_back(segment(" Again.", 30.25f, 31.0f));
    engine::TranscriptionResult empty;

    const Transcript t = mapEngineResults({first, empty, second});
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t[0].text, "Hello world");
    EXPECT_EQ(t[0].startTime, double(0.1f));  // widened, not re-rounded
    EXPECT_EQ(t[0].endTime, 1.5);
    ASSERT_EQ(t[0].words.size(), 2);
    EXPECT_EQ(t[0].words[0], (WordTimestamp{"Hello", double(0.1f), double(0.6f)}));
    EXPECT_EQ(t[0].words[1], (WordTimestamp{"world", double(0.7f), 1.5}));
    EXPECT_EQ(t[1].text, "Again.");
    EXPECT_EQ(t[1].startTime, 30.25);
    EXPECT_TRUE(t[1].words.isEmpty());
    EXPECT_FALSE(t[0].id.isNull());
    EXPECT_NE(t[0].id, t[1].id);

    EXPECT_TRUE(mapEngineResults({}).isEmpty());
    // New identities on every mapping.
    EXPECT_NE(mapEngineResults({second})[0].id, mapEngineResults({second})[0].id);
}

TEST(TranscriptMapping, ProgressIsClampedAndNeedsADuration) {
    EXPECT_EQ(progressFraction(750, 600), 1.0);
    EXPECT_EQ(progressFraction(300, 600), 0.5);
    EXPECT_EQ(progressFraction(0, 600), 0.0);
    EXPECT_EQ(progressFraction(30, 0), std::nullopt);
}

TEST(TranscriptMapping, UpdateHandlerOwnsWhatItUses) {
    auto seen = std::make_shared<QStringList>();
    auto callbacks = std::make_unique<TranscriptionCallbacks>();
    callbacks->onLiveText = [seen](const QString& t) { seen->append("text:" + t); };
    callbacks->onPosition = [seen](double p) { seen->append("position:" + QString::number(p)); };
    callbacks->onProgress = [seen](double f) { seen->append("progress:" + QString::number(f)); };
    auto handler = makeUpdateHandler(*callbacks, 600);
    auto noDuration = makeUpdateHandler(*callbacks, 0);
    callbacks.reset();  // the call that built the handlers is over

    handler("<|startoftranscript|><|en|> so the entropy", 750);
    noDuration("<|0.00|>", 30);
    EXPECT_EQ(*seen, (QStringList{"text:so the entropy", "position:750", "progress:1", "text:", "position:30"}));
}
