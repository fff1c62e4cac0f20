// Finding, checking, updating and installing yt-dlp and ffmpeg, against fake
// tools and a local server standing in for GitHub and the ffmpeg build service.

#include "core/StartupTask.h"
#include "media/HttpTransfer.h"
#include "MediaTestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <sys/stat.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

using Kind = UpdateStatus::Kind;

int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 07777);
}

QByteArray versionScript(const QString& version, qint64 padTo = 0) {
    QByteArray s = "#!/bin/sh\necho '" + version.toUtf8() + "'\nexit 0\n";
    if (padTo > s.size()) s += "#" + QByteArray(padTo - s.size() - 1, 'x');
    return s;
}

QByteArray releaseJson(const QString& tag) {
    return R"({"tag_name":")" + tag.toUtf8() + R"(","name":"yt-dlp )" + tag.toUtf8() +
           R"(","draft":false,"prerelease":false,"assets":[{"name":"yt-dlp_linux","size":34567890}]})";
}

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearToolSettings();
        service = makeService({tools.bin()});
        QObject::connect(service.get(), &URLDownloadService::toolStateChanged, [this] {
            if (ytProgress.isEmpty() || ytProgress.last() != service->binaryUpdateProgress()) ytProgress << service->binaryUpdateProgress();
            if (ffProgress.isEmpty() || ffProgress.last() != service->ffmpegBinaryUpdateProgress())
                ffProgress << service->ffmpegBinaryUpdateProgress();
        });
        server.route("GET", "/repos/yt-dlp/yt-dlp/releases/latest", [this](const HttpRequest& r) {
            if (r.header("User-Agent") != "Lumenote/1.0") return HttpResponse::json(403, R"({"message":"Request forbidden"})");
            return HttpResponse::json(200, releaseJson(latestTag));
        });
    }
    void TearDown() override { clearToolSettings(); }

    // The release's checksum list, naming `tool` as this machine's asset.
    void serveChecksums(const QByteArray& tool) {
        const QByteArray list = QCryptographicHash::hash(tool, QCryptographicHash::Sha256).toHex() + "  " +
                                URLDownloadService::ytDlpAssetName().toUtf8() + "\n";
        server.route("GET", "/yt-dlp/yt-dlp/releases/latest/download/SHA2-256SUMS",
                     [list](const HttpRequest&) { return HttpResponse::text(200, list); });
    }
    QString infoPath() const { return server.urlString() + "/ffmpeg/info/release"; }
    void serveBuild(const QString& version, const QList<QPair<QString, QByteArray>>& entries) {
        const QString zipPath = tools.root() + "/build.zip";
        ASSERT_TRUE(writeZipArchive(zipPath, entries));
        const QByteArray zip = readAll(zipPath);
        const QByteArray info = R"({"name":"ffmpeg","type":"release","version":")" + version.toUtf8() +
                                R"(","size":25987654,"download":{"7z":{"url":")" + server.urlString().toUtf8() +
                                R"(/builds/ffmpeg.7z","size":1},"zip":{"url":")" + server.urlString().toUtf8() +
                                R"(/builds/ffmpeg.zip","size":)" + QByteArray::number(zip.size()) + "}}}";
        server.route("GET", "/ffmpeg/info/release", [info](const HttpRequest&) { return HttpResponse::json(200, info); });
        server.route("GET", "/builds/ffmpeg.zip", [zip](const HttpRequest&) {
            return HttpResponse(200).header("Content-Type", "application/zip").body(zip);
        });
    }

    FakeToolFolder tools;
    TestHttpServer server;
    ScopedEnv api{"LUMENOTE_GITHUB_API_URL", server.urlString()};
    ScopedEnv github{"LUMENOTE_GITHUB_URL", server.urlString()};
    ScopedEnv info{"LUMENOTE_FFMPEG_INFO_URL", std::nullopt};
    std::unique_ptr<URLDownloadService> service;
    QString latestTag = "2025.01.15";
    QList<double> ytProgress;
    QList<double> ffProgress;
    LogCapture log;
};

}  // namespace

