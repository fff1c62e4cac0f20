#pragma once

// The one owner of the on-device speech models: the catalogue, the chosen
// model, discovery of downloaded models in the Hugging Face cache folders,
// downloads from the model repository, the revision check, and the loaded
// engine (one at a time, reused while the same model is asked for).
//
// Lives on the main thread; every property changes there. Downloads run on a
// worker thread whose progress reaches the main thread as queued calls; the
// engine loads and transcribes on its own worker threads.

#include "core/Error.h"
#include "engine/Models.h"

#include <QCoroTask>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumenote::engine {
class WhisperEngine;
struct WhisperEngineConfig;
}  // namespace lumenote::engine

namespace lumenote {

class WhisperModelError : public Error {
public:
    enum class Kind { notDownloaded };
    explicit WhisperModelError(Kind kind);
    static WhisperModelError notDownloaded() { return WhisperModelError(Kind::notDownloaded); }
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

// A failure of the speech engine (loading or transcribing), with the
// engine's own message.
class SpeechEngineError : public Error {
public:
    using Error::Error;
};

class WhisperModelManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString selectedModelID READ selectedModelID WRITE setSelectedModelID NOTIFY selectedModelIDChanged)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(QString downloadingModelID READ downloadingModelID NOTIFY isDownloadingChanged)
    Q_PROPERTY(double downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString loadedModelID READ loadedModelID NOTIFY loadedModelIDChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(bool isCheckingForUpdates READ isCheckingForUpdates NOTIFY isCheckingForUpdatesChanged)
    Q_PROPERTY(QDateTime lastUpdateCheck READ lastUpdateCheck NOTIFY lastUpdateCheckChanged)

public:
    struct Model {
        QString id;
        QString displayName;
        QString size;  // approximate download size, for display
        QString note;
        bool operator==(const Model&) const = default;
    };

    enum class UpdateStatus { unknown, checking, upToDate, available, checkFailed };
    Q_ENUM(UpdateStatus)

    // The process-wide instance (created on first use, on the main thread).
    static WhisperModelManager& shared();

    // Tests make their own instances; everything persistent goes through Settings.
    explicit WhisperModelManager(QObject* parent = nullptr);
    ~WhisperModelManager() override;

    static const QList<Model>& models();
    static std::optional<Model> model(const QString& id);
    // The catalogue's display name, or the id itself for an unknown id.
    static QString displayName(const QString& id);

    QString selectedModelID() const { return selectedModelID_; }
    void setSelectedModelID(const QString& id);

    // Discovery in the hub and flat layouts under the Hugging Face cache
    // folders; a found folder is remembered in the settings.
    std::optional<QString> modelFolder(const QString& id);
    // The remembered folder when it still holds the model, else discovery.
    std::optional<QString> downloadedFolder(const QString& id);
    bool isDownloaded(const QString& id) { return downloadedFolder(id).has_value(); }

    // The engine for a model, loaded on a worker thread; the loaded one when it
    // is that model's. Throws WhisperModelError (not on disk) or SpeechEngineError.
    QCoro::Task<std::shared_ptr<engine::WhisperEngine>> loadKit(QString id);

    // Runs the engine on a 16 kHz WAV file with the application's decoding
    // options. `onUpdate(text, position)` is called on the main thread for
    // every decoding step (position = window index x 30 s); updates may still
    // arrive after the call has returned. `language`: a code such as "de", "auto" to detect
    // it, or none for the engine's default (English).
    QCoro::Task<std::vector<engine::TranscriptionResult>> transcribe(QString audioPath, QString id,
                                                                      std::function<void(QString, double)> onUpdate,
                                                                      std::optional<QString> language = std::nullopt);

    // Downloads the model into the Hugging Face cache. Reports through the
    // properties; returns whether it succeeded (lastError says why not).
    QCoro::Task<bool> download(QString id);
    // Stops a running download; its partial files stay for a later resume.
    void cancelDownload();
    // Removes every copy of a downloaded model from disk (the whole repository
    // folder of the hub layout, the model folder of the flat layout) and forgets
    // its folder, hash and status; a loaded engine of that model is released.
    // Throws Error while the model downloads or when a folder cannot be removed.
    void deleteModel(const QString& id);

    // Compares each downloaded model with its repository's current commit.
    QCoro::Task<> checkForUpdates();
    UpdateStatus updateStatus(const QString& id) const { return updateStatuses_.value(id, UpdateStatus::unknown); }
    const QMap<QString, UpdateStatus>& updateStatuses() const { return updateStatuses_; }
    // Whether the settings screen should start a check (none yet, or older than a day).
    bool isUpdateCheckDue() const;

    bool isDownloading() const { return !downloadingModelID_.isEmpty(); }
    QString downloadingModelID() const { return downloadingModelID_; }
    double downloadProgress() const { return downloadProgress_; }
    bool isLoading() const { return loadsRunning_ > 0; }
    std::shared_ptr<engine::WhisperEngine> loadedKit() const { return loadedKit_; }
    QString loadedModelID() const { return loadedModelID_; }
    QString lastError() const { return lastError_; }
    bool isCheckingForUpdates() const { return isCheckingForUpdates_; }
    QDateTime lastUpdateCheck() const;

    // The commit a folder in the hub layout belongs to: the path component
    // after "snapshots".
    static std::optional<QString> localHash(const QString& folderPath);

    // Creates engines (default: the real engine). Tests wrap it to count.
    using EngineFactory = std::function<std::shared_ptr<engine::WhisperEngine>(const engine::WhisperEngineConfig&)>;
    void setEngineFactory(EngineFactory factory);
    // Adjusts the decoding options of every run after the application's own
    // (benchmarks cap the tokens sampled per window).
    void setDecodingOptionsAdjuster(std::function<void(engine::DecodingOptions&)> adjust) { decodingAdjuster_ = std::move(adjust); }

signals:
    void selectedModelIDChanged();
    void isDownloadingChanged();
    void downloadProgressChanged();
    void isLoadingChanged();
    void loadedModelIDChanged();
    void lastErrorChanged();
    void isCheckingForUpdatesChanged();
    void lastUpdateCheckChanged();
    void updateStatusesChanged();

private:
    QCoro::Task<QString> fetchLatestSHA(QString repo);
    void setDownloadProgress(double fraction);
    void setLastError(const QString& text);
    void setUpdateStatus(const QString& id, UpdateStatus status);
    void rememberFolder(const QString& id, const QString& folder);

    struct LoadOutcome {
        std::shared_ptr<engine::WhisperEngine> engine;
        QString error;
    };

    QString selectedModelID_;
    QString downloadingModelID_;
    double downloadProgress_ = 0;
    int loadsRunning_ = 0;
    std::shared_ptr<engine::WhisperEngine> loadedKit_;
    QString loadedModelID_;
    bool loadedExact_ = false;  // loaded with whisperExactPrecision on
    QString lastError_;
    bool isCheckingForUpdates_ = false;
    QMap<QString, UpdateStatus> updateStatuses_;
    EngineFactory engineFactory_;
    std::function<void(engine::DecodingOptions&)> decodingAdjuster_;
    QMap<QString, QFuture<LoadOutcome>> pendingLoads_;  // a second request for a loading model joins it
    std::shared_ptr<std::atomic<bool>> downloadCancel_;
    QThreadPool downloadThreads_;
    QThreadPool engineThreads_;
};

}  // namespace lumenote
