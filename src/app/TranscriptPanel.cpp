#include "app/TranscriptPanel.h"

#include "app/NotesParagraphDelegate.h"
#include "app/PassageAnnotator.h"
#include "app/TranscriptTimelineModel.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "export/StudyPage.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumenote {

namespace {

// The statistics labels are looked up by the timeline; listed here so that
// they are extracted with their English texts.
[[maybe_unused]] const char* const kStatisticsTexts[] = {
    //% "passage"
    QT_TRID_NOOP("transcript.stats.passage.singular"),
    //% "passages"
    QT_TRID_NOOP("transcript.stats.passage.plural"),
    //% "word"
    QT_TRID_NOOP("transcript.stats.word.singular"),
    //% "words"
    QT_TRID_NOOP("transcript.stats.word.plural"),
    //% "screenshot"
    QT_TRID_NOOP("transcript.stats.screenshot.singular"),
    //% "screenshots"
    QT_TRID_NOOP("transcript.stats.screenshot.plural"),
    //% "Re-export to update the study page"
    QT_TRID_NOOP("transcript.stats.reexport.needed"),
};

enum NotesItemRole { NotesKindRole = Qt::UserRole + 1, NotesIndexRole, NotesNoteRole };
enum NotesItemKind { ParagraphItem, NoteItem };

QListView* makeTimelineView(QWidget* parent, TranscriptTimelineModel& model) {
    auto* view = new QListView(parent);
    view->setModel(&model);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setResizeMode(QListView::Adjust);
    view->setMouseTracking(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    return view;
}

}  // namespace

TranscriptPanel::TranscriptPanel(LectureDocument& document, ProcessingState& state, QWidget* parent)
    : QWidget(parent), document_(document), state_(state) {
    model_ = new TranscriptTimelineModel(this);

    // Search bar (Ctrl+F).
    searchBar_ = new QWidget(this);
    searchField_ = new QLineEdit(searchBar_);
    searchField_->setClearButtonEnabled(true);
    searchCount_ = new QLabel(searchBar_);
    searchPrevious_ = new QToolButton(searchBar_);
    searchPrevious_->setArrowType(Qt::UpArrow);
    searchNext_ = new QToolButton(searchBar_);
    searchNext_->setArrowType(Qt::DownArrow);
    auto* searchRow = new QHBoxLayout(searchBar_);
    searchRow->setContentsMargins(0, 0, 0, 0);
    searchRow->addWidget(searchField_, 1);
    searchRow->addWidget(searchCount_);
    searchRow->addWidget(searchPrevious_);
    searchRow->addWidget(searchNext_);
    searchBar_->hide();
    connect(searchField_, &QLineEdit::textChanged, this, &TranscriptPanel::runSearch);
    connect(searchField_, &QLineEdit::returnPressed, this, [this] {
        QGuiApplication::keyboardModifiers() & Qt::ShiftModifier ? findPrevious() : findNext();
    });
    connect(searchPrevious_, &QToolButton::clicked, this, &TranscriptPanel::findPrevious);
    connect(searchNext_, &QToolButton::clicked, this, &TranscriptPanel::findNext);

    // The column.
    list_ = makeTimelineView(this, *model_);
    delegate_ = new TranscriptRowDelegate(*model_, *list_);
    list_->setItemDelegate(delegate_);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { activateRow(index.row()); });
    connect(list_, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        const DisplayRow& row = model_->displayRow(index.row());
        if (row.kind != DisplayRow::Kind::Content) return;
        const TimelineItem& item = model_->timeline().items[row.index];
        if (item.kind == TimelineItem::Kind::Screenshot) openScreenshot(item.id);
    });
    connect(list_, &QListView::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = list_->indexAt(at);
        if (!index.isValid()) return;
        const DisplayRow& row = model_->displayRow(index.row());
        if (row.kind != DisplayRow::Kind::Content) return;
        const TimelineItem item = model_->timeline().items[row.index];
        if (item.kind != TimelineItem::Kind::Screenshot) return;
        QMenu menu;
        //% "Open large"
        menu.addAction(qtTrId("transcript.screenshot.open"), this, [this, id = item.id] { openScreenshot(id); });
        //% "Remove screenshot"
        menu.addAction(qtTrId("transcript.screenshot.remove"), this, [this, id = item.id] { document_.removeScreenshot(id); });
        menu.exec(list_->viewport()->mapToGlobal(at));
    });

    emptyTitle_ = new QLabel(this);
    emptyTitle_->setAlignment(Qt::AlignCenter);
    QFont titleFont = emptyTitle_->font();
    titleFont.setBold(true);
    emptyTitle_->setFont(titleFont);
    emptySelect_ = new QLabel(this);
    emptySelect_->setAlignment(Qt::AlignCenter);
    emptySelect_->setWordWrap(true);
    auto* empty = new QWidget(this);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch();
    emptyLayout->addWidget(emptyTitle_);
    emptyLayout->addWidget(emptySelect_);
    emptyLayout->addStretch();
    transcriptStack_ = new QStackedWidget(this);
    transcriptStack_->addWidget(empty);
    transcriptStack_->addWidget(list_);

    annotator_ = new PassageAnnotator(document_, AnnotationView::Transcript, this);

    auto* transcriptTab = new QWidget(this);
    auto* transcriptLayout = new QVBoxLayout(transcriptTab);
    transcriptLayout->setContentsMargins(4, 4, 4, 4);
    transcriptLayout->addWidget(searchBar_);
    transcriptLayout->addWidget(transcriptStack_, 1);
    transcriptLayout->addWidget(annotator_);

    // The notes tab: paragraphs with their annotations, or the whole text to edit.
    notesList_ = new QListWidget(this);
    notesList_->setWordWrap(true);
    notesList_->setResizeMode(QListView::Adjust);
    notesList_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    notesList_->setItemDelegate(new NotesParagraphDelegate(notesView_, NotesIndexRole, *notesList_));
    notesAnnotator_ = new PassageAnnotator(document_, AnnotationView::Notes, this);
    notesEdit_ = new QPlainTextEdit(this);
    notesEmpty_ = new QLabel(this);
    notesEmpty_->setAlignment(Qt::AlignCenter);
    notesStack_ = new QStackedWidget(this);
    auto* notesViewPage = new QWidget(this);
    auto* notesViewLayout = new QVBoxLayout(notesViewPage);
    notesViewLayout->setContentsMargins(0, 0, 0, 0);
    notesViewLayout->addWidget(notesList_, 1);
    notesViewLayout->addWidget(notesAnnotator_);
    notesStack_->addWidget(notesViewPage);
    notesStack_->addWidget(notesEdit_);
    notesStack_->addWidget(notesEmpty_);
    notesModeButton_ = new QPushButton(this);
    notesAddNote_ = new QPushButton(this);
    auto* notesButtons = new QHBoxLayout;
    notesButtons->addWidget(notesAddNote_);
    notesButtons->addStretch();
    notesButtons->addWidget(notesModeButton_);
    auto* notesTab = new QWidget(this);
    auto* notesLayout = new QVBoxLayout(notesTab);
    notesLayout->setContentsMargins(4, 4, 4, 4);
    notesLayout->addWidget(notesStack_, 1);
    notesLayout->addLayout(notesButtons);
    connect(notesModeButton_, &QPushButton::clicked, this, [this] { setNotesEditing(notesStack_->currentWidget() != notesEdit_); });
    connect(notesAddNote_, &QPushButton::clicked, this,
            [this] { editInlineNote(AnnotationView::Notes, focusedParagraph_ >= 0 ? focusedParagraph_ : -1.0, std::nullopt); });
    connect(notesList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item->data(NotesKindRole).toInt() == NoteItem) {
            const QUuid id = item->data(NotesNoteRole).toUuid();
            for (const UserNote& n : document_.inlineNotes(AnnotationView::Notes))
                if (n.id == id) editInlineNote(AnnotationView::Notes, n.afterTimestamp, n);
            return;
        }
        focusedParagraph_ = item->data(NotesIndexRole).toInt();
        refreshAnnotator();
    });

    tabs_ = new QTabWidget(this);
    tabs_->addTab(transcriptTab, QString());
    tabs_->addTab(notesTab, QString());

    // The inline-note editor, shared by both tabs.
    noteEditor_ = new QWidget(this);
    noteTitle_ = new QLabel(noteEditor_);
    noteField_ = new QPlainTextEdit(noteEditor_);
    noteField_->setMaximumHeight(80);
    noteSave_ = new QPushButton(noteEditor_);
    noteDelete_ = new QPushButton(noteEditor_);
    noteCancel_ = new QPushButton(noteEditor_);
    auto* noteButtons = new QHBoxLayout;
    noteButtons->addWidget(noteDelete_);
    noteButtons->addStretch();
    noteButtons->addWidget(noteCancel_);
    noteButtons->addWidget(noteSave_);
    auto* noteLayout = new QVBoxLayout(noteEditor_);
    noteLayout->setContentsMargins(4, 0, 4, 0);
    noteLayout->addWidget(noteTitle_);
    noteLayout->addWidget(noteField_);
    noteLayout->addLayout(noteButtons);
    noteEditor_->hide();
    connect(noteSave_, &QPushButton::clicked, this, [this] {
        const QString text = noteField_->toPlainText().trimmed();
        if (!text.isEmpty()) {
            if (editingNote_) document_.editInlineNote(noteView_, *editingNote_, text);
            else document_.addInlineNote(noteView_, notePosition_, text);
        }
        noteEditor_->hide();
    });
    connect(noteDelete_, &QPushButton::clicked, this, [this] {
        if (editingNote_) document_.deleteInlineNote(noteView_, *editingNote_);
        noteEditor_->hide();
    });
    connect(noteCancel_, &QPushButton::clicked, noteEditor_, &QWidget::hide);

    // Statistics line.
    stats_ = new QLabel(this);
    stats_->setWordWrap(true);
    stats_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    QPalette hintPalette = hint_->palette();
    hintPalette.setColor(QPalette::WindowText, QColor(200, 120, 0));
    hint_->setPalette(hintPalette);
    copy_ = new QToolButton(this);
    expand_ = new QToolButton(this);
    connect(copy_, &QToolButton::clicked, this, &TranscriptPanel::copyTranscript);
    connect(expand_, &QToolButton::clicked, this, &TranscriptPanel::showExpandedSheet);
    auto* statsRow = new QHBoxLayout;
    statsRow->addWidget(stats_, 1);
    statsRow->addWidget(hint_, 1);
    statsRow->addWidget(copy_);
    statsRow->addWidget(expand_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_, 1);
    layout->addWidget(noteEditor_);
    layout->addLayout(statsRow);

    // Actions, each declared once.
    undo_ = document_.undoStack().createUndoAction(this);
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_ = document_.undoStack().createRedoAction(this);
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    find_ = new QAction(this);
    find_->setShortcut(QKeySequence::Find);
    connect(find_, &QAction::triggered, this, [this] {
        tabs_->setCurrentIndex(0);
        searchBar_->show();
        searchField_->setFocus();
        searchField_->selectAll();
    });
    for (QAction* a : {undo_, redo_, find_}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    auto* closeSearch = new QAction(this);
    closeSearch->setShortcut(QKeySequence(Qt::Key_Escape));
    closeSearch->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(closeSearch, &QAction::triggered, this, [this] {
        searchField_->clear();
        searchBar_->hide();
    });
    searchBar_->addAction(closeSearch);

    // The column follows the document and the state.
    connect(&document_, &LectureDocument::inlineNotesChanged, this,
            [this](AnnotationView v) { v == AnnotationView::Transcript ? rebuildTimeline() : rebuildNotes(); });
    connect(&document_, &LectureDocument::marginNotesChanged, this,
            [this](AnnotationView v) { v == AnnotationView::Transcript ? rebuildTimeline() : rebuildNotes(); });
    connect(&document_, &LectureDocument::highlightsChanged, this,
            [this](AnnotationView v) { v == AnnotationView::Transcript ? rebuildTimeline() : rebuildNotes(); });
    connect(&document_, &LectureDocument::screenshotsChanged, this, &TranscriptPanel::rebuildTimeline);
    connect(&document_, &LectureDocument::notesTextChanged, this, &TranscriptPanel::rebuildNotes);
    connect(&state_, &ProcessingState::transcriptSegmentsChanged, this, &TranscriptPanel::rebuildTimeline);
    connect(&state_, &ProcessingState::isModifiedSinceExportChanged, this, &TranscriptPanel::updateStatistics);

    retranslate();
    rebuildTimeline();
    rebuildNotes();
}

