#include "QtTestHelpers.h"
#include "core/Log.h"
#include "export/ExportDirectoryWatcher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using namespace lumenote;
using test::spinFor;
using test::spinUntil;

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        setLogSink([this](const QString& line) { log_.append(line); });
        QObject::connect(&watcher_, &ExportDirectoryWatcher::exportDirectoryDidChange, [this] {
            ++notifications_;
            sinceLastChange_ = lastChange_.elapsed();
        });
    }
    void TearDown() override { setLogSink({}); }

    void change(const QString& path) {
        writeFile(path);
        lastChange_.start();
    }

    QTemporaryDir dir_;
    ExportDirectoryWatcher watcher_;
    QStringList log_;
    int notifications_ = 0;
    QElapsedTimer lastChange_;
    qint64 sinceLastChange_ = -1;
};

}  // namespace

TEST_F(WatcherTest, ABurstOfChangesGivesOneNotificationAfterTheLast) {
    QDir().mkpath(dir_.path() + "/Maths/2025-01-01 Algebra/images");
    watcher_.watch(dir_.path());
    EXPECT_EQ(log_, QStringList{QStringLiteral("[ExportWatcher] Watching: ") + dir_.path()});
    // Ten changes within one second, the last one deep inside the tree.
    for (int i = 0; i < 9; ++i) {
        change(dir_.path() + QStringLiteral("/file%1").arg(i));
        spinFor(100);
    }
    change(dir_.path() + "/Maths/2025-01-01 Algebra/images/0001_000.25.jpg");
    ASSERT_TRUE(spinUntil([&] { return notifications_ > 0; }, 4000));
    EXPECT_GE(sinceLastChange_, ExportDirectoryWatcher::kDebounceMs - 50);
    EXPECT_LE(sinceLastChange_, ExportDirectoryWatcher::kDebounceMs + 700);
    spinFor(1000);
    EXPECT_EQ(notifications_, 1);
    EXPECT_TRUE(log_.contains(QStringLiteral("[ExportWatcher] Change detected — posting notification")));
}

TEST_F(WatcherTest, NewFoldersAreWatchedAsTheyAppear) {
    watcher_.setDebounceInterval(200);
    watcher_.watch(dir_.path());
    QDir().mkpath(dir_.path() + "/Physics/2025-02-02 Heat/images");
    ASSERT_TRUE(spinUntil([&] { return notifications_ == 1; }, 4000));
    change(dir_.path() + "/Physics/2025-02-02 Heat/images/a.jpg");
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 2; }, 4000));
    // Removing a whole export is a change too.
    QDir(dir_.path() + "/Physics").removeRecursively();
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 3; }, 4000));
}

TEST_F(WatcherTest, ARootThatIsALinkIsFollowed) {
    // ~/LumenoteLibrary may be a link into a sync client's folder.
    QDir().mkpath(dir_.path() + "/synced/Exports");
    ASSERT_TRUE(QFile::link(dir_.path() + "/synced/Exports", dir_.path() + "/Library"));
    watcher_.setDebounceInterval(200);
    watcher_.watch(dir_.path() + "/Library");
    change(dir_.path() + "/synced/Exports/index.html");
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 1; }, 4000));
}

TEST_F(WatcherTest, WatchingTheSamePathAgainChangesNothingAndANewPathReplacesTheOld) {
    const QString first = dir_.path() + "/first", second = dir_.path() + "/second";
    QDir().mkpath(first);
    QDir().mkpath(second);
    watcher_.setDebounceInterval(200);
    watcher_.watch(first);
    watcher_.watch(first);
    EXPECT_EQ(log_.size(), 1);

    watcher_.watch(second);
    EXPECT_EQ(log_.last(), QStringLiteral("[ExportWatcher] Watching: ") + second);
    EXPECT_EQ(watcher_.watchedPath(), second);
    change(first + "/ignored");
    spinFor(700);
    EXPECT_EQ(notifications_, 0);
    change(second + "/seen");
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 1; }, 4000));
}

TEST_F(WatcherTest, ARootThatAppearsLaterIsWatchedOnceItExists) {
    const QString root = dir_.path() + "/not/yet/there";
    watcher_.setDebounceInterval(200);
    watcher_.watch(root);
    EXPECT_TRUE(watcher_.isWatching());
    QDir().mkpath(dir_.path() + "/not/yet");
    spinFor(400);
    EXPECT_EQ(notifications_, 0);  // a parent level appearing is not the root yet
    QDir().mkpath(root);
    ASSERT_TRUE(spinUntil([&] { return notifications_ == 1; }, 4000));
    change(root + "/index.html");
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 2; }, 4000));
    // Deleted and made again: still watched.
    QDir(root).removeRecursively();
    spinFor(200);
    QDir().mkpath(root + "/2025-01-01 Back");
    ASSERT_TRUE(spinUntil([&] { return notifications_ == 3; }, 4000));
    change(root + "/2025-01-01 Back/index.html");
    EXPECT_TRUE(spinUntil([&] { return notifications_ == 4; }, 4000));
}

TEST_F(WatcherTest, APathThatCannotBeWatchedIsReportedAndNeverNotifies) {
    const QString file = dir_.path() + "/plain-file";
    writeFile(file);
    watcher_.setDebounceInterval(200);
    watcher_.watch(file);
    EXPECT_EQ(log_, QStringList{QStringLiteral("[ExportWatcher] Failed to create stream for: ") + file});
    EXPECT_FALSE(watcher_.isWatching());
    EXPECT_EQ(watcher_.watchedPath(), file);
    writeFile(file, "changed");
    spinFor(700);
    EXPECT_EQ(notifications_, 0);
}
