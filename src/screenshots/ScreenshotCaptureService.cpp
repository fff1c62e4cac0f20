#include "screenshots/ScreenshotCaptureService.h"

#include "av/FFmpeg.h"
#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Log.h"
#include "core/Uuid.h"
#include "screenshots/FrameAnalysis.h"
#include "screenshots/FrameGenerator.h"
#include "screenshots/TextRectangleDetector.h"
#include "screenshots/WordRecognizer.h"

#include <QBuffer>
#include <QCoroFuture>
#include <QDir>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroSignal>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace lumenote {
namespace {

struct DurationProbe {
    std::optional<double> seconds;
    QString error;
};

DurationProbe readDuration(const QString& path) {
    DurationProbe result;
    const av::FormatContextPtr format = av::openInput(path, &result.error);
    if (!format) return result;
    if (format->duration == AV_NOPTS_VALUE) {
        result.error = QStringLiteral("the duration is unknown");
        return result;
    }
    result.seconds = double(format->duration) / AV_TIME_BASE;
    return result;
}

}  // namespace

// Phase 1. The generator decodes on its own thread and hands frames over
// through a short queue; this thread runs the frame tests and the decisions.
QList<double> ScreenshotCaptureService::scanVideo(const QString& path, double duration, ScanParameters parameters,
                                                  const std::function<void(int sampled, int total)>& progress,
                                                  const CancellationToken& cancel) {
    const QList<double> times = scanSampleTimes(duration);
    struct Item {
        double t;
        std::optional<GeneratedFrame> frame;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    bool closed = false;
    constexpr size_t kQueueLimit = 16;  // enough to ride out a slow frame test; bounded so memory stays small

    std::thread producer([&] {
        FrameGeneratorOptions options;
        options.maximumSize = kScanThumbnailSize;
        options.fillExactly = true;
        options.grey = true;
        options.toleranceBefore = 0.5;
        options.toleranceAfter = 0.5;
        options.skipNonReferenceFrames = true;
        FrameGenerator generator(path, options);
        generator.generate(times, [&](int, double t, std::optional<GeneratedFrame> frame) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return queue.size() < kQueueLimit; });
            queue.push_back({t, std::move(frame)});
            changed.notify_all();
            return !cancel.isCancelled();
        });
        std::lock_guard lock(mutex);
        closed = true;
        changed.notify_all();
    });

    SceneScanner scanner(parameters, duration, [](const QImage& frame) { return WordRecognizer::recognizeWords(frame); });
    for (;;) {
        Item item;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !queue.empty() || closed; });
            if (queue.empty()) break;
            item = std::move(queue.front());
            queue.pop_front();
            changed.notify_all();
        }
        if (!item.frame) {
            scanner.addUndecodable();
        } else {
            const QImage& frame = item.frame->image;
            const bool textSlide = TextRectangleDetector::isTextSlide(TextRectangleDetector::detect(frame));
            scanner.add(item.t, greyThumbnail(frame, kScanThumbnailSize), textSlide, frame);
        }
        if (progress) progress(scanner.framesSampled(), int(times.size()));
    }
    producer.join();

    logLine(scanner.summaryLine());
    if (const std::optional<QString> warning = scanner.warningLine()) logLine(*warning);
    return scanner.selectedTimes();
}