TranscriptPanel::~TranscriptPanel() = default;

void TranscriptPanel::rebuildTimeline() {
    model_->setTimeline(buildTimeline(state_.transcriptSegments(), document_.screenshots(),
                                      document_.inlineNotes(AnnotationView::Transcript),
                                      document_.marginNotes(AnnotationView::Transcript),
                                      document_.highlights(AnnotationView::Transcript)));
    transcriptStack_->setCurrentWidget(model_->timeline().isEmpty() ? transcriptStack_->widget(0) : list_);
    // Passage indices may have moved: follow and search again.
    follow_.lastScrolledRow.reset();
    const FollowTick tick = followPlayback(model_->timeline(), follow_, follow_.previousTime);
    currentPassage_ = tick.currentPassage;
    currentWord_.reset();
    if (!searchField_->text().isEmpty()) runSearch();
    updateStatistics();
    refreshAnnotator();
    list_->doItemsLayout();
    list_->viewport()->update();
}

void TranscriptPanel::refreshAnnotator() {
    // The focused passage is found again by its start time.
    const Timeline& t = model_->timeline();
    int block = -1;
    for (int i = 0; i < t.blocks.size(); ++i)
        if (t.blocks[i].startTime == focusedPosition_) block = i;
    // The panel's annotator and the expanded sheet's show the same passage.
    for (PassageAnnotator* annotator : {annotator_, sheetAnnotator_}) {
        if (!annotator) continue;
        if (block >= 0) annotator->showPassage(t.blocks[block].startTime, t.blocks[block].text, t.annotations[block]);
        else annotator->clearPassage();
        annotator->setVisible(block >= 0);
    }

    if (focusedParagraph_ >= 0 && focusedParagraph_ < notesView_.paragraphs.size()) {
        const NotesParagraph& p = notesView_.paragraphs[focusedParagraph_];
        notesAnnotator_->showPassage(p.index, p.displayText, p.annotations);
    } else {
        notesAnnotator_->clearPassage();
    }
}

