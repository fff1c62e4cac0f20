#include "screenshots/ScreenshotCaptureService.h"

#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Log.h"
#include "screenshots/FrameAnalysis.h"
#include "screenshots/TextRectangleDetector.h"
#include "screenshots/WordRecognizer.h"

#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "SlideFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

using namespace lumenote;
using namespace lumenote::test;

namespace {

const QSize kSize(640, 360);

SlideSpec slide(const QString& title, const QStringList& bullets, bool dark = false) {
    SlideSpec s;
    s.title = title;
    s.bullets = bullets;
    s.dark = dark;
    s.titlePixels = 110;
    s.bulletPixels = 80;
    return s;
}

const SlideSpec kIntro = slide(QStringLiteral("Thermodynamics, Lecture 3"),
                               {QStringLiteral("Energy is always conserved"), QStringLiteral("Work and heat move energy"),
                                QStringLiteral("State functions and paths")},
                               true);
const SlideSpec kEntropy = slide(QStringLiteral("Entropy, Second Law"),
                                 {QStringLiteral("Heat flows from hot to cold"), QStringLiteral("Isolated systems gain entropy"),
                                  QStringLiteral("Carnot limits every engine"), QStringLiteral("Reversible means idealised"),
                                  QStringLiteral("Kelvin stated it for work")});
// The same layout as kEntropy with other words in every bullet.
const SlideSpec kReworded = slide(QStringLiteral("Entropy, Second Law"),
                                  {QStringLiteral("Molecules spread out widely"), QStringLiteral("Probability favours disorder"),
                                   QStringLiteral("Boltzmann counted microstates"), QStringLiteral("Gibbs mixing paradox again"),
                                   QStringLiteral("Shannon borrowed the formula")});
const SlideSpec kSummary = slide(QStringLiteral("Summary"), {QStringLiteral("Questions?")}, true);

struct CaptureRun {
    QList<CapturedScreenshot> shots;
    QList<QPair<QString, double>> statuses;
    QStringList log;
    bool threw = false;
    QString error;
    bool statusesOnMainThread = true;
};

CaptureRun capture(const QString& video, double spacing = 10) {
    CaptureRun run;
    QMutex mutex;
    setLogSink([&](const QString& line) {
        QMutexLocker lock(&mutex);
        run.log.push_back(line);
    });
    auto onStatus = [&](const QString& text, double fraction) {
        run.statuses.push_back({text, fraction});
        if (QThread::currentThread() != qApp->thread()) run.statusesOnMainThread = false;
    };
    try {
        run.shots = await(ScreenshotCaptureService::shared().captureScreenshots(video, 20, onStatus, spacing, 0.2));
    } catch (const Error& e) {
        run.threw = true;
        run.error = e.description();
    }
    setLogSink({});
    return run;
}

QStringList times(const QList<CapturedScreenshot>& shots) {
    QStringList out;
    for (const auto& s : shots) out << QString::number(s.timestamp, 'f', 2);
    return out;
}

// A screenshot selected at `selected` and refined within its scene, which ends at `sceneEnd`.
void expectWithin(const CapturedScreenshot& shot, double selected, double sceneEnd) {
    EXPECT_GE(shot.timestamp, selected - 0.01);
    EXPECT_LE(shot.timestamp, std::min(sceneEnd, selected + 3.2 + 0.25)) << "selected " << selected;
}

class CaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new QTemporaryDir; }
    static void TearDownTestSuite() { delete dir; }
    static QString path(const QString& name) { return dir->filePath(name); }
    static QTemporaryDir* dir;
};
QTemporaryDir* CaptureTest::dir = nullptr;

}  // namespace

TEST_F(CaptureTest, ReworkedSlidePremisesHold) {
    // The deck below relies on these: the reworded slide differs from its
    // original in 8 to 20 % of the pixels and in most of its words.
    const QImage a = renderSlide(kEntropy, kSize), b = renderSlide(kReworded, kSize);
    const double d = changedPixelFraction(greyThumbnail(a, kScanThumbnailSize), greyThumbnail(b, kScanThumbnailSize), 20);
    EXPECT_GT(d, 0.08);
    EXPECT_LE(d, 0.2);
    ASSERT_TRUE(WordRecognizer::isAvailable());
    const QSet<QString> wa = WordRecognizer::recognizeWords(a.convertToFormat(QImage::Format_Grayscale8));
    const QSet<QString> wb = WordRecognizer::recognizeWords(b.convertToFormat(QImage::Format_Grayscale8));
    EXPECT_TRUE(wa.contains("entropy")) << QStringList(wa.values()).join(' ').toStdString();
    EXPECT_TRUE(wa.contains("carnot")) << QStringList(wa.values()).join(' ').toStdString();
    EXPECT_LT(wordSimilarity(wa, wb), 0.35);
}

