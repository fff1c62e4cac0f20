#include "workspace/LectureDocument.h"

#include "core/Json.h"
#include "core/LectureFiles.h"
#include "core/Log.h"
#include "core/ProcessingState.h"
#include "screenshots/ScreenshotCaptureService.h"

#include <QFile>
#include <QUndoCommand>

#include <algorithm>
#include <exception>

namespace lumenote {

namespace {

// Puts one whole list back on undo and forward on redo.
template <typename T>
class ReplaceList : public QUndoCommand {
public:
    using Apply = std::function<void(const QList<T>&)>;
    ReplaceList(const QString& text, QList<T> before, QList<T> after, Apply apply)
        : QUndoCommand(text), before_(std::move(before)), after_(std::move(after)), apply_(std::move(apply)) {}
    void redo() override { apply_(after_); }
    void undo() override { apply_(before_); }

private:
    QList<T> before_, after_;
    Apply apply_;
};

int slot(AnnotationView view) { return view == AnnotationView::Transcript ? 0 : 1; }

template <typename T>
qsizetype indexOfID(const QList<T>& list, const QUuid& id) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i].id == id) return i;
    return -1;
}

bool earlier(const CapturedScreenshot& a, const CapturedScreenshot& b) { return a.timestamp < b.timestamp; }

}  // namespace

LectureDocument::LectureDocument(LecturePtr lecture, ProcessingState& state, ScreenshotFileWriter writeFiles, QObject* parent)
    : QObject(parent), lecture_(std::move(lecture)), state_(&state), writeFiles_(std::move(writeFiles)) {
    fileWrites_.setMaxThreadCount(1);  // writes of one folder, in order
    if (lecture_) {
        inlineNotes_[0] = decodeOrEmpty<UserNote>(lecture_->notesData(), decodeUserNotes);
        marginNotes_[0] = decodeOrEmpty<MarginNote>(lecture_->marginNotesData(), decodeMarginNotes);
        highlights_[0] = decodeOrEmpty<TextHighlight>(lecture_->highlightsData(), decodeHighlights);
        inlineNotes_[1] = decodeOrEmpty<UserNote>(lecture_->notesInlineNotesData(), decodeUserNotes);
        marginNotes_[1] = decodeOrEmpty<MarginNote>(lecture_->notesMarginNotesData(), decodeMarginNotes);
        highlights_[1] = decodeOrEmpty<TextHighlight>(lecture_->notesHighlightsData(), decodeHighlights);
        notesText_ = storedConsolidatedNotes(*lecture_);
    }
    adoptScreenshotsFromState();
    // A load or a run replaces the screenshots shown; the document follows.
    connect(&state, &ProcessingState::screenshotsChanged, this, [this] {
        if (!applying_) adoptScreenshotsFromState();
    });
}

LectureDocument::~LectureDocument() { waitForFileWrites(); }

void LectureDocument::waitForFileWrites() { fileWrites_.waitForDone(); }

bool LectureDocument::stateShowsLecture() const {
    if (!state_) return false;
    return state_->lectureID().isNull() || (lecture_ && state_->lectureID() == lecture_->id());
}

void LectureDocument::adoptScreenshotsFromState() {
    if (!stateShowsLecture()) return;
    const QList<CapturedScreenshot>& shown = state_->screenshots();
    const bool same = std::equal(shown.begin(), shown.end(), screenshots_.begin(), screenshots_.end(),
                                 [](const CapturedScreenshot& a, const CapturedScreenshot& b) { return a.id == b.id; });
    if (same) return;
    // A load or a run replaced the list: the edits made to the old one no
    // longer apply, and undoing one would bring the old list back.
    undoStack_.clear();
    screenshots_ = shown;
    emit screenshotsChanged();
}

const QList<UserNote>& LectureDocument::inlineNotes(AnnotationView view) const { return inlineNotes_[slot(view)]; }
const QList<MarginNote>& LectureDocument::marginNotes(AnnotationView view) const { return marginNotes_[slot(view)]; }
const QList<TextHighlight>& LectureDocument::highlights(AnnotationView view) const { return highlights_[slot(view)]; }

void LectureDocument::markModified() {
    if (stateShowsLecture()) state_->setIsModifiedSinceExport(true);
}

void LectureDocument::setInlineNotes(AnnotationView view, const QList<UserNote>& list) {
    inlineNotes_[slot(view)] = list;
    if (lecture_) {
        const QByteArray bytes = encodeUserNotes(list);
        view == AnnotationView::Transcript ? lecture_->setNotesData(bytes) : lecture_->setNotesInlineNotesData(bytes);
    }
    if (stateShowsLecture()) view == AnnotationView::Transcript ? state_->setNotes(list) : state_->setNotesInlineNotes(list);
    markModified();
    emit inlineNotesChanged(view);
}

