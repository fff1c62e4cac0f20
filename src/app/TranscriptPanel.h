#pragma once

// The transcript workspace beside the player: the lecture as a time-ordered
// column of passages, screenshots and inline notes that follows playback,
// with highlights and margin notes, search (Ctrl+F), the notes tab in view
// and edit mode, the statistics line and the expanded sheet. It draws a
// LectureDocument; every edit goes through the document's undo stack.
//
// Hosting: construct it over the open lecture's document and processing
// state, feed setCurrentTime() from the player every 0.1 s and seek the
// player on seekRequested().

#include "app/TranscriptRowDelegate.h"
#include "workspace/LectureDocument.h"
#include "workspace/Timeline.h"
#include "workspace/TranscriptSearch.h"

#include <QWidget>

class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace lumenote {

class PassageAnnotator;
class ProcessingState;
class TranscriptTimelineModel;

class TranscriptPanel : public QWidget {
    Q_OBJECT
public:
    TranscriptPanel(LectureDocument& document, ProcessingState& state, QWidget* parent = nullptr);
    ~TranscriptPanel() override;

    // The player's time in seconds.
    void setCurrentTime(double seconds);

    // View state, for the host and for tests.
    TranscriptTimelineModel& model() const { return *model_; }
    QListView* timelineView() const { return list_; }
    PassageAnnotator* transcriptAnnotator() const { return annotator_; }
    PassageAnnotator* notesAnnotator() const { return notesAnnotator_; }
    // The expanded sheet's annotator, once the sheet has been opened.
    PassageAnnotator* sheetAnnotator() const { return sheetAnnotator_; }
    QListWidget* notesList() const { return notesList_; }
    QTabWidget* tabs() const { return tabs_; }
    int currentPassage() const { return currentPassage_; }
    std::optional<TextRange> currentWord() const { return currentWord_; }
    const TranscriptSearch& search() const { return search_; }
    QLineEdit* searchField() const { return searchField_; }
    QLabel* statisticsLabel() const { return stats_; }
    QLabel* reexportHint() const { return hint_; }
    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }
    QAction* findAction() const { return find_; }

    // Acts as a click on a row of the column.
    void activateRow(int row);
    void findNext();
    void findPrevious();
    void copyTranscript();
    void showExpandedSheet();
    // Opens a screenshot large, with its remove button.
    void openScreenshot(const QUuid& id);
    void setNotesEditing(bool editing);
    QPlainTextEdit* notesEditor() const { return notesEdit_; }
    // The inline-note editor of the focused tab: a new note at `position`,
    // or the existing note `id`.
    void editInlineNote(AnnotationView view, double position, const std::optional<UserNote>& existing);
    QPlainTextEdit* inlineNoteField() const { return noteField_; }
    QPushButton* inlineNoteSave() const { return noteSave_; }
    QPushButton* inlineNoteDelete() const { return noteDelete_; }

signals:
    void seekRequested(double seconds);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void rebuildTimeline();
    void rebuildNotes();
    void updateStatistics();
    void refreshAnnotator();
    void runSearch();
    void showMatch(const TranscriptMatch* match);
    void scrollToRow(int row, bool animated);
    void updateRow(int row);

    LectureDocument& document_;
    ProcessingState& state_;
    TranscriptTimelineModel* model_ = nullptr;
    TranscriptRowDelegate* delegate_ = nullptr;
    FollowState follow_;
    int currentPassage_ = -1;
    std::optional<TextRange> currentWord_;
    TranscriptSearch search_;
    int focusedBlockStart_ = -1;   // row of the passage shown in the annotator
    double focusedPosition_ = -1;  // its start time
    int focusedParagraph_ = -1;
    NotesView notesView_;
    AnnotationView noteView_ = AnnotationView::Transcript;
    double notePosition_ = -1;
    std::optional<QUuid> editingNote_;

    QTabWidget* tabs_ = nullptr;
    QWidget* searchBar_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QLabel* searchCount_ = nullptr;
    QToolButton* searchPrevious_ = nullptr;
    QToolButton* searchNext_ = nullptr;
    QStackedWidget* transcriptStack_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptySelect_ = nullptr;
    QListView* list_ = nullptr;
    PassageAnnotator* annotator_ = nullptr;
    QWidget* noteEditor_ = nullptr;
    QLabel* noteTitle_ = nullptr;
    QPlainTextEdit* noteField_ = nullptr;
    QPushButton* noteSave_ = nullptr;
    QPushButton* noteDelete_ = nullptr;
    QPushButton* noteCancel_ = nullptr;
    QLabel* stats_ = nullptr;
    QLabel* hint_ = nullptr;
    QToolButton* copy_ = nullptr;
    QToolButton* expand_ = nullptr;
    QStackedWidget* notesStack_ = nullptr;
    QListWidget* notesList_ = nullptr;
    PassageAnnotator* notesAnnotator_ = nullptr;
    QPlainTextEdit* notesEdit_ = nullptr;
    QPushButton* notesModeButton_ = nullptr;
    QPushButton* notesAddNote_ = nullptr;
    QLabel* notesEmpty_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    QAction* find_ = nullptr;
    QAction* removeShot_ = nullptr;
    QDialog* sheet_ = nullptr;
    PassageAnnotator* sheetAnnotator_ = nullptr;
};

}  // namespace lumenote
