#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"
#include "TestEnvironment.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sqlite3.h>

using namespace lumenote;
using lumenote::test::spinUntil;

namespace {

std::unique_ptr<LibraryStore> openStore(const QString& path) {
    QString error;
    auto store = LibraryStore::open(path, &error);
    EXPECT_TRUE(store) << error.toStdString();
    return store;
}

void runSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* msg = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &msg), SQLITE_OK) << (msg ? msg : "");
    sqlite3_free(msg);
    sqlite3_close(db);
}

class LibraryStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("library.sqlite"); }
};

}  // namespace

TEST_F(LibraryStoreTest, EveryFieldPersistsAcrossReopen) {
    const QUuid folderId = QUuid::createUuid();
    QUuid id;
    const QByteArray transcript = *encodeTranscript({{QUuid::createUuid(), "Hello", 0.5, 1.5, {{"Hello", 0.5, 1.5}}}});
    {
        auto store = openStore(path());
        auto f = LectureFolder::create("Physics", 3);
        store->insert(f);
        auto l = Lecture::create("Lecture 1", "/v/a.mp4", "https://example.org/v");
        id = l->id();
        store->insert(l);
        l->setChannelName("Prof. X");
        l->setDuration(3600.25);
        l->setStatus(LectureStatus::Complete);
        l->setTranscriptData(transcript);
        l->setScreenshotTimestamps(QByteArray("[0.25,30.5]"));
        l->setFolderID(folderId);
        l->setKeyframeData(QByteArray(5000, '\xff'));
        l->setNotesData(QByteArray("[1]"));
        l->setMarginNotesData(QByteArray("[2]"));
        l->setHighlightsData(QByteArray("[3]"));
        l->setNotesInlineNotesData(QByteArray("[4]"));
        l->setNotesMarginNotesData(QByteArray("[5]"));
        l->setNotesHighlightsData(QByteArray());  // empty but present
        l->setTranscribedWithModelID("openai_whisper-small");
        l->setDesiredModelID("openai_whisper-tiny");
        l->setConsolidatedData(QByteArray("## Notes"));
        l->setConsolidatedWithModelID("claude/claude-sonnet-4-5");
        l->setConsolidationOverride(false);
        l->setTranscriptLanguage("de");
        auto bare = Lecture::create("Bare", std::nullopt, std::nullopt);
        store->insert(bare);
        // Autosave commits on the next turn of the event loop.
        QSignalSpy saved(store.get(), &LibraryStore::changedInThisProcess);
        ASSERT_TRUE(spinUntil([&] { return saved.count() > 0; }, 2000));
        EXPECT_FALSE(store->hasChanges());
    }
    auto store = openStore(path());
    ASSERT_EQ(store->lectures().size(), 2u);
    ASSERT_EQ(store->folders().size(), 1u);
    EXPECT_EQ(store->folders()[0]->name(), "Physics");
    EXPECT_EQ(store->folders()[0]->sortOrder(), 3);
    const LecturePtr l = store->lecture(id);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->title(), "Lecture 1");
    EXPECT_EQ(l->localFilePath(), "/v/a.mp4");
    EXPECT_EQ(l->sourceURL(), "https://example.org/v");
    EXPECT_EQ(l->channelName(), "Prof. X");
    EXPECT_EQ(l->duration(), 3600.25);
    EXPECT_EQ(l->status(), LectureStatus::Complete);
    EXPECT_EQ(l->folderID(), folderId);
    EXPECT_EQ(l->screenshotTimestamps(), QByteArray("[0.25,30.5]"));
    EXPECT_EQ(l->notesData(), QByteArray("[1]"));
    EXPECT_EQ(l->marginNotesData(), QByteArray("[2]"));
    EXPECT_EQ(l->highlightsData(), QByteArray("[3]"));
    EXPECT_EQ(l->notesInlineNotesData(), QByteArray("[4]"));
    EXPECT_EQ(l->notesMarginNotesData(), QByteArray("[5]"));
    ASSERT_TRUE(l->notesHighlightsData());
    EXPECT_TRUE(l->notesHighlightsData()->isEmpty());
    EXPECT_EQ(l->transcribedWithModelID(), "openai_whisper-small");
    EXPECT_EQ(l->desiredModelID(), "openai_whisper-tiny");
    EXPECT_EQ(l->consolidatedWithModelID(), "claude/claude-sonnet-4-5");
    EXPECT_EQ(l->consolidationOverride(), false);
    EXPECT_EQ(l->transcriptLanguage(), "de");
    // The keyframe size is known before the blob is read (the row's thumbnail key).
    EXPECT_EQ(l->keyframeTaskID().inMemoryByteCount, 5000);
    EXPECT_EQ(l->transcriptData(), transcript);
    EXPECT_EQ(l->keyframeData(), QByteArray(5000, '\xff'));
    EXPECT_EQ(l->consolidatedData(), QByteArray("## Notes"));

    const LecturePtr bare = store->lectures()[1];
    EXPECT_EQ(bare->title(), "Bare");
    EXPECT_FALSE(bare->localFilePath() || bare->sourceURL() || bare->channelName() || bare->folderID());
    EXPECT_FALSE(bare->transcriptData() || bare->keyframeData() || bare->consolidatedData() || bare->notesData());
    EXPECT_FALSE(bare->consolidationOverride());
    EXPECT_EQ(bare->statusRaw(), "pending");
    EXPECT_LE(qAbs(bare->dateAdded().secsTo(QDateTime::currentDateTimeUtc())), 5);
}

