#pragma once

// Finds lines of text in a grey picture without recognising them: the fast test
// that tells a slide from camera footage. Classical and allocation-light so that
// it can run on every sampled frame (a 640 x 360 frame takes about a millisecond).
//
// Edges (strong grey-level steps) are joined along each row into runs, runs that
// touch from row to row into blobs, and each blob of text-line shape is scored
// by what distinguishes printed text from texture: a flat background around and
// between the strokes, strokes that stand out clearly from it, clean margins
// above and below, and gaps between letters.

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>

namespace lumenote {

struct TextRectangle {
    // How much the rectangle looks like a line of printed text, 0..1.
    float confidence = 0;
    // Normalised to the picture (0..1) with the origin at the bottom left, so
    // the top edge of the text is boundingBox.bottom() (its maxY).
    QRectF boundingBox;
    // The same rectangle in pixels of the analysed picture (origin top left).
    QRect pixelRect;

    double maxY() const { return boundingBox.y() + boundingBox.height(); }
};

class TextRectangleDetector {
public:
    // Any QImage; other formats than Format_Grayscale8 are converted first.
    // Returns the text lines found, top to bottom.
    static QList<TextRectangle> detect(const QImage& image);

    // The rule for a picture that shows text at all (the export's slide test):
    // at least two lines with confidence > 0.2 or one with confidence > 0.5.
    static bool showsText(const QList<TextRectangle>& rectangles);

    // The text-slide rule of the scene scan: the lines used are those above 0.2
    // when there are at least two of them, else those above 0.5; the picture is
    // a slide when one of them reaches above the bottom 30 % (maxY >= 0.3), so a
    // lower-third caption alone does not make a slide.
    static bool isTextSlide(const QList<TextRectangle>& rectangles);
};

}  // namespace lumenote
