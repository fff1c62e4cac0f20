// Model discovery against local servers speaking Ollama's tags format and the
// Anthropic models list.

#include "ConsolidationTestSupport.h"

namespace lumenote::test {
namespace {

const QByteArray kTags =
    R"({"models":[{"name":"llama3.1:8b","model":"llama3.1:8b","modified_at":"2025-01-02T10:00:00Z","size":4920753328,"digest":"46e0c10c039e",)"
    R"("details":{"format":"gguf","family":"llama","parameter_size":"8.0B","quantization_level":"Q4_K_M"}},)"
    R"({"name":"qwen2.5:7b","model":"qwen2.5:7b","modified_at":"2025-01-03T10:00:00Z","size":4683087332,"digest":"845dbda0ea48"}]})";

const QByteArray kModels =
    R"({"data":[{"type":"model","id":"claude-haiku-4-5-20251001","display_name":"Claude Haiku 4.5","created_at":"2025-10-01T00:00:00Z"},)"
    R"({"type":"model","id":"claude-sonnet-4-5-20250929","display_name":"Claude Sonnet 4.5","created_at":"2025-09-29T00:00:00Z"}],)"
    R"("has_more":false,"first_id":"claude-haiku-4-5-20251001","last_id":"claude-sonnet-4-5-20250929"})";

class ModelDiscoveryTest : public ConsolidationFixture {
protected:
    void SetUp() override {
        ConsolidationFixture::SetUp();
        service = makeService();
        QObject::connect(service.get(), &ConsolidationService::isFetchingOllamaModelsChanged, [this](bool f) { ollamaFlags.append(f); });
        QObject::connect(service.get(), &ConsolidationService::isFetchingClaudeModelsChanged, [this](bool f) { claudeFlags.append(f); });
        Settings::shared().setConsolidationOllamaEndpoint(server.urlString());
    }

    std::unique_ptr<ConsolidationService> service;
    QList<bool> ollamaFlags;
    QList<bool> claudeFlags;
};

TEST_F(ModelDiscoveryTest, OllamaModelsAreListedAndTheFirstIsChosenWhenNoneIsStored) {
    Settings::shared().setConsolidationOllamaEndpoint(server.urlString() + " \n");
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse::json(200, kTags); });

    await(service->fetchOllamaModels());

    EXPECT_EQ(service->availableOllamaModels(), (QStringList{"llama3.1:8b", "qwen2.5:7b"}));
    EXPECT_EQ(service->ollamaFetchError(), std::nullopt);
    EXPECT_EQ(ollamaFlags, (QList<bool>{true, false}));
    EXPECT_EQ(Settings::shared().consolidationOllamaModel(), "llama3.1:8b");
    EXPECT_EQ(server.requestCount("/api/tags"), 1);

    // A stored choice stays, even one the server does not list.
    Settings::shared().setConsolidationOllamaModel("mistral:7b");
    await(service->fetchOllamaModels());
    EXPECT_EQ(Settings::shared().consolidationOllamaModel(), "mistral:7b");
}

TEST_F(ModelDiscoveryTest, OllamaWithoutModelsSaysSo) {
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse(200).header("Content-Type", "application/json").pieces(R"({"models":[]})", 1, 0); });
    await(service->fetchOllamaModels());
    EXPECT_TRUE(service->availableOllamaModels().isEmpty());
    EXPECT_EQ(service->ollamaFetchError(), QString("Ollama is running but has no models installed."));
    EXPECT_FALSE(service->isFetchingOllamaModels());
    EXPECT_TRUE(Settings::shared().consolidationOllamaModel().isEmpty());
}