TEST_F(ToolsTest, PrivateCopyIsMadeRunnableAndSearchOrderHolds) {
    QTemporaryDir a, b, c;
    service->setToolSearchDirectories({a.path(), b.path(), c.path()});
    EXPECT_FALSE(service->ytDlpPath());
    EXPECT_FALSE(service->ffmpegPath());

    ASSERT_TRUE(writeExecutableScript(c.path() + "/yt-dlp", "#!/bin/sh\n"));
    ASSERT_TRUE(writeExecutableScript(b.path() + "/yt-dlp", "#!/bin/sh\n"));
    ASSERT_TRUE(writeExecutableScript(c.path() + "/ffmpeg", "#!/bin/sh\n"));
    QDir().mkpath(a.path() + "/ffmpeg");  // a folder is no tool
    EXPECT_EQ(service->ytDlpPath(), b.path() + "/yt-dlp");
    EXPECT_EQ(service->ffmpegPath(), c.path() + "/ffmpeg");

    // The private copies come first, made runnable again when they lost it.
    QDir().mkpath(AppPaths::applicationSupportDirectory());
    for (const QString& p : {URLDownloadService::privateYtDlpPath(), URLDownloadService::privateFFmpegPath()}) {
        ASSERT_TRUE(writeExecutableScript(p, "#!/bin/sh\n"));
        ASSERT_TRUE(QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    EXPECT_EQ(service->ytDlpPath(), URLDownloadService::privateYtDlpPath());
    EXPECT_EQ(modeOf(URLDownloadService::privateYtDlpPath()), 0755);
    EXPECT_TRUE(log.contains("[yt-dlp] ytDlpPath: using app-support copy at " + URLDownloadService::privateYtDlpPath()));
    EXPECT_EQ(service->ffmpegPath(), URLDownloadService::privateFFmpegPath());
    EXPECT_EQ(modeOf(URLDownloadService::privateFFmpegPath()), 0755);
    // A copy that keeps some execute bit is left as it is.
    ::chmod(QFile::encodeName(URLDownloadService::privateYtDlpPath()).constData(), 0700);
    service->ytDlpPath();
    EXPECT_EQ(modeOf(URLDownloadService::privateYtDlpPath()), 0700);
}

TEST_F(ToolsTest, PackagedCopyIsStagedOrUsedInPlace) {
    const QString packaged = tools.root() + "/share/lumenote/yt-dlp";
    QDir().mkpath(tools.root() + "/share/lumenote");
    QFile f(packaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(versionScript("2024.12.24"));
    f.close();
    ASSERT_TRUE(tools.writeYtDlp("echo other"));
    service->setPackagedYtDlpPath(packaged);

    // The private place cannot be written (a folder sits there): the packaged copy is used.
    QDir().mkpath(URLDownloadService::privateYtDlpPath());
    EXPECT_EQ(service->ytDlpPath(), packaged);
    EXPECT_TRUE(log.contains("[yt-dlp] ytDlpPath: write to app-support failed, falling back to bundle at " + packaged));
    QDir(URLDownloadService::privateYtDlpPath()).removeRecursively();

    EXPECT_EQ(service->ytDlpPath(), URLDownloadService::privateYtDlpPath());
    EXPECT_TRUE(log.contains("[yt-dlp] ytDlpPath: staged bundle copy to " + URLDownloadService::privateYtDlpPath()));
    EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), versionScript("2024.12.24"));
    EXPECT_EQ(modeOf(URLDownloadService::privateYtDlpPath()), 0755);
    EXPECT_EQ(await(service->runningVersion()), "2024.12.24");
}

TEST_F(ToolsTest, YtDlpCheckComparesTheTagExactly) {
    ASSERT_TRUE(tools.writeYtDlp("echo 2025.01.15"));
    await(service->checkForUpdates());
    EXPECT_EQ(service->updateStatus(), UpdateStatus::upToDate("2025.01.15"));
    EXPECT_EQ(service->lastKnownVersion(), "2025.01.15");
    ASSERT_TRUE(service->lastUpdateCheck());
    EXPECT_LT(service->lastUpdateCheck()->secsTo(QDateTime::currentDateTimeUtc()), 60);
    EXPECT_FALSE(service->isCheckingForUpdates());
    EXPECT_TRUE(log.contains("[yt-dlp] runningVersion result: '2025.01.15'"));

    // Any difference is an update, even one that looks older.
    latestTag = "2024.12.01";
    await(service->checkForUpdates());
    EXPECT_EQ(service->updateStatus(), UpdateStatus::available("2025.01.15", "2024.12.01"));

    // Refusals, unreadable answers and a missing tool end in checkFailed.
    server.route("GET", "/repos/yt-dlp/yt-dlp/releases/latest",
                 [](const HttpRequest&) { return HttpResponse::json(403, R"({"message":"API rate limit exceeded"})"); });
    await(service->checkForUpdates());
    EXPECT_EQ(service->updateStatus().kind(), Kind::CheckFailed);
    server.route("GET", "/repos/yt-dlp/yt-dlp/releases/latest", [](const HttpRequest&) { return HttpResponse::json(200, "{\"tag\":"); });
    await(service->checkForUpdates());
    EXPECT_EQ(service->updateStatus().kind(), Kind::CheckFailed);
    QFile::remove(tools.path("yt-dlp"));
    await(service->checkForUpdates());
    EXPECT_EQ(service->updateStatus().kind(), Kind::CheckFailed);
    EXPECT_TRUE(log.contains("[yt-dlp] runningVersion: binary not found"));
    EXPECT_EQ(server.requestCount("/repos/yt-dlp/yt-dlp/releases/latest"), 4);
}

TEST_F(ToolsTest, UpdateFollowsTheRedirectAndCapsProgressBeforeTheEnd) {
    const QByteArray newTool = versionScript("2025.02.01", 3 * media::kDownloadBlockSize);
    const QByteArray assetPath = "/yt-dlp/yt-dlp/releases/latest/download/" + URLDownloadService::ytDlpAssetName().toUtf8();
    server.route("GET", assetPath, [this](const HttpRequest&) {
        return HttpResponse(302).header("Location", server.urlString().toUtf8() + "/cdn/yt-dlp_linux").body("");
    });
    server.route("GET", "/cdn/yt-dlp_linux", [newTool](const HttpRequest&) { return HttpResponse(200).body(newTool); });
    serveChecksums(newTool);

    // Updates start from "available" only.
    await(service->updateYtDlp());
    EXPECT_EQ(server.requestCount(assetPath), 0);

    QDir().mkpath(AppPaths::applicationSupportDirectory());
    ASSERT_TRUE(writeExecutableScript(URLDownloadService::privateYtDlpPath(), QString::fromUtf8(versionScript("2025.01.15"))));
    latestTag = "2025.02.01";
    await(service->checkForUpdates());
    ASSERT_EQ(service->updateStatus(), UpdateStatus::available("2025.01.15", "2025.02.01"));

    await(service->updateYtDlp());
    EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), newTool);
    EXPECT_EQ(modeOf(URLDownloadService::privateYtDlpPath()), 0755);
    EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/yt-dlp.download"));
    EXPECT_EQ(service->updateStatus(), UpdateStatus::upToDate("2025.02.01"));
    // One value per block; the last full block reaches the whole length but shows 0.99.
    EXPECT_EQ(ytProgress, (QList<double>{0.0, 1.0 / 3, 2.0 / 3, 0.99, 1.0})) << ytProgress.size();
}

