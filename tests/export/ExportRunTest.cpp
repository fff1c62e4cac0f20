#include "FixtureTools.h"
#include "LectureFixture.h"
#include "QtTestHelpers.h"
#include "av/FFmpeg.h"
#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "export/ExportManager.h"
#include "export/StudyPage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QTemporaryDir>

using namespace lumenote;

namespace {

struct Progress {
    double fraction;
    QString line;
};

class ExportRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        const QString d = media_->path();
        test::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=4", "-f", "lavfi", "-i", "sine=frequency=440:duration=4",
                      "-c:v", "mpeg4", "-c:a", "aac", "-b:a", "64k", "-shortest", d + "/aac.mp4"});
        test::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=4", "-f", "lavfi", "-i",
                      "sine=frequency=300:duration=4:sample_rate=37800", "-ac", "2", "-c:v", "mpeg4", "-c:a", "flac", "-shortest", d + "/flac.mkv"});
        test::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=2", "-c:v", "mpeg4", d + "/silent.mp4"});
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        root_ = std::make_unique<QTemporaryDir>();
        Settings::shared().setExportRootBookmark(root_->path() + "/Exports");
        QDir().mkpath(root_->path() + "/Exports");
        Settings::shared().setMarkdownExportEnabled(false);
        Settings::shared().setMarkdownExportDirectoryBookmark(std::nullopt);
        setLogSink([this](const QString& line) {
            QMutexLocker lock(&logMutex_);
            log_.append(line);
        });
    }
    void TearDown() override {
        setLogSink({});
        Settings::shared().setExportRootBookmark(std::nullopt);
        Settings::shared().setMarkdownExportEnabled(false);
        Settings::shared().setMarkdownExportDirectoryBookmark(std::nullopt);
    }

    static QString media(const char* name) { return media_->path() + "/" + name; }
    QString exportsRoot() const { return root_->path() + "/Exports"; }

    LecturePtr lecture(const QString& title) {
        LecturePtr l = Lecture::create(title, media("aac.mp4"), std::nullopt);
        l->setDateAdded(QDateTime(QDate(2025, 3, 4), QTime(15, 30)));
        l->setDuration(4);
        return l;
    }

    QString run(const QString& video, LecturePtr l, const QList<CapturedScreenshot>& shots, std::optional<QString> notes = std::nullopt,
                std::optional<QString> folder = std::nullopt) {
        progress_.clear();
        return test::await(ExportManager::shared().exportLecture(video, l, fixture::makeTranscript(8, 6, 2.0, 3), shots, notes, folder,
                                                                 [this](double f, const QString& line) { progress_.append({f, line}); }));
    }

    bool logged(const QString& line) {
        QMutexLocker lock(&logMutex_);
        return log_.contains(line);
    }
    bool loggedStartingWith(const QString& prefix) {
        QMutexLocker lock(&logMutex_);
        for (const QString& l : log_)
            if (l.startsWith(prefix)) return true;
        return false;
    }
    QStringList lines() const {
        QStringList out;
        for (const Progress& p : progress_) out.append(p.line);
        return out;
    }

    static QString read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static QList<CapturedScreenshot> shots(int n) {
        QList<CapturedScreenshot> out;
        for (int i = 0; i < n; ++i) out.append(CapturedScreenshot::make(fixture::makeCameraImage(QSize(320, 180), i), 0.5 + i * 1.25));
        return out;
    }

    inline static QTemporaryDir* media_ = nullptr;
    std::unique_ptr<QTemporaryDir> root_;
    QList<Progress> progress_;
    QMutex logMutex_;
    QStringList log_;
};

struct AudioInfo {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
};

AudioInfo probeAudio(const QString& path) {
    AudioInfo info;
    av::FormatContextPtr in = av::openInput(path);
    if (!in) return info;
    const int idx = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (idx < 0) return info;
    const AVCodecParameters* p = in->streams[idx]->codecpar;
    info.codec = p->codec_id;
    info.sampleRate = p->sample_rate;
    info.channels = p->ch_layout.nb_channels;
    info.duration = av::durationSeconds(in.get()).value_or(0);
    return info;
}

}  // namespace

