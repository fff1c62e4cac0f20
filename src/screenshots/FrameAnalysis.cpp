#include "screenshots/FrameAnalysis.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace lumenote {

QByteArray greyThumbnail(const QImage& image, QSize size) {
    QByteArray bytes(qsizetype(size.width()) * size.height(), '\0');
    if (image.isNull() || size.isEmpty()) return bytes;
    QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.size() != size) grey = grey.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (grey.isNull() || grey.size() != size) return bytes;
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(bytes.data() + qsizetype(y) * size.width(), grey.constScanLine(y), size_t(size.width()));
    return bytes;
}

double changedPixelFraction(const QByteArray& a, const QByteArray& b, uint8_t threshold) {
    if (a.size() != b.size() || a.isEmpty()) return 0.0;
    const auto* pa = reinterpret_cast<const uint8_t*>(a.constData());
    const auto* pb = reinterpret_cast<const uint8_t*>(b.constData());
    qsizetype changed = 0;
    for (qsizetype i = 0; i < a.size(); ++i) changed += std::abs(int(pa[i]) - int(pb[i])) > threshold;
    return double(changed) / double(a.size());
}

double changedInkFraction(const QByteArray& earlier, const QByteArray& later, uint8_t threshold) {
    if (earlier.size() != later.size() || earlier.isEmpty()) return 0.0;
    const auto* pa = reinterpret_cast<const uint8_t*>(earlier.constData());
    const auto* pb = reinterpret_cast<const uint8_t*>(later.constData());
    std::array<qsizetype, 256> histogram{};
    for (qsizetype i = 0; i < earlier.size(); ++i) ++histogram[pa[i]];
    const int background = int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    qsizetype ink = 0, changed = 0;
    for (qsizetype i = 0; i < earlier.size(); ++i) {
        if (std::abs(int(pa[i]) - background) <= threshold) continue;
        ++ink;
        changed += std::abs(int(pa[i]) - int(pb[i])) > threshold;
    }
    return ink == 0 ? 0.0 : double(changed) / double(ink);
}

double laplacianVariance(const uchar* grey, int width, int height, qsizetype bytesPerLine) {
    if (!grey || width <= 2 || height <= 2) return 0.0;
    int64_t sum = 0, sumSquares = 0;
    for (int y = 1; y < height - 1; ++y) {
        const uchar* up = grey + (y - 1) * bytesPerLine;
        const uchar* row = grey + y * bytesPerLine;
        const uchar* down = grey + (y + 1) * bytesPerLine;
        for (int x = 1; x < width - 1; ++x) {
            const int l = 4 * int(row[x]) - int(up[x]) - int(down[x]) - int(row[x - 1]) - int(row[x + 1]);
            sum += l;
            sumSquares += int64_t(l) * l;
        }
    }
    const double n = double(width - 2) * double(height - 2);
    const double mean = double(sum) / n;
    return double(sumSquares) / n - mean * mean;
}

double sharpness(const QImage& image) {
    if (image.isNull()) return 0.0;
    const QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull()) return 0.0;
    return laplacianVariance(grey.constBits(), grey.width(), grey.height(), grey.bytesPerLine());
}

bool isBlackFrame(const QImage& image) {
    if (image.isNull()) return false;
    const QByteArray t = greyThumbnail(image, kBlackTestSize);
    int64_t sum = 0;
    for (char c : t) sum += uint8_t(c);
    return sum < 2304;
}

bool isBlurryFrame(const QImage& image) {
    if (image.isNull()) return false;
    const QByteArray t = greyThumbnail(image, kBlurTestSize);
    return laplacianVariance(reinterpret_cast<const uchar*>(t.constData()), kBlurTestSize.width(), kBlurTestSize.height(),
                             kBlurTestSize.width()) < 250.0;
}

QSet<QString> wordSet(const QStringList& lines) {
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QSet<QString> words;
    for (const QString& line : lines)
        for (const QString& piece : line.toLower().split(space, Qt::SkipEmptyParts))
            if (piece.size() > 2) words.insert(piece);
    return words;
}

double wordSimilarity(const QSet<QString>& a, const QSet<QString>& b) {
    if (a.isEmpty() && b.isEmpty()) return 1.0;
    const qsizetype common = QSet<QString>(a).intersect(b).size();
    const qsizetype all = a.size() + b.size() - common;
    return double(common) / double(all);
}

}  // namespace lumenote
