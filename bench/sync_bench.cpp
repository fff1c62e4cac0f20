// Record mirror figures, with a shared folder and no sync client between the
// two stores:
//   mirror_10k_s       mirroring a 10,000-lecture library from scratch
//   import_10k_s       a new machine rebuilding that library from the folder
//   change_visible_ms  one edit on A until B's store has it (median of 5)
// Each lecture carries a 4 KB transcript, an 8 KB keyframe, screenshot times
// and two annotations, so the folder holds 10,000 documents and 20,000 blob files.
//
//   build/bench/sync_bench [--lectures N] [--keep DIR]
#include "core/Annotations.h"
#include "core/LibraryStore.h"
#include "core/RecordMirror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace lumenote;

namespace {

QString cpuModel() {
    QFile f("/proc/cpuinfo");
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("model name")) return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown");
}

std::unique_ptr<LibraryStore> openStore(const QString& path) {
    QString error;
    auto store = LibraryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        std::exit(1);
    }
    return store;
}

// CPU time of the whole process (the machine may be shared: wall time then overstates).
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 10000;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--lectures") count = args[i + 1].toInt();
        if (args[i] == "--keep") keep = args[i + 1];
    }
    QTemporaryDir temp;
    const QString root = keep.isEmpty() ? temp.path() : keep;
    const QString records = root + "/shared/Lumenote/Records";

    {
        auto a = openStore(root + "/a/library.sqlite");
        const QByteArray transcript(4096, 't');
        const QByteArray keyframe(8192, 'k');
        for (int i = 0; i < count; ++i) {
            auto l = Lecture::create(QStringLiteral("Lecture %1").arg(i), QStringLiteral("/videos/%1.mp4").arg(i), std::nullopt);
            l->setDuration(3600 + i);
            l->setStatus(LectureStatus::Complete);
            l->setTranscriptData(transcript + QByteArray::number(i));
            l->setKeyframeData(keyframe + QByteArray::number(i));
            l->setScreenshotTimestamps(QByteArray("[0.5,30.25,61]"));
            l->setMarginNotesData(encodeMarginNotes({MarginNote::create(1, "anchor", "a note", MarginNote::Side::Right)}));
            l->setHighlightsData(encodeHighlights({TextHighlight::create(2, "word", TextHighlight::HighlightColor::Yellow)}));
            a->insert(l);
        }
        a->commit();
    }

    auto a = openStore(root + "/a/library.sqlite");
    QElapsedTimer t;
    t.start();
    double cpu = cpuSeconds();
    a->attachMirror(records);
    const double mirrorS = t.nsecsElapsed() / 1e9, mirrorCpu = cpuSeconds() - cpu;

    auto b = openStore(root + "/b/library.sqlite");
    t.restart();
    cpu = cpuSeconds();
    b->attachMirror(records);
    const double importS = t.nsecsElapsed() / 1e9, importCpu = cpuSeconds() - cpu;
    if (int(b->lectures().size()) != count) {
        std::fprintf(stderr, "the new machine has %zu lectures, expected %d\n", b->lectures().size(), count);
        return 1;
    }

    std::vector<double> visible;
    for (int round = 0; round < 5; ++round) {
        // Let the folder settle (the watcher's own echoes) before timing.
        spinUntil([] { return false; }, 300);
        const LecturePtr edited = a->lectures()[size_t(round * 97 % count)];
        const QString title = QStringLiteral("Edited %1").arg(round);
        t.restart();
        edited->setTitle(title);
        a->commit();
        const LecturePtr other = b->lecture(edited->id());
        if (!spinUntil([&] { return other->title() == title; }, 10000)) {
            std::fprintf(stderr, "the edit did not reach B\n");
            return 1;
        }
        visible.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(visible.begin(), visible.end());

    std::printf("cpu: %s\n", qPrintable(cpuModel()));
    std::printf("lectures: %d\n", count);
    std::printf("mirror_10k_s: %.2f\n", mirrorS);
    std::printf("mirror_10k_cpu_s: %.2f\n", mirrorCpu);
    std::printf("import_10k_s: %.2f\n", importS);
    std::printf("import_10k_cpu_s: %.2f\n", importCpu);
    std::printf("change_visible_ms: %.0f\n", visible[visible.size() / 2]);
    return 0;
}