TEST(ExportNames, FolderNamesAreSanitised) {
    const QDateTime added(QDate(2025, 3, 4), QTime(9, 0));
    EXPECT_EQ(ExportManager::lectureDirName(added, QStringLiteral("a/b:c?")), QStringLiteral("2025-03-04 abc"));
    EXPECT_EQ(ExportManager::sanitizeName(QStringLiteral("<>:\"/\\|?*")), QStringLiteral("Untitled"));
    EXPECT_EQ(ExportManager::sanitizeName(QStringLiteral("  Tabs\tand\nlines   and    spaces  ")), QStringLiteral("Tabsandlines and spaces"));
    const QString seventy = QStringLiteral("Thermodynamics and Statistical Mechanics of Engines ") + QString(18, QLatin1Char('x'));
    ASSERT_EQ(seventy.size(), 70);
    EXPECT_EQ(ExportManager::sanitizeName(seventy), QStringLiteral("Thermodynamics and Statistical Mechanics of Engines xxxxxxxx"));
    // Cut at 60, then the trailing space is trimmed.
    const QString spaced = QString(59, QLatin1Char('a')) + QStringLiteral(" bcdef");
    EXPECT_EQ(ExportManager::sanitizeName(spaced), QString(59, QLatin1Char('a')));
    // Sixty characters count whole characters, not UTF-16 units.
    const QString emoji = QString(30, QLatin1Char('e')) + QString::fromUtf8("😀").repeated(40);
    EXPECT_EQ(ExportManager::sanitizeName(emoji), QString(30, QLatin1Char('e')) + QString::fromUtf8("😀").repeated(30));
    EXPECT_EQ(ExportManager::folderDirName(QStringLiteral("Maths")), QStringLiteral("Maths"));
    EXPECT_FALSE(ExportManager::folderDirName(QStringLiteral("??")).has_value());
    EXPECT_FALSE(ExportManager::folderDirName(std::nullopt).has_value());
    EXPECT_EQ(ExportManager::screenshotFileName(3, 12.5), QStringLiteral("0003_012.50.jpg"));
    EXPECT_EQ(ExportManager::screenshotFileName(12, 3725.456), QStringLiteral("0012_3725.46.jpg"));
    EXPECT_EQ(ExportManager::displayPath(QDir::homePath() + "/LumenoteLibrary/x"), QStringLiteral("~/LumenoteLibrary/x"));
    EXPECT_EQ(ExportManager::displayPath(QStringLiteral("/srv/x")), QStringLiteral("/srv/x"));
}

TEST_F(ExportRun, WritesPageImagesAudioAndReportsEachStep) {
    LecturePtr l = lecture(QStringLiteral("Thermo: Heat & Work?"));
    l->setChannelName(QStringLiteral("Physics Dept"));
    l->setConsolidatedWithModelID(QStringLiteral("claude/claude-sonnet-4-5"));
    l->setNotesData(encodeUserNotes({UserNote::create(-1, QStringLiteral("read chapter 2 first"))}));
    const QList<CapturedScreenshot> screenshots = shots(3);
    const QString folder = run(media("aac.mp4"), l, screenshots, QStringLiteral("## Notes\n\nHeat is energy."), QStringLiteral("Physics"));

    EXPECT_EQ(folder, exportsRoot() + "/Physics/2025-03-04 Thermo Heat & Work");
    const QStringList images = QDir(folder + "/images").entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(images, (QStringList{"0001_000.50.jpg", "0002_001.75.jpg", "0003_003.00.jpg"}));
    QImage first(folder + "/images/0001_000.50.jpg");
    EXPECT_EQ(first.size(), QSize(320, 180));

    const QString html = read(folder + "/index.html");
    EXPECT_TRUE(html.contains(QStringLiteral("<img src=\"images/0002_001.75.jpg\" alt=\"Screenshot at 0:01\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("<audio id=\"lnAudio\" src=\"audio.m4a\" preload=\"metadata\"></audio>")));
    EXPECT_TRUE(html.contains(QStringLiteral("read chapter 2 first")));
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"view-notes\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("<h2>Notes</h2>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"notes-provenance\">Generated with Claude · Claude Sonnet 4.5 (Recommended)</p>")));
    EXPECT_TRUE(html.contains(QStringLiteral("class=\"word\" data-s=\"0.00\"")));
    EXPECT_EQ(read(folder + "/styles.css"), page::stylesheet());

    const AudioInfo audio = probeAudio(folder + "/audio.m4a");
    EXPECT_EQ(audio.codec, AV_CODEC_ID_AAC);
    EXPECT_NEAR(audio.duration, 4.0, 0.15);
    EXPECT_FALSE(QFileInfo::exists(folder + "/audio.m4a.part"));
    EXPECT_TRUE(logged(QStringLiteral("[Export] Audio exported to ") + folder + "/audio.m4a"));

    ASSERT_GE(progress_.size(), 8u);
    EXPECT_EQ(progress_.first().fraction, 0.0);
    EXPECT_EQ(progress_.first().line, QStringLiteral("Exporting audio & images…"));
    const QStringList seen = lines();
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(seen.contains(QStringLiteral("Exporting images… %1/3").arg(i)));
    for (const Progress& p : progress_) {
        if (p.line == QStringLiteral("Exporting images… 3/3")) {
            EXPECT_DOUBLE_EQ(p.fraction, 0.45);
        }
        if (p.line.startsWith(QStringLiteral("Extracting audio"))) {
            EXPECT_DOUBLE_EQ(p.fraction, 0.47);
            EXPECT_TRUE(p.line == "Extracting audio." || p.line == "Extracting audio.." || p.line == "Extracting audio...");
        }
    }
    EXPECT_TRUE(seen.contains(QStringLiteral("Extracting audio.")));
    // The fixed steps come last, in order.
    const qsizetype n = progress_.size();
    EXPECT_EQ(seen.mid(n - 4), (QStringList{"Writing stylesheet…", "Building page…", "Writing HTML…",
                                            QStringLiteral("Export saved to ") + ExportManager::displayPath(folder)}));
    EXPECT_EQ(progress_[n - 4].fraction, 0.5);
    EXPECT_EQ(progress_[n - 3].fraction, 0.55);
    EXPECT_EQ(progress_[n - 2].fraction, 0.75);
    EXPECT_EQ(progress_[n - 1].fraction, 1.0);

    // A second run rewrites the folder in place.
    const QString again = run(media("aac.mp4"), l, screenshots.mid(0, 1), std::nullopt, QStringLiteral("Physics"));
    EXPECT_EQ(again, folder);
    EXPECT_FALSE(read(folder + "/index.html").contains(QStringLiteral("id=\"view-notes\"")));
    EXPECT_EQ(probeAudio(folder + "/audio.m4a").codec, AV_CODEC_ID_AAC);
}