TEST_F(CaptureTest, LectureDeckYieldsOneShotPerSlideAndScene) {
    const QString video = path("deck.mp4");
    const QList<QImage> footage = greyFrames(cameraLikeSources(10)[1], kSize, 1, true, 10);
    ASSERT_EQ(footage.size(), 1);
    VideoOptions options;
    options.size = kSize;
    ASSERT_TRUE(writeLectureVideo(video,
                                  {VideoPart::makeSlide(kIntro, 5), VideoPart::makeSlide(kEntropy, 4), VideoPart::makeSlide(kReworded, 3),
                                   VideoPart::makeFootage(cameraLikeSources(10)[0], 10), VideoPart::makeBlack(2),
                                   VideoPart::makeSlide(kSummary, 10), VideoPart::makeImage(withLowerThirdCaption(footage[0]), 6)},
                                  options));
    const CaptureRun run = capture(video);
    ASSERT_FALSE(run.threw) << run.error.toStdString();
    SCOPED_TRACE(run.log.join('\n').toStdString());
    // Intro settles at 0.5 (never 0); entropy at 5.5; the reworded slide by its
    // words at 9.5; the footage once the 10 s spacing has passed (19.5 + 0.25,
    // refined to its sharpest frame); the summary at 24.5; the caption over
    // footage is no slide, so it is taken 10 s after the summary.
    const QList<CapturedScreenshot>& shots = run.shots;
    ASSERT_EQ(shots.size(), 6) << times(shots).join(' ').toStdString();
    // Each is refined to the sharpest frame of the next 3.2 s of the same scene.
    expectWithin(shots[0], 0.5, 5);
    expectWithin(shots[1], 5.5, 9);
    expectWithin(shots[2], 9.5, 12);
    expectWithin(shots[3], 19.75, 22);
    expectWithin(shots[4], 24.5, 34);
    expectWithin(shots[5], 34.75, 40);
    for (int i = 1; i < shots.size(); ++i) EXPECT_GT(shots[i].timestamp, shots[i - 1].timestamp);
    for (const auto& s : shots) {
        EXPECT_EQ(s.image.size(), kSize);
        EXPECT_FALSE(s.id.isNull());
    }
    EXPECT_TRUE(TextRectangleDetector::isTextSlide(TextRectangleDetector::detect(shots[1].image)));
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] codec is H.264/HEVC \u2014 no transcode needed")));
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] Phase 2 complete: 6/6 kept \u2014 0 decode failures, 0 too dark")));
    EXPECT_TRUE(std::any_of(run.log.begin(), run.log.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("[screenshots] Phase 1 complete: ")) && l.contains(QStringLiteral(" frames sampled, 0 nil (undecodable), 6 timestamps selected, "));
    }));

    // Status texts and fractions, on the main thread, in order.
    EXPECT_TRUE(run.statusesOnMainThread);
    ASSERT_GE(run.statuses.size(), 4);
    EXPECT_EQ(run.statuses.front(), qMakePair(QStringLiteral("Scanning for scene changes\u2026"), 0.0));
    EXPECT_TRUE(run.statuses.contains(qMakePair(QStringLiteral("Scanning\u2026 100%"), 0.6)));
    EXPECT_TRUE(run.statuses.contains(qMakePair(QStringLiteral("Capturing 6 screenshots\u2026"), 0.6)));
    EXPECT_EQ(run.statuses[run.statuses.size() - 2], qMakePair(QStringLiteral("Capturing screenshots\u2026 100%"), 1.0));
    EXPECT_EQ(run.statuses.back(), qMakePair(QStringLiteral("Captured 6 screenshots."), 1.0));
    for (int i = 1; i < run.statuses.size(); ++i) EXPECT_GE(run.statuses[i].second, run.statuses[i - 1].second);
}

