#include "media/ImportController.h"
#include "media/YtDlpOutput.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace lumenote;

namespace {

DownloadLineState feed(const QStringList& lines, DownloadLineState state = {}, QStringList* log = nullptr) {
    for (const QString& l : lines) applyYtDlpLine(l, state, log);
    return state;
}

const QString kDir = "/home/u/.local/share/io.corvana.Lumenote/downloads";

}  // namespace

TEST(YtDlpOutput, ProgressLinesSetTheFractionUnclampedAndTheWholePercent) {
    auto s = feed({"[download]  42.7% of  120.45MiB at    3.21MiB/s ETA 00:21"});
    EXPECT_DOUBLE_EQ(s.progress, 0.427);
    EXPECT_EQ(s.statusText, "Downloading… 42%");

    s = feed({"[download]  12.3% of ~  98.12MiB at  2.10MiB/s ETA 00:40 (frag 12/97)"});
    EXPECT_DOUBLE_EQ(s.progress, 0.123);
    EXPECT_EQ(s.statusText, "Downloading… 12%");

    s = feed({"[download] 100% of  120.45MiB in 00:00:37 at 3.25MiB/s"});
    EXPECT_DOUBLE_EQ(s.progress, 1.0);
    EXPECT_EQ(s.statusText, "Downloading… 100%");

    // Not clamped, and a "%" outside a [download] line is no progress.
    EXPECT_DOUBLE_EQ(feed({"[download] 150%"}).progress, 1.5);
    EXPECT_DOUBLE_EQ(feed({"[info] 50% done"}).progress, 0.0);
    // A number too large for an integer still gives its whole percent.
    s = feed({"[download] 100000000000000000000%"});
    EXPECT_DOUBLE_EQ(s.progress, 1e18);
    EXPECT_EQ(s.statusText, "Downloading… 100000000000000000000%");
}

TEST(YtDlpOutput, MergedFileWinsOverThePartialFormats) {
    QStringList log;
    const auto s = feed({"[download] Destination: " + kDir + "/Lecture 3.f137.mp4",
                         "[download]  42.7% of  120.45MiB at    3.21MiB/s ETA 00:21",
                         "[download] Destination: " + kDir + "/Lecture 3.f140.m4a",
                         "[Merger] Merging formats into \"" + kDir + "/Lecture 3.mp4\"",
                         "Deleting original file " + kDir + "/Lecture 3.f137.mp4 (pass -k to keep)"},
                        {}, &log);
    EXPECT_EQ(s.currentDownloadPath, kDir + "/Lecture 3.mp4");
    EXPECT_EQ(s.statusText, "Merging streams…");
    EXPECT_EQ(log, (QStringList{"[yt-dlp] currentDownloadPath ← Destination: " + kDir + "/Lecture 3.f137.mp4",
                                "[yt-dlp] currentDownloadPath ← Destination: " + kDir + "/Lecture 3.f140.m4a",
                                "[yt-dlp] currentDownloadPath ← Merger: " + kDir + "/Lecture 3.mp4"}));
    EXPECT_EQ(fileNameWithoutExtension("Lecture 3.mp4"), "Lecture 3");
    EXPECT_EQ(fileNameWithoutExtension("Lecture 3.f137.mp4"), "Lecture 3.f137");
    EXPECT_EQ(fileNameWithoutExtension(".hidden"), ".hidden");
}

TEST(YtDlpOutput, DestinationIsTrimmedAndRelativePathsResolveAgainstTheWorkingDirectory) {
    EXPECT_EQ(feed({"[download] Destination: /tmp/a b.mp4  \r"}).currentDownloadPath, "/tmp/a b.mp4");
    EXPECT_EQ(feed({"[download] Destination: dl/small.mp4"}).currentDownloadPath, QDir::currentPath() + "/dl/small.mp4");
    // "Destination:" without the blank does not split.
    EXPECT_FALSE(feed({"[download] Destination:/x.mp4"}).currentDownloadPath);
}

TEST(YtDlpOutput, AlreadyDownloadedNeedsAnAbsolutePath) {
    QStringList log;
    auto s = feed({"[download] " + kDir + "/Lecture 3.mp4 has already been downloaded"}, {}, &log);
    EXPECT_EQ(s.currentDownloadPath, kDir + "/Lecture 3.mp4");
    EXPECT_DOUBLE_EQ(s.progress, 1.0);
    EXPECT_EQ(s.statusText, "Already downloaded.");
    EXPECT_EQ(log, QStringList{"[yt-dlp] currentDownloadPath ← already-downloaded: " + kDir + "/Lecture 3.mp4"});

    DownloadLineState before;
    before.progress = 0.3;
    before.statusText = "Downloading… 30%";
    s = feed({"[download] small.mp4 has already been downloaded"}, before);
    EXPECT_FALSE(s.currentDownloadPath);
    EXPECT_DOUBLE_EQ(s.progress, 0.3);
    EXPECT_EQ(s.statusText, "Downloading… 30%");
    // A "/" only after the phrase does not count either.
    EXPECT_FALSE(feed({"[download] small.mp4 has already been downloaded to /tmp"}).currentDownloadPath);
}