TEST_F(ExportRun, OtherAudioIsEncodedToAAC) {
    const QString folder = run(media("flac.mkv"), lecture(QStringLiteral("Flac")), {});
    const AudioInfo audio = probeAudio(folder + "/audio.m4a");
    EXPECT_EQ(audio.codec, AV_CODEC_ID_AAC);
    EXPECT_EQ(audio.sampleRate, 48000);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_NEAR(audio.duration, 4.0, 0.15);
}

TEST_F(ExportRun, MediaWithoutAudioExportsAPageWithoutAPlayer) {
    const QString folder = run(media("silent.mp4"), lecture(QStringLiteral("Silent")), shots(1));
    EXPECT_TRUE(logged(QStringLiteral("[Export] Audio extraction skipped: Could not create audio export session.")));
    EXPECT_FALSE(QFileInfo::exists(folder + "/audio.m4a"));
    const QString html = read(folder + "/index.html");
    EXPECT_FALSE(html.contains(QStringLiteral("id=\"ap\"")));
    EXPECT_FALSE(html.contains(QStringLiteral("seekTo(")));
    EXPECT_TRUE(html.contains(QStringLiteral("shot shot--presenter-solo")) || html.contains(QStringLiteral("shot shot--presenter")));
    EXPECT_EQ(lines().last(), QStringLiteral("Export saved to ") + ExportManager::displayPath(folder));

    // A missing or corrupt source behaves the same.
    QFile corrupt(root_->path() + "/corrupt.mp4");
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(4096, 'x'));
    corrupt.close();
    run(corrupt.fileName(), lecture(QStringLiteral("Corrupt")), {});
    run(root_->path() + "/missing.mp4", lecture(QStringLiteral("Missing")), {});
    EXPECT_FALSE(QFileInfo::exists(exportsRoot() + "/2025-03-04 Corrupt/audio.m4a"));
    EXPECT_TRUE(QFileInfo::exists(exportsRoot() + "/2025-03-04 Missing/index.html"));
}