namespace {

SlideSpec sparse(const QString& title, const QString& line) {
    SlideSpec s;
    s.title = title;
    s.bullets = {line};
    return s;
}

const SlideSpec kHeat = sparse(QStringLiteral("Entropy"), QStringLiteral("Heat flows from hot to cold"));
const SlideSpec kWork = sparse(QStringLiteral("Entropy"), QStringLiteral("Work is never free of loss"));
const QStringList kCarnot = {QStringLiteral("Two isothermal strokes"), QStringLiteral("Two adiabatic strokes"),
                             QStringLiteral("Heat enters when hot"), QStringLiteral("Heat leaves when cold"),
                             QStringLiteral("Efficiency below one")};
const SlideSpec kClosing = sparse(QStringLiteral("Summary"), QStringLiteral("Entropy never decreases"));
const SlideSpec kFree = sparse(QStringLiteral("Free energy"), QStringLiteral("Helmholtz for fixed volume"));

SlideSpec carnotStep(int bullets) {
    SlideSpec s;
    s.title = QStringLiteral("Carnot cycle");
    s.bullets = kCarnot.mid(0, bullets);
    return s;
}

QByteArray scanThumbnail(const SlideSpec& slide) { return greyThumbnail(renderSlide(slide, kSize), kScanThumbnailSize); }

double scanDifference(const SlideSpec& a, const SlideSpec& b) { return changedPixelFraction(scanThumbnail(a), scanThumbnail(b), 20); }

}  // namespace

TEST_F(CaptureTest, EveryDistinctSlideOnceAndEachBuildComplete) {
    // The lecture below needs these: the sparse slides differ by less than the
    // long-gap pixel rule, each build step by less still, yet all by more than
    // the noise floor.
    EXPECT_GT(scanDifference(kHeat, kWork), kSamePictureFraction);
    EXPECT_LE(scanDifference(kHeat, kWork), 0.02);
    for (int step = 2; step <= 5; ++step) {
        EXPECT_GT(scanDifference(carnotStep(step - 1), carnotStep(step)), kSamePictureFraction);
        EXPECT_LE(scanDifference(carnotStep(step - 1), carnotStep(step)), 0.02);
        // A build step keeps the earlier text where it was.
        EXPECT_LT(changedInkFraction(scanThumbnail(carnotStep(step - 1)), scanThumbnail(carnotStep(step)), 20), 0.05);
    }

    struct Part {
        VideoPart video;
        bool shot;  // one screenshot expected within this part
    };
    const QList<Part> parts = {
        {VideoPart::makeSlide(kHeat, 10), true},
        {VideoPart::makeSlide(kWork, 10), true},  // only the body line differs
        {VideoPart::makeSlide(carnotStep(1), 3), false},
        {VideoPart::makeSlide(carnotStep(2), 3), false},
        {VideoPart::makeSlide(carnotStep(3), 3), false},
        {VideoPart::makeSlide(carnotStep(4), 3), false},
        {VideoPart::makeSlide(carnotStep(5), 6), true},  // the build, complete
        {VideoPart::makeSlide(kClosing, 10), true},      // a new slide right after the build
        {VideoPart::makeFootage(cameraLikeSources(10)[0], 12), true},
        {VideoPart::makeSlide(kClosing, 10), true},  // shown again after the camera
        {VideoPart::makeBlack(3), false},
        {VideoPart::makeSlide(kFree, 10), true},
    };
    QList<VideoPart> video;
    for (const Part& p : parts) video << p.video;
    const QString path = this->path("builds.mp4");
    VideoOptions options;
    options.size = kSize;
    ASSERT_TRUE(writeLectureVideo(path, video, options));

    const CaptureRun run = capture(path);
    ASSERT_FALSE(run.threw) << run.error.toStdString();
    SCOPED_TRACE(run.log.join('\n').toStdString());
    QStringList expected;
    double start = 0;
    for (const Part& p : parts) {
        if (p.shot) expected << QStringLiteral("%1-%2").arg(start).arg(start + p.video.seconds);
        start += p.video.seconds;
    }
    QStringList found;
    for (const CapturedScreenshot& shot : run.shots) {
        double from = 0;
        for (const Part& p : parts) {
            if (shot.timestamp >= from && shot.timestamp < from + p.video.seconds) {
                found << QStringLiteral("%1-%2").arg(from).arg(from + p.video.seconds);
                break;
            }
            from += p.video.seconds;
        }
    }
    EXPECT_EQ(found, expected) << times(run.shots).join(' ').toStdString();
    // The black gap is selected as a scene and dropped as too dark.
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] Phase 2 complete: 7/8 kept \u2014 0 decode failures, 1 too dark")));
}

