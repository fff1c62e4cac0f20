#include "cli/StageDisplay.h"

#include "cli/Console.h"
#include "consolidation/ConsolidationService.h"
#include "core/ProcessingState.h"

namespace lumenote::cli {

namespace {
const QString kTranscription = QStringLiteral("transcription");
const QString kScreenshots = QStringLiteral("screenshots");
const QString kExport = QStringLiteral("export");
const QString kConsolidation = QStringLiteral("consolidation");
}  // namespace

QString StageDisplay::messageLine(const ProcessingMessage& message) {
    return message.timestamp.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + message.text;
}

StageDisplay::StageDisplay(Console& console, ProcessingState& state, LecturePtr lecture, ConsolidationService* consolidation)
    : console_(console), state_(&state), lecture_(std::move(lecture)) {
    connect(&state, &ProcessingState::messageAdded, this, [this](const ProcessingMessage& m) {
        console_.print(messageLine(m));
        if (m.text.startsWith(QLatin1String("Consolidation skipped: ")) || m.text.startsWith(QLatin1String("Consolidation failed: ")))
            console_.removeBar(kConsolidation);
    });
    connect(&state, &ProcessingState::isParallelCapturingChanged, this, [this] {
        if (state_->isParallelCapturing()) {
            transcribing_ = capturing_ = true;
            showTranscription();
            console_.setBar(kScreenshots, QStringLiteral("Screenshots"), state_->screenshotProgress());
        } else {
            capturing_ = false;
            console_.removeBar(kScreenshots);
        }
    });
    auto transcriptionMoved = [this] {
        if (!transcribing_ && (state_->transcriptionProgress() > 0 || !state_->liveText().isEmpty())) transcribing_ = true;
        if (transcribing_) showTranscription();
    };
    connect(&state, &ProcessingState::transcriptionProgressChanged, this, transcriptionMoved);
    connect(&state, &ProcessingState::liveTextChanged, this, transcriptionMoved);
    connect(&state, &ProcessingState::transcriptSegmentsChanged, this, [this] {
        if (!transcribing_) return;
        transcribing_ = false;
        console_.removeBar(kTranscription);
    });
    // The screenshot progress also carries the export's progress once capture is over.
    connect(&state, &ProcessingState::screenshotProgressChanged, this, [this] {
        const double p = state_->screenshotProgress();
        if (capturing_) {
            console_.setBar(kScreenshots, QStringLiteral("Screenshots"), p);
        } else if (exporting_) {
            if (p >= 1.0) {
                exporting_ = false;
                console_.removeBar(kExport);
            } else {
                showExport();
            }
        }
    });
    connect(&state, &ProcessingState::exportStatusChanged, this, [this] {
        if (capturing_ || state_->screenshotProgress() >= 1.0) return;
        exporting_ = true;
        showExport();
    });
    if (consolidation) {
        QPointer<ConsolidationService> service(consolidation);
        connect(consolidation, &ConsolidationService::progressChanged, this, [this, service](double p) {
            if (!service) return;
            if (p >= 1.0)
                console_.removeBar(kConsolidation);
            else
                console_.setBar(kConsolidation, QStringLiteral("Consolidation"), p, service->statusText());
        });
    }
    // Notes that end without a last progress report end with the stage.
    poll_.setInterval(250);
    connect(&poll_, &QTimer::timeout, this, &StageDisplay::poll);
    poll_.start();
}

StageDisplay::~StageDisplay() { finish(); }

void StageDisplay::showTranscription() {
    console_.setBar(kTranscription, QStringLiteral("Transcription"), state_->transcriptionProgress(), state_->liveText());
}

void StageDisplay::showExport() { console_.setBar(kExport, QStringLiteral("Export"), state_->screenshotProgress(), state_->exportStatus()); }

void StageDisplay::poll() {
    if (lecture_ && lecture_->status() != LectureStatus::Consolidating && console_.hasBar(kConsolidation)) console_.removeBar(kConsolidation);
}

void StageDisplay::finish() {
    poll_.stop();
    console_.removeAllBars();
}

}  // namespace lumenote::cli
