#include "core/HybridClock.h"

#include <QDateTime>

#include <algorithm>

namespace lumenote {

HybridClock::HybridClock(QString machine, WallClock wall) : machine_(std::move(machine)), wall_(std::move(wall)) {}

void HybridClock::setWallClock(WallClock wall) { wall_ = std::move(wall); }

qint64 HybridClock::wallNow() const { return wall_ ? wall_() : QDateTime::currentMSecsSinceEpoch(); }

Stamp HybridClock::now() {
    const qint64 physical = wallNow();
    if (physical > lastWall_) {
        lastWall_ = physical;
        lastCounter_ = 0;
    } else {
        ++lastCounter_;
    }
    return {lastWall_, lastCounter_, machine_};
}

void HybridClock::observe(const Stamp& stamp) {
    if (stamp.wall > lastWall_ || (stamp.wall == lastWall_ && stamp.counter > lastCounter_)) {
        lastWall_ = stamp.wall;
        lastCounter_ = stamp.counter;
    }
}

}  // namespace lumenote
