// Downloaded tools are checked against what their publishers list before they
// are made runnable: yt-dlp against its release's SHA2-256SUMS, ffmpeg against
// the archive size its build service lists. Local servers stand in for GitHub
// and the build service and serve genuine and tampered files.

#include "media/ToolChecksums.h"
#include "../media/MediaTestSupport.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

using Kind = UpdateStatus::Kind;

QByteArray sha256Hex(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

bool isExecutable(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & 0111) != 0;
}

class ToolDownloadVerification : public ::testing::Test {
protected:
    void SetUp() override {
        clearToolSettings();
        service = makeService({tools.bin()});
        QDir().mkpath(AppPaths::applicationSupportDirectory());
        server.route("GET", "/repos/yt-dlp/yt-dlp/releases/latest", [](const HttpRequest&) {
            return HttpResponse::json(200, R"({"tag_name":"2025.02.01","name":"yt-dlp 2025.02.01","draft":false,"prerelease":false,"assets":[]})");
        });
    }
    void TearDown() override { clearToolSettings(); }

    // A tool that leaves a mark when it runs, so a tampered copy that ran would show.
    QByteArray toolScript(const QString& version, const QString& mark) const {
        return ("#!/bin/sh\ntouch '" + tools.root() + "/" + mark + "'\necho '" + version + "'\n").toUtf8();
    }
    bool ran(const QString& mark) const { return QFile::exists(tools.root() + "/" + mark); }

    FakeToolFolder tools;
    TestHttpServer server;
    ScopedEnv api{"LUMENOTE_GITHUB_API_URL", server.urlString()};
    ScopedEnv github{"LUMENOTE_GITHUB_URL", server.urlString()};
    std::unique_ptr<URLDownloadService> service;
    LogCapture log;
};

}  // namespace

TEST(ToolChecksums, FindsTheEntryOfOneFileInAChecksumList) {
    const QByteArray a(64, 'a'), b(64, 'b');
    const QByteArray list = a + "  yt-dlp\n" + b + " *yt-dlp_linux\r\n" + QByteArray(63, 'c') + "  yt-dlp_macos\nnot a line\n";
    EXPECT_EQ(media::listedSha256(list, "yt-dlp"), a);
    EXPECT_EQ(media::listedSha256(list, "yt-dlp_linux"), b);
    EXPECT_EQ(media::listedSha256(list, "yt-dlp_linux_aarch64"), std::nullopt) << "a prefix of a listed name is not that name";
    EXPECT_EQ(media::listedSha256(list, "yt-dlp_macos"), std::nullopt) << "a short digest is refused";
    EXPECT_EQ(media::listedSha256(a.toUpper() + "  x\n", "x"), a);
}