namespace {

struct CaptureResult {
    int index = 0;
    FrameOutcome outcome = FrameOutcome::DecodeFailed;
    CapturedScreenshot screenshot;
};

// Phase 2 for one selected time: the sharpest of the next frames of the same
// scene, decoded at full resolution.
CaptureResult captureOne(const QString& path, int index, double t, double duration) {
    BestFrameSearch search(t, duration);
    {
        FrameGeneratorOptions options;
        options.maximumSize = kSearchThumbnailSize;
        options.grey = true;
        options.toleranceBefore = 0;
        options.toleranceAfter = 0.4 * BestFrameSearch::kStep;
        options.threads = 1;
        FrameGenerator generator(path, options);
        const QList<QPair<int, double>> candidates = search.candidates();
        QList<double> times;
        for (const auto& c : candidates) times.push_back(c.second);
        generator.generate(times, [&](int k, double, std::optional<GeneratedFrame> frame) {
            if (!frame) return true;
            const QImage image = frame->image;
            return search.add(candidates[k].first, candidates[k].second, greyThumbnail(image, kSearchThumbnailSize),
                              [&] { return sharpness(image); });
        });
    }
    CaptureResult result;
    result.index = index;
    FrameGeneratorOptions options;
    options.maximumSize = QSize(2560, 1440);
    options.toleranceBefore = 0;
    options.toleranceAfter = 0.25;
    options.threads = 1;
    std::optional<GeneratedFrame> frame = FrameGenerator(path, options).frameAt(search.bestTime());
    if (!frame) {
        // A picture that stops early (one still frame under a long sound track) is still on
        // screen: take the last frame of the two seconds before.
        options.toleranceBefore = std::min(search.bestTime(), 2.0);
        frame = FrameGenerator(path, options).frameAt(search.bestTime());
    }
    if (!frame) {
        result.outcome = FrameOutcome::DecodeFailed;
    } else if (isBlackFrame(frame->image)) {
        result.outcome = FrameOutcome::Black;
    } else {
        result.outcome = FrameOutcome::Captured;
        result.screenshot = CapturedScreenshot::make(frame->image, frame->time);
    }
    return result;
}

}  // namespace

// Counts arrivals on the main thread and releases the awaiting run after the last.
class CaptureRunLatch : public QObject {
    Q_OBJECT
public:
    explicit CaptureRunLatch(int count) : remaining_(count) {}
    void arrive() {
        if (--remaining_ == 0) emit released();
    }
    QCoro::Task<> wait() {
        if (remaining_ > 0) co_await qCoro(this, &CaptureRunLatch::released);
    }
signals:
    void released();

private:
    int remaining_;
};

namespace {

void removeTemporaryCopy(const QString& source, const QString& prepared) {
    if (QFileInfo(prepared).absoluteFilePath() != QFileInfo(source).absoluteFilePath()) QFile::remove(prepared);
}

}  // namespace

ScreenshotCaptureService& ScreenshotCaptureService::shared() {
    static ScreenshotCaptureService* instance = new ScreenshotCaptureService();
    return *instance;
}

ScreenshotCaptureService::ScreenshotCaptureService(QObject* parent) : QObject(parent) {
    capturePool_.setMaxThreadCount(kMaxConcurrentCaptures);
    scanPool_.setMaxThreadCount(4);
}

ScreenshotCaptureService::~ScreenshotCaptureService() {
    scanPool_.waitForDone();
    capturePool_.waitForDone();
}

void ScreenshotCaptureService::setFFmpegTools(FFmpegTools tools) { transcoder_.setTools(std::move(tools)); }

QCoro::Task<QString> ScreenshotCaptureService::transcodeToH264IfNeeded(QString source, std::function<void(const QString&)> onProgress) {
    return transcoder_.transcodeToH264IfNeeded(std::move(source), std::move(onProgress));
}

QCoro::Task<QString> ScreenshotCaptureService::ensurePlayableFile(QString source, std::function<void(const QString&)> onStatus) {
    return transcoder_.ensurePlayableFile(std::move(source), std::move(onStatus));
}

