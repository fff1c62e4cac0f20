#include "consolidation/ConsolidationService.h"

#include "consolidation/ConsolidationProtocol.h"
#include "consolidation/HttpStream.h"
#include "consolidation/SecretStore.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QUrlQuery>

namespace lumenote {

namespace cp = consolidation;

namespace {

std::optional<ConsolidationService::Options>& pendingSharedOptions() {
    static std::optional<ConsolidationService::Options> options;
    return options;
}
bool g_sharedCreated = false;

void throwIfCancelled(const CancellationToken& cancel, const CancellationToken& lifetime) {
    if (cancel.isCancelled() || lifetime.isCancelled()) throw ConsolidationError::cancelled();
}

QString utf8OrEmpty(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text;
}

}  // namespace

// The reply as it accumulates, with the progress it implies.
struct ConsolidationService::Stream {
    ConsolidationService* service;
    qsizetype transcriptCharacters;
    QString text;
    qsizetype received = 0;

    void append(const QString& piece) {
        text += piece;
        received += cp::characterCount(piece);
        service->setProgress(cp::streamingProgress(transcriptCharacters, received));
    }
};

ConsolidationService::ConsolidationService(Options options, QObject* parent)
    : QObject(parent), options_(options), secrets_(options.secrets ? options.secrets : &SecretStore::shared()), network_(this) {
    if (options_.discoverOnCreation) runStartupDiscovery();
}

ConsolidationService::~ConsolidationService() { lifetime_.cancel(); }

ConsolidationService& ConsolidationService::shared() {
    static ConsolidationService* instance = [] {
        g_sharedCreated = true;
        auto* s = new ConsolidationService(pendingSharedOptions().value_or(Options{}));
        if (QCoreApplication::instance()) s->moveToThread(QCoreApplication::instance()->thread());
        return s;
    }();
    return *instance;
}

void ConsolidationService::configureShared(Options options) {
    Q_ASSERT_X(!g_sharedCreated, "ConsolidationService::configureShared", "called after the shared instance exists");
    pendingSharedOptions() = options;
}

std::optional<QString> ConsolidationService::currentModelID() {
    const Settings& settings = Settings::shared();
    return cp::consolidatedModelID(settings.consolidationProvider(), settings.consolidationClaudeModel(),
                                   settings.consolidationOllamaModel());
}

QCoro::Task<QString> ConsolidationService::consolidate(Transcript segments, QString title, StatusCallback onStatus,
                                                       CancellationToken cancel) {
    const Settings& settings = Settings::shared();
    const ConsolidationProvider provider = settings.consolidationProvider();
    const QString transcript = cp::transcriptText(segments);
    if (transcript.isEmpty()) throw ConsolidationError::emptyTranscript();
    throwIfCancelled(cancel, lifetime_);
    const QString systemPrompt = settings.consolidationPrompt();

    setProgress(0);
    setStatusText(QStringLiteral("Consolidating transcript…"));
    if (onStatus) {
        onStatus(QStringLiteral("Consolidation: starting with ") +
                 (provider == ConsolidationProvider::Ollama ? QStringLiteral("Ollama (Local)") : QStringLiteral("Claude API")) +
                 QStringLiteral("…"));
    }

    const QString message = cp::userMessage(title, transcript);
    const qsizetype characters = cp::characterCount(transcript);
    // Two statements: GCC 12 mishandles co_await inside a conditional expression.
    QString notes;
    if (provider == ConsolidationProvider::Ollama)
        notes = co_await streamFromOllama(systemPrompt, message, characters, onStatus, cancel);
    else
        notes = co_await streamFromClaude(systemPrompt, message, characters, onStatus, cancel);

    setProgress(1.0);
    setStatusText(QStringLiteral("Consolidation complete"));
    if (onStatus)
        onStatus(QStringLiteral("Consolidation: done — ") + QString::number(cp::countNonEmptyLines(notes)) +
                 QStringLiteral(" lines generated."));
    co_return notes;
}

QCoro::Task<QString> ConsolidationService::streamFromClaude(QString systemPrompt, QString message, qsizetype transcriptCharacters,
                                                            StatusCallback onStatus, CancellationToken cancel) {
    const CancellationToken lifetime = lifetime_;
    const std::optional<QString> key = co_await secrets_->read(kClaudeAPIKeyAccount);
    throwIfCancelled(cancel, lifetime);
    if (!key || key->isEmpty()) throw ConsolidationError::missingAPIKey();
    const QString model = Settings::shared().consolidationClaudeModel();

    HttpCall call;
    call.method = "POST";
    call.request = QNetworkRequest(cp::appendingPath(cp::anthropicBaseURL(), QStringLiteral("v1/messages")));
    call.request.setRawHeader("x-api-key", key->toUtf8());
    call.request.setRawHeader("anthropic-version", cp::kAnthropicVersion);
    call.request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    call.body = cp::claudeRequestBody(model, systemPrompt, message);
    call.timeout = options_.claudeTimeout;
    call.cancelledBy = {cancel, lifetime};
    Stream stream{this, transcriptCharacters, {}};
    call.onLine = [&stream](const QByteArray& line) {
        const cp::StreamLine piece = cp::parseClaudeLine(line);
        if (piece.endOfStream) return false;
        if (piece.text) stream.append(*piece.text);
        return true;
    };

    if (onStatus) onStatus(QStringLiteral("Consolidation: streaming from Claude ") + model + QStringLiteral("…"));
    setProgress(0.05);
    const HttpResult result = co_await sendHttpRequest(network_, std::move(call));
    if (result.cancelled) throw ConsolidationError::cancelled();
    if (!result.status) throw ConsolidationError::networkError(QStringLiteral("No HTTP response"));
    if (*result.status != 200)
        throw ConsolidationError::apiError(QStringLiteral("Claude API returned ") + QString::number(*result.status) +
                                           QStringLiteral(": ") + cp::withoutAPIKey(cp::joinedBodyLines(result.body), *key));
    if (stream.text.isEmpty()) throw ConsolidationError::unexpectedResponse();
    co_return stream.text.trimmed();
}

QCoro::Task<QString> ConsolidationService::streamFromOllama(QString systemPrompt, QString message, qsizetype transcriptCharacters,
                                                            StatusCallback onStatus, CancellationToken cancel) {
    const CancellationToken lifetime = lifetime_;
    const Settings& settings = Settings::shared();
    const QString model = settings.consolidationOllamaModel();
    if (model.isEmpty()) throw ConsolidationError::missingOllamaModel();
    const std::optional<QUrl> endpoint = cp::parseEndpoint(settings.consolidationOllamaEndpoint());
    if (!endpoint) throw ConsolidationError::invalidOllamaEndpoint();

    HttpCall call;
    call.method = "POST";
    call.request = QNetworkRequest(cp::appendingPath(*endpoint, QStringLiteral("api/chat")));
    call.request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    call.body = cp::ollamaRequestBody(model, systemPrompt, message);
    call.timeout = options_.ollamaTimeout;
    call.cancelledBy = {cancel, lifetime};
    Stream stream{this, transcriptCharacters, {}};
    call.onLine = [&stream](const QByteArray& line) {
        const cp::StreamLine piece = cp::parseOllamaLine(line);
        if (piece.text) stream.append(*piece.text);
        return !piece.endOfStream;
    };

    if (onStatus) onStatus(QStringLiteral("Consolidation: streaming from Ollama (") + model + QStringLiteral(")…"));
    setProgress(0.05);
    const HttpResult result = co_await sendHttpRequest(network_, std::move(call));
    if (result.cancelled) throw ConsolidationError::cancelled();
    if (!result.status) throw ConsolidationError::networkError(QStringLiteral("No HTTP response from Ollama"));
    if (*result.status != 200)
        throw ConsolidationError::apiError(QStringLiteral("Ollama returned ") + QString::number(*result.status) +
                                           QStringLiteral(": ") + cp::joinedBodyLines(result.body));
    if (stream.text.isEmpty()) throw ConsolidationError::unexpectedResponse();
    co_return stream.text.trimmed();
}

QCoro::Task<> ConsolidationService::fetchOllamaModels() {
    const CancellationToken lifetime = lifetime_;
    // A later fetch (the endpoint was edited meanwhile) supersedes this one:
    // its answer is the one that counts, whichever arrives last.
    const quint64 generation = ++ollamaFetchGeneration_;
    const QString endpointText = Settings::shared().consolidationOllamaEndpoint().trimmed();
    const std::optional<QUrl> endpoint = cp::parseEndpoint(endpointText);
    if (!endpoint) {
        setOllamaError(QStringLiteral("Invalid Ollama endpoint URL."));
        setFetchingOllama(false);  // an earlier fetch still running no longer counts
        co_return;
    }
    setFetchingOllama(true);
    setOllamaError(std::nullopt);

    HttpCall call;
    call.request = QNetworkRequest(cp::appendingPath(*endpoint, QStringLiteral("api/tags")));
    call.timeout = options_.ollamaTagsTimeout;
    call.cancelledBy = {lifetime};
    std::optional<Parsed<QStringList>> parsed;
    try {
        const HttpResult result = co_await sendHttpRequest(network_, std::move(call));
        if (result.cancelled) co_return;  // the service is going away
        parsed = parseOllamaTags(result.body);  // whatever the status, as long as the body is a tag list
    } catch (const Error&) {
    }
    if (generation != ollamaFetchGeneration_) co_return;

    if (!parsed) {
        setOllamaError(QStringLiteral("Could not reach Ollama at ") + endpointText + QStringLiteral(". Is it running?"));
    } else if (const QString* error = std::get_if<QString>(&*parsed)) {
        setOllamaError(*error);
    } else {
        const QStringList names = std::get<QStringList>(*parsed);
        setOllamaModels(names);
        if (names.isEmpty()) {
            setOllamaError(QStringLiteral("Ollama is running but has no models installed."));
        } else if (Settings::shared().consolidationOllamaModel().isEmpty()) {
            Settings::shared().setConsolidationOllamaModel(names.front());
        }
    }
    setFetchingOllama(false);
}

QCoro::Task<> ConsolidationService::fetchClaudeModels() {
    const CancellationToken lifetime = lifetime_;
    const quint64 generation = ++claudeFetchGeneration_;
    std::optional<QString> key;
    std::optional<QString> storeError;
    try {
        key = co_await secrets_->read(kClaudeAPIKeyAccount);
    } catch (const Error& e) {
        storeError = e.description();
    }
    if (lifetime.isCancelled() || generation != claudeFetchGeneration_) co_return;
    if (storeError) {
        setClaudeError(storeError);
        setFetchingClaude(false);  // an earlier fetch still running no longer counts
        co_return;
    }
    if (!key || key->isEmpty()) {
        setFetchingClaude(false);
        co_return;
    }

    setFetchingClaude(true);
    setClaudeError(std::nullopt);

    QUrl url = cp::appendingPath(cp::anthropicBaseURL(), QStringLiteral("v1/models"));
    url.setQuery(QStringLiteral("limit=1000"));  // the whole list in one page
    HttpCall call;
    call.request = QNetworkRequest(url);
    call.request.setRawHeader("x-api-key", key->toUtf8());
    call.request.setRawHeader("anthropic-version", cp::kAnthropicVersion);
    call.timeout = options_.claudeModelsTimeout;
    call.cancelledBy = {lifetime};
    std::optional<QString> error;
    std::optional<QList<ClaudeModel>> models;
    try {
        const HttpResult result = co_await sendHttpRequest(network_, std::move(call));
        if (result.cancelled) co_return;
        if (!result.status) {
            error = QStringLiteral("No HTTP response from Anthropic.");
        } else if (*result.status != 200) {
            error = QStringLiteral("Anthropic API returned ") + QString::number(*result.status) + QStringLiteral(": ") +
                    cp::withoutAPIKey(utf8OrEmpty(result.body), *key);
        } else {
            auto parsed = parseClaudeModels(result.body);
            if (auto* list = std::get_if<QList<ClaudeModel>>(&parsed))
                models = std::move(*list);
            else
                error = std::get<QString>(parsed);
        }
    } catch (const Error& e) {
        error = QStringLiteral("Could not reach Anthropic API: ") + e.description();
    }
    if (generation != claudeFetchGeneration_) co_return;

    if (models) {
        setClaudeModels(*models);
        if (models->isEmpty()) {
            error = QStringLiteral("No models returned by the API.");
        } else if (auto replacement = replacementClaudeModel(Settings::shared().consolidationClaudeModel(), *models)) {
            Settings::shared().setConsolidationClaudeModel(*replacement);
        }
    }
    if (error) setClaudeError(error);
    setFetchingClaude(false);
}

QCoro::Task<> ConsolidationService::runStartupDiscovery() {
    const CancellationToken lifetime = lifetime_;
    co_await fetchOllamaModels();
    if (lifetime.isCancelled()) co_return;
    co_await fetchClaudeModels();
}

void ConsolidationService::setProgress(double value) {
    if (progress_ == value) return;
    progress_ = value;
    emit progressChanged(value);
}

void ConsolidationService::setStatusText(const QString& text) {
    if (statusText_ == text) return;
    statusText_ = text;
    emit statusTextChanged(text);
}

void ConsolidationService::setOllamaModels(const QStringList& models) {
    if (ollamaModels_ == models) return;
    ollamaModels_ = models;
    emit availableOllamaModelsChanged();
}

void ConsolidationService::setFetchingOllama(bool fetching) {
    if (fetchingOllama_ == fetching) return;
    fetchingOllama_ = fetching;
    emit isFetchingOllamaModelsChanged(fetching);
}

void ConsolidationService::setOllamaError(const std::optional<QString>& error) {
    if (ollamaError_ == error) return;
    ollamaError_ = error;
    emit ollamaFetchErrorChanged();
}

void ConsolidationService::setClaudeModels(const QList<ClaudeModel>& models) {
    if (claudeModels_ == models) return;
    claudeModels_ = models;
    emit availableClaudeModelsChanged();
}

void ConsolidationService::setFetchingClaude(bool fetching) {
    if (fetchingClaude_ == fetching) return;
    fetchingClaude_ = fetching;
    emit isFetchingClaudeModelsChanged(fetching);
}

void ConsolidationService::setClaudeError(const std::optional<QString>& error) {
    if (claudeError_ == error) return;
    claudeError_ = error;
    emit claudeFetchErrorChanged();
}

}  // namespace lumenote
