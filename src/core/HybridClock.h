#pragma once

// Hybrid logical clock for ordering edits made on different machines: wall
// time in milliseconds plus a counter. A stamp never goes backwards and is
// always above every stamp already seen, so a machine whose clock runs an hour
// behind still stamps its next edit after the one it has just received.

#include <QString>

#include <compare>
#include <functional>

namespace lumenote {

struct Stamp {
    qint64 wall = 0;     // milliseconds since 1970 (UTC)
    qint64 counter = 0;  // orders stamps within one millisecond
    QString machine;     // ties between machines go to the greater id

    std::strong_ordering operator<=>(const Stamp& o) const {
        if (auto c = wall <=> o.wall; c != 0) return c;
        if (auto c = counter <=> o.counter; c != 0) return c;
        const int m = machine.compare(o.machine);
        return m < 0 ? std::strong_ordering::less : m > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
    }
    bool operator==(const Stamp&) const = default;
    bool isNull() const { return wall == 0 && counter == 0 && machine.isEmpty(); }
};

class HybridClock {
public:
    using WallClock = std::function<qint64()>;

    explicit HybridClock(QString machine, WallClock wall = {});

    const QString& machine() const { return machine_; }
    void setWallClock(WallClock wall);
    qint64 wallNow() const;

    // A new stamp above every one issued or observed.
    Stamp now();
    // Takes note of a stamp from elsewhere.
    void observe(const Stamp& stamp);

private:
    QString machine_;
    WallClock wall_;
    qint64 lastWall_ = 0;
    qint64 lastCounter_ = 0;
};

}  // namespace lumenote
