// Consolidation runs against local servers that speak the Anthropic Messages
// streaming format and Ollama's chat format, sending their bodies in awkward
// pieces.

#include "ConsolidationTestSupport.h"

#include "consolidation/HttpStream.h"

#include <QElapsedTimer>
#include <QJsonArray>

namespace lumenote::test {
namespace {

using Kind = ConsolidationError::Kind;

class ConsolidationServiceTest : public ConsolidationFixture {
protected:
    void SetUp() override {
        ConsolidationFixture::SetUp();
        service = makeService();
        QObject::connect(service.get(), &ConsolidationService::progressChanged, [this](double p) { progressValues.append(p); });
    }

    QCoro::Task<QString> consolidate(const Transcript& transcript, const QString& title = QStringLiteral("Thermodynamics"),
                                     CancellationToken cancel = {}) {
        return service->consolidate(transcript, title, [this](const QString& s) { statuses.append(s); }, cancel);
    }

    void useOllama(const QString& model = QStringLiteral("llama3.1:8b")) {
        Settings::shared().setConsolidationProvider(ConsolidationProvider::Ollama);
        Settings::shared().setConsolidationOllamaEndpoint(server.urlString());
        if (!model.isEmpty()) Settings::shared().setConsolidationOllamaModel(model);
    }

    QJsonObject requestJson(int index = 0) const {
        return QJsonDocument::fromJson(server.requests().value(index).body).object();
    }

    std::unique_ptr<ConsolidationService> service;
    QList<double> progressValues;
    QStringList statuses;
};

TEST_F(ConsolidationServiceTest, ClaudeStreamDeliveredOneByteAtATimeBecomesTrimmedNotes) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream().pieces(claudeEventStream({"\n\n## Entropy", "\n\n- Heat flows", " from hot to cold", "\n\n## Key Takeaways\n\n"}), 1, 0);
    });
    const Transcript transcript = transcriptOf({"Today we talk about entropy.", "Heat flows from hot to cold."});

    const QString notes = await(consolidate(transcript));

    EXPECT_EQ(notes, "## Entropy\n\n- Heat flows from hot to cold\n\n## Key Takeaways");
    EXPECT_EQ(statuses, (QStringList{"Consolidation: starting with Claude API…", "Consolidation: streaming from Claude claude-sonnet-4-5…",
                                     "Consolidation: done — 3 lines generated."}));
    EXPECT_EQ(service->statusText(), "Consolidation complete");
    EXPECT_DOUBLE_EQ(service->progress(), 1.0);
    ASSERT_GE(progressValues.size(), 3);
    EXPECT_DOUBLE_EQ(progressValues.front(), 0.05);
    EXPECT_DOUBLE_EQ(progressValues.back(), 1.0);
    for (qsizetype i = 1; i + 1 < progressValues.size(); ++i) {
        EXPECT_GT(progressValues[i], progressValues[i - 1]);
        EXPECT_LE(progressValues[i], 0.95);
    }

    ASSERT_EQ(server.requests().size(), 1);
    const HttpRequest& request = server.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/messages");
    EXPECT_TRUE(request.header("x-api-key") == kTestAPIKey.toUtf8()) << "the stored key is not sent as x-api-key";
    EXPECT_EQ(request.header("anthropic-version"), "2023-06-01");
    EXPECT_EQ(request.header("content-type"), "application/json");
    const QJsonObject body = requestJson();
    EXPECT_EQ(body.value("model").toString(), "claude-sonnet-4-5");
    EXPECT_EQ(body.value("max_tokens").toInt(), 8192);
    EXPECT_EQ(body.value("stream"), QJsonValue(true));
    EXPECT_EQ(body.value("system").toString(), kDefaultConsolidationPrompt);
    EXPECT_EQ(body.value("messages").toArray(),
              (QJsonArray{QJsonObject{{"role", "user"},
                                      {"content", "Here is the transcript from a lecture titled \"Thermodynamics\":\n\n"
                                                  "Today we talk about entropy. Heat flows from hot to cold."}}}));
}