TEST_F(ToolsTest, UpdateWithoutLengthCountsAgainstTheFallbackSize) {
    const QByteArray newTool = versionScript("2025.02.01", 2 * media::kDownloadBlockSize + 5000);
    server.route("GET", "/yt-dlp/yt-dlp/releases/latest/download/*",
                 [newTool](const HttpRequest&) { return HttpResponse(200).pieces(newTool, 50000, 0); });
    serveChecksums(newTool);
    ASSERT_TRUE(tools.writeYtDlp("echo 2025.01.15"));
    latestTag = "2025.02.01";
    await(service->checkForUpdates());
    await(service->updateYtDlp());
    EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), newTool);
    EXPECT_EQ(ytProgress, (QList<double>{0.0, 131072.0 / 36000000, 262144.0 / 36000000, 1.0}));
    EXPECT_EQ(service->updateStatus(), UpdateStatus::upToDate("2025.02.01"));
}

TEST_F(ToolsTest, BrokenUpdateKeepsThePreviousCopyAndThePartialFile) {
    const QByteArray newTool = versionScript("2025.02.01", 400000);
    server.route("GET", "/yt-dlp/yt-dlp/releases/latest/download/*",
                 [newTool](const HttpRequest&) { return HttpResponse(200).body(newTool).dropAfter(300000); });
    serveChecksums(newTool);
    QDir().mkpath(AppPaths::applicationSupportDirectory());
    const QByteArray old = versionScript("2025.01.15");
    ASSERT_TRUE(writeExecutableScript(URLDownloadService::privateYtDlpPath(), QString::fromUtf8(old)));
    latestTag = "2025.02.01";
    await(service->checkForUpdates());
    await(service->updateYtDlp());
    EXPECT_EQ(service->updateStatus().kind(), Kind::CheckFailed);
    EXPECT_EQ(service->binaryUpdateProgress(), 0.0);
    EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), old);
    EXPECT_GE(QFileInfo(AppPaths::applicationSupportDirectory() + "/yt-dlp.download").size(), media::kDownloadBlockSize);
    EXPECT_TRUE(log.containsPrefix("[yt-dlp] update failed: "));
}

