#include "transcription/WhisperModelManager.h"

#include "core/LectureFiles.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "engine/WhisperEngine.h"
#include "hub/HubCache.h"
#include "hub/HubClient.h"
#include "hub/WhisperRepository.h"
#include "transcription/AudioExtraction.h"
#include "transcription/TranscriptMapping.h"
#include "core/Error.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QtConcurrent>

namespace lumenote {
namespace {

const QString kTag = QStringLiteral("[WhisperModelManager]");

void log(const QString& text) { logLine(kTag + QLatin1Char(' ') + text); }

}  // namespace

WhisperModelError::WhisperModelError(Kind kind)
    : Error(QStringLiteral("No Whisper model found on disk. Open Settings (⚙) and download a model first.")), kind_(kind) {}

WhisperModelManager& WhisperModelManager::shared() {
    // Never destroyed: engines and worker threads may outlive the event loop at exit.
    static WhisperModelManager* instance = new WhisperModelManager;
    return *instance;
}

WhisperModelManager::WhisperModelManager(QObject* parent) : QObject(parent) {
    Settings& settings = Settings::shared();
    selectedModelID_ = settings.whisperModelID();
    // An older catalogue spelled the turbo model with a hyphen; store the current id.
    if (settings.rawValue(QLatin1String(settings_keys::whisperModelID)).toString() == QLatin1String("openai_whisper-large-v3-turbo"))
        settings.setWhisperModelID(selectedModelID_);
    downloadThreads_.setMaxThreadCount(2);
    engineThreads_.setMaxThreadCount(2);
    engineFactory_ = [](const engine::WhisperEngineConfig& config) { return std::make_shared<engine::WhisperEngine>(config); };
}

WhisperModelManager::~WhisperModelManager() {
    if (downloadCancel_) downloadCancel_->store(true);
    downloadThreads_.waitForDone();
    engineThreads_.waitForDone();
}

const QList<WhisperModelManager::Model>& WhisperModelManager::models() {
    static const QList<Model> catalogue{
        {QStringLiteral("openai_whisper-tiny"), QStringLiteral("Tiny"), QStringLiteral("~150 MB"), QStringLiteral("Fastest")},
        {QStringLiteral("openai_whisper-base"), QStringLiteral("Base"), QStringLiteral("~290 MB"), QStringLiteral("Good balance")},
        {QStringLiteral("openai_whisper-small"), QStringLiteral("Small"), QStringLiteral("~970 MB"), QStringLiteral("Recommended")},
        {QStringLiteral("openai_whisper-medium"), QStringLiteral("Medium"), QStringLiteral("~3.1 GB"), QStringLiteral("High accuracy")},
        {QStringLiteral("openai_whisper-large-v3_turbo"), QStringLiteral("Large Turbo"), QStringLiteral("~1.6 GB"),
         QStringLiteral("Best accuracy")},
    };
    return catalogue;
}

std::optional<WhisperModelManager::Model> WhisperModelManager::model(const QString& id) {
    for (const Model& m : models())
        if (m.id == id) return m;
    return std::nullopt;
}

QString WhisperModelManager::displayName(const QString& id) {
    const auto m = model(id);
    return m ? m->displayName : id;
}

void WhisperModelManager::setSelectedModelID(const QString& id) {
    Settings::shared().setWhisperModelID(id);
    if (id == selectedModelID_) return;
    selectedModelID_ = id;
    emit selectedModelIDChanged();
}

void WhisperModelManager::rememberFolder(const QString& id, const QString& folder) {
    StringMap paths = Settings::shared().whisperModelFolderPaths();
    if (paths.value(id) == folder) return;
    paths.insert(id, folder);
    Settings::shared().setWhisperModelFolderPaths(paths);
}

std::optional<QString> WhisperModelManager::modelFolder(const QString& id) {
    const QString repo = hub::whisperRepository(id);
    // A folder is the model when it holds the model files itself, or when it
    // has a sub-folder named after the model id that does.
    auto match = [&](const QString& dir) -> std::optional<QString> {
        if (hub::isCompleteModelFolder(dir)) return dir;
        const QString nested = dir + QLatin1Char('/') + id;
        if (hub::isCompleteModelFolder(nested)) return nested;
        return std::nullopt;
    };
    // Snapshots of a hub-layout repository: the one refs/main names first, then newest first.
    auto searchHub = [&](const QString& hubDir) -> std::optional<QString> {
        const hub::RepoCachePaths paths = hub::repoCachePaths(hubDir, repo);
        QStringList commits = QDir(paths.snapshots).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
        if (const auto ref = hub::readRefMain(paths); ref && commits.removeOne(*ref)) commits.prepend(*ref);
        for (const QString& commit : commits)
            if (auto found = match(paths.snapshot(commit))) return found;
        return std::nullopt;
    };

    std::optional<QString> found;
    for (const QString& dir : hub::environmentHubCacheDirectories())
        if (!found) found = searchHub(dir);
    for (const QString& root : hub::flatLayoutRoots()) {
        if (!found) found = searchHub(root + QStringLiteral("/huggingface/hub"));
        if (!found) found = match(root + QStringLiteral("/huggingface/models/") + repo);
    }
    if (found) rememberFolder(id, *found);
    return found;
}

std::optional<QString> WhisperModelManager::downloadedFolder(const QString& id) {
    const QString remembered = Settings::shared().whisperModelFolderPaths().value(id);
    if (!remembered.isEmpty() && hub::isCompleteModelFolder(remembered)) return remembered;
    return modelFolder(id);
}

void WhisperModelManager::deleteModel(const QString& id) {
    if (downloadingModelID_ == id)
        throw Error(QStringLiteral("%1 is downloading; stop the download before deleting it.").arg(displayName(id)));
    const QString repoFolder = hub::repoFolderName(hub::whisperRepository(id));
    // Discovery may find further copies once one is gone; each round removes one.
    for (int round = 0; round < 16; ++round) {
        const std::optional<QString> folder = downloadedFolder(id);
        if (!folder) break;
        QString target = *folder;
        const qsizetype cut = target.lastIndexOf(QStringLiteral("/snapshots/"));
        if (cut > 0 && QFileInfo(target.left(cut)).fileName() == repoFolder) target = target.left(cut);
        log(QStringLiteral("deleting ") + id + QStringLiteral(" at ") + target);
        if (!QDir(target).removeRecursively() && QFileInfo::exists(target))
            throw Error(QStringLiteral("Could not delete %1 at %2.").arg(displayName(id), target));
    }
    StringMap paths = Settings::shared().whisperModelFolderPaths();
    if (paths.remove(id) > 0) Settings::shared().setWhisperModelFolderPaths(paths);
    StringMap shas = Settings::shared().whisperModelDownloadedSHAs();
    if (shas.remove(id) > 0) Settings::shared().setWhisperModelDownloadedSHAs(shas);
    if (updateStatuses_.remove(id) > 0) emit updateStatusesChanged();
    if (loadedModelID_ == id) {
        loadedKit_.reset();
        loadedModelID_.clear();
        emit loadedModelIDChanged();
    }
}

void WhisperModelManager::setEngineFactory(EngineFactory factory) { engineFactory_ = std::move(factory); }

QCoro::Task<std::shared_ptr<engine::WhisperEngine>> WhisperModelManager::loadKit(QString id) {
    // A copy: QCoro's co_return moves from an lvalue it is given.
    const bool exact = Settings::shared().whisperExactPrecision();
    if (loadedKit_ && loadedModelID_ == id && loadedExact_ == exact) co_return std::shared_ptr<engine::WhisperEngine>(loadedKit_);
    if (pendingLoads_.contains(id)) {
        const QFuture<LoadOutcome> running = pendingLoads_.value(id);
        const LoadOutcome joined = co_await running;
        if (!joined.engine) throw SpeechEngineError(joined.error);
        co_return joined.engine;
    }
    const std::optional<QString> folder = downloadedFolder(id);
    if (!folder) throw WhisperModelError::notDownloaded();

    if (loadsRunning_++ == 0) emit isLoadingChanged();
    setLastError({});
    engine::WhisperEngineConfig config;
    config.modelFolder = folder->toStdString();  // where discovery or download() found it
    config.verbose = false;
    // Otherwise the engine picks the fastest precision that keeps the model's results.
    if (exact) {
        engine::ModelComputeOptions compute;
        compute.encoderPrecision = compute.decoderPrecision = engine::WeightPrecision::f32;
        config.computeOptions = compute;
    }

    const QFuture<LoadOutcome> loading = QtConcurrent::run(&engineThreads_, [factory = engineFactory_, config] {
        LoadOutcome out;
        try {
            out.engine = factory(config);
            if (!out.engine) out.error = QStringLiteral("The speech engine could not be created.");
        } catch (const std::exception& e) {
            out.error = QString::fromUtf8(e.what());
        }
        return out;
    });
    pendingLoads_.insert(id, loading);
    const LoadOutcome outcome = co_await loading;
    pendingLoads_.remove(id);
    if (--loadsRunning_ == 0) emit isLoadingChanged();
    if (!outcome.engine) {
        setLastError(outcome.error);
        throw SpeechEngineError(outcome.error);
    }
    loadedKit_ = outcome.engine;
    loadedExact_ = exact;
    if (loadedModelID_ != id) {
        loadedModelID_ = id;
        emit loadedModelIDChanged();
    }
    co_return outcome.engine;
}

namespace {

// A long recording is transcribed ten minutes at a time, so that its samples
// never sit in memory whole (a ten-hour file would need gigabytes). Segments
// that end in a block's last 30 seconds may be cut by its edge: the next block
// starts where the kept ones end and does them again.
constexpr qint64 kBlockSamples = qint64(kExtractSampleRate) * 600;
constexpr qint64 kRedoSamples = qint64(kExtractSampleRate) * 30;

std::vector<engine::TranscriptionResult> transcribeInBlocks(engine::WhisperEngine& kit, const QString& wavPath,
                                                            engine::DecodingOptions options,
                                                            const std::function<engine::TranscriptionCallback(double)>& callbackAt) {
    WavSampleReader reader(wavPath);
    const qint64 total = reader.sampleCount();
    if (total <= kBlockSamples) return kit.transcribe(wavPath.toStdString(), options, callbackAt(0));
    std::vector<engine::TranscriptionResult> results;
    for (qint64 start = 0; start < total;) {
        const qint64 count = std::min(kBlockSamples, total - start);
        const bool last = start + count >= total;
        const std::vector<float> samples = reader.read(start, count);
        const double offset = double(start) / kExtractSampleRate;
        std::vector<engine::TranscriptionResult> block = kit.transcribe(std::span<const float>(samples), options, callbackAt(offset));
        qint64 next = start + count;
        if (!last) {
            const float keepUntil = float(count - kRedoSamples) / kExtractSampleRate;
            float keptEnd = 0;
            for (engine::TranscriptionResult& r : block) {
                std::erase_if(r.segments, [keepUntil](const engine::TranscriptionSegment& s) { return s.end > keepUntil; });
                for (const engine::TranscriptionSegment& s : r.segments) keptEnd = std::max(keptEnd, s.end);
            }
            next = start + std::max<qint64>(qint64(double(keptEnd) * kExtractSampleRate), count - kRedoSamples);
        }
        for (engine::TranscriptionResult& r : block) {
            for (engine::TranscriptionSegment& s : r.segments) {
                s.seek += start;
                s.start += float(offset);
                s.end += float(offset);
                if (s.words)
                    for (engine::WordTiming& w : *s.words) {
                        w.start += float(offset);
                        w.end += float(offset);
                    }
            }
            r.seekTime = float(offset);
            // The language found in the first block holds for the rest.
            if (!r.language.empty() && (!options.language || options.language->empty() || *options.language == "auto")) options.language = r.language;
            results.push_back(std::move(r));
        }
        start = next;
    }
    return results;
}

}  // namespace

QCoro::Task<std::vector<engine::TranscriptionResult>> WhisperModelManager::transcribe(
    QString audioPath, QString id, std::function<void(QString, double)> onUpdate, std::optional<QString> language) {
    const std::shared_ptr<engine::WhisperEngine> kit = co_await loadKit(id);

    struct Outcome {
        std::vector<engine::TranscriptionResult> results;
        QString error;
        bool failed = false;
    };
    engine::DecodingOptions options = transcriptionDecodingOptions();
    if (language) options.language = language->toStdString();
    if (decodingAdjuster_) decodingAdjuster_(options);
    const QFuture<Outcome> running =
        QtConcurrent::run(&engineThreads_, [kit, audioPath, onUpdate, options] {
            Outcome out;
            try {
                out.results = transcribeInBlocks(*kit, audioPath, options, [onUpdate](double offset) {
                    // Runs on the engine thread: hands each update to the main thread and never waits for it.
                    return engine::TranscriptionCallback([onUpdate, offset](const engine::TranscriptionProgress& p) -> std::optional<bool> {
                        if (onUpdate) {
                            const QString text = QString::fromStdString(p.text);
                            const double position = offset + double(p.windowId) * 30.0;
                            QMetaObject::invokeMethod(
                                QCoreApplication::instance(), [onUpdate, text, position] { onUpdate(text, position); }, Qt::QueuedConnection);
                        }
                        return true;
                    });
                });
            } catch (const DomainError& e) {
                out.failed = true;
                out.error = e.description();
            } catch (const std::exception& e) {
                out.failed = true;
                out.error = QString::fromUtf8(e.what());
            }
            return out;
        });
    Outcome outcome = co_await running;
    if (outcome.failed) throw SpeechEngineError(outcome.error);
    co_return std::move(outcome.results);
}

QCoro::Task<bool> WhisperModelManager::download(QString id) {
    log(QStringLiteral("▶︎ download() called for ") + id);
    if (isDownloading()) {
        log(QStringLiteral("❌ download() error: another download (%1) is running").arg(downloadingModelID_));
        co_return false;
    }
    downloadingModelID_ = id;
    emit isDownloadingChanged();
    setDownloadProgress(0);
    setLastError({});
    QElapsedTimer elapsed;
    elapsed.start();

    auto cancel = std::make_shared<std::atomic<bool>>(false);
    downloadCancel_ = cancel;
    const QPointer<WhisperModelManager> self(this);
    struct Outcome {
        hub::Snapshot snapshot;
        QString error;
    };
    const QUrl endpoint = hub::endpointUrl();
    const QString cache = hub::hubCacheDirectory();
    const QFuture<Outcome> running = QtConcurrent::run(&downloadThreads_, [=] {
        Outcome out;
        // This thread's own client and event loop; the main thread only hears about progress.
        hub::HubClient client(endpoint, cache);
        auto progress = [self](qint64 completed, qint64 total) {
            const int percent = total > 0 ? int(completed * 100 / total) : 0;
            log(QStringLiteral("  progress %1%  completed=%2  total=%3").arg(percent).arg(completed).arg(total));
            const double fraction = total > 0 ? double(completed) / double(total) : 0.0;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, fraction] {
                    if (self) self->setDownloadProgress(fraction);
                },
                Qt::QueuedConnection);
        };
        try {
            out.snapshot = client.downloadSnapshotNow(hub::whisperRepository(id), hub::whisperModelFiles(), progress, cancel);
        } catch (const hub::HubError& e) {
            out.error = withFullDiskNamed(e.message(), cache);
        } catch (const std::exception& e) {
            out.error = QString::fromUtf8(e.what());
        }
        return out;
    });
    const Outcome outcome = co_await running;
    if (downloadCancel_ == cancel) downloadCancel_.reset();

    const bool ok = outcome.error.isEmpty();
    if (ok) {
        log(QStringLiteral("✅ download() finished in %1s → %2")
                .arg(QString::number(double(elapsed.elapsed()) / 1000.0, 'f', 1), outcome.snapshot.folder));
        rememberFolder(id, outcome.snapshot.folder);
        StringMap shas = Settings::shared().whisperModelDownloadedSHAs();
        shas.insert(id, outcome.snapshot.sha);
        Settings::shared().setWhisperModelDownloadedSHAs(shas);
        log(QStringLiteral("  stored downloaded SHA %1 for %2").arg(outcome.snapshot.sha, id));
        setDownloadProgress(1.0);
        setUpdateStatus(id, UpdateStatus::upToDate);
    } else {
        log(QStringLiteral("❌ download() error: ") + outcome.error);
        setLastError(outcome.error);
    }
    downloadingModelID_.clear();
    emit isDownloadingChanged();
    co_return ok;
}

