#include "workspace/LectureDocument.h"

#include "core/AppPaths.h"
#include "core/Json.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "screenshots/ScreenshotCaptureService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

#include <atomic>
#include <functional>

using namespace lumenote;

namespace {

using View = AnnotationView;

// The six lists and the screenshot times as the library file holds them.
struct Stored {
    QList<UserNote> notes, notesInline;
    QList<MarginNote> margin, notesMargin;
    QList<TextHighlight> highlights, notesHighlights;
    QList<double> shotTimes;
    std::optional<QString> notesText;
    bool operator==(const Stored&) const = default;
};

void PrintTo(const Stored& s, std::ostream* os) {
    *os << "notes " << s.notes.size() << "/" << s.notesInline.size() << ", margin " << s.margin.size() << "/" << s.notesMargin.size()
        << ", highlights " << s.highlights.size() << "/" << s.notesHighlights.size() << ", shots " << s.shotTimes.size();
    for (const UserNote& n : s.notes) *os << " [" << n.text.toStdString() << " " << n.createdAt << "]";
}

class LectureDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppPaths::resetForTesting();
        QFile::remove(AppPaths::libraryStorePath());
        QString error;
        store = LibraryStore::open(AppPaths::libraryStorePath(), &error);
        ASSERT_TRUE(store) << error.toStdString();
        lecture = Lecture::create(QStringLiteral("Entropy"), std::nullopt, std::nullopt);
        lecture->setConsolidatedData(QByteArray("## Notes\n\nFrom the model."));
        store->insert(lecture);
        state.showLecture(lecture->id());
    }

    // Commits and reads the record back through a second connection.
    Stored stored() {
        EXPECT_TRUE(store->commit());
        QString error;
        const auto reader = LibraryStore::open(store->path(), &error);
        const LecturePtr l = reader->lecture(lecture->id());
        Stored s;
        s.notes = decodeOrEmpty<UserNote>(l->notesData(), decodeUserNotes);
        s.notesInline = decodeOrEmpty<UserNote>(l->notesInlineNotesData(), decodeUserNotes);
        s.margin = decodeOrEmpty<MarginNote>(l->marginNotesData(), decodeMarginNotes);
        s.notesMargin = decodeOrEmpty<MarginNote>(l->notesMarginNotesData(), decodeMarginNotes);
        s.highlights = decodeOrEmpty<TextHighlight>(l->highlightsData(), decodeHighlights);
        s.notesHighlights = decodeOrEmpty<TextHighlight>(l->notesHighlightsData(), decodeHighlights);
        if (const auto times = l->screenshotTimestamps()) s.shotTimes = json::decodeDoubles(*times).value_or(QList<double>{});
        s.notesText = storedConsolidatedNotes(*l);  // the record, else its side file
        return s;
    }

    // What the document holds, in the same form.
    static Stored held(const LectureDocument& d) {
        Stored s{d.inlineNotes(View::Transcript), d.inlineNotes(View::Notes),   d.marginNotes(View::Transcript),
                 d.marginNotes(View::Notes),      d.highlights(View::Transcript), d.highlights(View::Notes), {},
                 d.notesText()};
        for (const CapturedScreenshot& shot : d.screenshots()) s.shotTimes << shot.timestamp;
        return s;
    }

    static CapturedScreenshot shot(double t, Qt::GlobalColor colour) {
        QImage image(32, 18, QImage::Format_RGB32);
        image.fill(colour);
        return CapturedScreenshot::make(image, t);
    }

    std::unique_ptr<LibraryStore> store;
    LecturePtr lecture;
    ProcessingState state;
};

}  // namespace