QCoro::Task<QList<CapturedScreenshot>> ScreenshotCaptureService::captureScreenshots(QString videoPath, quint8 pixelThreshold,
                                                                                    StatusCallback onStatus, double minimumSpacing,
                                                                                    double sceneSensitivity, CancellationToken cancel) {
    // After a cancel nothing more is reported.
    if (onStatus) onStatus = [inner = std::move(onStatus), cancel](const QString& text, double fraction) {
        if (!cancel.isCancelled()) inner(text, fraction);
    };
    auto report = [onStatus](const QString& text, double fraction) {
        if (onStatus) onStatus(text, fraction);
    };
    // Awaited tasks are named first: GCC 12 mishandles class-type temporaries
    // inside co_await expressions.
    auto preparing = transcoder_.transcodeToH264IfNeeded(videoPath, [report](const QString& text) { report(text, 0.0); });
    const QString prepared = co_await std::move(preparing);

    QFuture<DurationProbe> probing = QtConcurrent::run(&scanPool_, [prepared] { return readDuration(prepared); });
    const DurationProbe probed = co_await probing;
    if (cancel.isCancelled()) {
        removeTemporaryCopy(videoPath, prepared);
        co_return QList<CapturedScreenshot>{};
    }
    if (!probed.seconds) {
        removeTemporaryCopy(videoPath, prepared);
        throw DomainError(QString::fromLatin1(kErrorDomain), 2,
                          QStringLiteral("Could not read the duration of %1: %2").arg(QFileInfo(videoPath).fileName(), probed.error));
    }
    const double duration = *probed.seconds;
    if (duration <= 0) {
        removeTemporaryCopy(videoPath, prepared);
        co_return QList<CapturedScreenshot>{};
    }

    report(QStringLiteral("Scanning for scene changes\u2026"), 0.0);
    const ScanParameters parameters{pixelThreshold, minimumSpacing, sceneSensitivity};

    // Workers hand every report and result to the main thread in order, and
    // the run resumes only after the last of them, so no report arrives late.
    auto scanLatch = std::make_shared<CaptureRunLatch>(1);
    auto selected = std::make_shared<QList<double>>();
    {
        QPointer<CaptureRunLatch> latch(scanLatch.get());
        auto onMain = [latch](std::function<void()> fn) {
            QMetaObject::invokeMethod(latch.data(), [latch, fn = std::move(fn)] {
                if (latch) fn();
            }, Qt::QueuedConnection);
        };
        scanPool_.start([prepared, duration, parameters, onMain, onStatus, selected, latch, cancel] {
            const QList<double> times = scanVideo(prepared, duration, parameters, [&](int sampled, int total) {
                const double p = double(sampled) / total;
                const QString text = QStringLiteral("Scanning\u2026 %1%").arg(int(p * 100));
                onMain([onStatus, text, p] {
                    if (onStatus) onStatus(text, 0.6 * p);
                });
            }, cancel);
            onMain([selected, times, latch] {
                *selected = times;
                latch->arrive();
            });
        });
    }
    auto scanning = scanLatch->wait();
    co_await std::move(scanning);
    const QList<double> times = *selected;
    if (cancel.isCancelled()) {
        removeTemporaryCopy(videoPath, prepared);
        co_return QList<CapturedScreenshot>{};
    }

    const int n = int(times.size());
    report(capturingStatus(n), 0.6);
    if (n == 0) {
        report(capturedStatus(0), 1.0);
        removeTemporaryCopy(videoPath, prepared);
        co_return QList<CapturedScreenshot>{};
    }

    // Phase 2: the pool runs at most four captures at once.
    auto captureLatch = std::make_shared<CaptureRunLatch>(n);
    auto results = std::make_shared<QList<CaptureResult>>();
    for (int i = 0; i < n; ++i) {
        const double t = times[i];
        QPointer<CaptureRunLatch> latch(captureLatch.get());
        capturePool_.start([latch, onStatus, results, prepared, i, t, duration, n, cancel] {
            CaptureResult r = cancel.isCancelled() ? CaptureResult{i, FrameOutcome::DecodeFailed, {}} : captureOne(prepared, i, t, duration);
            QMetaObject::invokeMethod(latch.data(), [latch, onStatus, results, r, n] {
                if (!latch) return;
                results->push_back(r);
                const double p = double(results->size()) / n;
                if (onStatus) onStatus(QStringLiteral("Capturing screenshots\u2026 %1%").arg(int(p * 100)), 0.6 + 0.4 * p);
                latch->arrive();
            }, Qt::QueuedConnection);
        });
    }
    auto capturing = captureLatch->wait();
    co_await std::move(capturing);
    if (cancel.isCancelled()) {
        removeTemporaryCopy(videoPath, prepared);
        co_return QList<CapturedScreenshot>{};
    }
    std::sort(results->begin(), results->end(), [](const CaptureResult& a, const CaptureResult& b) { return a.index < b.index; });

    QList<CapturedScreenshot> kept;
    int decodeFailures = 0, black = 0, blurry = 0;
    for (const CaptureResult& r : *results) {
        switch (r.outcome) {
        case FrameOutcome::Captured: kept.push_back(r.screenshot); break;
        case FrameOutcome::DecodeFailed: ++decodeFailures; break;
        case FrameOutcome::Black: ++black; break;
        case FrameOutcome::Blurry: ++blurry; break;
        }
    }
    logLine(phase2SummaryLine(int(kept.size()), n, decodeFailures, black, blurry));
    report(capturedStatus(int(kept.size())), 1.0);
    removeTemporaryCopy(videoPath, prepared);
    co_return kept;
}