TEST_F(ConsolidationServiceTest, ClaudeLinesSplitMidWayAndManyLinesInOnePieceWithAStall) {
    storeKey();
    Settings::shared().setConsolidationClaudeModel("claude-haiku-4-5");
    Settings::shared().setConsolidationPrompt("Be brief.");
    const QByteArray body = claudeEventStream({"Alpha ", "beta ", "gamma"});
    // Cut in the middle of a data line, then everything else in one go after a stall.
    const qsizetype cut = body.indexOf("Alpha") + 2;
    server.route("POST", "/v1/messages", [&](const HttpRequest&) {
        return eventStream().piece(body.left(cut)).stall(150).piece(body.mid(cut, 7)).piece(body.mid(cut + 7), 50);
    });

    EXPECT_EQ(await(consolidate(transcriptOf({"x"}))), "Alpha beta gamma");
    EXPECT_EQ(statuses.value(1), "Consolidation: streaming from Claude claude-haiku-4-5…");
    EXPECT_EQ(requestJson().value("model").toString(), "claude-haiku-4-5");
    EXPECT_EQ(requestJson().value("system").toString(), "Be brief.");
}

TEST_F(ConsolidationServiceTest, PiecesAreHandledAsTheyArriveAndCancellingClosesTheConnection) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream().piece(claudeEventStream({}).left(200)).piece(claudeDelta("First part")).stall(20000).piece(claudeDelta(" never"));
    });
    CancellationToken cancel;
    auto run = startInBackground(consolidate(transcriptOf({"x"}), "T", cancel));

    // The first piece moves the progress while the server still holds the rest back.
    ASSERT_TRUE(spinUntil([&] { return service->progress() > 0.05; }, 5000));
    EXPECT_FALSE(run->done);
    EXPECT_EQ(server.openConnectionCount(), 1);

    QElapsedTimer clock;
    clock.start();
    cancel.cancel();
    ASSERT_TRUE(spinUntil([&] { return run->done; }, 2000));
    EXPECT_LT(clock.elapsed(), 1000);
    auto error = errorAs<ConsolidationError>(run->error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::Cancelled);
    // The request really stopped: the server sees its connection closed.
    EXPECT_TRUE(spinUntil([&] { return server.openConnectionCount() == 0; }, 2000));
    // A failed run leaves the state as it was.
    EXPECT_EQ(service->statusText(), "Consolidating transcript…");
    EXPECT_LT(service->progress(), 0.95);
    EXPECT_EQ(statuses.size(), 2);
}

TEST_F(ConsolidationServiceTest, CancelledBeforeStartSendsNothing) {
    storeKey();
    CancellationToken cancel;
    cancel.cancel();
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"}), "T", cancel));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::Cancelled);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ConsolidationServiceTest, DestroyingTheServiceEndsARunningConsolidation) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream().piece(claudeDelta("Some")).stall(20000).piece(claudeDelta(" more"));
    });
    auto run = startInBackground(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(spinUntil([&] { return service->progress() > 0.05; }, 5000));
    service.reset();
    ASSERT_TRUE(run->done);
    auto error = errorAs<ConsolidationError>(run->error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::Cancelled);
    EXPECT_TRUE(spinUntil([&] { return server.openConnectionCount() == 0; }, 2000));
}

TEST_F(ConsolidationServiceTest, ClaudeDoneMarkerEndsReadingEvenWhileTheServerKeepsSending) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream()
            .piece(claudeDelta("Kept.") + "data: [DONE]\n\n" + claudeDelta(" Dropped in the same read."))
            .stall(20000)
            .piece(claudeDelta(" Never sent."));
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(await(consolidate(transcriptOf({"x"}))), "Kept.");
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(statuses.value(2), "Consolidation: done — 1 lines generated.");
}

TEST_F(ConsolidationServiceTest, ClaudeErrorStatusCarriesCodeAndBodyLinesJoined) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return HttpResponse::json(401, "{\"type\":\"error\",\n\"error\":{\"type\":\"authentication_error\",\r\n\"message\":\"invalid x-api-key\"}}\n");
    });
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::ApiError);
    EXPECT_EQ(error->description(),
              "Claude API returned 401: {\"type\":\"error\",\"error\":{\"type\":\"authentication_error\",\"message\":\"invalid x-api-key\"}}");
    EXPECT_FALSE(error->description().contains(kTestAPIKey));

    // An overloaded server answers 529 with a body sent in pieces.
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return HttpResponse(529).header("Content-Type", "application/json").pieces(
            "{\"type\":\"error\",\"error\":{\"type\":\"overloaded_error\",\"message\":\"Overloaded\"}}", 5, 0);
    });
    error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(), "Claude API returned 529: {\"type\":\"error\",\"error\":{\"type\":\"overloaded_error\",\"message\":\"Overloaded\"}}");
}

TEST_F(ConsolidationServiceTest, ClaudeStreamWithoutTextIsAnUnexpectedResponse) {
    storeKey();
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream().pieces(
            "event: message_start\ndata: {\"type\":\"message_start\",\"message\":{}}\n\nevent: ping\ndata: {\"type\": \"ping\"}\n\n"
            "event: error\ndata: {\"type\":\"error\",\"error\":{\"type\":\"overloaded_error\",\"message\":\"Overloaded\"}}\n\n",
            9, 0);
    });
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::UnexpectedResponse);
    EXPECT_EQ(error->description(), "The LLM returned an unrecognisable response format.");
}

