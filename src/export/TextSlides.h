#pragma once

// Which screenshots are slides full of text (shown full width on the page) and
// which show a presenter or a scene (floated beside the text).

#include "core/CapturedScreenshot.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSet>

#include <functional>

namespace lumenote {

// One text rectangle found in a grey image: its confidence in 0..1 and its
// normalised box (origin bottom-left).
struct TextRegion {
    double confidence = 0;
    QRectF box;
};

// Finds text rectangles in a 640 x 360 Grayscale8 image. Must be safe to call
// from several threads at once.
using TextRegionDetector = std::function<QList<TextRegion>(const QImage& grey)>;

// The project's detector, or an empty function while none is linked in.
TextRegionDetector defaultTextRegionDetector();

// The image drawn into a 640 x 360 grey bitmap; a null image when it cannot be drawn.
QImage greyThumbnail(const QImage& image);

// A text slide has at least two regions above 0.2 confidence or one above 0.5.
bool isTextSlide(const QList<TextRegion>& regions);

// The timestamps of the screenshots classified as text slides (images analysed
// in parallel). An image that cannot be drawn or analysed is not a text slide;
// without a detector nothing is.
QSet<double> detectTextSlides(const QList<CapturedScreenshot>& screenshots, const TextRegionDetector& detector = defaultTextRegionDetector());

}  // namespace lumenote
