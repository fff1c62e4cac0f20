#include "core/AppPaths.h"
#include "core/LectureFiles.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "export/ExportDirectoryWatcher.h"
#include "export/ExportManager.h"
#include "pipeline/ExportFolders.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSignalSpy>

using namespace lumenote;
using lumenote::test::await;
using lumenote::test::spinUntil;

namespace {

class LibraryModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppPaths::resetForTesting();
        QDir(AppPaths::exportRoot()).removeRecursively();
        QDir(AppPaths::applicationSupportDirectory()).removeRecursively();
        Settings::shared().remove(settings_keys::exportRootBookmark);
        QString error;
        store = LibraryStore::open(AppPaths::libraryStorePath(), &error);
        ASSERT_TRUE(store) << error.toStdString();
        model = std::make_unique<LibraryModel>(*store, folders);
        setLogSink([this](const QString& line) {
            QMutexLocker lock(&mutex);
            if (line.startsWith("[Reconcile]")) log << line;
        });
    }
    void TearDown() override {
        setLogSink(nullptr);
        model.reset();
        store.reset();
    }

    LecturePtr add(const QString& title, LectureStatus status, const std::optional<QString>& video = std::nullopt) {
        auto l = Lecture::create(title, video, std::nullopt);
        l->setStatus(status);
        store->insert(l);
        return l;
    }
    // A lecture export as the export run lays it out.
    QString makeExport(const Lecture& l, const std::optional<QString>& folder = std::nullopt) {
        const QString path = ExportManager::shared().lectureFolderPath(l, folder);
        QDir().mkpath(path);
        ExportManager::stampLectureFolder(path, l.id());
        QFile f(path + "/index.html");
        f.open(QIODevice::WriteOnly);
        f.write("<html></html>");
        return path;
    }
    QString videoFile(const QString& name) {
        const QString path = QString::fromStdString(lumenote::test::homeDir()) + "/videos/" + name;
        writeFileAtomically(path, "not really a video");
        return path;
    }
    QStringList reconcileLog() {
        QMutexLocker lock(&mutex);
        return log;
    }

    ExportFolders folders{ExportManager::shared()};
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<LibraryModel> model;
    QMutex mutex;
    QStringList log;
};

}  // namespace

TEST_F(LibraryModelTest, FolderDraftsAndOrder) {
    EXPECT_FALSE(model->createFolder("   \t "));
    EXPECT_TRUE(store->folders().empty());
    const auto physics = model->createFolder("  Physics ");
    ASSERT_TRUE(physics);
    EXPECT_EQ(physics->name(), "Physics");
    const auto maths = model->createFolder("Maths");
    // The newest folder comes first and the order is renumbered.
    ASSERT_EQ(model->folders().size(), 2u);
    EXPECT_EQ(model->folders()[0], maths);
    EXPECT_EQ(maths->sortOrder(), 0);
    EXPECT_EQ(physics->sortOrder(), 1);
    EXPECT_TRUE(model->expandedFolderIDs().contains(maths->id()));

    model->renameFolder(maths, "   ");
    EXPECT_EQ(maths->name(), "Maths");
    model->renameFolder(maths, " Mathematics ");
    EXPECT_EQ(maths->name(), "Mathematics");
}

