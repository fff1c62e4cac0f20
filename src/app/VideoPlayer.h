#pragma once

// The lecture's video with its controls: play and pause, a scrubber, the time,
// the playback speed (0.75x to 2x) and the keys Space, Left and Right (5 s).
// It is the player a lecture's actions drive: muted while the engine listens,
// sent along as the transcription advances, asked for the frame to capture.

#include "pipeline/PlayerControl.h"

#include <QWidget>

class QAudioOutput;
class QComboBox;
class QLabel;
class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoWidget;

namespace lumenote {

class VideoPlayer : public QWidget, public PlayerControl {
    Q_OBJECT
public:
    explicit VideoPlayer(QWidget* parent = nullptr);
    ~VideoPlayer() override;

    // Opens a file (empty: none); playback starts paused at the beginning.
    void setSource(const QString& path);
    QString source() const;

    void mute() override;
    void unmute() override;
    void seek(double seconds, double toleranceBefore, double toleranceAfter) override;
    double currentTime() const override;

    bool isMuted() const;
    bool isPlaying() const;
    double duration() const;
    double playbackRate() const;
    void setPlaybackRate(double rate);
    static const QList<double>& playbackRates();

    void play();
    void pause();
    void togglePlayback();
    // Moves by `seconds` (negative: back), kept inside the video.
    void skip(double seconds);

    QMediaPlayer* mediaPlayer() const { return player_; }

signals:
    // The playback position, for the transcript following it.
    void positionChanged(double seconds);
    void durationChanged(double seconds);
    void playingChanged(bool playing);
    // The file opened and can be played, or failed to open.
    void sourceReady();
    void sourceFailed(const QString& description);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void updateTime();

    QMediaPlayer* player_;
    QAudioOutput* audio_;
    QVideoWidget* video_;
    QToolButton* playButton_;
    QSlider* scrubber_;
    QLabel* timeLabel_;
    QComboBox* speed_;
    QLabel* speedLabel_;
    bool scrubbing_ = false;
};

}  // namespace lumenote
