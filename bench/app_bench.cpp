// Desktop application figures:
//   startup_ms      process start to the main window shown (splash included,
//                   tools staged, no update check due), on an empty library;
//   sidebar_10k_ms  a 10,000-lecture library opened, listed and the window painted;
//   max_stall_ms    the longest main-thread stall, seen by a 5 ms timer, while
//                   the sidebar scrolls through those lectures with thumbnails;
//   first_search_stall_ms  the same while the first search of the lectures'
//                   words builds the library's search index (a thousand of the
//                   lectures have transcripts), with first_search_ms until the
//                   matches are shown.
//
//   build/bench/app_bench [--lectures N]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise, in a
// temporary home. Process start is read from /proc (10 ms resolution).

#include "app/AppLauncher.h"
#include "app/DesktopSession.h"
#include "app/LibrarySidebar.h"
#include "app/LocalizationManager.h"
#include "app/MainWindow.h"
#include "app/ThumbnailLoader.h"
#include "core/AppPaths.h"
#include "core/LectureFiles.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/SearchIndex.h"
#include "core/Settings.h"
#include "core/TranscriptModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

using namespace lumenote;

namespace {

// Milliseconds since this process was started by the kernel.
double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold spaces) start after ") ".
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();  // field 22: starttime
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}


double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// The longest gap between the ticks of a 5 ms timer, less the 5 ms.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            maxGapMs_ = std::max(maxGapMs_, double(now - last_) / 1e6);
            last_ = now;
        });
    }
    void start() {
        maxGapMs_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    double stop() {
        timer_.stop();
        return std::max(0.0, maxGapMs_ - 5.0);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double maxGapMs_ = 0;
};

void makeTemporaryHome() {
    char tmpl[] = "/tmp/lumenote-app-bench-XXXXXX";
    const std::string home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    for (auto [var, rel] : {std::pair{"XDG_DATA_HOME", "/.local/share"}, {"XDG_CACHE_HOME", "/.cache"}, {"XDG_CONFIG_HOME", "/.config"}}) {
        const std::string path = home + rel;
        QDir().mkpath(QString::fromStdString(path));
        setenv(var, path.c_str(), 1);
    }
    // No host is reached.
    for (const char* var : {"LUMENOTE_GITHUB_API_URL", "LUMENOTE_GITHUB_URL", "HF_ENDPOINT", "LUMENOTE_ANTHROPIC_URL"}) setenv(var, "http://127.0.0.1:9", 1);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void waitShown(QWidget& window) {
    waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10000);
    window.repaint();
}

// Keyframes like a processing run makes: a few slides, JPEG, 480 x 270.
QList<QByteArray> sampleKeyframes() {
    QList<QByteArray> out;
    for (int i = 0; i < 16; ++i) {
        QImage slide(960, 540, QImage::Format_RGB32);
        slide.fill(QColor::fromHsv((i * 37) % 360, 40, 250));
        QPainter p(&slide);
        QFont f = p.font();
        f.setPixelSize(64);
        p.setFont(f);
        p.drawText(QRect(40, 40, 880, 120), Qt::AlignLeft, QStringLiteral("Lecture %1").arg(i + 1));
        f.setPixelSize(36);
        p.setFont(f);
        for (int line = 0; line < 5; ++line) p.drawText(60, 240 + line * 56, QStringLiteral("• Point %1 about topic %2").arg(line + 1).arg(i));
        p.end();
        out << makeKeyframeJPEG(slide);
    }
    return out;
}

void buildLibrary(const QString& path, int count) {
    QString error;
    auto store = LibraryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "app_bench: %s\n", qPrintable(error));
        std::exit(1);
    }
    const QList<QByteArray> keyframes = sampleKeyframes();
    // A transcript of 600 words in 40 segments, varied per lecture.
    auto transcript = [](int lecture) {
        static const QStringList words = QStringLiteral("entropy heat flows from hot to cold the second law says that "
                                                        "energy is conserved while disorder grows in every isolated system")
                                             .split(QLatin1Char(' '));
        Transcript segments;
        for (int k = 0; k < 40; ++k) {
            QStringList text;
            for (int w = 0; w < 15; ++w) text << words[(lecture * 7 + k * 3 + w) % words.size()];
            text << QStringLiteral("topic%1").arg(lecture);
            segments.append({QUuid::createUuid(), text.join(QLatin1Char(' ')), k * 5.0, k * 5.0 + 4.5, {}});
        }
        return *encodeTranscript(segments);
    };
    QList<LectureFolderPtr> folders;
    for (int f = 0; f < 10; ++f) {
        folders << LectureFolder::create(QStringLiteral("Course %1").arg(f + 1), f);
        store->insert(folders.back());
    }
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
    for (int i = 0; i < count; ++i) {
        auto l = Lecture::create(QStringLiteral("Lecture %1 — Thermodynamics and statistical mechanics").arg(i + 1),
                                 QStringLiteral("/videos/lecture-%1.mp4").arg(i + 1), std::nullopt);
        l->setDateAdded(start.addSecs(i * 600));
        l->setDuration(1800 + (i % 40) * 60);
        l->setStatus(i % 3 == 0 ? LectureStatus::Complete : LectureStatus::Pending);
        if (i % 10 < 3) l->setFolderID(folders[i % folders.size()]->id());
        l->setKeyframeData(keyframes[i % keyframes.size()]);
        if (i % 10 == 0) l->setTranscriptData(transcript(i));
        store->insert(l);
    }
    if (!store->commit(&error)) {
        std::fprintf(stderr, "app_bench: %s\n", qPrintable(error));
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int lectures = 10000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--lectures") lectures = std::atoi(argv[i + 1]);
    makeTemporaryHome();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumenote"));
    QApplication::setApplicationVersion(QStringLiteral("bench"));
    // The tools are staged and checked already: no update check is due.
    Settings::shared().setYtDlpLastUpdateCheck(QDateTime::currentDateTimeUtc());
    Settings::shared().setFFmpegLastUpdateCheck(QDateTime::currentDateTimeUtc());
    LocalizationManager::shared();

    double startupMs = 0;
    double splashMs = 0;
    double startupCpuMs = 0;
    {
        AppLauncher launcher;
        if (!launcher.start(AppPaths::libraryStorePath())) return 1;
        waitShown(*launcher.window());
        startupMs = msSinceProcessStart();
        startupCpuMs = threadCpuMs();
        bool closed = false;
        QObject::connect(&launcher, &AppLauncher::splashClosed, [&] { closed = true; });
        waitUntil([&] { return closed; }, 20000);
        splashMs = msSinceProcessStart();
    }
    std::printf("startup_ms: %.0f (main-thread CPU %.0f ms)\n", startupMs, startupCpuMs);
    std::printf("splash_closed_ms: %.0f\n", splashMs);
    std::fflush(stdout);

    const QString bigStore = QDir::homePath() + QStringLiteral("/big/library.sqlite");
    QElapsedTimer build;
    build.start();
    buildLibrary(bigStore, lectures);
    std::printf("library_build_s: %.1f (%d lectures with keyframes)\n", build.elapsed() / 1000.0, lectures);

    // Opening, listing and painting the large library, three times; the
    // median and the main thread's own CPU time (less sensitive to a busy machine).
    std::vector<double> wall, cpu, openCpu;
    std::unique_ptr<DesktopSession> session;
    std::unique_ptr<MainWindow> window;
    for (int run = 0; run < 3; ++run) {
        window.reset();
        session.reset();
        QElapsedTimer listed;
        listed.start();
        const double cpu0 = threadCpuMs();
        QString error;
        session = DesktopSession::open(bigStore, &error);
        if (!session) return 1;
        openCpu.push_back(threadCpuMs() - cpu0);
        window = std::make_unique<MainWindow>(*session);
        window->resize(1180, 760);
        window->show();
        waitShown(*window);
        wall.push_back(double(listed.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - cpu0);
        // Let the background work of this run (totals, reconcile) finish before the next.
        waitUntil([] { return false; }, 1500);
    }
    const int rows = window->sidebar()->view()->model()->rowCount();
    std::printf("sidebar_10k_ms: %.0f (median of 3; main-thread CPU %.0f ms, of which opening the store %.0f ms; %d top-level rows)\n",
                median(wall), median(cpu), median(openCpu), rows);
    std::fflush(stdout);

    // Scroll through every lecture, a page every 16 ms, with the folders open,
    // while a 5 ms timer watches the main thread; then the same timer alone on
    // an idle event loop for as long, to show what the machine itself adds.
    QTreeView* view = window->sidebar()->view();
    view->expandAll();
    waitUntil([] { return false; }, 200);
    QScrollBar* bar = view->verticalScrollBar();
    int thumbnails = 0;
    QObject::connect(&window->sidebar()->thumbnails(), &ThumbnailLoader::thumbnailReady, [&] { ++thumbnails; });
    StallProbe probe;
    QTimer scroller;
    scroller.setInterval(16);
    bool atEnd = false;
    QObject::connect(&scroller, &QTimer::timeout, [&] {
        if (bar->value() >= bar->maximum()) {
            atEnd = true;
            return;
        }
        bar->setValue(bar->value() + bar->pageStep());
    });
    QElapsedTimer scrolling;
    scrolling.start();
    probe.start();
    scroller.start();
    waitUntil([&] { return atEnd; }, 300000);
    const double scrollStall = probe.stop();
    scroller.stop();
    const qint64 scrollMs = scrolling.elapsed();
    window->sidebar()->thumbnails().waitForDone();
    probe.start();
    waitUntil([] { return false; }, int(scrollMs));
    const double idleStall = probe.stop();
    std::printf("max_stall_ms: %.1f (longest gap between 5 ms ticks minus 5 ms; %.1f s of scrolling, %d thumbnails loaded)\n", scrollStall,
                scrollMs / 1000.0, thumbnails);
    std::printf("idle_stall_ms: %.1f (the same timer on an idle event loop for as long)\n", idleStall);
    std::fflush(stdout);

    // The first search of the lectures' words, on a library whose search
    // index was never built.
    LibrarySidebar* sidebar = window->sidebar();
    QElapsedTimer searching;
    searching.start();
    probe.start();
    sidebar->filterField()->setText(QStringLiteral("entropy"));
    waitUntil([&] { return !sidebar->isSearchingContents(); }, 600000);
    const double searchStall = probe.stop();
    std::printf("first_search_ms: %lld (typed to matches shown, %lld lectures matched, %d ms of it the typing pause)\n",
                searching.elapsed(), qlonglong(sidebar->contentHits().size()), LibrarySidebar::kSearchDelayMs);
    std::printf("first_search_stall_ms: %.1f (longest gap between 5 ms ticks minus 5 ms)\n", searchStall);
    // What building the index costs the thread it runs on (the window's, were
    // it built there).
    {
        QElapsedTimer rebuilding;
        rebuilding.start();
        SearchIndex::open(bigStore)->rebuild();
        std::printf("index_build_ms: %lld (the whole index rebuilt on this thread)\n", rebuilding.elapsed());
    }
    window.reset();
    session.reset();
    QDir(QDir::homePath()).removeRecursively();
    return 0;
}