// A mixed run of edits in both views, then undo to the start and redo to the end,
// with the library file, the state and the modified flag checked at every step.
TEST_F(LectureDocumentTest, UndoToTheStartAndRedoToTheEnd) {
    state.setScreenshots({shot(5, Qt::red), shot(20, Qt::green)});
    lecture->setScreenshotTimestamps(json::encodeDoubles({5, 20}));
    std::atomic<int> fileWrites = 0;  // counted on the writer's thread
    LectureDocument doc(lecture, state, [&](const QUuid&, const QList<CapturedScreenshot>&) { ++fileWrites; });
    ASSERT_EQ(doc.screenshots().size(), 2);

    QUuid note, margin, highlight, notesHighlight;
    const QUuid red = doc.screenshots()[0].id;
    const QList<std::function<void()>> edits = {
        [&] { note = doc.addInlineNote(View::Transcript, 5, "see the slide"); },
        [&] { margin = doc.addMarginNote(View::Transcript, 0, "heat flows", "first law?", MarginNote::Side::Right); },
        [&] { highlight = doc.addHighlight(View::Transcript, 0, "Entropy", TextHighlight::HighlightColor::Green); },
        [&] { EXPECT_TRUE(doc.editInlineNote(View::Transcript, note, "see the red slide")); },
        [&] { EXPECT_TRUE(doc.editMarginNote(View::Transcript, margin, "hot to cold", "second law", MarginNote::Side::Left)); },
        [&] { notesHighlight = doc.addHighlight(View::Notes, 1, "grows", TextHighlight::HighlightColor::Pink); },
        [&] { doc.addInlineNote(View::Notes, -1, "before everything"); },
        [&] { doc.addMarginNote(View::Notes, 0, "Entropy", "define it", MarginNote::Side::Right); },
        [&] { EXPECT_TRUE(doc.removeScreenshot(red)); },
        [&] { doc.addScreenshot(shot(12, Qt::blue)); },
        [&] { doc.setNotesText("## Entropy\n\nIt grows, always."); },
        [&] { doc.setNotesText("  \n"); },  // emptied: the notes are gone, side file too
        [&] { EXPECT_TRUE(doc.deleteHighlight(View::Transcript, highlight)); },
        [&] { EXPECT_TRUE(doc.deleteMarginNote(View::Transcript, margin)); },
        [&] { EXPECT_TRUE(doc.deleteHighlight(View::Notes, notesHighlight)); },
        [&] { EXPECT_TRUE(doc.deleteInlineNote(View::Transcript, note)); },
    };

    QList<Stored> states{held(doc)};
    for (const auto& edit : edits) {
        edit();
        states << held(doc);
        EXPECT_EQ(stored(), states.last());
    }
    EXPECT_EQ(doc.undoStack().count(), edits.size());
    EXPECT_TRUE(state.isModifiedSinceExport());
    doc.waitForFileWrites();
    EXPECT_EQ(fileWrites, 2);
    // The state shows what the document holds.
    EXPECT_EQ(state.notesInlineNotes(), doc.inlineNotes(View::Notes));
    EXPECT_EQ(state.screenshots().size(), 2);
    EXPECT_EQ(state.screenshots()[0].timestamp, 12.0);

    // Deleting the last highlight stores an empty list, not nothing.
    EXPECT_EQ(lecture->highlightsData(), QByteArray("[]"));

    for (int i = int(edits.size()) - 1; i >= 0; --i) {
        doc.undoStack().undo();
        SCOPED_TRACE(i);
        EXPECT_EQ(held(doc), states[i]);
        EXPECT_EQ(stored(), states[i]);
    }
    EXPECT_FALSE(doc.undoStack().canUndo());
    EXPECT_EQ(doc.screenshots()[0].id, red);  // the removed screenshot came back as it was
    for (int i = 1; i <= int(edits.size()); ++i) {
        doc.undoStack().redo();
        SCOPED_TRACE(i);
        EXPECT_EQ(held(doc), states[i]);
        EXPECT_EQ(stored(), states[i]);
    }
    EXPECT_FALSE(doc.undoStack().canRedo());
    doc.waitForFileWrites();
    EXPECT_EQ(fileWrites, 6);
}

TEST_F(LectureDocumentTest, UnknownIdsChangeNothing) {
    LectureDocument doc(lecture, state, {});
    const QUuid nobody = QUuid::createUuid();
    EXPECT_FALSE(doc.editInlineNote(View::Notes, nobody, "x"));
    EXPECT_FALSE(doc.deleteInlineNote(View::Transcript, nobody));
    EXPECT_FALSE(doc.editMarginNote(View::Transcript, nobody, "a", "b", MarginNote::Side::Left));
    EXPECT_FALSE(doc.deleteMarginNote(View::Notes, nobody));
    EXPECT_FALSE(doc.deleteHighlight(View::Transcript, nobody));
    EXPECT_FALSE(doc.removeScreenshot(nobody));
    EXPECT_EQ(doc.undoStack().count(), 0);
    EXPECT_FALSE(state.isModifiedSinceExport());
    EXPECT_FALSE(lecture->notesData());
}

// The document starts from the stored lists, and never writes into a state
// that has moved on to another lecture.
TEST_F(LectureDocumentTest, StartsFromTheRecordAndKeepsToItsLecture) {
    const UserNote kept = UserNote::create(3, "stored before");
    lecture->setNotesData(encodeUserNotes({kept}));
    LectureDocument doc(lecture, state, {});
    EXPECT_EQ(doc.inlineNotes(View::Transcript), QList<UserNote>{kept});

    state.showLecture(QUuid::createUuid());
    state.setScreenshots({shot(1, Qt::black)});
    doc.addInlineNote(View::Transcript, 3, "added later");
    EXPECT_TRUE(state.notes().isEmpty());
    EXPECT_FALSE(state.isModifiedSinceExport());
    EXPECT_TRUE(doc.screenshots().isEmpty());
    EXPECT_EQ(decodeUserNotes(*lecture->notesData())->size(), 2);
}

// The files on disk follow removal and its undo, so a reload agrees.
TEST_F(LectureDocumentTest, ScreenshotFilesFollowTheList) {
    ScreenshotCaptureService service;
    const QList<CapturedScreenshot> shots = {shot(5, Qt::red), shot(20, Qt::green), shot(40, Qt::blue)};
    service.saveScreenshots(shots, lecture->id());
    state.setScreenshots(shots);
    LectureDocument doc(lecture, state);
    auto reloadedTimes = [&] {
        doc.waitForFileWrites();
        QList<double> times;
        for (const CapturedScreenshot& s : service.loadScreenshots(lecture->id())) times << s.timestamp;
        return times;
    };
    doc.removeScreenshot(shots[1].id);
    EXPECT_EQ(reloadedTimes(), (QList<double>{5, 40}));
    doc.undoStack().undo();
    EXPECT_EQ(reloadedTimes(), (QList<double>{5, 20, 40}));

    // A run that replaces the list ends the history: an undo would bring the old list back.
    doc.removeScreenshot(shots[0].id);
    state.setScreenshots({shot(7, Qt::white)});
    EXPECT_EQ(doc.undoStack().count(), 0);
    ASSERT_EQ(doc.screenshots().size(), 1);
    EXPECT_EQ(doc.screenshots()[0].timestamp, 7.0);
}