TEST_F(CaptureTest, SlightlyChangedSlideWaitsForTheEightSecondRule) {
    // The same slide with three bullets replaced: more than 2 % but under 8 %
    // of the pixels, so it is taken only once 8 s have passed since the last capture.
    SlideSpec changed = kEntropy;
    changed.bullets[1] = QStringLiteral("Mixing is never undone");
    changed.bullets[2] = QStringLiteral("Order costs free energy");
    changed.bullets[3] = QStringLiteral("Clausius wrote dS = dQ/T");
    const double d = changedPixelFraction(greyThumbnail(renderSlide(kEntropy, kSize), kScanThumbnailSize),
                                          greyThumbnail(renderSlide(changed, kSize), kScanThumbnailSize), 20);
    ASSERT_GT(d, 0.025);
    ASSERT_LT(d, 0.08);
    const QString video = path("eight.mp4");
    VideoOptions options;
    options.size = kSize;
    ASSERT_TRUE(writeLectureVideo(video, {VideoPart::makeSlide(kEntropy, 3), VideoPart::makeSlide(changed, 9)}, options));
    const CaptureRun run = capture(video, 30);
    ASSERT_EQ(run.shots.size(), 2) << run.log.join('\n').toStdString();
    expectWithin(run.shots[0], 0.5, 3);
    expectWithin(run.shots[1], 8.5, 12);
}

TEST_F(CaptureTest, BlackStartIsDroppedAndCounted) {
    const QString video = path("black.mp4");
    VideoOptions options;
    options.size = kSize;
    ASSERT_TRUE(writeLectureVideo(video, {VideoPart::makeBlack(3), VideoPart::makeSlide(kIntro, 3)}, options));
    const CaptureRun run = capture(video);
    ASSERT_EQ(run.shots.size(), 1);
    expectWithin(run.shots[0], 3.5, 6);
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] Phase 2 complete: 1/2 kept \u2014 0 decode failures, 1 too dark")))
        << run.log.join('\n').toStdString();
    EXPECT_EQ(run.statuses.back(), qMakePair(QStringLiteral("Captured 1 screenshot."), 1.0));
}

TEST_F(CaptureTest, FirstFootageFrameIsTakenAQuarterSecondInEvenInAVeryShortVideo) {
    const QString longer = path("footage.mp4"), tiny = path("tiny.mp4");
    VideoOptions options;
    options.size = QSize(320, 180);
    options.fps = 25;
    ASSERT_TRUE(writeLectureVideo(longer, {VideoPart::makeFootage(cameraLikeSources(25)[0], 2)}, options));
    ASSERT_TRUE(writeLectureVideo(tiny, {VideoPart::makeFootage(cameraLikeSources(25)[0], 0.2)}, options));
    // Static within the spacing: one shot. The best-frame search may move it
    // forward by up to 3.2 s (within the footage).
    const CaptureRun a = capture(longer);
    ASSERT_EQ(a.shots.size(), 1) << a.log.join('\n').toStdString();
    EXPECT_GE(a.shots[0].timestamp, 0.25 - 0.01);
    const CaptureRun b = capture(tiny);
    ASSERT_EQ(b.shots.size(), 1) << b.log.join('\n').toStdString();
    EXPECT_LE(b.shots[0].timestamp, 0.2);
    EXPECT_GE(b.shots[0].timestamp, 0.1);
}

TEST_F(CaptureTest, APictureThatStopsEarlyIsStillCaptured) {
    // One still frame under six seconds of sound, as podcasts with a cover picture come.
    const QString picture = path("one-frame-video.mp4"), sound = path("six-seconds.m4a"), video = path("one-frame.mp4");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=1:d=1", "-c:v", "libx264", "-frames:v", "1", picture}));
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=d=6", "-c:a", "aac", sound}));
    ASSERT_TRUE(ffmpeg({"-i", picture, "-i", sound, "-map", "0:v", "-map", "1:a", "-c", "copy", video}));
    const CaptureRun run = capture(video);
    ASSERT_EQ(run.shots.size(), 1) << run.log.join('\n').toStdString();
    EXPECT_LT(run.shots[0].timestamp, 0.01);
}