QString ScreenshotCaptureService::screenshotFolder(const QUuid& lectureID) {
    return QDir(AppPaths::screenshotsDirectory()).filePath(uuidText(lectureID));
}

QString ScreenshotCaptureService::screenshotFileName(int index, double timestamp) {
    return QString::asprintf("%04d_%.2f.jpg", index, timestamp);
}

double ScreenshotCaptureService::timestampFromFileName(const QString& fileName) {
    const QString base = QFileInfo(fileName).completeBaseName();
    const qsizetype underscore = base.indexOf(QLatin1Char('_'));
    if (underscore < 0) return 0;
    bool ok = false;
    const double value = base.mid(underscore + 1).toDouble(&ok);
    return ok ? value : 0;
}

QStringList ScreenshotCaptureService::saveScreenshots(const QList<CapturedScreenshot>& screenshots, const QUuid& lectureID) const {
    const QString folder = screenshotFolder(lectureID);
    if (!QDir().mkpath(folder)) throw Error(QStringLiteral("Could not create the folder %1.").arg(folder));
    QStringList written;
    for (int i = 0; i < screenshots.size(); ++i) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (screenshots[i].image.isNull() || !screenshots[i].image.save(&buffer, "JPG", 95))
            throw DomainError(QString::fromLatin1(kErrorDomain), 1, QStringLiteral("Could not encode screenshot as JPEG."));
        const QString path = QDir(folder).filePath(screenshotFileName(i, screenshots[i].timestamp));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit())
            throw Error(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
        written.push_back(path);
    }
    return written;
}

QStringList ScreenshotCaptureService::replaceScreenshots(const QList<CapturedScreenshot>& screenshots, const QUuid& lectureID) const {
    const QStringList written = saveScreenshots(screenshots, lectureID);
    QSet<QString> keep;
    for (const QString& path : written) keep.insert(QFileInfo(path).fileName());
    QDir folder(screenshotFolder(lectureID));
    for (const QString& name : folder.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        if (!keep.contains(name)) folder.remove(name);
    return written;
}

QList<CapturedScreenshot> ScreenshotCaptureService::loadScreenshots(const QUuid& lectureID) const {
    const QString folder = screenshotFolder(lectureID);
    const QFileInfo info(folder);
    if (!info.exists()) return {};
    QDir dir(folder);
    if (!info.isDir() || !info.isReadable()) throw Error(QStringLiteral("Could not list the screenshots in %1.").arg(folder));
    QStringList names;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort))
        if (entry.suffix() == QLatin1String("jpg")) names.push_back(entry.fileName());
    std::sort(names.begin(), names.end());
    QList<CapturedScreenshot> loaded;
    for (const QString& name : names) {
        QImage image;
        if (!image.load(dir.filePath(name))) continue;
        loaded.push_back(CapturedScreenshot::make(image, timestampFromFileName(name)));
    }
    return loaded;
}

bool ScreenshotCaptureService::isBlurry(const QImage& frame) { return isBlurryFrame(frame); }

QCoro::Task<CapturedScreenshot> ScreenshotCaptureService::captureFrame(QString videoPath, double seconds) {
    struct Outcome {
        std::optional<GeneratedFrame> frame;
        QString error;
    };
    QFuture<Outcome> grabbing = QtConcurrent::run(&capturePool_, [videoPath, seconds] {
        FrameGeneratorOptions options;
        options.maximumSize = QSize(2560, 1440);
        options.toleranceBefore = 0;
        options.toleranceAfter = 0.1;
        FrameGenerator generator(videoPath, options);
        Outcome o;
        o.frame = generator.frameAt(seconds, &o.error);
        return o;
    });
    const Outcome outcome = co_await grabbing;
    if (!outcome.frame) throw Error(outcome.error);
    co_return CapturedScreenshot::make(outcome.frame->image, outcome.frame->time);
}

}  // namespace lumenote

#include "ScreenshotCaptureService.moc"
