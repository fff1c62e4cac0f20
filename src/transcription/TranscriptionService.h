#pragma once

// Turns a lecture's video (or audio) file into transcript segments: extracts
// the audio into a temporary 16 kHz mono WAV file while the speech model
// loads, runs the engine with live text and progress, and returns the
// cleaned segments. Keeps no state between calls.

#include "core/TranscriptModel.h"
#include "transcription/AudioExtraction.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <optional>

namespace lumenote {

class WhisperModelManager;

class TranscriptionService : public QObject {
    Q_OBJECT
public:
    using StatusCallback = std::function<void(const QString&)>;
    using TextCallback = std::function<void(const QString&)>;
    using ValueCallback = std::function<void(double)>;

    // The process-wide instance (created on first use, on the main thread),
    // working with WhisperModelManager::shared().
    static TranscriptionService& shared();
    explicit TranscriptionService(WhisperModelManager& models, QObject* parent = nullptr);
    ~TranscriptionService() override;

    // Awaited on the main thread, which stays free meanwhile. `modelID` none
    // means the manager's selected model. The callbacks run on the main
    // thread; live text, position and progress may still arrive after the
    // call has returned. Throws DomainError ("TranscriptionService" codes 1 to
    // 4, or FFmpeg's and the file system's own), WhisperModelError and
    // SpeechEngineError.
    QCoro::Task<Transcript> transcribe(QString videoPath, std::optional<QString> modelID, StatusCallback onStatus,
                                       TextCallback onLiveText, ValueCallback onPosition, ValueCallback onProgress);
    // The same in a chosen language: a code such as "de", or "auto" (detected on the first
    // 30 s); none means the "transcriptionLanguage" setting. `onLanguage` receives the
    // language the transcript came out in, once, on the main thread.
    QCoro::Task<Transcript> transcribe(QString videoPath, std::optional<QString> modelID, std::optional<QString> language,
                                       StatusCallback onStatus, TextCallback onLiveText, ValueCallback onPosition,
                                       ValueCallback onProgress, TextCallback onLanguage);

    // Writes the audio of `videoPath` to a new WAV file in the temporary
    // folder (named by a new UUID) on a worker thread. The caller owns the
    // file and deletes it.
    QCoro::Task<ExtractedAudio> extractAudio(QString videoPath);

    static QString newTemporaryWavPath();

private:
    WhisperModelManager& models_;
    QThreadPool extractionThreads_;
};

}  // namespace lumenote
