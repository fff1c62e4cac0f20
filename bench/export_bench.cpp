// Export figures for a three-hour lecture (about 30,000 words in 2,000
// segments, 300 screenshots, 200 annotations of each kind in both views):
//   page_build_ms   the page built in memory (passages, entries, notes view, HTML)
//   export_run_s    the whole export run: 300 JPEGs, text-slide test, the
//                   three-hour AAC track copied into audio.m4a, page and stylesheet
//                   (export_run_cpu_s: its CPU time over all threads)
// The three-hour source is generated once with ffmpeg and kept in the build folder.
//
//   build/bench/export_bench [--runs N] [--page-only]
#include "LectureFixture.h"
#include "core/Settings.h"
#include "export/AudioExport.h"
#include "export/ExportManager.h"
#include "core/PassageGrouping.h"
#include "export/StudyPage.h"
#include "export/TextSlides.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace lumenote;

namespace {

constexpr double kLectureSeconds = fixture::kLongLectureSeconds;

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A video file with a tiny picture and three hours of AAC audio, made once.
QString threeHourSource() {
    const QString dir = QStringLiteral(LUMENOTE_BENCH_DIR) + "/export-data";
    const QString path = dir + "/lecture-3h.mp4";
    if (QFileInfo(path).size() > 0) return path;
    QDir().mkpath(dir);
    std::fprintf(stderr, "export_bench: generating a three-hour source (once, a few minutes)...\n");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=0x202830:size=160x90:rate=1:duration=10800", "-f", "lavfi",
                            "-i", "sine=frequency=220:sample_rate=44100:duration=10800", "-c:v", "mpeg4", "-c:a", "aac", "-b:a", "96k", "-shortest",
                            path + ".part.mp4"});
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0 || !QFile::rename(path + ".part.mp4", path)) {
        std::fprintf(stderr, "export_bench: ffmpeg failed\n");
        std::exit(1);
    }
    return path;
}

fixture::LongLecture makeLecture() {
    // Twenty distinct 1080p pictures (slides and camera footage) shared by the
    // 300 screenshots: every screenshot is still encoded and tested on its own.
    QList<QImage> pictures;
    for (int i = 0; i < 10; ++i) {
        pictures.append(fixture::makeSlideImage(QSize(1920, 1080), QStringLiteral("Part %1: heat engines").arg(i),
                                                {"Two reservoirs at different temperatures", "A reversible cycle", "Efficiency bounded by Carnot"}));
        pictures.append(fixture::makeCameraImage(QSize(1920, 1080), i));
    }
    return fixture::makeLongLecture(pictures);
}

QString buildPage(const fixture::LongLecture& l, const QSet<double>& textSlides) {
    page::PageInput in;
    in.lecture.title = QStringLiteral("Thermodynamics, lecture 12");
    in.lecture.dateAdded = QDateTime::currentDateTime();
    in.lecture.duration = kLectureSeconds;
    in.audioFileName = QStringLiteral("audio.m4a");
    QList<page::PageScreenshot> shots;
    for (int i = 0; i < l.screenshots.size(); ++i)
        shots.append({l.screenshots[i].timestamp, ExportManager::screenshotFileName(i + 1, l.screenshots[i].timestamp)});
    in.entries = page::buildEntries(groupSegmentsIntoBlocks(l.segments), shots, l.annotations.userNotes);
    in.marginNotes = l.annotations.margins;
    in.highlights = l.annotations.highlights;
    in.textSlides = textSlides;
    in.notesHTML = page::notesHTML(l.notes, l.annotations.notesInline, l.annotations.notesMargins, l.annotations.notesHighlights);
    return page::buildHTML(in);
}

}  // namespace

