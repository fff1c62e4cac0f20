#pragma once

// Fills the window's ProcessingState from a lecture's stored products when the
// selection changes: transcript, screenshots and the six annotation lists,
// decoded off the main thread.

#include "core/CapturedScreenshot.h"
#include "core/Lecture.h"

#include <QCoroTask>
#include <QList>
#include <QUuid>

#include <functional>

namespace lumenote {

class ProcessingState;
class ScreenshotCaptureService;

// Reads a lecture's screenshot files; called off the main thread, may throw.
using ScreenshotLoader = std::function<QList<CapturedScreenshot>(const QUuid& lectureID)>;

// Empties the state and makes it show `lecture` (none: nothing selected). A
// load that is overtaken by a later selection, or by anything else that
// resets the state, finishes without touching it.
QCoro::Task<> loadLectureIntoState(ProcessingState& state, LecturePtr lecture, ScreenshotLoader loadScreenshots);
QCoro::Task<> loadLectureIntoState(ProcessingState& state, LecturePtr lecture, ScreenshotCaptureService& screenshots);

// After the store merged changes from the sync folder: when the state shows
// `lecture` without a transcript and one has arrived, decodes and shows it
// with "Transcript received via the sync folder — N segments.".
QCoro::Task<> showArrivedTranscript(ProcessingState& state, LecturePtr lecture);

}  // namespace lumenote