TEST_F(ConsolidationServiceTest, EmptyTranscriptFailsBeforeAnythingElse) {
    // No key is stored: the transcript check comes first.
    for (const Transcript& empty : {Transcript{}, transcriptOf({""})}) {
        auto error = awaitError<ConsolidationError>(consolidate(empty));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), Kind::EmptyTranscript);
        EXPECT_EQ(error->description(), "The transcript is empty — nothing to consolidate.");
    }
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_TRUE(service->statusText().isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ConsolidationServiceTest, MissingKeyFailsWithoutARequest) {
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::MissingAPIKey);
    EXPECT_EQ(error->description(), "No Claude API key found. Add your key in Settings → Consolidation.");
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(statuses, QStringList{"Consolidation: starting with Claude API…"});
    EXPECT_EQ(service->statusText(), "Consolidating transcript…");

    storeKey("");
    error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::MissingAPIKey);
}

TEST_F(ConsolidationServiceTest, AnthropicHostIsReadAtCallTime) {
    storeKey();
    TestHttpServer other;
    other.route("POST", "/v1/messages", [](const HttpRequest&) { return eventStream().body(claudeEventStream({"From the other host."})); });
    qputenv("LUMENOTE_ANTHROPIC_URL", (other.urlString() + "/").toUtf8());
    EXPECT_EQ(await(consolidate(transcriptOf({"x"}))), "From the other host.");
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(other.requestCount("/v1/messages"), 1);
}

TEST_F(ConsolidationServiceTest, OllamaNdjsonInAwkwardPiecesStopsAtDone) {
    useOllama();
    Settings::shared().setConsolidationOllamaEndpoint(server.urlString() + "  \n");  // trimmed
    const QByteArray splitLines = ollamaLine("\n\n## Entropy") + "this line is not JSON\n" + ollamaLine("\n\n- Heat");
    const QByteArray severalLines = ollamaLine(" flows") + "{\"done\":false}\n" + ollamaLine("\n\n- Cold stays cold\n\n  ");
    const QByteArray doneAndMore = ollamaLine("", true) + ollamaLine(" AFTER DONE");
    server.route("POST", "/api/chat", [&](const HttpRequest&) {
        // Seven-byte pieces split every line; then several lines in one read; then the
        // final line with more behind it, and the server keeps the connection open.
        return ndjsonStream().pieces(splitLines, 7, 0).piece(severalLines).piece(doneAndMore).stall(20000);
    });

    const QString notes = await(consolidate(transcriptOf({"Entropy", "and heat."}), "Physics 2"));

    EXPECT_EQ(notes, "## Entropy\n\n- Heat flows\n\n- Cold stays cold");
    EXPECT_EQ(statuses, (QStringList{"Consolidation: starting with Ollama (Local)…", "Consolidation: streaming from Ollama (llama3.1:8b)…",
                                     "Consolidation: done — 3 lines generated."}));
    const HttpRequest& request = server.requests().front();
    EXPECT_EQ(request.path, "/api/chat");
    EXPECT_EQ(request.header("content-type"), "application/json");
    EXPECT_TRUE(request.header("x-api-key").isEmpty());
    const QJsonObject json = requestJson();
    EXPECT_EQ(json.value("model").toString(), "llama3.1:8b");
    EXPECT_EQ(json.value("stream"), QJsonValue(true));
    EXPECT_EQ(json.value("messages").toArray(),
              (QJsonArray{QJsonObject{{"role", "system"}, {"content", kDefaultConsolidationPrompt}},
                          QJsonObject{{"role", "user"}, {"content", "Here is the transcript from a lecture titled \"Physics 2\":\n\nEntropy and heat."}}}));
}

