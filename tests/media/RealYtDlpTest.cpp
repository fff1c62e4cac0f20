// Debian's yt-dlp against a local server that serves a small generated video.

#include "core/LibraryStore.h"
#include "media/ImportController.h"
#include "MediaTestSupport.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

// A two-second H.264/AAC clip, made once per build tree.
QByteArray lectureClip() {
    static const QByteArray bytes = [] {
        const QString dir = QString::fromStdString(binaryDir()).isEmpty() ? QDir::tempPath() : QString::fromStdString(binaryDir());
        const QString path = dir + "/test-fixtures/media/lecture-clip.mp4";
        if (!QFile::exists(path)) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            const QString partial = path + ".tmp.mp4";
            if (!ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x90:rate=10", "-f", "lavfi", "-i", "sine=frequency=440", "-t", "2",
                         "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", partial}))
                return QByteArray();
            QFile::rename(partial, path);
        }
        return readAll(path);
    }();
    return bytes;
}

class RealYtDlpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo("/usr/bin/yt-dlp").isExecutable()) << "yt-dlp is not installed (scripts/install-deps.sh)";
        clip = lectureClip();
        ASSERT_FALSE(clip.isEmpty());
        service = makeService({"/usr/bin"});
        server.route("GET", "/media/thermo-lecture.mp4",
                     [this](const HttpRequest&) { return HttpResponse(200).header("Content-Type", "video/mp4").body(clip); });
    }

    QByteArray clip;
    TestHttpServer server;
    std::unique_ptr<URLDownloadService> service;
};

}  // namespace

TEST_F(RealYtDlpTest, DownloadsIntoTheDownloadFolder) {
    const QString url = server.urlString() + "/media/thermo-lecture.mp4";
    auto a = attempt(service->download(url, false));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(a.value->path, URLDownloadService::downloadFolder() + "/thermo-lecture.mp4");
    EXPECT_EQ(a.value->title, "thermo-lecture");
    EXPECT_EQ(readAll(a.value->path), clip);
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Complete);

    // The uploader query on a plain file finds nobody.
    EXPECT_FALSE(await(service->fetchUploaderName(url)));
}

TEST_F(RealYtDlpTest, MissingPageFailsWithYtDlpsOwnText) {
    auto a = attempt(service->download(server.urlString() + "/media/missing.mp4", false));
    ASSERT_TRUE(a.failed);
    EXPECT_EQ(downloadErrorKind(a), DownloadError::Kind::ProcessFailed);
    EXPECT_TRUE(a.error.startsWith("ERROR: ")) << a.error.toStdString();
    EXPECT_TRUE(a.error.contains("HTTP Error 404")) << a.error.toStdString();
    EXPECT_EQ(service->errorMessage(), a.error);
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Failed);
}

TEST_F(RealYtDlpTest, ImportsAnAddressEndToEnd) {
    QTemporaryDir tmp;
    QString error;
    auto store = LibraryStore::open(tmp.path() + "/library.sqlite", &error);
    ASSERT_TRUE(store) << error.toStdString();
    QList<LecturePtr> imported;
    ImportController::Handlers handlers;
    handlers.onImport = [&](const LecturePtr& l) { imported << l; };
    ImportController controller(*store, *service, handlers);
    ASSERT_TRUE(controller.checkYtDlpInstalled());

    controller.setUrlText(server.urlString() + "/media/thermo-lecture.mp4?source=course");
    const ImportOutcome r = await(controller.importURL());
    ASSERT_EQ(r.kind, ImportOutcome::Kind::Imported) << r.errorMessage.toStdString();
    EXPECT_EQ(r.lecture->title(), "thermo-lecture");
    EXPECT_EQ(r.lecture->localFilePath(), URLDownloadService::downloadFolder() + "/thermo-lecture.mp4");
    EXPECT_EQ(r.lecture->sourceURL(), server.urlString() + "/media/thermo-lecture.mp4?source=course");
    EXPECT_FALSE(r.lecture->channelName());
    EXPECT_EQ(store->lectures().size(), 1u);
    EXPECT_EQ(imported.size(), 1);
}
