#include "LectureFixture.h"
#include "export/TextSlides.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace lumenote;

TEST(TextSlides, SlidesAreToldFromCameraPictures) {
    const QList<CapturedScreenshot> shots = {
        CapturedScreenshot::make(fixture::makeSlideImage(QSize(1920, 1080), "Heat engines", {"Two reservoirs", "One cycle", "Work out"}), 3.5),
        CapturedScreenshot::make(fixture::makeCameraImage(QSize(1280, 720), 4), 7.25),
        CapturedScreenshot::make(fixture::makeSlideImage(QSize(640, 480), "Entropy", {"S = k log W"}), 12.0),
        CapturedScreenshot::make(fixture::makeCameraImage(QSize(640, 360), 9), 15.0),
        CapturedScreenshot::make(QImage(), 20.0),
    };
    EXPECT_EQ(detectTextSlides(shots), (QSet<double>{3.5, 12.0}));
    EXPECT_TRUE(detectTextSlides({}).isEmpty());
}

TEST(TextSlides, PicturesAreDrawnIntoASmallGreyBitmap) {
    QImage picture(1000, 500, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(0, 0, 500, 500, Qt::black);
    const QImage grey = greyThumbnail(picture);
    ASSERT_EQ(grey.size(), QSize(640, 360));
    EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(grey.bytesPerLine(), 640);
    EXPECT_LT(qGray(grey.pixel(100, 180)), 5);
    EXPECT_GT(qGray(grey.pixel(540, 180)), 250);
    for (const QImage::Format format : {QImage::Format_RGB888, QImage::Format_Grayscale8, QImage::Format_Indexed8, QImage::Format_RGBA64})
        EXPECT_EQ(greyThumbnail(picture.convertToFormat(format)).size(), QSize(640, 360)) << format;
    EXPECT_TRUE(greyThumbnail(QImage()).isNull());
}
