#pragma once

// Turns a lecture video into a short list of stills, one per distinct slide or
// scene, each stamped with the time it shows; stores and reloads them as JPEG
// files in the lecture's screenshot folder.
//
// The scan (low resolution, every half second) decides which times are worth a
// screenshot; the capture refines each to the sharpest nearby frame and decodes
// it at full resolution. Heavy work runs on worker threads (at most four
// captures at once); the coroutines are awaited on the main thread and status
// callbacks arrive there.

#include "core/CancellationToken.h"
#include "core/CapturedScreenshot.h"
#include "screenshots/H264Transcoder.h"
#include "screenshots/SceneScanner.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUuid>

#include <functional>
#include <memory>

namespace lumenote {

class ScreenshotCaptureService : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConcurrentCaptures = 4;
    static constexpr const char* kErrorDomain = "ScreenshotCaptureService";

    // The shared instance (created on first use, on the main thread).
    static ScreenshotCaptureService& shared();
    explicit ScreenshotCaptureService(QObject* parent = nullptr);
    ~ScreenshotCaptureService() override;

    // (text, fraction 0..1), on the main thread.
    using StatusCallback = std::function<void(const QString& text, double fraction)>;

    // The screenshots of a video in time order, possibly none. Throws only when
    // the video's duration cannot be read (DomainError with code 2); every other
    // problem gives fewer screenshots and a log line saying why. Cancelling
    // stops the scan and the captures early: no report follows the cancel and
    // the result is empty.
    QCoro::Task<QList<CapturedScreenshot>> captureScreenshots(QString videoPath, quint8 pixelThreshold, StatusCallback onStatus,
                                                              double minimumSpacing, double sceneSensitivity,
                                                              CancellationToken cancel = {});

    // Writes "<index>_<time>.jpg" files into the lecture's folder (created when
    // missing) and returns their paths in list order. Throws DomainError code 1
    // when a picture cannot be encoded, Error when a file cannot be written.
    QStringList saveScreenshots(const QList<CapturedScreenshot>& screenshots, const QUuid& lectureID) const;
    // Saves as above, then removes the folder's other pictures, so that the
    // folder holds exactly this list (a removed or re-timed screenshot does
    // not come back on the next load).
    QStringList replaceScreenshots(const QList<CapturedScreenshot>& screenshots, const QUuid& lectureID) const;
    // The lecture's screenshots ordered by file name; none when the folder is
    // absent; unreadable files are skipped. Throws when the folder exists but
    // cannot be listed.
    QList<CapturedScreenshot> loadScreenshots(const QUuid& lectureID) const;
    // <screenshots directory>/<lecture id in upper case>
    static QString screenshotFolder(const QUuid& lectureID);
    // "%04d_%.2f.jpg"
    static QString screenshotFileName(int index, double timestamp);
    // The number after the first "_" of the name without extension, else 0.
    static double timestampFromFileName(const QString& fileName);

    // The blur test of a manual frame capture.
    static bool isBlurry(const QImage& frame);

    // The frame at `seconds` for a manual capture (up to 2560 x 1440, the first
    // frame within 0.1 s after the time). Throws Error when there is none.
    QCoro::Task<CapturedScreenshot> captureFrame(QString videoPath, double seconds);

    // The scan alone, on the calling thread: the selected times of a video of
    // the given duration (the capture runs it on a worker).
    static QList<double> scanVideo(const QString& path, double duration, ScanParameters parameters,
                                   const std::function<void(int sampled, int total)>& progress = {},
                                   const CancellationToken& cancel = {});

    // Codec preparation (see H264Transcoder).
    QCoro::Task<QString> transcodeToH264IfNeeded(QString source, std::function<void(const QString&)> onProgress);
    QCoro::Task<QString> ensurePlayableFile(QString source, std::function<void(const QString&)> onStatus = {});
    // The media layer's ffmpeg lookup and installation.
    void setFFmpegTools(FFmpegTools tools);
    H264Transcoder& transcoder() { return transcoder_; }

private:
    H264Transcoder transcoder_;
    QThreadPool scanPool_;
    QThreadPool capturePool_;
};

}  // namespace lumenote
