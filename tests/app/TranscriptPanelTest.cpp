// The transcript panel over a real document on a generated lecture: rows
// follow edits without resets, a highlight made through the selection and
// the picker lands on the right words and survives undo and redo, playback
// is followed passage by passage and word by word, and search seeks.

#include "app/LocalizationManager.h"
#include "app/PassageAnnotator.h"
#include "app/TranscriptPanel.h"
#include "app/TranscriptTimelineModel.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"

#include <QAbstractItemModelTester>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace lumenote;

namespace {

constexpr int kSegments = 40;
constexpr double kSpoken = 4.0, kPause = 1.0;  // each segment is one passage

// Segment k starts at 5k s and speaks five words, 0.8 s each.
QList<TranscriptSegment> generatedSegments() {
    QList<TranscriptSegment> segments;
    for (int k = 0; k < kSegments; ++k) {
        const double start = k * (kSpoken + kPause);
        const QStringList words = k == 3 ? QStringList{"Écoute", "the", "entropy", "ECOUTE", "again."}
                                         : QStringList{"Part", QString::number(k), "of", "the", "lecture."};
        TranscriptSegment s{QUuid::createUuid(), words.join(' '), start, start + kSpoken, {}};
        for (int w = 0; w < words.size(); ++w) s.words.append({words[w], start + 0.8 * w, start + 0.8 * (w + 1)});
        segments.append(s);
    }
    return segments;
}

QImage slide(const QColor& color) {
    QImage image(320, 180, QImage::Format_RGB32);
    image.fill(color);
    QPainter(&image).drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Slide"));
    return image;
}

class TranscriptPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::english);
        lecture = Lecture::create(QStringLiteral("Thermodynamics"), std::nullopt, std::nullopt);
        lecture->setConsolidatedData(QByteArray("# Entropy\n\n- Heat flows\n- from hot to cold\n\nThe second law."));
        state.showLecture(lecture->id());
        state.setTranscriptSegments(generatedSegments());
        state.setScreenshots({CapturedScreenshot::make(slide(Qt::darkCyan), 7.0), CapturedScreenshot::make(slide(Qt::darkRed), 52.0)});
        document = std::make_unique<LectureDocument>(lecture, state, LectureDocument::ScreenshotFileWriter{});
        panel = std::make_unique<TranscriptPanel>(*document, state);
        panel->resize(520, 720);
        panel->show();
        tester = std::make_unique<QAbstractItemModelTester>(&panel->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    }

    int rowOfPassageAt(double start) const {
        const Timeline& t = panel->model().timeline();
        for (int b = 0; b < t.blocks.size(); ++b)
            if (t.blocks[b].startTime == start) return panel->model().rowOfBlock(b);
        return -1;
    }

    // Selects `length` characters from `start` in the annotator's text view.
    static void select(PassageAnnotator& annotator, int start, int length) {
        QTextCursor cursor(annotator.textView()->document());
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        annotator.textView()->setTextCursor(cursor);
    }

    void savePicture(const QString& name) {
        const QString dir = QDir::currentPath() + "/transcript-panel";
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        EXPECT_TRUE(panel->grab().save(dir + "/" + name + ".png"));
    }

    LecturePtr lecture;
    ProcessingState state;
    std::unique_ptr<LectureDocument> document;
    std::unique_ptr<TranscriptPanel> panel;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(TranscriptPanelTest, RowsFollowDocumentEditsWithoutReset) {
    TranscriptTimelineModel& model = panel->model();
    // Zone, then per item its row and a zone: 40 passages and 2 screenshots.
    ASSERT_EQ(model.rowCount(), 1 + 2 * (kSegments + 2));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    // A note through the zone after the passage at 10 s lands right after that zone.
    const int passage = rowOfPassageAt(10.0);
    ASSERT_GE(passage, 0);
    panel->activateRow(passage + 1);
    panel->inlineNoteField()->setPlainText(QStringLiteral("Ask about this"));
    panel->inlineNoteSave()->click();
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), passage + 2);
    EXPECT_EQ(inserted[0][2].toInt(), passage + 2);
    EXPECT_EQ(model.index(passage + 2).data().toString(), QStringLiteral("Ask about this"));

    // Editing it changes the row in place; deleting it removes that one row.
    panel->activateRow(passage + 2);
    panel->inlineNoteField()->setPlainText(QStringLiteral("Ask about entropy"));
    panel->inlineNoteSave()->click();
    EXPECT_EQ(model.index(passage + 2).data().toString(), QStringLiteral("Ask about entropy"));
    panel->activateRow(passage + 2);
    panel->inlineNoteDelete()->click();
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][1].toInt(), passage + 2);

    // Removing a screenshot drops its row and its zone; undo brings both back.
    const QUuid shot = document->screenshots().first().id;
    int shotRow = -1;
    for (int i = 0; i < model.timeline().items.size(); ++i)
        if (model.timeline().items[i].id == shot) shotRow = model.rowOfItem(i);
    ASSERT_EQ(model.index(shotRow).data(TranscriptTimelineModel::ItemKindRole).toInt(), int(TimelineItem::Kind::Screenshot));
    ASSERT_TRUE(document->removeScreenshot(shot));
    ASSERT_EQ(removed.size(), 2);
    EXPECT_EQ(removed[1][2].toInt() - removed[1][1].toInt(), 1);
    EXPECT_EQ(model.rowCount(), 1 + 2 * (kSegments + 1));
    panel->undoAction()->trigger();
    EXPECT_EQ(model.rowCount(), 1 + 2 * (kSegments + 2));
    EXPECT_EQ(model.index(shotRow).data(TranscriptTimelineModel::ItemKindRole).toInt(), int(TimelineItem::Kind::Screenshot));

    // The large view removes the screenshot too, undoably.
    panel->openScreenshot(shot);
    auto* large = panel->findChild<QDialog*>();
    ASSERT_NE(large, nullptr);
    QPushButton* remove = nullptr;
    for (QPushButton* b : large->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Remove screenshot")) remove = b;
    ASSERT_NE(remove, nullptr);
    remove->click();
    EXPECT_EQ(document->screenshots().size(), 1);
    panel->undoAction()->trigger();
    EXPECT_EQ(document->screenshots().size(), 2);
    EXPECT_EQ(resets.size(), 0);
    savePicture("timeline");
}

