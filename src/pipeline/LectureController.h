#pragma once

// One lecture's processing and actions, independent of widgets: the full run
// (model check, transcription and screenshot capture side by side, notes as
// soon as the transcript exists, export), re-transcription, re-export, the
// consolidation mode and manual consolidation, removing the notes, a manual
// frame capture, re-downloading the source and a Markdown export. Holds what
// the runs need (error line, busy flags, the follow-the-transcription position);
// questions and pickers belong to the view. Every result goes onto the Lecture
// record and into the ProcessingState. Main thread only.

#include "core/CancellationToken.h"
#include "core/ConsolidationMode.h"
#include "core/Lecture.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace lumenote {

class ConsolidationService;
class ExportManager;
class LectureDocument;
class LibraryStore;
class PlayerControl;
class ProcessingState;
class ScreenshotCaptureService;
class TranscriptionService;
class URLDownloadService;
class WhisperModelManager;
struct CapturedScreenshot;
struct TranscriptSegment;

// The services a lecture's actions use; the shared instances unless a test or
// tool provides its own.
struct PipelineServices {
    WhisperModelManager* models = nullptr;
    TranscriptionService* transcription = nullptr;
    ScreenshotCaptureService* screenshots = nullptr;
    ConsolidationService* consolidation = nullptr;
    ExportManager* exports = nullptr;
    URLDownloadService* downloads = nullptr;
    static PipelineServices shared();
};

class LectureController : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pipelineError READ pipelineErrorText NOTIFY pipelineErrorChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
public:
    LectureController(LibraryStore& store, LecturePtr lecture, ProcessingState& state, PlayerControl& player,
                      PipelineServices services = PipelineServices::shared(), QObject* parent = nullptr);
    ~LectureController() override;

    LecturePtr lecture() const { return lecture_; }

    // The model a run would use.
    struct ModelChoice {
        QString id;
        QString displayName;
        bool present = false;
    };
    ModelChoice chooseModel() const;

    // The full run. Completes when the run has ended (complete or failed).
    QCoro::Task<> beginProcessing();
    QCoro::Task<> retranscribe();
    QCoro::Task<> reExport();
    // What the view asks after a change of consolidation mode.
    enum class ConsolidationAlert {
        None,
        RemoveNotes,  // switched off while notes exist: strip them from the page?
        RunNow,       // switched on for a finished lecture without notes: make them now?
    };
    // Off, Claude or Ollama for this lecture.
    ConsolidationAlert setConsolidationMode(ConsolidationMode mode);
    QCoro::Task<> runConsolidationNow();
    QCoro::Task<> removeConsolidatedNotes();
    QCoro::Task<> captureCurrentFrame();
    QCoro::Task<> redownloadSource();
    // Returns the written file, or none (nothing to do, or a failure reported as a message).
    QCoro::Task<std::optional<QString>> exportMarkdown();

    // A position report from the transcription: the player follows it in steps
    // of at least three seconds (the first report of a run always seeks).
    void onTranscriptionPosition(double seconds);

    // Reads the video's duration into the record and notes whether the file
    // exists. A processed lecture keeps its recorded length when the file now
    // runs otherwise (another recording put in its place).
    QCoro::Task<> videoShown();

    // Transient state of the detail view.
    std::optional<QString> pipelineError() const { return pipelineError_; }
    QString pipelineErrorText() const { return pipelineError_.value_or(QString()); }
    double lastScrubTime() const { return lastScrubTime_; }
    bool sourceVideoMissing() const { return sourceVideoMissing_; }
    bool isRedownloading() const { return isRedownloading_; }
    std::optional<QString> redownloadError() const { return redownloadError_; }
    bool isCapturingFrame() const { return isCapturingFrame_; }
    bool isExportingMarkdown() const { return isExportingMarkdown_; }
    bool isRunning() const { return running_ > 0; }
    // The export folder written by the last successful export of this controller.
    std::optional<QString> lastExportFolder() const { return lastExportFolder_; }
    // The open lecture's document: a frame captured from the player is then
    // added through it, as an edit that can be undone.
    void setDocument(LectureDocument* document);
    // Whether a written Markdown file is shown in the file manager (the desktop
    // does; the command line prints the path instead).
    void setRevealsWrittenFiles(bool reveal) { revealsWrittenFiles_ = reveal; }
    // The spoken language for this controller's runs ("de", "auto"); none: the
    // "transcriptionLanguage" setting. The language the transcript came out in is stored on
    // the lecture.
    void setTranscriptionLanguage(std::optional<QString> language) { transcriptionLanguage_ = std::move(language); }

    // Texts shared with the command line and tests.
    static QString transcriptDoneMessage(int segments, qint64 words);
    static qint64 countWordsSplitAtSpaces(const QString& text);
    static QString frameTimeText(double seconds);
    static QString modelMissingError(const QString& displayName);

signals:
    void pipelineErrorChanged();
    void isRunningChanged();
    void stateChanged();

private:
    void setPipelineError(const std::optional<QString>& error);
    void setStatus(LectureStatus status);
    void fail(const QString& description);
    std::optional<QString> folderName() const;
    QString videoPath() const;
    // Transcription with the run's callbacks, storing the transcript.
    QCoro::Task<QList<TranscriptSegment>> transcribeAndStore(QString videoPath, QString modelID);
    QCoro::Task<QString> exportWith(QList<TranscriptSegment> segments, QList<CapturedScreenshot> screenshots, std::optional<QString> notes);
    void storeNotes(const QString& notes, const std::optional<QString>& modelID);
    void storeScreenshotTimes(const QList<CapturedScreenshot>& screenshots);
    QList<TranscriptSegment> segmentsForExport();
    QCoro::Task<QList<CapturedScreenshot>> loadStoredScreenshots();
    // Whether the processing state holds this lecture's products (a state
    // that never showed a lecture counts as this one's).
    bool stateShowsThisLecture() const;
    // The screenshots shown, else the stored ones (then shown).
    QCoro::Task<QList<CapturedScreenshot>> shownOrStoredScreenshots();
    // Makes them the lecture's screenshot files (others removed) off the main thread; throws Error.
    QCoro::Task<> saveScreenshots(QList<CapturedScreenshot> screenshots);
    QCoro::Task<> reExportWithNotes(std::optional<QString> notes);
    std::optional<QString> storedNotesText() const;
    void beginTask();
    void endTask();

    LibraryStore& store_;
    LecturePtr lecture_;
    QPointer<ProcessingState> state_;
    PlayerControl& player_;
    PipelineServices services_;

    std::optional<QString> pipelineError_;
    double lastScrubTime_ = -999;
    bool sourceVideoMissing_ = false;
    // The source's length now, off the main thread; none when it cannot be read.
    QCoro::Task<std::optional<double>> probeSourceDuration() const;
    // Why the lecture's products cannot be used with the file as it is now
    // (another recording replaced it); none when they can.
    std::optional<QString> replacedSourceError(std::optional<double> sourceDuration) const;
    // Whether the lecture's products still go with its video file; when not,
    // the reason goes to the pipeline error and the log (after `prefix`).
    QCoro::Task<bool> sourceStillMatches(QString prefix);
    bool isRedownloading_ = false;
    std::optional<QString> redownloadError_;
    bool isCapturingFrame_ = false;
    bool isExportingMarkdown_ = false;
    int running_ = 0;
    std::optional<QString> lastExportFolder_;
    bool revealsWrittenFiles_ = true;
    std::optional<QString> transcriptionLanguage_;
    CancellationToken consolidationCancel_;
    QPointer<LectureDocument> document_;
};

}  // namespace lumenote
