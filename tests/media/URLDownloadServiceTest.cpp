// The downloader against fake yt-dlp scripts: the command line it receives,
// the output rules end to end, the watchdog, cancellation and exit codes.

#include "media/YtDlpOutput.h"
#include "MediaTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <sys/stat.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

const QString kUrl = "https://video.example.org/watch?v=lecture3";

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        service = makeService({tools.bin()});
        connect();
    }
    void connect() {
        QObject::connect(service.get(), &URLDownloadService::downloadStateChanged, [this] {
            snapshots.append({service->progress(), service->statusText()});
        });
    }
    QString dir() const { return URLDownloadService::downloadFolder(); }
    bool sawSnapshot(double progress, const QString& status) const {
        for (const auto& [p, s] : snapshots)
            if (qFuzzyCompare(p + 1, progress + 1) && s == status) return true;
        return false;
    }
    bool sawStatus(const QString& status) const {
        for (const auto& s : snapshots)
            if (s.second == status) return true;
        return false;
    }

    FakeToolFolder tools;
    std::unique_ptr<URLDownloadService> service;
    QList<QPair<double, QString>> snapshots;
    LogCapture log;
};

}  // namespace

TEST_F(DownloadTest, CommandLineInBothFormatVariants) {
    ASSERT_TRUE(tools.writeYtDlp("echo \"[download] Destination: $dir/Talk.mp4\""));
    const QString common = "--output\n" + dir() + "/%(title)s.%(ext)s\n--newline\n--no-warnings\n--socket-timeout\n30\n--retries\n3\n";

    auto a = attempt(service->download(kUrl, false));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(tools.recordedArgs().join('\n') + "\n", common + "--format\nbest[ext=mp4]/best[ext=webm]/best\n" + kUrl + "\n");
    EXPECT_TRUE(log.contains("[yt-dlp] ffmpeg not found — falling back to pre-merged format (max ~720p)"));

    ASSERT_TRUE(tools.writeFFmpeg("7.1"));
    a = attempt(service->download(kUrl, true));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(tools.recordedArgs(), (common + "--force-overwrites\n--ffmpeg-location\n" + tools.path("ffmpeg") + "\n--format\n" +
                                     kYtDlpMergeFormat + "\n--merge-output-format\nmp4\n" + kUrl)
                                        .split('\n'));
    EXPECT_TRUE(log.contains("[yt-dlp] ffmpeg found at " + tools.path("ffmpeg") + " — using merge format"));
    EXPECT_TRUE(log.contains("[yt-dlp] launching: " + tools.path("yt-dlp") + " " + tools.recordedArgs().join(' ')));
    EXPECT_TRUE(log.contains("[yt-dlp] url:    " + kUrl));
    EXPECT_TRUE(QFileInfo(dir()).isDir());
}

TEST_F(DownloadTest, MergedOutputIsTheResultAndProgressIsReported) {
    ASSERT_TRUE(tools.writeYtDlp(R"SH(echo "[generic] Extracting URL"
echo "[download] Destination: $dir/Lecture 3.f137.mp4"
echo "[download]   0.0% of  120.45MiB at  Unknown B/s ETA Unknown"
echo "[download]  42.7% of  120.45MiB at    3.21MiB/s ETA 00:21"
echo "[download] 100% of  120.45MiB in 00:00:37 at 3.25MiB/s"
echo "[download] Destination: $dir/Lecture 3.f140.m4a"
echo "[Merger] Merging formats into \"$dir/Lecture 3.mp4\""
echo "Deleting original file $dir/Lecture 3.f137.mp4 (pass -k to keep)"
: > "$dir/Lecture 3.mp4")SH"));

    auto a = attempt(service->download(kUrl, false));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(a.value->path, dir() + "/Lecture 3.mp4");
    EXPECT_EQ(a.value->title, "Lecture 3");
    EXPECT_TRUE(sawSnapshot(0.427, "Downloading… 42%"));
    EXPECT_TRUE(sawStatus("Merging streams…"));
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Complete);
    EXPECT_DOUBLE_EQ(service->progress(), 1.0);
    EXPECT_EQ(service->statusText(), "Download complete.");
    EXPECT_TRUE(log.contains("[yt-dlp] success — final path: " + dir() + "/Lecture 3.mp4 (exists: true)"));
    EXPECT_TRUE(log.contains("[yt-dlp stdout] [download]  42.7% of  120.45MiB at    3.21MiB/s ETA 00:21"));
    EXPECT_TRUE(log.contains("[yt-dlp] exited — status 0, reason 1"));
}