TEST_F(TranscriptPanelTest, HighlightAndMarginNoteFromTheSelectionSurviveUndoAndRedo) {
    QSignalSpy seeks(panel.get(), &TranscriptPanel::seekRequested);
    const int row = rowOfPassageAt(15.0);  // "Écoute the entropy ECOUTE again."
    panel->activateRow(row);
    ASSERT_EQ(seeks.size(), 1);
    EXPECT_EQ(seeks[0][0].toDouble(), 15.0);
    PassageAnnotator& annotator = *panel->transcriptAnnotator();
    ASSERT_TRUE(annotator.hasPassage());
    EXPECT_FALSE(annotator.highlightButton()->isEnabled());

    // Selecting the second spelling paints the first, whatever its case and accents.
    select(annotator, 19, 6);
    ASSERT_EQ(annotator.selectedText(), QStringLiteral("ECOUTE"));
    annotator.highlightButton()->click();
    ASSERT_TRUE(annotator.colorPicker()->isVisibleTo(&annotator));
    annotator.colorButton(TextHighlight::HighlightColor::Green)->click();
    ASSERT_EQ(document->highlights(AnnotationView::Transcript).size(), 1);
    const TextHighlight h = document->highlights(AnnotationView::Transcript).first();
    EXPECT_EQ(h.anchorText, QStringLiteral("ECOUTE"));
    EXPECT_EQ(h.passageTimestamp, 15.0);
    EXPECT_EQ(h.color, TextHighlight::HighlightColor::Green);
    const auto paintedIn = [this](double start) {
        for (int b = 0; b < panel->model().timeline().blocks.size(); ++b)
            if (panel->model().timeline().blocks[b].startTime == start) return panel->model().timeline().annotations[b].painted;
        return QList<PaintedHighlight>{};
    };
    ASSERT_EQ(paintedIn(15.0).size(), 1);
    EXPECT_EQ(paintedIn(15.0).first().range, (TextRange{0, 6}));
    EXPECT_EQ(annotator.textView()->extraSelections().size(), 1);

    // A margin note on "entropy", then edited to the left side.
    select(annotator, 11, 7);
    annotator.marginButton()->click();
    EXPECT_EQ(annotator.anchorField()->text(), QStringLiteral("entropy"));
    annotator.noteField()->setPlainText(QStringLiteral("Disorder"));
    annotator.submitButton()->click();
    ASSERT_EQ(document->marginNotes(AnnotationView::Transcript).size(), 1);
    ASSERT_EQ(annotator.chips().size(), 2);

    // A chip selects its phrase every time it is clicked.
    select(annotator, 0, 0);
    annotator.chips()[0]->click();
    EXPECT_EQ(annotator.selectedText(), QStringLiteral("Écoute"));
    select(annotator, 0, 0);
    annotator.chips()[0]->click();
    EXPECT_EQ(annotator.selectedText(), QStringLiteral("Écoute"));
    savePicture("annotated");

    const auto snapshot = [this, &paintedIn] {
        return std::make_tuple(document->highlights(AnnotationView::Transcript), document->marginNotes(AnnotationView::Transcript),
                               paintedIn(15.0).size(), panel->transcriptAnnotator()->chips().size());
    };
    const auto end = snapshot();
    while (document->undoStack().canUndo()) panel->undoAction()->trigger();
    EXPECT_TRUE(document->highlights(AnnotationView::Transcript).isEmpty());
    EXPECT_TRUE(paintedIn(15.0).isEmpty());
    EXPECT_TRUE(annotator.chips().isEmpty());
    EXPECT_TRUE(annotator.textView()->extraSelections().isEmpty());
    while (document->undoStack().canRedo()) panel->redoAction()->trigger();
    EXPECT_EQ(snapshot(), end);

    // The notes tab marks its paragraphs the same way, by index.
    panel->tabs()->setCurrentIndex(1);
    ASSERT_EQ(panel->notesList()->count(), 3);
    QListWidgetItem* second = panel->notesList()->item(1);
    panel->notesList()->itemClicked(second);
    PassageAnnotator& notes = *panel->notesAnnotator();
    ASSERT_TRUE(notes.hasPassage());
    EXPECT_TRUE(notes.textView()->toPlainText().startsWith(QStringLiteral("• Heat")));
    select(notes, 2, 4);
    notes.highlightButton()->click();
    notes.colorButton(TextHighlight::HighlightColor::Pink)->click();
    ASSERT_EQ(document->highlights(AnnotationView::Notes).size(), 1);
    EXPECT_EQ(document->highlights(AnnotationView::Notes).first().passageTimestamp, 1.0);
    EXPECT_EQ(document->highlights(AnnotationView::Notes).first().anchorText, QStringLiteral("Heat"));
    EXPECT_TRUE(state.isModifiedSinceExport());
    EXPECT_TRUE(panel->reexportHint()->isVisibleTo(panel.get()));
    savePicture("notes");

    // Editing the notes as one text keeps the annotations on their paragraph index.
    panel->setNotesEditing(true);
    panel->notesEditor()->setPlainText(QStringLiteral("# Entropy\n\n- Heat flows\n\nA new paragraph.\n\nThe second law."));
    panel->setNotesEditing(false);
    ASSERT_EQ(panel->notesList()->count(), 4);
    EXPECT_EQ(document->highlights(AnnotationView::Notes).first().passageTimestamp, 1.0);
    panel->undoAction()->trigger();
    EXPECT_EQ(panel->notesList()->count(), 3);
}

