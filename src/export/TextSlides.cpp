#include "export/TextSlides.h"

#include "av/FFmpeg.h"

#include <QtConcurrent/QtConcurrentMap>

#include <numeric>
#include <vector>

namespace lumenote {

namespace {

constexpr int kThumbWidth = 640;
constexpr int kThumbHeight = 360;

}  // namespace

TextRegionDetector defaultTextRegionDetector() { return &TextRectangleDetector::detect; }

namespace {

// Area average of 32-bit pixels straight into grey: every source pixel is read
// once and lands in the box of the thumbnail pixel that covers it. About three
// times faster than a general scaler for the usual 1080p and 720p captures.
QImage shrinkToGrey(const QImage& source) {
    const int sw = source.width(), sh = source.height();
    QImage grey(kThumbWidth, kThumbHeight, QImage::Format_Grayscale8);
    if (grey.isNull()) return {};
    // Source columns [first[x], first[x + 1]) make thumbnail column x.
    std::vector<int> first(kThumbWidth + 1);
    for (int x = 0; x <= kThumbWidth; ++x) first[x] = int(int64_t(x) * sw / kThumbWidth);
    std::vector<uint32_t> sums(kThumbWidth);
    int row = 0;
    for (int y = 0; y < kThumbHeight; ++y) {
        const int rowEnd = int(int64_t(y + 1) * sh / kThumbHeight);
        const int rows = rowEnd - row;
        std::fill(sums.begin(), sums.end(), 0u);
        for (; row < rowEnd; ++row) {
            const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(row));
            for (int x = 0; x < kThumbWidth; ++x) {
                uint32_t acc = 0;
                for (int i = first[x]; i < first[x + 1]; ++i) {
                    const QRgb p = line[i];
                    // ITU-R BT.601 weights in 256ths.
                    acc += qRed(p) * 77u + qGreen(p) * 150u + qBlue(p) * 29u;
                }
                sums[x] += acc;
            }
        }
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < kThumbWidth; ++x) {
            const uint32_t n = uint32_t(first[x + 1] - first[x]) * uint32_t(rows) * 256u;
            out[x] = uchar(n ? (uint64_t(sums[x]) + n / 2) / n : 0);
        }
    }
    return grey;
}

// Any size and format through swscale (used to enlarge small pictures).
QImage scaleToGrey(const QImage& image) {
    QImage source = image;
    AVPixelFormat format;
    switch (source.format()) {
    case QImage::Format_Grayscale8: format = AV_PIX_FMT_GRAY8; break;
    case QImage::Format_RGB888: format = AV_PIX_FMT_RGB24; break;
    default:
        source = source.convertToFormat(QImage::Format_RGB32);
        if (source.isNull()) return {};
        [[fallthrough]];
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AV_PIX_FMT_BGRA : AV_PIX_FMT_ARGB;
    }
    thread_local SwsContext* context = nullptr;
    context = sws_getCachedContext(context, source.width(), source.height(), format, kThumbWidth, kThumbHeight, AV_PIX_FMT_GRAY8, SWS_AREA,
                                   nullptr, nullptr, nullptr);
    if (!context) return {};
    QImage grey(kThumbWidth, kThumbHeight, QImage::Format_Grayscale8);
    if (grey.isNull()) return {};
    const uint8_t* srcPlanes[4] = {source.constBits(), nullptr, nullptr, nullptr};
    const int srcStrides[4] = {int(source.bytesPerLine()), 0, 0, 0};
    uint8_t* dstPlanes[4] = {grey.bits(), nullptr, nullptr, nullptr};
    const int dstStrides[4] = {int(grey.bytesPerLine()), 0, 0, 0};
    if (sws_scale(context, srcPlanes, srcStrides, 0, source.height(), dstPlanes, dstStrides) != kThumbHeight) return {};
    return grey;
}

}  // namespace

QImage greyThumbnail(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    const bool thirtyTwoBit = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    if (thirtyTwoBit && image.width() >= kThumbWidth && image.height() >= kThumbHeight) return shrinkToGrey(image);
    return scaleToGrey(image);
}

QSet<double> detectTextSlides(const QList<CapturedScreenshot>& screenshots, const TextRegionDetector& detector) {
    QSet<double> slides;
    if (!detector || screenshots.isEmpty()) return slides;
    QList<int> indices(screenshots.size());
    std::iota(indices.begin(), indices.end(), 0);
    const QList<bool> verdicts = QtConcurrent::blockingMapped(indices, [&](int i) {
        const QImage grey = greyThumbnail(screenshots[i].image);
        return !grey.isNull() && TextRectangleDetector::showsText(detector(grey));
    });
    for (int i = 0; i < verdicts.size(); ++i)
        if (verdicts[i]) slides.insert(screenshots[i].timestamp);
    return slides;
}

}  // namespace lumenote
