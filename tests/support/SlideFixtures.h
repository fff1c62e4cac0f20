#pragma once

// Lecture-like pictures and videos for tests: slides drawn with QPainter (needs
// the gui test main), camera-like footage from ffmpeg's generated sources, and
// black stretches, cut together into one video with ffmpeg.

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lumenote::test {

struct SlideSpec {
    QString title;
    QStringList bullets;
    bool dark = false;  // light text on a dark background
    // Font sizes relative to a 1080-row picture (scaled to the picture's height).
    int titlePixels = 96;
    int bulletPixels = 54;
};

// A slide at the given size: a title near the top and the bullets below it.
QImage renderSlide(const SlideSpec& slide, QSize size = QSize(1920, 1080));

// A 640 x 360 frame with a presenter's name caption in its lower third.
QImage withLowerThirdCaption(QImage frame);

// One stretch of a generated lecture video.
struct VideoPart {
    enum class Kind { Slide, Footage, Black };
    Kind kind = Kind::Slide;
    double seconds = 1;
    SlideSpec slide;     // Kind::Slide
    QString lavfi;       // Kind::Footage: an ffmpeg source graph, e.g. "mandelbrot"
    QImage image;        // Kind::Slide: used instead of rendering `slide` when set

    static VideoPart makeSlide(const SlideSpec& s, double seconds) { return {Kind::Slide, seconds, s, {}, {}}; }
    static VideoPart makeImage(const QImage& image, double seconds) { return {Kind::Slide, seconds, {}, {}, image}; }
    static VideoPart makeFootage(const QString& lavfi, double seconds) { return {Kind::Footage, seconds, {}, lavfi, {}}; }
    static VideoPart makeBlack(double seconds) { return {Kind::Black, seconds, {}, {}, {}}; }
};

struct VideoOptions {
    QSize size{320, 180};
    int fps = 10;
    // Encoder arguments after the filter graph.
    QStringList codecArgs{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
};

// Cuts the parts together, in order, into one video file (no audio).
bool writeLectureVideo(const QString& path, const QList<VideoPart>& parts, const VideoOptions& options = {});

// Camera-like footage that holds no text: ffmpeg source graphs (640 x 360) with
// texture, noise, gradients and motion. The video writer scales them.
QStringList cameraLikeSources(int fps = 2);

// Decodes up to `count` frames of a video (or a source graph when `lavfi` is
// true) as grey pictures of the given size.
QList<QImage> greyFrames(const QString& input, QSize size, int count, bool lavfi = false, double fps = 2);

}  // namespace lumenote::test