TEST_F(TranscriptPanelTest, FollowsPlaybackToThePassageAndWordBeingSpoken) {
    const struct {
        double t;
        int passage;        // -1: none
        QString word;       // empty: none
    } cases[] = {
        {0.0, -1, {}},
        {0.5, 0, "Part"},
        {2.0, 0, "of"},
        {4.5, 0, {}},            // the pause after the passage
        {17.5, 3, "ECOUTE"},
        {198.5, 39, "lecture."},
        {15.1, 3, "Écoute"},     // a seek backwards
    };
    for (const auto& c : cases) {
        panel->setCurrentTime(c.t);
        EXPECT_EQ(panel->currentPassage(), c.passage) << c.t;
        const std::optional<TextRange> word = panel->currentWord();
        const QString spoken = word && c.passage >= 0 ? panel->model().timeline().blocks[c.passage].text.mid(word->start, word->length)
                                                      : QString();
        EXPECT_EQ(spoken, c.word) << c.t;
    }
    // A jump to the end brings the last passage into view.
    panel->setCurrentTime(0.5);
    QScrollBar* bar = panel->timelineView()->verticalScrollBar();
    const int top = bar->value();
    panel->setCurrentTime(199.0);
    QTest::qWait(400);
    EXPECT_GT(bar->value(), top);
    const QRect last = panel->timelineView()->visualRect(panel->model().index(panel->model().rowOfBlock(39)));
    EXPECT_TRUE(panel->timelineView()->viewport()->rect().intersects(last));
    savePicture("following");
}