TEST_F(LibraryModelTest, MovingAndDeletingKeepTheExportFoldersInStep) {
    const auto maths = model->createFolder("Maths");
    const auto l = add("Limits", LectureStatus::Complete);
    const QString unfiled = makeExport(*l);
    model->moveLecture(l, maths);
    EXPECT_EQ(l->folderID(), maths->id());
    const QString filed = ExportManager::shared().lectureFolderPath(*l, QString("Maths"));
    EXPECT_TRUE(QFileInfo::exists(filed + "/index.html"));
    EXPECT_FALSE(QFileInfo::exists(unfiled));

    // Renaming the folder renames its directory, so the reconcile pass leaves the lecture there.
    model->renameFolder(maths, "Mathematics");
    const QString renamed = ExportManager::shared().lectureFolderPath(*l, QString("Mathematics"));
    EXPECT_TRUE(QFileInfo::exists(renamed + "/index.html"));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::exportRoot() + "/Maths"));
    await(model->reconcileExports());
    EXPECT_EQ(l->folderID(), maths->id());
    EXPECT_EQ(store->folders().size(), 1u);
    model->renameFolder(maths, "Maths");

    // Moving out of the only lecture's folder removes the emptied folder directory.
    model->moveLecture(l, nullptr);
    EXPECT_FALSE(l->folderID());
    EXPECT_TRUE(QFileInfo::exists(unfiled + "/index.html"));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::exportRoot() + "/Maths"));
    EXPECT_TRUE(QFileInfo::exists(AppPaths::exportRoot()));

    // Deleting a folder keeps its lectures, unfiled, with their exports at the root.
    model->moveLecture(l, maths);
    model->deleteFolder(maths);
    EXPECT_FALSE(l->folderID());
    EXPECT_TRUE(store->folders().empty());
    EXPECT_TRUE(QFileInfo::exists(unfiled + "/index.html"));

    // Deleting a lecture removes its cached download, export, side files and screenshots.
    const QString cached = AppPaths::downloadsDirectory() + "/Limits.mp4";
    writeFileAtomically(cached, "video");
    l->setLocalFilePath(cached);
    writeFileAtomically(transcriptSideFilePath(l->id()), "[]");
    writeFileAtomically(AppPaths::screenshotsDirectory() + "/" + l->idText() + "/0000_1.00.jpg", "jpg");
    model->setSelectedLecture(l);
    model->deleteLecture(l);
    EXPECT_FALSE(model->selectedLecture());
    EXPECT_FALSE(QFileInfo::exists(cached));
    EXPECT_FALSE(QFileInfo::exists(unfiled));
    EXPECT_FALSE(QFileInfo::exists(transcriptSideFilePath(l->id())));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::screenshotsDirectory() + "/" + l->idText()));
    EXPECT_TRUE(store->lectures().empty());
}

TEST_F(LibraryModelTest, DeleteUnprocessedKeepsOnlyCompleteLectures) {
    const auto complete = add("Done", LectureStatus::Complete);
    const QString outsideCache = videoFile("mine.mp4");
    add("Failed", LectureStatus::Failed, outsideCache);
    add("Pending", LectureStatus::Pending);
    add("Missing", LectureStatus::Missing);
    model->deleteUnprocessed();
    ASSERT_EQ(store->lectures().size(), 1u);
    EXPECT_EQ(store->lectures()[0], complete);
    EXPECT_TRUE(QFileInfo::exists(outsideCache));  // only cached downloads are ever deleted
}

TEST_F(LibraryModelTest, ReconcileMarksMissingRestoresAndCreatesFolders) {
    const auto here = add("Here", LectureStatus::Complete, videoFile("here.mp4"));
    const auto elsewhere = add("Elsewhere", LectureStatus::Complete);  // video on another machine
    const auto onDisk = add("On disk", LectureStatus::Complete);
    const QString hereExport = makeExport(*here);
    makeExport(*onDisk, QString("Thermo"));  // a folder the library does not know yet

    QDir(hereExport).removeRecursively();
    await(model->reconcileExports());
    EXPECT_EQ(here->status(), LectureStatus::Missing);
    EXPECT_EQ(elsewhere->status(), LectureStatus::Complete);
    ASSERT_EQ(store->folders().size(), 1u);
    EXPECT_EQ(store->folders()[0]->name(), "Thermo");
    EXPECT_EQ(onDisk->folderID(), store->folders()[0]->id());
    const QString hereName = ExportManager::lectureDirName(*here);
    const QString elsewhereName = ExportManager::lectureDirName(*elsewhere);
    QStringList expected{"[Reconcile] Created folder 'Thermo' from disk", "[Reconcile] 'On disk' → folder 'Thermo'",
                         "[Reconcile] Export missing for '" + hereName + "' → missing",
                         "[Reconcile] Export not yet synced for '" + elsewhereName + "' — keeping .complete"};
    QStringList seen = reconcileLog();
    std::sort(expected.begin(), expected.end());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected);

    // The folder comes back (say, the sync client restored it).
    makeExport(*here);
    log.clear();
    await(model->reconcileExports());
    EXPECT_EQ(here->status(), LectureStatus::Complete);
    EXPECT_TRUE(reconcileLog().contains("[Reconcile] Export found for 'Here' — restoring .complete"));
    // An export moved to the root takes its lecture out of the folder.
    QDir().rename(ExportManager::shared().lectureFolderPath(*onDisk, QString("Thermo")), ExportManager::shared().lectureFolderPath(*onDisk, std::nullopt));
    await(model->reconcileExports());
    EXPECT_FALSE(onDisk->folderID());
}