TEST_F(ModelDiscoveryTest, OllamaFailuresEndInTheirTexts) {
    // Anything but a tag list, whatever the status.
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse::text(404, "404 page not found"); });
    await(service->fetchOllamaModels());
    EXPECT_EQ(service->ollamaFetchError(), QString("Unexpected response from Ollama."));

    // An earlier list stays when a later fetch fails.
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse::json(200, kTags); });
    await(service->fetchOllamaModels());
    ASSERT_EQ(service->availableOllamaModels().size(), 2);

    const QString unreachable = QStringLiteral("http://127.0.0.1:%1").arg(closedPort());
    Settings::shared().setConsolidationOllamaEndpoint(unreachable);
    await(service->fetchOllamaModels());
    EXPECT_EQ(service->ollamaFetchError(), "Could not reach Ollama at " + unreachable + ". Is it running?");
    EXPECT_EQ(service->availableOllamaModels().size(), 2);

    // A server that accepts the connection but never answers in time.
    service = makeService({.ollamaTagsTimeout = std::chrono::milliseconds(200)});
    Settings::shared().setConsolidationOllamaEndpoint(server.urlString());
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse(200).stall(10000).piece(kTags); });
    await(service->fetchOllamaModels());
    EXPECT_EQ(service->ollamaFetchError(), "Could not reach Ollama at " + server.urlString() + ". Is it running?");
    EXPECT_FALSE(service->isFetchingOllamaModels());

    ollamaFlags.clear();
    QObject::connect(service.get(), &ConsolidationService::isFetchingOllamaModelsChanged, [this](bool f) { ollamaFlags.append(f); });
    Settings::shared().setConsolidationOllamaEndpoint("localhost:11434");
    await(service->fetchOllamaModels());
    EXPECT_EQ(service->ollamaFetchError(), QString("Invalid Ollama endpoint URL."));
    EXPECT_TRUE(ollamaFlags.isEmpty()) << "the fetching flag is not raised for a bad address";
}

TEST_F(ModelDiscoveryTest, AnOllamaFetchOvertakenByALaterOneChangesNothing) {
    // The address is edited while the first fetch still waits for an answer:
    // the second fetch's list stands, whenever the first one's failure arrives.
    server.route("GET", "/stalled/api/tags", [](const HttpRequest&) { return HttpResponse(200).stall(400).piece("not a tag list"); });
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse::json(200, kTags); });
    Settings::shared().setConsolidationOllamaEndpoint(server.urlString() + "/stalled");
    QCoro::Task<> first = service->fetchOllamaModels();
    Settings::shared().setConsolidationOllamaEndpoint(server.urlString());
    await(service->fetchOllamaModels());
    await(std::move(first));

    EXPECT_EQ(server.requestCount("/stalled/api/tags"), 1);
    EXPECT_EQ(service->availableOllamaModels().size(), 2);
    EXPECT_EQ(service->ollamaFetchError(), std::nullopt);
    EXPECT_FALSE(service->isFetchingOllamaModels());
}

TEST_F(ModelDiscoveryTest, WithoutAKeyTheClaudeListStaysEmptyAndTheCatalogueIsShown) {
    await(service->fetchClaudeModels());
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_TRUE(service->availableClaudeModels().isEmpty());
    EXPECT_TRUE(claudeFlags.isEmpty());
    EXPECT_EQ(service->claudeModelsShown(), builtInClaudeModels());
}

TEST_F(ModelDiscoveryTest, FetchedClaudeModelsReplaceAStoredModelTheAccountNoLongerOffers) {
    storeKey();
    server.route("GET", "/v1/models", [](const HttpRequest&) { return HttpResponse::json(200, kModels); });

    await(service->fetchClaudeModels());

    const QList<ClaudeModel> expected{{"claude-haiku-4-5-20251001", "Claude Haiku 4.5"}, {"claude-sonnet-4-5-20250929", "Claude Sonnet 4.5"}};
    EXPECT_EQ(service->availableClaudeModels(), expected);
    EXPECT_EQ(service->claudeModelsShown(), expected);
    EXPECT_EQ(service->claudeFetchError(), std::nullopt);
    EXPECT_EQ(claudeFlags, (QList<bool>{true, false}));
    // The default "claude-sonnet-4-5" is not offered: the first sonnet replaces it.
    EXPECT_EQ(Settings::shared().consolidationClaudeModel(), "claude-sonnet-4-5-20250929");

    ASSERT_EQ(server.requests().size(), 1);
    const HttpRequest& request = server.requests().front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/v1/models");
    EXPECT_TRUE(request.header("x-api-key") == kTestAPIKey.toUtf8()) << "the stored key is not sent as x-api-key";
    EXPECT_EQ(request.header("anthropic-version"), "2023-06-01");

    // An offered choice stays; with no sonnet at all the first model is taken.
    Settings::shared().setConsolidationClaudeModel("claude-haiku-4-5-20251001");
    await(service->fetchClaudeModels());
    EXPECT_EQ(Settings::shared().consolidationClaudeModel(), "claude-haiku-4-5-20251001");
    server.route("GET", "/v1/models", [](const HttpRequest&) {
        return HttpResponse::json(200, R"({"data":[{"id":"claude-opus-4-1-20250805","display_name":"Claude Opus 4.1"},)"
                                       R"({"id":"claude-haiku-4-5-20251001","display_name":"Claude Haiku 4.5"}]})");
    });
    Settings::shared().setConsolidationClaudeModel("claude-3-opus-20240229");
    await(service->fetchClaudeModels());
    EXPECT_EQ(Settings::shared().consolidationClaudeModel(), "claude-opus-4-1-20250805");
}