TEST_F(CaptureTest, VideosWithoutReadableFramesGiveNoScreenshots) {
    // Audio only: every sample is undecodable.
    const QString audio = path("audio.m4a");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=d=2", audio}));
    CaptureRun run = capture(audio);
    EXPECT_FALSE(run.threw);
    EXPECT_TRUE(run.shots.isEmpty());
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] Phase 1 complete: 5 frames sampled, 5 nil (undecodable), 0 timestamps selected, 0 text-slide frames detected")))
        << run.log.join('\n').toStdString();
    EXPECT_TRUE(std::any_of(run.log.begin(), run.log.end(),
                            [](const QString& l) { return l.startsWith(QStringLiteral("[screenshots] \u26A0\uFE0F  ALL 5 frames were nil")); }));
    EXPECT_FALSE(std::any_of(run.log.begin(), run.log.end(), [](const QString& l) { return l.contains("no scene changes"); }));
    EXPECT_EQ(run.statuses.back(), qMakePair(QStringLiteral("Captured 0 screenshots."), 1.0));

    // Damaged picture data behind an intact index: frames do not decode.
    const QString broken = path("broken.mp4");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=10:d=3", "-c:v", "libx264", "-preset", "ultrafast", broken}));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype mdat = bytes.indexOf("mdat");
    ASSERT_GT(mdat, 0);
    const qsizetype moov = bytes.indexOf("moov", mdat);
    for (qsizetype i = mdat + 4; i < (moov > 0 ? moov - 8 : bytes.size()); ++i) bytes[i] = char(0xFF);
    f.seek(0);
    f.write(bytes);
    f.close();
    run = capture(broken);
    EXPECT_TRUE(run.shots.isEmpty());
    EXPECT_TRUE(std::any_of(run.log.begin(), run.log.end(),
                            [](const QString& l) { return l.startsWith(QStringLiteral("[screenshots] \u26A0\uFE0F  ALL 7 frames were nil")); }))
        << run.log.join('\n').toStdString();

    // A black video: its one selected frame is too dark.
    const QString still = path("still.mp4");
    VideoOptions options;
    options.size = QSize(320, 180);
    ASSERT_TRUE(writeLectureVideo(still, {VideoPart::makeBlack(2)}, options));
    run = capture(still);
    EXPECT_TRUE(run.shots.isEmpty());  // the one selected frame is black
    EXPECT_TRUE(run.log.contains(QStringLiteral("[screenshots] Phase 2 complete: 0/1 kept \u2014 0 decode failures, 1 too dark")));
}

TEST_F(CaptureTest, TruncatedVideoDegradesAndUnreadableDurationThrows) {
    // Cut in half behind a complete index at the front: the second half is gone.
    const QString whole = path("whole.mp4"), half = path("half.mp4");
    VideoOptions options;
    options.size = kSize;
    options.codecArgs << "-movflags" << "+faststart";
    ASSERT_TRUE(writeLectureVideo(whole, {VideoPart::makeSlide(kIntro, 3), VideoPart::makeSlide(kEntropy, 3)}, options));
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QFile out(half);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(in.read(in.size() / 2));
    out.close();
    CaptureRun run = capture(half);
    EXPECT_FALSE(run.threw) << run.error.toStdString();
    EXPECT_LE(run.shots.size(), 2);
    const QRegularExpression nils(QStringLiteral("Phase 1 complete: 13 frames sampled, (\\d+) nil"));
    QRegularExpressionMatch m;
    for (const QString& l : run.log)
        if (auto x = nils.match(l); x.hasMatch()) m = x;
    ASSERT_TRUE(m.hasMatch()) << run.log.join('\n').toStdString();
    EXPECT_GE(m.captured(1).toInt(), 3);

    // Empty and missing files: the duration cannot be read.
    const QString empty = path("empty.mp4");
    QFile(empty).open(QIODevice::WriteOnly);
    for (const QString& file : {empty, path("nothing-here.mp4")}) {
        run = capture(file);
        EXPECT_TRUE(run.threw) << file.toStdString();
        EXPECT_TRUE(run.error.contains(QFileInfo(file).fileName())) << run.error.toStdString();
        EXPECT_TRUE(run.shots.isEmpty());
    }
}