TEST_F(TranscriptPanelTest, SearchMovesThroughMatchesAndSeeks) {
    QSignalSpy seeks(panel.get(), &TranscriptPanel::seekRequested);
    panel->findAction()->trigger();
    ASSERT_TRUE(panel->searchField()->isVisibleTo(panel.get()));
    // "ecoute" twice in the passage at 15 s (words 0 and 3), nowhere else.
    panel->searchField()->setText(QStringLiteral("écoute"));
    ASSERT_EQ(panel->search().matches().size(), 2);
    ASSERT_FALSE(seeks.isEmpty());
    EXPECT_DOUBLE_EQ(seeks.last()[0].toDouble(), 15.0);
    panel->findNext();
    EXPECT_DOUBLE_EQ(seeks.last()[0].toDouble(), 15.0 + 3 * 0.8);
    panel->findNext();  // wraps to the first
    EXPECT_EQ(panel->search().currentIndex(), 0);
    panel->findPrevious();
    EXPECT_EQ(panel->search().currentIndex(), 1);
    EXPECT_DOUBLE_EQ(seeks.last()[0].toDouble(), 15.0 + 3 * 0.8);
    savePicture("search");

    // A query found nowhere seeks nowhere.
    const qsizetype before = seeks.size();
    panel->searchField()->setText(QStringLiteral("photosynthesis"));
    EXPECT_TRUE(panel->search().matches().isEmpty());
    EXPECT_EQ(seeks.size(), before);
}