int main(int argc, char** argv) {
    // Keep the user's settings and folders out of it.
    static QTemporaryDir home(QDir::tempPath() + "/export_bench-XXXXXX");
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) qputenv(var, home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int runs = 5;
    bool pageOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--runs" && i + 1 < argc) runs = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--page-only") pageOnly = true;
    }

    const QString source = pageOnly ? QString() : threeHourSource();
    const fixture::LongLecture lecture = makeLecture();
    qsizetype words = 0;
    for (const TranscriptSegment& s : lecture.segments) words += s.words.size();
    std::printf("lecture_words: %lld\n", static_cast<long long>(words));
    std::printf("lecture_segments: %lld\n", static_cast<long long>(lecture.segments.size()));

    const QSet<double> textSlides = detectTextSlides(lecture.screenshots);
    std::vector<double> pageMs, pageCpuMs;
    qsizetype pageBytes = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        const double cpu0 = threadCpuSeconds();
        t.start();
        pageBytes = buildPage(lecture, textSlides).toUtf8().size();
        pageMs.push_back(t.nsecsElapsed() / 1e6);
        pageCpuMs.push_back((threadCpuSeconds() - cpu0) * 1e3);
    }
    std::printf("page_bytes: %lld\n", static_cast<long long>(pageBytes));
    std::printf("page_text_slides: %lld\n", static_cast<long long>(textSlides.size()));
    // One thread builds the page: its CPU time is the wall time of an idle machine.
    std::printf("page_build_cpu_ms: %.1f\n", median(pageCpuMs));
    std::printf("page_build_ms: %.1f\n", median(pageMs));
    if (pageOnly) {
        // Where the time goes.
        std::vector<double> group, notes, html;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            const QList<Block> blocks = groupSegmentsIntoBlocks(lecture.segments);
            group.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            const QString n = page::notesHTML(lecture.notes, lecture.annotations.notesInline, lecture.annotations.notesMargins, lecture.annotations.notesHighlights);
            notes.push_back(t.nsecsElapsed() / 1e6);
            page::PageInput in;
            QList<page::PageScreenshot> shots;
            for (int i = 0; i < lecture.screenshots.size(); ++i) shots.append({lecture.screenshots[i].timestamp, QStringLiteral("x.jpg")});
            in.entries = page::buildEntries(blocks, shots, lecture.annotations.userNotes);
            in.marginNotes = lecture.annotations.margins;
            in.highlights = lecture.annotations.highlights;
            in.audioFileName = QStringLiteral("audio.m4a");
            t.restart();
            const QString h = page::buildHTML(in);
            html.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("page_group_ms: %.1f\npage_notes_ms: %.1f\npage_html_ms: %.1f\n", median(group), median(notes), median(html));
        return 0;
    }

    QTemporaryDir out(QDir::tempPath() + "/export_bench-out-XXXXXX");
    // Its parts alone, for orientation.
    {
        QElapsedTimer t;
        t.start();
        exportAudioM4A(source, out.path() + "/audio-alone.m4a");
        std::printf("audio_copy_s: %.2f\n", t.nsecsElapsed() / 1e9);
        t.restart();
        detectTextSlides(lecture.screenshots);
        std::printf("text_slides_s: %.2f\n", t.nsecsElapsed() / 1e9);
        t.restart();
        QThreadPool::globalInstance()->setMaxThreadCount(QThread::idealThreadCount());
        QtConcurrent::blockingMap(lecture.screenshots, [&](const CapturedScreenshot& s) {
            s.image.save(out.path() + QStringLiteral("/%1.jpg").arg(s.timestamp), "jpeg", 95);
        });
        std::printf("jpeg_s: %.2f\n", t.nsecsElapsed() / 1e9);
    }

    // The whole run, as the pipeline awaits it.
    Settings::shared().setExportRootBookmark(out.path());
    LecturePtr record = Lecture::create(QStringLiteral("Thermodynamics, lecture 12"), source, std::nullopt);
    record->setDuration(kLectureSeconds);
    fixture::storeAnnotations(*record, lecture.annotations);
    std::vector<double> runSeconds, runCpu;
    for (int r = 0; r < std::min(runs, 3); ++r) {
        QElapsedTimer t;
        const double cpu0 = processCpuSeconds();
        t.start();
        const QString folder = QCoro::waitFor(ExportManager::shared().exportLecture(source, record, lecture.segments, lecture.screenshots,
                                                                                   lecture.notes, std::nullopt, {}));
        runSeconds.push_back(t.nsecsElapsed() / 1e9);
        runCpu.push_back(processCpuSeconds() - cpu0);
        if (!QFileInfo::exists(folder + "/audio.m4a")) {
            std::fprintf(stderr, "export_bench: no audio was exported\n");
            return 1;
        }
    }
    // CPU seconds of the run across all threads: on a shared machine the wall
    // time above also counts other people's work.
    std::printf("export_run_cpu_s: %.2f\n", median(runCpu));
    std::printf("export_run_s: %.2f\n", median(runSeconds));
    return 0;
}
