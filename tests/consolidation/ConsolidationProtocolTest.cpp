// The pure rules: texts sent to the model, stream-line reading, progress,
// result summary, addresses, model names and the key mask.

#include "ConsolidationTestSupport.h"

#include "consolidation/ConsolidationProtocol.h"
#include "consolidation/ConsolidationSettings.h"
#include "consolidation/HttpStream.h"
#include "consolidation/ModelCatalogue.h"
#include "core/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace lumenote {
namespace {

using namespace consolidation;

TEST(ConsolidationTextTest, DefaultPromptIsTheBuiltInText) {
    EXPECT_EQ(kDefaultConsolidationPrompt.size(), 936);
    EXPECT_TRUE(kDefaultConsolidationPrompt.startsWith("You are an expert academic note-taker."));
    EXPECT_TRUE(kDefaultConsolidationPrompt.endsWith("Output ONLY the Markdown document, with no preamble or postscript."));
}

TEST(ConsolidationTextTest, CharactersAreCountedAsCodePoints) {
    EXPECT_EQ(characterCount(u"abc"), 3);
    EXPECT_EQ(characterCount(QString::fromUtf8("é→😀")), 3);
}

TEST(ConsolidationProgressTest, FloorOf200CharactersAndEstimateOf30Percent) {
    // 500 characters: 30 % would be 150, so the floor of 200 applies.
    EXPECT_DOUBLE_EQ(streamingProgress(500, 0), 0.05);
    EXPECT_DOUBLE_EQ(streamingProgress(500, 100), 0.5);
    // 10,000 characters: about 3,000 expected.
    EXPECT_DOUBLE_EQ(streamingProgress(10000, 1500), 0.5);
    EXPECT_DOUBLE_EQ(streamingProgress(10000, 3000), 0.95);
    // Longer replies than expected never pass 0.95.
    EXPECT_DOUBLE_EQ(streamingProgress(10000, 30000), 0.95);
    EXPECT_DOUBLE_EQ(streamingProgress(0, 1000), 0.95);
}

TEST(ConsolidationStreamLineTest, ClaudeTakesOnlyDataLinesWithDeltaText) {
    EXPECT_EQ(parseClaudeLine(R"(data: {"type":"content_block_delta","index":0,"delta":{"type":"text_delta","text":"## Entropy"}})").text,
              QString("## Entropy"));
    // The event type is not examined: any payload with delta.text counts.
    EXPECT_EQ(parseClaudeLine(R"(data: {"type":"something_new","delta":{"text":"x"}})").text, QString("x"));

    for (const char* ignored : {
             "event: content_block_delta",
             "",
             R"(data: {"type": "ping"})",
             R"(data: {"type":"message_delta","delta":{"stop_reason":"end_turn","stop_sequence":null}})",
             R"(data: {"type":"content_block_delta","delta":{"type":"text_delta","text":""}})",
             R"(data: {"type":"content_block_delta","delta":{"text":42}})",
             R"(data: {"type":"content_block_delta","delta":"text"})",
             R"(data:{"delta":{"text":"no space after the colon"}})",
             R"(data: {"delta":{"text":"cut off)",
             "data: not json",
             R"(data: {"type":"message_stop"})",
         }) {
        const StreamLine line = parseClaudeLine(QByteArray(ignored));
        EXPECT_FALSE(line.text.has_value()) << ignored;
        EXPECT_FALSE(line.endOfStream) << ignored;
    }
    EXPECT_TRUE(parseClaudeLine("data: [DONE]").endOfStream);
    EXPECT_FALSE(parseClaudeLine("data: [DONE] ").endOfStream);
}

TEST(ConsolidationStreamLineTest, OllamaTakesMessageContentAndStopsAtDone) {
    StreamLine piece = parseOllamaLine(R"({"model":"m","message":{"role":"assistant","content":"## Entropy"},"done":false})");
    EXPECT_EQ(piece.text, QString("## Entropy"));
    EXPECT_FALSE(piece.endOfStream);

    // The final line: empty content that still counts, and the end.
    piece = parseOllamaLine(R"({"model":"m","message":{"role":"assistant","content":""},"done":true,"done_reason":"stop"})");
    ASSERT_TRUE(piece.text.has_value());
    EXPECT_TRUE(piece.text->isEmpty());
    EXPECT_TRUE(piece.endOfStream);

    // "done" only ends the stream on a line that carries message.content.
    EXPECT_FALSE(parseOllamaLine(R"({"done":true})").endOfStream);
    EXPECT_FALSE(parseOllamaLine(R"({"message":{"content":"x"},"done":"true"})").endOfStream);
    for (const char* skipped : {"garbage", "", "[1,2]", R"({"message":"x"})", R"({"message":{"content":7}})",
                                R"({"error":"model \"llama9\" not found, try pulling it first"})"})
        EXPECT_FALSE(parseOllamaLine(QByteArray(skipped)).text.has_value()) << skipped;
}

TEST(ConsolidationStreamLineTest, LineBufferReassemblesLinesHoweverTheBytesAreCut) {
    const QByteArray body = "event: ping\r\ndata: {\"a\":1}\n\ndata: [DONE]\nlast line without break";
    QList<QByteArray> whole;
    LineBuffer all;
    whole = all.append(body);
    const QByteArray wholeRest = all.takeRest();

    for (int pieceSize : {1, 2, 5, 13}) {
        LineBuffer buffer;
        QList<QByteArray> lines;
        for (qsizetype i = 0; i < body.size(); i += pieceSize) lines += buffer.append(body.mid(i, pieceSize));
        EXPECT_EQ(lines, whole) << "pieces of " << pieceSize;
        EXPECT_EQ(buffer.takeRest(), wholeRest);
    }
    EXPECT_EQ(whole, (QList<QByteArray>{"event: ping", "data: {\"a\":1}", "", "data: [DONE]"}));
    EXPECT_EQ(wholeRest, "last line without break");
}

TEST(ConsolidationResultTest, ErrorBodyLinesJoinAndResultLinesCount) {
    EXPECT_EQ(joinedBodyLines("{\"type\":\"error\",\r\n\"error\":{}}\n"), "{\"type\":\"error\",\"error\":{}}");
    // Three paragraphs separated by blank lines are three lines.
    EXPECT_EQ(countNonEmptyLines("## A\n\nFirst.\n\nSecond."), 3);
    EXPECT_EQ(countNonEmptyLines("one"), 1);
    EXPECT_EQ(countNonEmptyLines(""), 0);
}

TEST(ConsolidationAddressTest, EndpointIsTrimmedAndMustBeAnHttpAddress) {
    EXPECT_EQ(parseEndpoint(" http://localhost:11434 \n"), QUrl("http://localhost:11434"));
    EXPECT_TRUE(parseEndpoint("https://gpu-box.lan/ollama").has_value());
    for (const char* bad : {"", "   ", "not a url", "localhost:11434", "http://", "ftp://host/", "http://exa mple.com"})
        EXPECT_FALSE(parseEndpoint(bad).has_value()) << bad;

    EXPECT_EQ(appendingPath(QUrl("http://localhost:11434"), "api/chat").toString(), "http://localhost:11434/api/chat");
    EXPECT_EQ(appendingPath(QUrl("http://localhost:11434/"), "api/tags").toString(), "http://localhost:11434/api/tags");
    EXPECT_EQ(appendingPath(QUrl("https://gpu-box.lan/ollama"), "api/chat").toString(), "https://gpu-box.lan/ollama/api/chat");

    qunsetenv("LUMENOTE_ANTHROPIC_URL");
    EXPECT_EQ(anthropicBaseURL(), QUrl("https://api.anthropic.com"));
}

TEST(ModelCatalogueTest, DisplayNames) {
    EXPECT_EQ(modelDisplayName("claude/claude-opus-4-1-20250805"), "Claude · Opus 4 1");
    EXPECT_EQ(modelDisplayName("claude/claude-sonnet-4-5"), "Claude · Claude Sonnet 4.5 (Recommended)");
    EXPECT_EQ(modelDisplayName("claude/claude-3-5-haiku-20241022"), "Claude · Claude 3.5 Haiku");
    EXPECT_EQ(modelDisplayName("claude/claude-haiku-4-5-20251001"), "Claude · Haiku 4 5");
    // Only an eight-digit date suffix is dropped; pieces keep their own case after the first letter.
    EXPECT_EQ(modelDisplayName("claude/claude-instant-1.2"), "Claude · Instant 1.2");
    EXPECT_EQ(modelDisplayName("claude/my--custom-mODEL-2024"), "Claude · My Custom MODEL 2024");
    EXPECT_EQ(modelDisplayName("ollama/llama3.1:8b"), "Ollama · llama3.1:8b");
    EXPECT_EQ(modelDisplayName("ollama/library/qwen2.5:7b"), "Ollama · library/qwen2.5:7b");
    EXPECT_EQ(modelDisplayName("openai/gpt-x"), "openai · gpt-x");
    for (const char* unchanged : {"claude-sonnet-4-5", "", "/model", "claude/"}) EXPECT_EQ(modelDisplayName(unchanged), unchanged);
}

TEST(ModelCatalogueTest, BuiltInCatalogueIsShownUntilAListIsFetched) {
    const auto& builtIn = builtInClaudeModels();
    ASSERT_EQ(builtIn.size(), 6);
    EXPECT_EQ(builtIn.front(), (ClaudeModel{"claude-sonnet-4-5", "Claude Sonnet 4.5 (Recommended)"}));
    EXPECT_EQ(builtIn.front().id, kDefaultClaudeModel);
    EXPECT_EQ(builtIn.back(), (ClaudeModel{"claude-3-opus-20240229", "Claude 3 Opus"}));
    EXPECT_EQ(claudeModelsToShow({}), builtIn);
    const QList<ClaudeModel> fetched{{"claude-x", "Claude X"}};
    EXPECT_EQ(claudeModelsToShow(fetched), fetched);
}

TEST(ModelCatalogueTest, ReplacementPrefersTheFirstSonnet) {
    const QList<ClaudeModel> offered{{"claude-haiku-4-5-20251001", "Haiku"}, {"claude-Sonnet-4-5-20250929", "Sonnet"}, {"claude-sonnet-4-6", "Sonnet 4.6"}};
    EXPECT_EQ(replacementClaudeModel("claude-sonnet-4-5", offered), QString("claude-Sonnet-4-5-20250929"));
    EXPECT_EQ(replacementClaudeModel("claude-sonnet-4-6", offered), std::nullopt);
    EXPECT_EQ(replacementClaudeModel("claude-sonnet-4-5", {{"claude-haiku-4-5", "H"}, {"claude-opus-4-1", "O"}}), QString("claude-haiku-4-5"));
    EXPECT_EQ(replacementClaudeModel("claude-sonnet-4-5", {}), std::nullopt);
}

TEST(ModelCatalogueTest, ParsesDiscoveryResponses) {
    auto tags = parseOllamaTags(R"({"models":[{"name":"llama3.1:8b","size":1},{"model":"nameless"},{"name":"qwen2.5:7b"}]})");
    ASSERT_TRUE(std::holds_alternative<QStringList>(tags));
    EXPECT_EQ(std::get<QStringList>(tags), (QStringList{"llama3.1:8b", "qwen2.5:7b"}));
    for (const char* bad : {"", "404 page not found", "[]", R"({"models":{}})", R"({"error":"x"})"})
        EXPECT_EQ(std::get<QString>(parseOllamaTags(bad)), "Unexpected response from Ollama.") << bad;

    auto models = parseClaudeModels(
        R"({"data":[{"type":"model","id":"claude-sonnet-4-5-20250929","display_name":"Claude Sonnet 4.5"},{"id":"no-name"},)"
        R"({"type":"model","id":"claude-haiku-4-5-20251001","display_name":"Claude Haiku 4.5"}],"has_more":false})");
    ASSERT_TRUE((std::holds_alternative<QList<ClaudeModel>>(models)));
    EXPECT_EQ(std::get<QList<ClaudeModel>>(models),
              (QList<ClaudeModel>{{"claude-sonnet-4-5-20250929", "Claude Sonnet 4.5"}, {"claude-haiku-4-5-20251001", "Claude Haiku 4.5"}}));
    for (const char* bad : {"", "[]", R"({"models":[]})", R"({"data":{}})"})
        EXPECT_EQ(std::get<QString>(parseClaudeModels(bad)), "Unexpected response format from Anthropic.") << bad;
}

TEST(ConsolidationSettingsTest, KeyMaskHasOneDotPerCharacterUpToThirtyTwo) {
    EXPECT_EQ(apiKeyMask(""), "");
    EXPECT_EQ(apiKeyMask("sk-ab"), QString(5, QChar(0x2022)));
    EXPECT_EQ(apiKeyMask(QString(32, 'k')), QString(32, QChar(0x2022)));
    EXPECT_EQ(apiKeyMask(QString(108, 'k')), QString(32, QChar(0x2022)));
}

}  // namespace
}  // namespace lumenote
