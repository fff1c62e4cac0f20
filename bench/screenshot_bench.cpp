// Prints `name: value` lines about screenshot capture on a generated 20-minute
// 1920 x 1080 H.264 lecture (about 40 text slides and some camera footage),
// made once and kept under the build folder:
//   scan_seconds / decode_seconds, alternated in one run, and scan_ratio last;
//   text_detect_ms (mean per 640 x 360 frame, one core);
//   still_noise_max (largest share of changed pixels between two scan thumbnails
//   of one slide) and slide_step_min (smallest between two successive slides);
//   capture_seconds, slides_found / slides_total (a slide that a later one
//   builds on counts as found when the fuller one is captured),
//   duplicate_shots, and partial_shots (an unfinished build kept beside its
//   complete form).
// Usage: screenshot_bench [rounds] [video]
//   rounds: scan and decode are each run this often (default 2), the fastest counts;
//   video: another file to measure instead (scan, decode and text detection only).

#include "screenshots/FrameAnalysis.h"
#include "screenshots/FrameGenerator.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "screenshots/TextRectangleDetector.h"
#include "screenshots/WordRecognizer.h"

#include "core/Log.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using namespace lumenote;

namespace {

struct Part {
    double start = 0, seconds = 0;
    int slide = -1;      // slide number, or -1 for camera footage
    QString source;      // footage source graph
};

const QStringList kTopics = {"Thermodynamics", "Entropy", "Heat Engines", "Kinetic Theory", "Phase Changes", "Free Energy",
                             "Statistical Weights", "Ideal Gases", "Real Gases", "Refrigerators"};
const QStringList kWords = {"energy", "system", "pressure", "volume", "temperature", "molecule", "boundary", "reservoir",
                            "cycle", "efficiency", "equilibrium", "process", "constant", "partition", "capacity", "latent",
                            "expansion", "adiabatic", "isothermal", "quasi-static", "microstate", "ensemble", "kelvin", "joule"};

QString bullet(int slide, int line) {
    QStringList w;
    for (int k = 0; k < 4; ++k) w << kWords[(slide * 7 + line * 5 + k * 3) % kWords.size()];
    w[0][0] = w[0][0].toUpper();
    return w.join(' ');
}

// Slide n: a title and 3 to 5 bullets. Every fifth slide builds on the one
// before it (same title, one more bullet), as lecture slides often do.
QImage renderSlide(int n) {
    const bool buildsOn = n % 5 == 4;
    const int base = buildsOn ? n - 1 : n;
    const int bullets = buildsOn ? 3 + base % 3 + 1 : 3 + base % 3;
    const bool dark = (base / 3) % 2 == 1;
    QImage img(1920, 1080, QImage::Format_RGB32);
    img.fill(dark ? QColor(24, 36, 70) : QColor(250, 249, 244));
    QPainter p(&img);
    p.setPen(dark ? QColor(236, 236, 236) : QColor(30, 30, 36));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(84);
    f.setBold(true);
    p.setFont(f);
    p.drawText(130, 170, QStringLiteral("%1 (%2)").arg(kTopics[base % kTopics.size()]).arg(base + 1));
    f.setPixelSize(56);
    f.setBold(false);
    p.setFont(f);
    for (int i = 0; i < bullets; ++i) p.drawText(170, 360 + i * 110, QStringLiteral("\u2022 ") + bullet(base, i));
    p.setPen(QColor(128, 128, 128));
    f.setPixelSize(30);
    p.setFont(f);
    p.drawText(1700, 1040, QString::number(n + 1));
    return img;
}

QList<Part> schedule() {
    QList<Part> parts;
    double t = 0;
    auto add = [&](Part p) {
        p.start = t;
        t += p.seconds;
        parts << p;
    };
    const QString camera[] = {
        QStringLiteral("testsrc2=s=1920x1080:r=30,drawbox=x=0:y=0:w=520:h=150:color=gray:t=fill"),
        QStringLiteral("gradients=s=1920x1080:r=30:speed=0.01"),
    };
    int cam = 0;
    for (int s = 0; s < 40; ++s) {
        if (s % 10 == 0) add({0, 45, -1, camera[cam++ % 2]});
        add({0, 25.5, s, {}});
    }
    return parts;
}

int run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForStarted()) return -1;
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool makeLecture(const QString& path, const QList<Part>& parts) {
    QTemporaryDir tmp;
    QStringList args = {"-nostdin", "-v", "error", "-y"};
    QString graph;
    for (int i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        const QString secs = QString::number(part.seconds, 'f', 3);
        if (part.slide >= 0) {
            const QString png = tmp.filePath(QStringLiteral("s%1.png").arg(i));
            if (!renderSlide(part.slide).save(png)) return false;
            args << "-loop" << "1" << "-framerate" << "30" << "-t" << secs << "-i" << png;
        } else {
            args << "-f" << "lavfi" << "-t" << secs << "-i" << part.source;
        }
        graph += QStringLiteral("[%1:v]setsar=1,fps=30,format=yuv420p[v%1];").arg(i);
    }
    for (int i = 0; i < parts.size(); ++i) graph += QStringLiteral("[v%1]").arg(i);
    graph += QStringLiteral("concat=n=%1:v=1:a=0[out]").arg(parts.size());
    const QString partial = path + ".part.mp4";
    args << "-filter_complex" << graph << "-map" << "[out]" << "-c:v" << "libx264" << "-preset" << "veryfast" << "-crf" << "23"
         << "-pix_fmt" << "yuv420p" << partial;
    if (run(QStringLiteral("ffmpeg"), args) != 0) return false;
    return QFile::rename(partial, path);
}

double seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 2;
    // Diagnostic lines go to standard error; standard output is for the figures.
    std::fflush(stdout);
    const int figures = dup(1);
    dup2(2, 1);

    const QList<Part> parts = schedule();
    const QString cache = QStringLiteral(LUMENOTE_BENCH_CACHE);
    QDir().mkpath(cache);
    const bool own = argc > 2;
    const QString video = own ? QString::fromLocal8Bit(argv[2]) : cache + QStringLiteral("/lecture-20min-1080p-v2.mp4");
    if (!own && !QFileInfo::exists(video)) {
        std::fprintf(stderr, "generating %s (once)...\n", qPrintable(video));
        QElapsedTimer t;
        t.start();
        if (!makeLecture(video, parts)) {
            std::fprintf(stderr, "could not generate the lecture video\n");
            return 1;
        }
        std::fprintf(stderr, "generated in %.0f s\n", seconds(t));
    }
    FrameGenerator probe(video);
    const double duration = probe.duration().value_or(0);
    if (duration <= 0) return 1;

    // Scan and ffmpeg's own decode, alternated.
    QList<double> scans, decodes;
    QList<double> selected;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        if (run(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", video, "-vf", "fps=2,scale=640:360,format=gray", "-f", "null", "-"}) != 0)
            return 1;
        decodes << seconds(t);
        t.restart();
        selected = ScreenshotCaptureService::scanVideo(video, duration, ScanParameters{20, 30, 0.2});
        scans << seconds(t);
        std::fprintf(stderr, "round %d: decode %.1f s, scan %.1f s\n", r + 1, decodes.last(), scans.last());
    }

    // Text detection on frames of the lecture (slides and footage alike).
    QList<QImage> frames;
    QList<double> frameTimes;
    {
        FrameGeneratorOptions o;
        o.maximumSize = QSize(640, 360);
        o.fillExactly = true;
        o.grey = true;
        o.toleranceBefore = o.toleranceAfter = 0.5;
        FrameGenerator g(video, o);
        QList<double> times;
        for (double t = 1; t < duration; t += 6) times << t;
        g.generate(times, [&](int, double, std::optional<GeneratedFrame> f) {
            if (!f) return true;
            frames << f->image;
            frameTimes << f->time;
            return true;
        });
    }
    QElapsedTimer dt;
    dt.start();
    int detections = 0;
    for (int rep = 0; rep < 5; ++rep)
        for (const QImage& f : frames) detections += int(TextRectangleDetector::detect(f).size());
    const double detectMs = dt.nsecsElapsed() / 1e6 / (5.0 * std::max<qsizetype>(1, frames.size()));

    // Word recognition, as run on candidate text slides.
    QElapsedTimer wt;
    wt.start();
    int recognised = 0, slideFrames = 0;
    for (const QImage& f : frames) {
        if (!TextRectangleDetector::isTextSlide(TextRectangleDetector::detect(f))) continue;
        recognised += int(WordRecognizer::recognizeWords(f).size());
        if (++slideFrames == 5) break;
    }
    const double wordsMs = wt.nsecsElapsed() / 1e6 / std::max(1, slideFrames);

    // How far apart scan thumbnails of one slide and of successive slides lie.
    double stillNoise = 0, slideStep = 1;
    if (!own) {
        auto partAt = [&](double t) {
            for (int i = 0; i < parts.size(); ++i)
                if (t >= parts[i].start + 0.5 && t < parts[i].start + parts[i].seconds) return i;
            return -1;
        };
        QByteArray first, last;
        int firstPart = -1, lastPart = -1;
        for (int k = 0; k < frames.size(); ++k) {
            const int part = partAt(frameTimes[k]);
            if (part < 0 || parts[part].slide < 0) continue;
            const QByteArray thumb = greyThumbnail(frames[k], kScanThumbnailSize);
            if (part == firstPart) {
                stillNoise = std::max(stillNoise, changedPixelFraction(first, thumb, 20));
            } else {
                if (part == lastPart + 1 && parts[lastPart].slide >= 0) slideStep = std::min(slideStep, changedPixelFraction(last, thumb, 20));
                first = thumb;
                firstPart = part;
            }
            last = thumb;
            lastPart = part;
        }
    }

    if (own) {
        std::fflush(stdout);
        dup2(figures, 1);
        const double scan = *std::min_element(scans.begin(), scans.end());
        const double decode = *std::min_element(decodes.begin(), decodes.end());
        std::printf("video_seconds: %.1f\nscan_seconds: %.2f\ndecode_seconds: %.2f\nscan_selected: %lld\ntext_detect_ms: %.3f\n"
                    "word_recognition_ms: %.1f\nscan_ratio: %.3f\n",
                    duration, scan, decode, (long long)selected.size(), detectMs, wordsMs, scan / decode);
        return 0;
    }

    // The whole capture.
    QElapsedTimer ct;
    ct.start();
    const QList<CapturedScreenshot> shots =
        QCoro::waitFor(ScreenshotCaptureService::shared().captureScreenshots(video, 20, {}, 30, 0.2));
    const double captureSeconds = seconds(ct);
    auto slideAt = [&](double t) {
        for (const Part& p : parts)
            if (t >= p.start && t < p.start + p.seconds) return p.slide;
        return -1;
    };
    // Slide n builds on slide n - 1 when n % 5 == 4.
    const auto buildsOnEarlier = [](int slide) { return slide % 5 == 4; };
    QSet<int> found, shotSlides;
    int duplicates = 0, previous = -2;
    for (const CapturedScreenshot& s : shots) {
        const int slide = slideAt(s.timestamp);
        if (slide >= 0) {
            found.insert(slide);
            shotSlides.insert(slide);
            if (buildsOnEarlier(slide)) found.insert(slide - 1);
        }
        if (slide >= 0 && slide == previous) ++duplicates;
        previous = slide;
    }
    int partial = 0;
    for (int slide : shotSlides)
        if (buildsOnEarlier(slide + 1) && shotSlides.contains(slide + 1)) ++partial;

    std::fflush(stdout);
    dup2(figures, 1);
    close(figures);
    QStringList missed;
    for (int s = 0; s < 40; ++s)
        if (!found.contains(s)) missed << QString::number(s + 1) + (buildsOnEarlier(s) ? QStringLiteral(" (build step)") : QString());
    std::fprintf(stderr, "slides without a screenshot: %s\n", missed.isEmpty() ? "none" : qPrintable(missed.join(", ")));
    const double scan = *std::min_element(scans.begin(), scans.end());
    const double decode = *std::min_element(decodes.begin(), decodes.end());
    std::printf("video_seconds: %.1f\n", duration);
    std::printf("scan_seconds: %.2f\n", scan);
    std::printf("decode_seconds: %.2f\n", decode);
    std::printf("scan_selected: %lld\n", (long long)selected.size());
    std::printf("text_detect_ms: %.3f\n", detectMs);
    std::printf("text_detect_frames: %lld\n", (long long)frames.size());
    std::printf("word_recognition_ms: %.1f\n", wordsMs);
    std::printf("still_noise_max: %.5f\n", stillNoise);
    std::printf("slide_step_min: %.5f\n", slideStep);
    std::printf("capture_seconds: %.2f\n", captureSeconds);
    std::printf("screenshots: %lld\n", (long long)shots.size());
    std::printf("slides_found: %lld\n", (long long)found.size());
    std::printf("slides_total: %d\n", 40);
    std::printf("duplicate_shots: %d\n", duplicates);
    std::printf("partial_shots: %d\n", partial);
    std::printf("scan_ratio: %.3f\n", scan / decode);
    return 0;
}