void LectureDocument::setMarginNotes(AnnotationView view, const QList<MarginNote>& list) {
    marginNotes_[slot(view)] = list;
    if (lecture_) {
        const QByteArray bytes = encodeMarginNotes(list);
        view == AnnotationView::Transcript ? lecture_->setMarginNotesData(bytes) : lecture_->setNotesMarginNotesData(bytes);
    }
    if (stateShowsLecture()) view == AnnotationView::Transcript ? state_->setMarginNotes(list) : state_->setNotesMarginNotes(list);
    markModified();
    emit marginNotesChanged(view);
}

void LectureDocument::setHighlights(AnnotationView view, const QList<TextHighlight>& list) {
    highlights_[slot(view)] = list;
    if (lecture_) {
        const QByteArray bytes = encodeHighlights(list);
        view == AnnotationView::Transcript ? lecture_->setHighlightsData(bytes) : lecture_->setNotesHighlightsData(bytes);
    }
    if (stateShowsLecture()) view == AnnotationView::Transcript ? state_->setTextHighlights(list) : state_->setNotesHighlights(list);
    markModified();
    emit highlightsChanged(view);
}

void LectureDocument::setScreenshots(const QList<CapturedScreenshot>& list) {
    screenshots_ = list;
    if (lecture_) {
        QList<double> times;
        times.reserve(list.size());
        for (const CapturedScreenshot& s : list) times.append(s.timestamp);
        lecture_->setScreenshotTimestamps(json::encodeDoubles(times));
        if (writeFiles_) {
            const QUuid id = lecture_->id();
            fileWrites_.start([write = writeFiles_, id, list] { write(id, list); });
        }
    }
    if (stateShowsLecture()) {
        applying_ = true;
        state_->setScreenshots(list);
        applying_ = false;
    }
    markModified();
    emit screenshotsChanged();
}

void LectureDocument::storeNotesText(const std::optional<QString>& text) {
    notesText_ = text;
    if (lecture_) {
        // The record and its side file together, as every reader falls back to the file.
        const QString sideFile = consolidatedSideFilePath(lecture_->id());
        if (text) {
            const QByteArray bytes = text->toUtf8();
            lecture_->setConsolidatedData(bytes);
            writeFileAtomically(sideFile, bytes);
        } else {
            lecture_->setConsolidatedData(std::nullopt);
            QFile::remove(sideFile);
        }
    }
    markModified();
    emit notesTextChanged();
}

void LectureDocument::setNotesText(const QString& text) {
    const std::optional<QString> after = text.trimmed().isEmpty() ? std::nullopt : std::optional<QString>(text);
    if (after == notesText_) return;
    using Text = std::optional<QString>;
    //% "Edit notes"
    undoStack_.push(new ReplaceList<Text>(qtTrId("workspace.undo.notes.edit"), {notesText_}, {after},
                                          [this](const QList<Text>& l) { storeNotesText(l.first()); }));
}

QUuid LectureDocument::addInlineNote(AnnotationView view, double afterTimestamp, const QString& text) {
    const UserNote note = UserNote::create(afterTimestamp, text);
    const QList<UserNote> before = inlineNotes(view);
    //% "Add note"
    undoStack_.push(new ReplaceList<UserNote>(qtTrId("workspace.undo.note.add"), before, QList<UserNote>(before) << note,
                                              [this, view](const QList<UserNote>& l) { setInlineNotes(view, l); }));
    return note.id;
}

bool LectureDocument::editInlineNote(AnnotationView view, const QUuid& id, const QString& text) {
    const QList<UserNote> before = inlineNotes(view);
    const qsizetype i = indexOfID(before, id);
    if (i < 0) return false;
    QList<UserNote> after = before;
    after[i].text = text;
    //% "Edit note"
    undoStack_.push(new ReplaceList<UserNote>(qtTrId("workspace.undo.note.edit"), before, after,
                                              [this, view](const QList<UserNote>& l) { setInlineNotes(view, l); }));
    return true;
}

bool LectureDocument::deleteInlineNote(AnnotationView view, const QUuid& id) {
    const QList<UserNote> before = inlineNotes(view);
    const qsizetype i = indexOfID(before, id);
    if (i < 0) return false;
    QList<UserNote> after = before;
    after.removeAt(i);
    //% "Delete note"
    undoStack_.push(new ReplaceList<UserNote>(qtTrId("workspace.undo.note.delete"), before, after,
                                              [this, view](const QList<UserNote>& l) { setInlineNotes(view, l); }));
    return true;
}

