#pragma once

// The processing of the shown lecture: its status, the transcription and
// screenshot progress, the words being recognised, the log with the time of
// each line, the error line and the button that starts a run.

#include "core/Lecture.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace lumenote {

class LectureController;
class ProcessingState;

class PipelinePanel : public QWidget {
    Q_OBJECT
public:
    explicit PipelinePanel(QWidget* parent = nullptr);

    // The controller of the lecture shown and the state it fills (none: nothing shown).
    void setController(LectureController* controller, ProcessingState* state);
    // Reads the lecture's status and the controller's error again.
    void refresh();

    QPushButton* startButton() const { return start_; }
    QListWidget* log() const { return log_; }
    QLabel* errorLine() const { return error_; }

signals:
    void startRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void syncLog();

    QPointer<ProcessingState> state_;
    QPointer<LectureController> controller_;
    QLabel* title_;
    QLabel* status_;
    QLabel* transcriptionLabel_;
    QProgressBar* transcription_;
    QLabel* screenshotsLabel_;
    QProgressBar* screenshots_;
    QLabel* liveText_;
    QLabel* error_;
    QListWidget* log_;
    QPushButton* start_;
};

}  // namespace lumenote
