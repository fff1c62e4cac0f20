// Importing files and addresses into a real library store, with fake yt-dlp
// and ffmpeg, and the duplicate prompt answered by the test.

#include "core/LibraryStore.h"
#include "media/ImportController.h"
#include "MediaTestSupport.h"

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearToolSettings();
        QString error;
        store = LibraryStore::open(tmp.path() + "/library.sqlite", &error);
        ASSERT_TRUE(store) << error.toStdString();
        service = makeService({tools.bin()});
        ImportController::Handlers handlers;
        handlers.onImport = [this](const LecturePtr& l) { imported << l; };
        handlers.onReprocess = [this](const LecturePtr& l) { reprocessed << l; };
        handlers.resolveDuplicate = [this](DuplicatePrompt prompt) -> QCoro::Task<DuplicateAction> {
            prompts << prompt;
            shownWhilePrompting = controller->duplicateLecture();
            co_return answer;
        };
        controller = std::make_unique<ImportController>(*store, *service, handlers);
    }
    void TearDown() override { clearToolSettings(); }

    ImportOutcome importFile(const QString& path) { return await(controller->importFile(path)); }
    ImportOutcome importURL(const QString& url) {
        controller->setUrlText(url);
        return await(controller->importURL());
    }
    QString dl(const QString& name) const { return URLDownloadService::downloadFolder() + "/" + name; }

    QTemporaryDir tmp;
    FakeToolFolder tools;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<URLDownloadService> service;
    std::unique_ptr<ImportController> controller;
    QList<LecturePtr> imported;
    QList<LecturePtr> reprocessed;
    QList<DuplicatePrompt> prompts;
    LecturePtr shownWhilePrompting;
    DuplicateAction answer = DuplicateAction::Cancel;
};

// A yt-dlp that names the file after the address's last part and answers the uploader query.
const char* kSiteYtDlp = R"(if [ "$1" = "--skip-download" ]; then echo 'Prof. Ada'; exit 0; fi
for last; do :; done
name="${last##*/}"
echo "[download] Destination: $dir/$name.f137.mp4"
echo "[download]  50.0% of 1.00MiB"
echo "[Merger] Merging formats into \"$dir/$name.mp4\""
: > "$dir/$name.mp4")";

}  // namespace

TEST_F(ImportTest, SameFileTwiceAsksInsteadOfCreatingASecondLecture) {
    const QString path = tmp.path() + "/Week 1 Intro.mp4";
    auto first = importFile(path);
    ASSERT_EQ(first.kind, ImportOutcome::Kind::Imported);
    EXPECT_EQ(first.lecture->title(), "Week 1 Intro");
    EXPECT_EQ(first.lecture->localFilePath(), path);
    EXPECT_FALSE(first.lecture->sourceURL());
    EXPECT_EQ(first.lecture->status(), LectureStatus::Pending);
    EXPECT_EQ(imported, QList<LecturePtr>{first.lecture});
    EXPECT_TRUE(first.closesScreen());

    answer = DuplicateAction::Cancel;
    auto again = importFile(path);
    EXPECT_EQ(again.kind, ImportOutcome::Kind::Cancelled);
    EXPECT_FALSE(again.closesScreen());
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].existing, first.lecture);
    EXPECT_FALSE(prompts[0].isAddressDuplicate);
    EXPECT_EQ(shownWhilePrompting, first.lecture);
    EXPECT_EQ(controller->duplicateLecture(), nullptr);

    answer = DuplicateAction::OpenExisting;
    EXPECT_EQ(importFile(path).kind, ImportOutcome::Kind::OpenedExisting);
    EXPECT_EQ(imported, (QList<LecturePtr>{first.lecture, first.lecture}));

    // Reprocessing starts a run at once through the pipeline's hook.
    answer = DuplicateAction::Reprocess;
    EXPECT_EQ(importFile(path).kind, ImportOutcome::Kind::Reprocessing);
    EXPECT_EQ(reprocessed, QList<LecturePtr>{first.lecture});
    EXPECT_EQ(store->lectures().size(), 1u);

    EXPECT_EQ(importFile("").kind, ImportOutcome::Kind::Ignored);
}

