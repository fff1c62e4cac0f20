#include "core/ProcessingState.h"

namespace lumenote {

ProcessingState::ProcessingState(QObject* parent) : QObject(parent) {}

// Lists are compared before assigning only where that is cheap; a list setter
// always signals, since callers set lists to new contents.
#define LUMENOTE_LIST_SETTER(Name, member, Type, Signal) \
    void ProcessingState::Name(const Type& v) {          \
        member = v;                                      \
        emit Signal();                                   \
    }
#define LUMENOTE_VALUE_SETTER(Name, member, Type, Signal) \
    void ProcessingState::Name(Type v) {                  \
        if (member == v) return;                          \
        member = v;                                       \
        emit Signal();                                    \
    }

LUMENOTE_LIST_SETTER(setTranscriptSegments, transcriptSegments_, QList<TranscriptSegment>, transcriptSegmentsChanged)
LUMENOTE_LIST_SETTER(setScreenshots, screenshots_, QList<CapturedScreenshot>, screenshotsChanged)
LUMENOTE_LIST_SETTER(setNotes, notes_, QList<UserNote>, notesChanged)
LUMENOTE_LIST_SETTER(setMarginNotes, marginNotes_, QList<MarginNote>, marginNotesChanged)
LUMENOTE_LIST_SETTER(setTextHighlights, textHighlights_, QList<TextHighlight>, textHighlightsChanged)
LUMENOTE_LIST_SETTER(setNotesInlineNotes, notesInlineNotes_, QList<UserNote>, notesInlineNotesChanged)
LUMENOTE_LIST_SETTER(setNotesMarginNotes, notesMarginNotes_, QList<MarginNote>, notesMarginNotesChanged)
LUMENOTE_LIST_SETTER(setNotesHighlights, notesHighlights_, QList<TextHighlight>, notesHighlightsChanged)
LUMENOTE_VALUE_SETTER(setScreenshotProgress, screenshotProgress_, double, screenshotProgressChanged)
LUMENOTE_VALUE_SETTER(setTranscriptionProgress, transcriptionProgress_, double, transcriptionProgressChanged)
LUMENOTE_VALUE_SETTER(setIsParallelCapturing, isParallelCapturing_, bool, isParallelCapturingChanged)
LUMENOTE_VALUE_SETTER(setIsModifiedSinceExport, isModifiedSinceExport_, bool, isModifiedSinceExportChanged)
LUMENOTE_VALUE_SETTER(setPlayerTime, playerTime_, double, playerTimeChanged)
#undef LUMENOTE_LIST_SETTER
#undef LUMENOTE_VALUE_SETTER

void ProcessingState::setLiveText(const QString& v) {
    if (liveText_ == v) return;
    liveText_ = v;
    emit liveTextChanged();
}

void ProcessingState::setExportStatus(const QString& v) {
    if (exportStatus_ == v) return;
    exportStatus_ = v;
    emit exportStatusChanged();
}

void ProcessingState::addMessage(const QString& text) {
    messages_.append({QUuid::createUuid(), text, QDateTime::currentDateTime()});
    emit messageAdded(messages_.constLast());
    emit messagesChanged();
}

void ProcessingState::showLecture(const QUuid& lectureID) {
    // Named first, so that observers of the emptied lists already see whose state it is.
    lectureID_ = lectureID;
    reset();
}

void ProcessingState::reset() {
    ++generation_;
    messages_.clear();
    emit messagesChanged();
    setTranscriptSegments({});
    setLiveText(QString());
    setScreenshots({});
    setScreenshotProgress(0);
    setTranscriptionProgress(0);
    setIsParallelCapturing(false);
    setIsModifiedSinceExport(false);
    setExportStatus(QString());
    setNotes({});
    setMarginNotes({});
    setTextHighlights({});
    setNotesInlineNotes({});
    setNotesMarginNotes({});
    setNotesHighlights({});
    setPlayerTime(0);
}

void ProcessingState::removeScreenshot(const QUuid& id) {
    QList<CapturedScreenshot> kept;
    kept.reserve(screenshots_.size());
    for (const CapturedScreenshot& s : std::as_const(screenshots_))
        if (s.id != id) kept.append(s);
    if (kept.size() != screenshots_.size()) setScreenshots(kept);
    setIsModifiedSinceExport(true);
}

}  // namespace lumenote
