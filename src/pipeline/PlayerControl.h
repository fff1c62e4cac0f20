#pragma once

// What a lecture's actions need of the video player: muting while the engine
// listens, following the transcription with seeks, and the current time for a
// manual frame capture. The desktop application implements it with Qt
// Multimedia; the command line uses HeadlessPlayer.

#include <QList>

namespace lumenote {

class PlayerControl {
public:
    virtual ~PlayerControl() = default;
    virtual void mute() = 0;
    virtual void unmute() = 0;
    // Seeks to `seconds`, accepting any frame within the tolerances.
    virtual void seek(double seconds, double toleranceBefore, double toleranceAfter) = 0;
    virtual double currentTime() const = 0;
};

// A player without a picture: it remembers where it was sent.
class HeadlessPlayer : public PlayerControl {
public:
    void mute() override { muted_ = true; }
    void unmute() override { muted_ = false; }
    void seek(double seconds, double, double) override {
        time_ = seconds;
        seeks_.append(seconds);
    }
    double currentTime() const override { return time_; }

    bool isMuted() const { return muted_; }
    const QList<double>& seeks() const { return seeks_; }
    void setCurrentTime(double seconds) { time_ = seconds; }

private:
    bool muted_ = false;
    double time_ = 0;
    QList<double> seeks_;
};

}  // namespace lumenote
