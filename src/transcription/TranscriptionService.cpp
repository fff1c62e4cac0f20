#include "transcription/TranscriptionService.h"

#include "core/Settings.h"
#include "core/Uuid.h"
#include "engine/WhisperEngine.h"
#include "transcription/TranscriptMapping.h"
#include "transcription/WhisperModelManager.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <QtConcurrent>

#include <exception>

namespace lumenote {
namespace {

struct ExtractionOutcome {
    ExtractedAudio audio;
    std::exception_ptr error;
    bool cancelled = false;
};

QFuture<ExtractionOutcome> startExtraction(QThreadPool* pool, const QString& source, const QString& wav,
                                           std::shared_ptr<std::atomic<bool>> cancel) {
    return QtConcurrent::run(pool, [source, wav, cancel] {
        ExtractionOutcome out;
        try {
            out.audio = extractAudioToWav(source, wav, cancel.get());
        } catch (const ExtractionCancelled&) {
            out.cancelled = true;
        } catch (...) {
            out.error = std::current_exception();
        }
        if (out.error || out.cancelled) QFile::remove(wav);  // nothing half-written stays behind
        return out;
    });
}

struct LoadOutcome {
    std::shared_ptr<engine::WhisperEngine> engine;
    std::exception_ptr error;
};

// Loads the model; a failure stops the extraction running beside it.
QCoro::Task<LoadOutcome> loadBeside(WhisperModelManager* models, QString id, std::shared_ptr<std::atomic<bool>> stopExtraction) {
    LoadOutcome out;
    try {
        out.engine = co_await models->loadKit(id);
    } catch (...) {
        out.error = std::current_exception();
        stopExtraction->store(true);
    }
    co_return out;
}

}  // namespace

TranscriptionService& TranscriptionService::shared() {
    static TranscriptionService* instance = new TranscriptionService(WhisperModelManager::shared());
    return *instance;
}

TranscriptionService::TranscriptionService(WhisperModelManager& models, QObject* parent)
    : QObject(parent), models_(models) {
    extractionThreads_.setMaxThreadCount(2);
}

TranscriptionService::~TranscriptionService() { extractionThreads_.waitForDone(); }

QString TranscriptionService::newTemporaryWavPath() {
    return QDir::tempPath() + QLatin1Char('/') + uuidText(QUuid::createUuid()) + QStringLiteral(".wav");
}

QCoro::Task<ExtractedAudio> TranscriptionService::extractAudio(QString videoPath) {
    // Arguments are prepared outside co_await expressions: GCC 12 can destroy
    // temporaries there twice.
    const QString wav = newTemporaryWavPath();
    const QFuture<ExtractionOutcome> running =
        startExtraction(&extractionThreads_, videoPath, wav, std::make_shared<std::atomic<bool>>(false));
    const ExtractionOutcome outcome = co_await running;
    if (outcome.error) std::rethrow_exception(outcome.error);
    co_return outcome.audio;
}

QCoro::Task<Transcript> TranscriptionService::transcribe(QString videoPath, std::optional<QString> modelID,
                                                         StatusCallback onStatus, TextCallback onLiveText,
                                                         ValueCallback onPosition, ValueCallback onProgress) {
    // (Named, not a temporary: see extractAudio.)
    QCoro::Task<Transcript> running = transcribe(std::move(videoPath), std::move(modelID), std::nullopt, std::move(onStatus),
                                                 std::move(onLiveText), std::move(onPosition), std::move(onProgress), {});
    co_return co_await std::move(running);
}

QCoro::Task<Transcript> TranscriptionService::transcribe(QString videoPath, std::optional<QString> modelID,
                                                         std::optional<QString> language, StatusCallback onStatus,
                                                         TextCallback onLiveText, ValueCallback onPosition,
                                                         ValueCallback onProgress, TextCallback onLanguage) {
    WhisperModelManager& models = models_;
    const QString spoken = language.value_or(Settings::shared().transcriptionLanguage());
    const QString id = modelID.value_or(models.selectedModelID());
    const QString name = WhisperModelManager::displayName(id);
    if (onStatus) onStatus(QStringLiteral("Extracting audio and loading Whisper %1 model…").arg(name));

    // Both start now and run side by side.
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const QString temporaryWav = newTemporaryWavPath();
    const QFuture<ExtractionOutcome> extraction = startExtraction(&extractionThreads_, videoPath, temporaryWav, stop);
    QCoro::Task<LoadOutcome> loading = loadBeside(&models, id, stop);

    const ExtractionOutcome extracted = co_await extraction;
    const LoadOutcome loaded = co_await loading;
    if (extracted.error) std::rethrow_exception(extracted.error);
    if (loaded.error) {
        // A cancelled extraction has removed its file already.
        if (!extracted.cancelled) QFile::remove(temporaryWav);
        std::rethrow_exception(loaded.error);
    }

    if (onStatus) onStatus(QStringLiteral("Audio extracted — transcribing with Whisper %1…").arg(name));
    const QString wav = extracted.audio.wavPath;
    std::function<void(QString, double)> onUpdate =
        makeUpdateHandler({std::move(onLiveText), std::move(onPosition), std::move(onProgress)}, extracted.audio.duration);
    std::vector<engine::TranscriptionResult> results;
    std::exception_ptr failure;
    try {
        // (Named, not a temporary: see extractAudio.)
        QCoro::Task<std::vector<engine::TranscriptionResult>> running = models.transcribe(wav, id, std::move(onUpdate), spoken);
        results = co_await running;
    } catch (...) {
        failure = std::current_exception();
    }
    QFile::remove(wav);
    if (failure) std::rethrow_exception(failure);
    if (onLanguage && !results.empty() && !results.front().language.empty())
        onLanguage(QString::fromStdString(results.front().language));
    co_return mapEngineResults(results);
}

}  // namespace lumenote