TEST_F(DownloadTest, AlreadyDownloadedAndFailureTexts) {
    // An absolute already-downloaded path is the result.
    ASSERT_TRUE(tools.writeYtDlp("echo \"[download] $dir/Old Talk.mp4 has already been downloaded\"\necho '[download] 100% of  252.77KiB'"));
    auto a = attempt(service->download(kUrl, false));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(a.value->path, dir() + "/Old Talk.mp4");
    EXPECT_TRUE(sawSnapshot(1.0, "Already downloaded."));
    EXPECT_TRUE(log.contains("[yt-dlp] success — final path: " + dir() + "/Old Talk.mp4 (exists: false)"));

    // A relative one is no path: exit 0 without a file fails, with the fallback text.
    ASSERT_TRUE(tools.writeYtDlp("echo '[download] Old Talk.mp4 has already been downloaded'"));
    a = attempt(service->download(kUrl, false));
    EXPECT_TRUE(a.failed);
    EXPECT_EQ(downloadErrorKind(a), DownloadError::Kind::ProcessFailed);
    EXPECT_EQ(a.error, "Download failed.");
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Failed);

    // A non-zero exit fails with standard error's text...
    ASSERT_TRUE(tools.writeYtDlp("echo \"[download] Destination: $dir/x.mp4\"\n"
                                 "echo 'ERROR: [generic] None: Unable to download webpage: HTTP Error 403: Forbidden' >&2\nexit 1"));
    a = attempt(service->download(kUrl, false));
    EXPECT_EQ(a.error, "ERROR: [generic] None: Unable to download webpage: HTTP Error 403: Forbidden");
    EXPECT_EQ(service->errorMessage(), a.error);
    EXPECT_EQ(service->statusText(), a.error);

    // ...and a later silent failure keeps the previous message.
    ASSERT_TRUE(tools.writeYtDlp("exit 0"));
    a = attempt(service->download(kUrl, false));
    EXPECT_EQ(a.error, "ERROR: [generic] None: Unable to download webpage: HTTP Error 403: Forbidden");
    EXPECT_TRUE(service->stderrAccum().isEmpty());
}

TEST_F(DownloadTest, SelfExtractorLinesNeverShowOrFail) {
    ASSERT_TRUE(tools.writeYtDlp("echo '[PYI-4242:WARNING] Failed to remove temporary directory' >&2\n"
                                 "sleep 0.2\n"
                                 "echo 'ERROR: Unsupported URL: https://video.example.org' >&2\n"
                                 "sleep 0.2\n"
                                 "echo '[PYI-4242:ERROR] cleanup' >&2\nexit 2"));
    auto a = attempt(service->download(kUrl, false));
    EXPECT_EQ(a.error, "ERROR: Unsupported URL: https://video.example.org");
    for (const auto& s : snapshots) EXPECT_FALSE(s.second.startsWith("[PYI-")) << s.second.toStdString();
    EXPECT_EQ(service->statusText(), "ERROR: Unsupported URL: https://video.example.org");
    EXPECT_EQ(service->stderrAccum().size(), 3);
    EXPECT_TRUE(log.contains("[yt-dlp stderr] [PYI-4242:WARNING] Failed to remove temporary directory"));
}

TEST_F(DownloadTest, WatchdogStopsASilentDownloadOnly) {
    service->setWatchdogInterval(std::chrono::milliseconds(300));
    ASSERT_TRUE(tools.writeYtDlp("echo '[generic] Extracting URL'\nexec sleep 30"));
    QElapsedTimer t;
    t.start();
    auto a = attempt(service->download(kUrl, false));
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(a.error, "No response after 90 seconds. The video may require sign-in, or try updating yt-dlp in Settings.");
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Failed);
    EXPECT_TRUE(log.contains("[yt-dlp] watchdog fired — no progress after 90 s, terminating"));
    EXPECT_FALSE(service->isDownloadRunning());

    // Any progress above 0 keeps the process alive past the interval.
    ASSERT_TRUE(tools.writeYtDlp("echo '[download]   0.4% of  252.77KiB at  Unknown B/s ETA Unknown'\nsleep 0.8\n"
                                 "echo \"[download] Destination: $dir/slow.mp4\""));
    a = attempt(service->download(kUrl, false));
    ASSERT_FALSE(a.failed) << a.error.toStdString();
    EXPECT_EQ(a.value->title, "slow");
}

