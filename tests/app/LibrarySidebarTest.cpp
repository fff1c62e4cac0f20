// The library tree follows the library with row inserts and removals, moves
// lectures by drag and drop, and the sidebar's operations change the library
// only after their confirmation.

#include "app/LibrarySidebar.h"
#include "app/LibraryTreeModel.h"
#include "app/ThumbnailLoader.h"
#include "core/LectureFiles.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"
#include "QtTestHelpers.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

// Export folders that only record what was asked of them.
class RecordingExports : public ExportFolderOperations {
public:
    QString lectureDirName(const QDateTime&, const QString& title) const override { return title; }
    void deleteExport(const Lecture& l, const std::optional<QString>&) override { deleted << l.title(); }
    void moveExport(const Lecture& l, const std::optional<QString>& from, const std::optional<QString>& to) override {
        moves << QStringLiteral("%1:%2>%3").arg(l.title(), from.value_or("-"), to.value_or("-"));
    }
    QList<DiskExportEntry> scanExportRoot() const override { return {}; }
    QStringList deleted;
    QStringList moves;
};

class LibraryTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        store = LibraryStore::open(QStringLiteral("%1/%2/library.sqlite").arg(tmp.path()).arg(++generation), &error);
        ASSERT_TRUE(store) << error.toStdString();
        library = std::make_unique<LibraryModel>(*store, exports);
    }

    LecturePtr addLecture(const QString& title, LectureStatus status = LectureStatus::Pending, const LectureFolderPtr& folder = nullptr) {
        auto l = Lecture::create(title, tmp.path() + "/" + title + ".mp4", std::nullopt);
        l->setDateAdded(QDateTime::currentDateTimeUtc().addSecs(++clock));
        l->setStatus(status);
        if (folder) l->setFolderID(folder->id());
        store->insert(l);
        return l;
    }

    // The tree as "Folder[a,b]" and lecture titles, top to bottom.
    static QStringList shape(const QAbstractItemModel& m) {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r) {
            const QModelIndex i = m.index(r, 0);
            if (LibraryTreeModel::Kind(i.data(LibraryTreeModel::KindRole).toInt()) == LibraryTreeModel::Kind::Lecture) {
                out << i.data().toString();
                continue;
            }
            QStringList children;
            for (int c = 0; c < m.rowCount(i); ++c) children << m.index(c, 0, i).data().toString();
            out << i.data().toString() + "[" + children.join(',') + "]";
        }
        return out;
    }

    QTemporaryDir tmp;
    RecordingExports exports;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<LibraryModel> library;
    int clock = 0;
    int generation = 0;
};

TEST_F(LibraryTreeTest, FollowsTheLibraryWithRowChangesNeverAReset) {
    LibraryTreeModel model(*library, *store);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    const auto a = addLecture("A");
    const auto b = addLecture("B");
    library->refreshLists();
    EXPECT_EQ(shape(model), QStringList({"A", "B"}));
    EXPECT_EQ(inserted.count(), 1) << "two new lectures arrive as one run of rows";

    // A persistent index on B must survive changes above it.
    const QPersistentModelIndex bIndex = model.indexOfLecture(b->id());
    const auto week = library->createFolder("Week 1");
    EXPECT_EQ(shape(model), QStringList({"Week 1[]", "A", "B"}));
    EXPECT_EQ(bIndex.row(), 2);

    library->moveLecture(a, week);
    model.sync();
    EXPECT_EQ(shape(model), QStringList({"Week 1[A]", "B"}));
    EXPECT_EQ(model.parent(model.indexOfLecture(a->id())), model.indexOfFolder(week->id()));

    const auto later = addLecture("C", LectureStatus::Pending, week);
    library->refreshLists();
    EXPECT_EQ(shape(model), QStringList({"Week 1[A,C]", "B"}));

    // Deleting the folder keeps its lectures, unfiled in date order.
    library->deleteFolder(week);
    EXPECT_EQ(shape(model), QStringList({"A", "B", "C"}));
    library->deleteLecture(b);
    EXPECT_EQ(shape(model), QStringList({"A", "C"}));
    EXPECT_FALSE(bIndex.isValid());

    // A second folder goes in front of the first (newest first).
    library->createFolder("Older");
    library->createFolder("Newer");
    EXPECT_EQ(shape(model), QStringList({"Newer[]", "Older[]", "A", "C"}));

    EXPECT_EQ(resets.count(), 0);
    EXPECT_GT(removed.count(), 0);
    (void)later;
}