TEST_F(LibraryStoreTest, BlobsClearedAndRecordsRemovedStayThatWay) {
    QUuid keep, drop;
    {
        auto store = openStore(path());
        auto a = Lecture::create("A", std::nullopt, std::nullopt);
        auto b = Lecture::create("B", std::nullopt, std::nullopt);
        keep = a->id();
        drop = b->id();
        store->insert(a);
        store->insert(b);
        a->setConsolidatedData(QByteArray("notes"));
        b->setTranscriptData(QByteArray("[]"));
        auto f = LectureFolder::create("F");
        store->insert(f);
        ASSERT_TRUE(store->commit());
        a->setConsolidatedData(std::nullopt);
        store->remove(b);
        EXPECT_TRUE(b->isDeleted());
        EXPECT_EQ(b->transcriptData(), QByteArray("[]"));  // a holder still sees what it had
        store->remove(f);
        ASSERT_TRUE(store->commit());
    }
    auto store = openStore(path());
    ASSERT_EQ(store->lectures().size(), 1u);
    EXPECT_EQ(store->lectures()[0]->id(), keep);
    EXPECT_FALSE(store->lectures()[0]->consolidatedData());
    EXPECT_FALSE(store->lecture(drop));
    EXPECT_TRUE(store->folders().empty());
}

TEST_F(LibraryStoreTest, OlderFileWithoutNewerColumnsOpensWithDefaults) {
    // A file from before consolidationOverride, desiredModelID and transcriptLanguage existed.
    QDir().mkpath(dir.path());
    runSql(path(),
           "CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL);"
           "INSERT INTO meta VALUES ('schemaVersion', '1.0.0');"
           "CREATE TABLE lectures (id TEXT PRIMARY KEY NOT NULL, title TEXT NOT NULL DEFAULT '', localFilePath TEXT, "
           "sourceURL TEXT, channelName TEXT, dateAdded INTEGER NOT NULL DEFAULT 0, duration REAL NOT NULL DEFAULT 0, "
           "statusRaw TEXT NOT NULL DEFAULT 'pending', screenshotTimestamps BLOB, folderID TEXT, notesData BLOB, "
           "marginNotesData BLOB, highlightsData BLOB, notesInlineNotesData BLOB, notesMarginNotesData BLOB, "
           "notesHighlightsData BLOB, transcribedWithModelID TEXT, consolidatedWithModelID TEXT);"
           "INSERT INTO lectures (id, title, dateAdded, duration, statusRaw) VALUES "
           "('6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF', 'Old lecture', 978307200000, 61.5, 'Complete');");
    {
        auto store = openStore(path());
        ASSERT_EQ(store->lectures().size(), 1u);
        const LecturePtr l = store->lectures()[0];
        EXPECT_EQ(l->title(), "Old lecture");
        EXPECT_EQ(l->duration(), 61.5);
        EXPECT_EQ(l->status(), LectureStatus::Pending);  // "Complete" is not a raw value
        EXPECT_EQ(l->statusRaw(), "Complete");
        EXPECT_FALSE(l->desiredModelID());
        EXPECT_FALSE(l->consolidationOverride());
        EXPECT_FALSE(l->transcriptLanguage());
        EXPECT_EQ(l->dateAdded().toString(Qt::ISODate), "2001-01-01T00:00:00Z");
        l->setDesiredModelID("openai_whisper-base");
        l->setTranscriptLanguage("fr");
        ASSERT_TRUE(store->commit());
    }
    auto store = openStore(path());
    EXPECT_EQ(store->lectures()[0]->desiredModelID(), "openai_whisper-base");
    EXPECT_EQ(store->lectures()[0]->transcriptLanguage(), "fr");
}