TEST_F(DownloadTest, CancelStopsTheRunningDownload) {
    ASSERT_TRUE(tools.writeYtDlp("echo '[download]   3.0% of  1.00GiB'\nexec sleep 30"));
    auto task = attemptTask(service->download(kUrl, false));
    ASSERT_TRUE(spinUntil([&] { return service->progress() > 0; }, 5000));
    EXPECT_TRUE(service->isDownloadRunning());
    service->cancel();
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Idle);
    EXPECT_EQ(service->progress(), 0.0);
    EXPECT_EQ(service->statusText(), "");

    QElapsedTimer t;
    t.start();
    const auto a = await(std::move(task));
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(downloadErrorKind(a), DownloadError::Kind::ProcessFailed);
    EXPECT_EQ(service->phase(), URLDownloadService::Phase::Failed);
    EXPECT_TRUE(log.containsPrefix("[yt-dlp] exited — status 15, reason 2"));
}

TEST_F(DownloadTest, RefusesBadAddressesAMissingToolAndAToolThatWillNotStart) {
    ASSERT_TRUE(tools.writeYtDlp("echo '[download] Destination: /nowhere/x.mp4'\nexit 1"));
    attempt(service->download(kUrl, false));
    ASSERT_EQ(service->phase(), URLDownloadService::Phase::Failed);
    for (const QString& bad : {QString("ftp://files.example.org/x.mp4"), QString("not a url"), QString("")}) {
        auto a = attempt(service->download(bad, false));
        EXPECT_EQ(a.error, "The URL doesn't look valid.") << bad.toStdString();
        EXPECT_EQ(downloadErrorKind(a), DownloadError::Kind::InvalidURL);
        EXPECT_EQ(service->phase(), URLDownloadService::Phase::Failed);
    }

    // Found but not runnable: the launch error fails the download.
    ASSERT_TRUE(QFile::setPermissions(tools.path("yt-dlp"), QFile::ReadOwner | QFile::WriteOwner));
    auto a = attempt(service->download(kUrl, false));
    EXPECT_TRUE(a.failed);
    EXPECT_FALSE(downloadErrorKind(a));
    EXPECT_EQ(service->errorMessage(), a.error);
    EXPECT_TRUE(log.containsPrefix("[yt-dlp] failed to launch: "));
    EXPECT_FALSE(service->isDownloadRunning());

    QFile::remove(tools.path("yt-dlp"));
    a = attempt(service->download(kUrl, false));
    EXPECT_EQ(a.error, "yt-dlp binary not found.");
    EXPECT_EQ(downloadErrorKind(a), DownloadError::Kind::NotInstalled);
}

TEST_F(DownloadTest, UploaderNameQuery) {
    ASSERT_TRUE(tools.writeYtDlp("echo '  Prof. Ada Lovelace  '"));
    EXPECT_EQ(await(service->fetchUploaderName(kUrl)), "Prof. Ada Lovelace");
    EXPECT_EQ(tools.recordedQueryArgs(), (QStringList{"--skip-download", "--print", "%(channel,uploader)s", "--no-playlist", kUrl}));
    EXPECT_TRUE(log.contains("[yt-dlp metadata] channel/uploader: Prof. Ada Lovelace"));

    ASSERT_TRUE(tools.writeYtDlp("echo NA"));
    EXPECT_FALSE(await(service->fetchUploaderName(kUrl)));
    EXPECT_TRUE(log.contains("[yt-dlp metadata] channel/uploader: nil"));

    QFile::remove(tools.path("yt-dlp"));
    EXPECT_FALSE(await(service->fetchUploaderName(kUrl)));
}