TEST_F(ModelDiscoveryTest, ClaudeFailuresEndInTheirTexts) {
    storeKey();
    server.route("GET", "/v1/models", [](const HttpRequest&) {
        return HttpResponse::json(401, R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key"}})");
    });
    await(service->fetchClaudeModels());
    EXPECT_EQ(service->claudeFetchError(),
              QString(R"(Anthropic API returned 401: {"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key"}})"));
    EXPECT_FALSE(service->isFetchingClaudeModels());

    server.route("GET", "/v1/models", [](const HttpRequest&) { return HttpResponse::text(500, "\xff\xfe broken"); });
    await(service->fetchClaudeModels());
    EXPECT_EQ(service->claudeFetchError(), QString("Anthropic API returned 500: "));

    server.route("GET", "/v1/models", [](const HttpRequest&) { return HttpResponse::json(200, R"({"models":[]})"); });
    await(service->fetchClaudeModels());
    EXPECT_EQ(service->claudeFetchError(), QString("Unexpected response format from Anthropic."));

    server.route("GET", "/v1/models", [](const HttpRequest&) { return HttpResponse::json(200, R"({"data":[],"has_more":false})"); });
    await(service->fetchClaudeModels());
    EXPECT_EQ(service->claudeFetchError(), QString("No models returned by the API."));
    EXPECT_TRUE(service->availableClaudeModels().isEmpty());

    qputenv("LUMENOTE_ANTHROPIC_URL", QStringLiteral("http://127.0.0.1:%1").arg(closedPort()).toUtf8());
    await(service->fetchClaudeModels());
    ASSERT_TRUE(service->claudeFetchError());
    EXPECT_TRUE(service->claudeFetchError()->startsWith("Could not reach Anthropic API: ")) << service->claudeFetchError()->toStdString();
    EXPECT_GT(service->claudeFetchError()->size(), QString("Could not reach Anthropic API: ").size());
    EXPECT_FALSE(service->isFetchingClaudeModels());
    EXPECT_FALSE(service->claudeFetchError()->contains(kTestAPIKey));
}

TEST_F(ModelDiscoveryTest, CreatingTheServiceFetchesOllamaThenClaudeModels) {
    storeKey();
    server.route("GET", "/api/tags", [](const HttpRequest&) { return HttpResponse(200).stall(100).piece(kTags); });
    server.route("GET", "/v1/models", [](const HttpRequest&) { return HttpResponse::json(200, kModels); });
    ConsolidationService::Options options;
    options.secrets = &secrets;
    ConsolidationService fresh(options);  // discovery on creation
    ASSERT_TRUE(spinUntil([&] { return fresh.availableClaudeModels().size() == 2 && !fresh.isFetchingClaudeModels(); }, 5000));
    EXPECT_EQ(fresh.availableOllamaModels().size(), 2);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[0].path, "/api/tags");
    EXPECT_EQ(server.requests()[1].path, "/v1/models");
}

}  // namespace
}  // namespace lumenote::test