void WhisperModelManager::cancelDownload() {
    if (downloadCancel_) downloadCancel_->store(true);
}

QCoro::Task<QString> WhisperModelManager::fetchLatestSHA(QString repo) {
    hub::HubClient client;
    const hub::RepoInfo info = co_await client.repoInfo(repo);
    co_return info.sha;
}

QCoro::Task<> WhisperModelManager::checkForUpdates() {
    if (isCheckingForUpdates_) co_return;
    isCheckingForUpdates_ = true;
    emit isCheckingForUpdatesChanged();
    log(QStringLiteral("▶︎ checkForUpdates()"));

    QList<QPair<QString, QString>> onDisk;  // id, folder
    for (const Model& m : models())
        if (const auto folder = downloadedFolder(m.id)) onDisk.append({m.id, *folder});

    bool anyFetched = false;
    for (const auto& [id, folder] : onDisk) {
        setUpdateStatus(id, UpdateStatus::checking);
        QString latest;
        QString failure;
        const QString repo = hub::whisperRepository(id);
        try {
            latest = co_await fetchLatestSHA(repo);
        } catch (const hub::HubError& e) {
            failure = e.message();
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        if (!failure.isEmpty()) {
            log(QStringLiteral("❌ checkForUpdates() error: ") + failure);
            setUpdateStatus(id, UpdateStatus::checkFailed);
            continue;
        }
        anyFetched = true;
        log(QStringLiteral("  HF Hub latest SHA: ") + latest);

        auto verdict = [&](const QString& local) {
            const bool differs = local != latest;
            setUpdateStatus(id, differs ? UpdateStatus::available : UpdateStatus::upToDate);
            return differs ? QStringLiteral("UPDATE AVAILABLE") : QStringLiteral("up to date");
        };
        if (const auto local = localHash(folder)) {
            log(QStringLiteral("  %1: local=%2 → %3").arg(id, *local, verdict(*local)));
        } else if (const QString stored = Settings::shared().whisperModelDownloadedSHAs().value(id); !stored.isEmpty()) {
            log(QStringLiteral("  %1: downloaded SHA=%2 → %3").arg(id, stored, verdict(stored)));
        } else {
            setUpdateStatus(id, UpdateStatus::upToDate);
            log(QStringLiteral("  %1: no SHA available for comparison → assuming up to date").arg(id));
        }
    }
    if (anyFetched || onDisk.isEmpty()) {
        Settings::shared().setWhisperLastUpdateCheck(QDateTime::currentDateTimeUtc());
        emit lastUpdateCheckChanged();
    }
    isCheckingForUpdates_ = false;
    emit isCheckingForUpdatesChanged();
}

bool WhisperModelManager::isUpdateCheckDue() const {
    const QDateTime last = lastUpdateCheck();
    return !last.isValid() || last.secsTo(QDateTime::currentDateTimeUtc()) > 86400;
}

QDateTime WhisperModelManager::lastUpdateCheck() const {
    return Settings::shared().whisperLastUpdateCheck().value_or(QDateTime());
}

std::optional<QString> WhisperModelManager::localHash(const QString& folderPath) {
    const QStringList parts = QDir::cleanPath(folderPath).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype at = parts.indexOf(QStringLiteral("snapshots"));
    if (at < 0 || at + 1 >= parts.size()) return std::nullopt;
    return parts[at + 1];
}

void WhisperModelManager::setDownloadProgress(double fraction) {
    if (fraction == downloadProgress_) return;
    downloadProgress_ = fraction;
    emit downloadProgressChanged();
}

void WhisperModelManager::setLastError(const QString& text) {
    if (text == lastError_) return;
    lastError_ = text;
    emit lastErrorChanged();
}

void WhisperModelManager::setUpdateStatus(const QString& id, UpdateStatus status) {
    if (updateStatuses_.value(id, UpdateStatus::unknown) == status && updateStatuses_.contains(id)) return;
    updateStatuses_.insert(id, status);
    emit updateStatusesChanged();
}

}  // namespace lumenote