TEST_F(LibraryTreeTest, DropsMoveLecturesToTheFolderUnderThePointer) {
    const auto week1 = library->createFolder("Week 1");
    const auto week2 = library->createFolder("Week 2");
    const auto filed = addLecture("Filed", LectureStatus::Pending, week2);
    const auto a = addLecture("A");
    const auto b = addLecture("B");
    library->refreshLists();
    LibraryTreeModel model(*library, *store);

    struct Case {
        const char* what;
        QList<LecturePtr> dragged;
        std::function<QModelIndex()> target;
        QStringList expected;
        QStringList exportMoves;
    };
    const QList<Case> cases = {
        {"two lectures onto a folder", {a, b}, [&] { return model.indexOfFolder(week1->id()); },
         {"Week 2[Filed]", "Week 1[A,B]"}, {"A:->Week 1", "B:->Week 1"}},
        {"onto a lecture inside another folder", {a}, [&] { return model.indexOfLecture(filed->id()); },
         {"Week 2[Filed,A]", "Week 1[B]"}, {"A:Week 1>Week 2"}},
        {"onto the empty area: unfiled", {b}, [] { return QModelIndex(); }, {"Week 2[Filed,A]", "Week 1[]", "B"}, {"B:Week 1>-"}},
        {"onto its own folder: nothing moves", {filed}, [&] { return model.indexOfFolder(week2->id()); },
         {"Week 2[Filed,A]", "Week 1[]", "B"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        exports.moves.clear();
        QModelIndexList sources;
        for (const LecturePtr& l : c.dragged) sources << model.indexOfLecture(l->id());
        std::unique_ptr<QMimeData> data(model.mimeData(sources));
        ASSERT_TRUE(data);
        const QModelIndex target = c.target();
        ASSERT_TRUE(model.canDropMimeData(data.get(), Qt::MoveAction, -1, 0, target));
        EXPECT_EQ(model.dropMimeData(data.get(), Qt::MoveAction, -1, 0, target), !c.exportMoves.isEmpty());
        EXPECT_EQ(shape(model), c.expected);
        EXPECT_EQ(exports.moves, c.exportMoves);
    }
    // Folders take no drags and other data is refused.
    EXPECT_EQ(model.mimeData({model.indexOfFolder(week1->id())}), nullptr);
    QMimeData text;
    text.setText("A");
    EXPECT_FALSE(model.canDropMimeData(&text, Qt::MoveAction, -1, 0, model.indexOfFolder(week1->id())));
}

TEST_F(LibraryTreeTest, FolderNamesEditInPlaceAndBlankNamesAreRefused) {
    const auto folder = library->createFolder("Week 1");
    LibraryTreeModel model(*library, *store);
    const QModelIndex i = model.indexOfFolder(folder->id());
    EXPECT_TRUE(model.flags(i) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(i, "   "));
    EXPECT_EQ(folder->name(), "Week 1");
    EXPECT_TRUE(model.setData(i, "  Statistics  "));
    EXPECT_EQ(folder->name(), "Statistics");
    EXPECT_EQ(i.data().toString(), "Statistics");
}

TEST_F(LibraryTreeTest, ThumbnailsLoadOffTheMainThreadAndReloadWhenTheKeyframeChanges) {
    const auto lecture = addLecture("Slides");
    QImage wide(320, 180, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    lecture->setKeyframeData(makeKeyframeJPEG(wide));
    ASSERT_TRUE(store->commit());
    library->refreshLists();
    ThumbnailLoader loader(store->path());
    loader.setThumbnailSize({64, 36});
    LibraryTreeModel model(*library, *store, &loader);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QModelIndex i = model.indexOfLecture(lecture->id());
    EXPECT_FALSE(i.data(Qt::DecorationRole).isValid()) << "the first ask starts loading and returns nothing";
    ASSERT_TRUE(spinUntil([&] { return changed.count() > 0; }));
    const QImage first = i.data(Qt::DecorationRole).value<QImage>();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(64, 36));
    EXPECT_EQ(QColor(first.pixel(32, 18)).blue() > 200, true);

    // A new keyframe (another byte count) is read again.
    QImage red(480, 270, QImage::Format_RGB32);
    red.fill(Qt::red);
    for (int x = 0; x < 480; x += 7) red.setPixel(x, (x * 13) % 270, qRgb(255, 255, 0));
    lecture->setKeyframeData(makeKeyframeJPEG(red));
    ASSERT_TRUE(store->commit());
    changed.clear();
    EXPECT_FALSE(i.data(Qt::DecorationRole).isValid());
    ASSERT_TRUE(spinUntil([&] { return changed.count() > 0; }));
    EXPECT_GT(QColor(i.data(Qt::DecorationRole).value<QImage>().pixel(32, 18)).red(), 200);
}

class SidebarTest : public LibraryTreeTest {
protected:
    void SetUp() override { rebuild(); }
    void rebuild() {
        sidebar.reset();
        library.reset();
        store.reset();
        asked.clear();
        LibraryTreeTest::SetUp();
        week = library->createFolder("Week 1");
        inFolder = addLecture("In folder", LectureStatus::Complete, week);
        done = addLecture("Done", LectureStatus::Complete);
        pending = addLecture("Pending");
        failed = addLecture("Failed", LectureStatus::Failed);
        library->refreshLists();
        sidebar = std::make_unique<LibrarySidebar>(*library, *store);
        sidebar->setConfirmation([this](const QString& title, const QString&) {
            asked << title;
            return answer;
        });
    }
    QStringList titles() const {
        QStringList out;
        for (const LecturePtr& l : store->lectures()) out << l->title();
        return out;
    }
    QStringList folders() const {
        QStringList out;
        for (const LectureFolderPtr& f : store->folders()) out << f->name();
        return out;
    }

    LectureFolderPtr week;
    LecturePtr inFolder, done, pending, failed;
    std::unique_ptr<LibrarySidebar> sidebar;
    QStringList asked;
    bool answer = true;
};

TEST_F(SidebarTest, DestructiveOperationsAskFirstAndDeclinedOnesChangeNothing) {
    struct Case {
        const char* what;
        std::function<void(LibrarySidebar&)> run;
        QStringList lecturesAfter;
        QStringList foldersAfter;
    };
    const QList<Case> cases = {
        {"delete unprocessed keeps complete lectures", [](LibrarySidebar& s) { s.deleteUnprocessedLectures(); },
         {"In folder", "Done"}, {"Week 1"}},
        {"delete the selected lectures", [this](LibrarySidebar& s) {
             s.selectLecture(done);
             s.view()->selectionModel()->select(s.view()->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
             s.deleteSelection();
         },
         {"In folder", "Failed"}, {"Week 1"}},
        {"delete all", [](LibrarySidebar& s) { s.deleteAllLectures(); }, {}, {"Week 1"}},
    };
    for (const Case& c : cases) {
        for (bool accept : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (accept ? " (confirmed)" : " (declined)"));
            rebuild();
            answer = accept;
            c.run(*sidebar);
            EXPECT_EQ(asked.size(), 1);
            EXPECT_EQ(titles(), accept ? c.lecturesAfter : QStringList({"In folder", "Done", "Pending", "Failed"}));
            EXPECT_EQ(folders(), c.foldersAfter);
            EXPECT_EQ(sidebar->treeModel().rowCount(), int(library->folders().size() + std::count_if(store->lectures().begin(), store->lectures().end(), [](const LecturePtr& l) { return !l->folderID(); })));
        }
    }
}

TEST_F(SidebarTest, DeleteKeyOnAFolderKeepsItsLecturesAndTheFilterMatchesTitles) {
    const QModelIndex folderRow = sidebar->view()->model()->index(0, 0);
    sidebar->view()->setCurrentIndex(folderRow);
    QTest::keyClick(sidebar->view(), Qt::Key_Delete);
    EXPECT_TRUE(folders().isEmpty());
    EXPECT_EQ(titles().size(), 4);
    EXPECT_FALSE(inFolder->folderID());

    sidebar->filterField()->setText("fail");
    ASSERT_EQ(sidebar->view()->model()->rowCount(), 1);
    EXPECT_EQ(sidebar->view()->model()->index(0, 0).data().toString(), "Failed");
    sidebar->filterField()->setText("");
    EXPECT_EQ(sidebar->view()->model()->rowCount(), 4);
}

TEST_F(SidebarTest, TheSearchBoxAlsoFindsWordsInsideTheLectures) {
    Transcript segments;
    segments.append({QUuid::createUuid(), QStringLiteral("Entropy never decreases, and entropy is extensive."), 0, 4,
                     {{QStringLiteral("Entropy"), 0, 1}, {QStringLiteral("never"), 1, 2}, {QStringLiteral("decreases,"), 2, 3}}});
    done->setTranscriptData(*encodeTranscript(segments));
    ASSERT_TRUE(store->commit());

    struct Case {
        const char* typed;
        QStringList shown;  // lecture rows, folders open
        bool counted;       // the hit count is shown
    };
    const QList<Case> cases = {
        {"entropy", {"Done"}, true},       // only in the transcript
        {"ENTRO", {"Done"}, true},         // any case, a prefix while typing
        {"fail", {"Failed"}, false},       // a title, nothing inside
        {"thermodynamics", {}, false},     // nowhere
    };
    auto shownLectures = [this] {
        QStringList out;
        const QAbstractItemModel& m = *sidebar->view()->model();
        for (int r = 0; r < m.rowCount(); ++r) {
            const QModelIndex i = m.index(r, 0);
            if (m.rowCount(i) == 0 && LibraryTreeModel::Kind(i.data(LibraryTreeModel::KindRole).toInt()) == LibraryTreeModel::Kind::Lecture) out << i.data().toString();
            for (int c = 0; c < m.rowCount(i); ++c) out << m.index(c, 0, i).data().toString();
        }
        return out;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        sidebar->filterField()->setText(c.typed);
        EXPECT_TRUE(sidebar->isSearchingContents());
        ASSERT_TRUE(spinUntil([&] { return !sidebar->isSearchingContents(); }, 10000));
        EXPECT_EQ(shownLectures(), c.shown);
        EXPECT_EQ(sidebar->hitCountLabel()->isVisibleTo(sidebar.get()), c.counted);
        if (c.counted) EXPECT_GT(sidebar->contentHits().value(done->id()), 0);
    }
    sidebar->filterField()->setText("");
    EXPECT_EQ(sidebar->view()->model()->rowCount(), 4);
    EXPECT_FALSE(sidebar->hitCountLabel()->isVisibleTo(sidebar.get()));
}

TEST_F(SidebarTest, SelectingARowSelectsTheLectureAndDeletionClearsIt) {
    sidebar->selectLecture(inFolder);
    EXPECT_EQ(library->selectedLecture(), inFolder);
    EXPECT_TRUE(sidebar->view()->isExpanded(sidebar->view()->model()->index(0, 0)));
    sidebar->deleteSelection();
    EXPECT_EQ(library->selectedLecture(), nullptr);
    EXPECT_TRUE(sidebar->view()->selectionModel()->selectedRows().isEmpty());
}

}  // namespace

namespace {

TEST_F(SidebarTest, RenamesAndMovesUndoToTheStartAndRedoToTheEnd) {
    const auto later = library->createFolder("Later");
    sidebar->treeModel().sync();
    QUndoStack* undo = sidebar->undoStack();
    LibraryTreeModel& model = sidebar->treeModel();
    const QStringList start = shape(model);

    // Rename in place, drag two lectures into a folder, take one out by menu path.
    ASSERT_TRUE(model.setData(model.indexOfFolder(week->id()), "Week One"));
    std::unique_ptr<QMimeData> data(model.mimeData({model.indexOfLecture(done->id()), model.indexOfLecture(pending->id())}));
    ASSERT_TRUE(model.dropMimeData(data.get(), Qt::MoveAction, -1, 0, model.indexOfFolder(later->id())));
    data.reset(model.mimeData({model.indexOfLecture(inFolder->id())}));
    ASSERT_TRUE(model.dropMimeData(data.get(), Qt::MoveAction, -1, 0, QModelIndex()));
    // Blank names and drops that change nothing add no step.
    EXPECT_FALSE(model.setData(model.indexOfFolder(week->id()), "  "));
    data.reset(model.mimeData({model.indexOfLecture(done->id())}));
    EXPECT_FALSE(model.dropMimeData(data.get(), Qt::MoveAction, -1, 0, model.indexOfFolder(later->id())));
    const QStringList end = shape(model);
    EXPECT_EQ(end, QStringList({"Later[Done,Pending]", "Week One[]", "In folder", "Failed"}));
    ASSERT_EQ(undo->count(), 3);

    while (undo->canUndo()) undo->undo();
    EXPECT_EQ(shape(model), start);
    EXPECT_EQ(week->name(), "Week 1");
    while (undo->canRedo()) undo->redo();
    EXPECT_EQ(shape(model), end);
}

}  // namespace