TEST_F(ToolsTest, PackageManagerFFmpegIsUpToDateWithoutAsking) {
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", infoPath());
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus().kind(), Kind::Unknown);

    ASSERT_TRUE(tools.writeFFmpeg("5.1.6-0+deb12u1"));
    EXPECT_TRUE(service->isFFmpegInstalled());
    EXPECT_EQ(await(service->ffmpegRunningVersion()), "5.1.6-0+deb12u1");
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus(), UpdateStatus::upToDate("5.1.6-0+deb12u1"));
    EXPECT_EQ(service->ffmpegLastKnownVersion(), "5.1.6-0+deb12u1");
    EXPECT_TRUE(service->ffmpegLastUpdateCheck());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ToolsTest, InstalledFFmpegIsComparedByTheRecordedVersion) {
    ASSERT_TRUE(tools.writeFFmpeg("n7.1-static"));
    Settings::shared().setFFmpegInstalledVersion(QString("7.1"));
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", infoPath());
    serveBuild("7.1", {});
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus(), UpdateStatus::upToDate("n7.1-static"));
    const HttpRequest& req = server.requests().last();
    EXPECT_EQ(req.header("Accept"), "application/json");
    EXPECT_EQ(req.header("User-Agent"), "Lumenote/1.0");

    serveBuild("7.2", {});
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus(), UpdateStatus::available("7.1", "7.2"));

    server.route("GET", "/ffmpeg/info/release", [](const HttpRequest&) { return HttpResponse::text(500, "upstream down"); });
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus().kind(), Kind::CheckFailed);
    EXPECT_TRUE(log.contains("[ffmpeg] unexpected response: upstream down"));

    server.route("GET", "/ffmpeg/info/release", [](const HttpRequest&) {
        return HttpResponse::json(200, R"({"version":"7.3","download":{"zip":{"url":"http://exa mple/ffmpeg.zip"}}})");
    });
    await(service->checkFFmpegUpdates());
    EXPECT_EQ(service->ffmpegUpdateStatus().kind(), Kind::CheckFailed);
    EXPECT_TRUE(log.containsPrefix("[ffmpeg] update check failed: The ffmpeg build-info service returned an invalid download URL"));
}

TEST_F(ToolsTest, InstallsFFmpegFromTheBuildService) {
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", infoPath());
    serveBuild("7.1", {{"ffmpeg", "#!/bin/sh\necho 'ffmpeg version 7.1 Copyright (c) 2000-2024 the FFmpeg developers'\n"},
                       {"README.txt", QByteArray(300000, 'r')}});
    EXPECT_FALSE(service->isFFmpegInstalled());

    // A second request while one runs shares it.
    service->startFFmpegInstall();
    EXPECT_TRUE(service->isInstallingFFmpeg());
    await(service->installFFmpeg());
    EXPECT_FALSE(service->isInstallingFFmpeg());
    EXPECT_EQ(server.requestCount("/builds/ffmpeg.zip"), 1);

    EXPECT_EQ(service->ffmpegPath(), URLDownloadService::privateFFmpegPath());
    EXPECT_EQ(modeOf(URLDownloadService::privateFFmpegPath()) & 0111, 0111);
    EXPECT_EQ(service->ffmpegInstalledVersion(), "7.1");
    EXPECT_EQ(service->ffmpegUpdateStatus(), UpdateStatus::upToDate("7.1"));
    EXPECT_EQ(service->ffmpegBinaryUpdateProgress(), 1.0);
    EXPECT_EQ(service->ffmpegInstallError(), "");
    EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/ffmpeg.zip.download"));
    EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/ffmpeg_extract"));
    ASSERT_GE(ffProgress.size(), 3);
    for (qsizetype i = 0; i + 1 < ffProgress.size(); ++i) EXPECT_LE(ffProgress[i], 0.85);
    EXPECT_GT(ffProgress[ffProgress.size() - 2], 0.0);
    EXPECT_TRUE(log.contains("[ffmpeg] installed at " + URLDownloadService::privateFFmpegPath()));
}