// Two lectures of the same date and title: each has its own export folder and each is checked.
TEST_F(LibraryModelTest, TwinLecturesKeepTheirOwnExports) {
    const auto first = add("Thermodynamics", LectureStatus::Complete, videoFile("first.mp4"));
    const auto second = add("Thermodynamics", LectureStatus::Complete, videoFile("second.mp4"));
    second->setDateAdded(first->dateAdded());
    const QString firstExport = makeExport(*first);
    const QString secondExport = makeExport(*second);
    ASSERT_NE(firstExport, secondExport);
    EXPECT_EQ(ExportManager::shared().lectureFolderPath(*first, std::nullopt), firstExport);
    EXPECT_EQ(QFileInfo(secondExport).fileName(), ExportManager::lectureDirName(*second) + " (2)");

    for (const LecturePtr& gone : {first, second}) {
        const LecturePtr kept = gone == first ? second : first;
        QDir(ExportManager::shared().lectureFolderPath(*gone, std::nullopt)).removeRecursively();
        await(model->reconcileExports());
        EXPECT_EQ(gone->status(), LectureStatus::Missing);
        EXPECT_EQ(kept->status(), LectureStatus::Complete);
        makeExport(*gone);
        await(model->reconcileExports());
        EXPECT_EQ(gone->status(), LectureStatus::Complete);
    }
    // An export written before folders were stamped still belongs to its lecture.
    QFile::remove(firstExport + "/" + ExportManager::kLectureStampFileName);
    await(model->reconcileExports());
    EXPECT_EQ(first->status(), LectureStatus::Complete);
    EXPECT_EQ(ExportManager::shared().lectureFolderPath(*first, std::nullopt), firstExport);
}

TEST_F(LibraryModelTest, ABurstOfExportChangesGivesOneReconcile) {
    QDir().mkpath(AppPaths::exportRoot());
    ExportDirectoryWatcher watcher;
    QObject::connect(&watcher, &ExportDirectoryWatcher::exportDirectoryDidChange, model.get(), &LibraryModel::exportDirectoryChanged);
    watcher.watch(AppPaths::exportRoot());
    QSignalSpy reconciled(model.get(), &LibraryModel::reconciled);
    for (int i = 0; i < 3; ++i) {
        writeFileAtomically(AppPaths::exportRoot() + QStringLiteral("/change-%1.txt").arg(i), "x");
        lumenote::test::spinFor(200);
    }
    ASSERT_TRUE(spinUntil([&] { return reconciled.count() >= 1; }, 6000));
    lumenote::test::spinFor(1500);
    EXPECT_EQ(reconciled.count(), 1);
}

TEST_F(LibraryModelTest, TotalsCountCompleteLecturesOnly) {
    const auto done = add("Done", LectureStatus::Complete);
    done->setDuration(600);
    done->setTranscriptData(QByteArray(R"([{"id":"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF","text":"one two\tthree\nfour  five","startTime":0,"endTime":1}])"));
    done->setScreenshotTimestamps(QByteArray("[1,2,3]"));
    const auto pending = add("Pending", LectureStatus::Pending);
    pending->setDuration(300);
    pending->setTranscriptData(QByteArray(R"([{"id":"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDE0","text":"not counted","startTime":0,"endTime":1}])"));
    pending->setScreenshotTimestamps(QByteArray("[1]"));
    // A complete lecture whose transcript only exists as the side file.
    const auto synced = add("Synced", LectureStatus::Complete);
    writeFileAtomically(transcriptSideFilePath(synced->id()), R"([{"id":"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDE1","text":"six seven","startTime":0,"endTime":1}])");

    QSignalSpy changed(model.get(), &LibraryModel::statsChanged);
    model->shown();
    ASSERT_TRUE(spinUntil([&] { return changed.count() > 0; }, 5000));
    EXPECT_EQ(model->stats(), (LibraryStats{3, 900, 7, 3}));

    // A run that finishes brings its words and screenshots into the totals.
    pending->setStatus(LectureStatus::Complete);
    ASSERT_TRUE(store->commit());
    ASSERT_TRUE(spinUntil([&] { return changed.count() > 1; }, 5000));
    EXPECT_EQ(model->stats(), (LibraryStats{3, 900, 9, 4}));
}
