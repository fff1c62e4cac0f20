#include "pipeline/LectureController.h"

#include "consolidation/ConsolidationService.h"
#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Json.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "core/TranscriptModel.h"
#include "av/FFmpeg.h"
#include "export/ExportManager.h"
#include "export/MarkdownExportManager.h"
#include "export/StudyPage.h"
#include "media/URLDownloadService.h"
#include "pipeline/PlayerControl.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "transcription/TranscriptionService.h"
#include "transcription/WhisperModelManager.h"
#include "workspace/LectureDocument.h"

#include <QCoroFuture>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <memory>

namespace lumenote {
namespace {

QString describe(const std::exception& e) {
    if (const auto* error = dynamic_cast<const Error*>(&e)) return error->description();
    return QString::fromUtf8(e.what());
}

// Runs blocking work on the thread pool; exceptions come back as an error text
// (QtConcurrent only carries its own exception type across threads).
template <typename T, typename Fn>
QCoro::Task<std::pair<std::optional<T>, QString>> offMainThread(Fn fn) {
    // Named before awaiting: GCC 12 mishandles temporaries inside a co_await expression.
    QFuture<std::pair<std::optional<T>, QString>> future =
        QtConcurrent::run([fn = std::move(fn)]() -> std::pair<std::optional<T>, QString> {
            try {
                return {fn(), QString()};
            } catch (const std::exception& e) {
                return {std::nullopt, describe(e)};
            }
        });
    co_return co_await future;
}

// The notes of a run. Everything lives in its own frame (no lambda captures),
// since a failed run leaves it to finish on its own after the run has ended.
QCoro::Task<std::optional<QString>> consolidateForRun(ConsolidationService* consolidation, QPointer<ProcessingState> state,
                                                      CancellationToken cancel, QList<TranscriptSegment> segments, QString title) {
    try {
        ConsolidationService::StatusCallback onStatus = [state](const QString& line) {
            if (state) state->addMessage(line);
        };
        QCoro::Task<QString> notes = consolidation->consolidate(segments, title, std::move(onStatus), cancel);
        QString text = co_await std::move(notes);
        co_return text;
    } catch (const std::exception& e) {
        if (state && !cancel.isCancelled()) state->addMessage(QStringLiteral("Consolidation skipped: ") + describe(e));
    }
    co_return std::nullopt;
}

}  // namespace

PipelineServices PipelineServices::shared() {
    return {&WhisperModelManager::shared(),      &TranscriptionService::shared(), &ScreenshotCaptureService::shared(),
            &ConsolidationService::shared(),     &ExportManager::shared(),        &URLDownloadService::shared()};
}

LectureController::LectureController(LibraryStore& store, LecturePtr lecture, ProcessingState& state, PlayerControl& player,
                                     PipelineServices services, QObject* parent)
    : QObject(parent), store_(store), lecture_(std::move(lecture)), state_(&state), player_(player), services_(services) {}

LectureController::~LectureController() {
    // A run that outlives its view still stops asking for notes.
    consolidationCancel_.cancel();
}

QString LectureController::modelMissingError(const QString& displayName) {
    return QStringLiteral("Whisper %1 model is not downloaded. Open ⚙ Settings and tap Download.").arg(displayName);
}

qint64 LectureController::countWordsSplitAtSpaces(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
}

QString LectureController::transcriptDoneMessage(int segments, qint64 words) {
    return QStringLiteral("Transcription done — %1 segment%2, ~%3 words.").arg(segments).arg(segments == 1 ? "" : "s").arg(words);
}

QString LectureController::frameTimeText(double seconds) {
    if (!std::isfinite(seconds)) return QStringLiteral("—");
    const qint64 s = qint64(seconds);
    if (s < 3600) return QString::asprintf("%d:%02d", int(s / 60), int(s % 60));
    return QString::asprintf("%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
}

LectureController::ModelChoice LectureController::chooseModel() const {
    ModelChoice choice;
    choice.id = lecture_->desiredModelID().value_or(services_.models->selectedModelID());
    choice.displayName = WhisperModelManager::displayName(choice.id);
    const QString stored = Settings::shared().whisperModelFolderPaths().value(choice.id);
    choice.present = (!stored.isEmpty() && QFileInfo::exists(stored)) || services_.models->isDownloaded(choice.id);
    return choice;
}

void LectureController::setPipelineError(const std::optional<QString>& error) {
    if (pipelineError_ == error) return;
    pipelineError_ = error;
    emit pipelineErrorChanged();
}

void LectureController::setDocument(LectureDocument* document) { document_ = document; }

void LectureController::setStatus(LectureStatus status) { lecture_->setStatus(status); }

void LectureController::beginTask() {
    if (running_++ == 0) emit isRunningChanged();
}

void LectureController::endTask() {
    if (--running_ == 0) emit isRunningChanged();
}

void LectureController::fail(const QString& description) {
    setPipelineError(description);
    state_->addMessage(QStringLiteral("Error: ") + description);
    setStatus(LectureStatus::Failed);
}

std::optional<QString> LectureController::folderName() const {
    const auto id = lecture_->folderID();
    if (!id) return std::nullopt;
    const LectureFolderPtr folder = store_.folder(*id);
    return folder ? std::optional<QString>(folder->name()) : std::nullopt;
}

QString LectureController::videoPath() const { return lecture_->localFilePath().value_or(QString()); }

void LectureController::storeNotes(const QString& notes, const std::optional<QString>& modelID) {
    const QByteArray bytes = notes.toUtf8();
    lecture_->setConsolidatedData(bytes);
    writeFileAtomically(consolidatedSideFilePath(lecture_->id()), bytes);  // a side-file failure is not the run's
    // Without a model name (Ollama with none chosen) the earlier name stays.
    if (modelID) lecture_->setConsolidatedWithModelID(*modelID);
}

void LectureController::storeScreenshotTimes(const QList<CapturedScreenshot>& screenshots) {
    QList<double> times;
    times.reserve(screenshots.size());
    for (const CapturedScreenshot& s : screenshots) times.append(s.timestamp);
    lecture_->setScreenshotTimestamps(json::encodeDoubles(times));
}

std::optional<QString> LectureController::storedNotesText() const {
    const auto notes = storedConsolidatedNotes(*lecture_);
    if (!notes || notes->isEmpty()) return std::nullopt;
    return notes;
}

QCoro::Task<QList<TranscriptSegment>> LectureController::transcribeAndStore(QString video, QString modelID) {
    QPointer<LectureController> self(this);
    QPointer<ProcessingState> state = state_;
    // Live text and positions can still arrive after the engine returned; they
    // must not overwrite what the run shows afterwards.
    auto live = std::make_shared<bool>(true);
    // The callbacks and the task are named before awaiting: GCC 12 destroys
    // temporaries inside a co_await expression twice.
    TranscriptionService::StatusCallback onStatus = [state](const QString& line) {
        if (state) state->addMessage(line);
    };
    TranscriptionService::TextCallback onLiveText = [state, live](const QString& text) {
        if (state && *live) state->setLiveText(text);
    };
    TranscriptionService::ValueCallback onPosition = [self, live](double t) {
        if (self && *live) self->onTranscriptionPosition(t);
    };
    TranscriptionService::ValueCallback onProgress = [state, live](double fraction) {
        if (state && *live) state->setTranscriptionProgress(fraction);
    };
    TranscriptionService::TextCallback onLanguage = [lecture = lecture_](const QString& code) {
        if (!lecture->isDeleted()) lecture->setTranscriptLanguage(code);
    };
    QCoro::Task<Transcript> transcribing =
        services_.transcription->transcribe(video, modelID, transcriptionLanguage_, std::move(onStatus), std::move(onLiveText),
                                            std::move(onPosition), std::move(onProgress), std::move(onLanguage));
    const Transcript segments = co_await std::move(transcribing);
    *live = false;
    if (!self) co_return segments;
    // Progress reports carry the start of each window, so the last one falls short of the end.
    state_->setTranscriptionProgress(1.0);
    state_->setLiveText(QString());
    state_->setTranscriptSegments(segments);
    if (segments.isEmpty()) {
        state_->addMessage(QStringLiteral("Transcription returned no text — the video may contain no speech."));
    } else {
        qint64 words = 0;
        for (const TranscriptSegment& s : segments) words += countWordsSplitAtSpaces(s.text);
        state_->addMessage(transcriptDoneMessage(int(segments.size()), words));
    }
    QString why;
    const auto bytes = encodeTranscript(segments, &why);
    if (!bytes) throw Error(QStringLiteral("The transcript could not be stored: ") + why);
    lecture_->setTranscriptData(*bytes);
    writeFileAtomically(transcriptSideFilePath(lecture_->id()), *bytes);
    co_return segments;
}

void LectureController::onTranscriptionPosition(double seconds) {
    if (seconds - lastScrubTime_ < 3.0) return;
    lastScrubTime_ = seconds;
    player_.seek(seconds, 0.5, 0.5);
}

QCoro::Task<QString> LectureController::exportWith(QList<TranscriptSegment> segments, QList<CapturedScreenshot> screenshots,
                                                    std::optional<QString> notes) {
    QPointer<ProcessingState> state = state_;
    // Named before awaiting: GCC 12 destroys temporaries inside a co_await expression twice.
    ExportProgress progress = [state](double fraction, const QString& line) {
        if (!state) return;
        state->setScreenshotProgress(fraction);
        state->setExportStatus(line);
        if (fraction == 1.0) state->addMessage(line);
    };
    QCoro::Task<QString> exporting =
        services_.exports->exportLecture(videoPath(), lecture_, segments, screenshots, notes, folderName(), std::move(progress));
    const QString folder = co_await std::move(exporting);
    lastExportFolder_ = folder;
    co_return folder;
}

QCoro::Task<> LectureController::beginProcessing() {
    if (!lecture_->localFilePath()) co_return;
    const ModelChoice model = chooseModel();
    setPipelineError(std::nullopt);
    lastScrubTime_ = -999;
    state_->showLecture(lecture_->id());
    if (!model.present) {
        setPipelineError(modelMissingError(model.displayName));
        state_->addMessage(QStringLiteral("No model on disk — open ⚙ Settings to download Whisper %1 first.").arg(model.displayName));
        setStatus(LectureStatus::Failed);
        co_return;
    }
    state_->addMessage(QStringLiteral("Starting transcription and screenshot capture…"));
    setStatus(LectureStatus::Transcribing);
    state_->setIsParallelCapturing(true);
    player_.mute();

    QPointer<LectureController> self(this);
    QPointer<ProcessingState> state = state_;
    const QString video = videoPath();
    const LecturePtr lecture = lecture_;
    beginTask();
    consolidationCancel_ = CancellationToken();
    const CancellationToken cancel = consolidationCancel_;
    {
        // A whole run takes the file as it is now, replaced or not.
        const std::optional<double> duration = co_await probeSourceDuration();
        if (!self) co_return;
        if (duration) lecture->setDuration(*duration);
    }

    const double interval = Settings::shared().screenshotMaxInterval();
    // Both stages start now and run side by side.
    const CancellationToken captureCancel;
    QCoro::Task<QList<CapturedScreenshot>> capture = services_.screenshots->captureScreenshots(
        video, 20,
        [state](const QString& text, double fraction) {
            if (!state) return;
            state->setScreenshotProgress(fraction);
            if (fraction == 1.0) state->addMessage(text);
        },
        interval, 0.2, captureCancel);
    bool captureAwaited = false;

    std::optional<QCoro::Task<std::optional<QString>>> notesTask;
    // The model that writes the notes, named when the consolidation starts.
    std::optional<QString> notesModelID;
    std::optional<QString> failure;
    try {
        const QList<TranscriptSegment> segments = co_await transcribeAndStore(video, model.id);
        if (!self) co_return;
        if (!segments.isEmpty() && lecture_->consolidationMode() != ConsolidationMode::Off) {
            notesModelID = ConsolidationService::currentModelID();
            setStatus(LectureStatus::Consolidating);
            notesTask.emplace(consolidateForRun(services_.consolidation, state, cancel, segments, lecture_->title()));
        }

        captureAwaited = true;
        QList<CapturedScreenshot> screenshots = co_await std::move(capture);
        if (!self) co_return;
        state_->setIsParallelCapturing(false);
        player_.unmute();
        state_->setScreenshots(screenshots);

        storeScreenshotTimes(screenshots);
        QCoro::Task<> saving = saveScreenshots(screenshots);
        co_await std::move(saving);
        if (!self) co_return;
        makeKeyframeIfMissing(*lecture_, screenshots);

        std::optional<QString> notes;
        if (notesTask) {
            notes = co_await std::move(*notesTask);
            notesTask.reset();
            if (!self) co_return;
            if (notes) storeNotes(*notes, notesModelID);
        }

        setStatus(LectureStatus::GeneratingPage);
        co_await exportWith(segments, screenshots, notes);
        if (!self) co_return;
        lecture_->setTranscribedWithModelID(model.id);
        lecture_->setDesiredModelID(model.id);
        setStatus(LectureStatus::Complete);
    } catch (const std::exception& e) {
        failure = describe(e);
    }
    if (failure) {
        // A failed run stops every stage it started and waits for them, so
        // that nothing reports after the error line.
        cancel.cancel();
        captureCancel.cancel();
        if (!captureAwaited) {
            try {
                co_await std::move(capture);
            } catch (const std::exception&) {
                // The run has already failed; the capture's own failure adds nothing.
            }
        }
        if (notesTask) {
            co_await std::move(*notesTask);
            notesTask.reset();
        }
        if (!self) co_return;
        state_->setIsParallelCapturing(false);
        player_.unmute();
        state_->setLiveText(QString());
        fail(*failure);
    }
    if (self) endTask();
}

QCoro::Task<> LectureController::retranscribe() {
    if (!lecture_->localFilePath()) co_return;
    const ModelChoice model = chooseModel();
    if (!model.present) {
        setPipelineError(modelMissingError(model.displayName));
        co_return;
    }
    QPointer<LectureController> self(this);
    const QList<CapturedScreenshot> screenshots = co_await shownOrStoredScreenshots();
    if (!self) co_return;
    if (screenshots.isEmpty()) {
        co_await beginProcessing();
        co_return;
    }
    beginTask();
    // Kept screenshots beside a transcript of another recording would not match.
    const bool matches = co_await sourceStillMatches(QStringLiteral("Error: "));
    if (!self) co_return;
    if (!matches) {
        endTask();
        co_return;
    }
    setPipelineError(std::nullopt);
    lastScrubTime_ = -999;
    state_->setLiveText(QString());
    state_->setTranscriptSegments({});
    state_->setTranscriptionProgress(0);
    state_->setScreenshotProgress(0);
    setStatus(LectureStatus::Transcribing);
    player_.mute();
    try {
        const QList<TranscriptSegment> segments = co_await transcribeAndStore(videoPath(), model.id);
        if (!self) co_return;
        player_.unmute();
        makeKeyframeIfMissing(*lecture_, screenshots);
        setStatus(LectureStatus::GeneratingPage);
        co_await exportWith(segments, screenshots, std::nullopt);
        if (!self) co_return;
        lecture_->setTranscribedWithModelID(model.id);
        state_->setIsModifiedSinceExport(false);
        setStatus(LectureStatus::Complete);
    } catch (const std::exception& e) {
        if (!self) co_return;
        player_.unmute();
        state_->setLiveText(QString());
        fail(describe(e));
    }
    endTask();
}

QCoro::Task<QList<CapturedScreenshot>> LectureController::loadStoredScreenshots() {
    ScreenshotCaptureService* shots = services_.screenshots;
    const QUuid id = lecture_->id();
    auto load = [shots, id] { return shots->loadScreenshots(id); };
    QCoro::Task<std::pair<std::optional<QList<CapturedScreenshot>>, QString>> loading = offMainThread<QList<CapturedScreenshot>>(load);
    const auto [loaded, error] = co_await std::move(loading);
    co_return loaded.value_or(QList<CapturedScreenshot>{});
}

bool LectureController::stateShowsThisLecture() const {
    return state_->lectureID().isNull() || state_->lectureID() == lecture_->id();
}

QCoro::Task<QList<CapturedScreenshot>> LectureController::shownOrStoredScreenshots() {
    if (stateShowsThisLecture() && !state_->screenshots().isEmpty()) co_return state_->screenshots();
    QPointer<LectureController> self(this);
    const QList<CapturedScreenshot> loaded = co_await loadStoredScreenshots();
    if (self && !loaded.isEmpty() && stateShowsThisLecture()) state_->setScreenshots(loaded);
    co_return loaded;
}

QCoro::Task<> LectureController::saveScreenshots(QList<CapturedScreenshot> screenshots) {
    ScreenshotCaptureService* shots = services_.screenshots;
    const QUuid id = lecture_->id();
    auto save = [shots, screenshots, id] { return shots->replaceScreenshots(screenshots, id); };
    QCoro::Task<std::pair<std::optional<QStringList>, QString>> saving = offMainThread<QStringList>(save);
    const auto [saved, error] = co_await std::move(saving);
    if (!saved) throw Error(error);
}

QList<TranscriptSegment> LectureController::segmentsForExport() {
    const bool ours = stateShowsThisLecture();
    if (ours && !state_->transcriptSegments().isEmpty()) return state_->transcriptSegments();
    const QList<TranscriptSegment> segments = storedTranscript(*lecture_).value_or(Transcript{});
    if (ours) state_->setTranscriptSegments(segments);
    return segments;
}

QCoro::Task<std::optional<double>> LectureController::probeSourceDuration() const {
    const QString video = videoPath();
    if (video.isEmpty()) co_return std::nullopt;
    QFuture<std::optional<double>> probe = QtConcurrent::run([video] { return av::probeDuration(video); });
    co_return co_await probe;
}

std::optional<QString> LectureController::replacedSourceError(std::optional<double> sourceDuration) const {
    // The lecture's products were made from a file of the recorded length; a
    // file at the same place that runs otherwise is another recording.
    const double recorded = lecture_->duration();
    if (!sourceDuration || !(recorded > 0) || !transcriptBytes(*lecture_)) return std::nullopt;
    if (std::abs(*sourceDuration - recorded) <= std::max(1.0, recorded * 0.01)) return std::nullopt;
    return QStringLiteral("The video file %1 is not the one this lecture was made from (it runs %2, the lecture %3); "
                          "process the lecture again to use the new file.")
        .arg(QFileInfo(videoPath()).fileName(), page::formatDuration(*sourceDuration), page::formatDuration(recorded));
}

QCoro::Task<bool> LectureController::sourceStillMatches(QString prefix) {
    QPointer<LectureController> self(this);
    const std::optional<double> duration = co_await probeSourceDuration();
    if (!self) co_return false;
    if (const auto replaced = replacedSourceError(duration)) {
        setPipelineError(*replaced);
        state_->addMessage(prefix + *replaced);
        co_return false;
    }
    co_return true;
}

QCoro::Task<> LectureController::reExportWithNotes(std::optional<QString> notes) {
    QPointer<LectureController> self(this);
    const QList<TranscriptSegment> segments = segmentsForExport();
    const QList<CapturedScreenshot> screenshots = co_await shownOrStoredScreenshots();
    if (!self || screenshots.isEmpty()) co_return;
    beginTask();
    // The page's audio comes from the file: another recording there would not match the transcript.
    const bool matches = co_await sourceStillMatches(QStringLiteral("Re-export failed: "));
    if (!self) co_return;
    if (!matches) {
        endTask();
        co_return;
    }
    setPipelineError(std::nullopt);
    state_->setScreenshotProgress(0);
    setStatus(LectureStatus::GeneratingPage);
    try {
        co_await exportWith(segments, screenshots, notes);
        if (!self) co_return;
        storeScreenshotTimes(screenshots);
        QCoro::Task<> saving = saveScreenshots(screenshots);
        co_await std::move(saving);
        if (!self) co_return;
        state_->setIsModifiedSinceExport(false);
        setStatus(LectureStatus::Complete);
    } catch (const std::exception& e) {
        if (!self) co_return;
        // A failed re-export keeps the earlier, complete document.
        setPipelineError(describe(e));
        state_->addMessage(QStringLiteral("Re-export failed: ") + describe(e));
        setStatus(LectureStatus::Complete);
    }
    endTask();
}

QCoro::Task<> LectureController::reExport() { return reExportWithNotes(storedNotesText()); }

QCoro::Task<> LectureController::removeConsolidatedNotes() {
    lecture_->setConsolidatedData(std::nullopt);
    lecture_->setConsolidatedWithModelID(std::nullopt);
    // Every reader falls back to the side file, so it goes too.
    QFile::remove(consolidatedSideFilePath(lecture_->id()));
    return reExportWithNotes(std::nullopt);
}

LectureController::ConsolidationAlert LectureController::setConsolidationMode(ConsolidationMode mode) {
    const bool hasNotes = consolidatedBytes(*lecture_).has_value();
    const bool hasTranscript = transcriptBytes(*lecture_).has_value();
    if (mode == ConsolidationMode::Off) {
        lecture_->setConsolidationOverride(false);
        return hasNotes ? ConsolidationAlert::RemoveNotes : ConsolidationAlert::None;
    }
    lecture_->setConsolidationOverride(true);
    Settings::shared().setConsolidationProvider(mode == ConsolidationMode::Ollama ? ConsolidationProvider::Ollama
                                                                                  : ConsolidationProvider::Claude);
    if (mode == ConsolidationMode::Claude) services_.consolidation->fetchClaudeModels();  // not awaited
    return !hasNotes && hasTranscript && lecture_->status() == LectureStatus::Complete ? ConsolidationAlert::RunNow
                                                                                      : ConsolidationAlert::None;
}

QCoro::Task<> LectureController::runConsolidationNow() {
    const QList<TranscriptSegment> segments = storedTranscript(*lecture_).value_or(Transcript{});
    if (segments.isEmpty()) co_return;
    QPointer<LectureController> self(this);
    const QList<CapturedScreenshot> screenshots = co_await shownOrStoredScreenshots();
    if (!self || screenshots.isEmpty()) co_return;
    setPipelineError(std::nullopt);
    setStatus(LectureStatus::Consolidating);
    beginTask();
    consolidationCancel_ = CancellationToken();
    QPointer<ProcessingState> state = state_;
    const std::optional<QString> modelID = ConsolidationService::currentModelID();
    try {
        ConsolidationService::StatusCallback onStatus = [state](const QString& line) {
            if (state) state->addMessage(line);
        };
        QCoro::Task<QString> consolidating = services_.consolidation->consolidate(segments, lecture_->title(), std::move(onStatus), consolidationCancel_);
        const QString notes = co_await std::move(consolidating);
        if (!self) co_return;
        storeNotes(notes, modelID);
        setStatus(LectureStatus::GeneratingPage);
        co_await exportWith(segments, screenshots, notes);
        if (!self) co_return;
        state_->setIsModifiedSinceExport(false);
        setStatus(LectureStatus::Complete);
    } catch (const std::exception& e) {
        if (!self) co_return;
        setPipelineError(describe(e));
        state_->addMessage(QStringLiteral("Consolidation failed: ") + describe(e));
        setStatus(LectureStatus::Failed);
    }
    endTask();
}

QCoro::Task<> LectureController::captureCurrentFrame() {
    // The frame joins the screenshots shown, which must be this lecture's.
    if (!lecture_->localFilePath() || !stateShowsThisLecture()) co_return;
    QPointer<LectureController> self(this);
    const double t = player_.currentTime();
    isCapturingFrame_ = true;
    emit stateChanged();
    if (state_->screenshots().isEmpty() && lecture_->status() == LectureStatus::Complete) {
        const QList<CapturedScreenshot> loaded = co_await loadStoredScreenshots();
        if (!self) co_return;
        state_->setScreenshots(loaded);
    }
    if (state_->transcriptSegments().isEmpty()) state_->setTranscriptSegments(storedTranscript(*lecture_).value_or(Transcript{}));
    try {
        const CapturedScreenshot shot = co_await services_.screenshots->captureFrame(videoPath(), t);
        if (!self) co_return;
        if (document_ && document_->lecture() == lecture_) {
            // An undoable edit of the open document, which stores the list and its files.
            document_->addScreenshot(shot);
            state_->addMessage(QStringLiteral("Frame captured at %1 — added to transcript.").arg(frameTimeText(shot.timestamp)));
            isCapturingFrame_ = false;
            emit stateChanged();
            co_return;
        }
        QList<CapturedScreenshot> screenshots = state_->screenshots();
        screenshots.append(shot);
        std::stable_sort(screenshots.begin(), screenshots.end(),
                         [](const CapturedScreenshot& a, const CapturedScreenshot& b) { return a.timestamp < b.timestamp; });
        state_->setScreenshots(screenshots);
        storeScreenshotTimes(screenshots);
        QCoro::Task<> saving = saveScreenshots(screenshots);
        co_await std::move(saving);
        if (!self) co_return;
        state_->setIsModifiedSinceExport(true);
        state_->addMessage(QStringLiteral("Frame captured at %1 — added to transcript.").arg(frameTimeText(shot.timestamp)));
    } catch (const std::exception& e) {
        if (!self) co_return;
        state_->addMessage(QStringLiteral("Frame capture failed: ") + describe(e));
    }
    isCapturingFrame_ = false;
    emit stateChanged();
}

QCoro::Task<> LectureController::redownloadSource() {
    const QString url = lecture_->sourceURL().value_or(QString());
    if (url.isEmpty()) co_return;
    QPointer<LectureController> self(this);
    isRedownloading_ = true;
    redownloadError_.reset();
    emit stateChanged();
    URLDownloadService* downloads = services_.downloads;
    if (!downloads->ffmpegPath()) {
        co_await downloads->installFFmpeg();
        if (!self) co_return;
    }
    if (!downloads->ffmpegPath()) {
        isRedownloading_ = false;
        redownloadError_ = QStringLiteral("ffmpeg not available — open Settings → Tools to install it.");
        emit stateChanged();
        co_return;
    }
    try {
        const DownloadResult result = co_await downloads->download(url, true);
        if (!self) co_return;
        lecture_->setLocalFilePath(result.path);
        isRedownloading_ = false;
        emit stateChanged();
        co_await videoShown();
    } catch (const std::exception& e) {
        if (!self) co_return;
        isRedownloading_ = false;
        redownloadError_ = describe(e);
        emit stateChanged();
    }
}

QCoro::Task<std::optional<QString>> LectureController::exportMarkdown() {
    QPointer<LectureController> self(this);
    const QList<TranscriptSegment> segments = storedTranscript(*lecture_).value_or(Transcript{});
    QList<CapturedScreenshot> screenshots = stateShowsThisLecture() ? state_->screenshots() : QList<CapturedScreenshot>{};
    if (screenshots.isEmpty()) {
        screenshots = co_await loadStoredScreenshots();
        if (!self) co_return std::nullopt;
    }
    const std::optional<QString> notes = storedNotesText();
    const std::optional<QString> folder = services_.exports->existingLectureFolder(*lecture_, folderName());
    if (!folder) co_return std::nullopt;
    isExportingMarkdown_ = true;
    emit stateChanged();
    QList<double> times;
    for (const CapturedScreenshot& s : screenshots) times.append(s.timestamp);
    std::optional<QString> written;
    try {
        written = co_await MarkdownExportManager::exportMarkdownAsync(MarkdownExportManager::LectureInfo::from(*lecture_), segments,
                                                                      times, notes, *folder);
        if (!self) co_return written;
        if (revealsWrittenFiles_) ExportManager::revealInFileManager(*written);
    } catch (const std::exception& e) {
        if (!self) co_return std::nullopt;
        state_->addMessage(QStringLiteral("Markdown export failed: ") + describe(e));
    }
    isExportingMarkdown_ = false;
    emit stateChanged();
    co_return written;
}

QCoro::Task<> LectureController::videoShown() {
    QPointer<LectureController> self(this);
    const QString video = videoPath();
    sourceVideoMissing_ = video.isEmpty() || !QFileInfo::exists(video);
    emit stateChanged();
    if (!sourceVideoMissing_) {
        const std::optional<double> duration = co_await probeSourceDuration();
        if (!self) co_return;
        // A replaced file keeps the recorded length until the lecture is processed again.
        if (duration && !replacedSourceError(duration)) lecture_->setDuration(*duration);
    }
}

}  // namespace lumenote
