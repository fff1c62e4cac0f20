#pragma once

// Shows a lecture action on the console: every ProcessingMessage as a line
// when it arrives, and a progress bar for each running stage (transcription,
// screenshots, export, consolidation) while it runs.

#include "core/Lecture.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace lumenote {
class ConsolidationService;
class ProcessingState;
struct ProcessingMessage;
}  // namespace lumenote

namespace lumenote::cli {

class Console;

class StageDisplay : public QObject {
    Q_OBJECT
public:
    StageDisplay(Console& console, ProcessingState& state, LecturePtr lecture, ConsolidationService* consolidation);
    ~StageDisplay() override;

    // "HH:mm:ss  text"
    static QString messageLine(const ProcessingMessage& message);

    // Removes the bars (the action has ended).
    void finish();

private:
    void showTranscription();
    void showExport();
    void poll();

    Console& console_;
    QPointer<ProcessingState> state_;
    LecturePtr lecture_;
    bool transcribing_ = false;
    bool capturing_ = false;
    bool exporting_ = false;
    QTimer poll_;
};

}  // namespace lumenote::cli
