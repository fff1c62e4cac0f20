#pragma once

#include <QDateTime>

namespace lumenote {

// Stored dates are seconds since 2001-01-01T00:00:00Z as a double, so that
// values written by any client read back to the same bits.
double referenceSecondsNow();
double referenceSeconds(const QDateTime& date);
QDateTime dateFromReferenceSeconds(double seconds);

}  // namespace lumenote
