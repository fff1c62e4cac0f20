#include "pipeline/LectureLoader.h"

#include "core/Annotations.h"
#include "core/LectureFiles.h"
#include "core/ProcessingState.h"
#include "core/TranscriptModel.h"
#include "screenshots/ScreenshotCaptureService.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace lumenote {

namespace {
struct Decoded {
    Transcript transcript;
    QList<CapturedScreenshot> screenshots;
    QList<UserNote> notes, notesInline;
    QList<MarginNote> margin, notesMargin;
    QList<TextHighlight> highlights, notesHighlights;
};
}  // namespace

QCoro::Task<> loadLectureIntoState(ProcessingState& state, LecturePtr lecture, ScreenshotCaptureService& screenshots) {
    ScreenshotCaptureService* shots = &screenshots;
    return loadLectureIntoState(state, std::move(lecture), [shots](const QUuid& id) { return shots->loadScreenshots(id); });
}

QCoro::Task<> loadLectureIntoState(ProcessingState& stateRef, LecturePtr lecture, ScreenshotLoader loadScreenshots) {
    QPointer<ProcessingState> state(&stateRef);
    state->showLecture(lecture ? lecture->id() : QUuid());
    const quint64 generation = state->generation();
    if (!lecture) co_return;
    // The store is read here on the main thread; decoding and file reads happen on a worker.
    const std::optional<QByteArray> transcript = transcriptBytes(*lecture);
    const std::optional<QByteArray> notes = lecture->notesData(), margin = lecture->marginNotesData(),
                                    highlights = lecture->highlightsData(), notesInline = lecture->notesInlineNotesData(),
                                    notesMargin = lecture->notesMarginNotesData(), notesHighlights = lecture->notesHighlightsData();
    const QUuid id = lecture->id();
    QFuture<Decoded> decoding = QtConcurrent::run([=] {
        Decoded out;
        if (transcript) out.transcript = decodeTranscript(*transcript).value_or(Transcript{});
        try {
            out.screenshots = loadScreenshots(id);
        } catch (const std::exception&) {
            // An unreadable folder shows as no screenshots.
        }
        out.notes = decodeOrEmpty<UserNote>(notes, decodeUserNotes);
        out.margin = decodeOrEmpty<MarginNote>(margin, decodeMarginNotes);
        out.highlights = decodeOrEmpty<TextHighlight>(highlights, decodeHighlights);
        out.notesInline = decodeOrEmpty<UserNote>(notesInline, decodeUserNotes);
        out.notesMargin = decodeOrEmpty<MarginNote>(notesMargin, decodeMarginNotes);
        out.notesHighlights = decodeOrEmpty<TextHighlight>(notesHighlights, decodeHighlights);
        return out;
    });
    const Decoded d = co_await decoding;
    // Another lecture was selected (or the state was reset) meanwhile.
    if (!state || state->generation() != generation) co_return;
    if (!d.transcript.isEmpty()) {
        state->setTranscriptSegments(d.transcript);
        state->addMessage(QStringLiteral("Transcript loaded — %1 segments.").arg(d.transcript.size()));
    }
    if (!d.screenshots.isEmpty()) {
        state->setScreenshots(d.screenshots);
        state->addMessage(QStringLiteral("Screenshots loaded — %1 image%2.").arg(d.screenshots.size()).arg(d.screenshots.size() == 1 ? "" : "s"));
    }
    state->setNotes(d.notes);
    state->setMarginNotes(d.margin);
    state->setTextHighlights(d.highlights);
    state->setNotesInlineNotes(d.notesInline);
    state->setNotesMarginNotes(d.notesMargin);
    state->setNotesHighlights(d.notesHighlights);
}

QCoro::Task<> showArrivedTranscript(ProcessingState& stateRef, LecturePtr lecture) {
    QPointer<ProcessingState> state(&stateRef);
    if (!lecture || lecture->isDeleted() || state->lectureID() != lecture->id() || !state->transcriptSegments().isEmpty()) co_return;
    const std::optional<QByteArray> transcript = transcriptBytes(*lecture);
    if (!transcript) co_return;
    const quint64 generation = state->generation();
    const QByteArray bytes = *transcript;
    QFuture<Transcript> decoding = QtConcurrent::run([bytes] { return decodeTranscript(bytes).value_or(Transcript{}); });
    const Transcript segments = co_await decoding;
    if (!state || state->generation() != generation || !state->transcriptSegments().isEmpty() || segments.isEmpty()) co_return;
    state->setTranscriptSegments(segments);
    state->addMessage(QStringLiteral("Transcript received via the sync folder — %1 segments.").arg(segments.size()));
}

}  // namespace lumenote