void TranscriptPanel::rebuildNotes() {
    const std::optional<QString>& text = document_.notesText();
    notesView_ = buildNotesView(text.value_or(QString()), document_.inlineNotes(AnnotationView::Notes),
                                document_.marginNotes(AnnotationView::Notes), document_.highlights(AnnotationView::Notes));
    const int scroll = notesList_->verticalScrollBar()->value();
    notesList_->clear();
    auto addNote = [this](const UserNote& n) {
        auto* item = new QListWidgetItem(QStringLiteral("✎ ") + n.text, notesList_);
        item->setData(NotesKindRole, NoteItem);
        item->setData(NotesNoteRole, n.id);
        item->setBackground(QColor(255, 247, 214));
    };
    for (const UserNote& n : std::as_const(notesView_.leadingNotes)) addNote(n);
    for (const NotesParagraph& p : std::as_const(notesView_.paragraphs)) {
        auto* item = new QListWidgetItem(p.displayText, notesList_);
        item->setData(NotesKindRole, ParagraphItem);
        item->setData(NotesIndexRole, p.index);
        for (const UserNote& n : p.notesAfter) addNote(n);
    }
    notesList_->verticalScrollBar()->setValue(scroll);
    if (notesStack_->currentWidget() != notesEdit_) notesStack_->setCurrentIndex(text ? 0 : 2);
    notesAddNote_->setEnabled(text.has_value());
    refreshAnnotator();
}

