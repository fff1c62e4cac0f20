#include "core/ReferenceDate.h"

#include <chrono>
#include <cmath>

#include <QTimeZone>

namespace lumenote {
namespace {
// 2001-01-01T00:00:00Z in Unix seconds.
constexpr double kReferenceEpochUnix = 978307200.0;
}

double referenceSecondsNow() {
    using namespace std::chrono;
    const auto us = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return double(us) / 1e6 - kReferenceEpochUnix;
}

double referenceSeconds(const QDateTime& date) {
    return double(date.toMSecsSinceEpoch()) / 1000.0 - kReferenceEpochUnix;
}

QDateTime dateFromReferenceSeconds(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((seconds + kReferenceEpochUnix) * 1000.0)), Qt::UTC);
}

}  // namespace lumenote