TEST_F(ExportRun, MarkdownProblemsNeverFailTheRun) {
    Settings::shared().setMarkdownExportEnabled(true);
    QString folder = run(media("aac.mp4"), lecture(QStringLiteral("With Markdown")), shots(2));
    EXPECT_TRUE(QFileInfo::exists(folder + "/With Markdown.md"));
    EXPECT_TRUE(lines().contains(QStringLiteral("Writing Markdown…")));

    // The chosen Markdown folder is blocked by a file where the lecture folder would go.
    const QString vault = root_->path() + "/vault";
    QDir().mkpath(vault);
    QFile blocker(vault + "/2025-03-04 Blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Settings::shared().setMarkdownExportDirectoryBookmark(vault);
    folder = run(media("aac.mp4"), lecture(QStringLiteral("Blocked")), shots(1));
    EXPECT_TRUE(loggedStartingWith(QStringLiteral("[ExportManager] Markdown export failed: ")));
    EXPECT_EQ(lines().last(), QStringLiteral("Export saved to ") + ExportManager::displayPath(folder));
    EXPECT_TRUE(QFileInfo::exists(folder + "/index.html"));
}

TEST_F(ExportRun, AFolderThatCannotBeCreatedFailsTheRun) {
    QFile blocker(exportsRoot() + "/2025-03-04 Blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        run(media("aac.mp4"), lecture(QStringLiteral("Blocked")), shots(1));
        FAIL() << "the run should fail";
    } catch (const Error& e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("2025-03-04 Blocked/images"))) << e.description().toStdString();
    }
}

TEST_F(ExportRun, ScanMoveAndDeleteFollowTheLayout) {
    auto makeExport = [&](const QString& relative) {
        QDir().mkpath(exportsRoot() + "/" + relative);
        QFile f(exportsRoot() + "/" + relative + "/index.html");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    makeExport("2025-01-01 Loose");
    makeExport("Maths/2025-01-02 Algebra");
    makeExport("Maths/.2025-01-03 Hidden");
    makeExport(".Trash/2025-01-04 Gone");
    QDir().mkpath(exportsRoot() + "/Maths/not an export");
    QDir().mkpath(exportsRoot() + "/Empty");

    QList<DiskExportEntry> found = ExportManager::shared().scanExportRoot();
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.lectureDirName < b.lectureDirName; });
    EXPECT_EQ(found, (QList<DiskExportEntry>{{"2025-01-01 Loose", std::nullopt}, {"2025-01-02 Algebra", QStringLiteral("Maths")}}));
    EXPECT_TRUE(logged(QStringLiteral("[ExportManager] scanExportRoot: found 2 export(s)")));

    LecturePtr algebra = Lecture::create(QStringLiteral("Algebra"), std::nullopt, std::nullopt);
    algebra->setDateAdded(QDateTime(QDate(2025, 1, 2), QTime(12, 0)));
    EXPECT_EQ(ExportManager::shared().existingLectureFolder(*algebra, QStringLiteral("Maths")), exportsRoot() + "/Maths/2025-01-02 Algebra");
    EXPECT_FALSE(ExportManager::shared().existingLectureFolder(*algebra, std::nullopt).has_value());

    // Into another folder (created on the way): Maths still holds a folder and stays.
    EXPECT_TRUE(ExportManager::shared().moveExport(*algebra, QStringLiteral("Maths"), QStringLiteral("Year 2")));
    EXPECT_TRUE(QFileInfo::exists(exportsRoot() + "/Year 2/2025-01-02 Algebra/index.html"));
    EXPECT_TRUE(QFileInfo::exists(exportsRoot() + "/Maths"));
    // Out of every folder: the emptied Year 2 is removed, the root never is.
    EXPECT_TRUE(ExportManager::shared().moveExport(*algebra, QStringLiteral("Year 2"), std::nullopt));
    EXPECT_TRUE(QFileInfo::exists(exportsRoot() + "/2025-01-02 Algebra/index.html"));
    EXPECT_FALSE(QFileInfo::exists(exportsRoot() + "/Year 2"));
    EXPECT_TRUE(QFileInfo::exists(exportsRoot()));
    // Same folder, or nothing on disk: nothing happens.
    EXPECT_FALSE(ExportManager::shared().moveExport(*algebra, std::nullopt, std::nullopt));
    EXPECT_FALSE(ExportManager::shared().moveExport(*algebra, QStringLiteral("Maths"), std::nullopt));

    EXPECT_TRUE(ExportManager::shared().deleteExport(*algebra, std::nullopt));
    EXPECT_FALSE(QFileInfo::exists(exportsRoot() + "/2025-01-02 Algebra"));
    EXPECT_FALSE(ExportManager::shared().deleteExport(*algebra, std::nullopt));

    // A chosen root that is gone falls back to the default one; a missing root lists nothing.
    Settings::shared().setExportRootBookmark(root_->path() + "/nowhere");
    EXPECT_EQ(ExportManager::shared().exportRoot(), AppPaths::exportRoot());
    ASSERT_FALSE(QFileInfo::exists(AppPaths::exportRoot()));
    EXPECT_TRUE(ExportManager::shared().scanExportRoot().isEmpty());
}