void TranscriptPanel::setNotesEditing(bool editing) {
    if (editing) {
        notesEdit_->setPlainText(document_.notesText().value_or(QString()));
        notesStack_->setCurrentWidget(notesEdit_);
    } else {
        if (notesStack_->currentWidget() == notesEdit_) document_.setNotesText(notesEdit_->toPlainText());
        notesStack_->setCurrentIndex(document_.notesText() ? 0 : 2);
    }
    retranslate();
}

void TranscriptPanel::updateStatistics() {
    const TimelineStatistics s = timelineStatistics(model_->timeline(), state_.isModifiedSinceExport());
    stats_->setText(model_->timeline().isEmpty() ? QString() : s.line);
    hint_->setText(QStringLiteral("✎ ") + s.reexportHint);
    hint_->setVisible(s.reexportNeeded);
    if (sheet_) {
        if (auto* words = sheet_->findChild<QLabel*>(QStringLiteral("sheetWords"))) words->setText(s.sheetWords);
    }
}

void TranscriptPanel::activateRow(int rowIndex) {
    if (rowIndex < 0 || rowIndex >= model_->rowCount()) return;
    const DisplayRow& row = model_->displayRow(rowIndex);
    switch (row.kind) {
    case DisplayRow::Kind::InsertZone: editInlineNote(AnnotationView::Transcript, row.prevTimestamp, std::nullopt); break;
    case DisplayRow::Kind::Note: editInlineNote(AnnotationView::Transcript, row.note.afterTimestamp, row.note); break;
    case DisplayRow::Kind::Content: {
        const TimelineItem& item = model_->timeline().items[row.index];
        if (item.kind == TimelineItem::Kind::Text) {
            focusedPosition_ = item.time;
            refreshAnnotator();
        }
        emit seekRequested(item.time);
        break;
    }
    }
}