// Each case: the checksum list the release publishes and the binary the download host serves.
TEST_F(ToolDownloadVerification, YtDlpIsInstalledOnlyWhenItMatchesTheReleaseChecksum) {
    const QString asset = URLDownloadService::ytDlpAssetName();
    const QByteArray genuine = toolScript("2025.02.01", "genuine-ran");
    QByteArray tampered = toolScript("2025.02.01", "tampered-ran");
    const QByteArray otherLines = sha256Hex("windows") + "  yt-dlp.exe\n" + sha256Hex("mac") + "  yt-dlp_macos\n";
    struct Case {
        const char* name;
        int sumsStatus;
        QByteArray sums;
        QByteArray served;
        QString error;  // empty: installed
        bool downloadsBinary;
    };
    const QList<Case> cases{
        {"genuine", 200, otherLines + sha256Hex(genuine) + "  " + asset.toUtf8() + "\n", genuine, {}, true},
        {"tampered", 200, otherLines + sha256Hex(genuine) + "  " + asset.toUtf8() + "\n", tampered,
         "The downloaded yt-dlp does not match the SHA-256 checksum its release publishes for " + asset + " (expected " +
             sha256Hex(genuine) + ", received " + sha256Hex(tampered) + "). It was deleted; the previous yt-dlp stays in use.",
         true},
        {"asset not listed", 200, otherLines, genuine, "The yt-dlp release lists no SHA-256 checksum for " + asset + "; the update was not installed.",
         false},
        {"no checksum list", 404, "Not Found", genuine,
         "The yt-dlp release publishes no checksums (SHA2-256SUMS answered HTTP status 404); the update was not installed.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(tools.root() + "/genuine-ran");
        const QByteArray old = toolScript("2025.01.15", "old-ran");
        ASSERT_TRUE(writeExecutableScript(URLDownloadService::privateYtDlpPath(), QString::fromUtf8(old)));
        // GitHub answers both names with a redirect to its download host.
        const QByteArray release = "/yt-dlp/yt-dlp/releases/latest/download/";
        for (const QByteArray& name : {QByteArray("SHA2-256SUMS"), asset.toUtf8()})
            server.route("GET", release + name, [this, name](const HttpRequest&) {
                return HttpResponse(302).header("Location", server.urlString().toUtf8() + "/objects/" + name).body("");
            });
        server.route("GET", "/objects/SHA2-256SUMS", [c](const HttpRequest&) { return HttpResponse::text(c.sumsStatus, c.sums); });
        server.route("GET", "/objects/" + asset.toUtf8(), [c](const HttpRequest&) { return HttpResponse(200).body(c.served); });
        const int downloadsBefore = server.requestCount("/objects/" + asset.toUtf8());

        await(service->checkForUpdates());
        ASSERT_EQ(service->updateStatus(), UpdateStatus::available("2025.01.15", "2025.02.01"));
        await(service->updateYtDlp());

        EXPECT_EQ(server.requestCount("/objects/" + asset.toUtf8()) - downloadsBefore, c.downloadsBinary ? 1 : 0);
        EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/yt-dlp.download")) << "no unverified file is left";
        EXPECT_FALSE(ran("tampered-ran"));
        if (c.error.isEmpty()) {
            EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), genuine);
            EXPECT_TRUE(isExecutable(URLDownloadService::privateYtDlpPath()));
            EXPECT_TRUE(ran("genuine-ran")) << "the new copy answers the version check";
            EXPECT_EQ(service->updateStatus(), UpdateStatus::upToDate("2025.02.01"));
            EXPECT_EQ(service->ytDlpUpdateError(), "");
        } else {
            EXPECT_EQ(service->ytDlpUpdateError(), c.error);
            EXPECT_TRUE(log.contains("[yt-dlp] update failed: " + c.error));
            EXPECT_EQ(service->updateStatus().kind(), Kind::CheckFailed);
            EXPECT_EQ(readAll(URLDownloadService::privateYtDlpPath()), old) << "the previous copy stays";
            EXPECT_FALSE(ran("genuine-ran"));
        }
    }
}

TEST_F(ToolDownloadVerification, FFmpegArchiveOfAnotherSizeThanListedIsDeleted) {
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", server.urlString() + "/ffmpeg/info/release");
    const QString genuineZip = tools.root() + "/genuine.zip", tamperedZip = tools.root() + "/tampered.zip";
    ASSERT_TRUE(writeZipArchive(genuineZip, {{"ffmpeg", toolScript("ffmpeg version 7.1", "genuine-ran")}}));
    ASSERT_TRUE(writeZipArchive(tamperedZip, {{"ffmpeg", toolScript("ffmpeg version 7.1 (with a little extra)", "tampered-ran")}}));
    const QByteArray listed = QByteArray::number(readAll(genuineZip).size());
    server.route("GET", "/ffmpeg/info/release", [this, listed](const HttpRequest&) {
        return HttpResponse::json(200, R"({"name":"ffmpeg","type":"release","version":"7.1","size":25987654,"download":{"7z":{"url":")" +
                                           server.urlString().toUtf8() + R"(/builds/ffmpeg.7z","size":1},"zip":{"url":")" +
                                           server.urlString().toUtf8() + R"(/builds/ffmpeg.zip","size":)" + listed + "}}}");
    });
    const QByteArray old = toolScript("ffmpeg version 7.0", "old-ran");
    ASSERT_TRUE(writeExecutableScript(URLDownloadService::privateFFmpegPath(), QString::fromUtf8(old)));

    QByteArray served = readAll(tamperedZip);
    server.route("GET", "/builds/ffmpeg.zip", [&served](const HttpRequest&) { return HttpResponse(200).body(served); });
    await(service->installFFmpeg());
    const QString error = "The downloaded ffmpeg archive is " + QString::number(served.size()) + " bytes, but the build service lists " +
                          QString::fromLatin1(listed) + " bytes. It was deleted and nothing was installed.";
    EXPECT_EQ(service->ffmpegInstallError(), error);
    EXPECT_EQ(readAll(URLDownloadService::privateFFmpegPath()), old);
    EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/ffmpeg.zip.download"));
    EXPECT_FALSE(QFile::exists(AppPaths::applicationSupportDirectory() + "/ffmpeg_extract"));
    EXPECT_FALSE(ran("tampered-ran"));

    served = readAll(genuineZip);
    await(service->installFFmpeg());
    EXPECT_EQ(service->ffmpegInstallError(), "");
    EXPECT_TRUE(ran("genuine-ran"));
    EXPECT_EQ(service->ffmpegInstalledVersion(), "7.1");
}
