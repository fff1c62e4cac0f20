#pragma once

// Fills the window's ProcessingState from a lecture's stored products when the
// selection changes: transcript, screenshots and the six annotation lists,
// decoded off the main thread.

#include "core/Lecture.h"

#include <QCoroTask>

namespace lumenote {

class ProcessingState;
class ScreenshotCaptureService;

QCoro::Task<> loadLectureIntoState(ProcessingState& state, LecturePtr lecture, ScreenshotCaptureService& screenshots);

}  // namespace lumenote