void TranscriptPanel::editInlineNote(AnnotationView view, double position, const std::optional<UserNote>& existing) {
    noteView_ = view;
    notePosition_ = position;
    editingNote_ = existing ? std::optional<QUuid>(existing->id) : std::nullopt;
    noteField_->setPlainText(existing ? existing->text : QString());
    noteDelete_->setVisible(existing.has_value());
    retranslate();
    noteEditor_->show();
    noteField_->setFocus();
}

void TranscriptPanel::setCurrentTime(double seconds) {
    const Timeline& t = model_->timeline();
    const FollowTick tick = followPlayback(t, follow_, seconds);
    std::optional<TextRange> word;
    if (tick.currentPassage >= 0 && tick.currentWord >= 0)
        word = TranscriptRowDelegate::wordRange(t.blocks[tick.currentPassage].text, tick.currentWord);
    if (tick.currentPassage != currentPassage_ || word != currentWord_) {
        const int before = model_->rowOfBlock(currentPassage_);
        currentPassage_ = tick.currentPassage;
        currentWord_ = word;
        delegate_->setCurrent(currentPassage_, currentWord_);
        updateRow(before);
        updateRow(model_->rowOfBlock(currentPassage_));
    }
    if (tick.scroll) scrollToRow(model_->rowOfItem(tick.currentItem), true);
}

void TranscriptPanel::updateRow(int row) {
    if (row >= 0) list_->update(model_->index(row));
}