TEST_F(TranscriptPanelTest, ExpandedSheetStepsItsFontBetweenTwelveAndTwentyTwo) {
    Settings::shared().setExpandedPanelFontSize(21);
    panel->showExpandedSheet();
    auto* sheet = panel->findChild<QDialog*>();
    ASSERT_NE(sheet, nullptr);
    auto* larger = sheet->findChild<QToolButton*>("sheetLarger");
    auto* smaller = sheet->findChild<QToolButton*>("sheetSmaller");
    EXPECT_EQ(sheet->findChild<QLabel*>("sheetWords")->text(), QStringLiteral("200 words"));
    larger->click();
    EXPECT_EQ(Settings::shared().expandedPanelFontSize(), 22);
    EXPECT_FALSE(larger->isEnabled());
    for (int i = 0; i < 15; ++i)
        if (smaller->isEnabled()) smaller->click();
    EXPECT_EQ(Settings::shared().expandedPanelFontSize(), 12);
    EXPECT_TRUE(larger->isEnabled());
    larger->click();

    // A passage clicked in the sheet is marked up there as in the panel: the
    // same highlight reaches both, and undo takes it from both.
    PassageAnnotator* annotator = panel->sheetAnnotator();
    ASSERT_NE(annotator, nullptr);
    EXPECT_FALSE(annotator->isVisibleTo(sheet));
    auto* column = sheet->findChild<QListView*>();
    ASSERT_NE(column, nullptr);
    const QModelIndex passage = panel->model().index(rowOfPassageAt(15.0));
    column->scrollTo(passage);
    QTest::mouseClick(column->viewport(), Qt::LeftButton, {}, column->visualRect(passage).center());
    ASSERT_TRUE(annotator->isVisibleTo(sheet));
    EXPECT_EQ(annotator->textView()->toPlainText(), QStringLiteral("Écoute the entropy ECOUTE again."));
    EXPECT_EQ(annotator->textView()->font().pointSizeF(), 13);
    select(*annotator, 11, 7);
    annotator->highlightButton()->click();
    annotator->colorButton(TextHighlight::HighlightColor::Blue)->click();
    ASSERT_EQ(document->highlights(AnnotationView::Transcript).size(), 1);
    EXPECT_EQ(document->highlights(AnnotationView::Transcript)[0].anchorText, QStringLiteral("entropy"));
    EXPECT_EQ(annotator->chips().size(), 1);
    EXPECT_EQ(panel->transcriptAnnotator()->chips().size(), 1);
    EXPECT_EQ(annotator->textView()->extraSelections().size(), 1);
    QCoreApplication::processEvents();
    const QString dir = QDir::currentPath() + "/transcript-panel";
    EXPECT_TRUE(sheet->grab().save(dir + "/sheet.png"));
    document->undoStack().undo();
    EXPECT_TRUE(annotator->chips().isEmpty());
    EXPECT_TRUE(panel->transcriptAnnotator()->chips().isEmpty());

    // An insert zone clicked in the sheet opens the note editor in the sheet;
    // once the sheet closes, the editor is back in the panel.
    const QModelIndex zone = panel->model().index(passage.row() + 1);
    QTest::mouseClick(column->viewport(), Qt::LeftButton, {}, column->visualRect(zone).center());
    ASSERT_TRUE(panel->inlineNoteField()->isVisibleTo(sheet));
    panel->inlineNoteField()->setPlainText(QStringLiteral("From the sheet"));
    panel->inlineNoteSave()->click();
    ASSERT_EQ(document->inlineNotes(AnnotationView::Transcript).size(), 1);
    EXPECT_EQ(document->inlineNotes(AnnotationView::Transcript)[0].afterTimestamp, 15.0);
    sheet->close();
    EXPECT_FALSE(sheet->isAncestorOf(panel->inlineNoteField()));
}

TEST_F(TranscriptPanelTest, RetranslatesWhenTheLanguageChanges) {
    panel->activateRow(rowOfPassageAt(15.0));
    LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::german);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->tabs()->tabText(0), QStringLiteral("Transkript"));
    EXPECT_TRUE(panel->statisticsLabel()->text().startsWith(QStringLiteral("40 Abschnitte · 200 Wörter · 2 Bildschirmfotos")))
        << panel->statisticsLabel()->text().toStdString();
    EXPECT_EQ(panel->transcriptAnnotator()->highlightButton()->text(), QStringLiteral("Markieren"));
    savePicture("german");
    LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::english);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->tabs()->tabText(0), QStringLiteral("Transcript"));
}

}  // namespace
