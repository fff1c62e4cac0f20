#include "screenshots/TextRectangleDetector.h"

#include "FixtureTools.h"
#include "SlideFixtures.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>

using namespace lumenote;
using namespace lumenote::test;

namespace {

const QSize kFrame(640, 360);

QImage toFrame(const QImage& image) {
    return image.scaled(kFrame, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_Grayscale8);
}

int countAbove(const QList<TextRectangle>& rects, float confidence) {
    return int(std::count_if(rects.begin(), rects.end(), [&](const TextRectangle& r) { return r.confidence > confidence; }));
}

std::string describe(const QList<TextRectangle>& rects) {
    std::string s;
    for (const TextRectangle& r : rects)
        s += "[" + std::to_string(r.pixelRect.x()) + "," + std::to_string(r.pixelRect.y()) + " " + std::to_string(r.pixelRect.width()) +
             "x" + std::to_string(r.pixelRect.height()) + " " + std::to_string(r.confidence) + "] ";
    return s;
}

const SlideSpec kLecture{QStringLiteral("Entropy and the Second Law"),
                         {QStringLiteral("Heat flows from hot to cold bodies"), QStringLiteral("Entropy of an isolated system never decreases"),
                          QStringLiteral("Carnot efficiency limits every engine"), QStringLiteral("Reversible processes are idealisations")}};

}  // namespace

TEST(TextRectangleDetector, FindsEveryLineOfLightAndDarkSlides) {
    for (bool dark : {false, true}) {
        SlideSpec spec = kLecture;
        spec.dark = dark;
        const QList<TextRectangle> rects = TextRectangleDetector::detect(toFrame(renderSlide(spec)));
        SCOPED_TRACE(describe(rects));
        EXPECT_EQ(countAbove(rects, 0.5f), 1 + spec.bullets.size()) << "dark=" << dark;
        EXPECT_TRUE(TextRectangleDetector::isTextSlide(rects));
        ASSERT_FALSE(rects.isEmpty());
        // The title is first (top to bottom) and reaches close to the top.
        EXPECT_GT(rects.front().maxY(), 0.85);
    }
}

TEST(TextRectangleDetector, BoxesAreNormalisedFromTheBottomLeft) {
    QImage img(kFrame, QImage::Format_Grayscale8);
    img.fill(235);
    QPainter p(&img);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    p.setFont(font);
    p.setPen(QColor(60, 60, 60));
    const QString text = QStringLiteral("Small print at eighteen pixels");
    const QPoint origin(200, 300);
    p.drawText(origin, text);
    p.end();
    const QRect ink = QFontMetrics(font).tightBoundingRect(text).translated(origin);

    const QList<TextRectangle> rects = TextRectangleDetector::detect(img);
    SCOPED_TRACE(describe(rects));
    ASSERT_EQ(rects.size(), 1);
    const TextRectangle& r = rects.front();
    EXPECT_GT(r.confidence, 0.5f);
    EXPECT_NEAR(r.pixelRect.left(), ink.left(), 3);
    EXPECT_NEAR(r.pixelRect.right(), ink.right(), 3);
    EXPECT_NEAR(r.pixelRect.top(), ink.top(), 3);
    EXPECT_NEAR(r.pixelRect.bottom(), ink.bottom(), 3);
    EXPECT_DOUBLE_EQ(r.boundingBox.x(), r.pixelRect.left() / 640.0);
    EXPECT_DOUBLE_EQ(r.boundingBox.width(), r.pixelRect.width() / 640.0);
    EXPECT_DOUBLE_EQ(r.boundingBox.y(), 1.0 - (r.pixelRect.bottom() + 1) / 360.0);
    EXPECT_DOUBLE_EQ(r.maxY(), 1.0 - r.pixelRect.top() / 360.0);
    // Text near the bottom alone shows text but is no slide.
    EXPECT_LT(r.maxY(), 0.3);
    EXPECT_TRUE(TextRectangleDetector::showsText(rects));
    EXPECT_FALSE(TextRectangleDetector::isTextSlide(rects));
}

TEST(TextRectangleDetector, SmallBodyTextOnAGradientAndColourInput) {
    QImage img(kFrame, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 640, 360);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(190, 205, 225));
    p.fillRect(img.rect(), g);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    p.setFont(font);
    p.setPen(QColor(90, 90, 90));
    for (int i = 0; i < 6; ++i) p.drawText(40, 60 + i * 26, QStringLiteral("Line %1: the derivative measures a rate of change").arg(i + 1));
    p.end();
    // Colour input is converted to grey first.
    const QList<TextRectangle> rects = TextRectangleDetector::detect(img);
    SCOPED_TRACE(describe(rects));
    EXPECT_EQ(countAbove(rects, 0.5f), 6);
    EXPECT_TRUE(TextRectangleDetector::isTextSlide(rects));
}

