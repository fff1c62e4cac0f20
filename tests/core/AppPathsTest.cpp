#include "core/AppPaths.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSignalSpy>
#include <QThread>

using namespace lumenote;
using lumenote::test::spinUntil;

namespace {

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppPaths::resetForTesting();
        setLogSink([this](const QString& line) {
            QMutexLocker lock(&mutex);
            lines.append(line);
        });
    }
    void TearDown() override {
        setLogSink(nullptr);
        AppPaths::setRetrySleeper(nullptr);
        Settings::shared().setCloudSyncFolder(std::nullopt);
        AppPaths::resetForTesting();
    }
    QStringList log() {
        QMutexLocker lock(&mutex);
        return lines;
    }
    // Starts resolution in the background and waits for the notification on the main thread.
    void resolve() {
        QSignalSpy spy(&AppPaths::instance(), &AppPaths::resolved);
        QThread* notifiedOn = nullptr;
        auto c = QObject::connect(&AppPaths::instance(), &AppPaths::resolved, [&] { notifiedOn = QThread::currentThread(); });
        AppPaths::resolveCloudContainer();
        ASSERT_TRUE(spinUntil([&] { return spy.count() == 1; }, 5000));
        QObject::disconnect(c);
        EXPECT_EQ(notifiedOn, QThread::currentThread());
        EXPECT_TRUE(AppPaths::isResolved());
    }

    QMutex mutex;
    QStringList lines;
    QList<int> sleeps;
    const QString home = QString::fromStdString(lumenote::test::homeDir());
};

}  // namespace

TEST_F(AppPathsTest, NoSyncFolderMeansLocalFoldersAtOnce) {
    AppPaths::setRetrySleeper([this](int, int s) { sleeps.append(s); });
    EXPECT_FALSE(AppPaths::isResolved());
    resolve();
    EXPECT_EQ(log(), QStringList{"[AppPaths] cloudSyncFolder not set — the sync folder is not available. Using local storage."});
    EXPECT_TRUE(sleeps.isEmpty());
    EXPECT_FALSE(AppPaths::containerURL());
    const QString support = home + "/.local/share/io.corvana.Lumenote";
    EXPECT_EQ(AppPaths::applicationSupportDirectory(), support);
    EXPECT_EQ(AppPaths::transcriptsDirectory(), support + "/transcripts");
    EXPECT_EQ(AppPaths::keyframesDirectory(), support + "/keyframes");
    EXPECT_EQ(AppPaths::consolidatedDirectory(), support + "/consolidated");
    EXPECT_EQ(AppPaths::screenshotsDirectory(), support + "/screenshots");
    EXPECT_EQ(AppPaths::exportRoot(), home + "/LumenoteLibrary");
    EXPECT_EQ(AppPaths::libraryStorePath(), support + "/library.sqlite");
    // Composing paths creates nothing.
    EXPECT_FALSE(QFileInfo::exists(support + "/transcripts"));
}

TEST_F(AppPathsTest, SyncFolderAppearingAtTheThirdAttempt) {
    const QString sync = home + "/Nextcloud";
    Settings::shared().setCloudSyncFolder(sync);
    AppPaths::setRetrySleeper([&](int attempt, int s) {
        sleeps.append(s);
        if (attempt == 2) QDir().mkpath(sync);  // the sync client finishes mounting
    });
    resolve();
    const QString documents = sync + "/Lumenote/Documents";
    EXPECT_EQ(log(), (QStringList{"[AppPaths] Container not yet available (attempt 1/5), retrying in 5s…",
                                  "[AppPaths] Container not yet available (attempt 2/5), retrying in 5s…",
                                  "[AppPaths] Container in the sync folder resolved (attempt 3): " + documents}));
    EXPECT_EQ(sleeps, (QList<int>{5, 5}));
    EXPECT_EQ(AppPaths::containerURL(), documents);
    for (const char* sub : {"screenshots", "transcripts", "keyframes", "consolidated", "exports"})
        EXPECT_TRUE(QFileInfo(documents + "/" + sub).isDir()) << sub;
    EXPECT_EQ(AppPaths::dataDirectory("transcripts"), documents + "/transcripts");
    EXPECT_EQ(AppPaths::exportRoot(), documents + "/exports");
    // The library store stays local.
    EXPECT_EQ(AppPaths::libraryStorePath(), home + "/.local/share/io.corvana.Lumenote/library.sqlite");
}

TEST_F(AppPathsTest, SyncFolderThatNeverAppears) {
    Settings::shared().setCloudSyncFolder(home + "/never-mounted");
    AppPaths::setRetrySleeper([this](int, int s) { sleeps.append(s); });
    resolve();
    const QStringList l = log();
    ASSERT_EQ(l.size(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(l[i], QStringLiteral("[AppPaths] Container not yet available (attempt %1/5), retrying in 5s…").arg(i + 1));
    EXPECT_EQ(l[5], "[AppPaths] Container in the sync folder unavailable after 5 attempts — using local storage.");
    EXPECT_EQ(sleeps, (QList<int>{5, 5, 5, 5, 5}));
    EXPECT_FALSE(AppPaths::containerURL());
    EXPECT_EQ(AppPaths::exportRoot(), home + "/LumenoteLibrary");
}