TEST(YtDlpOutput, ChunksSplitOnTheirOwnAndInvalidUtf8CountsAsNothing) {
    EXPECT_EQ(splitOutputChunk("a\n\nb\n"), (QStringList{"a", "b"}));
    EXPECT_EQ(splitOutputChunk("[download]  4"), QStringList{"[download]  4"});
    EXPECT_TRUE(splitOutputChunk(QByteArray("ok\n\xff\xfe\n")).isEmpty());
    EXPECT_TRUE(splitOutputChunk({}).isEmpty());
}

TEST(YtDlpOutput, PyiLinesAreNeitherStatusNorFailureText) {
    const QStringList err{"[PYI-4242:WARNING] Failed to remove temporary directory", "ERROR: [generic] None: Unable to download webpage",
                          "[PYI-4242:ERROR] cleanup"};
    EXPECT_EQ(statusFromStderrPieces(err), "ERROR: [generic] None: Unable to download webpage");
    EXPECT_FALSE(statusFromStderrPieces({"[PYI-1:x]"}));
    EXPECT_EQ(downloadFailureText(err), "ERROR: [generic] None: Unable to download webpage");
    EXPECT_EQ(downloadFailureText({"  first", "second  "}), "first\nsecond");
    EXPECT_EQ(downloadFailureText({"[PYI-9:x]"}), "");
}

TEST(YtDlpOutput, AddressCheck) {
    EXPECT_TRUE(isDownloadableURL("https://www.example.org/watch?v=abc"));
    EXPECT_TRUE(isDownloadableURL("http://127.0.0.1:8000/lecture.mp4"));
    EXPECT_FALSE(isDownloadableURL("ftp://files.example.org/lecture.mp4"));
    EXPECT_FALSE(isDownloadableURL("www.example.org/watch"));
    EXPECT_FALSE(isDownloadableURL("not a url"));
    EXPECT_FALSE(isDownloadableURL(""));
    // Not trimmed: a leading blank makes the text no URL with a scheme.
    EXPECT_FALSE(isDownloadableURL(" https://www.example.org/"));
}

TEST(YtDlpOutput, ToolVersionsAndUploader) {
    EXPECT_EQ(parseFFmpegVersion("ffmpeg version 5.1.6-0+deb12u1 Copyright (c) 2000-2024 the FFmpeg developers\nbuilt with gcc"),
              "5.1.6-0+deb12u1");
    EXPECT_EQ(parseFFmpegVersion("ffmpeg version 7.1\n"), "7.1");
    EXPECT_FALSE(parseFFmpegVersion("ffmpeg: command not found"));
    EXPECT_EQ(parseUploaderName("  Prof. Ada Lovelace \n"), "Prof. Ada Lovelace");
    EXPECT_FALSE(parseUploaderName("NA\n"));
    EXPECT_FALSE(parseUploaderName("\n"));
}

TEST(ImportRules, DroppedFilesAndDuplicatePrompt) {
    EXPECT_TRUE(ImportController::isAcceptedVideoFile("/x/Talk.MP4"));
    EXPECT_TRUE(ImportController::isAcceptedVideoFile("/x/Talk.mov"));
    EXPECT_TRUE(ImportController::isAcceptedVideoFile("/x/Talk.m4v"));
    EXPECT_FALSE(ImportController::isAcceptedVideoFile("/x/Talk.mkv"));
    EXPECT_FALSE(ImportController::isAcceptedVideoFile("/x/mp4"));

    DuplicatePrompt file{nullptr, false};
    EXPECT_EQ(file.messageKey(), "import.duplicate.message.file");
    EXPECT_EQ(file.actions(), (QList<DuplicateAction>{DuplicateAction::OpenExisting, DuplicateAction::Reprocess, DuplicateAction::Cancel}));
    DuplicatePrompt address{nullptr, true};
    EXPECT_EQ(address.messageKey(), "import.duplicate.message.url");
    EXPECT_EQ(DuplicatePrompt::actionKey(address.actions()[1]), "import.duplicate.redownload.reprocess");
}