TEST_F(ConsolidationServiceTest, ProgressFollowsTheExpectedReplyLength) {
    useOllama();
    struct Case {
        qsizetype transcriptLength;
        qsizetype pieceLength;
        QList<double> expected;
    };
    // 500 characters: the floor of 200 applies, so 100 received is 0.5. 10,000: about
    // 3,000 expected. The third piece would pass 0.95, so no change is reported for it.
    // The second run starts again from 0.
    for (const Case& c : {Case{500, 100, {0.05, 0.5, 0.95, 1.0}}, Case{10000, 1500, {0.0, 0.05, 0.5, 0.95, 1.0}}}) {
        const QString piece(c.pieceLength, QLatin1Char('n'));
        server.route("POST", "/api/chat", [&](const HttpRequest&) { return ndjsonStream().body(ollamaStream({piece, piece, piece})); });
        progressValues.clear();
        const QString notes = await(consolidate(transcriptOf({QString(c.transcriptLength, QLatin1Char('t'))})));
        EXPECT_EQ(notes.size(), 3 * c.pieceLength);
        ASSERT_EQ(progressValues.size(), c.expected.size()) << "transcript of " << c.transcriptLength;
        for (qsizetype i = 0; i < c.expected.size(); ++i) EXPECT_NEAR(progressValues[i], c.expected[i], 1e-12) << i;
    }
}

TEST_F(ConsolidationServiceTest, OllamaSendsTwoEmptySegmentsAsOneSpace) {
    useOllama();
    server.route("POST", "/api/chat", [](const HttpRequest&) { return ndjsonStream().body(ollamaStream({"Nothing much."})); });
    EXPECT_EQ(await(consolidate(transcriptOf({"", ""}), "Silence")), "Nothing much.");
    EXPECT_EQ(requestJson().value("messages").toArray().at(1).toObject().value("content").toString(),
              "Here is the transcript from a lecture titled \"Silence\":\n\n ");
}

TEST_F(ConsolidationServiceTest, OllamaUnknownModelIsAnApiError) {
    useOllama("llama9");
    server.route("POST", "/api/chat", [](const HttpRequest&) {
        return HttpResponse::json(404, "{\"error\":\"model \\\"llama9\\\" not found, try pulling it first\"}");
    });
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::ApiError);
    EXPECT_EQ(error->description(), "Ollama returned 404: {\"error\":\"model \\\"llama9\\\" not found, try pulling it first\"}");
}

TEST_F(ConsolidationServiceTest, OllamaModelAndEndpointAreCheckedBeforeAnyTraffic) {
    useOllama("");
    Settings::shared().setConsolidationOllamaEndpoint("not a url");
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::MissingOllamaModel);
    EXPECT_EQ(error->description(), "No Ollama model selected. Choose a model in Settings → Consolidation.");

    Settings::shared().setConsolidationOllamaModel("llama3.1:8b");
    error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::InvalidOllamaEndpoint);
    EXPECT_EQ(error->description(), "The Ollama endpoint URL is invalid.");
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ConsolidationServiceTest, OllamaStreamWithoutContentIsAnUnexpectedResponse) {
    useOllama();
    server.route("POST", "/api/chat", [](const HttpRequest&) { return ndjsonStream().body("{\"done\":true}\nnot json\n"); });
    auto error = awaitError<ConsolidationError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::UnexpectedResponse);
}

TEST_F(ConsolidationServiceTest, TransportFailuresArriveUnwrapped) {
    useOllama();
    Settings::shared().setConsolidationOllamaEndpoint(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    auto unreachable = awaitError<DomainError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(unreachable);
    EXPECT_EQ(unreachable->domain(), kNetworkErrorDomain);
    EXPECT_FALSE(unreachable->description().isEmpty());
    EXPECT_EQ(service->statusText(), "Consolidating transcript…");

    // A Claude stream that stalls longer than the time-out.
    Settings::shared().setConsolidationProvider(ConsolidationProvider::Claude);
    storeKey();
    service = makeService({.claudeTimeout = std::chrono::milliseconds(300)});
    server.route("POST", "/v1/messages", [](const HttpRequest&) {
        return eventStream().piece(claudeDelta("Started")).stall(20000).piece(claudeDelta(" late"));
    });
    QElapsedTimer clock;
    clock.start();
    auto stalled = awaitError<DomainError>(consolidate(transcriptOf({"x"})));
    ASSERT_TRUE(stalled);
    EXPECT_EQ(stalled->description(), "The request timed out.");
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(ConsolidationServiceTest, ModelIDStoredWithTheNotesFollowsTheProvider) {
    EXPECT_EQ(ConsolidationService::currentModelID(), QString("claude/claude-sonnet-4-5"));
    Settings::shared().setConsolidationClaudeModel("claude-haiku-4-5");
    EXPECT_EQ(ConsolidationService::currentModelID(), QString("claude/claude-haiku-4-5"));
    useOllama("");
    EXPECT_EQ(ConsolidationService::currentModelID(), std::nullopt);
    useOllama("qwen2.5:7b");
    EXPECT_EQ(ConsolidationService::currentModelID(), QString("ollama/qwen2.5:7b"));
}

}  // namespace
}  // namespace lumenote::test
