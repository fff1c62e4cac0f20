#pragma once

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QUuid>

namespace lumenote {

// One screenshot of a lecture: a new id for every capture or load, the decoded
// bitmap and its time in seconds. Lists are kept in ascending time.
struct CapturedScreenshot {
    QUuid id;
    QImage image;
    double timestamp = 0;

    // The image for display is the same bitmap (QImage shares it implicitly).
    const QImage& displayImage() const { return image; }

    static CapturedScreenshot make(const QImage& image, double timestamp) { return {QUuid::createUuid(), image, timestamp}; }
};

}  // namespace lumenote

Q_DECLARE_METATYPE(lumenote::CapturedScreenshot)