TEST(TextRectangleDetector, CameraLikeFootageIsNotText) {
    for (const QString& source : cameraLikeSources()) {
        const QList<QImage> frames = greyFrames(source, kFrame, 6, true, 2);
        ASSERT_EQ(frames.size(), 6) << source.toStdString();
        for (int i = 0; i < frames.size(); ++i) {
            const QList<TextRectangle> rects = TextRectangleDetector::detect(frames[i]);
            EXPECT_FALSE(TextRectangleDetector::showsText(rects)) << source.toStdString() << " frame " << i << ": " << describe(rects);
        }
    }
}

TEST(TextRectangleDetector, SlidesAndFootageAfterVideoCompression) {
    // Compression noise must neither hide slide text nor turn footage into text.
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("deck.mp4"));
    SlideSpec dark = kLecture;
    dark.dark = true;
    VideoOptions options;
    options.size = kFrame;
    options.fps = 4;
    options.codecArgs = {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "30", "-pix_fmt", "yuv420p"};
    ASSERT_TRUE(writeLectureVideo(video,
                                  {VideoPart::makeSlide(kLecture, 2), VideoPart::makeFootage(cameraLikeSources()[0], 2),
                                   VideoPart::makeSlide(dark, 2), VideoPart::makeFootage(cameraLikeSources()[2], 2)},
                                  options));
    const QList<QImage> frames = greyFrames(video, kFrame, 16, false, 2);
    ASSERT_EQ(frames.size(), 16);
    for (int i = 0; i < frames.size(); ++i) {
        const bool slide = (i / 4) % 2 == 0;
        const QList<TextRectangle> rects = TextRectangleDetector::detect(frames[i]);
        EXPECT_EQ(TextRectangleDetector::isTextSlide(rects), slide) << "frame " << i << ": " << describe(rects);
    }
}

TEST(TextRectangleDetector, LowerThirdCaptionOverFootageIsNoSlide) {
    const QList<QImage> frames = greyFrames(cameraLikeSources()[1], kFrame, 3, true, 2);
    ASSERT_EQ(frames.size(), 3);
    for (const QImage& frame : frames) {
        const QList<TextRectangle> rects = TextRectangleDetector::detect(withLowerThirdCaption(frame));
        SCOPED_TRACE(describe(rects));
        EXPECT_TRUE(TextRectangleDetector::showsText(rects));
        EXPECT_FALSE(TextRectangleDetector::isTextSlide(rects));
    }
}

TEST(TextRectangleDetector, BlankTinyAndNullPicturesHaveNoText) {
    QImage flat(kFrame, QImage::Format_Grayscale8);
    flat.fill(128);
    EXPECT_TRUE(TextRectangleDetector::detect(flat).isEmpty());
    QImage tiny(8, 8, QImage::Format_Grayscale8);
    tiny.fill(0);
    EXPECT_TRUE(TextRectangleDetector::detect(tiny).isEmpty());
    EXPECT_TRUE(TextRectangleDetector::detect(QImage()).isEmpty());
    // A plain shape is not text either.
    QPainter p(&flat);
    p.fillRect(QRect(200, 100, 240, 160), Qt::black);
    p.end();
    EXPECT_FALSE(TextRectangleDetector::showsText(TextRectangleDetector::detect(flat)));
}

TEST(TextRectangleDetector, SlideAndTextRules) {
    auto rect = [](float confidence, double maxY) {
        TextRectangle r;
        r.confidence = confidence;
        r.boundingBox = QRectF(0.1, maxY - 0.05, 0.5, 0.05);
        return r;
    };
    using L = QList<TextRectangle>;
    // Two above 0.2, one of them high: a slide.
    EXPECT_TRUE(TextRectangleDetector::isTextSlide(L{rect(0.25f, 0.9), rect(0.3f, 0.1)}));
    // Only one above 0.2 and none above 0.5: nothing is used.
    EXPECT_FALSE(TextRectangleDetector::isTextSlide(L{rect(0.45f, 0.9), rect(0.2f, 0.8)}));
    EXPECT_FALSE(TextRectangleDetector::showsText(L{rect(0.45f, 0.9), rect(0.2f, 0.8)}));
    // A single confident line is enough, if it reaches above the bottom 30 %.
    EXPECT_TRUE(TextRectangleDetector::isTextSlide(L{rect(0.55f, 0.3)}));
    EXPECT_FALSE(TextRectangleDetector::isTextSlide(L{rect(0.55f, 0.29)}));
    EXPECT_TRUE(TextRectangleDetector::showsText(L{rect(0.55f, 0.29)}));
    // With two lines above 0.2 those are used, even when a third is higher but weaker.
    EXPECT_FALSE(TextRectangleDetector::isTextSlide(L{rect(0.6f, 0.2), rect(0.3f, 0.25), rect(0.15f, 0.95)}));
    EXPECT_FALSE(TextRectangleDetector::isTextSlide(L{}));
}
