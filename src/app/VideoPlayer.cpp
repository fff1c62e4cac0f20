#include "app/VideoPlayer.h"

#include "pipeline/LectureController.h"

#include <QAudioOutput>
#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include <algorithm>
#include <cmath>

namespace lumenote {
namespace {
constexpr double kSkipSeconds = 5.0;
}

const QList<double>& VideoPlayer::playbackRates() {
    static const QList<double> rates{0.75, 1.0, 1.25, 1.5, 1.75, 2.0};
    return rates;
}

VideoPlayer::VideoPlayer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("videoPlayer"));
    setFocusPolicy(Qt::StrongFocus);
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
    video_ = new QVideoWidget(this);
    // Small enough that the transcript editors below find room on a laptop screen.
    video_->setMinimumSize(160, 90);
    video_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    player_->setVideoOutput(video_);

    playButton_ = new QToolButton(this);
    playButton_->setObjectName(QStringLiteral("playButton"));
    playButton_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playButton_->setFocusPolicy(Qt::NoFocus);
    scrubber_ = new QSlider(Qt::Horizontal, this);
    scrubber_->setObjectName(QStringLiteral("scrubber"));
    scrubber_->setFocusPolicy(Qt::NoFocus);
    scrubber_->setRange(0, 0);
    timeLabel_ = new QLabel(this);
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    speedLabel_ = new QLabel(this);
    speed_ = new QComboBox(this);
    speed_->setObjectName(QStringLiteral("speed"));
    speed_->setFocusPolicy(Qt::NoFocus);
    for (double rate : playbackRates()) speed_->addItem(QString(), rate);
    speed_->setCurrentIndex(int(playbackRates().indexOf(1.0)));

    auto* controls = new QHBoxLayout;
    controls->addWidget(playButton_);
    controls->addWidget(scrubber_, 1);
    controls->addWidget(timeLabel_);
    controls->addSpacing(8);
    controls->addWidget(speedLabel_);
    controls->addWidget(speed_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(video_, 1);
    layout->addLayout(controls);

    connect(playButton_, &QToolButton::clicked, this, &VideoPlayer::togglePlayback);
    connect(scrubber_, &QSlider::sliderPressed, this, [this] { scrubbing_ = true; });
    connect(scrubber_, &QSlider::sliderReleased, this, [this] {
        scrubbing_ = false;
        player_->setPosition(scrubber_->value());
    });
    connect(scrubber_, &QSlider::sliderMoved, this, [this](int ms) {
        player_->setPosition(ms);
        updateTime();
    });
    connect(speed_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) player_->setPlaybackRate(speed_->itemData(index).toDouble());
    });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!scrubbing_) {
            const QSignalBlocker block(scrubber_);
            scrubber_->setValue(int(ms));
        }
        updateTime();
        emit positionChanged(ms / 1000.0);
    });
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        scrubber_->setRange(0, int(ms));
        updateTime();
        emit durationChanged(ms / 1000.0);
    });
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState s) {
        const bool playing = s == QMediaPlayer::PlayingState;
        playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
        retranslate();
        emit playingChanged(playing);
    });
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia) {
            // Paused rather than stopped, so the first picture shows instead of a black frame.
            if (player_->playbackState() == QMediaPlayer::StoppedState) player_->pause();
            emit sourceReady();
        }
        if (status == QMediaPlayer::InvalidMedia) emit sourceFailed(player_->errorString());
    });
    connect(player_, &QMediaPlayer::errorOccurred, this, [](QMediaPlayer::Error, const QString& text) {
        qInfo().noquote() << "[player]" << text;
    });
    retranslate();
    updateTime();
}

VideoPlayer::~VideoPlayer() { player_->stop(); }

void VideoPlayer::setSource(const QString& path) {
    player_->stop();
    player_->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    scrubber_->setRange(0, 0);
    updateTime();
}

QString VideoPlayer::source() const { return player_->source().toLocalFile(); }

void VideoPlayer::mute() { audio_->setMuted(true); }
void VideoPlayer::unmute() { audio_->setMuted(false); }
bool VideoPlayer::isMuted() const { return audio_->isMuted(); }

// Qt Multimedia seeks to the nearest frame it can show; any frame within the
// tolerances is acceptable, so the position goes through unchanged.
void VideoPlayer::seek(double seconds, double, double) {
    if (!std::isfinite(seconds)) return;
    player_->setPosition(qint64(std::llround(std::max(0.0, seconds) * 1000.0)));
}

double VideoPlayer::currentTime() const { return player_->position() / 1000.0; }
double VideoPlayer::duration() const { return player_->duration() / 1000.0; }
bool VideoPlayer::isPlaying() const { return player_->playbackState() == QMediaPlayer::PlayingState; }
double VideoPlayer::playbackRate() const { return player_->playbackRate(); }

void VideoPlayer::setPlaybackRate(double rate) {
    const auto& rates = playbackRates();
    const auto nearest = std::min_element(rates.begin(), rates.end(),
                                          [rate](double a, double b) { return std::abs(a - rate) < std::abs(b - rate); });
    speed_->setCurrentIndex(int(nearest - rates.begin()));
}

void VideoPlayer::play() { player_->play(); }
void VideoPlayer::pause() { player_->pause(); }
void VideoPlayer::togglePlayback() { isPlaying() ? pause() : play(); }

void VideoPlayer::skip(double seconds) {
    qint64 target = player_->position() + qint64(std::llround(seconds * 1000.0));
    const qint64 end = player_->duration();
    if (end > 0) target = std::min(target, end);
    player_->setPosition(std::max<qint64>(0, target));
}

void VideoPlayer::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Space:
            togglePlayback();
            return;
        case Qt::Key_Left:
            skip(-kSkipSeconds);
            return;
        case Qt::Key_Right:
            skip(kSkipSeconds);
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void VideoPlayer::updateTime() {
    const double now = (scrubbing_ ? scrubber_->value() : player_->position()) / 1000.0;
    timeLabel_->setText(LectureController::frameTimeText(now) + QStringLiteral(" / ") + LectureController::frameTimeText(duration()));
}

void VideoPlayer::retranslate() {
    if (isPlaying()) {
        //% "Pause (Space)"
        playButton_->setToolTip(qtTrId("player.pause"));
    } else {
        //% "Play (Space)"
        playButton_->setToolTip(qtTrId("player.play"));
    }
    //% "Position (Left and Right move 5 seconds)"
    scrubber_->setToolTip(qtTrId("player.scrubber"));
    //% "Speed"
    speedLabel_->setText(qtTrId("player.speed"));
    for (int i = 0; i < speed_->count(); ++i)
        speed_->setItemText(i, QLocale().toString(speed_->itemData(i).toDouble()) + QStringLiteral("×"));
}

void VideoPlayer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