void TranscriptPanel::scrollToRow(int row, bool animated) {
    if (row < 0) return;
    const QModelIndex index = model_->index(row);
    QScrollBar* bar = list_->verticalScrollBar();
    const int from = bar->value();
    list_->scrollTo(index, QAbstractItemView::EnsureVisible);
    const int to = bar->value();
    if (!animated || from == to || !isVisible()) return;
    bar->setValue(from);
    auto* animation = new QPropertyAnimation(bar, "value", this);
    animation->setDuration(250);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TranscriptPanel::runSearch() {
    search_.search(model_->timeline(), searchField_->text());
    showMatch(search_.current());
}

void TranscriptPanel::findNext() { showMatch(search_.next()); }
void TranscriptPanel::findPrevious() { showMatch(search_.previous()); }

void TranscriptPanel::showMatch(const TranscriptMatch* match) {
    QHash<int, QList<TextRange>> byBlock;
    for (const TranscriptMatch& m : search_.matches()) byBlock[m.block].append(m.range);
    delegate_->setMatches(std::move(byBlock), match ? match->block : -1,
                          match ? std::optional<TextRange>(match->range) : std::nullopt);
    if (search_.matches().isEmpty()) {
        //% "No matches"
        searchCount_->setText(searchField_->text().isEmpty() ? QString() : qtTrId("transcript.search.none"));
    } else {
        //% "%1 of %2"
        searchCount_->setText(qtTrId("transcript.search.count").arg(search_.currentIndex() + 1).arg(search_.matches().size()));
    }
    list_->viewport()->update();
    if (!match) return;
    scrollToRow(model_->rowOfBlock(match->block), false);
    emit seekRequested(match->seekTime);
}

void TranscriptPanel::copyTranscript() {
    QGuiApplication::clipboard()->setText(transcriptPlainText(state_.transcriptSegments()));
}

void TranscriptPanel::openScreenshot(const QUuid& id) {
    const CapturedScreenshot* shot = nullptr;
    for (const CapturedScreenshot& s : document_.screenshots())
        if (s.id == id) shot = &s;
    if (!shot) return;
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    //% "Screenshot at %1"
    dialog->setWindowTitle(qtTrId("transcript.screenshot.title").arg(page::formatTimestamp(shot->timestamp)));
    auto* image = new QLabel(dialog);
    image->setPixmap(QPixmap::fromImage(shot->image).scaled(QSize(1200, 800), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* remove = new QPushButton(qtTrId("transcript.screenshot.remove"), dialog);
    //% "Close"
    auto* close = new QPushButton(qtTrId("transcript.screenshot.close"), dialog);
    connect(remove, &QPushButton::clicked, dialog, [this, dialog, id] {
        document_.removeScreenshot(id);
        dialog->close();
    });
    connect(close, &QPushButton::clicked, dialog, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(image);
    layout->addLayout(buttons);
    dialog->show();
}

void TranscriptPanel::showExpandedSheet() {
    if (!sheet_) {
        sheet_ = new QDialog(this);
        sheet_->resize(900, 700);
        auto* view = makeTimelineView(sheet_, *model_);
        auto* delegate = new TranscriptRowDelegate(*model_, *view);
        view->setItemDelegate(delegate);
        connect(view, &QListView::clicked, this, [this](const QModelIndex& index) { activateRow(index.row()); });
        auto* words = new QLabel(sheet_);
        words->setObjectName(QStringLiteral("sheetWords"));
        auto* smaller = new QToolButton(sheet_);
        smaller->setText(QStringLiteral("A−"));
        smaller->setObjectName(QStringLiteral("sheetSmaller"));
        auto* larger = new QToolButton(sheet_);
        larger->setText(QStringLiteral("A+"));
        larger->setObjectName(QStringLiteral("sheetLarger"));
        // Highlights, margin notes and chips for the passage clicked in the sheet.
        sheetAnnotator_ = new PassageAnnotator(document_, AnnotationView::Transcript, sheet_);
        sheetAnnotator_->hide();
        auto apply = [this, view, delegate, smaller, larger](double size) {
            delegate->setPointSize(size);
            sheetAnnotator_->setTextPointSize(size);
            smaller->setEnabled(size > kSheetFontSizeMin);
            larger->setEnabled(size < kSheetFontSizeMax);
            view->doItemsLayout();
        };
        auto step = [apply](int steps) {
            const double size = steppedSheetFontSize(Settings::shared().expandedPanelFontSize(), steps);
            Settings::shared().setExpandedPanelFontSize(size);
            apply(size);
        };
        connect(smaller, &QToolButton::clicked, sheet_, [step] { step(-1); });
        connect(larger, &QToolButton::clicked, sheet_, [step] { step(1); });
        apply(steppedSheetFontSize(Settings::shared().expandedPanelFontSize(), 0));
        auto* top = new QHBoxLayout;
        top->addWidget(words);
        top->addStretch();
        top->addWidget(smaller);
        top->addWidget(larger);
        auto* layout = new QVBoxLayout(sheet_);
        layout->addLayout(top);
        layout->addWidget(view, 1);
        layout->addWidget(sheetAnnotator_);
        // The inline-note editor goes with the sheet while it is open, so a
        // click on an insert zone there opens it where the person looks.
        connect(sheet_, &QDialog::finished, this, [this] {
            static_cast<QVBoxLayout*>(this->layout())->insertWidget(1, noteEditor_);
        });
        retranslate();
        refreshAnnotator();
        updateStatistics();
    }
    static_cast<QVBoxLayout*>(sheet_->layout())->insertWidget(2, noteEditor_);
    sheet_->show();
    sheet_->raise();
}

void TranscriptPanel::retranslate() {
    //% "Transcript"
    tabs_->setTabText(0, qtTrId("transcript.tab.transcript"));
    //% "Notes"
    tabs_->setTabText(1, qtTrId("transcript.tab.notes"));
    //% "No transcript yet"
    emptyTitle_->setText(qtTrId("transcript.empty.title"));
    //% "Process the lecture to see its transcript here."
    emptySelect_->setText(qtTrId("transcript.empty.select"));
    //% "Search the transcript"
    searchField_->setPlaceholderText(qtTrId("transcript.search.placeholder"));
    //% "Previous match"
    searchPrevious_->setToolTip(qtTrId("transcript.search.previous"));
    //% "Next match"
    searchNext_->setToolTip(qtTrId("transcript.search.next"));
    //% "Find in transcript"
    find_->setText(qtTrId("transcript.action.find"));
    //% "Copy transcript"
    copy_->setText(qtTrId("transcript.action.copy"));
    //% "Expand"
    expand_->setText(qtTrId("transcript.action.expand"));
    //% "No study notes yet"
    notesEmpty_->setText(qtTrId("transcript.notes.empty"));
    //% "Done"
    const QString done = qtTrId("transcript.notes.done");
    //% "Edit notes"
    const QString edit = qtTrId("transcript.notes.edit");
    notesModeButton_->setText(notesStack_->currentWidget() == notesEdit_ ? done : edit);
    //% "Add note"
    notesAddNote_->setText(qtTrId("transcript.notes.addnote"));
    //% "Edit note"
    const QString editNote = qtTrId("transcript.note.edit.title");
    //% "New note"
    const QString newNote = qtTrId("transcript.note.new.title");
    noteTitle_->setText(editingNote_ ? editNote : newNote);
    //% "Save"
    noteSave_->setText(qtTrId("transcript.note.save"));
    //% "Delete"
    noteDelete_->setText(qtTrId("transcript.note.delete"));
    //% "Cancel"
    noteCancel_->setText(qtTrId("transcript.note.cancel"));
    //% "Expanded transcript"
    if (sheet_) sheet_->setWindowTitle(qtTrId("transcript.sheet.title"));
    updateStatistics();
    if (!searchField_->text().isEmpty()) showMatch(search_.current());
}

void TranscriptPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
