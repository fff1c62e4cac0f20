#include "export/TextSlides.h"

#include "av/FFmpeg.h"

#include <QtConcurrent/QtConcurrentMap>

#include <numeric>

namespace lumenote {

namespace {

constexpr int kThumbWidth = 640;
constexpr int kThumbHeight = 360;

}  // namespace

TextRegionDetector defaultTextRegionDetector() { return &TextRectangleDetector::detect; }

QImage greyThumbnail(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    QImage source = image;
    AVPixelFormat format;
    switch (source.format()) {
    case QImage::Format_Grayscale8: format = AV_PIX_FMT_GRAY8; break;
    case QImage::Format_RGB888: format = AV_PIX_FMT_RGB24; break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AV_PIX_FMT_BGRA : AV_PIX_FMT_ARGB;
        break;
    default:
        source = source.convertToFormat(QImage::Format_RGB32);
        if (source.isNull()) return {};
        format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AV_PIX_FMT_BGRA : AV_PIX_FMT_ARGB;
    }
    // One area-averaging pass straight to grey: several times faster than
    // scaling in colour and converting afterwards.
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