TEST_F(ImportTest, OnlyExactPathTextCountsAsTheSameFile) {
    const QString real = tmp.path() + "/talk.mp4";
    QFile(real).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(real, tmp.path() + "/link.mp4"));
    EXPECT_EQ(importFile(real).kind, ImportOutcome::Kind::Imported);
    EXPECT_EQ(importFile(tmp.path() + "/link.mp4").kind, ImportOutcome::Kind::Imported);
    EXPECT_EQ(importFile(tmp.path() + "/TALK.mp4").kind, ImportOutcome::Kind::Imported);
    EXPECT_EQ(importFile(tmp.path() + "/./talk.mp4").kind, ImportOutcome::Kind::Imported);
    EXPECT_TRUE(prompts.isEmpty());
    EXPECT_EQ(store->lectures().size(), 4u);
}

TEST_F(ImportTest, AddressImportCreatesTheLectureWithItsUploader) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    ASSERT_TRUE(tools.writeFFmpeg("7.1"));
    EXPECT_TRUE(controller->checkYtDlpInstalled());
    auto r = importURL("https://video.example.org/thermo-1");
    ASSERT_EQ(r.kind, ImportOutcome::Kind::Imported) << r.errorMessage.toStdString();
    EXPECT_EQ(r.lecture->title(), "thermo-1");
    EXPECT_EQ(r.lecture->localFilePath(), dl("thermo-1.mp4"));
    EXPECT_EQ(r.lecture->sourceURL(), "https://video.example.org/thermo-1");
    EXPECT_EQ(r.lecture->channelName(), "Prof. Ada");
    EXPECT_EQ(imported, QList<LecturePtr>{r.lecture});

    // The same address again: the prompt offers re-downloading.
    answer = DuplicateAction::Cancel;
    EXPECT_EQ(importURL("https://video.example.org/thermo-1").kind, ImportOutcome::Kind::Cancelled);
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_TRUE(prompts[0].isAddressDuplicate);
    EXPECT_EQ(store->lectures().size(), 1u);
}

TEST_F(ImportTest, DownloadEndingInAFileOfAnotherLectureAsksAndCanRedownload) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    ASSERT_TRUE(tools.writeFFmpeg("7.1"));
    LecturePtr existing = Lecture::create("Lecture 3", dl("lecture-3.mp4"), QString("https://mirror.example.net/v/lecture-3-hd"));
    store->insert(existing);

    answer = DuplicateAction::RedownloadAndReprocess;
    auto r = importURL("https://video.example.org/lecture-3");
    EXPECT_EQ(r.kind, ImportOutcome::Kind::Reprocessing) << r.errorMessage.toStdString();
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].existing, existing);
    // The re-download fetched the lecture's own address, overwriting.
    EXPECT_TRUE(tools.recordedArgs().contains("--force-overwrites"));
    EXPECT_EQ(tools.recordedArgs().last(), "https://mirror.example.net/v/lecture-3-hd");
    EXPECT_EQ(existing->localFilePath(), dl("lecture-3-hd.mp4"));
    EXPECT_EQ(reprocessed, QList<LecturePtr>{existing});
    EXPECT_EQ(store->lectures().size(), 1u);

    // A failed re-download leaves the lecture as it was.
    ASSERT_TRUE(tools.writeYtDlp(QString(kSiteYtDlp).replace("for last;", "echo 'ERROR: gone' >&2; exit 1\nfor last;")));
    auto f = await(controller->importFile(dl("lecture-3-hd.mp4")));
    EXPECT_EQ(f.kind, ImportOutcome::Kind::Failed);
    EXPECT_EQ(f.errorMessage, "ERROR: gone");
    EXPECT_EQ(existing->localFilePath(), dl("lecture-3-hd.mp4"));
    EXPECT_EQ(reprocessed.size(), 1);
}

