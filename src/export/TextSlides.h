#pragma once

// Which screenshots are slides full of text (shown full width on the page) and
// which show a presenter or a scene (floated beside the text).

#include "core/CapturedScreenshot.h"
#include "screenshots/TextRectangleDetector.h"

#include <QImage>
#include <QList>
#include <QSet>

#include <functional>

namespace lumenote {

// Finds text rectangles in a 640 x 360 Grayscale8 image; must be safe to call
// from several threads at once.
using TextRegionDetector = std::function<QList<TextRectangle>(const QImage& grey)>;

// The project's text-rectangle detector.
TextRegionDetector defaultTextRegionDetector();

// The image drawn into a 640 x 360 grey bitmap (640 bytes per row); a null
// image when it cannot be drawn.
QImage greyThumbnail(const QImage& image);

// The timestamps of the screenshots whose picture shows text (at least two
// lines above 0.2 confidence or one above 0.5), analysed in parallel. An image
// that cannot be drawn or analysed is not a text slide.
QSet<double> detectTextSlides(const QList<CapturedScreenshot>& screenshots, const TextRegionDetector& detector = defaultTextRegionDetector());

}  // namespace lumenote