QUuid LectureDocument::addMarginNote(AnnotationView view, double position, const QString& anchorText, const QString& noteText,
                                     MarginNote::Side side) {
    const MarginNote note = MarginNote::create(position, anchorText, noteText, side);
    const QList<MarginNote> before = marginNotes(view);
    //% "Add margin note"
    undoStack_.push(new ReplaceList<MarginNote>(qtTrId("workspace.undo.margin.add"), before, QList<MarginNote>(before) << note,
                                                [this, view](const QList<MarginNote>& l) { setMarginNotes(view, l); }));
    return note.id;
}

bool LectureDocument::editMarginNote(AnnotationView view, const QUuid& id, const QString& anchorText, const QString& noteText,
                                     MarginNote::Side side) {
    const QList<MarginNote> before = marginNotes(view);
    const qsizetype i = indexOfID(before, id);
    if (i < 0) return false;
    QList<MarginNote> after = before;
    after[i].anchorText = anchorText;
    after[i].noteText = noteText;
    after[i].side = side;
    //% "Edit margin note"
    undoStack_.push(new ReplaceList<MarginNote>(qtTrId("workspace.undo.margin.edit"), before, after,
                                                [this, view](const QList<MarginNote>& l) { setMarginNotes(view, l); }));
    return true;
}

bool LectureDocument::deleteMarginNote(AnnotationView view, const QUuid& id) {
    const QList<MarginNote> before = marginNotes(view);
    const qsizetype i = indexOfID(before, id);
    if (i < 0) return false;
    QList<MarginNote> after = before;
    after.removeAt(i);
    //% "Delete margin note"
    undoStack_.push(new ReplaceList<MarginNote>(qtTrId("workspace.undo.margin.delete"), before, after,
                                                [this, view](const QList<MarginNote>& l) { setMarginNotes(view, l); }));
    return true;
}

QUuid LectureDocument::addHighlight(AnnotationView view, double position, const QString& anchorText, TextHighlight::HighlightColor color) {
    const TextHighlight highlight = TextHighlight::create(position, anchorText, color);
    const QList<TextHighlight> before = highlights(view);
    //% "Add highlight"
    undoStack_.push(new ReplaceList<TextHighlight>(qtTrId("workspace.undo.highlight.add"), before, QList<TextHighlight>(before) << highlight,
                                                   [this, view](const QList<TextHighlight>& l) { setHighlights(view, l); }));
    return highlight.id;
}

bool LectureDocument::deleteHighlight(AnnotationView view, const QUuid& id) {
    const QList<TextHighlight> before = highlights(view);
    const qsizetype i = indexOfID(before, id);
    if (i < 0) return false;
    QList<TextHighlight> after = before;
    after.removeAt(i);
    //% "Delete highlight"
    undoStack_.push(new ReplaceList<TextHighlight>(qtTrId("workspace.undo.highlight.delete"), before, after,
                                                   [this, view](const QList<TextHighlight>& l) { setHighlights(view, l); }));
    return true;
}

bool LectureDocument::removeScreenshot(const QUuid& id) {
    const qsizetype i = indexOfID(screenshots_, id);
    if (i < 0) return false;
    QList<CapturedScreenshot> after = screenshots_;
    after.removeAt(i);
    //% "Remove screenshot"
    undoStack_.push(new ReplaceList<CapturedScreenshot>(qtTrId("workspace.undo.screenshot.remove"), screenshots_, after,
                                                        [this](const QList<CapturedScreenshot>& l) { setScreenshots(l); }));
    return true;
}

void LectureDocument::addScreenshot(const CapturedScreenshot& screenshot) {
    QList<CapturedScreenshot> after = screenshots_;
    after.insert(std::upper_bound(after.begin(), after.end(), screenshot, earlier), screenshot);
    //% "Add screenshot"
    undoStack_.push(new ReplaceList<CapturedScreenshot>(qtTrId("workspace.undo.screenshot.add"), screenshots_, after,
                                                        [this](const QList<CapturedScreenshot>& l) { setScreenshots(l); }));
}

LectureDocument::ScreenshotFileWriter LectureDocument::defaultScreenshotFileWriter() {
    const ScreenshotCaptureService* service = &ScreenshotCaptureService::shared();  // made here, on the main thread
    return [service](const QUuid& lectureID, const QList<CapturedScreenshot>& screenshots) {
        try {
            service->replaceScreenshots(screenshots, lectureID);
        } catch (const std::exception& e) {
            logLine(QStringLiteral("[screenshots] Could not save the screenshots: ") + QString::fromUtf8(e.what()));
        }
    };
}

}  // namespace lumenote