TEST_F(LibraryStoreTest, UnopenableFilesAreReportedAndLeftUntouched) {
    struct Case {
        const char* what;
        QByteArray content;
        const char* reason;
    } cases[] = {
        {"not a database", QByteArray("This is my thesis, not a database. ").repeated(200), "not a database"},
        {"another program's database", QByteArray(), "not a Lumenote library"},
        {"a newer schema", QByteArray(), "schema version 2.0.0"},
    };
    for (const Case& c : cases) {
        const QString file = dir.filePath(QStringLiteral("%1.sqlite").arg(c.what));
        if (!c.content.isEmpty()) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        } else if (QString(c.what).contains("another")) {
            runSql(file, "CREATE TABLE photos (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO photos VALUES (1, 'cat');");
        } else {
            runSql(file, "CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL);"
                         "INSERT INTO meta VALUES ('schemaVersion', '2.0.0');");
        }
        QFile before(file);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();

        QString error;
        EXPECT_FALSE(LibraryStore::open(file, &error)) << c.what;
        EXPECT_TRUE(error.contains(file)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
        QFile after(file);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), bytes) << c.what;
        EXPECT_FALSE(QFile::exists(file + "-wal")) << c.what;
    }
    QString error;
    EXPECT_FALSE(LibraryStore::open(dir.path(), &error));  // a folder
    EXPECT_TRUE(error.contains(dir.path()));
}

TEST_F(LibraryStoreTest, ChangesFromAnotherProcessAreMergedAndSignalled) {
    auto mine = openStore(path());
    auto other = openStore(path());
    auto a = Lecture::create("A", std::nullopt, std::nullopt);
    mine->insert(a);
    ASSERT_TRUE(mine->commit());
    EXPECT_FALSE(mine->refreshFromDisk());  // own commits are not news

    ASSERT_TRUE(other->refreshFromDisk());
    const LecturePtr theirs = other->lecture(a->id());
    ASSERT_TRUE(theirs);
    theirs->setTitle("A (renamed elsewhere)");
    theirs->setTranscriptData(QByteArray("[]"));
    auto b = Lecture::create("B", std::nullopt, std::nullopt);
    other->insert(b);
    ASSERT_TRUE(other->commit());

    QSignalSpy remote(mine.get(), &LibraryStore::changedRemotely);
    mine->setWatchForExternalChanges(true, 20);
    ASSERT_TRUE(spinUntil([&] { return remote.count() > 0; }, 3000));
    EXPECT_EQ(a->title(), "A (renamed elsewhere)");  // same record object, new values
    EXPECT_EQ(a->transcriptData(), QByteArray("[]"));
    ASSERT_EQ(mine->lectures().size(), 2u);

    other->remove(other->lecture(b->id()));
    ASSERT_TRUE(other->commit());
    ASSERT_TRUE(spinUntil([&] { return remote.count() > 1; }, 3000));
    EXPECT_EQ(mine->lectures().size(), 1u);
}