TEST_F(ImportTest, RefusedAddressesAndFailedDownloadsChangeNothing) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    controller->checkYtDlpInstalled();
    controller->setUrlText("ftp://files.example.org/lecture.mp4");
    EXPECT_FALSE(controller->isValidURL());
    EXPECT_FALSE(controller->canDownload());
    auto r = await(controller->importURL());
    EXPECT_EQ(r.kind, ImportOutcome::Kind::Failed);
    EXPECT_EQ(r.errorMessage, "The URL doesn't look valid.");
    EXPECT_TRUE(tools.recordedArgs().isEmpty());

    ASSERT_TRUE(tools.writeYtDlp("if [ \"$1\" = \"--skip-download\" ]; then exit 1; fi\necho 'ERROR: Unsupported URL' >&2\nexit 1"));
    r = importURL("https://video.example.org/broken");
    EXPECT_EQ(r.kind, ImportOutcome::Kind::Failed);
    EXPECT_EQ(r.errorMessage, "ERROR: Unsupported URL");
    EXPECT_EQ(controller->errorMessage(), "ERROR: Unsupported URL");
    EXPECT_TRUE(store->lectures().empty());
    EXPECT_TRUE(imported.isEmpty());

    // Editing the address clears the failed state.
    ASSERT_EQ(service->phase(), URLDownloadService::Phase::Failed);
    controller->setUrlText("https://video.example.org/other");
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Idle);
    EXPECT_TRUE(controller->canDownload());

    QFile::remove(tools.path("yt-dlp"));
    EXPECT_FALSE(controller->checkYtDlpInstalled());
    EXPECT_FALSE(controller->canDownload());
}

TEST_F(ImportTest, MissingFFmpegIsInstalledFirstAndAFailedInstallStillDownloads) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    {
        // No build service: the install fails, the download takes a pre-merged format.
        ScopedEnv noService("LUMENOTE_FFMPEG_INFO_URL", std::nullopt);
        auto r = importURL("https://video.example.org/a");
        ASSERT_EQ(r.kind, ImportOutcome::Kind::Imported) << r.errorMessage.toStdString();
        EXPECT_TRUE(service->ffmpegInstallError().contains("package manager"));
        EXPECT_TRUE(tools.recordedArgs().contains("best[ext=mp4]/best[ext=webm]/best"));
        EXPECT_FALSE(tools.recordedArgs().contains("--merge-output-format"));
    }

    TestHttpServer server;
    const QString zipPath = tmp.path() + "/ffmpeg.zip";
    ASSERT_TRUE(writeZipArchive(zipPath, {{"ffmpeg", "#!/bin/sh\necho 'ffmpeg version 7.1'\n"}}));
    const QByteArray zip = readAll(zipPath);
    server.route("GET", "/info", [&](const HttpRequest&) {
        return HttpResponse::json(200, R"({"version":"7.1","download":{"zip":{"url":")" + server.urlString().toUtf8() + R"(/ffmpeg.zip"}}})");
    });
    server.route("GET", "/ffmpeg.zip", [zip](const HttpRequest&) { return HttpResponse(200).body(zip); });
    ScopedEnv withService("LUMENOTE_FFMPEG_INFO_URL", server.urlString() + "/info");
    auto r = importURL("https://video.example.org/b");
    ASSERT_EQ(r.kind, ImportOutcome::Kind::Imported) << r.errorMessage.toStdString();
    const QStringList args = tools.recordedArgs();
    const qsizetype at = args.indexOf("--ffmpeg-location");
    ASSERT_GE(at, 0);
    EXPECT_EQ(args[at + 1], URLDownloadService::privateFFmpegPath());
    EXPECT_EQ(server.requestCount("/ffmpeg.zip"), 1);
}

TEST_F(ImportTest, ClosingTheScreenDuringADownloadLeavesTheLibraryAlone) {
    ASSERT_TRUE(tools.writeFFmpeg("7.1"));
    ASSERT_TRUE(tools.writeYtDlp(QString(kSiteYtDlp).replace("for last;", "sleep 0.3\nfor last;")));
    controller->setUrlText("https://video.example.org/late");
    auto running = controller->importURL();
    ASSERT_TRUE(controller->isBusy());
    controller.reset();
    ASSERT_TRUE(spinUntil([&] { return service->phase() == URLDownloadService::Phase::Complete; }, 10000));
    spinFor(50);
    EXPECT_TRUE(store->lectures().empty());
    EXPECT_TRUE(imported.isEmpty());
}
