#pragma once

// What the detail view shows while a lecture is loaded or processed: the log,
// the transcript, the screenshots, progress values and the decoded annotations.
// Observable (every property signals its change); main thread only.

#include "core/Annotations.h"
#include "core/CapturedScreenshot.h"
#include "core/TranscriptModel.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

namespace lumenote {

struct ProcessingMessage {
    QUuid id;
    QString text;
    QDateTime timestamp;
};

}  // namespace lumenote

Q_DECLARE_METATYPE(lumenote::ProcessingMessage)
Q_DECLARE_METATYPE(lumenote::TranscriptSegment)
Q_DECLARE_METATYPE(lumenote::UserNote)
Q_DECLARE_METATYPE(lumenote::MarginNote)
Q_DECLARE_METATYPE(lumenote::TextHighlight)

namespace lumenote {

class ProcessingState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<lumenote::ProcessingMessage> messages READ messages NOTIFY messagesChanged)
    Q_PROPERTY(QList<lumenote::TranscriptSegment> transcriptSegments READ transcriptSegments WRITE setTranscriptSegments NOTIFY transcriptSegmentsChanged)
    Q_PROPERTY(QString liveText READ liveText WRITE setLiveText NOTIFY liveTextChanged)
    Q_PROPERTY(QList<lumenote::CapturedScreenshot> screenshots READ screenshots WRITE setScreenshots NOTIFY screenshotsChanged)
    Q_PROPERTY(double screenshotProgress READ screenshotProgress WRITE setScreenshotProgress NOTIFY screenshotProgressChanged)
    Q_PROPERTY(double transcriptionProgress READ transcriptionProgress WRITE setTranscriptionProgress NOTIFY transcriptionProgressChanged)
    Q_PROPERTY(bool isParallelCapturing READ isParallelCapturing WRITE setIsParallelCapturing NOTIFY isParallelCapturingChanged)
    Q_PROPERTY(bool isModifiedSinceExport READ isModifiedSinceExport WRITE setIsModifiedSinceExport NOTIFY isModifiedSinceExportChanged)
    Q_PROPERTY(QString exportStatus READ exportStatus WRITE setExportStatus NOTIFY exportStatusChanged)
    Q_PROPERTY(QList<lumenote::UserNote> notes READ notes WRITE setNotes NOTIFY notesChanged)
    Q_PROPERTY(QList<lumenote::MarginNote> marginNotes READ marginNotes WRITE setMarginNotes NOTIFY marginNotesChanged)
    Q_PROPERTY(QList<lumenote::TextHighlight> textHighlights READ textHighlights WRITE setTextHighlights NOTIFY textHighlightsChanged)
    Q_PROPERTY(QList<lumenote::UserNote> notesInlineNotes READ notesInlineNotes WRITE setNotesInlineNotes NOTIFY notesInlineNotesChanged)
    Q_PROPERTY(QList<lumenote::MarginNote> notesMarginNotes READ notesMarginNotes WRITE setNotesMarginNotes NOTIFY notesMarginNotesChanged)
    Q_PROPERTY(QList<lumenote::TextHighlight> notesHighlights READ notesHighlights WRITE setNotesHighlights NOTIFY notesHighlightsChanged)
    Q_PROPERTY(double playerTime READ playerTime WRITE setPlayerTime NOTIFY playerTimeChanged)

public:
    explicit ProcessingState(QObject* parent = nullptr);

    const QList<ProcessingMessage>& messages() const { return messages_; }
    const QList<TranscriptSegment>& transcriptSegments() const { return transcriptSegments_; }
    const QString& liveText() const { return liveText_; }
    const QList<CapturedScreenshot>& screenshots() const { return screenshots_; }
    double screenshotProgress() const { return screenshotProgress_; }
    double transcriptionProgress() const { return transcriptionProgress_; }
    bool isParallelCapturing() const { return isParallelCapturing_; }
    bool isModifiedSinceExport() const { return isModifiedSinceExport_; }
    const QString& exportStatus() const { return exportStatus_; }
    const QList<UserNote>& notes() const { return notes_; }
    const QList<MarginNote>& marginNotes() const { return marginNotes_; }
    const QList<TextHighlight>& textHighlights() const { return textHighlights_; }
    const QList<UserNote>& notesInlineNotes() const { return notesInlineNotes_; }
    const QList<MarginNote>& notesMarginNotes() const { return notesMarginNotes_; }
    const QList<TextHighlight>& notesHighlights() const { return notesHighlights_; }
    double playerTime() const { return playerTime_; }

    void setTranscriptSegments(const QList<TranscriptSegment>& v);
    void setLiveText(const QString& v);
    void setScreenshots(const QList<CapturedScreenshot>& v);
    void setScreenshotProgress(double v);
    void setTranscriptionProgress(double v);
    void setIsParallelCapturing(bool v);
    void setIsModifiedSinceExport(bool v);
    void setExportStatus(const QString& v);
    void setNotes(const QList<UserNote>& v);
    void setMarginNotes(const QList<MarginNote>& v);
    void setTextHighlights(const QList<TextHighlight>& v);
    void setNotesInlineNotes(const QList<UserNote>& v);
    void setNotesMarginNotes(const QList<MarginNote>& v);
    void setNotesHighlights(const QList<TextHighlight>& v);
    void setPlayerTime(double v);

    // The lecture whose products the state holds (null before the first
    // load); showing another one empties the state first.
    const QUuid& lectureID() const { return lectureID_; }
    void showLecture(const QUuid& lectureID);
    // Counts the resets: work that started before the latest reset (a load
    // of an earlier selection) must not write its results any more.
    quint64 generation() const { return generation_; }

    // Appends a message stamped now.
    void addMessage(const QString& text);
    // Empties the log, transcript, screenshots and annotations; zeroes progress
    // and player time; clears the live text, export status and both flags.
    void reset();
    // Removes every screenshot with this id and marks the lecture modified
    // since its export (also when nothing matched).
    void removeScreenshot(const QUuid& id);

signals:
    void messagesChanged();
    void messageAdded(const lumenote::ProcessingMessage& message);
    void transcriptSegmentsChanged();
    void liveTextChanged();
    void screenshotsChanged();
    void screenshotProgressChanged();
    void transcriptionProgressChanged();
    void isParallelCapturingChanged();
    void isModifiedSinceExportChanged();
    void exportStatusChanged();
    void notesChanged();
    void marginNotesChanged();
    void textHighlightsChanged();
    void notesInlineNotesChanged();
    void notesMarginNotesChanged();
    void notesHighlightsChanged();
    void playerTimeChanged();

private:
    QList<ProcessingMessage> messages_;
    QList<TranscriptSegment> transcriptSegments_;
    QString liveText_;
    QList<CapturedScreenshot> screenshots_;
    double screenshotProgress_ = 0;
    double transcriptionProgress_ = 0;
    bool isParallelCapturing_ = false;
    bool isModifiedSinceExport_ = false;
    QString exportStatus_;
    QList<UserNote> notes_;
    QList<MarginNote> marginNotes_;
    QList<TextHighlight> textHighlights_;
    QList<UserNote> notesInlineNotes_;
    QList<MarginNote> notesMarginNotes_;
    QList<TextHighlight> notesHighlights_;
    double playerTime_ = 0;
    QUuid lectureID_;
    quint64 generation_ = 0;
};

}  // namespace lumenote
