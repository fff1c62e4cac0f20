#pragma once

// Turns a finished transcript into Markdown study notes with Claude (Anthropic
// Messages API) or a local Ollama server, streaming the reply so that progress
// shows while it arrives. The same object discovers the models each backend
// offers. One shared instance on the main thread; every state change and
// callback happens there.

#include "consolidation/ConsolidationError.h"
#include "consolidation/ModelCatalogue.h"
#include "core/CancellationToken.h"
#include "core/ConsolidationMode.h"
#include "core/TranscriptModel.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

namespace lumenote {

class SecretStore;

class ConsolidationService : public QObject {
    Q_OBJECT
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QStringList availableOllamaModels READ availableOllamaModels NOTIFY availableOllamaModelsChanged)
    Q_PROPERTY(bool isFetchingOllamaModels READ isFetchingOllamaModels NOTIFY isFetchingOllamaModelsChanged)
    Q_PROPERTY(QString ollamaFetchError READ ollamaFetchErrorText NOTIFY ollamaFetchErrorChanged)
    Q_PROPERTY(bool isFetchingClaudeModels READ isFetchingClaudeModels NOTIFY isFetchingClaudeModelsChanged)
    Q_PROPERTY(QString claudeFetchError READ claudeFetchErrorText NOTIFY claudeFetchErrorChanged)

public:
    struct Options {
        // Inactivity time-outs of the four requests.
        std::chrono::milliseconds claudeTimeout{300'000};
        std::chrono::milliseconds ollamaTimeout{600'000};
        std::chrono::milliseconds ollamaTagsTimeout{3'000};
        std::chrono::milliseconds claudeModelsTimeout{15'000};
        // Fetch the Ollama and then the Claude model list as soon as the object exists.
        bool discoverOnCreation = true;
        // Where the API key is read; null means SecretStore::shared().
        SecretStore* secrets = nullptr;
    };

    explicit ConsolidationService(Options options, QObject* parent = nullptr);
    ConsolidationService() : ConsolidationService(Options{}) {}
    // Stops every request still running; their callers get ConsolidationError::cancelled().
    ~ConsolidationService() override;

    // The process-wide instance, created on first use.
    static ConsolidationService& shared();
    // Options for the shared instance; only before its first use (the command
    // line turns the start-up discovery off, for instance).
    static void configureShared(Options options);

    using StatusCallback = std::function<void(const QString&)>;

    // The consolidated Markdown, trimmed. Reads the provider, prompt and model
    // settings at call time and the Claude API key from the secret store.
    // Throws ConsolidationError (its description is the text to show), a
    // DomainError from the network (unreachable host, time-out) or a
    // SecretStoreError. `cancel` (raised on the main thread) closes the
    // connection at once and makes the run throw ConsolidationError::cancelled().
    QCoro::Task<QString> consolidate(Transcript segments, QString title, StatusCallback onStatus = {},
                                     CancellationToken cancel = {});

    // Refresh the model lists; never throw (failures end in the fetch-error texts).
    QCoro::Task<> fetchOllamaModels();
    QCoro::Task<> fetchClaudeModels();

    double progress() const { return progress_; }
    QString statusText() const { return statusText_; }
    QStringList availableOllamaModels() const { return ollamaModels_; }
    bool isFetchingOllamaModels() const { return fetchingOllama_; }
    std::optional<QString> ollamaFetchError() const { return ollamaError_; }
    QList<ClaudeModel> availableClaudeModels() const { return claudeModels_; }
    bool isFetchingClaudeModels() const { return fetchingClaude_; }
    std::optional<QString> claudeFetchError() const { return claudeError_; }
    // What the Claude model picker lists: the fetched models, else the built-in catalogue.
    QList<ClaudeModel> claudeModelsShown() const { return claudeModelsToShow(claudeModels_); }

    // The value to store in Lecture::consolidatedWithModelID for notes made now
    // ("claude/<model>" or "ollama/<model>", from the settings; none when Ollama
    // is chosen without a model).
    static std::optional<QString> currentModelID();

signals:
    void progressChanged(double progress);
    void statusTextChanged(const QString& text);
    void availableOllamaModelsChanged();
    void isFetchingOllamaModelsChanged(bool fetching);
    void ollamaFetchErrorChanged();
    void availableClaudeModelsChanged();
    void isFetchingClaudeModelsChanged(bool fetching);
    void claudeFetchErrorChanged();

private:
    struct Stream;
    QCoro::Task<QString> streamFromClaude(QString systemPrompt, QString message, qsizetype transcriptCharacters,
                                          StatusCallback onStatus, CancellationToken cancel);
    QCoro::Task<QString> streamFromOllama(QString systemPrompt, QString message, qsizetype transcriptCharacters,
                                          StatusCallback onStatus, CancellationToken cancel);
    QCoro::Task<> runStartupDiscovery();

    void setProgress(double value);
    void setStatusText(const QString& text);
    void setOllamaModels(const QStringList& models);
    void setFetchingOllama(bool fetching);
    void setOllamaError(const std::optional<QString>& error);
    void setClaudeModels(const QList<ClaudeModel>& models);
    void setFetchingClaude(bool fetching);
    void setClaudeError(const std::optional<QString>& error);
    QString ollamaFetchErrorText() const { return ollamaError_.value_or(QString()); }
    QString claudeFetchErrorText() const { return claudeError_.value_or(QString()); }

    Options options_;
    SecretStore* secrets_;
    QNetworkAccessManager network_;
    // Raised when the object goes away, so that running requests stop.
    CancellationToken lifetime_;

    double progress_ = 0;
    QString statusText_;
    QStringList ollamaModels_;
    bool fetchingOllama_ = false;
    std::optional<QString> ollamaError_;
    quint64 ollamaFetchGeneration_ = 0;
    QList<ClaudeModel> claudeModels_;
    bool fetchingClaude_ = false;
    std::optional<QString> claudeError_;
    quint64 claudeFetchGeneration_ = 0;
};

}  // namespace lumenote