TEST(ScreenshotFiles, SaveAndLoadByName) {
    auto& service = ScreenshotCaptureService::shared();
    const QUuid lecture = QUuid::createUuid();
    QImage img(64, 36, QImage::Format_RGB32);
    img.fill(QColor(200, 40, 40));
    const QStringList written = service.saveScreenshots({CapturedScreenshot::make(img, 0.5), CapturedScreenshot::make(img, 61.25),
                                                         CapturedScreenshot::make(img, 125.499)},
                                                        lecture);
    const QString folder = ScreenshotCaptureService::screenshotFolder(lecture);
    EXPECT_TRUE(folder.endsWith(lecture.toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_TRUE(folder.startsWith(AppPaths::screenshotsDirectory()));
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(QFileInfo(written[0]).fileName(), "0000_0.50.jpg");
    EXPECT_EQ(QFileInfo(written[1]).fileName(), "0001_61.25.jpg");
    EXPECT_EQ(QFileInfo(written[2]).fileName(), "0002_125.50.jpg");

    // Other files: an unparsable name gives 0, other extensions and broken files are skipped.
    QFile::copy(written[0], folder + "/slide.jpg");
    QFile::copy(written[0], folder + "/0009_7.00.png");
    QFile broken(folder + "/0003_9.00.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a jpeg");
    broken.close();
    const QList<CapturedScreenshot> loaded = service.loadScreenshots(lecture);
    ASSERT_EQ(loaded.size(), 4);
    EXPECT_EQ(times(loaded), (QStringList{"0.50", "61.25", "125.50", "0.00"}));
    EXPECT_EQ(loaded[1].image.size(), QSize(64, 36));
    EXPECT_NE(loaded[0].id, loaded[1].id);
    const QRgb px = loaded[0].image.pixel(30, 18);
    EXPECT_NEAR(qRed(px), 200, 6);

    EXPECT_TRUE(service.loadScreenshots(QUuid::createUuid()).isEmpty());
    // A null picture cannot be encoded.
    try {
        service.saveScreenshots({CapturedScreenshot::make(QImage(), 1)}, lecture);
        FAIL() << "expected an encoding error";
    } catch (const DomainError& e) {
        EXPECT_EQ(e.domain(), "ScreenshotCaptureService");
        EXPECT_EQ(e.code(), 1);
        EXPECT_EQ(e.description(), "Could not encode screenshot as JPEG.");
    }
    // A folder that cannot be listed.
    const QUuid locked = QUuid::createUuid();
    service.saveScreenshots({CapturedScreenshot::make(img, 1)}, locked);
    QFile::setPermissions(ScreenshotCaptureService::screenshotFolder(locked), QFileDevice::WriteOwner);
    if (!QFileInfo(ScreenshotCaptureService::screenshotFolder(locked)).isReadable()) {  // root reads everything
        EXPECT_THROW(service.loadScreenshots(locked), Error);
    }
    QFile::setPermissions(ScreenshotCaptureService::screenshotFolder(locked), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(ScreenshotFiles, TimestampsFromNames) {
    EXPECT_DOUBLE_EQ(ScreenshotCaptureService::timestampFromFileName("0002_61.25.jpg"), 61.25);
    EXPECT_DOUBLE_EQ(ScreenshotCaptureService::timestampFromFileName("slide.jpg"), 0);
    EXPECT_DOUBLE_EQ(ScreenshotCaptureService::timestampFromFileName("0002_abc.jpg"), 0);
    EXPECT_DOUBLE_EQ(ScreenshotCaptureService::timestampFromFileName("a_1_2.jpg"), 0);
    EXPECT_EQ(ScreenshotCaptureService::screenshotFileName(9999, 3.14159), "9999_3.14.jpg");
    EXPECT_LT(ScreenshotCaptureService::screenshotFileName(999, 1), ScreenshotCaptureService::screenshotFileName(1000, 0));
}

TEST_F(CaptureTest, ManualFrameCaptureAndBlurTest) {
    const QString video = path("manual.mp4");
    VideoOptions options;
    options.size = kSize;
    ASSERT_TRUE(writeLectureVideo(video, {VideoPart::makeSlide(kIntro, 2)}, options));
    const CapturedScreenshot shot = await(ScreenshotCaptureService::shared().captureFrame(video, 1.03));
    EXPECT_NEAR(shot.timestamp, 1.1, 0.001);
    EXPECT_EQ(shot.image.size(), kSize);
    EXPECT_FALSE(ScreenshotCaptureService::isBlurry(shot.image));
    EXPECT_TRUE(ScreenshotCaptureService::isBlurry(shot.image.scaled(64, 36).scaled(kSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    EXPECT_THROW(await(ScreenshotCaptureService::shared().captureFrame(video, 9.0)), Error);
}
