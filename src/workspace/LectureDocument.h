#pragma once

// The open lecture as the workspace edits it: the annotation lists of both
// views and the screenshot list. Every edit is a command on the document's
// undo stack; applying, undoing or redoing one stores the affected list in the
// lecture record (the library store saves it), mirrors it into the processing
// state and marks the lecture modified since its export. Main thread only.

#include "core/Annotations.h"
#include "core/CapturedScreenshot.h"
#include "core/Lecture.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QUndoStack>
#include <QUuid>

#include <functional>
#include <optional>

namespace lumenote {

class ProcessingState;

// The transcript tab (positions in seconds) or the notes tab (paragraph indices).
enum class AnnotationView { Transcript, Notes };

class LectureDocument : public QObject {
    Q_OBJECT
public:
    // Writes the lecture's screenshot files so that they hold exactly this
    // list; runs off the main thread, one call at a time, in order.
    using ScreenshotFileWriter = std::function<void(const QUuid& lectureID, const QList<CapturedScreenshot>& screenshots)>;

    // The lists are read from the lecture record; the screenshots are those
    // the state shows for this lecture (and follow the state when a load or a
    // run replaces them, which ends the undo history). Without a lecture the
    // lists start empty and nothing is stored.
    LectureDocument(LecturePtr lecture, ProcessingState& state, ScreenshotFileWriter writeFiles = defaultScreenshotFileWriter(),
                    QObject* parent = nullptr);
    ~LectureDocument() override;

    LecturePtr lecture() const { return lecture_; }
    QUndoStack& undoStack() { return undoStack_; }

    const QList<UserNote>& inlineNotes(AnnotationView view) const;
    const QList<MarginNote>& marginNotes(AnnotationView view) const;
    const QList<TextHighlight>& highlights(AnnotationView view) const;
    const QList<CapturedScreenshot>& screenshots() const { return screenshots_; }
    // The consolidated notes the notes tab shows and edits; none without notes.
    const std::optional<QString>& notesText() const { return notesText_; }

    // Edits. Each returns the id of the new value, or whether an existing
    // value with that id was found (an unknown id pushes no command).
    QUuid addInlineNote(AnnotationView view, double afterTimestamp, const QString& text);
    bool editInlineNote(AnnotationView view, const QUuid& id, const QString& text);
    bool deleteInlineNote(AnnotationView view, const QUuid& id);
    QUuid addMarginNote(AnnotationView view, double position, const QString& anchorText, const QString& noteText, MarginNote::Side side);
    bool editMarginNote(AnnotationView view, const QUuid& id, const QString& anchorText, const QString& noteText, MarginNote::Side side);
    bool deleteMarginNote(AnnotationView view, const QUuid& id);
    QUuid addHighlight(AnnotationView view, double position, const QString& anchorText, TextHighlight::HighlightColor color);
    bool deleteHighlight(AnnotationView view, const QUuid& id);
    bool removeScreenshot(const QUuid& id);
    // A screenshot added by hand joins the list in time order.
    void addScreenshot(const CapturedScreenshot& screenshot);
    // The notes edited as one text (the notes tab's edit mode); an empty text
    // removes them. The notes-view annotations keep their paragraph indices.
    void setNotesText(const QString& text);

    // Waits until every screenshot file write has finished.
    void waitForFileWrites();

    // Replaces the lecture's screenshot files through the shared screenshot
    // service, so a removed screenshot stays removed.
    static ScreenshotFileWriter defaultScreenshotFileWriter();

signals:
    void inlineNotesChanged(lumenote::AnnotationView view);
    void marginNotesChanged(lumenote::AnnotationView view);
    void highlightsChanged(lumenote::AnnotationView view);
    void screenshotsChanged();
    void notesTextChanged();

private:
    // The commands put whole lists back; these store and announce them.
    void setInlineNotes(AnnotationView view, const QList<UserNote>& list);
    void setMarginNotes(AnnotationView view, const QList<MarginNote>& list);
    void setHighlights(AnnotationView view, const QList<TextHighlight>& list);
    void setScreenshots(const QList<CapturedScreenshot>& list);
    void storeNotesText(const std::optional<QString>& text);
    void markModified();
    bool stateShowsLecture() const;
    void adoptScreenshotsFromState();

    LecturePtr lecture_;
    QPointer<ProcessingState> state_;
    ScreenshotFileWriter writeFiles_;
    QThreadPool fileWrites_;
    QUndoStack undoStack_;
    QList<UserNote> inlineNotes_[2];
    QList<MarginNote> marginNotes_[2];
    QList<TextHighlight> highlights_[2];
    QList<CapturedScreenshot> screenshots_;
    std::optional<QString> notesText_;
    bool applying_ = false;
};

}  // namespace lumenote
