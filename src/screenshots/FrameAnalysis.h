#pragma once

// The small picture tests of screenshot capture, kept free of I/O: grey
// thumbnails, the changed-pixel fraction, sharpness (variance of the Laplacian),
// the black and blur tests, and word sets with their similarity.

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace lumenote {

// Thumbnail sizes used by the scan, the best-frame search, the black test and the blur test.
inline constexpr QSize kScanThumbnailSize{640, 360};
inline constexpr QSize kSearchThumbnailSize{160, 90};
inline constexpr QSize kBlackTestSize{32, 18};
inline constexpr QSize kBlurTestSize{320, 180};

// The picture scaled to fill `size` (aspect ratio ignored) as 8-bit grey, one
// byte per pixel, rows without padding. All zero when the picture is null.
QByteArray greyThumbnail(const QImage& image, QSize size);

// Share of positions whose grey levels differ by more than `threshold`; 0 when
// the buffers differ in length or are empty.
double changedPixelFraction(const QByteArray& a, const QByteArray& b, uint8_t threshold);

// Share of the first picture's ink (its pixels more than `threshold` away from
// its most common grey level, the background) that differs in the second by
// more than `threshold`; 0 when the first has no ink or the lengths differ.
// Near 0 when the second only adds to the first.
double changedInkFraction(const QByteArray& earlier, const QByteArray& later, uint8_t threshold);

// Variance of the 4-neighbour Laplacian over the interior of a grey picture;
// 0 for pictures of 2 pixels or less in either direction.
double laplacianVariance(const uchar* grey, int width, int height, qsizetype bytesPerLine);
// The same over the picture drawn in grey at its own size.
double sharpness(const QImage& image);

// Mean grey level below 4 on a 32 x 18 thumbnail.
bool isBlackFrame(const QImage& image);
// Variance of the Laplacian below 250 on a 320 x 180 thumbnail.
bool isBlurryFrame(const QImage& image);

// Recognised lines to a word set: lower case, split at white space, pieces of
// three characters or more.
QSet<QString> wordSet(const QStringList& lines);
// |A ∩ B| / |A ∪ B|, and 1 when both are empty.
double wordSimilarity(const QSet<QString>& a, const QSet<QString>& b);

}  // namespace lumenote