TEST_F(ToolsTest, ArchiveWithoutFFmpegFailsAndKeepsTheOldOne) {
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", infoPath());
    serveBuild("7.2", {{"bin/ffmpeg", "#!/bin/sh\necho 'ffmpeg version 7.2'\n"}});
    QDir().mkpath(AppPaths::applicationSupportDirectory());
    ASSERT_TRUE(writeExecutableScript(URLDownloadService::privateFFmpegPath(), "#!/bin/sh\necho 'ffmpeg version 7.1'\n"));
    const QByteArray old = readAll(URLDownloadService::privateFFmpegPath());

    await(service->installFFmpeg());
    EXPECT_EQ(service->ffmpegInstallError(), "ffmpeg binary not found inside the downloaded archive.");
    EXPECT_TRUE(log.contains("[ffmpeg] install failed: ffmpeg binary not found inside the downloaded archive."));
    EXPECT_EQ(service->ffmpegUpdateStatus().kind(), Kind::CheckFailed);
    EXPECT_EQ(service->ffmpegBinaryUpdateProgress(), 0.0);
    EXPECT_EQ(readAll(URLDownloadService::privateFFmpegPath()), old);
    EXPECT_FALSE(service->ffmpegInstalledVersion());
}

TEST_F(ToolsTest, WithoutABuildServiceInstallingPointsToThePackageManager) {
    await(service->installFFmpeg());
    EXPECT_TRUE(service->ffmpegInstallError().contains("package manager")) << service->ffmpegInstallError().toStdString();
    EXPECT_EQ(service->ffmpegUpdateStatus().kind(), Kind::CheckFailed);
    EXPECT_FALSE(service->isInstallingFFmpeg());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ToolsTest, StartupTaskStagesChecksAndInstalls) {
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", infoPath());
    serveBuild("7.1", {{"ffmpeg", "#!/bin/sh\necho 'ffmpeg version 7.1 Copyright'\n"}});
    const QString packaged = tools.root() + "/share/lumenote/yt-dlp";
    ASSERT_TRUE(writeExecutableScript(packaged, QString::fromUtf8(versionScript("2025.01.15"))));
    service->setPackagedYtDlpPath(packaged);

    StartupOptions options;
    options.readyPause = std::chrono::milliseconds(0);
    QStringList statuses;
    await(runStartupTask(*service, Settings::shared(), [&](const QString& s) { statuses << s; }, options));
    EXPECT_EQ(statuses, (QStringList{"Staging yt-dlp…", "Checking for updates…", "Ready."}));
    EXPECT_TRUE(QFile::exists(URLDownloadService::privateYtDlpPath()));
    EXPECT_EQ(service->updateStatus(), UpdateStatus::upToDate("2025.01.15"));

    // ffmpeg was missing: its installation runs on after the task.
    ASSERT_TRUE(spinUntil([&] { return !service->isInstallingFFmpeg(); }, 20000));
    EXPECT_EQ(service->ffmpegPath(), URLDownloadService::privateFFmpegPath());
    EXPECT_EQ(service->ffmpegUpdateStatus(), UpdateStatus::upToDate("7.1"));

    // The next start within a day asks nobody.
    const qsizetype requests = server.requests().size();
    statuses.clear();
    await(runStartupTask(*service, Settings::shared(), [&](const QString& s) { statuses << s; }, options));
    EXPECT_EQ(statuses, (QStringList{"Staging yt-dlp…", "Ready."}));
    service->startDueUpdateChecks();
    spinFor(100);
    EXPECT_EQ(server.requests().size(), requests);
    // A day later the Tools screen's automatic checks run both.
    service->startDueUpdateChecks(QDateTime::currentDateTimeUtc().addSecs(86401));
    ASSERT_TRUE(spinUntil([&] { return !service->isCheckingForUpdates() && !service->isCheckingFFmpegUpdates(); }));
    EXPECT_EQ(server.requestCount("/repos/yt-dlp/yt-dlp/releases/latest"), 2);
    EXPECT_EQ(server.requestCount("/ffmpeg/info/release"), 3);
}
