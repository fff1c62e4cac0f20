#include "screenshots/FrameGenerator.h"

#include "FixtureTools.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace lumenote;
using namespace lumenote::test;

namespace {

// 5 s at 10 frames a second, 64 x 36; frame n is flat grey at 16 + 4n (video
// range), stored losslessly, so every picture tells which frame it is.
class FrameGeneratorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        const QString src = QStringLiteral("color=c=black:s=64x36:r=10:d=5,format=yuv420p,geq=lum='16+4*N':cb=128:cr=128");
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", src, "-c:v", "libx264", "-preset", "veryfast", "-qp", "0", "-bf", "3", path("ramp.mp4")}));
        ASSERT_TRUE(ffmpeg({"-i", path("ramp.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=90", path("rotated.mp4")}));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", src, "-vf", "setsar=2", "-c:v", "libx264", "-preset", "ultrafast", path("wide.mp4")}));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=d=1", path("audio.m4a")}));
    }
    static void TearDownTestSuite() { delete dir; }
    static QString path(const QString& name) { return dir->filePath(name); }

    // The frame index a picture shows (grey is expanded from video range).
    static int frameIndex(const QImage& img) {
        const QImage g = img.convertToFormat(QImage::Format_Grayscale8);
        const int v = g.scanLine(g.height() / 2)[g.width() / 2];
        return int(std::lround(v * 219.0 / 255.0 / 4.0));
    }
    static QTemporaryDir* dir;
};
QTemporaryDir* FrameGeneratorTest::dir = nullptr;

}  // namespace

TEST_F(FrameGeneratorTest, SingleFramesAreTheNearestWithinTheTolerances) {
    FrameGeneratorOptions options;
    options.toleranceBefore = 0.1;
    options.toleranceAfter = 0.1;
    FrameGenerator g(path("ramp.mp4"), options);
    ASSERT_TRUE(g.isOpen()) << g.errorString().toStdString();
    EXPECT_NEAR(*g.duration(), 5.0, 0.05);
    for (auto [asked, expected] : std::vector<std::pair<double, int>>{{1.23, 12}, {1.26, 13}, {0, 0}, {4.9, 49}, {3.0, 30}, {0.04, 0}}) {
        const auto f = g.frameAt(asked);
        ASSERT_TRUE(f) << asked;
        EXPECT_NEAR(f->time, expected / 10.0, 1e-6) << asked;
        EXPECT_EQ(frameIndex(f->image), expected) << asked;
    }
    // Only frames after the time: 1.21 gives 1.3.
    FrameGeneratorOptions after;
    after.toleranceAfter = 0.16;
    FrameGenerator forward(path("ramp.mp4"), after);
    EXPECT_NEAR(forward.frameAt(1.21)->time, 1.3, 1e-6);
    // No tolerance and no frame exactly there: none, with a reason.
    FrameGenerator exact(path("ramp.mp4"));
    QString error;
    EXPECT_FALSE(exact.frameAt(1.25, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(exact.frameAt(1.2));
    EXPECT_FALSE(exact.frameAt(7.0));
}

TEST_F(FrameGeneratorTest, BatchAnswersEveryTimeInOrderFromOnePass) {
    for (bool skip : {false, true}) {
        FrameGeneratorOptions options;
        options.toleranceBefore = 0.5;
        options.toleranceAfter = 0.5;
        options.grey = true;
        options.skipNonReferenceFrames = skip;
        FrameGenerator g(path("ramp.mp4"), options);
        QList<double> times;
        for (double t = 0; t <= 6.0; t += 0.5) times.push_back(t);
        QList<double> answered;
        int withFrame = 0;
        g.generate(times, [&](int index, double requested, std::optional<GeneratedFrame> frame) {
            EXPECT_EQ(index, answered.size());
            answered.push_back(requested);
            if (frame) {
                ++withFrame;
                EXPECT_EQ(frame->image.format(), QImage::Format_Grayscale8);
                EXPECT_EQ(frameIndex(frame->image), int(std::lround(frame->time * 10)));
                EXPECT_LE(std::abs(frame->time - requested), skip ? 0.5 : 0.1 + 1e-6) << requested;
            }
            return true;
        });
        EXPECT_EQ(answered, times);
        EXPECT_EQ(withFrame, 11) << "skip=" << skip;  // 5.5 s is 0.6 s past the last frame; 6 s too
    }
    // Times out of order are answered one by one, still in the order given.
    FrameGenerator g(path("ramp.mp4"), {QSize(), false, false, 0.05, 0.05});
    QList<int> frames;
    g.generate({3.0, 1.0, 2.0}, [&](int, double, std::optional<GeneratedFrame> f) {
        frames.push_back(f ? frameIndex(f->image) : -1);
        return true;
    });
    EXPECT_EQ(frames, (QList<int>{30, 10, 20}));
    // Stopping early.
    int calls = 0;
    g.generate({1.0, 2.0, 3.0}, [&](int, double, std::optional<GeneratedFrame>) { return ++calls < 2; });
    EXPECT_EQ(calls, 2);
}

TEST_F(FrameGeneratorTest, SizesKeepTheAspectRotationAndPixelShape) {
    auto sizeOf = [](const QString& file, QSize max, bool fill = false) {
        FrameGeneratorOptions o;
        o.maximumSize = max;
        o.fillExactly = fill;
        o.toleranceAfter = 0.2;
        FrameGenerator g(file, o);
        const auto f = g.frameAt(1.0);
        return f ? f->image.size() : QSize();
    };
    EXPECT_EQ(sizeOf(path("ramp.mp4"), QSize(32, 32)), QSize(32, 18));
    EXPECT_EQ(sizeOf(path("ramp.mp4"), QSize(640, 360)), QSize(64, 36));  // never enlarged
    EXPECT_EQ(sizeOf(path("ramp.mp4"), QSize(20, 20), true), QSize(20, 20));
    EXPECT_EQ(sizeOf(path("rotated.mp4"), QSize()), QSize(36, 64));
    EXPECT_EQ(sizeOf(path("rotated.mp4"), QSize(100, 32)), QSize(18, 32));
    EXPECT_EQ(sizeOf(path("wide.mp4"), QSize()), QSize(128, 36));
}

TEST_F(FrameGeneratorTest, FilesWithoutVideoAnswerNone) {
    for (const QString& name : {QStringLiteral("audio.m4a"), QStringLiteral("missing.mp4")}) {
        FrameGenerator g(path(name));
        EXPECT_FALSE(g.isOpen());
        EXPECT_FALSE(g.errorString().isEmpty());
        int nones = 0;
        g.generate({0, 0.5}, [&](int, double, std::optional<GeneratedFrame> f) {
            nones += !f;
            return true;
        });
        EXPECT_EQ(nones, 2);
    }
}
