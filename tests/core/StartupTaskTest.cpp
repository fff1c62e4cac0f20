#include "core/Settings.h"
#include "core/StartupTask.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QCoroTimer>

using namespace lumenote;
using lumenote::test::await;

namespace {

struct FakeTools : StartupTools {
    bool ffmpegInstalled = true;
    QStringList events;
    void stageYtDlp() override { events << "stage"; }
    bool isFFmpegInstalled() override { return ffmpegInstalled; }
    QCoro::Task<> checkYtDlpForUpdates() override {
        events << "yt-dlp check start";
        co_await QCoro::sleepFor(std::chrono::milliseconds(30));
        events << "yt-dlp check end";
    }
    QCoro::Task<> checkFFmpegForUpdates() override {
        events << "ffmpeg check start";
        co_await QCoro::sleepFor(std::chrono::milliseconds(30));
        events << "ffmpeg check end";
    }
    void startFFmpegInstall() override { events << "install ffmpeg"; }
};

class StartupTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {"ytDlpLastUpdateCheck", "ffmpegLastUpdateCheck"}) Settings::shared().remove(key);
    }
    QStringList run() {
        StartupOptions options;
        options.readyPause = std::chrono::milliseconds(0);
        options.now = [this] { return now; };
        QStringList statuses;
        await(runStartupTask(tools, Settings::shared(), [&](const QString& s) { statuses << s; }, options));
        return statuses;
    }
    FakeTools tools;
    QDateTime now = QDateTime::fromString("2026-12-05T12:00:00Z", Qt::ISODate);
};

}  // namespace

TEST_F(StartupTaskTest, FirstRunChecksBothToolsSideBySide) {
    EXPECT_EQ(run(), (QStringList{"Staging yt-dlp…", "Checking for updates…", "Ready."}));
    ASSERT_EQ(tools.events.size(), 5);
    EXPECT_EQ(tools.events[0], "stage");
    // Both checks start before either finishes.
    EXPECT_TRUE(tools.events[1].endsWith("start") && tools.events[2].endsWith("start")) << tools.events.join(", ").toStdString();
    EXPECT_FALSE(tools.events.contains("install ffmpeg"));
}

TEST_F(StartupTaskTest, ChecksAreDueOnlyAfterMoreThanADay) {
    Settings::shared().setYtDlpLastUpdateCheck(now.addSecs(-86400));
    Settings::shared().setFFmpegLastUpdateCheck(now.addSecs(-3600));
    EXPECT_EQ(run(), (QStringList{"Staging yt-dlp…", "Ready."}));
    EXPECT_EQ(tools.events, QStringList{"stage"});

    tools.events.clear();
    Settings::shared().setYtDlpLastUpdateCheck(now.addSecs(-86401));
    EXPECT_EQ(run(), (QStringList{"Staging yt-dlp…", "Checking for updates…", "Ready."}));
    EXPECT_EQ(tools.events, (QStringList{"stage", "yt-dlp check start", "yt-dlp check end"}));

    EXPECT_TRUE(isUpdateCheckDue(std::nullopt, now));
    EXPECT_FALSE(isUpdateCheckDue(now.addSecs(60), now));
}

TEST_F(StartupTaskTest, MissingFFmpegIsInstalledInTheBackgroundAndNotChecked) {
    tools.ffmpegInstalled = false;
    Settings::shared().setYtDlpLastUpdateCheck(now.addSecs(-10));
    EXPECT_EQ(run(), (QStringList{"Staging yt-dlp…", "Ready."}));
    EXPECT_EQ(tools.events, (QStringList{"stage", "install ffmpeg"}));
}
