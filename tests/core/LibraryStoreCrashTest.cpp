#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

using namespace lumenote;

namespace {

// Reads "ID N" lines the writer printed after each commit.
void collect(QProcess& p, QByteArray& buffer, QMap<QString, int>& committed) {
    buffer += p.readAllStandardOutput();
    qsizetype nl;
    while ((nl = buffer.indexOf('\n')) >= 0) {
        const QList<QByteArray> parts = buffer.left(nl).split(' ');
        buffer.remove(0, nl + 1);
        if (parts.size() == 2) committed.insert(QString::fromLatin1(parts[0]), parts[1].toInt());
    }
}

}  // namespace

TEST(LibraryStoreCrash, KilledWriterLeavesEveryCommittedLectureIntact) {
    QTemporaryDir dir;
    const QString path = dir.filePath("library.sqlite");
    QMap<QString, int> committed;
    int next = 0;
    // Kill at a different moment each round, each round appending to the same file.
    for (int round = 0; round < 4; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(CORE_STORE_WRITER), {path, QString::number(next)});
        ASSERT_TRUE(writer.waitForStarted(5000));
        QByteArray buffer;
        const int target = committed.size() + 40 + round * 17;
        while (committed.size() < target && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(5000);
            collect(writer, buffer, committed);
        }
        ASSERT_EQ(writer.state(), QProcess::Running) << writer.readAllStandardError().toStdString();
        writer.kill();  // SIGKILL, mid-loop
        writer.waitForFinished(5000);
        collect(writer, buffer, committed);
        for (int n : committed) next = std::max(next, n + 1);
        next += 1000;  // fresh numbers for the next writer
    }
    ASSERT_GE(committed.size(), 200);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    QString error;
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store) << error.toStdString();
    int found = 0;
    for (auto it = committed.begin(); it != committed.end(); ++it) {
        const LecturePtr l = store->lecture(*parseUuid(it.key()));
        ASSERT_TRUE(l) << "lost " << it.key().toStdString();
        EXPECT_EQ(l->title(), QStringLiteral("Lecture %1").arg(it.value()));
        EXPECT_EQ(l->status(), LectureStatus::Complete);
        const auto transcript = decodeTranscript(l->transcriptData().value_or(QByteArray()));
        ASSERT_TRUE(transcript) << it.key().toStdString();
        ASSERT_EQ(transcript->size(), 20);
        EXPECT_EQ(transcript->at(19).text, QStringLiteral("Lecture %1 segment 19").arg(it.value()));
        EXPECT_EQ(transcript->at(19).words.size(), 10);
        ++found;
    }
    EXPECT_EQ(found, committed.size());
}
